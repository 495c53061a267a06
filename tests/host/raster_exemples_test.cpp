// The Ghostscript images of examples/ through the whole converter: the job's raster
// records, decoded by the shared decoder, rebuild the image at the marking resolution.
#include "impression.h"
#include "raster_dots.h"
#include "raster_outils.h"

#include <zlib.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Octets = std::vector<std::uint8_t>;

// A binary netpbm file (P4 or P5) from a gzip file.
struct Carte {
  std::string type;
  int largeur = 0, hauteur = 0;
  Octets donnees;
};

Carte lisCarte(const std::string& nom) {
  gzFile f = gzopen(nom.c_str(), "rb");
  EXPECT_NE(f, nullptr);
  std::string texte;
  char tampon[65536];
  for (int n; f && (n = gzread(f, tampon, sizeof tampon)) > 0;) texte.append(tampon, static_cast<std::size_t>(n));
  if (f) gzclose(f);
  std::istringstream entete(texte);
  Carte c;
  entete >> c.type >> c.largeur >> c.hauteur;
  if (c.type == "P5") {
    int maximum = 0;
    entete >> maximum;
  }
  const auto debut = static_cast<std::size_t>(entete.tellg()) + 1;
  c.donnees.assign(texte.begin() + static_cast<std::ptrdiff_t>(debut), texte.end());
  return c;
}

std::string lisFichier(const std::string& nom) {
  std::ifstream f(nom, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

// Copies of source element i when a resolution a becomes b (b a multiple-and-a-fraction of a).
std::vector<int> copies(int n, int a, int b) {
  std::vector<int> c(static_cast<std::size_t>(n));
  // b / a = e + r / p in lowest terms: the first r of every p elements once more.
  int g = a, h = b;
  while (h) std::swap(g, h), h %= g;
  const int e = b / a, r = (b / g) % (a / g), p = a / g;
  for (int i = 0; i < n; ++i) c[static_cast<std::size_t>(i)] = e + (r && i % p < r ? 1 : 0);
  return c;
}

using Niveaux = std::map<std::pair<int, int>, unsigned>;

// Source pixel levels laid on the marking grid; level 0 is not marked.
Niveaux agrandit(int w, int h, const std::function<unsigned(int, int)>& niveau, int page, int dpiX, int dpiY) {
  const std::vector<int> cx = copies(w, page, dpiX), cy = copies(h, page, dpiY);
  Niveaux n;
  int y0 = 0;
  for (int y = 0; y < h; ++y) {
    int x0 = 0;
    for (int x = 0; x < w; ++x) {
      if (const unsigned v = niveau(x, y))
        for (int j = 0; j < cy[static_cast<std::size_t>(y)]; ++j)
          for (int i = 0; i < cx[static_cast<std::size_t>(x)]; ++i) n[{x0 + i, y0 + j}] = v;
      x0 += cx[static_cast<std::size_t>(x)];
    }
    y0 += cy[static_cast<std::size_t>(y)];
  }
  return n;
}

Niveaux demandes(const jobfile::Job& j) {
  Niveaux n;
  for (const auto& d : rasterdots::askedDots(j)) n[{d.column, d.row}] = d.value;
  return n;
}

class ExemplesRaster : public Entree {};

TEST_F(ExemplesRaster, TheGhostscriptGreyPageRebuildsAtTheMarkingResolution) {
  // 75 dpi page greys, marked at 150 x 100 dpi: columns doubled, every third row twice.
  settings::Record r = settings::Record::typical();
  r.plate(300000, 300000).rasterResolution(75).resolution(150, 100).u16(62, 1).u16(72, 50);
  r.pen(0, 500, 1, 1, 20000, 50);
  const Carte gris = lisCarte(EXEMPLES "/lines.pgm.gz");
  ASSERT_EQ(gris.type, "P5");
  const jobfile::Job j = imprime(lisFichier(EXEMPLES "/lines.rtl"), r);
  EXPECT_TRUE(messages().empty());
  EXPECT_FALSE(j.find("C3").empty());
  // Greys become power by the square-root law: black 127, red (76) 106, white 0.
  auto niveau = [&](int x, int y) -> unsigned {
    const int g = gris.donnees[static_cast<std::size_t>(y * gris.largeur + x)];
    return static_cast<unsigned>(std::lround(127 * std::sqrt((255.0 - g) / 255.0)));
  };
  const Niveaux attendu = agrandit(gris.largeur, gris.hauteur, niveau, 75, 150, 100);
  const Niveaux obtenu = demandes(j);
  EXPECT_EQ(obtenu.size(), attendu.size());
  EXPECT_TRUE(obtenu == attendu);
  std::set<unsigned> valeurs;
  for (const auto& [p, v] : obtenu) valeurs.insert(v);
  EXPECT_EQ(valeurs, (std::set<unsigned>{106, 127}));
}

TEST_F(ExemplesRaster, TheGhostscriptBitmapOfTheBadgeRebuildsExactlyAsPenDots) {
  // The badge's 1-bit rendering sent as one-plane RTL rows, 100 dpi marked at 300 x 200.
  const Carte pbm = lisCarte(EXEMPLES "/badge.pbm.gz");
  ASSERT_EQ(pbm.type, "P4");
  const int octets = (pbm.largeur + 7) / 8;
  std::string flux = "IN;" + esc("%1A") + esc("*r" + std::to_string(pbm.largeur) + "S");
  for (int y = 0; y < pbm.hauteur; ++y)
    flux += esc("*b" + transfert(Octets(pbm.donnees.begin() + y * octets, pbm.donnees.begin() + (y + 1) * octets)));
  flux += esc("%0B") + "PG;";
  settings::Record r = settings::Record::typical();
  r.plate(60000, 40000).rasterResolution(100).resolution(300, 200).pen(0, 500, 1, 1, 20000, 50);
  const jobfile::Job j = imprime(flux, r);
  EXPECT_TRUE(messages().empty());
  EXPECT_FALSE(j.find("C1").empty());
  auto niveau = [&](int x, int y) -> unsigned {
    return pbm.donnees[static_cast<std::size_t>(y * octets + x / 8)] >> (7 - x % 8) & 1 ? 127u : 0u;
  };
  const Niveaux attendu = agrandit(pbm.largeur, pbm.hauteur, niveau, 100, 300, 200);
  EXPECT_GT(attendu.size(), 10000u);
  EXPECT_TRUE(demandes(j) == attendu);
}

TEST_F(ExemplesRaster, TheSmallRtlExampleConvertsWithItsSettings) {
  // badge.rtl with badge.set: the drawing's greys as power levels, 100 dpi dot for dot.
  settings::Record r = settings::Record::typical();
  r.plate(60000, 40000).resolution(100, 100).rasterResolution(100).pen(0, 500, 1, 1, 20000, 50);
  r.u16(62, 1).u16(72, 50);
  const jobfile::Job j = imprime(lisFichier(EXEMPLES "/badge.rtl"), r);
  EXPECT_TRUE(messages().empty());
  const Carte gris = lisCarte(EXEMPLES "/badge.pgm.gz");
  auto niveau = [&](int x, int y) -> unsigned {
    const int g = gris.donnees[static_cast<std::size_t>(y * gris.largeur + x)];
    return static_cast<unsigned>(std::lround(127 * std::sqrt((255.0 - g) / 255.0)));
  };
  EXPECT_TRUE(demandes(j) == agrandit(gris.largeur, gris.hauteur, niveau, 100, 100, 100));
}

}  // namespace
