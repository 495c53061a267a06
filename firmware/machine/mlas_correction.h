// Galvanometer correction tables: 2048 gain words per axis in DSP memory,
// computed from the lens description.
#pragma once

#include "mlas_param.h"

#include <cstdint>

// Flat marking.
void Charge_Table(ParamCorrection p);
// Cylinder marking: the Y axis follows the rotation and keeps a constant gain.
void DMCCharge_Table(ParamCorrection p);
