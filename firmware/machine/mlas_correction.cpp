#include "mlas_correction.h"

#include "mlas_func.h"
#include "plan_materiel.h"
#include "etat_marquage.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kEntrees = 2048;
constexpr uint16_t kTables = materiel::kDspTableX;
constexpr float kNeutre = 32768.0f;

using Table = std::array<float, kEntrees>;

enum class Formule { Aucune, Drum, Cushion };

// A type the DSP does not know gets no correction rather than an undefined table.
Formule FormuleDe(uint8_t type)
{
    switch (type) {
    case 1: return Formule::Drum;
    case 2: return Formule::Cushion;
    default: return Formule::Aucune;
    }
}

float Radians(float degres)
{
    constexpr float kPi = build::kKm250Line ? 3.1415f : 3.14159f;
    return degres * kPi / 180.0f;
}

// constante: the argument does not move along the axis.
void Calcule(Table& table, Formule formule, float angle, float gain, bool constante = false)
{
    const double c = std::cos(static_cast<double>(angle)) + 1.0;
    for (int i = 0; i < kEntrees; ++i) {
        const float t = constante ? angle * 0.0f : static_cast<float>(i) * angle;
        const auto u = static_cast<double>(t * 16.0f / 32768.0f);
        switch (formule) {
        case Formule::Aucune: table[i] = kNeutre; break;
        case Formule::Drum: table[i] = static_cast<float>((c - std::cos(u)) * gain * 32768.0); break;
        case Formule::Cushion: table[i] = static_cast<float>(std::cos(u) * gain * 32768.0); break;
        }
    }
}

// Gains above what 16 bits hold stay at the top instead of wrapping.
uint16_t MotTable(float entree)
{
    const double v = std::floor(static_cast<double>(entree) + 0.5);
    if (std::isnan(v)) return static_cast<uint16_t>(kNeutre);
    if (v <= 0.0) return 0;
    if (v >= 65535.0) return 0xFFFF;
    return static_cast<uint16_t>(v);
}

void Ecrit(const Table& x, const Table& y)
{
    AdresseDsp(kTables);
    for (float t : x) EcritDsp(MotTable(t));
    for (float t : y) EcritDsp(MotTable(t));
}

void AnnonceFormule(char axe, Formule formule, const char* suffixe)
{
    constexpr bool km250 = build::kKm250Line;
    if (formule == Formule::Aucune) {
        if (km250) std::printf("PAS de correction des gains %c\n", axe);
        else std::printf("PAS de correction des gains \n");
    } else if (km250 || suffixe[0] != '\0') {
        std::printf("%c : formule de %s%s\n", axe, formule == Formule::Drum ? "Drum" : "Cushion", suffixe);
    }
}

// cylindre: the drum table of Y is flat, the axis following the rotation.
void Charge(const ParamCorrection& p, bool cylindre)
{
    const char* suffixe = cylindre ? " TC" : "";
    marquage.MemoFocale = static_cast<uint8_t>(p.Focale);
    const Formule fx = FormuleDe(p.TypeCorrectionX);
    const Formule fy = FormuleDe(p.TypeCorrectionY);
    Table x{};
    Table y{};
    AnnonceFormule('X', fx, suffixe);
    Calcule(x, fx, Radians(p.AngleX), p.GainX);
    AnnonceFormule('Y', fy, suffixe);
    Calcule(y, fy, Radians(p.AngleY), p.GainY, cylindre && fy == Formule::Drum);
    Ecrit(x, y);
}

}  // namespace

void Charge_Table(ParamCorrection p)
{
    std::fputs(build::kKm250Line ? "Initialisation des tables de correction\n"
                                 : "\nInitialisation des tables de correction\n",
               stdout);
    Charge(p, false);
    std::printf("Tables de correction chargees\n");
}

void DMCCharge_Table(ParamCorrection p)
{
    std::printf("Initialisation des tables de correction pour un marquage DMC\n");
    std::printf("CorrectionAngulaireSurY : %f\n", static_cast<double>(p.AngleY));
    std::printf("GainSurX : %f\n", static_cast<double>(p.GainX));
    std::printf("GainSurY : %f\n", static_cast<double>(p.GainY));
    Charge(p, true);
    std::printf("Tables de correction spéciales DMC chargees\n");
}
