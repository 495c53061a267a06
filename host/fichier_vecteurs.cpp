#include "fichier_vecteurs.h"

#include "debut.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace {

void ecrit(const void* donnees, std::size_t n) {
  FILE* f = Contexte.FichierVecteurs;
  if (!f || std::fwrite(donnees, 1, n, f) != n) ErreurFatale(MsgFichierTemporaire);
}

void metFloat(std::uint8_t* o, float v) {
  const auto bits = std::bit_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) o[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

float litFloat(const std::uint8_t* o) {
  std::uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(o[i]) << (8 * i);
  return std::bit_cast<float>(bits);
}

}  // namespace

void EcritCodeVecteur(int code) {
  if (DrapeauNouvellePage) return;
  const auto octet = static_cast<std::uint8_t>(code);
  ecrit(&octet, 1);
  ++Analyse.Ecritures;
}

void EcritPointVecteur(const PointHPGL& p) {
  if (DrapeauNouvellePage) return;
  std::uint8_t octets[8];
  metFloat(octets, p.x);
  metFloat(octets + 4, p.y);
  ecrit(octets, sizeof octets);
  GrossitBoiteEnglobante(p);
}

void EcritCodePointVecteur(int code, const PointHPGL& p) {
  if (DrapeauNouvellePage) return;
  std::uint8_t octets[9];
  octets[0] = static_cast<std::uint8_t>(code);
  metFloat(octets + 1, p.x);
  metFloat(octets + 5, p.y);
  ecrit(octets, sizeof octets);
  ++Analyse.Ecritures;
  GrossitBoiteEnglobante(p);
}

void GrossitBoiteEnglobante(const PointHPGL& p) {
  BoiteEnglobante& b = Analyse.Boite;
  b.XMin = std::min<double>(b.XMin, p.x);
  b.XMax = std::max<double>(b.XMax, p.x);
  b.YMin = std::min<double>(b.YMin, p.y);
  b.YMax = std::max<double>(b.YMax, p.y);
}

int LitCodeFichierVecteur(FILE* f, long long fin) {
  if (fin >= 0) {
    const long long position = CrtFtell64(f);
    if (position < 0 || position >= fin) return CodeFin;
  }
  const int c = std::fgetc(f);
  return c >= 0 && c < CodeFin ? c : CodeFin;
}

namespace {

void litPoint(const std::uint8_t* octets, PointHPGL& p) {
  p.x = litFloat(octets);
  p.y = litFloat(octets + 4);
  const BoiteEnglobante& b = Analyse.Boite;
  if (p.x < b.XMin || p.x > b.XMax)
    TraceDiagnostic("HPGL_Pt_from_tmpfile: x out of range (%g not in [%g, %g])\n", p.x, b.XMin,
                    b.XMax);
  if (p.y < b.YMin || p.y > b.YMax)
    TraceDiagnostic("HPGL_Pt_from_tmpfile: y out of range (%g not in [%g, %g])\n", p.y, b.YMin,
                    b.YMax);
}

}  // namespace

void HPGL_Pt_from_tmpfile(FILE* f, PointHPGL& p) {
  std::uint8_t octets[8];
  if (std::fread(octets, 1, sizeof octets, f) != sizeof octets) ErreurFatale(MsgFichierTemporaire);
  litPoint(octets, p);
}

LecteurVecteurs::LecteurVecteurs(FILE* f, long long fin)
    : f_(f), fin_(fin), tampon_(std::make_unique<std::uint8_t[]>(kTaille)) {
  positionne(0);
}

bool LecteurVecteurs::remplit() {
  base_ += static_cast<long long>(n_);
  i_ = n_ = 0;
  n_ = std::fread(tampon_.get(), 1, kTaille, f_);
  return n_ > 0;
}

void LecteurVecteurs::positionne(long long p) {
  const long long fin = base_ + static_cast<long long>(n_);
  if (p >= base_ && p <= fin && n_ > 0) {
    i_ = static_cast<std::size_t>(p - base_);
    return;
  }
  if (CrtFseek64(f_, p, SEEK_SET) != 0) ErreurFatale(MsgFichierTemporaire);
  base_ = p;
  i_ = n_ = 0;
}

int LecteurVecteurs::code() {
  if (fin_ >= 0 && position() >= fin_) return CodeFin;
  const int c = octet();
  return c >= 0 && c < CodeFin ? c : CodeFin;
}

void LecteurVecteurs::point(PointHPGL& p) {
  std::uint8_t octets[8];
  if (n_ - i_ >= sizeof octets) {
    std::memcpy(octets, tampon_.get() + i_, sizeof octets);
    i_ += sizeof octets;
  } else {
    for (std::uint8_t& o : octets) {
      const int c = octet();
      if (c < 0) ErreurFatale(MsgFichierTemporaire);
      o = static_cast<std::uint8_t>(c);
    }
  }
  litPoint(octets, p);
}
