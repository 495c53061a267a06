// Start-up frame of the KM250 line: network address read through the "ifip"
// script, firmware and DSP program versions.
#include "banc_liaisons.h"
#include "etat_pupitre.h"

#include <cstdlib>

namespace {

using namespace banc;
using Pupitre = Liaisons;

TEST_F(Pupitre, Km250StartUpFrameCarriesAddressVersionsAndDspProgram)
{
    DossierTemporaire script;
    const std::string chemin = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/bin:/bin";
    setenv("PATH", (script.Chemin().string() + ":" + chemin).c_str(), 1);
    const auto ifip = [&](const std::string& texte) { Ecrit(script.Chemin() / "ifip", "echo '" + texte + "'\n"); };

    EXPECT_EQ(OuvrePupitre(), " Init. port COM3  VIPER <-> GL \n");
    ifip("192.168.0.20 255.255.255.0");
    EXPECT_EQ(Sortie(EnvoiGLCdeViperStarted), "ENVOI StartUp\n");
    EnvoiGLCdeDiodes(3);
    const int majeure = build::kDmc ? 11 : 10;
    EXPECT_EQ(Recu(2, 23), Octets({kEsc, 'm', 16, 192, 168, 0, 20, 255, 255, 255, 0, majeure, 20, 12, 3, 0x07, 0xDF,
                                   kCr, kEsc, 'd', 3, 3, kCr}));

    // A wrong address must not reach the board: it stays 0.0.0.0.
    for (const char* faux : {"192.168.0 255.255.255.0", "192.168.0.256 255.0.0.0", "192.168.0.20",
                             "10.0.0.1 255.255.255.0.1", "1921.168.0.20 255.0.0.0", "10..0.1 255.0.0.0", ""}) {
        ifip("10.0.0.1 255.0.0.0");
        ASSERT_EQ(LitIP(), 0);
        ASSERT_EQ(pupitre.stTypAdrMask[0], 10);
        ifip(faux);
        EXPECT_EQ(Sortie([] { EXPECT_EQ(LitIP(), 255); }), "ERROR : PB ouverture fichier IPFile\n") << faux;
        EXPECT_EQ(pupitre.stTypAdrMask, decltype(pupitre.stTypAdrMask){}) << faux;
    }
    std::filesystem::remove(script.Chemin() / "ifip");
    EXPECT_EQ(Sortie([] { LitIP(); }), "ERROR : PB ouverture fichier IPFile\n");
    setenv("PATH", chemin.c_str(), 1);
}

}  // namespace
