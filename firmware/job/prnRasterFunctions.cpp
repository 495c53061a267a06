#include "prnRasterFunctions.h"

#include "AnalyseEnteteFichier.h"
#include "VueJob.h"
#include "build.h"
#include "mlas_boucles.h"
#include "mlas_dep.h"
#include "mlas_entiers.h"
#include "mlas_func.h"
#include "mlas_main.h"
#include "mlas_param.h"
#include "prnCommonFunctions.h"
#include "prnanalyse.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"
#include "etat_boucles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

// The builds without the rotation card's step mode in their raster moves.
constexpr bool kSansPasAPas = !build::kDmc && !build::kViper;
constexpr uint8_t kBlanc = 255;
constexpr int32_t kPasMaxSansCorrection = 150000;  // nm
constexpr int32_t kPointCourt = 40000;             // nm marked of a wider dot

// What the last raster send asked for and what it left set: a level whose
// settings are in force is not sent again, but it is when VD or FR changed
// what it asks, or a vector or a 1-bit line set other settings since.
struct Reglage {
    int32_t vitesse;
    int32_t frequence;
    int32_t vitesseMachine;
    int32_t frequenceMachine;
    bool operator==(const Reglage&) const = default;
};
Reglage Envoye{};

int32_t Sature(int64_t v)
{
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

unsigned long Tempo(int32_t ms)
{
    return static_cast<unsigned long>(std::max(ms, 0));
}

// The cylinder's pauses are the job's own, unchecked (up to 24 days a line): a
// reset request ends them, as it ends the delay blocks.
void PauseCylindre(int32_t ms)
{
    Chronometre chrono;
    while (chrono.Secondes() * 1000.0 < static_cast<double>(Tempo(ms)) && Test_Reset() == 0) ArretSiDemande();
}

void EnvoieReglage(uint8_t grey)
{
    const bool parNiveau = deplacement.TypeEncodage == 2;
    const int32_t v = parNiveau ? CalculVitesse(grey) : marquage.MarkingSpeed;
    const int32_t f = parNiveau ? CalculFrequence(grey) : marquage.Frequency;
    if (deplacement.MemGrayLevel != 0xFF && Envoye == Reglage{v, f, lasparam.VitesseMarquage, marquage.FreqQSwitch}) return;
    if constexpr (build::kFibreLine) LFConf_Speed_Freq(v, f);
    else Conf_Speed_Freq(v, f);
    Envoye = {v, f, lasparam.VitesseMarquage, marquage.FreqQSwitch};
    deplacement.MemGrayLevel = grey;
}

// The part turns by one line instead of the beam moving: through the Y axis
// (bTC_DMC) or by the rotation card (step mode).
void InterligneCylindre(bool parCarte)
{
    rotation.bCestUneRotation = 1;
    Attente_Fin_Comptage();
    if (parCarte) {
        const auto perimetre = static_cast<double>(static_cast<uint32_t>(rotation.PerimetreCylindreAMarquer));
        if (perimetre > 0) TourneDMC(deplacement.EcartYEntreDot / perimetre * 15200 / 10000, 0);
    } else {
        DoVecteurMicrons(0, deplacement.EcartYEntreDot, 1, 0);
    }
    PauseCylindre(marquage.TempoInterligneTC);
    rotation.bCestUneRotation = 0;
}

// One line's data: the received bytes, where the line ends, how it is marked.
struct Ligne {
    VueJob vue;
    uint64_t fin;
    int8_t direction;
    uint8_t format;
};

void LectAnalyseDataC1C2(uint8_t octet, int8_t direction)
{
    // An on dot is marked at the darkest level of the mode, so that negative
    // 1-bit lines mark their 0 bits.
    const uint8_t niveau = marquage.bNegatif != 0 ? 0 : 127;
    int32_t blancs = 0;
    for (unsigned masque = 0x80; masque != 0; masque >>= 1) {
        if (((octet & masque) != 0) != (marquage.bNegatif != 0)) {
            if (blancs > 0) PointEteint(direction, blancs);
            blancs = 0;
            PointAllume(direction, niveau);
        } else {
            ++blancs;
        }
        ++deplacement.MemRasterObjectWidth;
    }
    if (blancs > 0) PointEteint(direction, blancs);
}

void LectAnalyseDataC3C4(uint8_t octet, int8_t direction)
{
    PointAllume(direction, octet);
    ++deplacement.MemRasterObjectWidth;
}

void LectAnalyseData(const Ligne& l, uint8_t octet)
{
    if (l.format == 1) LectAnalyseDataC1C2(octet, l.direction);
    else LectAnalyseDataC3C4(octet, l.direction);
}

// One PackBits item at p: the bytes it takes, 0 when it runs past the line or
// past the received bytes (nothing of it is marked).
uint32_t AnalysePaire(const Ligne& l, uint32_t p)
{
    if (!l.vue.Couvre(p, 1)) return 0;
    const auto c = static_cast<int8_t>(l.vue.Octet(p));
    if (c == -128) return 1;
    const uint32_t longueur = c >= 0 ? static_cast<uint32_t>(c) + 2 : 2;
    if (p + uint64_t{longueur} > l.fin || !l.vue.Couvre(p, longueur)) return 0;
    if (c >= 0) {
        for (uint32_t k = 1; k < longueur; ++k) LectAnalyseData(l, l.vue.Octet(p + k));
        return longueur;
    }
    for (int n = 0; n < 1 - c; ++n) {
        LectAnalyseData(l, l.vue.Octet(p + 1));
        if constexpr (build::kFibreLine) {
            if (l.format == 2) boucles.LFNbrePtTotal += static_cast<uint32_t>(deplacement.MemRasterObjectWidth);
        }
    }
    return longueur;
}

// The job ends here: what was queued before this record is marked, nothing after.
void FinDuMarquage(bool& arret, const char* raison, int32_t pos)
{
    arret = true;
    DepileTabPD();
    std::printf("%s -> fin du marquage adresse=%x\n", raison, static_cast<unsigned>(pos));
}

// A diagonal stroke and a vertical one, in the order the head meets them.
void Diagonale(uint8_t diagonale, uint8_t verticale, bool avant, int32_t L)
{
    if (avant) {
        FonctionRA(diagonale, L, L);
        FonctionRA(verticale, 0, -L);
    } else {
        FonctionRA(verticale, 0, L);
        FonctionRA(diagonale, -L, -L);
    }
}

}  // namespace

int32_t CalculVitesse(uint8_t grey)
{
    const float coef = marquage.TabCoefNonLineaires[std::min<int>(grey, kTailleTabCoef - 1)];
    return TronqueEntier(marquage.MarkingSpeed + static_cast<double>(coef) * marquage.SpeedInc);
}

int32_t CalculFrequence(uint8_t grey)
{
    const double coef = marquage.TabCoefNonLineaires[std::min<int>(grey, kTailleTabCoef - 1)];
    if constexpr (build::kViper) return TronqueEntier(marquage.Frequency + coef * marquage.FreqInc);
    else return TronqueEntier(coef * marquage.FreqInc + marquage.FreqMoyenne);
}

uint8_t GetMin_GrayLevel()
{
    return marquage.bNegatif != 0 ? 126 : 1;
}

bool NiveauMarque(uint8_t grey)
{
    if (grey >= 1 && grey <= 126) return true;
    return marquage.bNegatif != 0 ? grey == 0 : grey == 127;
}

int32_t FonctionRA(uint8_t grey, int32_t dx, int32_t dy)
{
    if constexpr (build::kFibreLine) boucles.LFLgTotal += std::fabs(static_cast<double>(dx)) + std::fabs(static_cast<double>(dy));
    Attente_Fin_Comptage();
    if (NiveauMarque(grey)) {
        if (deplacement.MemX_PU != 0 || deplacement.MemY_PU != 0) {
            DoVecteurMicrons(deplacement.MemX_PU, deplacement.MemY_PU, 1, 0);
            deplacement.MemX_PU = deplacement.MemY_PU = 0;
        }
        EnvoieReglage(grey);
        if (deplacement.FirstDeplacementCentreObjet != 0) {
            // The first move of an object is never marked.
            DoVecteurMicrons(dx, dy, 1, 0);
            PauseCylindre(marquage.TempoInterligneTC);
            deplacement.FirstDeplacementCentreObjet = 0;
        } else {
            DoVecteurMicrons(dx, dy, 0, 0);
        }
        return 0;
    }
    const bool interligne =
        dx == 0 && dy == deplacement.EcartYEntreDot && deplacement.bRasterC1C2 != 0 && (kSansPasAPas || rotation.bMOdeIndexe == 0);
    if (interligne && rotation.bTC_DMC != 0) {
        InterligneCylindre(false);
    } else if (interligne && !kSansPasAPas && rotation.bDMCpasApas != 0) {
        InterligneCylindre(true);
    } else {
        deplacement.MemX_PU = Sature(int64_t{deplacement.MemX_PU} + dx);
        deplacement.MemY_PU = Sature(int64_t{deplacement.MemY_PU} + dy);
    }
    return 0;
}

void PointEteint(int8_t direction, int32_t count)
{
    FonctionRA(kBlanc, Sature(int64_t{count} * deplacement.EcartXEntreDot * direction), 0);
}

void PointAllume(int8_t direction, uint8_t grey)
{
    if constexpr (build::kFibreLine) ++boucles.LFNbrepointA;
    const int64_t pas = deplacement.EcartXEntreDot;
    if (marquage.RasterPatternCorrection == 0 && pas <= kPasMaxSansCorrection) {
        MarqueMotif(grey, direction, deplacement.EcartXEntreDot);
        return;
    }
    const int64_t correction = int64_t{marquage.RasterPatternCorrection} * 1000;
    int64_t marque = correction < pas && pas <= kPasMaxSansCorrection ? pas - correction : kPointCourt;
    // Never longer than the pitch: the dot stays in its own place.
    marque = std::clamp<int64_t>(marque, 0, pas);
    const auto saut = static_cast<int32_t>(pas - marque);
    if (direction >= 0) {
        MarqueMotif(grey, direction, static_cast<int32_t>(marque));
        FonctionRA(kBlanc, saut, 0);
    } else {
        FonctionRA(kBlanc, -saut, 0);
        MarqueMotif(grey, direction, static_cast<int32_t>(marque));
    }
}

void MarqueMotif(uint8_t grey, int8_t direction, int32_t L)
{
    // A blank dot's pattern is not marked at the lightest level either.
    const uint8_t m = NiveauMarque(grey) ? GetMin_GrayLevel() : grey;
    const bool avant = direction >= 0;
    const int32_t s = avant ? L : -L;
    switch (marquage.RasterPatternDrawing) {
    case 1:
    case 6:
        FonctionRA(grey, s, L);
        FonctionRA(grey, 0, -L);
        break;
    case 2: FonctionRA(grey, s, 0); break;
    case 3: Diagonale(m, grey, avant, L); break;
    case 4:
        FonctionRA(grey, s, L);
        FonctionRA(m, -s, 0);
        FonctionRA(grey, s, -L);
        break;
    case 5: Diagonale(grey, m, avant, L); break;
    default:
        // No pattern: the dot is passed over, so the next ones keep their place.
        FonctionRA(kBlanc, s, 0);
        break;
    }
}

void ChangementDeLigne()
{
    FonctionRA(kBlanc, 0, deplacement.EcartYEntreDot);
    if constexpr (build::kFibreLine) ++boucles.LFNbreLigne;
}

int32_t FonctionRaster(int32_t pos, int8_t direction, uint8_t format, bool& arret)
{
    deplacement.TypeEncodage = format;
    deplacement.MemRasterObjectWidth = 0;
    const VueJob vue = VueCourante();
    const auto code = static_cast<uint32_t>(pos);
    const uint32_t mots = vue.Mot16(code + 2);
    if (deplacement.EcartXEntreDot <= 0 || deplacement.EcartYEntreDot <= 0) {
        FinDuMarquage(arret, "Ligne raster sans pas entre points (résolution)", pos);
        return 4;
    }

    const Ligne ligne{vue, uint64_t{code} + 4 + 2 * uint64_t{mots}, direction, format};
    uint32_t p = code + 4;
    while (p < ligne.fin && Test_Reset() == 0) {
        const uint32_t n = AnalysePaire(ligne, p);
        if (n == 0) {
            FinDuMarquage(arret,
                          ligne.fin > vue.taille ? "Ligne raster incomplète (données au-delà des octets reçus)"
                                                 : "Ligne raster invalide (données au-delà de la longueur de la ligne)",
                          pos);
            return static_cast<int32_t>(p - code);
        }
        p += n;
    }
    ChangementDeLigne();
    return static_cast<int32_t>(2 * mots + 4);
}

int32_t FonctionRetourAVide(int32_t)
{
    FonctionRA(kBlanc, Sature(-int64_t{deplacement.MemRasterObjectWidth} * deplacement.EcartXEntreDot), 0);
    if (deplacement.MemX_PU != 0 || deplacement.MemY_PU != 0) {
        DoVecteurMicrons(deplacement.MemX_PU, deplacement.MemY_PU, 1, 0);
        deplacement.MemX_PU = deplacement.MemY_PU = 0;
    }
    return 2;
}

int32_t FonctionRxRy(int32_t pos, bool& arret)
{
    const VueJob vue = VueCourante();
    const auto p = static_cast<uint32_t>(pos);
    auto enregistrement = [&](uint32_t code, char lettre) {
        return vue.Mot16(code - 2) == 0xFFFD && vue.Octet(code) == 'R' && vue.Octet(code + 1) == lettre;
    };
    if (!enregistrement(p + 6, 'X') || !enregistrement(p + 12, 'Y') || !enregistrement(p + 18, 'Y')) {
        FinDuMarquage(arret, "Déplacement RX RY incomplet dans le fichier", pos);
        return 4;
    }
    const auto x = static_cast<int32_t>(uint32_t{vue.Mot16(p + 2)} << 16 | vue.Mot16(p + 8));
    const auto y = static_cast<int32_t>(uint32_t{vue.Mot16(p + 14)} << 16 | vue.Mot16(p + 20));
    const bool pasApas = !kSansPasAPas && rotation.bDMCpasApas != 0;
    const bool enRotation = rotation.bTC_DMC != 0 || pasApas;

    if (enRotation) rotation.bCestUneRotation = 1;
    Attente_Fin_Comptage();
    const int32_t dx = Sature(int64_t{x} * deplacement.EcartXEntreDot);
    if (pasApas) {
        DoVecteurMicrons(dx, 0, 1, 0);
        const auto perimetre = static_cast<double>(static_cast<uint32_t>(rotation.PerimetreCylindreAMarquer));
        if (perimetre > 0) TourneDMC(static_cast<double>(y) * deplacement.EcartYEntreDot / perimetre * 15200 / 10000, 0);
    } else {
        DoVecteurMicrons(dx, Sature(int64_t{y} * deplacement.EcartYEntreDot), 1, 0);
    }
    if (enRotation) {
        PauseCylindre(marquage.TempoFinRotation);
        rotation.bCestUneRotation = 0;
    }
    deplacement.FirstDeplacementCentreObjet = 0;
    return 22;
}
