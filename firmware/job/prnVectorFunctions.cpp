#include "prnVectorFunctions.h"

#include "AnalyseEnteteFichier.h"
#include "VueJob.h"
#include "build.h"
#include "mlas_dep.h"
#include "mlas_entiers.h"
#include "mlas_param.h"
#include "prnCommonFunctions.h"
#include "prnanalyse.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"

#include <cmath>
#include <cstdio>

namespace {

// The three point handlers: the fibre line's, the KM250 line's, and the older
// one the fibre builds still carry.
enum class Variante { LF, KM, Ancienne };

constexpr bool kSansCarte = !build::kDmc && !build::kViper;

struct Pas {
    float x;
    float y;
};

// Micrometres to scanner steps with the axis mapping of the moves; false for
// an orientation that has none.
bool EnPas(float dx, float dy, Pas& pas)
{
    switch (marquage.Orientation) {
    case 1: pas = {dy / 1000 * deplacement.mmenpasY, dx / -1000 * deplacement.mmenpasX}; return true;
    case 2: pas = {dx / -1000 * deplacement.mmenpasX, dy / -1000 * deplacement.mmenpasY}; return true;
    case 3: pas = {dy / -1000 * deplacement.mmenpasY, dx / 1000 * deplacement.mmenpasX}; return true;
    case 4: pas = {dx / 1000 * deplacement.mmenpasX, dy / 1000 * deplacement.mmenpasY}; return true;
    default: return false;
    }
}

// Point scaled about the field centre c by the positioning gain.
double Corrige(int64_t v, float gain, float c)
{
    return std::trunc(static_cast<double>(static_cast<float>(v) * gain + c * (1 - gain)));
}

// The ends of a simulated vector from the current start, as read and
// corrected, in micrometres. False, with the message, when one leaves 32 bits:
// the vector is then not taken and the start stays.
struct Extremites {
    int64_t xFin, yFin;
    double x0, y0, x1, y1;  // corrected
};
bool CalculeExtremites(int32_t dx, int32_t dy, int32_t microns, Extremites& e)
{
    e.xFin = int64_t{deplacement.PtXdepVecteur} + dx;
    e.yFin = int64_t{deplacement.PtYdepVecteur} + dy;
    const float c = static_cast<float>(marquage.DemiChampFocale) * static_cast<float>(microns);
    e.x0 = Corrige(deplacement.PtXdepVecteur, marquage.GainXRectPosition, c);
    e.y0 = Corrige(deplacement.PtYdepVecteur, marquage.GainYRectPosition, c);
    e.x1 = Corrige(e.xFin, marquage.GainXRectPosition, c);
    e.y1 = Corrige(e.yFin, marquage.GainYRectPosition, c);
    for (const double v : {static_cast<double>(e.xFin), static_cast<double>(e.yFin), e.x0, e.y0, e.x1, e.y1}) {
        if (!Tient32(v)) {
            std::printf("Aide au positionnement : position hors limites (%.0f microns), vecteur ignoré\n", v);
            return false;
        }
    }
    deplacement.PtXfinVecteur = static_cast<int32_t>(e.xFin);
    deplacement.PtYfinVecteur = static_cast<int32_t>(e.yFin);
    return true;
}

int32_t MicronsParUnite(Variante v)
{
    if (v == Variante::Ancienne) return 10;
    if (v == Variante::KM) return marquage.UniteDeLg != 0 ? 1 : 10;
    return marquage.CoefUnitVersMicron;
}

int Nano(double microns)
{
    return ArrondiEntier(microns * 1000);
}

// Entries the recording may still write: it stops at the end of the smallest
// table it writes for this job type.
bool Place(int32_t taille)
{
    if (deplacement.CurrentRectPos >= 0 && deplacement.CurrentRectPos < taille) return true;
    std::printf("Aide au positionnement : plus de %ld vecteurs, vecteur ignoré\n", static_cast<long>(taille));
    return false;
}

void EnregistreEnTable(float* tx, float* ty, const Pas& pas)
{
    tx[deplacement.CurrentRectPos] = pas.x;
    ty[deplacement.CurrentRectPos] = pas.y;
}

// A simulated PD vector: its corrected ends, as steps, into the tables of the job type.
void EnregistreVecteur(int32_t dx, int32_t dy, int32_t microns)
{
    Extremites e{};
    if (!CalculeExtremites(dx, dy, microns, e)) return;
    deplacement.PtXdepVecteur = deplacement.PtXfinVecteur;
    deplacement.PtYdepVecteur = deplacement.PtYfinVecteur;

    const bool croix = marquage.TypeDuFichier == 3 || marquage.TypeDuFichier == 6;
    const bool tc = !croix && marquage.TypeDuFichier != 1;
    Pas pas{};
    if (!Place(croix ? kTailleSavePointsCroix : tc ? kTailleSavePointsTC : kTailleRectanglePositionnement) ||
        !EnPas(static_cast<float>(e.x1 - e.x0), static_cast<float>(e.y1 - e.y0), pas))
        return;
    EnregistreEnTable(deplacement.RectanglePositionnementX, deplacement.RectanglePositionnementY, pas);
    ++deplacement.NbreDataPourPositionnement;
    if (croix) {
        std::printf("Traçage d'une croix\n");
        EnregistreEnTable(deplacement.SavePointsCroixX, deplacement.SavePointsCroixY, pas);
    } else if (tc) {
        EnregistreEnTable(deplacement.SavePointsTCX, deplacement.SavePointsTCY, pas);
        ++deplacement.NbreDataPositionnementTC;
    }
    ++deplacement.CurrentRectPos;
}

// mlas-km250-viper, and the older handler of the fibre builds: steps from dx
// and dy as read, no gain correction and no start or end kept.
void EnregistreVecteurDirect(int32_t dx, int32_t dy, Variante v)
{
    const bool rectangle = marquage.TypeDuFichier == 1;
    const bool croix = v == Variante::Ancienne ? !rectangle : marquage.TypeDuFichier == 3;
    Pas pas{};
    if (!Place(rectangle ? kTailleRectanglePositionnement : croix ? kTailleSavePointsCroix : kTailleSavePointsTC) ||
        !EnPas(static_cast<float>(dx), static_cast<float>(dy), pas))
        return;
    constexpr build::ViseeAjustee kAjuste = build::kTraits.viseeAjustee;
    const bool ajuste = kAjuste == build::ViseeAjustee::Tous || (kAjuste == build::ViseeAjustee::Rectangle && rectangle);
    if (ajuste && !croix) AjustementDiodeDeVisee(marquage.Orientation, deplacement.CurrentRectPos, pas.x, pas.y);
    if (rectangle) {
        EnregistreEnTable(deplacement.RectanglePositionnementX, deplacement.RectanglePositionnementY, pas);
        if (v != Variante::Ancienne) ++deplacement.NbreDataPourPositionnement;
    } else if (croix) {
        EnregistreEnTable(deplacement.SavePointsCroixX, deplacement.SavePointsCroixY, pas);
    } else {
        EnregistreEnTable(deplacement.SavePointsTCX, deplacement.SavePointsTCY, pas);
        ++deplacement.NbreDataPositionnementTC;
    }
    ++deplacement.CurrentRectPos;
}

// A simulated jump: the beam goes to the corrected end of the vector.
void SautCorrige(int32_t dx, int32_t dy, int32_t microns)
{
    if constexpr (!kSansCarte) {
        std::printf("Calcul Origine de PU de replacement  bMOdeIndexe=%d OrgXPlaqValCorigeeRepTheo=%ld  "
                    "OrgYPlaqValCorigeeRepTheo=%ld en MICRON avec correction Gain DV\n",
                    rotation.bMOdeIndexe, static_cast<long>(deplacement.OrgXPlaqValCorigeeRepTheo),
                    static_cast<long>(deplacement.OrgYPlaqValCorigeeRepTheo));
    }
    Extremites e{};
    if (!CalculeExtremites(dx, dy, microns, e)) return;
    DoVecteurMicrons(Nano(e.x1 - e.x0), Nano(e.y1 - e.y0), 1, 0);
    deplacement.PtXdepVecteur = deplacement.PtXfinVecteur;
    deplacement.PtYdepVecteur = deplacement.PtYfinVecteur;
}

bool Marqueur(const VueJob& vue, uint32_t p)
{
    return vue.Octet(p) == 0xFF && vue.Octet(p + 1) == 0xFD;
}

int32_t PointsPU_PD(int32_t pos, uint8_t penUp, Variante v)
{
    const VueJob vue = VueCourante();
    const auto debut = static_cast<uint32_t>(pos) + 4;
    const bool sansCarte = kSansCarte || build::kViper;

    if (sansCarte && v != Variante::Ancienne && rotation.bTC_DMC != 0) rotation.bRotationPUVecteur = 1;
    if (penUp != 0 && (!vue.Couvre(debut, 2) || Marqueur(vue, debut))) {
        if (v == Variante::Ancienne) return 4;
        if (sansCarte && marquage.bFocalisationAPlat == 0) rotation.bRotationPUVecteur = 1;
        if (deplacement.FirstDeplacementCentreObjet != 0) {
            DoVecteurMicrons(0, 0, 1, 1);
            deplacement.FirstDeplacementCentreObjet = 0;
        }
        return 4;
    }
    if ((deplacement.MemX_PU != 0 || deplacement.MemY_PU != 0) && marquage.bSimulation == 0) {
        DoVecteurMicrons(deplacement.MemX_PU, deplacement.MemY_PU, 1, 0);
        deplacement.MemX_PU = deplacement.MemY_PU = 0;
    }
    Attente_Fin_Comptage();
    if (penUp == 0) {
        if (v == Variante::LF) LFConf_Speed_Freq(marquage.MarkingSpeed, marquage.Frequency);
        else Conf_Speed_Freq(marquage.MarkingSpeed, marquage.Frequency);
    }

    const int32_t microns = MicronsParUnite(v);
    int32_t taken = 4;
    // A point is taken whole or not at all; the next record's marker ends the
    // list. Once the marking is stopped, the rest of the points is not made.
    for (uint32_t p = debut; vue.Couvre(p, 8) && !Marqueur(vue, p); p += 8, taken += 8) {
        if (MarquageInterrompu()) continue;
        const int32_t dx = ArrondiEntier(static_cast<double>(vue.Mot16Signe(p + 2)) * microns);
        const int32_t dy = ArrondiEntier(static_cast<double>(vue.Mot16Signe(p + 4)) * microns);
        if (v != Variante::Ancienne && (dx == 0 || dy == 0)) deplacement.DoSegment = 0;

        if (marquage.bSimulation != 0 && penUp == 0) {
            if (v == Variante::Ancienne || build::kViper) EnregistreVecteurDirect(dx, dy, v);
            else EnregistreVecteur(dx, dy, microns);
        } else if (build::kDmc && v != Variante::Ancienne && rotation.bDMCpasApas != 0 && rotation.bMOdeIndexe == 0) {
            // The part turns by dy; the beam moves along X only.
            DoVecteurMicrons(Nano(dx), 0, static_cast<char>(penUp), 1);
            const auto perimetre = static_cast<double>(static_cast<uint32_t>(rotation.PerimetreCylindreAMarquer));
            if (marquage.bPositionYEtau == 0 && perimetre > 0) TourneDMC(dy / perimetre * 15200 / 10, 0);
        } else if (marquage.bSimulation != 0 && v != Variante::Ancienne && !build::kViper) {
            SautCorrige(dx, dy, microns);
        } else {
            DoVecteurMicrons(Nano(dx), Nano(dy), static_cast<char>(penUp), 1);
        }
    }
    // The received bytes end inside a point: it is not marked, and its bytes
    // are not taken for records.
    const auto fin = static_cast<uint32_t>(pos) + static_cast<uint32_t>(taken);
    if (fin < vue.taille && !Marqueur(vue, fin)) taken += static_cast<int32_t>(vue.taille - fin);
    if (sansCarte && v != Variante::Ancienne && rotation.bTC_DMC != 0) rotation.bRotationPUVecteur = 0;
    return taken;
}

}  // namespace

int32_t LFFonctionPU_PD(int32_t pos, uint8_t penUp)
{
    return PointsPU_PD(pos, penUp, Variante::LF);
}

int32_t FonctionPU_PD(int32_t pos, uint8_t penUp)
{
    return PointsPU_PD(pos, penUp, build::kFibreLine ? Variante::Ancienne : Variante::KM);
}

int32_t ChangtModeMarquage(int32_t pos)
{
    if (VueCourante().Mot16(static_cast<uint32_t>(pos) + 2) != 0) {
        rotation.bMOdeIndexe = 1;
    } else {
        if (deplacement.iTabD > 0) DepileTabPD();
        rotation.bMOdeIndexe = 0;
    }
    return 4;
}

void AjustementDiodeDeVisee(uint8_t orientation, int32_t side, float& x, float& y)
{
    const bool enRotation = rotation.bTC_DMC != 0 || (build::kTraits.viseeSuitPasAPas && rotation.bDMCpasApas != 0);
    auto surX = [&](const char* texte) {
        x = x * marquage.GainXRectPosition + (1 - marquage.GainXRectPosition) * marquage.DemiCourse;
        if (texte != nullptr) std::printf(texte, static_cast<double>(x));
    };
    auto surY = [&](const char* texte) {
        y = y * marquage.GainYRectPosition + (1 - marquage.GainYRectPosition) * marquage.DemiCourse;
        if (texte != nullptr) std::printf(texte, static_cast<double>(y));
    };
    switch (orientation) {
    case 2:
        if (side == 0) surX("---- A VOIR    CALCUL vRight =%f \n");
        else if (side == 1 && !enRotation) surY("---- A VOIR    CALCUL vTop =%f \n");
        else if (side == 2) surX("---- A VOIR     CALCUL vLeft =%f \n");
        else if (side == 3 && !enRotation) surY("---- A VOIR      CALCUL vBottom =%f \n");
        break;
    case 3:
        if (side == 0 || side == 2) surY(nullptr);
        else if ((side == 1 || side == 3) && !enRotation) surX(nullptr);
        break;
    case 4:
        if (side == 0 || side == 2) surX(nullptr);
        else if (side == 1 || side == 3) surY(nullptr);
        break;
    default: break;
    }
}
