// The job entry: chunks, pages, test patterns, the end of the job and every way a job is discarded.
#include "impression.h"

namespace {

using settings::Record;

DWORD valeurImprimante(HANDLE h, const char* nom) {
  DWORD type = 0, besoin = 0, valeur = 0;
  std::string n = nom;
  EXPECT_EQ(GetPrinterDataA(h, n.data(), &type, reinterpret_cast<LPBYTE>(&valeur), 4, &besoin), ERROR_SUCCESS);
  return valeur;
}

// The job was discarded: no document left to end, nothing spooled, the entry idle again.
void attendAbandon(Impression& i) {
  EXPECT_FALSE(EndDocPrinter(i.imprimante()));
  EXPECT_TRUE(i.fichier().empty());
  EXPECT_EQ(DrapeauNouvellePage, 1);
  EXPECT_EQ(DrapeauNouveauJob, 1);
  EXPECT_EQ(Analyse.Tampon, nullptr);
  EXPECT_EQ(Sortie.FichierMachine, nullptr);
  EXPECT_EQ(Contexte.FichierVecteurs, nullptr);
  EXPECT_EQ(Sortie.LigneTampon, nullptr);
}

long long tailleVecteurs() {
  std::fflush(Contexte.FichierVecteurs);
  std::fseek(Contexte.FichierVecteurs, 0, SEEK_END);
  return std::ftell(Contexte.FichierVecteurs);
}

TEST_F(Entree, EmptyPageGivesOnlyThePageFrame) {
  const jobfile::Job j = imprime("PG;", Record::typical());
  EXPECT_EQ(j.preHeader, "!LB 1;");
  EXPECT_EQ(j.tag, "!KM 240;");
  EXPECT_EQ(j.codes(), "AI PU TE TE OP JF");
  for (const auto& r : j.records) EXPECT_EQ(r.value, 0) << r.code;
  // The size field holds the whole file's length.
  EXPECT_EQ(j.field(ChTailleFichier), static_cast<int>(j.records.back().offset + 6));
}

TEST_F(Entree, JobEndBeforeAnyJobSendsNothing) {
  Impression i;
  EXPECT_EQ(i.termine(Record::typical()), 1);
  EXPECT_EQ(i.fichier(), std::vector<std::uint8_t>{});
  EXPECT_EQ(valeurImprimante(i.imprimante(), "TailleFichierMachine"), 1u);
}

TEST_F(Entree, SquareTestPatternIsExact) {
  const jobfile::Job j = imprime("ignored", Record::typical().jobType(3));
  EXPECT_EQ(j.field(ChOrigineX), 46000);
  EXPECT_EQ(j.field(ChOrigineY), 46000);
  EXPECT_EQ(j.field(ChPlaqueX), 8000);
  EXPECT_EQ(j.field(ChPlaqueY), 8000);
  EXPECT_EQ(j.codes(), "V2 DP PW FR FR VD AI PD AI PU TE TE OP JF");
  // Every corner is sharp; the 280-long sides are short segments at the slow index 7.
  const int a = 280, b = 3720, l = 5261;
  const std::vector<Element> attendu = {
      {7, 0, a, 0, a},  {0, 0, b, b, l},   {0, 0, b, -b, l},  {7, 0, a, 0, a},
      {7, 0, 0, a, a},  {0, 0, -b, b, l},  {0, 0, b, b, l},   {7, 0, 0, a, a},
      {7, 0, -a, 0, a}, {0, 0, -b, -b, l}, {0, 0, -b, b, l},  {7, 0, -a, 0, a},
      {7, 0, 0, -a, a}, {0, 0, b, -b, l},  {0, 0, -b, -b, l}, {7, 0, 0, -a, a}};
  EXPECT_EQ(elements(*j.find("PD")[0]), attendu);
}

TEST_F(Entree, CrossTestPatternIsExact) {
  const jobfile::Job j = imprime("ignored", Record::typical().jobType(9));
  EXPECT_EQ(j.field(ChPlaqueX), 100000);
  EXPECT_EQ(j.field(ChOrigineX), 0);
  EXPECT_EQ(j.codes(), "V2 PU DP PW FR FR VD AI PD AI PU TE TE OP JF");
  // The jump to the field centre, cut in three; then down and back up 25 mm.
  EXPECT_EQ(elements(*j.find("PU")[0]), (std::vector<Element>{{0, 254, 16666, 16666, 23570},
                                                              {0, 254, 16666, 16666, 23570},
                                                              {0, 0, 16668, 16668, 23571}}));
  EXPECT_EQ(elements(*j.find("PD")[0]),
            (std::vector<Element>{{0, 0, 0, -25000, 25000}, {0, 0, 0, 25000, 25000}}));
}

TEST_F(Entree, TestPatternsInHundredthsOfAMillimetre) {
  Impression i;
  std::string nom = "Unit100";
  DWORD un = 1;
  ASSERT_EQ(SetPrinterDataA(i.imprimante(), nom.data(), REG_DWORD, reinterpret_cast<LPBYTE>(&un), 4),
            ERROR_SUCCESS);
  const Record r = Record::typical().jobType(3);
  EXPECT_EQ(i.flux("x", r), 1);
  EXPECT_EQ(i.termine(r), 1);
  const jobfile::Job j = i.job();
  EXPECT_EQ((std::vector<int>{j.field(ChUnite), j.field(ChPlaqueX), j.field(ChOrigineX)}),
            (std::vector<int>{0, 800, 4600}));
  const auto pd = elements(*j.find("PD")[0]);
  EXPECT_EQ((std::vector<int>{pd.at(0).dx, pd.at(1).dx}), (std::vector<int>{28, 372}));
}

TEST_F(Entree, EveryJobTypeMakesItsPage) {
  for (int type = 2; type <= 13; ++type) {
    SCOPED_TRACE(type);
    if (type == 10) continue;
    const jobfile::Job j = imprime("PG;", Record::typical().jobType(static_cast<std::uint16_t>(type)));
    EXPECT_EQ(j.field(ChTypeFichier), type == 12 ? 1 : type);
    switch (type) {
      case 2:
      case 4:
      case 11:
        EXPECT_EQ(j.codes(), "AI PU TE TE OP JF");
        break;
      case 13:  // no pattern: the page never ends and the job holds its header only
        EXPECT_EQ(j.codes(), "JF");
        break;
      default: {
        ASSERT_EQ(j.find("PD").size(), 1u);
        const auto p = parcours(j);
        ASSERT_FALSE(p.empty());
        EXPECT_TRUE(p.back().trace);
      }
    }
  }
  // Type 5: across the field and back.
  const auto p = parcours(imprime("PG;", Record::typical().jobType(5)));
  EXPECT_EQ(p, (std::vector<Position>{{25000, 0, true}, {50000, 0, true}, {75000, 0, true},
                                      {100000, 0, true}, {75000, 0, true}, {50000, 0, true},
                                      {25000, 0, true}, {0, 0, true}}));
}

TEST_F(Entree, ChunkingDoesNotChangeTheJob) {
  const std::string flux = page("PU400,400;PD2000,400,2000,2000;SP2;PU2400,400;CI300;") +
                           page("SP3;PU100,100;PD300,300;AA200,200,90;") + "PG;";
  const std::vector<std::uint8_t> entier = imprimeOctets(flux, Record::typical());
  EXPECT_EQ(jobfile::decode(entier).find("OP").size(), 3u);
  for (std::size_t n : {1, 2, 3, 7, 64, 1000}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(imprimeOctets(flux, Record::typical(), n), entier);
  }
}

TEST_F(Entree, NothingIsInterpretedBelowFiveMillionBytes) {
  Impression i;
  const Record r = Record::typical();
  const std::string tete = "IN;SP1;PA;PU400,400;PD800,400;";
  EXPECT_EQ(i.appel(tete + std::string(kReserveAnalyse - 1 - tete.size(), ' '), r), 1);
  EXPECT_EQ(Analyse.Curseur, Analyse.Tampon);
  EXPECT_EQ(Analyse.Fin - Analyse.Tampon, static_cast<long>(kReserveAnalyse - 1));
  EXPECT_EQ(tailleVecteurs(), 0);

  // Past the mark: whole commands are taken until fewer than 5,000,000 bytes remain.
  EXPECT_EQ(i.appel("PD800,800;", r), 1);
  EXPECT_GT(Analyse.Curseur, Analyse.Tampon);
  EXPECT_LT(static_cast<std::size_t>(Analyse.Fin - Analyse.Curseur), kReserveAnalyse);
  EXPECT_GT(tailleVecteurs(), 0);
  const auto reste = Analyse.Fin - Analyse.Curseur;

  // The rest waits where it is, the next chunk after it: it moves to the buffer start only
  // when a chunk would not fit behind it.
  const std::uint8_t* curseur = Analyse.Curseur;
  EXPECT_EQ(i.appel("PD400,800;", r), 1);
  EXPECT_EQ(Analyse.Curseur, curseur);
  EXPECT_EQ(Analyse.Fin - Analyse.Curseur, reste + 10);
  EXPECT_EQ(i.appel("PG;", r), 1);
  EXPECT_EQ(i.termine(r), 1);
  const auto p = parcours(i.job());
  EXPECT_EQ(p.back(), (Position{20000, 10000, true}));
  EXPECT_EQ(p.size(), 4u);
}

TEST_F(Entree, TheRestMovesToTheBufferStartWhenAChunkWouldNotFitBehindIt) {
  Impression i;
  const Record r = Record::typical();
  const std::string tete = "IN;SP1;PA;PU400,400;PD800,400;";
  EXPECT_EQ(i.appel(tete + std::string(kReserveAnalyse - 1 - tete.size(), ' '), r), 1);
  EXPECT_EQ(i.appel("PD800,800;", r), 1);
  ASSERT_GT(Analyse.Curseur, Analyse.Tampon);
  const std::size_t capacite = Analyse.Capacite;
  // One byte more than the room behind the buffered bytes.
  const auto place = capacite - static_cast<std::size_t>(Analyse.Fin - Analyse.Tampon);
  const std::string morceau = "PD400,800;" + std::string(place + 1 - 10, ' ');
  EXPECT_EQ(i.appel(morceau, r), 1);
  EXPECT_EQ(Analyse.Capacite, capacite);
  EXPECT_EQ(i.appel("PG;", r), 1);
  EXPECT_EQ(i.termine(r), 1);
  const auto p = parcours(i.job());
  EXPECT_EQ(p.back(), (Position{20000, 10000, true}));
  EXPECT_EQ(p.size(), 4u);
}

TEST_F(Entree, CommandsLongerThanTheReserveAreReadAsTheyArrive) {
  const Record r = Record::typical();
  // 6 MB of one PD list in 64 KB chunks: the pairs are drawn as they come.
  const std::string zeros(36, '0'), blancs(120, ' ');
  std::string flux = "IN;SP1;PA;PU400,400;PD";
  int paires = 0;
  for (; flux.size() < 6000000; ++paires)
    flux += (paires % 2 ? "400." : "800.") + zeros + ",400." + zeros + "," + blancs;
  flux.back() = ';';
  auto p = parcours(imprime(flux + "PG;", r));
  EXPECT_EQ(std::count_if(p.begin(), p.end(), [](const Position& q) { return q.trace; }), paires);
  EXPECT_EQ(p.back(), (Position{10000, paires % 2 ? 20000 : 10000, true}));

  // As much of one polyline-encoded list: +400 and -400 along x in turn.
  flux = "IN;SP1;PA;PU400,400;PE";
  for (paires = 0; flux.size() < 6000000; ++paires)
    flux += std::string(paires % 2 ? "`\xCB" : "_\xCB") + "\xBF" + blancs + blancs;
  p = parcours(imprime(flux + ";PG;", r));
  EXPECT_EQ(std::count_if(p.begin(), p.end(), [](const Position& q) { return q.trace; }), paires);
  EXPECT_EQ(p.back(), (Position{10000, paires % 2 ? 20000 : 10000, true}));

  // 11 MB of one quoted string: the buffer grows to hold it, and what it says is never a command.
  flux = "IN;SP1;PA;CO\"";
  while (flux.size() < 11000000) flux += "PD4000,4000;";
  p = parcours(imprime(flux + "\"PU400,400;PD800,400;PG;", r));
  EXPECT_EQ(p, (std::vector<Position>{{10000, 10000, false}, {10000, 20000, true}}));
  EXPECT_TRUE(messages().empty());
}

TEST_F(Entree, DegenerateValuesAndCommentsLeaveTheJobAsDrawn) {
  const Record r = Record::typical();
  const auto attendu = imprimeOctets(page("PU400,400;PD800,400;PU;PA400,400;"), r);
  Impression i;
  // A comment would lower the pen ("pd" in "updated") and mark the move that follows.
  const std::string dessin = "PU400,400;PD800,400;PU;CO\"updated\";PA400,400;";
  EXPECT_EQ(i.flux(page("LT2,0;IP0,0,0,0;SC0,0,0,100;LT;" + dessin), r), 1);
  EXPECT_EQ(i.termine(r), 1);
  EXPECT_EQ(i.fichier(), attendu);
  EXPECT_TRUE(messages().empty());
}

TEST_F(Entree, SyntaxErrorDiscardsTheJob) {
  Impression i;
  EXPECT_EQ(i.flux(page("PU400,400;PD800,400;"), Record::typical()), 1);
  EXPECT_EQ(i.appel("IN;PA100;PG;", Record::typical()), 0);
  ASSERT_EQ(win32test::messages().size(), 1u);
  const auto& m = win32test::messages()[0];
  EXPECT_EQ(m.text, "Syntax 2 error");
  EXPECT_FALSE(m.hasCaption);
  EXPECT_FALSE(m.hasOwner);
  EXPECT_EQ(m.flags, 0x30030u);
  attendAbandon(i);

  // The next job starts afresh.
  Impression suivante;
  EXPECT_EQ(suivante.flux(page("PU400,400;PD800,400;"), Record::typical()), 1);
  EXPECT_EQ(suivante.termine(Record::typical()), 1);
  EXPECT_EQ(suivante.job().find("PD").size(), 1u);
}

TEST_F(Entree, OutOfMemoryDiscardsTheJob) {
  {
    Impression i;
    win32test::inject(win32test::Call::Allocation);
    EXPECT_EQ(i.appel(page(""), Record::typical()), 0);
    EXPECT_EQ(messages(), std::vector<std::string>{"Memory error"});
    attendAbandon(i);
  }
  // A chunk that does not fit beside what is buffered grows the buffer; without memory for
  // that, or past the largest buffer, the job is refused, never written past the buffer.
  win32test::clearMessages();
  Impression i;
  EXPECT_EQ(i.appel("IN;" + std::string(4000000, ' '), Record::typical()), 1);
  win32test::inject(win32test::Call::Allocation);
  EXPECT_EQ(i.appel(std::string(kTailleTamponPage - 4000000, ' '), Record::typical()), 0);
  EXPECT_EQ(messages(), std::vector<std::string>{"Memory error"});
  attendAbandon(i);

  win32test::clearMessages();
  Impression j;
  EXPECT_EQ(j.appel(std::string(kTailleTamponPage + 1, ' '), Record::typical()), 1);
  EXPECT_EQ(j.appel(std::string(kTailleTamponMax, ' '), Record::typical()), 0);
  EXPECT_EQ(messages(), std::vector<std::string>{"Memory error"});
  attendAbandon(j);
}

TEST_F(Entree, SpoolerFailures) {
  {
    Impression i;
    EXPECT_EQ(i.flux(page("PU400,400;PD800,400;"), Record::typical()), 1);
    win32test::inject(win32test::Call::WritePrinter);
    EXPECT_EQ(i.termine(Record::typical()), 0);
    EXPECT_EQ(messages(), std::vector<std::string>{"Spooler error"});
    attendAbandon(i);
  }
  // AbortPrinter failing is said too; the abort goes on.
  win32test::clearMessages();
  Impression i;
  win32test::inject(win32test::Call::AbortPrinter);
  EXPECT_EQ(i.appel("PA1;PG;", Record::typical()), 0);
  EXPECT_EQ(messages(), (std::vector<std::string>{"Syntax 2 error", "Spooler error"}));
  EXPECT_EQ(Analyse.Tampon, nullptr);
  EXPECT_EQ(Sortie.FichierMachine, nullptr);
}

TEST_F(Entree, NoPrinterHandleAbortsQuietly) {
  const Record r = Record::typical();
  EXPECT_EQ(debut(nullptr, "PA1;PG;", 7, r.data()), 0);
  EXPECT_EQ(messages(), std::vector<std::string>{"Syntax 2 error"});
  EXPECT_EQ(DrapeauNouveauJob, 1);
  // Without a printer the job is written and dropped.
  EXPECT_EQ(debut(nullptr, "PG;", 3, r.data()), 1);
  EXPECT_EQ(debut(nullptr, "JF;", 3, r.data()), 1);
  EXPECT_EQ(messages().size(), 1u);
}

TEST_F(Entree, TemporaryFileFailureReturnsZeroAndKeepsNothing) {
  const Record r = Record::typical();
  Impression i;
  // The job file.
  win32test::inject(win32test::Call::Tmpfile);
  win32test::inject(win32test::Call::Tempnam);
  EXPECT_EQ(i.appel(page(""), r), 0);
  EXPECT_EQ(messages(), std::vector<std::string>{"Temporary file error"});
  EXPECT_EQ(Analyse.Tampon, nullptr);
  EXPECT_EQ(DrapeauNouvellePage, 1);
  // The vector file: the job file just opened goes too.
  win32test::inject(win32test::Call::Tmpfile, win32test::Fault::Fail, 2);
  win32test::inject(win32test::Call::Tempnam);
  EXPECT_EQ(i.appel(page(""), r), 0);
  EXPECT_EQ(Analyse.Tampon, nullptr);
  EXPECT_EQ(Sortie.FichierMachine, nullptr);
  EXPECT_EQ(DrapeauNouveauJob, 1);
  // Nothing was aborted: the same job can go on.
  EXPECT_EQ(i.flux(page("PU400,400;PD800,400;"), r), 1);
  EXPECT_EQ(i.termine(r), 1);
  EXPECT_EQ(i.job().codes(), "V2 PU DP PW FR FR VD AI PD AI PU TE TE OP JF");
}

// The draw end points of each page of a job, pages split at their 'OP'.
std::vector<std::vector<Position>> traitsParPage(const jobfile::Job& j) {
  std::vector<std::vector<Position>> pages(1);
  long long x = 0, y = 0;
  for (const auto& r : j.records) {
    if (r.code == "OP") {
      pages.emplace_back();
      x = y = 0;
    }
    for (const auto& e : r.elements) {
      x += e.dx;
      y += e.dy;
      if (r.code == "PD") pages.back().push_back({x, y, true});
    }
  }
  pages.pop_back();
  return pages;
}

TEST_F(Entree, EveryPageOfABufferIsWritten) {
  const Record r = Record::typical();
  Impression i;
  EXPECT_EQ(i.appel(page("PU400,400;PD800,400;") + page("PU1200,1200;PD1600,1200;") + "\r\n", r), 1);
  EXPECT_EQ(i.termine(r), 1);
  EXPECT_EQ(traitsParPage(i.job()), (std::vector<std::vector<Position>>{{{10000, 20000, true}},
                                                                        {{30000, 40000, true}}}));
}

TEST_F(Entree, TheJobEndFinishesThePageLeftOpen) {
  const Record r = Record::typical();
  const std::string trait = "IN;SP1;PA;PU400,400;PD800,400";
  for (const std::string& flux : {trait + ";", trait, page("PU0,0;PD0,400;") + trait + ";"}) {
    SCOPED_TRACE(flux);
    Impression i;
    // Two bytes are data, not a job end.
    EXPECT_EQ(i.appel("JF", r), 1);
    EXPECT_EQ(i.appel(flux, r), 1);
    EXPECT_EQ(DrapeauNouvellePage, 0);
    EXPECT_EQ(i.termine(r), 1);
    const auto pages = traitsParPage(i.job());
    ASSERT_FALSE(pages.empty());
    EXPECT_EQ(pages.back(), (std::vector<Position>{{10000, 20000, true}}));
    EXPECT_EQ(Analyse.Tampon, nullptr);
    EXPECT_EQ(Contexte.FichierVecteurs, nullptr);
    EXPECT_EQ((std::vector<int>{DrapeauNouvellePage, DrapeauNouveauJob}), (std::vector<int>{1, 1}));
  }
  // Bytes after the last page end that draw nothing (a reset, line ends) make no page.
  Impression i;
  EXPECT_EQ(i.appel(page("PU400,400;PD800,400;") + "\x1b" "E\r\nIN;SP1;PU0,0;", r), 1);
  EXPECT_EQ(i.termine(r), 1);
  EXPECT_EQ(i.job().find("OP").size(), 1u);

  // A job end can itself be discarded: the spooler refusing it leaves the entry idle.
  Impression j;
  EXPECT_EQ(j.flux("IN;SP1;PA;PU400,400;PD800,400;", r), 1);
  win32test::inject(win32test::Call::WritePrinter);
  EXPECT_EQ(j.termine(r), 0);
  attendAbandon(j);
}

}  // namespace
