#include "AidePositionnement.h"

#include "AnalyseEnteteFichier.h"
#include "Calcul.h"
#include "VueJob.h"
#include "build.h"
#include "mlas_dep.h"
#include "mlas_entiers.h"
#include "mlas_etat.h"
#include "mlas_func.h"
#include "prnCommonFunctions.h"
#include "prnanalyse.h"
#include "prnVectorFunctions.h"

#include "CommunicationViperGL.h"
#include "mlas_dmc.h"
#include "plan_materiel.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

// Builds whose positioning job neither walks nor traces in step rotation.
constexpr bool kPasApas = build::kDmc;
constexpr uint16_t kSaut = materiel::kBlocSansFaisceau;
constexpr int kPointsRectangleYag = 4;

// The single-port build has no operator board to light the aiming diodes.
void Diodes([[maybe_unused]] unsigned char etat)
{
    if constexpr (!build::kSerieUnique) EnvoiGLCdeDiodes(etat);
}

bool PasAPas()
{
    return kPasApas && bDMCpasApas != 0;
}

// Step 1 of a help job: the walk starts afresh; points: the vector ends and
// the corrected origin too.
void Prepare(unsigned char* job, bool points)
{
    BuffCourant = job;
    MemGrayLevel = 0xFF;
    iTabD = 0;
    LPen_Up = 1;
    if (points) {
        PtXdepVecteur = PtYdepVecteur = PtXfinVecteur = PtYfinVecteur = 0;
        OrgXPlaqValCorigeeRepTheo = OrgYPlaqValCorigeeRepTheo = 0;
    }
}

// Dot pitch as the body walk sets it, the raster curve only for the
// positioning jobs, then the field corner.
void PrepareParcours(bool courbe)
{
    const auto ecart = [](uint32_t dpi) { return dpi != 0 ? 25400.0f / static_cast<float>(dpi) : 0.0f; };
    EcartX = ecart(ResolutionDpiX);
    EcartY = ecart(ResolutionDpiY);
    EcartXEntreDot = iArrondi(static_cast<double>(EcartX) * 1000);
    EcartYEntreDot = iArrondi(static_cast<double>(EcartY) * 1000);
    if (courbe) PreCalcTabCoefNonLineaires();
    RetourOrigineInverse();
}

void AfficheOrigine(const char* format)
{
    std::printf(format, static_cast<long>(OrgXPlaque), static_cast<long>(OrgYPlaque));
}

int32_t MicronsParUnite()
{
    if constexpr (build::kFibreLine) return CoefUnitVersMicron;
    else return UniteDeLg != 0 ? 1 : 10;
}

int Nano(int32_t microns)
{
    return ArrondiEntier(static_cast<double>(microns) * 1000);
}

// The plate's top left corner as the aiming beam shows it: scaled about the
// field centre by the positioning gains, like the recorded points.
void DeplaceVersOrigineCorrigee()
{
    AfficheOrigine(build::kTraits.texteOrigineCorrigee);
    const int32_t microns = MicronsParUnite();
    const auto corrige = [microns](int32_t origine, float gain) {
        const float v = static_cast<float>(origine) * gain + static_cast<float>(DemiChampFocale) * (1 - gain);
        return ArrondiEntier(static_cast<double>(TronqueEntier(v)) * microns);
    };
    OrgXPlaqValCorigeeRepTheo = corrige(OrgXPlaque, GainXRectPosition);
    OrgYPlaqValCorigeeRepTheo = corrige(OrgYPlaque, GainYRectPosition);
    PtXdepVecteur = ArrondiEntier(static_cast<double>(OrgXPlaque) * microns);
    PtYdepVecteur = ArrondiEntier(static_cast<double>(OrgYPlaque) * microns);
    DoVecteurMicrons(Nano(OrgXPlaqValCorigeeRepTheo), Nano(OrgYPlaqValCorigeeRepTheo), 1, 0);
}

// The sheet's body in simulation records its marked vectors from entry 0.
// In step rotation only the focus jobs walk.
void Parcourt(bool toujours)
{
    CurrentRectPos = 0;
    ReprendMarquage();  // a fault of the last marking does not stop this walk
    if (toujours || !PasAPas()) AnalyseFonctions();
}

// Rounds of the recorded outline from where the walk left the beam, until
// PositionningTimeout ms of the process clock have passed. Only the entries
// this walk wrote are traced: a count left by an earlier sheet (the focus
// jobs keep theirs) must not bring its points back.
void TraceContour(const float* tx, const float* ty, int32_t points, int32_t diviseur)
{
    const int32_t n = std::clamp(points, int32_t{0}, CurrentRectPos);
    if (n == 0) return;  // nothing recorded: nothing to show
    const int32_t x0 = X_courant;
    const int32_t y0 = Y_courant;
    const auto div = static_cast<uint16_t>(diviseur);
    clock_t precedent = LireHorloge();
    double ecoule = 0.0;  // clock ticks, counted forward only should the clock wrap
    const auto ms = [&] {
        const clock_t t = LireHorloge();
        if (t > precedent) ecoule += static_cast<double>(t - precedent);
        precedent = t;
        return ecoule / 1000000.0 * 1000.0;
    };
    double passe = 0.0;
    while (PositionningTimeout > passe) {
        for (int32_t i = 0; i < n && PositionningTimeout > passe; ++i) {
            if (i == 0) {
                X_courant = x0;
                Y_courant = y0;
            }
            X_courant = ArrondiEntier(static_cast<double>(X_courant) + ArrondiEntier(tx[i]));
            Y_courant = ArrondiEntier(static_cast<double>(Y_courant) + ArrondiEntier(ty[i]));
            Deplacement(kSaut, div, div, X_courant, Y_courant, 0);
            passe = ms();
        }
    }
}

void TraceRectangle(int32_t points, int32_t diviseur)
{
    TraceContour(RectanglePositionnementX, RectanglePositionnementY, points, diviseur);
}

void TraceCroix()
{
    TraceContour(SavePointsCroixX, SavePointsCroixY, kTailleSavePointsCroix, VPULASER);
}

void TraceTC()
{
    TraceContour(SavePointsTCX, SavePointsTCY, NbreDataPositionnementTC, VPULASER);
}

void Positionnement(unsigned char* job)
{
    constexpr bool kPuissance = build::kTraits.puissanceCoupeeAuPositionnement;
    Prepare(job, true);
    Diodes(3);
    if constexpr (kPuissance) Pilot_Puissance(0);
    PrepareParcours(true);
    AfficheOrigine("OrgXPlaque =%ld     OrgYPlaque=%ld\n");

    if (bTC_DMC != 0) {
        bCestUneRotation = 1;
        DeplaceVersOriginePlaque();
        bCestUneRotation = 0;
    } else if (!PasAPas()) {
        DeplaceVersOrigineCorrigee();
    }
    Parcourt(false);
    if constexpr (kPuissance) Pilot_Puissance(0);

    const bool lent = bTC_DMC != 0 && build::kTraits.contourTCLent;
    TraceRectangle(NbreDataPourPositionnement, lent ? 100 : VPULASER);
    NbreDataPourPositionnement = 0;
    if (bTC_DMC != 0) VaAuCentreTC();
    else VaAuCentre();
}

// The YAG loop's positioning sheet: origin in 1/100 mm.
void PositionnementYag(unsigned char* job)
{
    Prepare(job, true);
    PrepareParcours(true);
    // Unsigned 32-bit arithmetic, as on the board.
    std::printf("OrgXPlaque = %lu  OrgYPlaque = %lu\n", static_cast<unsigned long>(static_cast<uint32_t>(OrgXPlaque) * 10u),
                static_cast<unsigned long>(static_cast<uint32_t>(OrgYPlaque) * 10u));
    DoVecteurMicrons(ArrondiEntier(static_cast<double>(OrgXPlaque) * 10000),
                     ArrondiEntier(static_cast<double>(OrgYPlaque) * 10000), 1, 0);
    Parcourt(true);
    TraceRectangle(kPointsRectangleYag, VPULASER);
    NbreDataPourPositionnement = 0;
    VaAuCentre();
}

void FocalisationAPlat(unsigned char* job)
{
    BuffCourant = job;
    Diodes(4);
    Pilot_Puissance(0);
    PrepareParcours(false);
    AfficheOrigine("Help Focalisation  OrgXPlaque =%ld     OrgYPlaque=%ld\n");
    DeplaceVersOriginePlaque();
    Parcourt(true);
    Pilot_Puissance(0);
    TraceCroix();
    Diodes(3);
    VaAuCentre();
}

// Step rotation (with the card) or the turner's flag (without it) stays off
// while the cross is shown.
uint8_t& ModeCylindre()
{
    if constexpr (build::kDmc) return bDMCpasApas;
    else return bTC_DMC;
}

void PositionnementEtau(unsigned char* job, bool selonY)
{
    std::printf(selonY ? "Positionnement ETAU selon Y\n" : "Positionnement ETAU selon X\n");
    Prepare(job, false);
    Diodes(3);
    PrepareParcours(false);
    if (selonY) CUneRechercheOrgigine = 1;
    DeplaceVersOriginePlaque();
    Parcourt(false);
    Pilot_Puissance(0);
    TraceTC();
    NbreDataPositionnementTC = 0;
    VaAuCentre();
}

}  // namespace

void LFPositionningHelp(unsigned char* job)
{
    Positionnement(job);
}

void PositionningHelp(unsigned char* job)
{
    if constexpr (build::kFibreLine) PositionnementYag(job);
    else Positionnement(job);
}

void LFFocalisationHelp(unsigned char* job)
{
    FocalisationAPlat(job);
}

void FocalisationHelp(unsigned char* job)
{
    FocalisationAPlat(job);
}

void FocalisationTCHelp(unsigned char* job)
{
    BuffCourant = job;
    ModeCylindre() = 0;
    Diodes(4);
    PrepareParcours(false);
    AfficheOrigine("Help Focalisation TC    OrgXPlaque =%ld     OrgYPlaque=%ld \n");
    bCestUneRotation = 1;
    DeplaceVersOriginePlaque();
    Parcourt(true);
    FirstDeplacementCentreObjet = 0;
    TraceCroix();
    Diodes(3);
    VaAuCentreTC();
    bCestUneRotation = 0;
    ModeCylindre() = 1;
}

void TCHelp(unsigned char* job)
{
    BuffCourant = job;
    bCestUneRotation = 1;
    Diodes(3);
    Pilot_Puissance(0);
    PrepareParcours(false);
    AfficheOrigine("Help Positionnement accessoire TC Origine du cylindre : OrgXPlaque =%ld     OrgYPlaque=%ld\n");
    DeplaceVersOriginePlaque();
    Parcourt(false);
    Pilot_Puissance(0);
    TraceTC();
    NbreDataPositionnementTC = 0;
    VaAuCentreTC();
    bCestUneRotation = 0;
}

void PositionningEtauSarvelSelonX(unsigned char* job)
{
    PositionnementEtau(job, false);
}

void PositionningEtauSarvelSelonY(unsigned char* job)
{
    PositionnementEtau(job, true);
}

void PositionningOrigineFleche(unsigned char*)
{
    std::printf("Positionnement OU retour origine rotation\n");
    if constexpr (build::kDmc) {
        EnSensHoraire([] {
            const auto pas = static_cast<uint32_t>(NbrePasRotation);
            if (pas != 0) {
                std::printf("Sens Rotation = %d - Nbre pas de rotation = %ld\n", sens_DMC_OK, static_cast<long>(pas));
                DEPLACE_DMC(static_cast<double>(pas), 0, "NON");
            } else {
                std::printf("Sens Rotation = %d - Retour Origine -- Délacement relatif 1000+15200 -- Sens Horaire -- "
                            "AVEC recherche capteur\n",
                            sens_DMC_OK);
                DEPLACE_DMC(1000.0, 0, "NON");
                DEPLACE_DMC(15200.0, 0, "ORIGINE");
            }
        });
    }
}

int AttenteFinReglageTC()
{
    std::printf("Attente Fin Reglage -> appui sur bouton Start\n");
    char clignote = 0;
    unsigned char start = 0;
    do {
        Ecrire_Tor_Dsp(1, clignote);
        Pause_Las(1000);
        start = Lire_Tor_Dsp(1);
        clignote = clignote != 0 ? 0 : 1;
    } while (start == 0);
    return start == 1 ? 1 : 0;
}
