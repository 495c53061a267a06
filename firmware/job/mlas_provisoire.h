// Globals of the header analysis and of the body walk that the start-up sets
// to their defaults. Their own headers declare them once those files are in
// the tree; until then they are declared here, with the same types.
#pragma once

#include <cstdint>

#if __has_include("AnalyseEnteteFichier.h")
#include "AnalyseEnteteFichier.h"
#else
extern uint32_t LgEntete;
extern uint8_t bPreChauffe;
extern int32_t NbrePasRotation;
extern int32_t UniteDeLg;
extern int32_t MarquageUnique;
extern float CoefDivUnitVersmm;
extern int32_t CoefUnitVersNano;
extern int32_t CoefUnitVersMicron;
extern int32_t MargeFocaleCurrentUnit;
extern float DemiCourse;
extern uint8_t bNegatif;
extern int32_t RasterPatternCorrection;
extern uint8_t bTCReglageMinMax;
extern uint8_t bFocalisationAPlat;
extern uint8_t bFocalisationTC;
extern uint8_t bPositionnementTC;
extern uint8_t bPositionTC2;
extern uint8_t bPositionXEtau;
extern uint8_t bPositionYEtau;
extern uint8_t bDdeRetourOrigine;
extern uint8_t bFirstRotationPU;
extern int32_t ModeTurboTCValide;
extern int32_t TempoFinRotation;
extern int32_t TempoInterligneTC;
extern int32_t MarkingSpeed;
extern int32_t DeltaMarkingSpeed;
#endif

#if __has_include("prnCommonFunctions.h")
#include "prnCommonFunctions.h"
#else
extern int32_t Frequency;
extern int32_t DeltaFrequency;
#endif

#if __has_include("prnVectorFunctions.h")
#include "prnVectorFunctions.h"
#else
extern uint8_t bRotationPUVecteur;
extern int32_t NbreDataPourPositionnement;
extern int32_t NbreDataPositionnementTC;
#endif

#if __has_include("prnanalyse.h")
#include "prnanalyse.h"
#else
extern uint8_t bRasterC1C2;
extern uint8_t bLastFicheMultiPlansTC;
#endif
