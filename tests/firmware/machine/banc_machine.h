// Test bench of machine control: a fresh simulated board in a scratch folder
// that is also the working folder, the host port open, the virtual clock, and
// the console and executed blocks read back.
#pragma once

#include "../board-sim/banc_essai.h"
#include "mlas_func.h"

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
        h = libdevmem_open(0x30000100, 20);
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

    Carte carte;
    boardsim::CarteDsp& dsp = boardsim::Dsp();

private:
    std::filesystem::path dossierInitial_;
    clock_t (*horlogeInitiale_)() = nullptr;
};

}  // namespace banc
