// Galvanometer correction tables: 2048 gain words per axis in DSP memory,
// computed from the lens description.
#pragma once

#include "mlas_param.h"

#include <cstdint>

// Focal whose tables the DSP holds.
extern uint8_t MemoFocale;

// Flat marking.
void Charge_Table(ParamCorrection p);
// Cylinder marking: the Y axis follows the rotation and keeps a constant gain.
void DMCCharge_Table(ParamCorrection p);
