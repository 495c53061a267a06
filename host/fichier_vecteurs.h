// The vector temp file FichierVecteurs: one page's drawing as records, a code byte
// followed by its data. Points are two little-endian 32-bit floats (x, y) in plotter
// units, after scaling and rotation.
#pragma once

#include "contexte.h"

#include <cstdio>

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
// The parser's bounding box grown by a point.
void GrossitBoiteEnglobante(const PointHPGL& p);

// Next code 0-6; 7 once the position reaches fin (fin < 0: no limit), at the end of the
// file, or for any other byte.
int LitCodeFichierVecteur(FILE* f, long long fin);
// One point; a short read shows "Temporary file error" and ends the job.
void HPGL_Pt_from_tmpfile(FILE* f, PointHPGL& p);
