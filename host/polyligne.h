// Polyline encoding (PE): coordinates as base-32 or base-64 digit strings between
// one-byte flags, up to the ';'.
#pragma once

#include "contexte.h"

#include <cstdint>

struct EtatPE {
  bool SeptBits;            // 5-bit digits
  int BitsFraction;         // set by '>'
  bool AbsoluSuivant;       // '=': the next pair is absolute
  bool PlumeLeveeSuivante;  // '<': the next pair is a move
};

// Also where a PE that the data ended inside goes on (Analyse.CommandeReprise set).
void AnalysePE();
// 1 when the byte was a flag (and has been handled).
int TraiteDrapeauPE(EtatPE& etat, int octet);
// 1 when the byte cannot continue a number.
int EstFinNombrePE(const EtatPE& etat, int octet);
// Value of one digit byte.
int DecodeChiffrePE(const EtatPE& etat, int octet);
void LitEntierPE(const EtatPE& etat, int premier, std::int64_t& valeur);
void LitReelPE(const EtatPE& etat, int premier, PointHPGL& point);
void TraceSegmentPE(bool absolu, const PointHPGL& point);
