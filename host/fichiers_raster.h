// The page's raster store: decoded raster rows and filled shapes go, one row at a time,
// into temp rasters that live in delete-on-close files: a grey raster (one byte per
// pixel) and eight 1-bit colour-class rasters. Only the row being stored is in memory.
//
// A raster is created by its first stored row, as wide as the plate + 5 mm at the page
// resolution and at least as tall; a page wider or taller than kTailleRasterMax is refused
// ("Plate size error") before any raster of it is made. A row stored below its bottom
// makes every open raster taller, the new rows at the raster's initial value (grey: 255
// from the palette path, 0 from the power path; classes: 0), so every open raster can be
// read down to the page's extent.
#pragma once

#include "contexte.h"

#include <cstdint>

// Rows and columns of a raster stop at what the plane rows can carry in bits.
constexpr std::int32_t kTailleRasterMax = static_cast<std::int32_t>(kTailleLignePlan) * 8;
// Dots of a page's raster, as the fill bitmaps: every raster of the page is written
// white or blank in full and walked again at the page's end.
constexpr std::int64_t kPointsRasterMax = std::int64_t{1} << 28;

// The merge row, as wide as the grey raster; page set-up. No memory: "Memory error".
void AlloueLigneFond();
// Frees the merge row and closes the grey raster; page end and abort.
void LibereRasters();

// Into the grey raster through the raster palette. mode 0: one plane of 1-bit pixels,
// 1: three planes giving a 3-bit colour index, 2: one plane of grey bytes.
void StockeLigneGris(int mode);
// A three-plane row: greys when the greyscale switch is on, else power levels.
void StockeLigneConvertie();
// A one-plane 1-bit row: greys when the greyscale switch is on, else ORed into the raster
// of the current colour class (class 8 stores nothing).
void StockeLignePlan();

// Whether StockeLignePlan stores what the row holds: class 8 without the greyscale switch
// only moves the cursor and the page's extent.
bool LignePlanStockee();
// Columns from 0 that a stored row may reach: a row reaching past them is refused.
std::int32_t ColonnesRaster();
// Rows of the page: the plate + 5 mm, or as far as stored rows reach.
std::int32_t LignesPage();

// Power level of a grey table value with the job's power threshold.
std::uint8_t ConvertitGrisPuissance(int niveau);

// Clears the current plane row from byte depuis to the row length and copies the row
// into its seed row.
void SauveLigneGraine(std::int32_t depuis);

// Whether the greyscale switch (settings +62) is on.
bool ModeGris();
