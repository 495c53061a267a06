// The GDI stand-in's device-independent bitmaps, stretching, copying and reading out.
#include "win32_test.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using Octets = std::vector<std::uint8_t>;
using Couleurs = std::vector<COLORREF>;

constexpr COLORREF rvb(std::uint32_t r, std::uint32_t v, std::uint32_t b) { return r | v << 8 | b << 16; }
constexpr COLORREF kNoir = 0, kBlanc = 0xFFFFFF;

// A BITMAPINFO with room for 256 colours.
struct Info {
  Info(LONG largeur, LONG hauteur, WORD bits, const std::vector<RGBQUAD>& table = {}, DWORD utilisees = 0)
      : octets(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)) {
    BITMAPINFOHEADER e{};
    e.biSize = sizeof e;
    e.biWidth = largeur;
    e.biHeight = hauteur;
    e.biPlanes = 1;
    e.biBitCount = bits;
    e.biCompression = BI_RGB;
    e.biClrUsed = utilisees;
    std::memcpy(octets.data(), &e, sizeof e);
    if (!table.empty()) std::memcpy(octets.data() + sizeof e, table.data(), table.size() * sizeof(RGBQUAD));
  }
  BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(octets.data()); }
  BITMAPINFOHEADER* entete() { return &info()->bmiHeader; }
  Octets octets;
};

RGBQUAD quad(COLORREF c) {
  return RGBQUAD{static_cast<BYTE>(c >> 16), static_cast<BYTE>(c >> 8), static_cast<BYTE>(c), 0};
}

// A printer context (its bitmaps have 32 bits) and memory contexts beside it.
class Dib : public ::testing::Test {
 protected:
  void SetUp() override {
    win32test::reset();
    imprimante_ = CreateDCA(nullptr, "laser1", nullptr, nullptr);
    ASSERT_NE(imprimante_, nullptr);
  }
  void TearDown() override {
    for (HDC m : memoires_) EXPECT_TRUE(DeleteDC(m));
    for (HBITMAP b : bitmaps_) EXPECT_TRUE(DeleteObject(b));
    EXPECT_TRUE(DeleteDC(imprimante_));
    EXPECT_EQ(win32test::openHandles(), 0u);
    win32test::reset();
  }
  HBITMAP garde(HBITMAP b) {
    EXPECT_NE(b, nullptr);
    if (b) bitmaps_.push_back(b);
    return b;
  }
  HBITMAP depuis(Info& i, const Octets& bits) {
    return garde(CreateDIBitmap(imprimante_, i.entete(), CBM_INIT, bits.data(), i.info(), DIB_RGB_COLORS));
  }
  // A 32-bit bitmap of these colours (rows top first), selected into a new memory context.
  HDC contexteAvec(LONG largeur, const Couleurs& c) {
    const LONG hauteur = static_cast<LONG>(c.size()) / largeur;
    Info i(largeur, -hauteur, 32);
    Octets bits;
    for (COLORREF x : c) bits.insert(bits.end(), {static_cast<std::uint8_t>(x >> 16), static_cast<std::uint8_t>(x >> 8),
                                                  static_cast<std::uint8_t>(x), 0});
    return contexteDe(depuis(i, bits));
  }
  HDC contexteDe(HBITMAP b) {
    HDC m = CreateCompatibleDC(imprimante_);
    EXPECT_NE(m, nullptr);
    memoires_.push_back(m);
    EXPECT_NE(SelectObject(m, b), nullptr);
    return m;
  }
  HDC vide(LONG largeur, LONG hauteur) {
    Info i(largeur, hauteur, 32);
    return contexteDe(garde(CreateDIBitmap(imprimante_, i.entete(), 0, nullptr, nullptr, DIB_RGB_COLORS)));
  }
  // The colours of a 32-bit bitmap, rows top first.
  static Couleurs couleurs(HBITMAP b) {
    BITMAP m{};
    EXPECT_EQ(GetObjectA(b, sizeof m, &m), static_cast<int>(sizeof m));
    EXPECT_EQ(m.bmBitsPixel, 32);
    Octets o(static_cast<std::size_t>(m.bmWidthBytes * m.bmHeight));
    EXPECT_EQ(GetBitmapBits(b, static_cast<LONG>(o.size()), o.data()), static_cast<LONG>(o.size()));
    Couleurs c;
    for (std::size_t p = 0; p < o.size(); p += 4) {
      EXPECT_EQ(o[p + 3], 0);
      c.push_back(rvb(o[p + 2], o[p + 1], o[p]));
    }
    return c;
  }
  HBITMAP dernier() const { return bitmaps_.back(); }

  HDC imprimante_ = nullptr;
  std::vector<HDC> memoires_;
  std::vector<HBITMAP> bitmaps_;
};

constexpr COLORREF a = rvb(10, 20, 30), b = rvb(40, 50, 60), c = rvb(70, 80, 90);

TEST_F(Dib, IndexedDibsTakeTheirColoursFromTheTableBottomRowFirst) {
  Info un(3, 2, 1, {quad(a), quad(b)});
  // Rows padded to 4 bytes; the first row in memory is the bottom one; high bit first.
  depuis(un, {0xA0, 0, 0, 0, 0x40, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(couleurs(dernier()), (Couleurs{a, b, a, b, a, b}));

  // Index 3 lies beyond the 3 colours in use: black.
  Info quatre(3, 2, 4, {quad(a), quad(b), quad(c), quad(kBlanc)}, 3);
  depuis(quatre, {0x01, 0x20, 0, 0, 0x12, 0x30, 0, 0});
  EXPECT_EQ(couleurs(dernier()), (Couleurs{b, c, kNoir, a, b, c}));

  std::vector<RGBQUAD> table(256, quad(kNoir));
  table[1] = quad(a);
  table[255] = quad(c);
  Info huit(3, -1, 8, table);  // top row first
  depuis(huit, {255, 1, 0, 0});
  EXPECT_EQ(couleurs(dernier()), (Couleurs{c, a, kNoir}));
}

TEST_F(Dib, DirectColourDibsHoldBlueGreenRed) {
  Info vingtQuatre(2, 2, 24);
  depuis(vingtQuatre, {30, 20, 10, 60, 50, 40, 0, 0,  // bottom row, padded to 8 bytes
                       90, 80, 70, 0, 0, 255, 0, 0});
  EXPECT_EQ(couleurs(dernier()), (Couleurs{c, rvb(255, 0, 0), a, b}));

  Info trenteDeux(2, -1, 32);
  depuis(trenteDeux, {30, 20, 10, 0xEE, 90, 80, 70, 0x11});  // the fourth byte is ignored
  EXPECT_EQ(couleurs(dernier()), (Couleurs{a, c}));

  // Without CBM_INIT the bitmap is black.
  Info i(2, 1, 8);
  garde(CreateDIBitmap(imprimante_, i.entete(), 0, nullptr, nullptr, DIB_RGB_COLORS));
  EXPECT_EQ(couleurs(dernier()), (Couleurs{kNoir, kNoir}));
}

TEST_F(Dib, AMemoryContextMakesMonoBitmapsKeepingOnlyWhite) {
  HDC m = CreateCompatibleDC(imprimante_);
  memoires_.push_back(m);
  Info i(3, 1, 24);
  const Octets blancPresqueBlancNoir{255, 255, 255, 254, 255, 255, 0, 0, 0, 0, 0, 0};
  HBITMAP mono =
      garde(CreateDIBitmap(m, i.entete(), CBM_INIT, blancPresqueBlancNoir.data(), i.info(), DIB_RGB_COLORS));
  BITMAP bm{};
  ASSERT_EQ(GetObjectA(mono, sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmBitsPixel, 1);
  std::uint8_t octets[2] = {};
  ASSERT_EQ(GetBitmapBits(mono, 2, octets), 2);
  EXPECT_EQ(octets[0], 0x80);
}

TEST_F(Dib, UnsupportedDibsAreRefused) {
  const Octets bits(64, 0);
  auto refuse = [&](Info& i, UINT usage = DIB_RGB_COLORS) {
    EXPECT_EQ(CreateDIBitmap(imprimante_, i.entete(), CBM_INIT, bits.data(), i.info(), usage), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  };
  for (WORD p : {0, 2, 16}) {
    Info i(2, 2, p);
    refuse(i);
  }
  Info compresse(2, 2, 8);
  compresse.entete()->biCompression = 1;
  refuse(compresse);
  Info plans(2, 2, 8);
  plans.entete()->biPlanes = 2;
  refuse(plans);
  Info palette(2, 2, 8);
  refuse(palette, DIB_PAL_COLORS);
  Info negative(-2, 2, 8);
  refuse(negative);
  EXPECT_EQ(CreateDIBitmap(imprimante_, palette.entete(), CBM_INIT, nullptr, palette.info(), DIB_RGB_COLORS), nullptr);
  EXPECT_EQ(CreateDIBitmap(imprimante_, nullptr, 0, nullptr, nullptr, DIB_RGB_COLORS), nullptr);
  // A bitmap larger than the driver holds.
  Info enorme(100000, 100000, 8);
  EXPECT_EQ(CreateDIBitmap(imprimante_, enorme.entete(), 0, nullptr, nullptr, DIB_RGB_COLORS), nullptr);
}

TEST_F(Dib, ColorOnColorTakesTheSourcePixelUnderTheCentre) {
  HDC source = contexteAvec(5, {kNoir, a, kBlanc, b, c});
  HDC reduit = vide(2, 1);
  ASSERT_EQ(SetStretchBltMode(reduit, COLORONCOLOR), BLACKONWHITE);
  ASSERT_TRUE(StretchBlt(reduit, 0, 0, 2, 1, source, 0, 0, 5, 1, SRCCOPY));
  EXPECT_EQ(couleurs(dernier()), (Couleurs{a, b}));

  HDC deux = contexteAvec(2, {a, c});
  HDC agrandi = vide(5, 2);
  SetStretchBltMode(agrandi, COLORONCOLOR);
  ASSERT_TRUE(StretchBlt(agrandi, 0, 0, 5, 2, deux, 0, 0, 2, 1, NOTSRCCOPY));
  const COLORREF na = rvb(245, 235, 225), nc = rvb(185, 175, 165);
  EXPECT_EQ(couleurs(dernier()), (Couleurs{na, na, nc, nc, nc, na, na, nc, nc, nc}));

  // Part of the source, into part of the destination.
  ASSERT_TRUE(StretchBlt(agrandi, 3, 1, 2, 1, source, 2, 0, 1, 1, SRCCOPY));
  EXPECT_EQ(couleurs(dernier()), (Couleurs{na, na, nc, nc, nc, na, na, nc, kBlanc, kBlanc}));
}

TEST_F(Dib, HalftoneAveragesTheSourceAreaUnderEachPixel) {
  HDC source = contexteAvec(3, {rvb(0, 0, 9), rvb(90, 3, 9), rvb(255, 6, 9)});
  HDC reduit = vide(2, 1);
  SetStretchBltMode(reduit, HALFTONE);
  ASSERT_TRUE(StretchBlt(reduit, 0, 0, 2, 1, source, 0, 0, 3, 1, SRCCOPY));
  // Pixel 0 covers source 0 and half of source 1: (2 * 0 + 90) / 3; pixel 1 the rest: (90 + 2 * 255) / 3.
  // Green: (0 + 3) / 3 and (3 + 12) / 3.
  EXPECT_EQ(couleurs(dernier()), (Couleurs{rvb(30, 1, 9), rvb(200, 5, 9)}));

  // Halves round up; growing blends across a source edge.
  HDC paire = contexteAvec(2, {rvb(1, 0, 0), rvb(2, 255, 0)});
  HDC un = vide(1, 1);
  SetStretchBltMode(un, HALFTONE);
  ASSERT_TRUE(StretchBlt(un, 0, 0, 1, 1, paire, 0, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(couleurs(dernier()), (Couleurs{rvb(2, 128, 0)}));
  HDC trois = vide(3, 1);
  SetStretchBltMode(trois, HALFTONE);
  ASSERT_TRUE(StretchBlt(trois, 0, 0, 3, 1, paire, 0, 0, 2, 1, NOTSRCCOPY));
  EXPECT_EQ(couleurs(dernier()), (Couleurs{rvb(254, 255, 255), rvb(253, 127, 255), rvb(253, 0, 255)}));

  // Both directions at once.
  HDC carre = contexteAvec(2, {rvb(0, 0, 0), rvb(100, 0, 0), rvb(200, 0, 0), rvb(40, 0, 0)});
  HDC point = vide(1, 1);
  SetStretchBltMode(point, HALFTONE);
  ASSERT_TRUE(StretchBlt(point, 0, 0, 1, 1, carre, 0, 0, 2, 2, SRCCOPY));
  EXPECT_EQ(couleurs(dernier()), (Couleurs{rvb(85, 0, 0)}));
}

TEST_F(Dib, StretchingIsRefusedOutsideItsRules) {
  HDC source = contexteAvec(2, {a, b});
  HDC cible = vide(2, 1);
  // The default mode combines eliminated scans, which is not modelled.
  EXPECT_FALSE(StretchBlt(cible, 0, 0, 1, 1, source, 0, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(SetStretchBltMode(cible, 0), 0);
  EXPECT_EQ(SetStretchBltMode(cible, 5), 0);
  EXPECT_EQ(SetStretchBltMode(cible, WHITEONBLACK), BLACKONWHITE);
  EXPECT_FALSE(StretchBlt(cible, 0, 0, 1, 1, source, 0, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(SetStretchBltMode(cible, COLORONCOLOR), WHITEONBLACK);
  EXPECT_FALSE(StretchBlt(cible, 0, 0, 1, 1, source, 0, 0, 2, 1, 0x00EE0086));  // SRCPAINT
  EXPECT_FALSE(StretchBlt(cible, 0, 0, 0, 1, source, 0, 0, 2, 1, SRCCOPY));
  EXPECT_FALSE(StretchBlt(cible, 0, 0, -1, 1, source, 0, 0, 2, 1, SRCCOPY));
  EXPECT_FALSE(StretchBlt(cible, 0, 0, 1, 1, source, 1, 0, 2, 1, SRCCOPY));   // past the source
  EXPECT_FALSE(StretchBlt(cible, 0, 0, 1, 1, source, -1, 0, 1, 1, SRCCOPY));
  EXPECT_FALSE(StretchBlt(imprimante_, 0, 0, 1, 1, source, 0, 0, 1, 1, SRCCOPY));  // not a memory context
  EXPECT_FALSE(BitBlt(cible, 0, 0, 2, 2, source, 0, 0, SRCCOPY));
  EXPECT_EQ(couleurs(dernier()), (Couleurs{kNoir, kNoir}));
}

TEST_F(Dib, BitBltCopiesPixelForPixelClippedToTheDestination) {
  HDC source = contexteAvec(3, {a, b, c, c, b, a});
  HDC cible = vide(3, 2);  // in the default mode: copying does not stretch
  ASSERT_TRUE(BitBlt(cible, 1, 1, 3, 2, source, 0, 0, SRCCOPY));
  EXPECT_EQ(couleurs(dernier()), (Couleurs{kNoir, kNoir, kNoir, kNoir, a, b}));
  ASSERT_TRUE(BitBlt(cible, -1, 0, 2, 1, source, 0, 0, NOTSRCCOPY));
  EXPECT_EQ(couleurs(dernier()), (Couleurs{rvb(215, 205, 195), kNoir, kNoir, kNoir, a, b}));
  // Onto itself, overlapping: the source is read as it was.
  ASSERT_TRUE(BitBlt(cible, 1, 1, 2, 1, cible, 0, 1, SRCCOPY));
  EXPECT_EQ(couleurs(dernier()), (Couleurs{rvb(215, 205, 195), kNoir, kNoir, kNoir, kNoir, a}));

  // Mono bitmaps read as black and white, and keep only white.
  HDC mono = CreateCompatibleDC(imprimante_);
  memoires_.push_back(mono);
  HBITMAP m = garde(CreateCompatibleBitmap(mono, 3, 1));
  SelectObject(mono, m);
  HDC couleur = contexteAvec(3, {kBlanc, rvb(255, 255, 254), kNoir});
  ASSERT_TRUE(BitBlt(mono, 0, 0, 3, 1, couleur, 0, 0, SRCCOPY));
  std::uint8_t octet = 0;
  ASSERT_EQ(GetBitmapBits(m, 1, &octet), 1);
  EXPECT_EQ(octet, 0x80);
  HDC retour = vide(3, 1);
  ASSERT_TRUE(BitBlt(retour, 0, 0, 3, 1, mono, 0, 0, NOTSRCCOPY));
  EXPECT_EQ(couleurs(dernier()), (Couleurs{kNoir, kBlanc, kBlanc}));
}

TEST_F(Dib, GetDIBitsWritesEachDepthWithTheNearestTableColour) {
  contexteAvec(3, {rvb(0, 0, 0), rvb(127, 127, 127), rvb(128, 128, 128),  //
                   rvb(8, 8, 8), rvb(9, 9, 9), rvb(250, 10, 10)});
  const HBITMAP bm = dernier();
  HDC dc = memoires_.back();
  auto lit = [&](Info& i, std::size_t taille, UINT debut = 0, UINT lignes = 2, int attendu = 2) {
    Octets o(taille, 0xFF);
    EXPECT_EQ(GetDIBits(dc, bm, debut, lignes, o.data(), i.info(), DIB_RGB_COLORS), attendu);
    return o;
  };
  Info un(3, 2, 1, {quad(kNoir), quad(kBlanc)});
  // Bottom row first; padding bits are 0.
  EXPECT_EQ(lit(un, 8), (Octets{0x00, 0, 0, 0, 0x20, 0, 0, 0}));

  std::vector<RGBQUAD> rampe16;
  for (int i = 0; i < 16; ++i) rampe16.push_back(quad(rvb(17u * i, 17u * i, 17u * i)));
  Info quatre(3, -2, 4, rampe16);  // top row first
  EXPECT_EQ(lit(quatre, 8), (Octets{0x07, 0x80, 0, 0, 0x01, 0x50, 0, 0}));

  // Equal distances go to the lower index; an entry beyond the colours in use is never chosen.
  Info huit(3, 2, 8, {quad(kBlanc), quad(kNoir), quad(kNoir), quad(rvb(250, 10, 10)), quad(rvb(127, 127, 127))}, 4);
  EXPECT_EQ(lit(huit, 8), (Octets{1, 1, 3, 0, 1, 3, 3, 0}));

  Info vingtQuatre(3, 2, 24);
  EXPECT_EQ(lit(vingtQuatre, 24, 1, 5, 1),
            (Octets{0, 0, 0, 127, 127, 127, 128, 128, 128, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                    0xFF, 0xFF, 0xFF, 0xFF}));
  Info trenteDeux(3, -2, 32);
  EXPECT_EQ(lit(trenteDeux, 24, 1, 1, 1), (Octets{8, 8, 8, 0, 9, 9, 9, 0, 10, 10, 250, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                                                  0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  lit(trenteDeux, 24, 2, 1, 0);

  // The header describes the bitmap's own size.
  Info large(4, 2, 24);
  lit(large, 32, 0, 2, 0);
}

TEST_F(Dib, InjectedFailuresFailTheCall) {
  using win32test::Call;
  HDC source = contexteAvec(1, {a});
  HDC cible = vide(1, 1);
  SetStretchBltMode(cible, COLORONCOLOR);
  for (Call appel : {Call::CreateDIBitmap, Call::StretchBlt, Call::GetDIBits}) win32test::inject(appel);
  Info i(1, 1, 32);
  EXPECT_EQ(CreateDIBitmap(imprimante_, i.entete(), 0, nullptr, nullptr, DIB_RGB_COLORS), nullptr);
  EXPECT_FALSE(StretchBlt(cible, 0, 0, 1, 1, source, 0, 0, 1, 1, SRCCOPY));
  std::uint8_t bits[4] = {};
  EXPECT_EQ(GetDIBits(cible, dernier(), 0, 1, bits, i.info(), DIB_RGB_COLORS), 0);
  win32test::inject(Call::StretchBlt);
  EXPECT_FALSE(BitBlt(cible, 0, 0, 1, 1, source, 0, 0, SRCCOPY));
  EXPECT_EQ(couleurs(dernier()), (Couleurs{kNoir}));
}

}  // namespace
