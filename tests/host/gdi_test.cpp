// The GDI part of the Windows stand-in: what the polygon fill draws with.
#include "win32_test.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using Lignes = std::vector<std::string>;

// A memory context with a mono bitmap of w x h selected and a white pen.
class Gdi : public ::testing::Test {
 protected:
  void SetUp() override {
    win32test::reset();
    ecran_ = GetDC(nullptr);
    dc_ = CreateCompatibleDC(ecran_);
    ASSERT_NE(dc_, nullptr);
  }
  void TearDown() override {
    if (bitmap_) {
      SelectObject(dc_, ancienBitmap_);
      EXPECT_TRUE(DeleteObject(bitmap_));
    }
    if (crayon_) {
      SelectObject(dc_, ancienCrayon_);
      EXPECT_TRUE(DeleteObject(crayon_));
    }
    EXPECT_TRUE(DeleteDC(dc_));
    EXPECT_EQ(ReleaseDC(nullptr, ecran_), 1);
    EXPECT_EQ(win32test::openHandles(), 0u);
    win32test::reset();
  }
  void prepare(int w, int h, COLORREF encre = 0xFFFFFF) {
    bitmap_ = CreateCompatibleBitmap(dc_, w, h);
    ASSERT_NE(bitmap_, nullptr);
    ancienBitmap_ = SelectObject(dc_, bitmap_);
    crayon_ = CreatePen(PS_SOLID, 0, encre);
    ancienCrayon_ = SelectObject(dc_, crayon_);
    ASSERT_NE(ancienBitmap_, nullptr);
    ASSERT_NE(ancienCrayon_, nullptr);
  }
  Lignes image() const {
    BITMAP b{};
    EXPECT_EQ(GetObjectA(bitmap_, sizeof b, &b), static_cast<int>(sizeof b));
    std::vector<unsigned char> bits(static_cast<std::size_t>(b.bmWidthBytes * b.bmHeight));
    EXPECT_EQ(GetBitmapBits(bitmap_, static_cast<LONG>(bits.size()), bits.data()), static_cast<LONG>(bits.size()));
    Lignes l;
    for (LONG y = 0; y < b.bmHeight; ++y) {
      std::string s;
      for (LONG x = 0; x < b.bmWidth; ++x)
        s += bits[static_cast<std::size_t>(y * b.bmWidthBytes + x / 8)] & (0x80 >> (x % 8)) ? '#' : '.';
      l.push_back(s);
    }
    return l;
  }

  HDC ecran_ = nullptr, dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HPEN crayon_ = nullptr;
  HGDIOBJ ancienBitmap_ = nullptr, ancienCrayon_ = nullptr;
};

TEST_F(Gdi, AMemoryContextMakesMonoBitmapsWithWordAlignedRows) {
  prepare(17, 3);
  BITMAP b{};
  ASSERT_EQ(GetObjectA(bitmap_, sizeof b, &b), static_cast<int>(sizeof b));
  EXPECT_EQ(b.bmWidth, 17);
  EXPECT_EQ(b.bmHeight, 3);
  EXPECT_EQ(b.bmWidthBytes, 4);
  EXPECT_EQ(b.bmBitsPixel, 1);
  EXPECT_EQ(image(), Lignes(3, std::string(17, '.')));
  // A screen context's bitmaps have 32 bits per pixel.
  HBITMAP couleur = CreateCompatibleBitmap(ecran_, 5, 2);
  ASSERT_EQ(GetObjectA(couleur, sizeof b, &b), static_cast<int>(sizeof b));
  EXPECT_EQ(b.bmBitsPixel, 32);
  EXPECT_EQ(b.bmWidthBytes, 20);
  EXPECT_TRUE(DeleteObject(couleur));
}

TEST_F(Gdi, APolygonFillsItsInsideLeftAndTopEdgesIncludedThenDrawsItsOutline) {
  prepare(9, 6, 0);  // a black pen shows the outline apart from the white inside
  const POINT triangle[] = {{1, 0}, {7, 0}, {1, 6}};
  ASSERT_TRUE(Polygon(dc_, triangle, 3));
  EXPECT_EQ(image(), (Lignes{".........",  //
                             "..####...",  //
                             "..###....",  //
                             "..##.....",  //
                             "..#......",  //
                             "........."}));
  TearDown();
  SetUp();
  prepare(9, 6);
  ASSERT_TRUE(Polygon(dc_, triangle, 3));
  EXPECT_EQ(image(), (Lignes{".#######.",  //
                             ".######..",  //
                             ".#####...",  //
                             ".####....",  //
                             ".###.....",  //
                             ".##......"}));
}

TEST_F(Gdi, PolyPolygonLeavesHolesByTheAlternateRule) {
  prepare(8, 8);
  const POINT carres[] = {{0, 0}, {7, 0}, {7, 7}, {0, 7}, {2, 2}, {5, 2}, {5, 5}, {2, 5}};
  const INT comptes[] = {4, 4};
  ASSERT_TRUE(PolyPolygon(dc_, carres, comptes, 2));
  EXPECT_EQ(image(), (Lignes{"########",  //
                             "########",  //
                             "########",  //
                             "###..###",  //
                             "###..###",  //
                             "########",  //
                             "########",  //
                             "########"}));
}

// The pixels of a stepped Bresenham from a to c, c left out, that fall inside w x h.
void bresenham(Lignes& image, POINT a, POINT c) {
  const long dx = std::abs(c.x - a.x), dy = -std::abs(c.y - a.y);
  const long sx = a.x < c.x ? 1 : -1, sy = a.y < c.y ? 1 : -1;
  long erreur = dx + dy, x = a.x, y = a.y;
  while (x != c.x || y != c.y) {
    if (y >= 0 && x >= 0 && y < static_cast<long>(image.size()) && x < static_cast<long>(image[0].size()))
      image[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = '#';
    const long e2 = 2 * erreur;
    if (e2 >= dy) erreur += dy, x += sx;
    if (e2 <= dx) erreur += dx, y += sy;
  }
}

TEST_F(Gdi, OutlinesCrossingTheBitmapEdgesKeepTheDotsOfTheWholeLine) {
  std::mt19937 alea(7);
  std::uniform_int_distribution<int> u(-30, 50);
  for (int essai = 0; essai < 300; ++essai) {
    if (essai > 0) {
      TearDown();
      SetUp();
    }
    prepare(20, 12);
    const POINT ligne[] = {{u(alea), u(alea)}, {u(alea), u(alea)}};
    ASSERT_TRUE(Polygon(dc_, ligne, 2));
    Lignes attendu(12, std::string(20, '.'));
    bresenham(attendu, ligne[0], ligne[1]);
    bresenham(attendu, ligne[1], ligne[0]);
    ASSERT_EQ(image(), attendu) << ligne[0].x << "," << ligne[0].y << " " << ligne[1].x << "," << ligne[1].y;
  }
}

// Four billion dots long: only the few inside the bitmap are visited.
TEST_F(Gdi, ShapesReachingFarOutsideDrawOnlyWhatFallsInside) {
  prepare(8, 4);
  const POINT ligne[] = {{-2000000000, -1000000000}, {2000000000, 1000000000}};
  ASSERT_TRUE(Polygon(dc_, ligne, 2));
  EXPECT_EQ(image(), (Lignes{"##......",  //
                             ".###....",  //
                             "...###..",  //
                             ".....###"}));
  TearDown();
  SetUp();
  prepare(9, 3, 0);
  const POINT carre[] = {
      {INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MIN}, {INT32_MAX, INT32_MAX}, {INT32_MIN, INT32_MAX}};
  ASSERT_TRUE(Polygon(dc_, carre, 4));
  EXPECT_EQ(image(), Lignes(3, "#########"));
}

TEST_F(Gdi, ObjectsAreOwnedLikeWindowsOwnsThem) {
  prepare(4, 4);
  EXPECT_FALSE(DeleteObject(bitmap_));  // still selected
  EXPECT_FALSE(DeleteDC(ecran_));       // a screen context is released, not deleted
  HDC autre = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(autre, bitmap_), nullptr);  // already in another context
  HBITMAP libre = CreateCompatibleBitmap(dc_, 2, 2);
  EXPECT_EQ(SelectObject(ecran_, libre), nullptr);  // only memory contexts draw
  EXPECT_TRUE(DeleteObject(libre));
  const POINT ligne[] = {{0, 0}, {3, 3}};
  EXPECT_FALSE(Polygon(ecran_, ligne, 2));
  EXPECT_TRUE(DeleteDC(autre));
  HDC imprimante = CreateDCA(nullptr, "laser1", nullptr, nullptr);
  ASSERT_NE(imprimante, nullptr);
  EXPECT_TRUE(DeleteDC(imprimante));
}

TEST_F(Gdi, InjectedFailuresFailTheCall) {
  using win32test::Call;
  for (Call c : {Call::GetDC, Call::CreateDC, Call::CreateCompatibleDC, Call::CreateCompatibleBitmap,
                 Call::CreatePen, Call::SelectObject, Call::Polygon, Call::GetObject, Call::GetBitmapBits})
    win32test::inject(c);
  EXPECT_EQ(GetDC(nullptr), nullptr);
  EXPECT_EQ(CreateDCA(nullptr, "laser1", nullptr, nullptr), nullptr);
  EXPECT_EQ(CreateCompatibleDC(dc_), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(dc_, 8, 8), nullptr);
  EXPECT_EQ(CreatePen(PS_SOLID, 0, 0), nullptr);
  EXPECT_EQ(SelectObject(dc_, nullptr), nullptr);
  const POINT triangle[] = {{0, 0}, {4, 0}, {0, 4}};
  EXPECT_FALSE(Polygon(dc_, triangle, 3));
  prepare(8, 8);
  BITMAP b{};
  EXPECT_EQ(GetObjectA(bitmap_, sizeof b, &b), 0);
  unsigned char octets[16];
  EXPECT_EQ(GetBitmapBits(bitmap_, sizeof octets, octets), 0);
}

}  // namespace
