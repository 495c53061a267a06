// Test bench of the serial links: the operator board and the laser source are
// played from the master ends of pseudo-terminals; the simulated board gives
// the DSP card and an OS timer that moves 0.1 ms at each read.
#pragma once

#include "../board-sim/banc_essai.h"
#include "../lib-zk-io/ptylinks.h"
#include "CommunicationViperGL.h"
#include "build.h"
#include "mlas_func.h"
#include "zkserial.h"
#include "etat_deplacement.h"
#include "etat_pupitre.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace banc {

inline constexpr bool kFibre = build::kFibreLine;
inline constexpr double kTicksParMs = boardsim::kTicksParMsViper;
inline constexpr uint32_t kPasTimer = 369;
inline constexpr int kEsc = 0x1B;
inline constexpr int kCr = 0x0D;

inline std::string Octets(std::initializer_list<int> valeurs)
{
    std::string texte;
    for (int v : valeurs) texte.push_back(static_cast<char>(v));
    return texte;
}

// An event frame: ESC letter 3 parameter CR.
inline std::string Evenement(char lettre, int parametre = 0)
{
    return Octets({kEsc, lettre, 3, parametre, kCr});
}

inline std::string Sortie(const std::function<void()>& action)
{
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}

class Liaisons : public ::testing::Test {
protected:
    void SetUp() override
    {
        h = libdevmem_open(materiel::kPortDsp, materiel::kLongueurPortDsp);
        hOSTimer = libdevmem_open(materiel::kCompteurTimerOs, 4);
        deplacement.NbrePeriodeTimerParMs = kTicksParMs;
        boardsim::Timer().Virtuel(kPasTimer);
        boardsim::Dsp().Demarre();
        horlogeInitiale_ = LireHorloge;
        LireHorloge = [] { return horloge_ += 500; };
        ReinitPupitre();
    }
    void TearDown() override
    {
        for (unsigned char port = 1; port <= 3; ++port) CloseUART(port);
        libdevmem_close(hOSTimer);
        libdevmem_close(h);
        hOSTimer = h = nullptr;
        LireHorloge = horlogeInitiale_;
        ScruteEvenementsPupitre = nullptr;
        AppelInitFreqLFMin = nullptr;
    }

    // The board port and the command table, as the line's start-up opens them.
    std::string OuvrePupitre()
    {
        return Sortie([] {
            if constexpr (kFibre) LFInitFiberLaser();
            else InitComGL_Viper();
        });
    }
    // The board sends; returns once the port holds every byte.
    void PupitreEnvoie(const std::string& octets) const { ptys.Send(2, octets, File_Com[2]); }
    std::string Recu(int port, std::size_t taille) const { return ptys.Received(port, taille); }
    // What the firmware has sent on a port so far.
    std::string DejaRecu(int port) const
    {
        std::string recu;
        char octets[512];
        pollfd p{ptys.master[port], POLLIN, 0};
        for (ssize_t n = 0; poll(&p, 1, 20) == 1 && (n = read(ptys.master[port], octets, sizeof octets)) > 0;)
            recu.append(octets, static_cast<std::size_t>(n));
        return recu;
    }
    std::vector<std::string> Commandes() const { return carte.Trace({"CMD"}); }

    PtyLinks ptys;
    Carte carte;

private:
    static inline clock_t horloge_ = 0;
    clock_t (*horlogeInitiale_)() = nullptr;
};

}  // namespace banc
