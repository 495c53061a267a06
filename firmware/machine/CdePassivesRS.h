// Calibration values of the QUANTEL source, kept from its RCD reply.
#pragma once

#include <string_view>

// Takes the twelve lines of an RCD reply in order; missing lines leave their
// values as they were.
void SaveValeurCalibration(std::string_view reponse);
