// QUANTEL source commands, the source played from the pty of UART 3: the bytes
// of each command, the replies read and shown, the status menu, the typed command.
#include "CdeActivesRS.h"
#include "CdePassivesRS.h"
#include "GestionStatusSourceQL.h"
#include "banc_liaisons.h"
#include "etat_pupitre.h"

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

namespace {

using namespace banc;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

// The source: answers each command (its text up to CR) from a table and keeps
// every byte it was sent.
class SourceQL {
public:
    SourceQL(int maitre, std::map<std::string, std::string> reponses)
        : fil_([this, maitre, reponses = std::move(reponses)] {
              std::string commande;
              char c = 0;
              for (pollfd p{maitre, POLLIN, 0}; !fin_;) {
                  if (poll(&p, 1, 10) != 1 || read(maitre, &c, 1) != 1) continue;
                  std::lock_guard verrou(mutex_);
                  recu_.push_back(c);
                  if (c != '\r') {
                      if (c != '\0') commande.push_back(c);
                      continue;
                  }
                  if (auto r = reponses.find(commande); r != reponses.end()) {
                      EXPECT_EQ(write(maitre, r->second.data(), r->second.size()), ssize_t(r->second.size()));
                  }
                  commande.clear();
              }
          })
    {
    }
    ~SourceQL()
    {
        fin_ = true;
        fil_.join();
    }
    std::string Recu() const
    {
        std::lock_guard verrou(mutex_);
        return recu_;
    }

private:
    mutable std::mutex mutex_;
    std::string recu_;
    std::atomic<bool> fin_{false};
    std::thread fil_;
};

const std::string kRCD =
    "100\r\n200\r\n50\r\n30\r\n100\r\n20\r\n1.25\r\n25.5\r\n2.5\r\n26\r\n7.75\r\n9.5\r\n";

class Source : public Liaisons {
protected:
    void SetUp() override
    {
        Liaisons::SetUp();
        Sortie([] { InitPortRSViper_SourceQL(); });
    }
    void Console(const std::string& texte)
    {
        const auto fichier = console_.Chemin() / "console.txt";
        Ecrit(fichier, texte);
        ASSERT_NE(std::freopen(fichier.c_str(), "r", stdin), nullptr);
    }
    std::unique_ptr<SourceQL> Repond(std::map<std::string, std::string> reponses)
    {
        return std::make_unique<SourceQL>(ptys.master[3], std::move(reponses));
    }

private:
    DossierTemporaire console_;
};

TEST_F(Source, SetCommandsGoOutWithTheirCrOrNotAtAll)
{
    struct Cas {
        std::function<unsigned char()> envoi;
        std::string console;
        std::string octets;
    };
    const std::vector<Cas> cas = {
        {[] { return EnvoiCdeSRR(50); }, "Config. de la Freq. : 50 kHz\nCde =SRR 050\r\n", "SRR 050\r"},
        {[] { return EnvoiCdeSRR(999); }, "Config. de la Freq. : 999 kHz\nCde =SRR 999\r\n", "SRR 999\r"},
        {[] { return EnvoiCdeSRR(19); }, "La fréquence doit être supérieure à 20 kHz\n", ""},
        {[] { return EnvoiCdeSRR(1000); }, "La fréquence doit être inférieure à 1000 kHz\n", ""},
        {[] { return EnvoiCdeSBC(1.5f); }, "Config. de la puissance de la source  : 1.500000 (Cde SBC)\n", "SBC 1.50\r"},
        {[] { return EnvoiCdeSBC(10.0f); }, "Le courant doit être compris entre 0.00 et 9.99 A\n", ""},
        {[] { return EnvoiCdeSBC(9.999f); }, "Le courant doit être compris entre 0.00 et 9.99 A\n", ""},
        {[] { return EnvoiCdeSBC(-0.5f); }, "Le courant doit être compris entre 0.00 et 9.99 A\n", ""},
        {EnvoiCdeEBE, "Validation du Booster (cde EBE)\n", "EBE \r"},
        {EnvoiCdeDBE, "Devalidation du Booster (Cde DBE)\n", "DBE \r"},
        {EnvoiCdeEGE, "Cde =EGE \r\n", "EGE \r"},
        {EnvoiCdeRCD, "Cde =RCD \r\n", "RCD \r"},
    };
    for (const Cas& c : cas) {
        unsigned char envoyes = 0;
        EXPECT_EQ(Sortie([&] { envoyes = c.envoi(); }), c.console);
        EXPECT_EQ(envoyes, c.octets.size()) << c.console;
        EXPECT_EQ(DejaRecu(3), c.octets) << c.console;
    }
}

TEST_F(Source, StatusCommandsShowTheirRepliesDecoded)
{
    auto source = Repond({{"REP", "12.5\r\n"},
                          {"STB", "1111111111101\r\n"},
                          {"IDR", "QUANTEL YLIA\r\nV2.1\r\n"},
                          {"RCD", kRCD},
                          {"TIR", "1234 h\r\n"}});
    EXPECT_EQ(Sortie([] { GestionCdeStatus(1); }), "LectureRep\nChar Rep=31 - Char Rep=32 - Char Rep=2e - "
                                                   "Char Rep=35 - Char Rep=d - Char Rep=a - \nPuissance = 12.5\n"
                                                   "REPONSE PAS TESTEE\n");
    EXPECT_EQ(Sortie([] { GestionCdeStatus(18); }),
              "\n Average power : OK\n Pulse source current : OK\n Pump 1 current : OK\n Pump 2 current : OK"
              "\n Booster current : OK\n Guide current : OK\n Pulse source temperature : OK"
              "\n Pump 1 temperature : OK\n Pump 2 temperature : OK\n PCB temperature : OK\n Interlock : OK"
              "\n Master pump current : ALARM\n Low power supply : ON\nREPONSE PAS TESTEE\n");
    EXPECT_EQ(Sortie([] { GestionCdeStatus(15); }), "\nQUANTEL YLIA\r\nV2.1\r\nREPONSE PAS TESTEE\n");
    const std::string rcd = Sortie([] { GestionCdeStatus(11); });
    EXPECT_THAT(rcd, ::testing::StartsWith("Pulse length (ns) :  100\r\nHigh Pulse length (ns) :  200\r\n"));
    EXPECT_THAT(rcd, EndsWith("Limite Courant Booster (A) :  9.5\r\nREPONSE PAS TESTEE\n"));
    EXPECT_THAT(Sortie([] { GestionCdeStatus(16); }), EndsWith("Temps total Booster actif : 1234 h \nREPONSE PAS TESTEE\n"));
    EXPECT_EQ(Sortie([] {
                  GestionCdeStatus(0);
                  GestionCdeStatus(19);
              }),
              "");
    EXPECT_EQ(source->Recu(), "REP\rSTB\rIDR\rRCD\rTIR\r");

    // A longer status line: its extra characters name nothing.
    EXPECT_THAT(Sortie([] { AfficheRepCdeSBT("1111111111110000"); }), EndsWith("Low power supply : OFF\n"));
}

TEST_F(Source, TheStatusMenuRunsUntilQuitOrTheEndOfTheConsole)
{
    auto source = Repond({{"RRR", "050\r\n"}});
    Console("14\n  abc\n99\n19\n14\n");
    const std::string console = Sortie(LectureStatus);
    const std::string menu = console.substr(0, console.find("LectureRep"));
    EXPECT_THAT(menu, ::testing::StartsWith(" 1 - REP : "));
    EXPECT_THAT(menu, HasSubstr("\n 18 - STB : "));
    EXPECT_THAT(menu, EndsWith(" 19 - Quitter\nVotre choix : "));
    EXPECT_THAT(console, EndsWith("Frequence : 050 kHz\nREPONSE PAS TESTEE\n" + menu + menu + menu))
        << "three more menus: a word, a choice out of range, and the quit";
    EXPECT_EQ(source->Recu(), "RRR\r");

    Console("");
    Sortie(LectureStatus);  // the end of the console quits too
    EXPECT_EQ(source->Recu(), "RRR\r");
}

TEST_F(Source, CalibrationValuesAreKeptFromTheRcdReply)
{
    auto source = Repond({{"RCD ", kRCD}});
    Sortie(EnvoiCdeRCD);
    std::string reponse;
    ASSERT_TRUE(LectRepSpeRCD(reponse));
    EXPECT_EQ(reponse, kRCD);
    EXPECT_EQ(Sortie([&] { SaveValeurCalibration(reponse); }), "Fct SaveValeurCalibration\n");
    EXPECT_EQ(pupitre.ValPulseLength, 100);
    EXPECT_EQ(pupitre.ValLowRepetitionRate, 20);
    EXPECT_FLOAT_EQ(pupitre.ValCourantPump1, 1.25f);
    EXPECT_FLOAT_EQ(pupitre.ValTemperaturePump1, 25.5f);
    EXPECT_FLOAT_EQ(pupitre.ValCourantMaxBooster, 9.5f);

    Sortie([] { SaveValeurCalibration("7\r\n8\r\n"); });
    EXPECT_EQ(pupitre.ValHighPulseLength, 8);
    EXPECT_EQ(pupitre.ValLowPulseLength, 50) << "lines that did not come leave their value";
    EXPECT_FLOAT_EQ(pupitre.ValCourantMaxBooster, 9.5f);
}

TEST_F(Source, ATypedCommandIsSentPaddedAndItsReplyJudged)
{
    auto source = Repond({{"RRR", "OK\r\n"}, {"XYZ", "ERR 3\r\n"}});
    Console("\nRRR\nXYZ\nABCDEFGHIJKLMNOPQRS\nNUL\n");
    EXPECT_EQ(Sortie(SendCdeManuelle), "Cde : Atttente réponse : OK\n");
    EXPECT_EQ(Sortie(SendCdeManuelle), "Cde : Atttente réponse : Erreur de Commande\n");
    EXPECT_EQ(Sortie(SendCdeManuelle), "Cde : Commande trop longue : 18 caractères au plus\n");
    EXPECT_EQ(Sortie(SendCdeManuelle), "Cde : Atttente réponse : Erruer de communication\nErreur de Commande\n");
    const std::string zeros(16, '\0');
    EXPECT_EQ(source->Recu(), "RRR\r" + zeros + "XYZ\r" + zeros + "NUL\r" + zeros);
}

TEST_F(Source, RepliesThatNeverEndAreGivenUp)
{
    auto source = Repond({{"REP", "12.5"}, {"RBT", std::string(300, 'x')}});
    const std::string console = Sortie([] { GestionCdeStatus(1); });
    EXPECT_THAT(console, EndsWith("Char Rep=35 - \nRéponse de la source incomplète\n"));
    EXPECT_THAT(console, Not(HasSubstr("Puissance")));
    EXPECT_THAT(Sortie([] { GestionCdeStatus(13); }),
                EndsWith("Char Rep=78 - \nRéponse de la source incomplète\n"));
}

TEST_F(Source, TheBufferDumpShowsAll255PlacesOfWhatTheSourceSent)
{
    Sortie([] { InitPortRSGL_Viper(); });
    PupitreEnvoie("CD");
    ptys.Send(3, "AB", File_Com[3]);
    std::string attendu = " 0x41 0x42";
    for (int i = 2; i < 255; ++i) attendu += " 0x0";
    EXPECT_EQ(Sortie(LectureBufUART), attendu);
}

}  // namespace
