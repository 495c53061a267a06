// Marking parameters: focal lens, marking and jump speeds, Q-switch frequency
// and duty cycle, delays, and the limits each laser model and build applies.
#pragma once

#include "build.h"

#include <array>
#include <cstdint>
#include <string>
#include <type_traits>

// Focal lens description, as the job header gives it.
struct ParamCorrection {
    int32_t Focale;
    float CourseX;  // field width, mm
    float CourseY;  // field height, mm
    uint8_t TypeCorrectionX;  // 0 none, 1 drum, 2 cushion
    uint8_t TypeCorrectionY;
    float AngleX;  // degrees
    float AngleY;
    float GainX;
    float GainY;
    int32_t Reserve;  // compared and kept, never used by the tables
};

struct SansChamp {};

// Laser parameter record: marking speed first. The KM250 line keeps three
// more words between the speed and the field sizes.
struct LasParam {
    int32_t VitesseMarquage;  // mm/s
    [[no_unique_address]] std::conditional_t<build::kKm250Line, std::array<int32_t, 3>, SansChamp> Reserve;
    float LargeurChamp;  // mm
    float HauteurChamp;
    float LargeurChampPas;  // steps
    float HauteurChampPas;
};

extern LasParam lasparam;
extern ParamCorrection CurrentParamCorrection;

void ActiveFocale(ParamCorrection p);
int IsParamEqual(ParamCorrection a, ParamCorrection b);
// speed in tenths of mm/s, freq in Hz.
void Conf_Speed_Freq(int speed, int freq);
void LFConf_Speed_Freq(int speed, int freq);
// The fibre source's lowest frequency by model and source type (0: none) and,
// in FreqMaxDuLaser, its highest.
int32_t LFLimitesFrequence();
void Init_QSwitch();
int FK_PP(const char* cmd);
int Decode_Parametres(const char* cmd);
float Calculmm(unsigned long v);

// FMARQX and FMARQY from the marking speed and the step factors, then the
// marking increment.
void CalculeFrequencesMarquage();
// FDEPLX and FDEPLY from the jump speed, then the jump increment.
void CalculeFrequencesSaut();
