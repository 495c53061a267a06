// The simulated controller board: its device models, registered by physical
// address into the support library's memory windows.
#pragma once

#include "bus_i2c.h"
#include "carte_dmc.h"
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
    std::string i2c;                       // MLAS_I2C_DEV: a real device node there is used as it is
    double ticksParMs = kTicksParMsViper;  // OS-timer rate of the board named by MLAS_CPUINFO
};

// The knobs as the environment gives them now.
Reglages LitReglages();

// Registers the board's models. The programs call the first once at start-up
// (the knobs are read at its first call only); tests install fresh models as
// often as they like. Windows opened before keep the models they had.
void Installe();
void Installe(const Reglages& reglages);

// Fits a rotation card to the board installed last (tests; the programs ask
// for one with MLAS_SIM_DMC=1).
CarteDmc& AjouteCarteDmc();

// The models installed last. Dmc() and I2c() throw when the board has no such
// model (no rotation card; MLAS_I2C_DEV naming a real device).
CarteDsp& Dsp();
TimerOs& Timer();
Gpio& GpioCarte();
CarteDmc& Dmc();
BusI2c& I2c();

}  // namespace boardsim
