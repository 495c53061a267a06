#include "AnalyseEnteteInterne.h"
#include "mlas_dmc.h"
#include "mlas_func.h"
#include "prnReception.h"
#include "etat_marquage.h"
#include "etat_rotation.h"

#include <array>
#include <cstdio>

namespace entete {

namespace {

constexpr LectureModele kModele = build::kTraits.lectureModele;

// Unit text of the KM250 line's lens and perimeter lines, from UniteDeLg.
const char* UniteTexte()
{
    if constexpr (kFibreLine) return marquage.tAfficheUnitCourante;
    return marquage.UniteDeLg != 0 ? tAfficheUnit1000e : tAfficheUnit100e;
}

void LitMarquageUnique()
{
    marquage.MarquageUnique = LectTypeMarquageStdUnique(Position(ChMarquageUnique));
    std::printf("Marquage unique demandée ? (0-> Non  1-> Oui) : %ld\n", L(marquage.MarquageUnique));
}

void LitModele()
{
    marquage.ModelDuLaser = LectModelLaser(Position(ChModele));
    std::printf("Code du Model du laser :%lx\n", UL(static_cast<uint32_t>(marquage.ModelDuLaser)));
}

void LitTypeFichier()
{
    marquage.TypeDuFichier = LectTypeFichier(Position(ChTypeFichier));
    build::Affiche(build::kTraits.texteTypeFichier, marquage.TypeDuFichier);
}

// Cylinder or flat, from the header; perimetreJob gets the perimeter in job units.
void LitCylindre(int32_t& perimetreJob)
{
    perimetreJob = 0;
    const bool cylindre = kAvecCarte ? LectTypeMarquageDemande(Position(ChTypeMarquageDemande)) != 0
                                     : LectPresenceTourneCylindre(Position(ChTypeMarquageDemande)) != 0;
    if (!cylindre) {
        rotation.bTC_DMC = 0;
        if constexpr (kAvecCarte) {
            rotation.bDMCpasApas = 0;
            marquage.bDdeRetourOrigine = 0;
        }
        marquage.bTCReglageMinMax = 0;
        rotation.PerimetreCylindreAMarquer = 0;
        rotation.SavePerimetreCylindre = 0;
        if constexpr (!kAvecCarte) SwitchPlatCylindre();
        return;
    }
    rotation.SavePerimetreCylindre = rotation.PerimetreCylindreAMarquer;
    if constexpr (kAvecCarte) {
        rotation.bDMCpasApas = 1;
        marquage.bDdeRetourOrigine = 1;
        marquage.bFirstRotationPU = 1;
    } else {
        rotation.bTC_DMC = 1;
        SwitchPlatCylindre();
    }
    perimetreJob = LecturePerimetreTC(Position(ChPerimetre));
    rotation.PerimetreCylindreAMarquer = Perimetre100e(perimetreJob, marquage.UniteDeLg);
    if constexpr (kFibreLine) {
        marquage.fPerimetreEnmm = static_cast<float>(perimetreJob) / marquage.CoefDivUnitVersmm;
        std::printf("PerimetreCylindreAMarquer = %ld %s ->  fPerimetreEnmm = %.2f mm\n", L(perimetreJob),
                    marquage.tAfficheUnitCourante, static_cast<double>(marquage.fPerimetreEnmm));
        return;
    }
    marquage.fPerimetreEnmm = static_cast<float>(perimetreJob / (marquage.UniteDeLg != 0 ? 1000.0 : 100.0));
    const char* unite = marquage.UniteDeLg != 0 ? "1/1000" : "1/100";
    if constexpr (kAvecCarte)
        std::printf("PerimetreCylindreAMarquer = %ld %s de mm  ->  fPerimetreEnmm = %.3f mm  (bFirstRotationPU=%d  "
                    "bDMCpasApas=%d   bTC_DMC=%d)\n",
                    L(perimetreJob), unite, static_cast<double>(marquage.fPerimetreEnmm), marquage.bFirstRotationPU, rotation.bDMCpasApas,
                    rotation.bTC_DMC);
    else
        std::printf("PerimetreCylindreAMarquer = %ld %s de mm  ->  fPerimetreEnmm = %.3f mm   bTC_DMC=%d)\n",
                    L(perimetreJob), unite, static_cast<double>(marquage.fPerimetreEnmm), rotation.bTC_DMC);
}

void LitPosition()
{
    marquage.PositionningTimeout = static_cast<uint32_t>(LectPositionning(Position(ChPositionnement)));
    marquage.bSimulation = marquage.PositionningTimeout != 0 ? 1 : 0;
}

struct GenreFiche {
    bool position;  // help sheets read how long the outline is traced
    uint8_t* drapeau;
    uint8_t* second;
    const char* message;  // the KM250 line's Y-vice line shows bSimulation
};

// The job kind from its file type. Every kind clears the flags it does not set;
// a type the build does not know is a marking sheet.
void ClasseFiche()
{
    const std::array<GenreFiche, 11> genres = {{
        {false, nullptr, nullptr, "Fiche de Marquage\n"},
        {true, nullptr, nullptr, "Fiche de Positionnement\n"},
        {false, kKm250Line && !kViper ? &marquage.bPreChauffe : nullptr, nullptr,
         kFibreLine ? "Fiche de Marquage\n" : "Fiche de Prechauffe\n"},
        {true, &marquage.bFocalisationAPlat, nullptr, "Fiche d'aide à la Focalisation A PLAT\n"},
        {false, &marquage.bTCReglageMinMax, nullptr, "Reglage du Tourne Cylindre\n"},
        {true, &marquage.bPositionnementTC, nullptr,
         kAvecCarte ? "Fiche d'aide au Positionnement du TC1\n" : "Fiche d'aide au Positionnement du TC\n"},
        {true, &marquage.bFocalisationAPlat, &marquage.bFocalisationTC, "Fiche d'aide à la Focalisation TC\n"},
        {true, &marquage.bPositionTC2, nullptr, "Fiche d'aide au Positionnement du TC2 (TC Sarvel)\n"},
        {true, &marquage.bPositionXEtau, nullptr, "Fiche d'aide au Positionnement de l'étau Sarvel selon l'axe X\n"},
        {true, &marquage.bPositionYEtau, nullptr,
         kFibreLine ? "Fiche d'aide au Positionnement de l'étau Sarvel selon l'axe Y\n"
                    : "Fiche d'aide au Positionnement de l'étau Sarvel selon l'axe Y    bSimulation=%d \n"},
        {false, &marquage.bTestInscription, nullptr, kFibreLine ? "Test Incription\n" : "Test Inscription\n"},
    }};
    // The VIPER board's pre-heat flag comes from the "!PC" tag.
    const bool prechauffeViper = kViper && marquage.TypeDuFichier == 2 && marquage.bPreChauffe != 0;
    EffaceGenresFiche();
    marquage.bPreChauffe = prechauffeViper ? 1 : 0;
    constexpr int32_t kDernierType = kViper ? 6 : 10;
    const bool etau = marquage.TypeDuFichier >= 7 && marquage.TypeDuFichier <= 9;
    if (marquage.TypeDuFichier < 0 || marquage.TypeDuFichier > kDernierType || (etau && !kAvecCarte)) return;

    const GenreFiche& g = genres[static_cast<size_t>(marquage.TypeDuFichier)];
    if (g.position) LitPosition();
    if (g.drapeau != nullptr) *g.drapeau = 1;
    if (g.second != nullptr) *g.second = 1;
    std::printf(g.message, marquage.bSimulation);
}

// Lenses the full form knows: all five, the VIPER build's the first three.
constexpr int32_t kFocalesConnues = kViper ? 3 : 5;

bool OrigineDansLaPratique(int32_t perimetreJob)
{
    if (marquage.NumFocale < 0 || marquage.NumFocale >= kFocalesConnues) return true;
    const Focale& f = kFocales[static_cast<size_t>(marquage.NumFocale)];
    const int64_t demiPerimetre = static_cast<uint32_t>(perimetreJob) / 2;
    if (marquage.NumFocale == 4) {
        if constexpr (kFibreLine) {
            if (!DecaleOrigine(2000, rotation.bTC_DMC != 0 ? demiPerimetre : 2000)) return false;
            marquage.DemiChampFocale = 1;
            std::printf("FOCALE 420 : PAS DE CHAMPS DEFINIS pour cette focale : DemiChampFocale=%ld  en 1/100e de mm\n",
                        L(marquage.DemiChampFocale));
        }
        return true;
    }
    marquage.MargeFocaleCurrentUnit = marquage.UniteDeLg != 0 ? f.marge1000 : f.marge100;
    marquage.DemiChampFocale = marquage.UniteDeLg != 0 ? f.demiChamp1000 : f.demiChamp100;
    const bool cylindre = kViper ? rotation.bTC_DMC != 0 : (rotation.bTC_DMC != 0 || rotation.bDMCpasApas != 0) && marquage.bFocalisationTC == 0;
    if (!DecaleOrigine(marquage.MargeFocaleCurrentUnit, cylindre ? demiPerimetre : marquage.MargeFocaleCurrentUnit)) return false;
    std::printf(f.ligne, L(marquage.OrgXPlaque), L(marquage.OrgYPlaque), L(marquage.DemiChampFocale), UniteTexte());
    return true;
}

}  // namespace

void LitTemposCylindre()
{
    const bool cylindre = kViper ? rotation.bTC_DMC != 0 : rotation.bTC_DMC != 0 || rotation.bDMCpasApas != 0;
    if (!cylindre) {
        marquage.ModeTurboTCValide = 0;
        marquage.TempoFinRotation = 0;
        marquage.TempoInterligneTC = 0;
        std::printf("  Marquage à PLAT, Temporisation fin de Rotation = Interligne = %ld ms\n", L(marquage.TempoFinRotation));
        return;
    }
    marquage.ModeTurboTCValide = LectModeTurboTC(Position(ChTurbo));
    marquage.TempoFinRotation = LectTempoFinRotation(Position(ChTempoFinRotation));
    marquage.TempoInterligneTC = LectTempoInterligneTC(Position(ChTempoInterligne));
    if (marquage.ModeTurboTCValide != 0) {
        std::printf("Mode Turbo TC validé");
        std::printf("   Temporisation  Fin de Rotation=%ld ms\n", L(marquage.TempoFinRotation));
        if constexpr (kViper) std::printf("                       Interligne=%d ms\n", marquage.TempoInterligneTC);
        else std::printf("                       Interligne=%ld ms\n", L(marquage.TempoInterligneTC));
    } else {
        std::printf("Mode TC Normal\n");
        if constexpr (kFibreLine)
            std::printf("  Temporisation par défaut, fin de Rotation = %ld ms - Interligne = %ld ms\n",
                        L(marquage.TempoFinRotation), L(marquage.TempoInterligneTC));
        else if constexpr (kViper)
            std::printf("  Temporisation par défaut, fin de Rotation = %ldms - Interligne = %ldms\n",
                        L(marquage.TempoFinRotation), L(marquage.TempoInterligneTC));
        else
            std::printf("  Temporisation TC lues, fin de Rotation = %ld ms - Interligne = %ld ms\n",
                        L(marquage.TempoFinRotation), L(marquage.TempoInterligneTC));
    }
}

int32_t AnalyseComplete(unsigned char* job)
{
    BuffCourant = job;
    const VueJob vue = VueCourante();
    if (!ControleJob(vue, Forme::Complete)) return Refuse(vue);

    if constexpr (kModele == LectureModele::Premiere) LitModele();
    if constexpr (kViper) {
        LitUnite();
        LitMarquageUnique();
    } else {
        LitTypeFichier();
        if constexpr (kModele == LectureModele::ApresType) LitModele();
        LitUnite();
        LitMarquageUnique();
        if (kKm250Line && marquage.bChangementIP != 0) return static_cast<int32_t>(marquage.LgAvantEntete + marquage.LgEntete - 1);
        if constexpr (kFibreLine) FixeUnite();
    }

    if (marquage.bReceptionFirmware != 0 || (kAvecCarte && marquage.bPositionningFleche != 0)) {
        if (marquage.bReceptionFirmware != 0) LitFirmware();
        else if constexpr (kFibreLine) std::printf("Positionnement OU retour origine\n");
        else
            std::printf("Réglage origine rotation (Flèche mandrin verticale) OU retour origine détecté par "
                        "capteur\n");
        return FinAnalyse();
    }

    int32_t perimetreJob = 0;
    LitCylindre(perimetreJob);
    if constexpr (kModele == LectureModele::ApresCylindre) LitModele();
    if constexpr (kViper) LitTypeFichier();
    ClasseFiche();

    marquage.OrgXPlaque = LectOrigineXPlaque(Position(ChOrigineX));
    marquage.OrgYPlaque = LectOrigineYPlaque(Position(ChOrigineY));
    marquage.NumFocale = LectTypeFocale(Position(ChFocale));
    if constexpr (kViper) std::printf("Origine : X=%ld    Y=%ld\n", L(marquage.OrgXPlaque), L(marquage.OrgYPlaque));
    if (!OrigineDansLaPratique(perimetreJob)) return Refuse(vue);

    marquage.DimXPlaque = LectDimXDeLaPlaque(Position(ChPlaqueX));
    marquage.DimYPlaque = LectDimYDeLaPlaque(Position(ChPlaqueY));
    if constexpr (kAvecCarte) {
        marquage.MarquageIntExtCylindre = LectTypeMarquageIntExt(Position(ChIntExt));
        rotation.sens_DMC_OK = marquage.MarquageIntExtCylindre != 0 ? 1 : 0;
        Reglage_Sens_DMC();
    }
    if (!LitTempos()) return Refuse(vue);
    build::Affiche(build::kTraits.texteVitesseSaut, L(marquage.VitesseSaut / 10));
    LitResolution();
    if constexpr (kFibreLine)
        std::printf("ResolutionDpiX= %ld ResolutionDpiY=%ld\n", UL(marquage.ResolutionDpiX), UL(marquage.ResolutionDpiY));
    LitPuissanceEtVitesse(true);
    marquage.OrientationMarquage = LectOrientationMarquage(Position(ChOrientation));

    ParamCorrection p{};
    if (marquage.NumFocale >= 0 && marquage.NumFocale < kFocalesConnues) {
        const Focale& f = kFocales[static_cast<size_t>(marquage.NumFocale)];
        p.Focale = f.focale;
        p.CourseX = f.course;
        p.CourseY = rotation.bTC_DMC != 0 ? marquage.fPerimetreEnmm : f.course;
        marquage.DemiCourse = kViper ? kDemiCourseCourte[static_cast<size_t>(marquage.NumFocale)] : f.demiCourse;
    } else {
        p = FocaleInconnue();
    }
    marquage.GainXRectPosition = ChampFlottant(ChGainRectX, 1000.0);
    marquage.GainYRectPosition = ChampFlottant(ChGainRectY, 1000.0);
    std::printf("Gain diode de visee : sur X = %.3f    sur Y = %.3f\n", static_cast<double>(marquage.GainXRectPosition),
                static_cast<double>(marquage.GainYRectPosition));
    ActiveCorrection(p);
    FinCommune();
    return FinAnalyse();
}

}  // namespace entete
