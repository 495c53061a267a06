#include "AnalyseEnteteInterne.h"
#include "mlas_dmc.h"
#include "mlas_func.h"
#include "prnReception.h"

#include <array>
#include <cstdio>

namespace entete {

namespace {

constexpr LectureModele kModele = build::kTraits.lectureModele;

// Unit text of the KM250 line's lens and perimeter lines, from UniteDeLg.
const char* UniteTexte()
{
    if constexpr (kFibreLine) return tAfficheUnitCourante;
    return UniteDeLg != 0 ? tAfficheUnit1000e : tAfficheUnit100e;
}

void LitMarquageUnique()
{
    MarquageUnique = LectTypeMarquageStdUnique(Position(ChMarquageUnique));
    std::printf("Marquage unique demandée ? (0-> Non  1-> Oui) : %ld\n", L(MarquageUnique));
}

void LitModele()
{
    ModelDuLaser = LectModelLaser(Position(ChModele));
    std::printf("Code du Model du laser :%lx\n", UL(static_cast<uint32_t>(ModelDuLaser)));
}

void LitTypeFichier()
{
    TypeDuFichier = LectTypeFichier(Position(ChTypeFichier));
    build::Affiche(build::kTraits.texteTypeFichier, TypeDuFichier);
}

// Cylinder or flat, from the header; perimetreJob gets the perimeter in job units.
void LitCylindre(int32_t& perimetreJob)
{
    perimetreJob = 0;
    const bool cylindre = kAvecCarte ? LectTypeMarquageDemande(Position(ChTypeMarquageDemande)) != 0
                                     : LectPresenceTourneCylindre(Position(ChTypeMarquageDemande)) != 0;
    if (!cylindre) {
        bTC_DMC = 0;
        if constexpr (kAvecCarte) {
            bDMCpasApas = 0;
            bDdeRetourOrigine = 0;
        }
        bTCReglageMinMax = 0;
        PerimetreCylindreAMarquer = 0;
        SavePerimetreCylindre = 0;
        if constexpr (!kAvecCarte) SwitchPlatCylindre();
        return;
    }
    SavePerimetreCylindre = PerimetreCylindreAMarquer;
    if constexpr (kAvecCarte) {
        bDMCpasApas = 1;
        bDdeRetourOrigine = 1;
        bFirstRotationPU = 1;
    } else {
        bTC_DMC = 1;
        SwitchPlatCylindre();
    }
    perimetreJob = LecturePerimetreTC(Position(ChPerimetre));
    PerimetreCylindreAMarquer = Perimetre100e(perimetreJob, UniteDeLg);
    if constexpr (kFibreLine) {
        fPerimetreEnmm = static_cast<float>(perimetreJob) / CoefDivUnitVersmm;
        std::printf("PerimetreCylindreAMarquer = %ld %s ->  fPerimetreEnmm = %.2f mm\n", L(perimetreJob),
                    tAfficheUnitCourante, static_cast<double>(fPerimetreEnmm));
        return;
    }
    fPerimetreEnmm = static_cast<float>(perimetreJob / (UniteDeLg != 0 ? 1000.0 : 100.0));
    const char* unite = UniteDeLg != 0 ? "1/1000" : "1/100";
    if constexpr (kAvecCarte)
        std::printf("PerimetreCylindreAMarquer = %ld %s de mm  ->  fPerimetreEnmm = %.3f mm  (bFirstRotationPU=%d  "
                    "bDMCpasApas=%d   bTC_DMC=%d)\n",
                    L(perimetreJob), unite, static_cast<double>(fPerimetreEnmm), bFirstRotationPU, bDMCpasApas,
                    bTC_DMC);
    else
        std::printf("PerimetreCylindreAMarquer = %ld %s de mm  ->  fPerimetreEnmm = %.3f mm   bTC_DMC=%d)\n",
                    L(perimetreJob), unite, static_cast<double>(fPerimetreEnmm), bTC_DMC);
}

void LitPosition()
{
    PositionningTimeout = static_cast<uint32_t>(LectPositionning(Position(ChPositionnement)));
    bSimulation = PositionningTimeout != 0 ? 1 : 0;
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
        {false, kKm250Line && !kViper ? &bPreChauffe : nullptr, nullptr,
         kFibreLine ? "Fiche de Marquage\n" : "Fiche de Prechauffe\n"},
        {true, &bFocalisationAPlat, nullptr, "Fiche d'aide à la Focalisation A PLAT\n"},
        {false, &bTCReglageMinMax, nullptr, "Reglage du Tourne Cylindre\n"},
        {true, &bPositionnementTC, nullptr,
         kAvecCarte ? "Fiche d'aide au Positionnement du TC1\n" : "Fiche d'aide au Positionnement du TC\n"},
        {true, &bFocalisationAPlat, &bFocalisationTC, "Fiche d'aide à la Focalisation TC\n"},
        {true, &bPositionTC2, nullptr, "Fiche d'aide au Positionnement du TC2 (TC Sarvel)\n"},
        {true, &bPositionXEtau, nullptr, "Fiche d'aide au Positionnement de l'étau Sarvel selon l'axe X\n"},
        {true, &bPositionYEtau, nullptr,
         kFibreLine ? "Fiche d'aide au Positionnement de l'étau Sarvel selon l'axe Y\n"
                    : "Fiche d'aide au Positionnement de l'étau Sarvel selon l'axe Y    bSimulation=%d \n"},
        {false, &bTestInscription, nullptr, kFibreLine ? "Test Incription\n" : "Test Inscription\n"},
    }};
    // The VIPER board's pre-heat flag comes from the "!PC" tag.
    const bool prechauffeViper = kViper && TypeDuFichier == 2 && bPreChauffe != 0;
    EffaceGenresFiche();
    bPreChauffe = prechauffeViper ? 1 : 0;
    constexpr int32_t kDernierType = kViper ? 6 : 10;
    const bool etau = TypeDuFichier >= 7 && TypeDuFichier <= 9;
    if (TypeDuFichier < 0 || TypeDuFichier > kDernierType || (etau && !kAvecCarte)) return;

    const GenreFiche& g = genres[static_cast<size_t>(TypeDuFichier)];
    if (g.position) LitPosition();
    if (g.drapeau != nullptr) *g.drapeau = 1;
    if (g.second != nullptr) *g.second = 1;
    std::printf(g.message, bSimulation);
}

// Lenses the full form knows: all five, the VIPER build's the first three.
constexpr int32_t kFocalesConnues = kViper ? 3 : 5;

bool OrigineDansLaPratique(int32_t perimetreJob)
{
    if (NumFocale < 0 || NumFocale >= kFocalesConnues) return true;
    const Focale& f = kFocales[static_cast<size_t>(NumFocale)];
    const int64_t demiPerimetre = static_cast<uint32_t>(perimetreJob) / 2;
    if (NumFocale == 4) {
        if constexpr (kFibreLine) {
            if (!DecaleOrigine(2000, bTC_DMC != 0 ? demiPerimetre : 2000)) return false;
            DemiChampFocale = 1;
            std::printf("FOCALE 420 : PAS DE CHAMPS DEFINIS pour cette focale : DemiChampFocale=%ld  en 1/100e de mm\n",
                        L(DemiChampFocale));
        }
        return true;
    }
    MargeFocaleCurrentUnit = UniteDeLg != 0 ? f.marge1000 : f.marge100;
    DemiChampFocale = UniteDeLg != 0 ? f.demiChamp1000 : f.demiChamp100;
    const bool cylindre = kViper ? bTC_DMC != 0 : (bTC_DMC != 0 || bDMCpasApas != 0) && bFocalisationTC == 0;
    if (!DecaleOrigine(MargeFocaleCurrentUnit, cylindre ? demiPerimetre : MargeFocaleCurrentUnit)) return false;
    std::printf(f.ligne, L(OrgXPlaque), L(OrgYPlaque), L(DemiChampFocale), UniteTexte());
    return true;
}

}  // namespace

void LitTemposCylindre()
{
    const bool cylindre = kViper ? bTC_DMC != 0 : bTC_DMC != 0 || bDMCpasApas != 0;
    if (!cylindre) {
        ModeTurboTCValide = 0;
        TempoFinRotation = 0;
        TempoInterligneTC = 0;
        std::printf("  Marquage à PLAT, Temporisation fin de Rotation = Interligne = %ld ms\n", L(TempoFinRotation));
        return;
    }
    ModeTurboTCValide = LectModeTurboTC(Position(ChTurbo));
    TempoFinRotation = LectTempoFinRotation(Position(ChTempoFinRotation));
    TempoInterligneTC = LectTempoInterligneTC(Position(ChTempoInterligne));
    if (ModeTurboTCValide != 0) {
        std::printf("Mode Turbo TC validé");
        std::printf("   Temporisation  Fin de Rotation=%ld ms\n", L(TempoFinRotation));
        if constexpr (kViper) std::printf("                       Interligne=%d ms\n", TempoInterligneTC);
        else std::printf("                       Interligne=%ld ms\n", L(TempoInterligneTC));
    } else {
        std::printf("Mode TC Normal\n");
        if constexpr (kFibreLine)
            std::printf("  Temporisation par défaut, fin de Rotation = %ld ms - Interligne = %ld ms\n",
                        L(TempoFinRotation), L(TempoInterligneTC));
        else if constexpr (kViper)
            std::printf("  Temporisation par défaut, fin de Rotation = %ldms - Interligne = %ldms\n",
                        L(TempoFinRotation), L(TempoInterligneTC));
        else
            std::printf("  Temporisation TC lues, fin de Rotation = %ld ms - Interligne = %ld ms\n",
                        L(TempoFinRotation), L(TempoInterligneTC));
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
        if (kKm250Line && bChangementIP != 0) return static_cast<int32_t>(LgAvantEntete + LgEntete - 1);
        if constexpr (kFibreLine) FixeUnite();
    }

    if (bReceptionFirmware != 0 || (kAvecCarte && bPositionningFleche != 0)) {
        if (bReceptionFirmware != 0) LitFirmware();
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

    OrgXPlaque = LectOrigineXPlaque(Position(ChOrigineX));
    OrgYPlaque = LectOrigineYPlaque(Position(ChOrigineY));
    NumFocale = LectTypeFocale(Position(ChFocale));
    if constexpr (kViper) std::printf("Origine : X=%ld    Y=%ld\n", L(OrgXPlaque), L(OrgYPlaque));
    if (!OrigineDansLaPratique(perimetreJob)) return Refuse(vue);

    DimXPlaque = LectDimXDeLaPlaque(Position(ChPlaqueX));
    DimYPlaque = LectDimYDeLaPlaque(Position(ChPlaqueY));
    if constexpr (kAvecCarte) {
        MarquageIntExtCylindre = LectTypeMarquageIntExt(Position(ChIntExt));
        sens_DMC_OK = MarquageIntExtCylindre != 0 ? 1 : 0;
        Reglage_Sens_DMC();
    }
    if (!LitTempos()) return Refuse(vue);
    build::Affiche(build::kTraits.texteVitesseSaut, L(VitesseSaut / 10));
    LitResolution();
    if constexpr (kFibreLine)
        std::printf("ResolutionDpiX= %ld ResolutionDpiY=%ld\n", UL(ResolutionDpiX), UL(ResolutionDpiY));
    LitPuissanceEtVitesse(true);
    OrientationMarquage = LectOrientationMarquage(Position(ChOrientation));

    ParamCorrection p{};
    if (NumFocale >= 0 && NumFocale < kFocalesConnues) {
        const Focale& f = kFocales[static_cast<size_t>(NumFocale)];
        p.Focale = f.focale;
        p.CourseX = f.course;
        p.CourseY = bTC_DMC != 0 ? fPerimetreEnmm : f.course;
        DemiCourse = kViper ? kDemiCourseCourte[static_cast<size_t>(NumFocale)] : f.demiCourse;
    } else {
        p = FocaleInconnue();
    }
    GainXRectPosition = ChampFlottant(ChGainRectX, 1000.0);
    GainYRectPosition = ChampFlottant(ChGainRectY, 1000.0);
    std::printf("Gain diode de visee : sur X = %.3f    sur Y = %.3f\n", static_cast<double>(GainXRectPosition),
                static_cast<double>(GainYRectPosition));
    ActiveCorrection(p);
    FinCommune();
    return FinAnalyse();
}

}  // namespace entete
