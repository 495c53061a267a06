// A job written by the converter library itself: an HP-GL/2 stream handed to
// debut with a settings record, as the host printing software does, and the
// file the spooler received. Kept apart from the firmware's headers.
#pragma once

#include "settings_record.h"

#include <cstdint>
#include <string>
#include <vector>

std::vector<uint8_t> JobConverti(const std::string& flux, const settings::Record& reglages);
