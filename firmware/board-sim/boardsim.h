// The simulated controller board: its device models, registered by physical
// address into the support library's memory windows.
#pragma once

#include "carte_dsp.h"
#include "gpio.h"
#include "timer_os.h"
#include "trace.h"

#include <memory>
#include <string>

namespace boardsim {

inline constexpr double kTicksParMsViper = 3686.4;
inline constexpr double kTicksParMsTitan = 3250.0;

// The board's knobs (environment variables).
struct Reglages {
    std::string trace;                     // MLAS_SIM_TRACE: file the events are appended to
    bool startAuto = false;                // MLAS_SIM_START=auto
    bool dmc = false;                      // MLAS_SIM_DMC=1: a rotation card is fitted
    double ticksParMs = kTicksParMsViper;  // OS-timer rate of the board named by MLAS_CPUINFO
};

// The knobs as the environment gives them now.
Reglages LitReglages();

// Registers the board's models. The programs call the first once at start-up
// (the knobs are read at its first call only); tests install fresh models as
// often as they like. Windows opened before keep the models they had.
void Installe();
void Installe(const Reglages& reglages);

// The models installed last.
CarteDsp& Dsp();
TimerOs& Timer();
Gpio& GpioCarte();

}  // namespace boardsim
