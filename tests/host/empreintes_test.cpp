// Byte-exact job files: every sample drawing, and a generated drawing under the settings
// that change the vector section's road (orientations, repeats, marking angle, passes,
// test patterns), converted by brevolt-print and checked against stored checksums.
// A checksum changes only with a change of the job bytes that is meant and explained.
#include "outils.h"

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Empreinte {
  std::size_t taille;
  std::uint32_t crc;
};

// Sample drawings with their ".set" options.
const std::map<std::string, Empreinte> kExemples = {
    {"arcs.hpgl", {1136, 0x8EA64B7A}},      {"circles.hpgl", {1980, 0x38EDE446}},
    {"dashes.hpgl", {1172, 0x0536A402}},    {"fills.hpgl", {468, 0x8A52A199}},
    {"glyphs.hpgl", {64968, 0x795DEC56}},   {"gnuplot.hpgl", {10520, 0x85B4FBF9}},
    {"labels.hpgl", {10632, 0x703D5AAE}},   {"lowercase.hpgl", {420, 0x336EB0D0}},
    {"passes.hpgl", {748, 0xD80B0DCC}},     {"pens.hpgl", {492, 0xACF04D4C}},
    {"plotutils.hpgl", {19124, 0x0A143E19}}, {"scaled.hpgl", {440, 0xD163FAF4}},
    {"square.hpgl", {484, 0xCABF53CB}},     {"wedges.hpgl", {884, 0x45101BE0}},
    {"zone.hpgl", {532, 0x6EB5047A}},       {"lines.rtl", {290, 0x2987B80F}}, {"badge.rtl", {2726, 0x78DC6132}},
};

struct Variante {
  const char* nom;
  const char* dessin;  // a sample's name, or "" for the generated drawing
  std::vector<std::string> options;
  bool centiemes;  // the printer value Unit100: lengths in 1/100 mm
  Empreinte attendue;
};

// The generated drawing is on a 300 x 300 mm plate, pen 2 in two passes.
const std::vector<Variante> kVariantes = {
    {"generated", "", {}, false, {405304, 0x807C0093}},
    {"generated, orientation 1", "", {"+52:u16=1"}, false, {405328, 0x30D48D64}},
    {"generated, orientation 2", "", {"+52:u16=2"}, false, {405232, 0xEB9DA48B}},
    {"generated, orientation 3", "", {"+52:u16=3"}, false, {405304, 0xE8E1F187}},
    {"generated, orientation 4", "", {"+52:u16=4"}, false, {405304, 0x2DCAB67F}},
    {"generated, orientation 5", "", {"+52:u16=5"}, false, {405232, 0xF8D5F665}},
    {"generated, orientation 6", "", {"+52:u16=6"}, false, {405328, 0xE6E297D0}},
    {"generated, orientation 7", "", {"+52:u16=7"}, false, {405304, 0xFA7CA07A}},
    {"generated, 1/100 mm", "", {}, true, {323758, 0x3D0E5885}},
    {"generated, two repeats", "", {"+868:i32=2"}, false, {1215334, 0x363A5F15}},
    {"generated, marking angle", "", {"+2:u16=1", "+32:u16=2", "+852:u32=3000"}, false, {403240, 0x3721E9D6}},
    {"generated, corner speeds kept", "", {"+2:u16=8"}, false, {405304, 0x9886E048}},
    {"square, test pattern 3", "square.hpgl", {"+504:u16=3"}, false, {672, 0xBF8AFF0F}},
    {"square, test pattern 12", "square.hpgl", {"+504:u16=12"}, false, {672, 0xFBB47CAF}},
    {"passes, two repeats", "passes.hpgl", {"+868:i32=2"}, false, {1690, 0x8C3ED56F}},
};

std::string lis(const fs::path& f) {
  std::ifstream in(f, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A drawing that takes every turn of the vector section: thousands of short and long
// segments (several element blocks, split elements), sharp and straight corners, points
// off the plate, repeated points, dashes and dots, three pens, MO groups and VT.
std::string dessinGenere() {
  std::uint64_t etat = 0x2545F4914F6CDD1DULL;
  auto hasard = [&](int n) {
    etat = etat * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int>((etat >> 33) % static_cast<std::uint64_t>(n));
  };
  std::ostringstream s;
  s << "IN;PA;";
  int x = 6000, y = 6000;
  for (int trait = 0; trait < 1500; ++trait) {
    if (trait % 100 == 0) s << "SP" << 1 + (trait / 100) % 3 << ";";
    if (trait % 250 == 40) s << "MO1;";
    if (trait % 250 == 90) s << "MO;";
    if (trait % 300 == 150) s << "VT;";
    if (trait % 70 == 10) s << "LT" << 1 + hasard(6) << ",2;";
    if (trait % 70 == 30) s << "LT;";
    if (trait % 50 == 7) s << "LT0;";
    if (trait % 50 == 9) s << "LT;";
    x = hasard(12800) - 400;
    y = hasard(12800) - 400;
    s << "PU" << x << "," << y << ";PD";
    const int sommets = 1 + hasard(12);
    for (int k = 0; k < sommets; ++k) {
      switch (hasard(8)) {
        case 0: x += hasard(6000) - 3000; y += hasard(6000) - 3000; break;  // long, split
        case 1: break;                                                      // no length
        case 2: x += 40; break;                                             // straight on
        default: x += hasard(300) - 150; y += hasard(300) - 150; break;
      }
      s << (k ? "," : "") << x << "," << y;
    }
    s << ";";
  }
  s << "PU;PG;";
  return s.str();
}

class Empreintes : public ::testing::Test {
 protected:
  // The spooled job of brevolt-print with these options; empty when it failed.
  std::string convertit(const fs::path& dessin, const std::vector<std::string>& options) {
    std::string commande = "'" BREVOLT_PRINT "' --printer laser1";
    for (const std::string& o : options) commande += " --set '" + o + "'";
    const fs::path sortie = spool_.imprimante().parent_path() / "sortie";
    commande += " '" + dessin.string() + "' >'" + sortie.string() + "'";
    if (std::system(commande.c_str()) != 0) return {};
    std::string chemin = lis(sortie);
    chemin = chemin.substr(0, chemin.find('\n'));
    std::string job = lis(chemin);
    fs::remove(chemin);
    return job;
  }

  static std::vector<std::string> optionsSet(const fs::path& exemple) {
    std::vector<std::string> v;
    std::ifstream in(fs::path(exemple).replace_extension(".set"));
    for (std::string option, valeur; in >> option >> valeur;) v.push_back(valeur);
    return v;
  }

  static Empreinte empreinte(const std::string& job) {
    const auto crc = crc32(0L, reinterpret_cast<const Bytef*>(job.data()), static_cast<uInt>(job.size()));
    return {job.size(), static_cast<std::uint32_t>(crc)};
  }

  static std::string texte(const Empreinte& e) {
    char t[64];
    std::snprintf(t, sizeof t, "{%zu, 0x%08X}", e.taille, e.crc);
    return t;
  }

  DossierSpool spool_;
};

TEST_F(Empreintes, EverySampleDrawingGivesTheSameJobBytes) {
  int vus = 0;
  for (const auto& entree : fs::directory_iterator(EXEMPLES)) {
    const fs::path exemple = entree.path();
    if (exemple.extension() != ".hpgl" && exemple.extension() != ".rtl") continue;
    const std::string nom = exemple.filename().string();
    SCOPED_TRACE(nom);
    ++vus;
    const auto attendu = kExemples.find(nom);
    const std::string job = convertit(exemple, optionsSet(exemple));
    ASSERT_FALSE(job.empty());
    const Empreinte e = empreinte(job);
    ASSERT_NE(attendu, kExemples.end()) << "no stored checksum; this one is " << texte(e);
    EXPECT_EQ(texte(e), texte(attendu->second));
  }
  EXPECT_EQ(vus, static_cast<int>(kExemples.size()));
}

TEST_F(Empreintes, SettingsThatTurnTheVectorRoadGiveTheSameJobBytes) {
  const fs::path genere = spool_.imprimante().parent_path() / "genere.hpgl";
  std::ofstream(genere, std::ios::binary) << dessinGenere();
  const std::vector<std::string> plaque = {"+8:u32=300000", "+12:u32=300000", "+146:i16=2",
                                           "+160:u32=100"};
  for (const Variante& v : kVariantes) {
    SCOPED_TRACE(v.nom);
    const bool exemple = *v.dessin != 0;
    const fs::path dessin = exemple ? fs::path(EXEMPLES) / v.dessin : genere;
    std::vector<std::string> options = exemple ? optionsSet(dessin) : plaque;
    options.insert(options.end(), v.options.begin(), v.options.end());
    const fs::path valeurs = spool_.imprimante() / "values.txt";
    if (v.centiemes)
      std::ofstream(valeurs) << "Unit100=dword:00000001\n";
    else
      fs::remove(valeurs);
    const std::string job = convertit(dessin, options);
    ASSERT_FALSE(job.empty());
    EXPECT_EQ(texte(empreinte(job)), texte(v.attendue));
  }
}

}  // namespace
