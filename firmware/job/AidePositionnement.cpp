#include "AidePositionnement.h"

#include "AnalyseEnteteFichier.h"
#include "Calcul.h"
#include "VueJob.h"
#include "build.h"
#include "mlas_dep.h"
#include "mlas_entiers.h"
#include "mlas_func.h"
#include "prnCommonFunctions.h"
#include "prnanalyse.h"
#include "prnVectorFunctions.h"

#include "CommunicationViperGL.h"
#include "mlas_dmc.h"
#include "plan_materiel.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"

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
    return kPasApas && rotation.bDMCpasApas != 0;
}

// Step 1 of a help job: the walk starts afresh; points: the vector ends and
// the corrected origin too.
void Prepare(unsigned char* job, bool points)
{
    BuffCourant = job;
    deplacement.MemGrayLevel = 0xFF;
    deplacement.iTabD = 0;
    deplacement.LPen_Up = 1;
    if (points) {
        deplacement.PtXdepVecteur = deplacement.PtYdepVecteur = deplacement.PtXfinVecteur = deplacement.PtYfinVecteur = 0;
        deplacement.OrgXPlaqValCorigeeRepTheo = deplacement.OrgYPlaqValCorigeeRepTheo = 0;
    }
}

// Dot pitch as the body walk sets it, the raster curve only for the
// positioning jobs, then the field corner.
void PrepareParcours(bool courbe)
{
    const auto ecart = [](uint32_t dpi) { return dpi != 0 ? 25400.0f / static_cast<float>(dpi) : 0.0f; };
    deplacement.EcartX = ecart(marquage.ResolutionDpiX);
    deplacement.EcartY = ecart(marquage.ResolutionDpiY);
    deplacement.EcartXEntreDot = iArrondi(static_cast<double>(deplacement.EcartX) * 1000);
    deplacement.EcartYEntreDot = iArrondi(static_cast<double>(deplacement.EcartY) * 1000);
    if (courbe) PreCalcTabCoefNonLineaires();
    RetourOrigineInverse();
}

void AfficheOrigine(const char* format)
{
    std::printf(format, static_cast<long>(marquage.OrgXPlaque), static_cast<long>(marquage.OrgYPlaque));
}

int32_t MicronsParUnite()
{
    if constexpr (build::kFibreLine) return marquage.CoefUnitVersMicron;
    else return marquage.UniteDeLg != 0 ? 1 : 10;
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
        const float v = static_cast<float>(origine) * gain + static_cast<float>(marquage.DemiChampFocale) * (1 - gain);
        return ArrondiEntier(static_cast<double>(TronqueEntier(v)) * microns);
    };
    deplacement.OrgXPlaqValCorigeeRepTheo = corrige(marquage.OrgXPlaque, marquage.GainXRectPosition);
    deplacement.OrgYPlaqValCorigeeRepTheo = corrige(marquage.OrgYPlaque, marquage.GainYRectPosition);
    deplacement.PtXdepVecteur = ArrondiEntier(static_cast<double>(marquage.OrgXPlaque) * microns);
    deplacement.PtYdepVecteur = ArrondiEntier(static_cast<double>(marquage.OrgYPlaque) * microns);
    DoVecteurMicrons(Nano(deplacement.OrgXPlaqValCorigeeRepTheo), Nano(deplacement.OrgYPlaqValCorigeeRepTheo), 1, 0);
}

// The sheet's body in simulation records its marked vectors from entry 0.
// In step rotation only the focus jobs walk.
void Parcourt(bool toujours)
{
    deplacement.CurrentRectPos = 0;
    ReprendMarquage();  // a fault of the last marking does not stop this walk
    if (toujours || !PasAPas()) AnalyseFonctions();
}

// Rounds of the recorded outline from where the walk left the beam, until
// PositionningTimeout ms of the process clock have passed. Only the entries
// this walk wrote are traced: a count left by an earlier sheet (the focus
// jobs keep theirs) must not bring its points back.
void TraceContour(const float* tx, const float* ty, int32_t points, int32_t diviseur)
{
    const int32_t n = std::clamp(points, int32_t{0}, deplacement.CurrentRectPos);
    if (n == 0) return;  // nothing recorded: nothing to show
    const int32_t x0 = deplacement.X_courant;
    const int32_t y0 = deplacement.Y_courant;
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
    while (marquage.PositionningTimeout > passe) {
        for (int32_t i = 0; i < n && marquage.PositionningTimeout > passe; ++i) {
            if (i == 0) {
                deplacement.X_courant = x0;
                deplacement.Y_courant = y0;
            }
            deplacement.X_courant = ArrondiEntier(static_cast<double>(deplacement.X_courant) + ArrondiEntier(tx[i]));
            deplacement.Y_courant = ArrondiEntier(static_cast<double>(deplacement.Y_courant) + ArrondiEntier(ty[i]));
            Deplacement(kSaut, div, div, deplacement.X_courant, deplacement.Y_courant, 0);
            passe = ms();
        }
    }
}

void TraceRectangle(int32_t points, int32_t diviseur)
{
    TraceContour(deplacement.RectanglePositionnementX, deplacement.RectanglePositionnementY, points, diviseur);
}

void TraceCroix()
{
    TraceContour(deplacement.SavePointsCroixX, deplacement.SavePointsCroixY, kTailleSavePointsCroix, deplacement.VPULASER);
}

void TraceTC()
{
    TraceContour(deplacement.SavePointsTCX, deplacement.SavePointsTCY, deplacement.NbreDataPositionnementTC, deplacement.VPULASER);
}

void Positionnement(unsigned char* job)
{
    constexpr bool kPuissance = build::kTraits.puissanceCoupeeAuPositionnement;
    Prepare(job, true);
    Diodes(3);
    if constexpr (kPuissance) Pilot_Puissance(0);
    PrepareParcours(true);
    AfficheOrigine("OrgXPlaque =%ld     OrgYPlaque=%ld\n");

    if (rotation.bTC_DMC != 0) {
        rotation.bCestUneRotation = 1;
        DeplaceVersOriginePlaque();
        rotation.bCestUneRotation = 0;
    } else if (!PasAPas()) {
        DeplaceVersOrigineCorrigee();
    }
    Parcourt(false);
    if constexpr (kPuissance) Pilot_Puissance(0);

    const bool lent = rotation.bTC_DMC != 0 && build::kTraits.contourTCLent;
    TraceRectangle(deplacement.NbreDataPourPositionnement, lent ? 100 : deplacement.VPULASER);
    deplacement.NbreDataPourPositionnement = 0;
    if (rotation.bTC_DMC != 0) VaAuCentreTC();
    else VaAuCentre();
}

// The YAG loop's positioning sheet: origin in 1/100 mm.
void PositionnementYag(unsigned char* job)
{
    Prepare(job, true);
    PrepareParcours(true);
    // Unsigned 32-bit arithmetic, as on the board.
    std::printf("OrgXPlaque = %lu  OrgYPlaque = %lu\n", static_cast<unsigned long>(static_cast<uint32_t>(marquage.OrgXPlaque) * 10u),
                static_cast<unsigned long>(static_cast<uint32_t>(marquage.OrgYPlaque) * 10u));
    DoVecteurMicrons(ArrondiEntier(static_cast<double>(marquage.OrgXPlaque) * 10000),
                     ArrondiEntier(static_cast<double>(marquage.OrgYPlaque) * 10000), 1, 0);
    Parcourt(true);
    TraceRectangle(kPointsRectangleYag, deplacement.VPULASER);
    deplacement.NbreDataPourPositionnement = 0;
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
    if constexpr (build::kDmc) return rotation.bDMCpasApas;
    else return rotation.bTC_DMC;
}

void PositionnementEtau(unsigned char* job, bool selonY)
{
    std::printf(selonY ? "Positionnement ETAU selon Y\n" : "Positionnement ETAU selon X\n");
    Prepare(job, false);
    Diodes(3);
    PrepareParcours(false);
    if (selonY) deplacement.CUneRechercheOrgigine = 1;
    DeplaceVersOriginePlaque();
    Parcourt(false);
    Pilot_Puissance(0);
    TraceTC();
    deplacement.NbreDataPositionnementTC = 0;
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
    rotation.bCestUneRotation = 1;
    DeplaceVersOriginePlaque();
    Parcourt(true);
    deplacement.FirstDeplacementCentreObjet = 0;
    TraceCroix();
    Diodes(3);
    VaAuCentreTC();
    rotation.bCestUneRotation = 0;
    ModeCylindre() = 1;
}

void TCHelp(unsigned char* job)
{
    BuffCourant = job;
    rotation.bCestUneRotation = 1;
    Diodes(3);
    Pilot_Puissance(0);
    PrepareParcours(false);
    AfficheOrigine("Help Positionnement accessoire TC Origine du cylindre : OrgXPlaque =%ld     OrgYPlaque=%ld\n");
    DeplaceVersOriginePlaque();
    Parcourt(false);
    Pilot_Puissance(0);
    TraceTC();
    deplacement.NbreDataPositionnementTC = 0;
    VaAuCentreTC();
    rotation.bCestUneRotation = 0;
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
            const auto pas = static_cast<uint32_t>(marquage.NbrePasRotation);
            if (pas != 0) {
                std::printf("Sens Rotation = %d - Nbre pas de rotation = %ld\n", rotation.sens_DMC_OK, static_cast<long>(pas));
                DEPLACE_DMC(static_cast<double>(pas), 0, "NON");
            } else {
                std::printf("Sens Rotation = %d - Retour Origine -- Délacement relatif 1000+15200 -- Sens Horaire -- "
                            "AVEC recherche capteur\n",
                            rotation.sens_DMC_OK);
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
