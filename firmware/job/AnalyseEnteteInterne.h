// Shared steps of the header analysis: the pre-header, the checks a job must
// pass before its fields are read, and the field readers both header forms use.
#pragma once

#include "AnalyseEnteteFichier.h"
#include "ChampsEntete.h"
#include "build.h"

#include <array>
#include <cstdint>

namespace entete {

using build::LectureModele;
constexpr bool kFibreLine = build::kFibreLine;
constexpr bool kKm250Line = build::kKm250Line;
constexpr bool kViper = build::kViper;
// Arrow jobs, the inside/outside field, the TC2 and vice help sheets and the
// faster positioning jumps exist where the rotation card does.
constexpr bool kAvecCarte = build::kDmc;

uint32_t Position(ChampEntete champ);
int32_t Champ32(uint32_t dernier);
int32_t Champ(ChampEntete champ);
float ChampFlottant(ChampEntete champ, double diviseur);

inline long L(int32_t v)
{
    return static_cast<long>(v);
}
inline unsigned long UL(uint32_t v)
{
    return static_cast<unsigned long>(v);
}

int32_t Perimetre100e(int32_t perimetre, int32_t unite);

enum class AvantEntete { Valide, Incomplete, TropLongue };
AvantEntete LitAvantEntete();

void EffaceGenresFiche();
int32_t Refuse(const VueJob& vue);

enum class Forme { Complete, Courte };
bool ControleJob(const VueJob& vue, Forme forme);
int32_t FinAnalyse();
void LitFirmware();
void LitUnite();
void FixeUnite();

struct Focale {
    int32_t focale;
    int32_t marge1000;  // origin margin, 1/1000 mm
    int32_t marge100;
    int32_t demiChamp1000;
    int32_t demiChamp100;
    float course;      // field, mm
    float demiCourse;  // mm
    const char* ligne;
};

inline constexpr std::array<Focale, 5> kFocales = {{
    {100, 8000, 800, 40500, 4050, 81.0f, 32.5f,
     "F100 Origine dans la Pratique : X=%ld    Y=%ld   Demi-Champ Focale=%ld   (Valeurs %s)\n"},
    {160, 10000, 1000, 65000, 6500, 130.0f, 55.0f,
     "F160 Origine dans la Pratique : X=%ld    Y=%ld    DemiChampFocale=%ld\t\t(Valeurs %s)\n"},
    {254, 10000, 1000, 100000, 10000, 200.0f, 90.0f,
     "F254 Origine dans la Pratique : X=%ld    Y=%ld    DemiChampFocale=%ld\t\t(Valeurs %s)\n"},
    {330, 20000, 2000, 140000, 14000, 280.0f, 120.0f,
     "F330 Origine dans la Pratique : X=%ld    Y=%ld   DemiChampFocale=%ld\t\t(Valeurs %s)\n"},
    {420, 2000, 2000, 1, 1, 1.0f, 1.0f, nullptr},
}};

// Half travel of the VIPER build's lenses and of the YAG loop's.
inline constexpr std::array<float, 3> kDemiCourseCourte = {35.0f, 60.0f, 90.0f};

bool DecaleOrigine(int64_t dx, int64_t dy);
void LitTemposCylindre();  // the full form's
bool LitTempos();
void LitResolution();
void LitPuissanceEtVitesse(bool full);
void ActiveCorrection(ParamCorrection p);
ParamCorrection FocaleInconnue();
void FinCommune();

int32_t AnalyseComplete(unsigned char* job);
int32_t AnalyseCourte(unsigned char* job);

}  // namespace entete
