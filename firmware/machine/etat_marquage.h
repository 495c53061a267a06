// Job header and marking parameters: what the header analysis reads from the
// job in memory, and the laser, speed and delay settings that the
// configuration files, the header and the console commands give.
#pragma once

#include "mlas_conf.h"

#include <cstdint>
#include <string>

inline constexpr int kTailleTabCoef = 128;

struct EtatMarquage {
    // Pre-header.
    uint8_t LgAvantEntete = 0;         // offset of the first header byte
    uint32_t LgEntete = 0;             // header length from the tag's digits
    uint8_t TypeLaser = 0;             // fibre line: 0 none, 1 YAG ("!KM"), 2 fibre ("!ZK")
    uint8_t ModelLaser = 0;            // mlas-km250, mlas-km250-nodmc: the same codes
    int32_t LaserKM250 = 0;            // mlas-km250-viper: 1 for "!KM"
    uint8_t bReceptionFirmware = 0;    // "!LF": the job carries a new firmware
    uint8_t bPositionningFleche = 0;   // "!PF": rotation-origin arrow job
    uint8_t bChangementIP = 0;         // "!IP"
    uint8_t bPreChauffe = 0;           // pre-heat job (KM250 line)
    int32_t NbrePasRotation = 1000;    // steps of an arrow job

    // Job kind and unit.
    int32_t TypeDuFichier = 0;
    int32_t UniteDeLg = 55;       // 0 = 1/100 mm, else 1/1000 mm; 55 until a job sets it
    int32_t MarquageUnique = 55;  // 1: delete the job after marking; 55 until a job sets it
    float CoefDivUnitVersmm = 0.0f;
    int32_t CoefUnitVersNano = 0;
    int32_t CoefUnitVersMicron = 0;
    const char* tAfficheUnitCourante = "";

    // Firmware upload.
    char FirmwareFilename[17] = {};
    int32_t FirmwareFilesize = 0;
    int32_t FirmwareChecksum = 0;

    // Plate, marking and lens.
    int32_t OrgXPlaque = 0;  // job units, lens margin added
    int32_t OrgYPlaque = 0;
    int32_t DimXPlaque = 0;
    int32_t DimYPlaque = 0;
    uint32_t ResolutionDpiX = 0;  // 0 in a vector job is allowed; raster records need it
    uint32_t ResolutionDpiY = 0;
    int32_t BlackInitialpower = 0;  // percent
    int32_t VitesseInitiale = 0;    // mm/s
    int32_t MarquageIntExtCylindre = 0;
    int32_t OrientationMarquage = 0;
    int32_t NumFocale = 0;
    int32_t MargeFocaleCurrentUnit = 0;
    int32_t DemiChampFocale = 0;
    float DemiCourse = 0.0f;  // mm
    uint8_t bNegatif = 0;
    int32_t RasterPatternCorrection = 0;

    // Help sheets and adjustments.
    uint32_t PositionningTimeout = 0;  // ms; help sheets only
    uint8_t bTCReglageMinMax = 0;
    uint8_t bFocalisationAPlat = 0;
    uint8_t bFocalisationTC = 0;
    uint8_t bPositionnementTC = 0;
    uint8_t bPositionTC2 = 0;
    uint8_t bPositionXEtau = 0;
    uint8_t bPositionYEtau = 0;

    // Cylinder (the perimeter is in the rotation record).
    uint8_t bDdeRetourOrigine = 0;
    uint8_t bFirstRotationPU = 0;
    float fPerimetreEnmm = 0.0f;
    int32_t ModeTurboTCValide = 0;
    int32_t TempoFinRotation = 0;   // ms
    int32_t TempoInterligneTC = 0;  // ms

    // Marking speed in tenths of mm/s and the raster speed step derived from it.
    int32_t MarkingSpeed = 2000;
    int32_t DeltaMarkingSpeed = 0;
    double SpeedInc = 0.0;

    // Job kind and marking set-up that machine control reads.
    uint8_t bTestInscription = 0;
    float GainXRectPosition = 0.0f;
    float GainYRectPosition = 0.0f;
    uint8_t bSimulation = 0;
    uint8_t Orientation = 2;  // 1..4

    // Speeds and delays; until the configuration files are read, the values they default to.
    int32_t VitesseSaut = defaut::kVitesseSaut;  // mm/s
    int32_t VitesseRect = defaut::kVitesseRect;  // mm/s
    int32_t LIMITE_PU = 5000;
    int32_t TempoSaut = defaut::kTempoSaut;
    int32_t TempoTir = defaut::kTempoTir;
    int32_t TempopTir = defaut::kTempopTir;

    // Laser source.
    int32_t FreqQSwitch = defaut::kFreqQSwitch;        // Hz
    float RapportCyclique = defaut::kRapportCyclique;  // percent
    float DureeImpulsion = 1.0f;
    int32_t Nb_passes_laser = defaut::kNbPasses;
    int32_t FreqMaxDuLaser = 100000;  // Hz
    int32_t ModelDuLaser = 0;
    int32_t TypeSource = 0;
    float fRatioVitesseXY = 0.0f;  // field width / field height

    // Last console command and its numbers.
    int32_t lesparam[13] = {};
    int32_t nb_param = 0;
    std::string chainecommande;

    // Frequency of the raster curve.
    int32_t Frequency = 55000;      // Hz
    int32_t PlageFreq = 0;          // usable range above Frequency
    double FreqInc = 0.0;           // frequency step of the raster curve
    double FreqMoyenne = 0.0;       // centre of the raster curve
    int32_t DeltaFrequency = 0;     // mlas-km250-viper: 100000 - Frequency

    // Power and lenses.
    uint32_t Puissance = 0;
    int32_t NbFocales = 0;
    int32_t FocaleCourante = 0;
    uint8_t MemoFocale = 0;

    // Raster pattern and the speed and frequency curve, by grey level.
    uint16_t RasterPatternSize = 0;
    uint16_t RasterPatternDrawing = 2;
    float TabCoefNonLineaires[kTailleTabCoef] = {};
};

inline EtatMarquage marquage;
inline void ReinitMarquage()
{
    marquage = EtatMarquage{};
}
