// One firmware program; the build selection picks which.
#include "mlas_main.h"

#if MLAS_BOARD_SIM
#include "boardsim.h"
#endif

int main(int argc, char* argv[])
{
#if MLAS_BOARD_SIM
    // The simulated devices must be in place before any register window opens.
    boardsim::Installe();
#endif
    return mlas_main(argc, argv);
}
