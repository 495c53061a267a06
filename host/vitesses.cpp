// Speed tables: index -> speed value 0..200, one per scanner electronics, and the
// default corner-speed table.
#include "contexte.h"

#include <array>
#include <initializer_list>

namespace {

// The measured head and tail of a table, joined by a curve that flattens towards the tail
// as the measured rows do.
constexpr std::array<std::uint16_t, 256> rampe(std::initializer_list<std::uint16_t> tete,
                                               std::initializer_list<std::uint16_t> queue) {
  std::array<std::uint16_t, 256> t{};
  std::size_t i = 0;
  for (auto v : tete) t[i++] = v;
  const std::size_t debut = i - 1;
  const std::size_t fin = 256 - queue.size();
  std::size_t j = fin;
  for (auto v : queue) t[j++] = v;
  const double a = t[debut], b = t[fin];
  for (; i < fin; ++i) {
    double x = 1.0 - double(i - debut) / double(fin - debut);
    double courbe = 1.0 - x * x * x * x;
    t[i] = static_cast<std::uint16_t>(a + (b - a) * courbe + 0.5);
  }
  return t;
}

constexpr auto kAsic0 = rampe({0, 0, 1, 2, 4, 6, 8, 10, 12, 14, 16, 18, 22, 25, 28, 31},
                              {198, 198, 199, 199, 199, 199, 200, 200});
constexpr auto kAsic1 = rampe({0, 0, 1, 2, 4, 6, 8, 10, 13, 15, 17, 18},
                              {197, 197, 197, 198, 198, 199, 199, 199, 200, 200});
constexpr auto kAsic2 =
    rampe({0, 0, 1, 2, 4, 5, 7, 9, 12, 13}, {198, 198, 198, 198, 199, 199, 200, 200});

constexpr bool monotone(const std::array<std::uint16_t, 256>& t) {
  for (std::size_t i = 1; i < t.size(); ++i)
    if (t[i] < t[i - 1]) return false;
  return t.front() == 0 && t.back() == 200;
}
static_assert(monotone(kAsic0) && monotone(kAsic1) && monotone(kAsic2));

}  // namespace

const std::array<std::uint16_t, 256> mms_asic_0 = kAsic0;
const std::array<std::uint16_t, 256> mms_asic_1 = kAsic1;
const std::array<std::uint16_t, 256> mms_asic_2 = kAsic2;

const PaireVitesseAngle TableVitesseAngleDefaut[15] = {
    {0, 200}, {1, 40},  {2, 20},  {3, 10},  {4, 10},  {5, 10},  {6, 10},  {7, 10},
    {8, 10},  {9, 10},  {20, 10}, {25, 10}, {25, 10}, {25, 10}, {25, 10},
};
