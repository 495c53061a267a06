#include "mlas_etat.h"

uint8_t bEcoMode = 0;
uint8_t bTestInscription = 0;
float GainXRectPosition = 0.0f;
float GainYRectPosition = 0.0f;
uint8_t bSimulation = 0;
uint8_t Orientation = 2;
uint8_t bTC_DMC = 0;
uint8_t bDMCpasApas = 0;
uint8_t bMOdeIndexe = 0;
uint8_t bCestUneRotation = 0;
int32_t PerimetreCylindreAMarquer = 0;
int32_t SavePerimetreCylindre = 0;
int32_t TypeCarteCPU = -1;
uint8_t Reset_presse = 0;
