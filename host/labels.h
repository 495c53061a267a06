// Labels and stroke fonts: the character parameters, the label buffer and the text
// entries of the interpreter.
#pragma once

#include "contexte.h"

#include <cstdint>
#include <vector>

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

// Reads the print data up to the label terminator into the buffer (emptied first); the
// terminator is kept unless it is ETX.
void LitLabel(std::vector<std::uint8_t>& tampon);
// genre 0 LB, 1 PB (the buffered text), 2 after a carriage return of a buffered text.
void TraceLabel(const std::vector<std::uint8_t>& texte, int genre);
// Symbol mode: the symbol centred on the plotter position.
void TraceCaractereSymbole(int code);
// UC: reads its numbers.
void TraceCaractereUtilisateur();
