// The library's entry point for printing and the page cycle around it: chunk
// buffering, page set-up, the page writer, the end of the job and the abort path.
#pragma once

#include "contexte.h"

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define BREVOLT_EXPORT  // Brevolt.def names the exports
#else
#define BREVOLT_EXPORT __attribute__((visibility("default")))
#endif

// One chunk of the print stream of a job, in order; a chunk beginning "JF;" ends the
// job. The settings record is read only (at least 1,200 bytes). Returns 1 when the
// chunk was taken, 0 when the job was discarded or a temporary file could not be opened.
extern "C" BREVOLT_EXPORT int debut(HANDLE imprimante, const void* donnees, std::uint32_t longueur,
                                    const void* parametres);

// Rescales a device-independent bitmap from the source size and depth to the target's
// through the printer's device contexts; the target rows are written bottom-up. At 1, 4
// and 8 bits the source indexes the palette when the fourth byte of its entry 0 is set,
// otherwise a grey ramp from white to black. Sizes below 1, depths other than 1, 4, 8, 24
// and 32, a null pointer, a DIB over 4 GiB or a failed system call leave the target
// untouched (with the last error set).
extern "C" BREVOLT_EXPORT void StretchMaison(HANDLE imprimante, SIZE source, SIZE cible, WORD bitsSource,
                                             WORD bitsCible, const void* pixelsSource, void* pixelsCible,
                                             int hautEnBas, const RGBQUAD* palette);

// The page buffer: its size at the start of a page, and the most it grows to when one
// command is longer than what the buffer holds (beyond: "Memory error").
constexpr std::size_t kTailleTamponPage = 10001000;
constexpr std::size_t kTailleTamponMax = 50000000;
// Below this many buffered bytes, and without a page end, nothing is interpreted.
constexpr std::size_t kReserveAnalyse = 5000000;

// Set: the next chunk begins a new page. The interpreter sets it when it executes a
// page end; while it is set nothing reaches the vector temp file.
extern std::int16_t DrapeauNouvellePage;
// Set: no job file is open yet for the current job. The interpreter clears it at a
// page end, so that later pages of the job get no header.
extern std::int16_t DrapeauNouveauJob;

// Writes the finished page into the job file: vector section, repeat copies, page end.
void EcritPageJob(ContexteConversion& ctx, EtatSortie& sortie);

// Takes the current end of the job file as the page's repeat start, once per page.
void NoteDebutRepetition(ContexteConversion& ctx, EtatSortie& sortie);
