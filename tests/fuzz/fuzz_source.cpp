// Replies of the QUANTEL source on UART 3. Input: one byte choosing the status
// command (1 to 18, as the status menu numbers them; 0 the calibration reply
// kept by SaveValeurCalibration), then what the source sends back. Ten bytes
// of line noise come first, which the command's flush takes.
#include "CdePassivesRS.h"
#include "GestionStatusSourceQL.h"
#include "fuzz_outils.h"
#include "liaison.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::FaitTaireConsole();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille)
{
    if (taille < 1 || taille > 4096) return 0;
    const int choix = donnees[0] % 19;
    std::vector<uint8_t> ligne(10, 0);
    ligne.insert(ligne.end(), donnees + 1, donnees + taille);
    if (choix == 0) {
        fuzz::Liaison source(3, ligne.data() + 10, ligne.size() - 10);
        std::string reponse;
        if (LectRepSpeRCD(reponse)) SaveValeurCalibration(reponse);
        return 0;
    }
    fuzz::Liaison source(3, ligne.data(), ligne.size());
    GestionCdeStatus(choix);
    return 0;
}
