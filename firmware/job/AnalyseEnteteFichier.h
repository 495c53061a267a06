// Job pre-header and header: what kind of job is in memory, its unit, plate,
// lens, timings, initial power and speed, read into the firmware's globals
// before the start is awaited. Every field is read through the bounded view
// of the received bytes.
#pragma once

#include "VueJob.h"
#include "mlas_etat.h"
#include "mlas_param.h"

#include <cstdint>

// Pre-header.
extern uint8_t LgAvantEntete;  // offset of the first header byte
extern uint32_t LgEntete;      // header length from the tag's digits
extern uint8_t TypeLaser;      // fibre line: 0 none, 1 YAG ("!KM"), 2 fibre ("!ZK")
extern uint8_t ModelLaser;     // mlas-km250, mlas-km250-nodmc: the same codes
extern int32_t LaserKM250;     // mlas-km250-viper: 1 for "!KM"
extern uint8_t bReceptionFirmware;  // "!LF": the job carries a new firmware
extern uint8_t bPositionningFleche; // "!PF": rotation-origin arrow job
extern uint8_t bChangementIP;       // "!IP"
extern uint8_t bPreChauffe;         // pre-heat job (KM250 line)
extern int32_t NbrePasRotation;     // steps of an arrow job

// Job kind and unit.
extern int32_t TypeDuFichier;
extern int32_t UniteDeLg;       // 0 = 1/100 mm, else 1/1000 mm; 55 until a job sets it
extern int32_t MarquageUnique;  // 1: delete the job after marking; 55 until a job sets it
extern float CoefDivUnitVersmm;
extern int32_t CoefUnitVersNano;
extern int32_t CoefUnitVersMicron;
extern const char tAfficheUnit1000e[];
extern const char tAfficheUnit100e[];
extern const char* tAfficheUnitCourante;

// Firmware upload.
extern char FirmwareFilename[17];
extern int32_t FirmwareFilesize;
extern int32_t FirmwareChecksum;

// Plate, marking and lens.
extern int32_t OrgXPlaque;  // job units, lens margin added
extern int32_t OrgYPlaque;
extern int32_t DimXPlaque;
extern int32_t DimYPlaque;
extern uint32_t ResolutionDpiX;  // 0 in a vector job is allowed; raster records need it
extern uint32_t ResolutionDpiY;
extern int32_t BlackInitialpower;  // percent
extern int32_t VitesseInitiale;    // mm/s
extern int32_t MarquageIntExtCylindre;
extern int32_t OrientationMarquage;
extern int32_t NumFocale;
extern int32_t MargeFocaleCurrentUnit;
extern int32_t DemiChampFocale;
extern float DemiCourse;  // mm
extern uint8_t bNegatif;
extern int32_t RasterPatternCorrection;

// Help sheets and adjustments.
extern uint32_t PositionningTimeout;  // ms; help sheets only
extern uint8_t bTCReglageMinMax;
extern uint8_t bFocalisationAPlat;
extern uint8_t bFocalisationTC;
extern uint8_t bPositionnementTC;
extern uint8_t bPositionTC2;
extern uint8_t bPositionXEtau;
extern uint8_t bPositionYEtau;

// Cylinder. PerimetreCylindreAMarquer (mlas_etat.h) is held in 1/100 mm
// whatever the job's unit, and is never 0 for a cylinder job that passed.
extern uint8_t bDdeRetourOrigine;
extern uint8_t bFirstRotationPU;
extern float fPerimetreEnmm;
extern int32_t ModeTurboTCValide;
extern int32_t TempoFinRotation;   // ms
extern int32_t TempoInterligneTC;  // ms

// Marking speed in tenths of mm/s and the raster speed step derived from it.
extern int32_t MarkingSpeed;
extern int32_t DeltaMarkingSpeed;
extern double SpeedInc;

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
