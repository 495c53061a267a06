// Calibration values of the QUANTEL source, kept from its RCD reply.
#pragma once

#include <string_view>

extern int ValPulseLength;
extern int ValHighPulseLength;
extern int ValLowPulseLength;
extern int ValRepetitionRate;
extern int ValHighRepetitionRate;
extern int ValLowRepetitionRate;
extern float ValCourantPump1;
extern float ValTemperaturePump1;
extern float ValCourantPump2;
extern float ValTemperaturePump2;
extern float ValCourantBooster;
extern float ValCourantMaxBooster;

// Takes the twelve lines of an RCD reply in order; missing lines leave their
// values as they were.
void SaveValeurCalibration(std::string_view reponse);
