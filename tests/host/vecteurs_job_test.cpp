// The vector section of the spooled job: elements, corner speeds, passes, repeats, the
// forbidden zone. Plotter point (x, y) lands at (25 y, 25 x) job units on a page without PS.
#include "impression.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

namespace {

using settings::Record;

std::vector<int> valeurs(const jobfile::Job& j, const char* code) {
  std::vector<int> v;
  for (const auto* r : j.find(code)) v.push_back(r->svalue());
  return v;
}

void attendZoneFranchie(Impression& i) {
  ASSERT_EQ(win32test::messages().size(), 1u);
  const auto& m = win32test::messages()[0];
  EXPECT_EQ(m.text, "Forbidden zone crossed");
  EXPECT_TRUE(m.hasCaption);
  EXPECT_EQ(m.caption, "Warning");
  EXPECT_EQ(m.flags, 0x30030u);
  // An aborted document cannot be ended, but Wine ends it all the same: what counts is
  // that nothing was spooled.
  const BOOL fini = EndDocPrinter(i.imprimante());
#ifdef _WIN32
  (void)fini;
#else
  EXPECT_FALSE(fini);
#endif
  EXPECT_TRUE(i.fichier().empty());
}

TEST_F(Entree, LongSegmentsAreCutIntoElements) {
  const jobfile::Job j = imprime(page("PU0,0;PD0,3000;PU3000,3000;PD3000,3040;"), Record::typical());
  EXPECT_EQ(j.codes(), "V2 DP PW FR FR VD AI PD PU PD AI PU TE TE OP JF");
  const auto pd = elements(*j.find("PD")[0]);
  ASSERT_EQ(pd.size(), 3u);
  for (const auto& e : pd) EXPECT_EQ((std::vector<int>{e.dx, e.dy, e.longueur}), (std::vector<int>{25000, 0, 25000}));
  const auto saut = elements(*j.find("PU")[0]);
  ASSERT_EQ(saut.size(), 3u);
  EXPECT_EQ(saut[2].dy, 25000);
  EXPECT_EQ(parcours(j).back(), (Position{76000, 75000, true}));
}

TEST_F(Entree, OneVeryLongSegmentFillsSeveralBlocks) {
  // 1 km across: more than 30,000 elements for one segment.
  const Record r = Record::typical().plate(1000000000, 1000000000);
  const jobfile::Job j = imprime(page("PU0,0;PD0,40000000;"), r);
  const auto p = parcours(j);
  EXPECT_GT(p.size(), 30000u);
  EXPECT_EQ(p.back(), (Position{1000000000, 0, true}));
}

TEST_F(Entree, CornerSpeedsSlowDownForCorners) {
  // Straight on, then a right angle: the straight one runs at full speed, the corner stops.
  jobfile::Job j = imprime(page("PU400,400;PD400,800,400,1200,800,1200;"), Record::typical());
  EXPECT_EQ(elements(*j.find("PD")[0]),
            (std::vector<Element>{{0, 254, 10000, 0, 10000}, {0, 0, 10000, 0, 10000}, {0, 0, 0, 10000, 10000}}));
  EXPECT_EQ(Sortie.TableVitesses[254], 200);
  EXPECT_LT(Sortie.TableVitesses[253], 200);

  // A short element before the corner: it takes the slow index as its short-segment byte and
  // the element before it slows down to what it can shed.
  j = imprime(page("PU400,400;PD400,800,400,810,800,810;"), Record::typical());
  EXPECT_EQ(elements(*j.find("PD")[0]),
            (std::vector<Element>{{0, 250, 10000, 0, 10000}, {7, 0, 250, 0, 250}, {0, 0, 0, 10000, 10000}}));
}

TEST_F(Entree, ThreePassesStepTheFocus) {
  const Record r = Record::typical().pen(0, 500, 3, 2, 20000, 50).penFocus(0, 200, 0).minFocusStep(50);
  const jobfile::Job j = imprime(page("PU400,400;PD800,400;"), r);
  EXPECT_EQ(j.codes(), "V2 PU DP PW FR FR VD AI PD PU RF PD PU RF PD RF AI PU TE TE OP JF");
  EXPECT_EQ(valeurs(j, "RF"), (std::vector<int>{10, 10, -20}));
  const auto p = parcours(j);
  EXPECT_EQ(std::count(p.begin(), p.end(), Position{10000, 20000, true}), 3);
}

TEST_F(Entree, RepeatCopiesEndWhereTheyStart) {
  Record r = Record::typical().repeat(2);
  jobfile::Job j = imprime(page("PU400,400;PD800,400,800,800;"), r);
  EXPECT_EQ(j.codes(),
            "V2 PU DP PW FR FR VD AI PD PU DP PW FR FR VD AI PD PU DP PW FR FR VD AI PD PU AI PU TE TE OP JF");
  auto p = parcours(j);
  EXPECT_EQ(p.back(), (Position{10000, 10000, false}));
  EXPECT_EQ(std::count(p.begin(), p.end(), Position{20000, 20000, true}), 3);

}

// What the machine holds at each drawn run: the settings last written, the focus, where the
// run starts, and its elements.
struct Trait {
  std::map<std::string, long long> reglages;
  long long focus, x, y;
  std::vector<Element> elements;
  bool operator==(const Trait&) const = default;
  friend void PrintTo(const Trait& t, std::ostream* os) {
    for (const auto& [code, valeur] : t.reglages) *os << code << " " << valeur << ", ";
    *os << "focus " << t.focus << ", from " << t.x << " " << t.y << ", " << t.elements.size() << " elements";
  }
};

std::vector<Trait> traits(const jobfile::Job& j) {
  std::vector<Trait> t;
  std::map<std::string, long long> reglages;
  long long focus = 0, x = 0, y = 0;
  for (const auto& r : j.records) {
    if (r.code == "RF") focus += r.svalue();
    if (r.code == "FR") reglages["FR"] = (reglages["FR"] << 16 | r.value) & 0xFFFFFFFF;
    if (r.code == "DP" || r.code == "PW" || r.code == "VD" || r.code == "AI") reglages[r.code] = r.value;
    if (r.code == "PD") t.push_back({reglages, focus, x, y, elements(r)});
    for (const auto& e : r.elements) {
      x += e.dx;
      y += e.dy;
    }
  }
  EXPECT_EQ(focus, 0) << "the focus returns at the page end";
  return t;
}

TEST_F(Entree, EveryRepeatCopyMarksAsTheFirst) {
  // Two pens of their own settings and focus; the first draws from where the head stands.
  const Record r = Record::typical()
                       .repeat(2)
                       .pen(0, 500, 1, 2, 20000, 50)
                       .penFocus(0, 0, 100)
                       .pen(1, 700, 2, 3, 30000, 80)
                       .penFocus(1, 200, 300);
  const auto t = traits(imprime(page("PD400,0;SP2;PU800,800;PD1200,800;"), r));
  // Per copy: pen 1 at focus 10, then pen 2's two passes at 30 and 50.
  ASSERT_EQ(t.size(), 9u);
  EXPECT_EQ((std::vector<long long>{t[0].focus, t[1].focus, t[2].focus}), (std::vector<long long>{10, 30, 50}));
  EXPECT_EQ(t[0].reglages, (std::map<std::string, long long>{{"AI", 0}, {"DP", 300}, {"FR", 20000},
                                                             {"PW", 50}, {"VD", 500}}));
  for (std::size_t i = 3; i < t.size(); ++i) EXPECT_EQ(t[i], t[i % 3]) << "run " << i;
}

TEST_F(Entree, ForbiddenZoneStopsTheJob) {
  const Record r = Record::typical().options(kOptionZoneInterdite).forbidden(20000, 20000, 30000, 30000);
  {
    Impression i;
    EXPECT_EQ(i.appel(page("PU400,400;PD1600,1600;"), r), 0);
    attendZoneFranchie(i);
  }
  win32test::clearMessages();
  {
    // Steep: no whole x step lands inside the zone's height, the segment still crosses it.
    Impression i;
    const Record etroite = Record::typical().options(kOptionZoneInterdite).forbidden(0, 41000, 5000, 43000);
    EXPECT_EQ(i.appel(page("PU0,40;PD4000,41;"), etroite), 0);
    attendZoneFranchie(i);
  }
  win32test::clearMessages();
  // Its line would cross, the segment ends before; jumps and test patterns are never checked.
  imprime(page("PU400,400;PD600,600;"), r);
  imprime(page("PU400,400;PU1600,1600;PD1600,1700;"), r);
  imprime("x", Record(r).jobType(9).forbidden(40000, 40000, 60000, 60000));
  EXPECT_TRUE(win32test::messages().empty());
}

TEST_F(Entree, SettingsAreWrittenWhenTheyChange) {
  const Record r = Record::typical().penAir(0, -1).penAir(1, -1);
  jobfile::Job j = imprime(page("PU400,400;PD800,400;SP2;PU400,800;PD800,800;"), r);
  EXPECT_EQ(j.codes(), "V2 PU DP PW FR FR VD AI PD PU PD AI PU TE TE OP JF");
  EXPECT_EQ(valeurs(j, "AI"), (std::vector<int>{-1, 0}));

  j = imprime(page("PU400,400;PD800,400;SP2;PU400,800;PD800,800;"), Record(r).pen(1, 700, 1, 3, 20000, 50));
  EXPECT_EQ(j.codes(), "V2 PU DP PW FR FR VD AI PD PU DP VD PD AI PU TE TE OP JF");
  EXPECT_EQ(valeurs(j, "DP"), (std::vector<int>{300, 50}));
}

TEST_F(Entree, MarkerGroupsRepeatAroundTheirCentre) {
  const Record r = Record::typical().pen(0, 500, 2, 2, 20000, 50);
  const jobfile::Job j = imprime(page("MO1;PU400,400;PD800,400;PU1200,400;PD1600,400;MO0;"), r);
  EXPECT_EQ(j.codes(), "V2 PU MO PU DP PW FR FR VD AI PD PU PD PU PU PD PU PD PU MO AI PU TE TE OP JF");
  EXPECT_EQ(valeurs(j, "MO"), (std::vector<int>{1, 0}));
  const auto p = parcours(j);
  EXPECT_EQ(p.front(), (Position{10000, 25000, false}));  // the group's centre
  EXPECT_EQ(std::count(p.begin(), p.end(), Position{10000, 40000, true}), 2);
  EXPECT_EQ(p.back(), (Position{10000, 25000, false}));
}

TEST_F(Entree, ATurnedPageKeepsTheDrawingsShapeOnThePlate) {
  // The square from (400, 400) to (800, 800) on pages whose PS makes y at least as long as x
  // ("3000,4000", laid x along the job's Y) or shorter ("4000,3000", x mirrored along X),
  // turned by RO; without PS the plate is the page. Its lowest corner in plotter units.
  struct Cas {
    std::string ps;
    int ro;
    long long x, y;
  };
  const std::vector<Cas> cas = {
      {"PS3000,4000;", 0, 400, 400},   {"PS3000,4000;", 90, 400, 400},
      {"PS3000,4000;", 180, 3200, 2200}, {"PS3000,4000;", 270, 2200, 3200},
      {"PS4000,3000;", 0, 3200, 400},  {"PS4000,3000;", 90, 400, 3200},
      {"PS4000,3000;", 180, 400, 2200}, {"PS4000,3000;", 270, 2200, 400},
      {"", 0, 400, 400},               {"", 90, 400, 3200},
      {"", 180, 3200, 3200},           {"", 270, 3200, 400},
      {"PS4000,4000;", 0, 400, 400}};
  for (const Cas& c : cas) {
    SCOPED_TRACE(c.ps + "RO" + std::to_string(c.ro));
    auto p = parcours(imprime(
        page(c.ps + "RO" + std::to_string(c.ro) + ";PU400,400;PD800,400,800,800,400,800,400,400;"),
        Record::typical()));
    // The jump's end, then the four sides.
    ASSERT_GE(p.size(), 5u);
    p.erase(p.begin(), p.end() - 5);
    EXPECT_FALSE(p[0].trace);
    long long xMin = p[0].x, yMin = p[0].y;
    for (std::size_t i = 1; i < p.size(); ++i) {
      // Each side along an axis and 10 mm long, within a unit.
      const long long dx = std::llabs(p[i].x - p[i - 1].x), dy = std::llabs(p[i].y - p[i - 1].y);
      EXPECT_LE(std::min(dx, dy), 1);
      EXPECT_NEAR(std::max(dx, dy), 10000, 1);
      xMin = std::min(xMin, p[i].x);
      yMin = std::min(yMin, p[i].y);
    }
    EXPECT_NEAR(xMin, c.x * 25, 1);
    EXPECT_NEAR(yMin, c.y * 25, 1);
  }
}

TEST_F(Entree, OrientationMirrorsWithinThePlate) {
  // Orientation 1: x mirrored within the 4000-point plate, after the page's exchange of x and y.
  const jobfile::Job j = imprime(page("PU400,400;PD400,800;"), Record::typical().orientation(1));
  EXPECT_EQ(parcours(j).back(), (Position{80000, 10000, true}));
}

// The speed bytes of one block as the corner rules give them, from its elements' dx, dy and
// length, each direction taken with atan2.
std::vector<Element> vitessesAttendues(std::vector<Element> e) {
  const EtatSortie& so = Sortie;
  auto index = [&](int valeur) {
    for (int i = 0; i < 256; ++i)
      if (so.TableVitesses[i] >= valeur) return i;
    return 255;
  };
  auto direction = [](const Element& x) {
    const double a = std::atan2(static_cast<double>(x.dy), static_cast<double>(x.dx)) * 180.0 / std::numbers::pi;
    return a < 0 ? a + 360.0 : a;
  };
  for (Element& x : e) x.coin = x.court = 0;
  const std::size_t n = e.size();
  if (n == 1 && e[0].longueur < 500) e[0].court = index(10);
  if (n < 2) return e;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    int d = static_cast<int>(std::fabs(direction(e[i]) - direction(e[i + 1])));
    if (d > 35) d = 360 - d;
    e[i].coin = std::min(d, 120);
  }
  e[n - 1].coin = 120;
  std::size_t debutGroupe = 0;
  int mini = e[0].coin, maxi = e[0].coin, somme = e[0].coin, compte = 1;
  for (std::size_t i = 1; i < n; ++i) {
    const int c = e[i].coin;
    if (std::max(maxi, c) - std::min(mini, c) >= 15) {
      for (std::size_t k = debutGroupe; k < i; ++k) e[k].coin = somme / compte;
      debutGroupe = i;
      mini = maxi = somme = c;
      compte = 1;
    } else {
      mini = std::min(mini, c);
      maxi = std::max(maxi, c);
      somme += c;
      ++compte;
    }
  }
  for (Element& x : e) {
    const PaireVitesseAngle* t = so.TableVitesseAngle;
    int valeur = 0;
    if (x.coin == t[0].Angle) {
      valeur = t[0].Vitesse;
    } else {
      for (int i = 1; i < 15; ++i)
        if (t[i].Angle >= x.coin && t[i - 1].Angle < x.coin) {
          valeur = t[i].Vitesse;
          break;
        }
    }
    x.coin = index(valeur);
    if (x.longueur < 500) x.court = x.coin == 0 ? index(10) : std::min(x.coin, 254);
  }
  for (std::size_t i = n - 1; i >= 1; --i)
    if (e[i].longueur + e[i].coin < e[i - 1].coin) e[i - 1].coin = e[i].longueur + e[i].coin;
  return e;
}

TEST_F(Entree, EveryCornerOfRandomPolylinesTakesItsSpeedFromTheDirections) {
  // A corner table kept from the host (flag 8) that tells corners up to 120 degrees apart
  // in steps of 8, so that each corner byte shows in the job.
  for (int i = 0; i < 15; ++i) Sortie.TableVitesseAngle[i] = {8 * i, i == 0 ? 200 : 150 - 10 * i};
  std::uint64_t etat = 12345;
  auto hasard = [&](int n) {
    etat = etat * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int>((etat >> 33) % static_cast<std::uint64_t>(n));
  };
  std::string dessin;
  for (int trait = 0; trait < 60; ++trait) {
    int x = 1000 + hasard(2000), y = 1000 + hasard(2000);
    dessin += "PU" + std::to_string(x) + "," + std::to_string(y) + ";PD";
    for (int k = 0; k < 25; ++k) {
      // Mostly long steps in any direction, some of them short.
      const int pas = hasard(4) == 0 ? 30 : 900;
      x = std::clamp(x + hasard(2 * pas + 1) - pas, 0, 4000);
      y = std::clamp(y + hasard(2 * pas + 1) - pas, 0, 4000);
      dessin += (k ? "," : "") + std::to_string(x) + "," + std::to_string(y);
    }
    dessin += ";";
  }
  const jobfile::Job j = imprime(page(dessin), Record::typical().flags(8));
  const auto traces = j.find("PD");
  ASSERT_EQ(traces.size(), 60u);
  for (const auto* r : traces) {
    const std::vector<Element> e = elements(*r);
    EXPECT_EQ(e, vitessesAttendues(e));
  }
}

}  // namespace
