// The GDI part of the Windows stand-in: what the polygon fill draws with.
#include "win32_test.h"

#include <gtest/gtest.h>

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
