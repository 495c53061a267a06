// The configuration files "MLASER.INI" and "MLASPPL.INI" read at start-up.
// Input: the first file's text, a zero byte, the second's; without a zero byte
// the second file is missing.
#include "boardsim.h"
#include "fuzz_outils.h"
#include "mlas_func.h"
#include "mlas_conf.h"
#include "mlas_param.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

clock_t horloge = 0;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::filesystem::current_path(fuzz::Dossier());
    fuzz::FaitTaireConsole();
    // The marking and jump rates derived from the files go to the DSP card.
    boardsim::Installe(boardsim::Reglages{});
    h = libdevmem_open(0x30000100, 20);
    boardsim::Dsp().Demarre();
    LireHorloge = [] { return horloge += 500; };
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille)
{
    const auto* texte = reinterpret_cast<const char*>(donnees);
    const auto* zero = static_cast<const char*>(std::memchr(texte, 0, taille));
    const size_t premier = zero != nullptr ? static_cast<size_t>(zero - texte) : taille;
    std::ofstream(fuzz::Dossier() / "MLASER.INI", std::ios::binary).write(texte, static_cast<std::streamsize>(premier));
    std::error_code e;
    std::filesystem::remove(fuzz::Dossier() / "MLASPPL.INI", e);
    if (zero != nullptr)
        std::ofstream(fuzz::Dossier() / "MLASPPL.INI", std::ios::binary)
            .write(zero + 1, static_cast<std::streamsize>(taille - premier - 1));
    // Values a file does not give stay as they were: start each run from none.
    deplacement.Pas_nom_XLAS = deplacement.Pas_nom_YLAS = marquage.RapportCyclique = 0.0f;
    marquage.FreqQSwitch = lasparam.VitesseMarquage = marquage.Nb_passes_laser = marquage.FocaleCourante = marquage.TypeSource = 0;
    marquage.VitesseSaut = marquage.TempoSaut = marquage.TempoTir = marquage.VitesseRect = marquage.TempopTir = 0;
    Lire_Config_Laser();
    return 0;
}
