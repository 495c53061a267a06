// Test bench of the start-up: a fresh simulated board whose scratch folder is
// the working folder (with the build's DSP program file and the board type
// file named by MLAS_CPUINFO), pseudo-terminals for the serial ports, virtual
// clocks, and what the start-up leaves open undone afterwards.
#pragma once

#include "../board-sim/banc_essai.h"
#include "../lib-zk-io/ptylinks.h"
#include "CommunicationViperGL.h"
#include "TitanIO.h"
#include "build.h"
#include "mk_dmc.h"
#include "mlas_func.h"
#include "mlas_main.h"
#include "prnCommonFunctions.h"
#include "watchdog.h"
#include "etat_deplacement.h"

#if MLAS_SERIAL_SINGLE_PORT
#include "serial.h"
#else
#include "zkserial.h"
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

namespace banc {

inline clock_t horlogeDemarrage = 0;  // microseconds of the virtual process clock

class Demarrage : public ::testing::Test {
protected:
    Demarrage() : dossierInitial_(std::filesystem::current_path()), horlogeInitiale_(LireHorloge)
    {
        std::filesystem::current_path(carte_.Dossier().Chemin());
        std::filesystem::copy_file(MLAS_SIM_DSP_PROGRAM, build::kTraits.dspProgram);
        setenv("MLAS_CPUINFO", (carte_.Dossier().Chemin() / "cpuinfo").c_str(), 1);
        TypeCarte("Hardware\t: VIPER\n");
        boardsim::Timer().Virtuel(3686);  // about 1 ms per read
        horlogeDemarrage = 0;
        LireHorloge = [] { return horlogeDemarrage += 500; };
    }
    ~Demarrage() override
    {
        Ferme();
        LireHorloge = horlogeInitiale_;
        unsetenv("MLAS_CPUINFO");
        std::filesystem::current_path(dossierInitial_);
    }

    // Undoes what a start-up opened and wired.
    static void Ferme()
    {
        std::signal(SIGINT, SIG_DFL);
        for (libdevmem_handle** fenetre : {&h, &handleOSTimer, &hOSTimer, &HandleOUT}) {
            libdevmem_close(*fenetre);
            *fenetre = nullptr;
        }
        if constexpr (build::kDmc) {
            libdevmem_close(handleDMC);
            handleDMC = nullptr;
        }
#if MLAS_SERIAL_SINGLE_PORT
        CloseUART();
#else
        for (unsigned char port = 1; port <= 3; ++port) CloseUART(port);
        CloseI2cIO();
        AppelInitFreqLFMin = nullptr;
#endif
        ScruteEvenementsPupitre = nullptr;
        RaccordsRotation.PriseOrigine = nullptr;
        deplacement.bDspSansProgramme = 0;
    }

    // The board type file's contents.
    void TypeCarte(const std::string& cpuinfo) const { Ecrit(carte_.Dossier().Chemin() / "cpuinfo", cpuinfo); }

    int Demarre()
    {
        testing::internal::CaptureStdout();
        const int statut = ::Demarrage();
        console = testing::internal::GetCapturedStdout();
        return statut;
    }

    std::vector<std::string> Trace(std::vector<std::string> evenements = {}) const
    {
        return carte_.Trace(std::move(evenements));
    }

    std::string console;

private:
    std::filesystem::path dossierInitial_;
    clock_t (*horlogeInitiale_)();

protected:
    PtyLinks ports;

private:
    banc::Carte carte_;
};

}  // namespace banc
