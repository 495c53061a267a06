// Messages, units, the write primitives and the temporary files.
#include "outils.h"

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <numeric>

TEST_F(Convertisseur, MessagesFollowTheLanguage) {
  auto texte = [&](int langue, int message) {
    importe(settings::Record::typical().language(langue));
    win32test::clearMessages();
    AfficheMessage(Contexte, message);
    return win32test::messages().at(0).text;
  };
  EXPECT_EQ(texte(1, 8), "Memory error");
  EXPECT_EQ(texte(9, 8), "Memory error");
  EXPECT_EQ(texte(0, 8), "Erreur memoire");
  EXPECT_EQ(texte(3, 9), "Interne tellerfout");
  EXPECT_EQ(texte(2, 2), "Fehler Plattengr\xF6\xDF" "e");
  EXPECT_EQ(texte(4, 1), "Error creaci\xF3" "n archivo");
  EXPECT_EQ(texte(5, 10), "Errore spooler");
}

TEST_F(Convertisseur, FatalErrorShowsItsMessageThenUnwinds) {
  importe(settings::Record::typical().language(2));
  testing::internal::CaptureStderr();
  EXPECT_EQ(abandon([] { ErreurFatale(MsgZoneInterdite); }), 16);
  const std::string console = testing::internal::GetCapturedStderr();
  ASSERT_EQ(win32test::messages().size(), 1u);
  const auto& m = win32test::messages()[0];
  EXPECT_EQ(m.text, "Verbotene Zone \xFC" "berschritten");
  EXPECT_TRUE(m.hasCaption);
  EXPECT_EQ(m.caption, "Haftungsausschluss");
  EXPECT_FALSE(m.hasOwner);
  EXPECT_EQ(m.flags, 0x30030u);
  EXPECT_NE(console.find("Verbotene Zone \xC3\xBC" "berschritten"), std::string::npos) << console;

  AfficheMessage(Contexte, MsgMemoire);
  EXPECT_FALSE(win32test::messages()[1].hasCaption);
}

TEST(Unites, ArronditHalvesAwayFromZero) {
  EXPECT_EQ(Arrondit(2.5), 3);
  EXPECT_EQ(Arrondit(-2.5), -3);
  EXPECT_EQ(Arrondit(-2.4), -2);
  EXPECT_EQ(Arrondit(2.49), 2);
  EXPECT_EQ(Arrondit(0.0), 0);
  EXPECT_EQ(Arrondit(1e12), INT32_MAX);
  EXPECT_EQ(Arrondit(std::nan("")), 0);
}

TEST_F(Convertisseur, LimitedModelFileStopsAtItsCap) {
  importe(settings::Record::typical().model(774));
  ouvreJob();
  std::rewind(Sortie.FichierMachine);
  Sortie.CompteurOctets = 20970090;
  EcritFonction(Contexte, Sortie, "AI", 0);
  EXPECT_EQ(Sortie.CompteurOctets, 20970096u);
  EcritFonction(Contexte, Sortie, "JF", 0);
  EXPECT_EQ(Sortie.CompteurOctets, 20970100u);
  EcritFonction(Contexte, Sortie, "JF", 0);
  EcritJob(Contexte, Sortie, "xx", 2);
  EXPECT_EQ(Sortie.CompteurOctets, 20970100u);
  std::fflush(Sortie.FichierMachine);
  const std::vector<std::uint8_t> b = octets();
  EXPECT_EQ(b, (std::vector<std::uint8_t>{0xFF, 0xFD, 'A', 'I', 0, 0, 0xFF, 0xFD, 'J', 'F'}));

  importe(settings::Record::typical().model(775));
  Sortie.CompteurOctets = 20970100;
  EcritFonction(Contexte, Sortie, "OP", 0);
  EXPECT_EQ(Sortie.CompteurOctets, 20970106u);
}

TEST_F(Convertisseur, UnitsAndWordWritesBigEndianInTheCallersBuffer) {
  importe(settings::Record::typical());
  EXPECT_EQ(ConvertitUnitesEnPoints(25400, 300), 300);
  EXPECT_DOUBLE_EQ(ConvertitPointsEnUnites(300, 300), 25400);
  ouvreJob();
  std::uint16_t mots[2] = {0x1234, 0xABCD};
  std::uint32_t longs[1] = {0x01020304};
  EcritMots16(Contexte, Sortie, mots, sizeof mots);
  EcritMots32(Contexte, Sortie, longs, sizeof longs);
  const std::uint8_t attendu16[] = {0x12, 0x34, 0xAB, 0xCD};
  EXPECT_EQ(std::memcmp(mots, attendu16, 4), 0);
  const std::vector<std::uint8_t> b = octets();
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 6, b.end()),
            (std::vector<std::uint8_t>{0x12, 0x34, 0xAB, 0xCD, 1, 2, 3, 4}));
  EXPECT_EQ(Sortie.CompteurOctets, 14u);
}

TEST_F(Convertisseur, WriteErrorOnTheJobFileAborts) {
  importe(settings::Record::typical());
  Sortie.FichierMachine = std::fopen("/dev/full", "w");
  ASSERT_NE(Sortie.FichierMachine, nullptr);
  std::vector<std::uint8_t> bloc(100000, 7);
  EXPECT_EQ(abandon([&] { EcritJob(Contexte, Sortie, bloc.data(), bloc.size()); }), 4);
  EXPECT_EQ(messages(), (std::vector<std::string>{"Write file error"}));
  // The abort tail never reports again.
  EcritQueueAbandon(Contexte, Sortie);
  EXPECT_EQ(messages().size(), 1u);
}

TEST_F(Convertisseur, StreamTemporaryFileFallsBackThenReports) {
  importe(settings::Record::typical());
  win32test::inject(win32test::Call::Tmpfile);
  FILE* f = OuvreFichierBrouillon(Contexte);
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(messages().empty());
  std::fclose(f);

  win32test::inject(win32test::Call::Tmpfile);
  win32test::inject(win32test::Call::Fopen);
  EXPECT_EQ(OuvreFichierBrouillon(Contexte), nullptr);
  EXPECT_EQ(messages(), (std::vector<std::string>{"Temporary file error"}));
}

TEST_F(Convertisseur, RasterTemporaryFileFailuresReportMessageOne) {
  importe(settings::Record::typical());
  win32test::inject(win32test::Call::GetTempFileName);
  EXPECT_EQ(abandon([&] { CreeFichierTemp(Contexte); }), 1);

  // GetTempPathA failing sends the name to "c:\", which does not exist here.
  win32test::inject(win32test::Call::GetTempPath);
  EXPECT_EQ(abandon([&] { CreeFichierTemp(Contexte); }), 1);

  win32test::inject(win32test::Call::CreateFile);
  EXPECT_EQ(abandon([&] { CreeFichierTemp(Contexte); }), 1);
  EXPECT_EQ(messages(), std::vector<std::string>(3, "Create file error"));
}

TEST_F(Convertisseur, RasterTransferRunsInMillionBytePiecesOddPieceFirst) {
  importe(settings::Record::typical());
  HANDLE h = CreeFichierTemp(Contexte);
  std::vector<std::uint8_t> donnees(2500000);
  std::iota(donnees.begin(), donnees.end(), 0);
  EcritFichierTemp(Contexte, h, 2500000, donnees.data(), 10, 0);
  win32test::alwaysPending(true);
  std::vector<std::uint8_t> relu(2500000);
  LitFichierTemp(Contexte, h, 2500000, relu.data(), 10, 0);
  EXPECT_EQ(relu, donnees);
  const auto& t = win32test::transfers();
  ASSERT_EQ(t.size(), 6u);
  for (int i : {0, 3}) {
    EXPECT_EQ(t[i].bytes, 500000u);
    EXPECT_EQ(t[i + 1].bytes, 1000000u);
    EXPECT_EQ(t[i + 2].bytes, 1000000u);
    EXPECT_EQ(t[i + 2].offset, 1500010u);
  }
  CloseHandle(h);
}

TEST_F(Convertisseur, RasterOffsetsAdvanceAcrossFourGigabytes) {
  importe(settings::Record::typical());
  HANDLE h = CreeFichierTemp(Contexte);
  std::vector<std::uint8_t> donnees(2000000, 0x5A);
  EcritFichierTemp(Contexte, h, 2000000, donnees.data(), 0xFFFFFF00u, 0);
  const auto& t = win32test::transfers();
  ASSERT_EQ(t.size(), 3u);  // an empty piece, then two full ones
  EXPECT_EQ(t[0].bytes, 0u);
  EXPECT_EQ(t[2].offset, 0xFFFFFF00ull + 1000000);
  std::uint8_t octet = 0;
  LitFichierTemp(Contexte, h, 1, &octet, 0x000F4240u, 1);  // 2^32 + 1,000,000
  EXPECT_EQ(octet, 0x5A);
  CloseHandle(h);
}

TEST_F(Convertisseur, RasterTransferFailuresCloseTheFileAndAbort) {
  importe(settings::Record::typical());
  std::uint8_t tampon[64] = {};
  struct Cas {
    win32test::Call appel;
    win32test::Fault panne;
    bool ecriture;
    int message;
  };
  using C = win32test::Call;
  using F = win32test::Fault;
  for (const Cas& c : {Cas{C::WriteFile, F::Fail, true, 4}, Cas{C::WriteFile, F::Short, true, 4},
                       Cas{C::WriteFile, F::PendingShort, true, 4},
                       Cas{C::WriteFile, F::PendingFail, true, 4},
                       Cas{C::GetOverlappedResult, F::Fail, true, 4},
                       Cas{C::ReadFile, F::Fail, false, 7}, Cas{C::ReadFile, F::Short, false, 7},
                       Cas{C::ReadFile, F::PendingShort, false, 7}}) {
    HANDLE h = CreeFichierTemp(Contexte);
    EcritFichierTemp(Contexte, h, sizeof tampon, tampon, 0, 0);
    win32test::inject(c.appel, c.panne);
    if (c.appel == C::GetOverlappedResult) win32test::inject(C::WriteFile, F::Pending);
    const int m = abandon([&] {
      if (c.ecriture)
        EcritFichierTemp(Contexte, h, sizeof tampon, tampon, 0, 0);
      else
        LitFichierTemp(Contexte, h, sizeof tampon, tampon, 0, 0);
    });
    EXPECT_EQ(m, c.message);
    EXPECT_EQ(h, nullptr);
  }
  EXPECT_EQ(win32test::openHandles(), 0u);

  // Reading past the end of the data is a short read too.
  HANDLE h = CreeFichierTemp(Contexte);
  EXPECT_EQ(abandon([&] { LitFichierTemp(Contexte, h, 8, tampon, 0, 0); }), 7);
}

TEST_F(Convertisseur, BandRowsAreCompactedInPlace) {
  importe(settings::Record::typical());
  HANDLE h = CreeFichierTemp(Contexte);
  std::vector<std::uint8_t> lignes(4 * 10);
  std::iota(lignes.begin(), lignes.end(), 0);
  EcritFichierTemp(Contexte, h, 40, lignes.data(), 0, 0);
  std::uint8_t tampon[16];
  Sortie.LigneTampon = tampon;
  Sortie.TailleLigneTampon = sizeof tampon;

  // 1-bit rows: 13 dots use 2 bytes of each 10-byte row.
  Sortie.LargeurCourante = 10;
  Contexte.LargeurUtile = 13;
  Contexte.HauteurUtile = 3;
  CompacteLignesBande(Contexte, Sortie, h, 0);
  std::uint8_t relu[6];
  LitFichierTemp(Contexte, h, 6, relu, 0, 0);
  EXPECT_EQ(std::vector<std::uint8_t>(relu, relu + 6), (std::vector<std::uint8_t>{0, 1, 10, 11, 20, 21}));
  EXPECT_EQ(Sortie.LargeurCourante, 2);
  EXPECT_EQ(Sortie.HauteurCourante, 3);
  EXPECT_EQ(Contexte.LargeurPixelsStylo, 13);

  // A row never grows past its stride, which would overwrite the next row.
  Contexte.LargeurUtile = 30;
  CompacteLignesBande(Contexte, Sortie, h, 1);
  EXPECT_EQ(Sortie.LargeurCourante, 2);
  LitFichierTemp(Contexte, h, 6, relu, 0, 0);
  EXPECT_EQ(relu[5], 21);
  Sortie.LigneTampon = nullptr;
  CloseHandle(h);
}
