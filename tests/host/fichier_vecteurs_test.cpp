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

TEST_F(FichierVecteurs, TheBufferedReaderStopsWhereTheCodeReaderStops) {
  remplace({0, 6, 9, 5, 2});
  LecteurVecteurs borne(Contexte.FichierVecteurs, 4);
  for (int attendu : {0, 6, 7, 5, 7, 7}) EXPECT_EQ(borne.code(), attendu);
  LecteurVecteurs libre(Contexte.FichierVecteurs, -1);
  for (int attendu : {0, 6, 7, 5, 2, 7, 7}) EXPECT_EQ(libre.code(), attendu);
  EXPECT_EQ(libre.octet(), -1);
}

TEST_F(FichierVecteurs, TheBufferedReaderReadsWhatTheFileReadersRead) {
  // Several buffers' worth of points and one-byte records, so that points straddle the
  // buffer's end; the last byte lies past the end position.
  std::vector<std::uint8_t> octets;
  for (int i = 0; i < 30000; ++i) {
    if (i % 7 == 3) octets.insert(octets.end(), {4, static_cast<std::uint8_t>(i % 9)});
    octets.push_back(static_cast<std::uint8_t>(1 + i % 3));
    const float xy[2] = {static_cast<float>(i) * 0.5f, -static_cast<float>(i)};
    const auto* o = reinterpret_cast<const std::uint8_t*>(xy);
    octets.insert(octets.end(), o, o + 8);
  }
  octets.push_back(6);
  remplace(octets);
  FILE* f = Contexte.FichierVecteurs;
  const auto fin = static_cast<long long>(octets.size()) - 1;

  std::vector<double> attendu;
  for (int code; (code = LitCodeFichierVecteur(f, fin)) != 7;) {
    attendu.push_back(code);
    if (code == 4) {
      attendu.push_back(std::fgetc(f));
    } else {
      PointHPGL p{};
      HPGL_Pt_from_tmpfile(f, p);
      attendu.insert(attendu.end(), {p.x, p.y});
    }
  }
  LecteurVecteurs l(f, fin);
  auto lit = [&](std::size_t n) {
    std::vector<double> v;
    while (v.size() < n) {
      const int code = l.code();
      if (code == 7) break;
      v.push_back(code);
      if (code == 4) {
        v.push_back(l.octet());
      } else {
        PointHPGL p{};
        l.point(p);
        v.insert(v.end(), {p.x, p.y});
      }
    }
    return v;
  };
  std::vector<double> lu = lit(3000);
  // Back a little (inside the buffer) and back to the start (outside it): the same again.
  const long long repere = l.position();
  const std::vector<double> suite = lit(30);
  l.positionne(repere);
  EXPECT_EQ(lit(30), suite);
  const std::vector<double> reste = lit(SIZE_MAX);
  EXPECT_EQ(l.position(), fin);
  EXPECT_EQ(l.code(), 7);
  l.positionne(0);
  EXPECT_EQ(lit(lu.size()), lu);
  lu.insert(lu.end(), suite.begin(), suite.end());
  lu.insert(lu.end(), reste.begin(), reste.end());
  EXPECT_EQ(lu, attendu);

  remplace({1, 2, 3});
  LecteurVecteurs court(Contexte.FichierVecteurs, -1);
  PointHPGL p{};
  EXPECT_EQ(abandon([&] { court.point(p); }), MsgFichierTemporaire);
}

}  // namespace
