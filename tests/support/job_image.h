// A job's vector section drawn as a 1-bit picture, for a person to look at.
#pragma once

#include "job_file.h"

#include <cstdint>
#include <vector>

namespace jobfile {

// The marked elements as black lines on white, one pixel per unitsPerPixel job units, a
// margin of 4 pixels around the drawing; with exchange the job's y runs along the picture's
// width (as the converter lays a plotter drawing out on the plate). North is up. A job with
// no marked element gives an empty vector.
std::vector<uint8_t> pbm(const Job& job, double unitsPerPixel, bool exchange = false);

}  // namespace jobfile
