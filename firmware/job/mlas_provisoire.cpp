// Definitions of the globals of mlas_provisoire.h whose own files are not in
// the tree yet.
#include "mlas_provisoire.h"

#if !__has_include("AnalyseEnteteFichier.h")
uint32_t LgEntete = 0;
uint8_t bPreChauffe = 0;
int32_t NbrePasRotation = 0;
int32_t UniteDeLg = 55;
int32_t MarquageUnique = 55;
float CoefDivUnitVersmm = 0.0f;
int32_t CoefUnitVersNano = 0;
int32_t CoefUnitVersMicron = 0;
int32_t MargeFocaleCurrentUnit = 0;
float DemiCourse = 0.0f;
uint8_t bNegatif = 0;
int32_t RasterPatternCorrection = 0;
uint8_t bTCReglageMinMax = 0;
uint8_t bFocalisationAPlat = 0;
uint8_t bFocalisationTC = 0;
uint8_t bPositionnementTC = 0;
uint8_t bPositionTC2 = 0;
uint8_t bPositionXEtau = 0;
uint8_t bPositionYEtau = 0;
uint8_t bDdeRetourOrigine = 0;
uint8_t bFirstRotationPU = 0;
int32_t ModeTurboTCValide = 0;
int32_t TempoFinRotation = 0;
int32_t TempoInterligneTC = 0;
int32_t MarkingSpeed = 0;
int32_t DeltaMarkingSpeed = 0;
#endif

#if !__has_include("prnCommonFunctions.h")
int32_t Frequency = 0;
int32_t DeltaFrequency = 0;
#endif

#if !__has_include("prnVectorFunctions.h")
uint8_t bRotationPUVecteur = 0;
int32_t NbreDataPourPositionnement = 0;
int32_t NbreDataPositionnementTC = 0;
#endif

#if !__has_include("prnanalyse.h")
uint8_t bRasterC1C2 = 0;
uint8_t bLastFicheMultiPlansTC = 0;
#endif
