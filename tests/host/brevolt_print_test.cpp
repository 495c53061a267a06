// brevolt-print as a host uses it, on every sample drawing: the spooled job's vector
// section, summed element by element, reaches the drawing's end points.
#include "impression.h"

#include "fichier_vecteurs.h"
#include "fichiers_raster.h"
#include "hpgl_commandes.h"
#include "hpgl_flux.h"
#include "raster_outils.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using settings::Record;

std::string lis(const fs::path& f) {
  std::ifstream in(f, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Resultat {
  int code;
  std::string sortie, erreurs;
};

class Outil : public Entree {
 protected:
  void SetUp() override {
    Entree::SetUp();
    dossier_ = spool_.imprimante().parent_path();
  }

  Resultat lance(const std::vector<std::string>& arguments) {
    std::string commande = "'" BREVOLT_PRINT "' --printer laser1";
    for (const std::string& a : arguments) commande += " '" + a + "'";
    commande += " >'" + (dossier_ / "out").string() + "' 2>'" + (dossier_ / "err").string() + "'";
    const int etat = std::system(commande.c_str());
    return {WIFEXITED(etat) ? WEXITSTATUS(etat) : -1, lis(dossier_ / "out"), lis(dossier_ / "err")};
  }

  // The options of an example's ".set" file, and the record they make.
  std::vector<std::string> options(const fs::path& exemple, Record& r) {
    std::vector<std::string> v;
    std::ifstream in(fs::path(exemple).replace_extension(".set"));
    for (std::string option, valeur; in >> option >> valeur;) {
      v.insert(v.end(), {option, valeur});
      const auto deux = valeur.find(':'), egal = valeur.find('=');
      const std::size_t offset = std::stoul(valeur.substr(1, deux - 1));
      const std::string type = valeur.substr(deux + 1, egal - deux - 1);
      const long long n = std::stoll(valeur.substr(egal + 1));
      if (type == "u16") r.u16(offset, static_cast<std::uint16_t>(n));
      if (type == "i16") r.i16(offset, static_cast<std::int16_t>(n));
      if (type == "u32") r.u32(offset, static_cast<std::uint32_t>(n));
      if (type == "i32") r.i32(offset, static_cast<std::int32_t>(n));
    }
    return v;
  }

  // Each pen's draw end points as the interpreter leaves them, in job units: an unturned
  // page puts (x, y) at (y, x), or at (H - x, y) when its width W is below its length H;
  // 1016 points per inch are 25 units of 1/1000 mm.
  std::array<std::vector<Position>, 8> dessin(const std::string& texte, const Record& r) {
    importe(r);
    Contexte.FichierVecteurs = std::tmpfile();
    DrapeauNouvellePage = 0;
    InitPageHPGL();
    AlloueLigneFond();  // fills store rows
    std::vector<std::uint8_t> tampon(texte.begin(), texte.end());
    Analyse.Tampon = Analyse.Curseur = tampon.data();
    Analyse.Fin = tampon.data() + tampon.size();
    Analyse.FinDePage = 1;
    AnalyseFluxHPGL();
    const double w = LargeurPageHPGL(), h = LongueurPageHPGL();
    std::array<std::vector<Position>, 8> traits;
    FILE* f = Contexte.FichierVecteurs;
    std::rewind(f);
    int classe = 8;
    PointHPGL precedent{};
    for (int code; (code = LitCodeFichierVecteur(f, -1)) != 7;) {
      if (code == 4 || code == 5) {
        const int octet = std::fgetc(f);
        if (code == 4) classe = octet;
        continue;
      }
      if (code < 1 || code > 3) continue;
      PointHPGL p{};
      HPGL_Pt_from_tmpfile(f, p);
      // A draw that goes nowhere is not an element of the job.
      const bool nul = p.x == precedent.x && p.y == precedent.y;
      precedent = p;
      if (code != 2 || classe > 7 || nul) continue;
      const double x = w >= h ? p.y : h - p.x, y = w >= h ? p.x : p.y;
      traits[static_cast<std::size_t>(classe)].push_back(
          {std::llround(std::max(x, 0.0) * 25), std::llround(std::max(y, 0.0) * 25), true});
    }
    std::fclose(f);
    Contexte.FichierVecteurs = nullptr;
    fermeRastersPage();
    Analyse.Tampon = Analyse.Curseur = Analyse.Fin = nullptr;
    DrapeauNouvellePage = 1;
    return traits;
  }

  DossierSpool spool_;
  fs::path dossier_;
};

TEST_F(Outil, EveryExampleReachesItsEndPoints) {
  int vus = 0;
  for (const auto& entree : fs::directory_iterator(EXEMPLES)) {
    const fs::path exemple = entree.path();
    if (exemple.extension() != ".hpgl") continue;
    SCOPED_TRACE(exemple.filename().string());
    ++vus;
    Record r = Record::typical();
    std::vector<std::string> arguments = options(exemple, r);
    arguments.push_back(exemple.string());
    const Resultat res = lance(arguments);
    ASSERT_EQ(res.code, 0) << res.erreurs;
    const std::string chemin = res.sortie.substr(0, res.sortie.find('\n'));
    EXPECT_TRUE(chemin.starts_with(spool_.imprimante().string())) << chemin;
    const jobfile::Job j = jobfile::decodeFile(chemin);
    EXPECT_EQ(j.find("OP").size(), 1u);

    // Pens in order, each pass after the other; split parts lie between the end points.
    const auto traits = dessin(lis(exemple), r);
    std::vector<Position> attendu;
    for (int s = 0; s < 8; ++s)
      for (int passe = 0; passe < std::max<int>(Contexte.Slots[s].Passes, 1); ++passe)
        attendu.insert(attendu.end(), traits[static_cast<std::size_t>(s)].begin(),
                       traits[static_cast<std::size_t>(s)].end());
    ASSERT_FALSE(attendu.empty());
    std::vector<Position> atteint;
    for (const Position& p : parcours(j))
      if (p.trace) atteint.push_back(p);
    std::size_t k = 0;
    for (const Position& a : attendu) {
      auto proche = [&](const Position& p) { return std::llabs(p.x - a.x) <= 1 && std::llabs(p.y - a.y) <= 1; };
      while (k < atteint.size() && !proche(atteint[k])) ++k;
      ASSERT_LT(k, atteint.size()) << "end point " << a.x << ", " << a.y << " never reached";
    }
    EXPECT_TRUE(std::llabs(atteint.back().x - attendu.back().x) <= 1 &&
                std::llabs(atteint.back().y - attendu.back().y) <= 1);
  }
  EXPECT_GE(vus, 10);
}

TEST_F(Outil, ThePlainSquareLandsWhereItIsDrawn) {
  const Resultat res = lance({EXEMPLES "/square.hpgl"});
  ASSERT_EQ(res.code, 0) << res.erreurs;
  const auto p = parcours(jobfile::decodeFile(res.sortie.substr(0, res.sortie.find('\n'))));
  // (400, 400) to (2000, 400): 10 mm to 50 mm, in two elements each side.
  EXPECT_EQ(p.front(), (Position{10000, 10000, false}));
  EXPECT_EQ(p[2], (Position{10000, 50000, true}));
  EXPECT_EQ(p[4], (Position{50000, 50000, true}));
}

TEST_F(Outil, DiscardedJobsSayWhy) {
  Record r = Record::typical();
  std::vector<std::string> arguments = options(EXEMPLES "/zone.hpgl", r);
  // The zone moved over the inner square's side.
  arguments.insert(arguments.end(), {"--set", "+828:i32=20000", EXEMPLES "/zone.hpgl"});
  Resultat res = lance(arguments);
  EXPECT_NE(res.code, 0);
  EXPECT_NE(res.erreurs.find("Warning: Forbidden zone crossed"), std::string::npos) << res.erreurs;
  EXPECT_NE(res.erreurs.find("discarded"), std::string::npos);
  EXPECT_TRUE(res.sortie.empty());
  EXPECT_EQ(spool_.fichiers(), std::vector<std::string>{});

  res = lance({"--set", "+6:u16=70000", EXEMPLES "/square.hpgl"});
  EXPECT_EQ(res.code, 2);
  EXPECT_NE(res.erreurs.find("out of range"), std::string::npos);
  res = lance({"--chunk", "0", EXEMPLES "/square.hpgl"});
  EXPECT_EQ(res.code, 2);
}

TEST_F(Outil, AStreamWithoutPageEndIsFinishedByTheJobEnd) {
  const fs::path flux = dossier_ / "sans-fin.hpgl";
  std::ofstream(flux) << "IN;SP1;PA;PU400,400;PD800,400;";
  const Resultat res = lance({"--chunk", "5", flux.string()});
  ASSERT_EQ(res.code, 0) << res.erreurs;
  EXPECT_EQ(res.erreurs, "");
  const jobfile::Job j = jobfile::decodeFile(res.sortie.substr(0, res.sortie.find('\n')));
  EXPECT_EQ(j.find("OP").size(), 1u);
  EXPECT_EQ(parcours(j).back(), (Position{10000, 20000, true}));
}

TEST_F(Outil, ChunkSizeDoesNotChangeTheJob) {
  const fs::path flux = dossier_ / "pages.hpgl";
  std::ofstream(flux) << lis(EXEMPLES "/pens.hpgl") << lis(EXEMPLES "/arcs.hpgl") << "\n\n";
  std::vector<std::string> travaux;
  for (const char* n : {"65536", "1", "2", "3", "10"}) {
    const Resultat res = lance({"--chunk", n, flux.string()});
    ASSERT_EQ(res.code, 0) << res.erreurs;
    travaux.push_back(lis(res.sortie.substr(0, res.sortie.find('\n'))));
  }
  EXPECT_EQ(jobfile::decode(std::vector<std::uint8_t>(travaux[0].begin(), travaux[0].end())).find("OP").size(), 2u);
  for (const std::string& t : travaux) EXPECT_EQ(t, travaux[0]);
}

TEST_F(Outil, AJobItsPortRefusesIsSpooledButTheToolFails) {
  Ecouteur ferme(false);
  std::ofstream(spool_.imprimante() / "port") << "127.0.0.1:" << ferme.port() << "\n";
  const Resultat res = lance({EXEMPLES "/square.hpgl"});
  EXPECT_EQ(res.code, 1);
  EXPECT_EQ(res.sortie, (spool_.imprimante() / "job-000001.prn").string() + "\n");
  EXPECT_NE(res.erreurs.find("Connection refused"), std::string::npos) << res.erreurs;
  EXPECT_NE(res.erreurs.find("spooled but the printer laser1 could not send it to its port"), std::string::npos);
}

}  // namespace
