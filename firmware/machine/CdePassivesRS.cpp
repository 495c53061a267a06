#include "CdePassivesRS.h"

#include "GestionStatusSourceQL.h"
#include "etat_pupitre.h"

#include <cstdio>
#include <cstdlib>
#include <string>

void SaveValeurCalibration(std::string_view reponse)
{
    std::printf("Fct SaveValeurCalibration\n");
    int* const entiers[] = {&pupitre.ValPulseLength,    &pupitre.ValHighPulseLength,    &pupitre.ValLowPulseLength,
                            &pupitre.ValRepetitionRate, &pupitre.ValHighRepetitionRate, &pupitre.ValLowRepetitionRate};
    float* const reels[] = {&pupitre.ValCourantPump1, &pupitre.ValTemperaturePump1, &pupitre.ValCourantPump2,
                            &pupitre.ValTemperaturePump2, &pupitre.ValCourantBooster,  &pupitre.ValCourantMaxBooster};
    const auto lignes = LignesReponse(reponse);
    for (std::size_t i = 0; i < lignes.size() && i < 12; ++i) {
        const std::string ligne(lignes[i]);
        if (i < 6) *entiers[i] = std::atoi(ligne.c_str());
        else *reels[i - 6] = static_cast<float>(std::atof(ligne.c_str()));
    }
}
