// Drawings written by real plotting programs (examples/plotutils.hpgl from GNU plotutils'
// graph, examples/gnuplot.hpgl from gnuplot's hpgl terminal) lose no stroke on their way
// to the job: what the job marks is measured against a reading of the source made here,
// apart from the converter.
#include "impression.h"
#include "labels.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string lis(const char* nom) {
  std::ifstream f(std::string(EXEMPLES "/") + nom, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

struct Point {
  double x, y;
};

// The strokes and labels of a stream in plotter units, for the few commands these
// programs write; lengths and places follow the converter's rules for P1 and P2, SC, PS,
// character sizes and the page layout.
class Lecteur {
 public:
  explicit Lecteur(const std::string& s) : s_(s) {
    defauts();
    while (i_ < s_.size()) {
      const unsigned char c = static_cast<unsigned char>(s_[i_++]);
      if (c == 27) {
        ++i_;
        continue;
      }
      if (!std::isalpha(c) || i_ >= s_.size() || !std::isalpha(static_cast<unsigned char>(s_[i_])))
        continue;
      commande(std::toupper(c), std::toupper(static_cast<unsigned char>(s_[i_++])));
    }
  }

  double longueurTraits = 0;  // plotter units
  double longueurLabels = 0;
  std::vector<Point> premiersPoints;  // first stroke point of every character drawn
  int labels = 0;

  // A plotter point where the converter lays it on the plate, in job units.
  Point surPlaque(const Point& p) const {
    const Point q = largeur_ >= longueur_ ? Point{p.y, p.x} : Point{longueur_ - p.x, p.y};
    return {std::max(q.x, 0.0) * 25, std::max(q.y, 0.0) * 25};
  }

 private:
  void defauts() {
    p1_ = {603, 521};
    p2_ = {10603, 7721};
    echelle_ = false;
    s_x = s_y = 1;
    largeurCar_ = 0.005 * (p2_.x - p1_.x);
    hauteurCar_ = 0.0075 * (p2_.y - p1_.y);
    direction_ = 0;
    baisse_ = relatif_ = false;
  }

  std::vector<double> nombres() {
    std::vector<double> v;
    while (i_ < s_.size()) {
      const char c = s_[i_];
      if (c == ';') {
        ++i_;
        break;
      }
      if (std::isalpha(static_cast<unsigned char>(c)) || c == 27) break;
      if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.') {
        std::size_t n = 0;
        v.push_back(std::stod(s_.substr(i_), &n));
        i_ += n;
      } else {
        ++i_;
      }
    }
    return v;
  }

  Point traceur(const Point& u) const {
    if (!echelle_) return u;
    return {p1_.x + (u.x - umin_.x) * s_x, p1_.y + (u.y - umin_.y) * s_y};
  }

  void trait(const Point& a, const Point& b) {
    const Point pa = traceur(a), pb = traceur(b);
    longueurTraits += std::hypot(pb.x - pa.x, pb.y - pa.y);
    xMax_ = std::max({xMax_, pa.x, pb.x});
  }

  void ligne(const std::vector<double>& v) {
    for (std::size_t k = 0; k + 1 < v.size(); k += 2) {
      const Point p = relatif_ ? Point{courant_.x + v[k], courant_.y + v[k + 1]} : Point{v[k], v[k + 1]};
      if (baisse_) trait(courant_, p);
      courant_ = p;
    }
  }

  void label() {
    std::string texte;
    while (i_ < s_.size() && s_[i_] != '\x03') texte += s_[i_++];
    ++i_;
    ++labels;
    const double cs = std::cos(direction_), sn = std::sin(direction_);
    const double a = largeurCar_ * cs / 4, b = largeurCar_ * sn / 4;
    const double c = -hauteurCar_ * sn / 6, d = hauteurCar_ * cs / 6;
    Point o = traceur(courant_);
    for (const char car : texte) {
      const char* g = JeuxCaracteresTrait[0][static_cast<unsigned char>(car) & 127];
      Point prec{};
      for (int k = 0; g[k]; ++k) {
        const int octet = static_cast<unsigned char>(g[k]);
        const double x = ((octet >> 4) & 7) - 1, y = (octet & 15) - 4;
        const Point p{o.x + a * x + c * y, o.y + b * x + d * y};
        if (k == 0) premiersPoints.push_back(p);
        if (octet & 0x80) longueurLabels += std::hypot(p.x - prec.x, p.y - prec.y);
        prec = p;
      }
      o = {o.x + 1.5 * largeurCar_ * cs, o.y + 1.5 * largeurCar_ * sn};
    }
    courant_ = echelle_ ? Point{umin_.x + (o.x - p1_.x) / s_x, umin_.y + (o.y - p1_.y) / s_y} : o;
  }

  void commande(int a, int b) {
    const int m = a << 8 | b;
    auto est = [m](const char* n) { return m == (n[0] << 8 | n[1]); };
    if (est("LB")) return label();
    const std::vector<double> v = nombres();
    if (est("IN") || est("DF")) {
      defauts();
    } else if (est("IP") && v.size() >= 4) {
      largeurCar_ /= p2_.x - p1_.x;
      hauteurCar_ /= p2_.y - p1_.y;
      p1_ = {v[0], v[1]};
      p2_ = {v[2], v[3]};
      largeurCar_ *= p2_.x - p1_.x;
      hauteurCar_ *= p2_.y - p1_.y;
    } else if (est("SC") && v.size() >= 4) {
      // The user window's corners become P1 and P2.
      umin_ = {v[0], v[2]};
      if (longueur_ >= largeur_) {
        p1_ = {v[0], v[3]};
        p2_ = {v[1], v[2]};
      } else {
        p1_ = {v[1], v[2]};
        p2_ = {v[0], v[3]};
      }
      s_x = (p2_.x - p1_.x) / (v[1] - v[0]);
      s_y = (p2_.y - p1_.y) / (v[3] - v[2]);
      echelle_ = true;
      longueur_ = p2_.y;
      largeur_ = p2_.x;
      largeurCar_ = p2_.x - p1_.x;
      hauteurCar_ = p2_.y - p1_.y;
    } else if (est("PS") && !v.empty()) {
      longueur_ = v[0];
      largeur_ = v.size() > 1 ? v[1] : xMax_ > -1e300 ? xMax_ : largeur_;
    } else if (est("SR") && v.size() >= 2) {
      largeurCar_ = v[0] / 100 * (p2_.x - p1_.x);
      hauteurCar_ = v[1] / 100 * (p2_.y - p1_.y);
    } else if (est("SI") && v.size() >= 2) {
      largeurCar_ = v[0] * 400;
      hauteurCar_ = v[1] * 400;
    } else if (est("DI")) {
      direction_ = v.size() >= 2 ? std::atan2(v[1], v[0]) : 0;
    } else if (est("PA") || est("PR")) {
      relatif_ = est("PR");
      ligne(v);
    } else if (est("PU") || est("PD")) {
      baisse_ = est("PD");
      ligne(v);
    } else if (est("EA") && v.size() >= 2) {
      const Point c = courant_;
      trait(c, {c.x, v[1]});
      trait({c.x, v[1]}, {v[0], v[1]});
      trait({v[0], v[1]}, {v[0], c.y});
      trait({v[0], c.y}, c);
    }
  }

  const std::string& s_;
  std::size_t i_ = 0;
  Point p1_{}, p2_{}, umin_{}, courant_{};
  double s_x = 1, s_y = 1;
  bool echelle_ = false, baisse_ = false, relatif_ = false;
  double longueur_ = 0, largeur_ = 0, xMax_ = -1e308;
  double largeurCar_ = 0, hauteurCar_ = 0, direction_ = 0;
};

class ExemplesReels : public Entree {
 protected:
  // The job of an example on the default 100 mm plate, which holds these pages whole as
  // the converter lays them out: nothing is cut at its edges.
  std::vector<Position> marque(const std::string& flux) {
    return parcours(imprime(flux + "PG;", settings::Record::typical()));
  }

  static double longueurMarquee(const std::vector<Position>& p) {
    double l = 0;
    for (std::size_t k = 1; k < p.size(); ++k)
      if (p[k].trace)
        l += std::hypot(static_cast<double>(p[k].x - p[k - 1].x), static_cast<double>(p[k].y - p[k - 1].y));
    return l;
  }
};

TEST_F(ExemplesReels, PlotutilsStrokesAndLetteringInPolygonModeAreAllMarked) {
  const std::string flux = lis("plotutils.hpgl");
  const Lecteur source(flux);
  ASSERT_GT(source.longueurTraits, 30000);
  EXPECT_EQ(source.labels, 0);  // graph letters with strokes of its own
  const double attendu = source.longueurTraits * 25;
  EXPECT_NEAR(longueurMarquee(marque(flux)), attendu, attendu * 0.005);
}

TEST_F(ExemplesReels, GnuplotLinesAndLabelsAreAllMarkedWhereTheyWereWritten) {
  const std::string flux = lis("gnuplot.hpgl");
  const Lecteur source(flux);
  ASSERT_GE(source.labels, 20);
  ASSERT_GT(source.longueurLabels, 0.02 * source.longueurTraits);
  const std::vector<Position> p = marque(flux);
  const double attendu = (source.longueurTraits + source.longueurLabels) * 25;
  EXPECT_NEAR(longueurMarquee(p), attendu, attendu * 0.005);
  // Each character begins where its label puts it.
  std::size_t trouves = 0;
  for (const Point& premier : source.premiersPoints) {
    const Point q = source.surPlaque(premier);
    for (const Position& r : p)
      if (std::fabs(static_cast<double>(r.x) - q.x) <= 2 && std::fabs(static_cast<double>(r.y) - q.y) <= 2) {
        ++trouves;
        break;
      }
  }
  EXPECT_EQ(trouves, source.premiersPoints.size());
}

}  // namespace
