#include "boardsim.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace boardsim {

namespace {

struct Carte {
    std::shared_ptr<CarteDsp> dsp;
    std::shared_ptr<TimerOs> timer;
    std::shared_ptr<Gpio> gpio;
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
T& Modele(const std::shared_ptr<T>& modele)
{
    if (!modele) throw std::logic_error("board-sim: no board installed");
    return *modele;
}

}  // namespace

Reglages LitReglages()
{
    Reglages r;
    r.trace = Variable("MLAS_SIM_TRACE", "");
    r.startAuto = Variable("MLAS_SIM_START", "none") == "auto";
    r.dmc = Variable("MLAS_SIM_DMC", "0") == "1";
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
    Carte carte{std::make_shared<CarteDsp>(trace, reglages.startAuto),
                std::make_shared<TimerOs>(trace, reglages.ticksParMs), std::make_shared<Gpio>(trace)};
    libdevmem_unregister_models();
    libdevmem_register_model(kAdresseCarteDsp, kLongueurCarteDsp, carte.dsp);
    libdevmem_register_model(kAdresseTimerOs, kLongueurTimerOs, carte.timer);
    libdevmem_register_model(kAdresseGpio, kLongueurGpio, carte.gpio);
    // The rotation card (0x300002C0) is not modelled yet: its window reads an empty bus.
    Installee() = std::move(carte);
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

}  // namespace boardsim
