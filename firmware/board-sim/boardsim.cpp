#include "boardsim.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace boardsim {

namespace {

struct Carte {
    std::shared_ptr<Trace> trace;
    std::shared_ptr<CarteDsp> dsp;
    std::shared_ptr<TimerOs> timer;
    std::shared_ptr<Gpio> gpio;
    std::shared_ptr<CarteDmc> dmc;
    std::shared_ptr<BusI2c> i2c;
};

Carte& Installee()
{
    static Carte carte;
    return carte;
}

std::string Variable(const char* nom, const char* defaut)
{
    const char* valeur = std::getenv(nom);
    return valeur != nullptr ? valeur : defaut;
}

// The OS timer runs at the rate of the board the firmware will find.
double TicksParMs(const std::string& cpuinfo)
{
    std::ifstream fichier(cpuinfo);
    std::string ligne;
    while (std::getline(fichier, ligne)) {
        if (ligne.find("Hardware") != std::string::npos && ligne.find("TITAN") != std::string::npos) {
            return kTicksParMsTitan;
        }
    }
    return kTicksParMsViper;
}

template <typename T>
T& Modele(const std::shared_ptr<T>& modele, const char* absent = "no board installed")
{
    if (!modele) throw std::logic_error(std::string("board-sim: ") + absent);
    return *modele;
}

}  // namespace

Reglages LitReglages()
{
    Reglages r;
    r.trace = Variable("MLAS_SIM_TRACE", "");
    r.startAuto = Variable("MLAS_SIM_START", "none") == "auto";
    r.dmc = Variable("MLAS_SIM_DMC", "0") == "1";
    r.i2c = Variable("MLAS_I2C_DEV", "");
    r.ticksParMs = TicksParMs(Variable("MLAS_CPUINFO", "/proc/cpuinfo"));
    return r;
}

void Installe()
{
    static const Reglages reglages = LitReglages();
    Installe(reglages);
}

void Installe(const Reglages& reglages)
{
    auto trace = std::make_shared<Trace>(reglages.trace);
    Carte carte{trace,
                std::make_shared<CarteDsp>(trace, reglages.startAuto),
                std::make_shared<TimerOs>(trace, reglages.ticksParMs),
                std::make_shared<Gpio>(trace),
                nullptr,
                nullptr};
    libdevmem_unregister_models();
    libdevmem_register_model(materiel::kPortDsp, materiel::kLongueurPortDsp, carte.dsp);
    libdevmem_register_model(materiel::kTimerOs, materiel::kLongueurTimerOs, carte.timer);
    libdevmem_register_model(materiel::kGpio, materiel::kLongueurGpio, carte.gpio);
    // Without a card its window reads an empty bus, so the probe finds nothing.
    if (reglages.dmc) {
        carte.dmc = std::make_shared<CarteDmc>(trace);
        libdevmem_register_model(materiel::kPortsDmc, materiel::kLongueurPortsDmc, carte.dmc);
    }
    libi2c_unregister_models();
    std::error_code erreur;
    if (reglages.i2c.empty() || !std::filesystem::is_character_file(reglages.i2c, erreur)) {
        carte.i2c = std::make_shared<BusI2c>(trace);
        libi2c_register_model(reglages.i2c.empty() ? kBusI2cDefaut : reglages.i2c, carte.i2c);
    }
    Installee() = std::move(carte);
}

CarteDmc& AjouteCarteDmc()
{
    Carte& carte = Installee();
    if (!carte.trace) throw std::logic_error("board-sim: no board installed");
    carte.dmc = std::make_shared<CarteDmc>(carte.trace);
    libdevmem_register_model(materiel::kPortsDmc, materiel::kLongueurPortsDmc, carte.dmc);
    return *carte.dmc;
}

CarteDsp& Dsp()
{
    return Modele(Installee().dsp);
}

TimerOs& Timer()
{
    return Modele(Installee().timer);
}

Gpio& GpioCarte()
{
    return Modele(Installee().gpio);
}

CarteDmc& Dmc()
{
    return Modele(Installee().dmc, "no rotation card fitted");
}

BusI2c& I2c()
{
    return Modele(Installee().i2c, "no simulated I2C bus");
}

}  // namespace boardsim
