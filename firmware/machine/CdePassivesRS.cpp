#include "CdePassivesRS.h"

#include "GestionStatusSourceQL.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int ValPulseLength = 0;
int ValHighPulseLength = 0;
int ValLowPulseLength = 0;
int ValRepetitionRate = 0;
int ValHighRepetitionRate = 0;
int ValLowRepetitionRate = 0;
float ValCourantPump1 = 0.0f;
float ValTemperaturePump1 = 0.0f;
float ValCourantPump2 = 0.0f;
float ValTemperaturePump2 = 0.0f;
float ValCourantBooster = 0.0f;
float ValCourantMaxBooster = 0.0f;

void SaveValeurCalibration(std::string_view reponse)
{
    std::printf("Fct SaveValeurCalibration\n");
    int* const entiers[] = {&ValPulseLength,    &ValHighPulseLength,    &ValLowPulseLength,
                            &ValRepetitionRate, &ValHighRepetitionRate, &ValLowRepetitionRate};
    float* const reels[] = {&ValCourantPump1, &ValTemperaturePump1, &ValCourantPump2,
                            &ValTemperaturePump2, &ValCourantBooster,  &ValCourantMaxBooster};
    const auto lignes = LignesReponse(reponse);
    for (std::size_t i = 0; i < lignes.size() && i < 12; ++i) {
        const std::string ligne(lignes[i]);
        if (i < 6) *entiers[i] = std::atoi(ligne.c_str());
        else *reels[i - 6] = static_cast<float>(std::atof(ligne.c_str()));
    }
}
