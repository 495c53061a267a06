// The machine job file: pre-header, header tag, BlocEntete, fonction records, vector
// elements, packed raster lines, page and job ends. Every 16- and 32-bit number in the
// file is big-endian; every item has an even length.
#pragma once

#include "contexte.h"

#include <cstdint>
#include <functional>
#include <string>

constexpr char kPreEntete[] = "!LB 1;";
constexpr std::int64_t kLimiteFocus = 0x7FF0;    // largest 'RF' value
constexpr std::int64_t kLimiteElement = 32767;   // largest element length
constexpr std::size_t kPieceSpouleur = 10000;

// Header
std::string EtiquetteEntete(const ContexteConversion& ctx);  // "!KM 240;" and the like
int LongueurBlocEntete(const ContexteConversion& ctx);       // 200 or 240
void EcritPreEntete(ContexteConversion& ctx, EtatSortie& sortie);
// Tag and BlocEntete, with the resolutions and plate sizes exchanged for orientations
// above 3 and resolution X corrected by the marking angle; records where the size goes.
void EcritEnteteJob(ContexteConversion& ctx, EtatSortie& sortie);

// fonction records: 0xFF 0xFD, two code letters, a 16-bit value; 32-bit values as a
// pair of records, high half first.
void EcritFonction(ContexteConversion& ctx, EtatSortie& sortie, const char* code,
                   std::uint16_t valeur);
void EcritFonction32(ContexteConversion& ctx, EtatSortie& sortie, const char* code,
                     std::uint32_t valeur);

// Relative focus move as 'RF' records of at most 0x7FF0 each; added to the page's focus.
void EcritDeplacementFocus(ContexteConversion& ctx, EtatSortie& sortie, std::int64_t delta);

// Vector element as held in memory: the first word goes out as short-segment byte,
// then corner byte.
struct ElementVecteur {
  std::uint8_t Coin;
  std::uint8_t Court;
  std::int16_t Dx;
  std::int16_t Dy;
  std::uint16_t Longueur;
};
static_assert(sizeof(ElementVecteur) == 8);

// Cuts a segment into elements of at most 32,767 units. Parts before the last carry the
// corner byte 255; the last (or only) one 0. A segment of length 0 gives nothing.
void DecoupeSegment(std::int64_t dx, std::int64_t dy,
                    const std::function<void(const ElementVecteur&)>& ajoute);
// Writes n elements; they are left big-endian in the caller's buffer.
void EcritElements(ContexteConversion& ctx, EtatSortie& sortie, ElementVecteur* elements,
                   std::size_t n);

// Raster lines
std::size_t TailleMaxPackBits(std::size_t n);
// PackBits of one line, padded with 0x80 to an even length; returns that length.
std::size_t CompressePackBits(const std::uint8_t* ligne, std::size_t n, std::uint8_t* sortie);
// 'C1'..'C4' with the packed length / 2, then the packed data.
void EcritLigneRaster(ContexteConversion& ctx, EtatSortie& sortie, const char* code,
                      const std::uint8_t* donnees, std::size_t taille);

// Page and job ends
void EcritFinPage(ContexteConversion& ctx, EtatSortie& sortie);
void EcritFinJob(ContexteConversion& ctx, EtatSortie& sortie);
void PatchTailleFichier(ContexteConversion& ctx, EtatSortie& sortie);
// Size patch (unless limited), then the whole file to the printer in 10,000-byte pieces;
// nothing when the host asked that it not be sent or gave no printer.
void EnvoieFichierMachine(ContexteConversion& ctx, EtatSortie& sortie);
// 'AI' 0, 'JF' 0 on a job being discarded; never reports.
void EcritQueueAbandon(ContexteConversion& ctx, EtatSortie& sortie);
