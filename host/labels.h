// Labels and stroke fonts: the character parameters, the label buffer and the text
// entries of the interpreter.
#pragma once

#include "contexte.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <vector>

// Storage from LocalAlloc, as the converter's other blocks; a refusal is std::bad_alloc.
template <class T>
struct AllocateurLocal {
  using value_type = T;
  AllocateurLocal() = default;
  template <class U>
  AllocateurLocal(const AllocateurLocal<U>&) {}
  T* allocate(std::size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    void* p = LocalAlloc(LMEM_FIXED, n * sizeof(T));
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, std::size_t) { LocalFree(p); }
  friend bool operator==(const AllocateurLocal&, const AllocateurLocal&) { return true; }
};
// A label's text.
using TexteLabel = std::vector<std::uint8_t, AllocateurLocal<std::uint8_t>>;

struct ParametresTexte {
  float Largeur, Hauteur;      // character size
  float PasAvance, PasLigne;   // 1.5 w and 2 h
  float EspaceX, EspaceY;      // ES
  float Direction;             // radians (DI, DR)
  float Inclinaison;           // tangent (SL)
  int JeuCourant, JeuStandard, JeuAlternatif;
  int OrigineLabel;            // 1-9, 11-19
  double A, B, C, D;           // character matrix
  PointHPGL VecteurAvance, VecteurLigne;
  PointHPGL Position;          // where the next character starts
  PointHPGL DebutLabel;        // where a carriage return goes
  PointHPGL DecalageOrigine;
};
extern ParametresTexte Texte;

// IN/DF/BP: size from P1-P2, no extra space, direction or slant, charset 0, origin 1,
// position and label start at the plotter position. The standard and alternate
// charsets are kept.
void InitTexteHPGL();
// Pitches, matrix and the two vectors from the fields.
void CalculeDirectionTexte();

// The eight stroke charsets, indexed by character code: zero-terminated strings of
// stroke bytes (bit 7 pen down, bits 6-4 x digit X, bits 3-0 y digit Y; the point is
// (X - 1, Y - 4) on a cell 4 wide and 6 high); an empty string draws nothing.
extern const char* const JeuxCaracteresTrait[8][128];

// The plotter position as text is laid out: before the RO rotation, which every plotted
// point then goes through.
PointHPGL PositionTexte();

// Reads the print data up to the label terminator into the buffer (emptied first); the
// terminator is kept unless it is ETX. A buffer that cannot grow ends the job with
// "Memory error".
void LitLabel(TexteLabel& tampon);
// genre 0 LB, 1 PB (the buffered text), 2 after a carriage return of a buffered text.
void TraceLabel(std::span<const std::uint8_t> texte, int genre);
// Counts the text's extent, shifts the position by the label origin and sets the origin
// offset; genre 2 keeps the extent counted last.
void AppliqueOrigineLabel(std::span<const std::uint8_t> texte, int genre);
// One character of the current charset at the position, which then advances.
void TraceCaractere(int code);
// A stroke byte as a cell point (X - 1, Y - 4).
void DecodeTraitCaractere(int octet, PointHPGL& point);

// Symbol mode: the character centred on the current point, then back there.
void TraceCaractereSymbole(int code);
// Position at the current point, origin offset minus the glyph's centre.
void PrepareCaractereSymbole(int code);
// The centre (mean of the stroke points) of the glyph, through the character matrix.
PointHPGL CentreCaractereSymbole(int code);
// UC: reads its numbers and draws the character at the plotter position.
void TraceCaractereUtilisateur();
