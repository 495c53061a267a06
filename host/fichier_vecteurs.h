// The vector temp file FichierVecteurs: one page's drawing as records, a code byte
// followed by its data. Points are two little-endian 32-bit floats (x, y) in plotter
// units, after scaling and rotation.
#pragma once

#include "contexte.h"

#include <cstdint>
#include <cstdio>
#include <memory>

enum CodeVecteur : int {
  CodeDeplacement = 1,  // point: pen up to it
  CodeTrace = 2,        // point: pen down to it
  CodePoint = 3,        // point: a single marked dot
  CodeClasse = 4,       // one byte: colour class of the pen from here on
  CodeMO = 5,           // one byte: MO marker
  CodeVT = 6,           // no data
  CodeFin = 7,          // never written: what the reader returns at the end
};

// The converter's diagnostic trace: its formats are checked, it prints nothing.
[[gnu::format(printf, 1, 2)]] inline void TraceDiagnostic(const char*, ...) {}

// Both write nothing while a page end is pending; a failed write shows "Temporary file
// error" and ends the job. The point writer grows the parser's bounding box.
void EcritCodeVecteur(int code);
void EcritPointVecteur(const PointHPGL& p);
// A code and its point in one write.
void EcritCodePointVecteur(int code, const PointHPGL& p);
// The parser's bounding box grown by a point.
void GrossitBoiteEnglobante(const PointHPGL& p);

// Next code 0-6; 7 once the position reaches fin (fin < 0: no limit), at the end of the
// file, or for any other byte.
int LitCodeFichierVecteur(FILE* f, long long fin);
// One point; a short read shows "Temporary file error" and ends the job.
void HPGL_Pt_from_tmpfile(FILE* f, PointHPGL& p);

// A vector temp file read from its start through a buffer of its own: the same codes,
// bytes and points as the two readers above, with the read position kept here rather than
// asked of the file at each record.
class LecteurVecteurs {
 public:
  LecteurVecteurs(FILE* f, long long fin);
  // As LitCodeFichierVecteur.
  int code();
  // As HPGL_Pt_from_tmpfile.
  void point(PointHPGL& p);
  // The next byte; -1 at the end of the file.
  int octet() {
    if (i_ == n_ && !remplit()) return -1;
    return tampon_[i_++];
  }
  long long position() const { return base_ + static_cast<long long>(i_); }
  void positionne(long long p);

 private:
  bool remplit();

  static constexpr std::size_t kTaille = 65536;
  FILE* f_;
  long long fin_;
  long long base_ = 0;  // file offset of the buffer's first byte
  std::size_t i_ = 0, n_ = 0;
  std::unique_ptr<std::uint8_t[]> tampon_;
};
