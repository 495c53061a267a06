// Job pre-header and header: what kind of job is in memory, its unit, plate,
// lens, timings, initial power and speed, read into the firmware's globals
// before the start is awaited. Every field is read through the bounded view
// of the received bytes.
#pragma once

#include "VueJob.h"
#include "mlas_param.h"

#include <cstdint>

// Job kind and unit.
extern const char tAfficheUnit1000e[];
extern const char tAfficheUnit100e[];

void LectAvantEntete();
uint32_t LectNbrePasRotation(uint32_t position);

// Header readers: position of the field's last byte from BuffCourant; 0 for
// bytes that were not received.
int32_t LectChampEntete(uint32_t position);
char* LectFilename(uint32_t position);  // position of the first of its 16 bytes
int32_t LectFilesize(uint32_t position);
int32_t LectChecksum(uint32_t position);
int32_t LectOrigineXPlaque(uint32_t position);
int32_t LectOrigineYPlaque(uint32_t position);
int32_t LectTypeMarquageDemande(uint32_t position);  // 1 only with a rotation card and a cylinder asked for
int32_t LectTypeMarquageIntExt(uint32_t position);
int64_t LectVitesseDeSaut(uint32_t position);  // mm/s, adjusted for focus and positioning sheets
int32_t LectUniteFirmware(uint32_t position);
int32_t LectTypeMarquageStdUnique(uint32_t position);
// The fields taken as they stand.
inline constexpr auto LectModelLaser = LectChampEntete;
inline constexpr auto LectPresenceTourneCylindre = LectChampEntete;
inline constexpr auto LecturePerimetreTC = LectChampEntete;
inline constexpr auto LectDpiX = LectChampEntete;
inline constexpr auto LectDpiY = LectChampEntete;
inline constexpr auto LectPowerInitialDuNoir = LectChampEntete;
inline constexpr auto LectInitialSpeed = LectChampEntete;
inline constexpr auto LectDimXDeLaPlaque = LectChampEntete;
inline constexpr auto LectDimYDeLaPlaque = LectChampEntete;
inline constexpr auto LectOrientationMarquage = LectChampEntete;
inline constexpr auto LectModeTurboTC = LectChampEntete;
inline constexpr auto LectTypeCorrectionX = LectChampEntete;
inline constexpr auto LectTypeCorrectionY = LectChampEntete;
inline constexpr auto LectTypeFocale = LectChampEntete;
inline constexpr auto LectGainLineaireX = LectChampEntete;
inline constexpr auto LectGainLineaireY = LectChampEntete;
inline constexpr auto LectCorrecAngX = LectChampEntete;
inline constexpr auto LectCorrecAngY = LectChampEntete;
inline constexpr auto LectTempoSaut = LectChampEntete;
inline constexpr auto LectTempoFinDeVecteur = LectChampEntete;
inline constexpr auto LectTempoPremierPIC = LectChampEntete;
inline constexpr auto LectTypeMarquage = LectChampEntete;
inline constexpr auto LectDiffusion = LectChampEntete;
inline constexpr auto LectOrientation = LectChampEntete;
inline constexpr auto LectPositionning = LectChampEntete;
inline constexpr auto LectTypeFichier = LectChampEntete;
inline constexpr auto LectGainXRectDePosition = LectChampEntete;
inline constexpr auto LectGainYRectDePosition = LectChampEntete;
inline constexpr auto LectTempoFinRotation = LectChampEntete;
inline constexpr auto LectTempoInterligneTC = LectChampEntete;
inline constexpr auto LectVersionPont = LectChampEntete;

// Both analyse the job at `job` (in RecepBuff) and return the offset of the
// header's last byte from it; the body starts right after. A job too short
// for its header, whose resolution or cylinder perimeter is 0, or whose
// delays, jump speed or origin are out of range, is refused: FichierOK = 0,
// no job-kind flag set, and the offset of its last received byte.
// LFAnalyseEntete: the fibre loop's full form. AnalyseEntete: the YAG loop's
// short form in the fibre line, the full form in the KM250 line.
int32_t LFAnalyseEntete(unsigned char* job);
int32_t AnalyseEntete(unsigned char* job);

// Initial power in percent (0-100, more is taken as 100) and speed in mm/s.
void WritePower(uint16_t power);
void LFWritePowerV2(uint16_t power);
void WriteInitialSpeed(uint16_t speed);
