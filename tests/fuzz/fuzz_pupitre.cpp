// The operator board's frames on UART 2: the input is what the board sends,
// read by the event poll of the marking loops until the line holds nothing more.
#include "CommunicationViperGL.h"
#include "boardsim.h"
#include "build.h"
#include "fuzz_outils.h"
#include "liaison.h"
#include "mlas_func.h"
#include "etat_deplacement.h"
#include "etat_pupitre.h"

#include <sys/ioctl.h>

namespace {

clock_t horloge = 0;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::FaitTaireConsole();
    boardsim::Installe(boardsim::Reglages{});
    h = libdevmem_open(0x30000100, 20);
    hOSTimer = libdevmem_open(0x40A00010, 4);
    deplacement.NbrePeriodeTimerParMs = boardsim::kTicksParMsViper;
    boardsim::Timer().Virtuel(369);
    boardsim::Dsp().Demarre();
    LireHorloge = [] { return horloge += 500; };
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille)
{
    if (taille > 4096) return 0;
    // The reset empties the command table, which the board's start-up fills.
    ReinitPupitre();
    InitTabDeCde();
    pupitre.bMarquageEnCours = taille % 2;
    fuzz::Liaison pc(1, nullptr, 0), carte(2, donnees, taille), source(3, nullptr, 0);
    // Each poll takes at least one byte while some are left.
    for (size_t n = 0; n <= taille; ++n) {
        int restant = 0;
        if (::ioctl(File_Com[2], FIONREAD, &restant) != 0 || restant == 0) break;
        if constexpr (build::kFibreLine) LFTestSiEventEnCours();
        else TestSiEventEnCours();
    }
    return 0;
}
