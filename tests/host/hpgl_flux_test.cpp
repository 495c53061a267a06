#include "debut.h"
#include "hpgl_flux.h"
#include "traceur.h"

#include <cmath>

namespace {

using V = std::vector<std::string>;

class Flux : public Traceur {};

TEST_F(Flux, CaseAndSeparatorsDoNotChangeTheDrawing) {
  execute("SP1;PA10,20;PD30,40;PU;PG;");
  const auto attendu = octetsVecteurs();
  EXPECT_EQ(lisible(enregistrements()), (V{"C 0", "M 10,20", "D 30,40"}));
  for (const char* texte : {"sp1;pa10,20;pd30,40;pu;pg;", "Sp 1 pA 10 20 pd 30\t40\r\npu pg;",
                            "SP1PA10,,20PD+30 , 40PUPG;"}) {
    TearDown();
    SetUp();
    execute(texte);
    EXPECT_EQ(octetsVecteurs(), attendu) << texte;
  }
}

TEST_F(Flux, NumbersStopAtAnythingButDigitsAndPoints) {
  execute("PA1,2e3,5;PA.5,-2.25.7;");
  // 'e' ends the list and starts a command of its own; "-2.25.7" is -2.25 as "%f" reads it.
  EXPECT_EQ(lisible(enregistrements()), (V{"M 1,2", "M 0.5,-2.25"}));
  EXPECT_TRUE(messages().empty());
}

TEST_F(Flux, ALoneSignOrPointIsNotANumber) {
  std::string texte = "- . +.5;";
  auto* debut = reinterpret_cast<std::uint8_t*>(texte.data());
  Analyse.Tampon = Analyse.Curseur = debut;
  Analyse.Fin = debut + texte.size();
  Analyse.FinDePage = 1;
  float v = 42;
  EXPECT_EQ(LitNombreHPGL(v), NombreInvalide);
  EXPECT_EQ(LitNombreHPGL(v), NombreInvalide);
  EXPECT_EQ(v, 42);
  EXPECT_EQ(LitNombreHPGL(v), NombreLu);
  EXPECT_EQ(v, 0.5f);
  // In a line list a lone minus ends the list; its pair is not drawn.
  execute("PA-,5;PA7,8;");
  EXPECT_EQ(lisible(enregistrements()), (V{"M 7,8"}));
}

TEST_F(Flux, WholeNumbersReadAsTheGeneralReaderReadsThem) {
  std::string texte = "-0 +0 -00 123456789 -987654321 16777217 1234567890 0999999999 9999999999 +7;";
  auto* debut = reinterpret_cast<std::uint8_t*>(texte.data());
  Analyse.Tampon = Analyse.Curseur = debut;
  Analyse.Fin = debut + texte.size();
  Analyse.FinDePage = 1;
  // The nearest float, with the sign of a negative zero; ten digits take the other road.
  const float attendus[] = {-0.0f, 0.0f, -0.0f, 123456792.0f, -987654336.0f, 16777216.0f, 1234567936.0f,
                            1000000000.0f, 1e10f, 7.0f};
  for (const float attendu : attendus) {
    float v = 42;
    ASSERT_EQ(LitNombreHPGL(v), NombreLu);
    EXPECT_EQ(v, attendu);
    EXPECT_EQ(std::signbit(v), std::signbit(attendu)) << attendu;
  }
  float v = 42;
  EXPECT_EQ(LitNombreHPGL(v), PasDeNombre);
}

TEST_F(Flux, ANumberLongerThanItsBufferKeepsItsFirstCharactersAndIsReadWhole) {
  const std::string chiffres = "1234" + std::string(100, '0');
  execute("PA" + chiffres.substr(0, 4) + "." + std::string(100, '9') + ",7;");
  EXPECT_EQ(lisible(enregistrements()), (V{"M 1235,7"}));
  // Past the float range the text does not convert: the list ends there.
  TearDown();
  SetUp();
  execute("PA" + chiffres + ",7;PA1,2;");
  EXPECT_EQ(lisible(enregistrements()), (V{"M 1,2"}));
}

TEST_F(Flux, WithoutAPageEndTheLastFiveMillionBytesWaitAndNoCommandIsCut) {
  // The reserve begins inside the number: the command still reads it whole.
  const std::string tete = "PA0,0;PD123456,7;";
  const std::size_t dansLeNombre = tete.find("3456");
  const std::string queue = "PD1,1;";
  std::string texte = tete;
  texte += std::string(kReserveAnalyse - 1 - queue.size() - (tete.size() - dansLeNombre), ' ');
  texte += queue;
  execute(texte, false);
  EXPECT_EQ(lisible(enregistrements()), (V{"M 0,0", "D 123456,7"}));
  EXPECT_EQ(reinterpret_cast<const char*>(Analyse.Curseur) - tampon_.data(),
            static_cast<std::ptrdiff_t>(tete.size()));
  EXPECT_EQ(Analyse.Arret, 0);
}

TEST_F(Flux, DataEndingInsideACommandIsASyntaxError) {
  EXPECT_EQ(abandonne("PA10,20;P"), MsgSyntaxe);
  EXPECT_EQ(abandonne("PA10"), MsgSyntaxe);
  EXPECT_EQ(abandonne("LBno end"), MsgSyntaxe);
  EXPECT_EQ(messages(), (V{"Syntax error", "Syntax error", "Syntax error"}));
}

TEST_F(Flux, EachErrorKindShowsItsMessage) {
  EXPECT_EQ(abandon([] { SignaleErreurCommande(1, 0); }), 12);
  EXPECT_EQ(abandonne("PA100;"), 13);
  EXPECT_EQ(abandonne("AA1,2;"), 14);
  EXPECT_EQ(abandonne("IW1,2,3;"), 15);
  EXPECT_EQ(abandonne("DI0,0;"), MsgSyntaxe);          // zero where it may not be
  EXPECT_EQ(abandonne("AA0,0,90,-;"), MsgSyntaxe);     // bad optional parameter
  EXPECT_EQ(messages(), (V{"Syntax 1 error", "Syntax 2 error", "Syntax 3 error", "Syntax 4 error",
                           "Syntax error", "Syntax error"}));
  Contexte.TableMessages = TableMessagesLangue(0);
  EXPECT_EQ(abandonne("PA1;"), 13);
  EXPECT_EQ(messages().back(), "Erreur syntaxe 2");
}

TEST_F(Flux, UnknownMnemonicsAndEscapesConsumeOnlyTheirLetters) {
  // 'X' is dropped and 'Y' begins the next command; ESC E and ESC * z take two and
  // three bytes, and the raster groups read nothing yet.
  execute("XY12;VT;\x1b" "EVT;\x1b*zVT;\x1b%AVT;MO1;");
  EXPECT_EQ(lisible(enregistrements()), (V{"VT", "VT", "VT", "VT", "MO 1"}));
  EXPECT_TRUE(messages().empty());
}

TEST_F(Flux, AnUnknownCommandsQuotedTextIsNeverReadAsCommands) {
  // "pd" in the text would lower the pen and mark the next move.
  execute("SP1;PA0,0;CO\"updated\";PA560,0;CO \"\";PA0,0;");
  EXPECT_EQ(lisible(enregistrements()), (V{"C 0", "M 0,0", "M 560,0", "M 0,0"}));
  EXPECT_EQ(abandonne("CO\"no end;"), MsgSyntaxe);
}

}  // namespace
