// A received job as the marking loop of this build takes it: the bytes as the
// reception leaves them in RecepBuff (start instruction eaten), the header
// analysis, then the help sheet or the body walk with the marking output on.
// The simulated board runs on virtual clocks, with the rotation card fitted in
// the builds that have one, so marking costs no real time.
#include "AidePositionnement.h"
#include "AnalyseEnteteFichier.h"
#include "boardsim.h"
#include "build.h"
#include "fuzz_outils.h"
#include "mk_dmc.h"
#include "mlas_boucles.h"
#include "mlas_dmc.h"
#include "mlas_func.h"
#include "mlas_main.h"
#include "prnReception.h"
#include "prnanalyse.h"
#include "prnbuffer.h"
#include "watchdog.h"
#include "etat_marquage.h"
#include "etat_rotation.h"
#include "etat_pupitre.h"
#include "etat_reception.h"

#include <sanitizer/asan_interface.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace {

// After ten seconds of machine time the operator presses reset: a job may ask for
// days of turning or marking, which the machine does, but a run must not.
constexpr clock_t kDureeMax = 10 * CLOCKS_PER_SEC;
clock_t horloge = 0;
clock_t finDeRun = 0;
clock_t HorlogeVirtuelle()
{
    horloge += 500;
    if (horloge > finDeRun && finDeRun != 0) {
        finDeRun = 0;
        boardsim::Dsp().FixeEntrees({false, true});
    }
    return horloge;
}

void Ferme(libdevmem_handle*& fenetre)
{
    if (fenetre != nullptr) libdevmem_close(fenetre);
    fenetre = nullptr;
}

// A fresh board and the firmware's start-up values, as after a power-up.
void Demarre()
{
    Ferme(h);
    Ferme(handleOSTimer);
    Ferme(hOSTimer);
    if constexpr (build::kDmc) Ferme(handleDMC);
    // The operator presses start whenever the ready lamp lights (the next page of a job).
    boardsim::Reglages reglages;
    reglages.startAuto = true;
    boardsim::Installe(reglages);
    LireHorloge = HorlogeVirtuelle;
    finDeRun = 0;
    Init_Var();
    boardsim::Dsp().Demarre();
    hOSTimer = libdevmem_open(0x40A00010, 4);
    boardsim::Timer().Virtuel(3686);
    pupitre.TypeCarteCPU = 1;
    if constexpr (build::kDmc) {
        boardsim::AjouteCarteDmc().Virtuel(1000000);
        Ferme(handleDMC);
        handleDMC = libdevmem_open(0x300002C0, 8);
        // A ramp waits a real microsecond a step: a steep one costs no time.
        rotation.FACCELDMC = 302000;
        init_DMC_Laser();
    }
    CurrentParamCorrection = {};
}

}  // namespace

// The rotation ramp yields a real microsecond at each step; on virtual clocks a
// turn of hours would cost seconds of them.
extern "C" int usleep(useconds_t)
{
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::filesystem::current_path(fuzz::Dossier());
    fuzz::FaitTaireConsole();
    // Bytes past the received count are never the job's: poisoned, as in the walk tests.
    ASAN_POISON_MEMORY_REGION(RecepBuff.data, kTaillePRNBuff);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille)
{
    if (taille == 0 || taille > kTaillePRNBuff) return 0;
    Demarre();
    ASAN_UNPOISON_MEMORY_REGION(RecepBuff.data, taille);
    PRNBuffClear(&RecepBuff);
    PRNBuffWriteBuff(&RecepBuff, donnees, static_cast<uint32_t>(taille));
    reception.FichierOK = 1;
    finDeRun = horloge + kDureeMax;
    reception.CurrentBufferIndex = static_cast<uint32_t>(build::kFibreLine ? LFAnalyseEntete(RecepBuff.data)
                                                                 : AnalyseEntete(RecepBuff.data));
    // The same for the turns of a cylinder job: a perimeter of 0.01 mm turns the axis
    // 15,200 steps for each 0.01 mm marked.
    if (static_cast<uint32_t>(rotation.PerimetreCylindreAMarquer) - 1 < 999) rotation.PerimetreCylindreAMarquer = 1000;
    unsigned char* fiche = RecepBuff.data + reception.CurrentBufferIndex;
    if (reception.FichierOK == 0) {
        // Refused: nothing runs.
    } else if (marquage.bSimulation != 0) {
        // The sheet's outline is traced for as long as it asks (up to 49 days): a glimpse is enough.
        marquage.PositionningTimeout = std::min<uint32_t>(marquage.PositionningTimeout, 50);
        AideParType(fiche);
    } else if (marquage.bReceptionFirmware != 0) {
        // An upload writes a program file: not a marking path.
    } else if (build::kDmc && marquage.bPositionningFleche != 0) {
        // The axis turns as far as the job asks (2^32 steps: a month, which reset does
        // not cut short): a few turns are enough.
        if (static_cast<uint32_t>(marquage.NbrePasRotation) > 100000) marquage.NbrePasRotation = 100000;
        PositionningOrigineFleche(fiche);
    } else {
        AnalysePRN(fiche);
    }
    ASAN_POISON_MEMORY_REGION(RecepBuff.data, taille);
    return 0;
}
