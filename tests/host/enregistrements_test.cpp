// Records, vector elements and packed lines as they reach the job file.
#include "outils.h"

#include <random>

namespace {

std::vector<std::uint8_t> corps(const std::vector<std::uint8_t>& b) {
  return std::vector<std::uint8_t>(b.begin() + 6, b.end());  // after the pre-header
}

}  // namespace

TEST_F(Convertisseur, ThirtyTwoBitValueIsAPairHighHalfFirst) {
  importe(settings::Record::typical());
  ouvreJob();
  EcritFonction32(Contexte, Sortie, "FR", 100000);
  EXPECT_EQ(corps(octets()), (std::vector<std::uint8_t>{0xFF, 0xFD, 0x46, 0x52, 0x00, 0x01,
                                                         0xFF, 0xFD, 0x46, 0x52, 0x86, 0xA0}));
}

TEST_F(Convertisseur, FocusMovesAreSplitWithinTheLimit) {
  auto parts = [&](std::int64_t m) {
    const jobfile::Job j =
        jobAvec(settings::Record::typical(), [&] { EcritDeplacementFocus(Contexte, Sortie, m); });
    std::vector<int> v;
    for (const auto* r : j.find("RF")) v.push_back(r->svalue());
    return v;
  };
  EXPECT_EQ(parts(70000), (std::vector<int>{23333, 23333, 23334}));
  EXPECT_EQ(parts(-70000), (std::vector<int>{-23333, -23333, -23334}));
  EXPECT_EQ(parts(32752), (std::vector<int>{32752}));
  EXPECT_EQ(parts(0), std::vector<int>{});
  // Three parts would leave 32,753 for the last: four are used.
  EXPECT_EQ(parts(98255), (std::vector<int>{24563, 24563, 24563, 24566}));
  EXPECT_EQ(Contexte.FocusCourant, 98255);

  // The page end cancels every move written since the page set-up.
  EcritFinPage(Contexte, Sortie);
  EXPECT_EQ(Contexte.FocusCourant, 0);
}

TEST_F(Convertisseur, SegmentsAreCutIntoElementsOfAtMost32767) {
  auto elements = [](std::int64_t dx, std::int64_t dy) {
    std::vector<ElementVecteur> v;
    DecoupeSegment(dx, dy, [&](const ElementVecteur& e) { v.push_back(e); });
    return v;
  };
  auto e = elements(70000, 0);
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0].Longueur, 23333);
  EXPECT_EQ(e[1].Longueur, 23333);
  EXPECT_EQ(e[2].Longueur, 23334);
  EXPECT_EQ(e[2].Dx, 23334);
  EXPECT_EQ(e[0].Coin, 255);
  EXPECT_EQ(e[2].Coin, 0);

  EXPECT_TRUE(elements(0, 0).empty());
  e = elements(-3, 4);
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].Longueur, 5);
  EXPECT_EQ(e[0].Dx, -3);

  // Lengths where the remainder alone would pass the limit; every part fits and the
  // parts add up to the segment.
  struct Segment {
    std::int64_t dx, dy;
  };
  for (const Segment& s : {Segment{98300, 0}, Segment{-131067, 0}, Segment{5000000, 1666666},
                           Segment{-4000000000LL, 1333333333}}) {
    SCOPED_TRACE(s.dx);
    std::int64_t sommeX = 0, sommeY = 0;
    for (const ElementVecteur& p : elements(s.dx, s.dy)) {
      EXPECT_LE(p.Longueur, 32767);
      EXPECT_GT(p.Longueur, 0);
      sommeX += p.Dx;
      sommeY += p.Dy;
    }
    EXPECT_EQ(sommeX, s.dx);
    EXPECT_EQ(sommeY, s.dy);
  }
  EXPECT_EQ(elements(98300, 0).size(), 4u);
}

TEST_F(Convertisseur, ElementsGoOutShortByteFirst) {
  importe(settings::Record::typical());
  ouvreJob();
  EcritFonction(Contexte, Sortie, "PD", 0);
  ElementVecteur e[1] = {{/*Coin*/ 7, /*Court*/ 9, -2, 300, 300}};
  EcritElements(Contexte, Sortie, e, 1);
  EcritFinJob(Contexte, Sortie);
  EXPECT_EQ(corps(octets()),
            (std::vector<std::uint8_t>{0xFF, 0xFD, 'P', 'D', 0, 0, 9, 7, 0xFF, 0xFE, 0x01, 0x2C,
                                       0x01, 0x2C, 0xFF, 0xFD, 'J', 'F', 0, 0}));
}

TEST(PackBits, RunsLiteralsAndThePad) {
  auto paquet = [](std::vector<std::uint8_t> ligne) {
    std::vector<std::uint8_t> sortie(TailleMaxPackBits(ligne.size()));
    sortie.resize(CompressePackBits(ligne.data(), ligne.size(), sortie.data()));
    return sortie;
  };
  EXPECT_EQ(paquet({5, 5, 5, 5, 5}), (std::vector<std::uint8_t>{0xFC, 5}));
  EXPECT_EQ(paquet({1, 2}), (std::vector<std::uint8_t>{0x01, 1, 2, 0x80}));
  EXPECT_EQ(paquet({9}), (std::vector<std::uint8_t>{0x00, 9}));
  // 7 packed bytes are stored as 8, ending in 0x80.
  EXPECT_EQ(paquet({1, 2, 3, 3, 4}), (std::vector<std::uint8_t>{0x01, 1, 2, 0xFF, 3, 0x00, 4, 0x80}));

  std::mt19937 alea(42);
  for (int essai = 0; essai < 200; ++essai) {
    std::vector<std::uint8_t> ligne(alea() % 700);
    for (auto& b : ligne) b = static_cast<std::uint8_t>(alea() % 3 ? 0 : alea());
    const auto p = paquet(ligne);
    ASSERT_EQ(p.size() % 2, 0u);
    ASSERT_LE(p.size(), TailleMaxPackBits(ligne.size()));
    ASSERT_EQ(jobfile::unpackBits(p), ligne);
  }
}

TEST_F(Convertisseur, RasterLineRecordCountsWords) {
  const std::uint8_t ligne[] = {1, 2, 3, 3, 4};
  const jobfile::Job j = jobAvec(settings::Record::typical(), [&] {
    std::uint8_t paquet[16];
    EcritLigneRaster(Contexte, Sortie, "C3", paquet, CompressePackBits(ligne, sizeof ligne, paquet));
    EcritFonction(Contexte, Sortie, "R5", 0);
  });
  EXPECT_EQ(j.codes(), "C3 R5 JF");
  EXPECT_EQ(j.records[0].value, 4);
  EXPECT_EQ(jobfile::unpackBits(j.records[0].line), std::vector<std::uint8_t>(ligne, ligne + 5));
}

TEST_F(Convertisseur, CompletedJobReachesTheSpoolerWithItsSize) {
  DossierSpool spool;
  Sortie.Imprimante = spool.ouvre();
  ASSERT_NE(StartDocPrinterA(Sortie.Imprimante, 1, nullptr), 0u);
  importe(settings::Record::typical());
  ouvreJob();
  EcritEnteteJob(Contexte, Sortie);
  EcritFinPage(Contexte, Sortie);
  EcritFinJob(Contexte, Sortie);
  EnvoieFichierMachine(Contexte, Sortie);
  // Still in progress: nothing a reader would take as a job.
  for (const std::string& nom : spool.fichiers()) EXPECT_NE(nom.rfind("job-", 0), 0u) << nom;
  ASSERT_TRUE(EndDocPrinter(Sortie.Imprimante));
  EXPECT_EQ(spool.fichiers(), (std::vector<std::string>{"job-000001.prn", "values.txt"}));

  const jobfile::Job j = jobfile::decodeFile(spool.imprimante() / "job-000001.prn");
  EXPECT_EQ(j.field(ChTailleFichier), static_cast<std::int32_t>(octets().size()));
  EXPECT_EQ(j.field(ChTailleFichier), 14 + 240 + 6 * 6);
  // The page end set the estimated time for the host.
  DWORD type = 0, valeur = 99, besoin = 0;
  char nom[] = "TempsEstime";
  EXPECT_EQ(GetPrinterDataA(Sortie.Imprimante, nom, &type, reinterpret_cast<LPBYTE>(&valeur), 4, &besoin),
            ERROR_SUCCESS);
  EXPECT_EQ(valeur, 0u);
  EXPECT_EQ(type, REG_DWORD);
  ClosePrinter(Sortie.Imprimante);
  Sortie.Imprimante = nullptr;
}

TEST_F(Convertisseur, LimitedModelJobIsSentUnpatched) {
  DossierSpool spool;
  Sortie.Imprimante = spool.ouvre();
  StartDocPrinterA(Sortie.Imprimante, 1, nullptr);
  importe(settings::Record::typical().model(770));
  ouvreJob();
  EcritEnteteJob(Contexte, Sortie);
  EcritFinJob(Contexte, Sortie);
  EnvoieFichierMachine(Contexte, Sortie);
  EndDocPrinter(Sortie.Imprimante);
  const jobfile::Job j = jobfile::decodeFile(spool.imprimante() / "job-000001.prn");
  EXPECT_EQ(j.tag, "!KM 200;");
  EXPECT_EQ(j.codes(), "JF");
  EXPECT_EQ(std::filesystem::file_size(spool.imprimante() / "job-000001.prn"), 6u + 8 + 200 + 6);
  ClosePrinter(Sortie.Imprimante);
  Sortie.Imprimante = nullptr;
}

TEST_F(Convertisseur, FailedTransferAbortsAndLeavesNoJob) {
  DossierSpool spool;
  Sortie.Imprimante = spool.ouvre();
  importe(settings::Record::typical());
  for (auto appel : {win32test::Call::WritePrinter, win32test::Call::Allocation}) {
    StartDocPrinterA(Sortie.Imprimante, 1, nullptr);
    ouvreJob();
    EcritEnteteJob(Contexte, Sortie);
    std::vector<std::uint8_t> bloc(25000, 1);
    EcritJob(Contexte, Sortie, bloc.data(), bloc.size());
    EcritFinJob(Contexte, Sortie);
    win32test::inject(appel, win32test::Fault::Fail, 1);
    EXPECT_EQ(abandon([&] { EnvoieFichierMachine(Contexte, Sortie); }),
              appel == win32test::Call::WritePrinter ? 10 : 8);
    EcritQueueAbandon(Contexte, Sortie);
    EXPECT_TRUE(AbortPrinter(Sortie.Imprimante));
    std::fclose(Sortie.FichierMachine);
    Sortie.FichierMachine = nullptr;
  }
  EXPECT_TRUE(spool.fichiers().empty());

  // A job file that cannot be read back is never sent.
  StartDocPrinterA(Sortie.Imprimante, 1, nullptr);
  const std::string chemin = (spool.imprimante().parent_path() / "seul-en-ecriture").string();
  Sortie.FichierMachine = std::fopen(chemin.c_str(), "w");
  EcritFonction(Contexte, Sortie, "JF", 0);
  EXPECT_EQ(abandon([&] { EnvoieFichierMachine(Contexte, Sortie); }), 7);
  ClosePrinter(Sortie.Imprimante);
  Sortie.Imprimante = nullptr;
  EXPECT_TRUE(spool.fichiers().empty());
  EXPECT_EQ(messages(), (std::vector<std::string>{"Spooler error", "Memory error", "Read file error"}));
}

TEST_F(Convertisseur, AbortTailEndsTheDiscardedFile) {
  importe(settings::Record::typical());
  ouvreJob();
  EcritQueueAbandon(Contexte, Sortie);
  EXPECT_EQ(corps(octets()), (std::vector<std::uint8_t>{0xFF, 0xFD, 'A', 'I', 0, 0, 0xFF, 0xFD, 'J', 'F', 0, 0}));
}

TEST_F(Convertisseur, HeaderScratchBlockWithoutMemoryAborts) {
  importe(settings::Record::typical());
  ouvreJob();
  win32test::inject(win32test::Call::Allocation);
  EXPECT_EQ(abandon([&] { EcritEnteteJob(Contexte, Sortie); }), 8);
  EXPECT_EQ(messages(), (std::vector<std::string>{"Memory error"}));
}
