// Test bench of machine control: a fresh simulated board in a scratch folder
// that is also the working folder, the host port open, the virtual clock, and
// the console and executed blocks read back.
#pragma once

#include "../board-sim/banc_essai.h"
#include "mk_dmc.h"
#include "mlas_dmc.h"
#include "mlas_func.h"
#include "etat_rotation.h"
#include "etat_pupitre.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace banc {

inline clock_t horlogeVirtuelle = 0;
inline clock_t HorlogeVirtuelle()
{
    return horlogeVirtuelle += 500;
}

class Machine : public ::testing::Test {
protected:
    void SetUp() override
    {
        dossierInitial_ = std::filesystem::current_path();
        std::filesystem::current_path(carte.Dossier().Chemin());
        h = libdevmem_open(materiel::kPortDsp, materiel::kLongueurPortDsp);
        horlogeInitiale_ = LireHorloge;
        LireHorloge = HorlogeVirtuelle;
        ScruteEvenementsPupitre = nullptr;
    }
    void TearDown() override
    {
        libdevmem_close(h);
        h = nullptr;
        LireHorloge = horlogeInitiale_;
        std::filesystem::current_path(dossierInitial_);
    }

    static std::string Sortie(const std::function<void()>& action)
    {
        testing::internal::CaptureStdout();
        action();
        return testing::internal::GetCapturedStdout();
    }

    // The rotation card fitted, on its virtual clock, its ports and the OS timer
    // open, the axis in place of Y with its origin sensor (builds with the card).
    static boardsim::CarteDmc& BrancheCarteRotation()
    {
        auto& dmc = boardsim::AjouteCarteDmc();
        dmc.Virtuel(1000);
        handleDMC = libdevmem_open(materiel::kPortsDmc, materiel::kLongueurPortsDmc);
        hOSTimer = libdevmem_open(materiel::kCompteurTimerOs, 4);
        boardsim::Timer().Virtuel(3686);  // about 1 ms per read
        ReinitRotation();
        pupitre.Reset_presse = 0;
        Sortie([] { init_DMC_Laser(); });
        return dmc;
    }
    static void DebrancheCarteRotation()
    {
        libdevmem_close(hOSTimer);
        libdevmem_close(handleDMC);
        hOSTimer = handleDMC = nullptr;
        rotation.DMC_OK = rotation.DMC_ON = 0;
    }

    Carte carte;
    boardsim::CarteDsp& dsp = boardsim::Dsp();

private:
    std::filesystem::path dossierInitial_;
    clock_t (*horlogeInitiale_)() = nullptr;
};

}  // namespace banc
