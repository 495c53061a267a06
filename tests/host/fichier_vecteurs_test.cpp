#include "debut.h"
#include "fichier_vecteurs.h"
#include "traceur.h"

#include <cstdio>
#include <vector>

namespace {

class FichierVecteurs : public Traceur {
 protected:
  void remplace(const std::vector<std::uint8_t>& octets) {
    std::fclose(Contexte.FichierVecteurs);
    Contexte.FichierVecteurs = std::tmpfile();
    std::fwrite(octets.data(), 1, octets.size(), Contexte.FichierVecteurs);
    std::rewind(Contexte.FichierVecteurs);
  }
};

TEST_F(FichierVecteurs, PointsAreLittleEndianFloatsAndGrowTheBox) {
  EcritCodeVecteur(CodeDeplacement);
  EcritPointVecteur({1.5f, -2.0f});
  EcritCodeVecteur(CodeTrace);
  EcritPointVecteur({-4.0f, 8.0f});
  EcritCodeVecteur(CodeClasse);
  EcritCodeVecteur(3);
  const std::vector<std::uint8_t> attendu = {1, 0, 0, 0xC0, 0x3F, 0, 0, 0, 0xC0,
                                             2, 0, 0, 0x80, 0xC0, 0, 0, 0, 0x41, 4, 3};
  EXPECT_EQ(octetsVecteurs(), attendu);
  EXPECT_EQ(Analyse.Boite.XMin, -4.0);
  EXPECT_EQ(Analyse.Boite.XMax, 1.5);
  EXPECT_EQ(Analyse.Boite.YMin, -2.0);
  EXPECT_EQ(Analyse.Boite.YMax, 8.0);
}

TEST_F(FichierVecteurs, NothingIsWrittenOnceThePageHasEnded) {
  EcritCodeVecteur(CodeVT);
  DrapeauNouvellePage = 1;
  EcritCodeVecteur(CodeTrace);
  EcritPointVecteur({100, 100});
  EXPECT_EQ(octetsVecteurs(), std::vector<std::uint8_t>{6});
  EXPECT_EQ(Analyse.Boite.XMax, -1e10);
}

TEST_F(FichierVecteurs, AFailedWriteEndsTheJobWithTheTemporaryFileMessage) {
  std::fclose(Contexte.FichierVecteurs);
  Contexte.FichierVecteurs = std::fopen("/dev/null", "rb");
  ASSERT_NE(Contexte.FichierVecteurs, nullptr);
  EXPECT_EQ(abandon([] { EcritCodeVecteur(CodeVT); }), MsgFichierTemporaire);
  EXPECT_EQ(abandon([] { EcritPointVecteur({1, 2}); }), MsgFichierTemporaire);
  EXPECT_EQ(messages(), (std::vector<std::string>{"Temporary file error", "Temporary file error"}));
}

TEST_F(FichierVecteurs, TheCodeReaderStopsAtTheRecordedEndAtEndOfFileAndOnStrangeBytes) {
  remplace({0, 6, 9, 5, 2});
  FILE* f = Contexte.FichierVecteurs;
  EXPECT_EQ(LitCodeFichierVecteur(f, 4), 0);
  EXPECT_EQ(LitCodeFichierVecteur(f, 4), 6);
  EXPECT_EQ(LitCodeFichierVecteur(f, 4), 7);  // 9 is no code
  EXPECT_EQ(LitCodeFichierVecteur(f, 4), 5);
  EXPECT_EQ(LitCodeFichierVecteur(f, 4), 7);  // at the end position, though a byte follows
  EXPECT_EQ(LitCodeFichierVecteur(f, -1), 2);
  EXPECT_EQ(LitCodeFichierVecteur(f, -1), 7);
  EXPECT_EQ(LitCodeFichierVecteur(f, 100), 7);
}

TEST_F(FichierVecteurs, PointsReadBackAsWrittenAndAShortPointEndsTheJob) {
  EcritPointVecteur({12.25f, -0.5f});
  EcritPointVecteur({3.0f, 4.0f});
  FILE* f = Contexte.FichierVecteurs;
  std::fflush(f);
  std::rewind(f);
  PointHPGL p{};
  HPGL_Pt_from_tmpfile(f, p);
  EXPECT_EQ(p.x, 12.25f);
  EXPECT_EQ(p.y, -0.5f);
  Analyse.Boite = {0, 1, 0, 1};  // out of the box: only a diagnostic
  HPGL_Pt_from_tmpfile(f, p);
  EXPECT_EQ(p.x, 3.0f);
  EXPECT_EQ(p.y, 4.0f);

  remplace({1, 2, 3});
  EXPECT_EQ(abandon([&] { HPGL_Pt_from_tmpfile(Contexte.FichierVecteurs, p); }), MsgFichierTemporaire);
}

}  // namespace
