// Raster images dot by dot, on the dot grid of the plate origin (column along
// a line, row = line): the dots a job's raster records ask to mark, and the
// dots the simulated board's trace shows marked, so that a test can compare
// the image marked with the image sent.
#pragma once

#include "job_file.h"

#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace rasterdots {

struct Dot {
    int column = 0;
    int row = 0;
    // Asked: the grey level (an on 1-bit dot: 127, 0 in negative marking).
    // Marked: the X divisor of its block (a slower speed gives a larger one).
    unsigned value = 0;
};

// The dots to mark, as the firmware walks the raster records: RX/RY pairs move
// by whole dots, each line steps one row down after its data, a reverse line
// (C2, C4) lays its dots right to left, R5 goes back over the last line's
// width, and a page end returns to the origin. Vector records are not followed.
std::vector<Dot> askedDots(std::span<const jobfile::Record> records, bool negative);
std::vector<Dot> askedDots(const jobfile::Job& job);  // negative marking from the header

// Where dot (0, 0) starts on the scanner, in steps, and the step vectors of
// one dot along a line and of one line down.
struct Grid {
    double x0, y0;
    double columnX, columnY;
    double rowX, rowY;
};

// The grid as the firmware lays it: the lens orientation (1-4) maps job
// lengths to scanner axes, the fiche starts at the field's corner plus the
// plate origin (nanometres).
struct Scanner {
    int orientation;
    double stepsPerMmX, stepsPerMmY;
    double fieldWidthMm, fieldHeightMm;
};
Grid plateGrid(const Scanner& scanner, double originXnm, double originYnm, double pitchXnm, double pitchYnm);

// Every beam-on move of the trace (BLOCK lines from `from` on, delay blocks
// left out) as the grid cell where it starts: a raster dot is one such move
// over its cell, in either direction.
std::vector<Dot> markedDots(const std::vector<std::string>& trace, const Grid& grid, size_t from = 0);

// Cells asked and marked, by position only.
struct Comparison {
    std::vector<std::pair<Dot, Dot>> both;  // asked, marked
    std::vector<Dot> onlyAsked;
    std::vector<Dot> onlyMarked;
    // Share of the cells asked or marked that are both.
    double identical() const;
};
Comparison compare(const std::vector<Dot>& asked, const std::vector<Dot>& marked);

// Whether a dot of this grey level is marked, in normal or negative marking.
bool markedLevel(unsigned level, bool negative);

}  // namespace rasterdots
