#include "AnalyseEnteteInterne.h"
#include "mlas_func.h"
#include "prnReception.h"

#include <array>
#include <cstdio>

namespace entete {

// The YAG loop's header: no file type, cylinder or model; the position field
// only when the header is long enough to hold it.
int32_t AnalyseCourte(unsigned char* job)
{
    BuffCourant = job;
    const VueJob vue = VueCourante();
    if (!ControleJob(vue, Forme::Courte)) return Refuse(vue);
    if (bChangementIP != 0) return static_cast<int32_t>(LgAvantEntete + LgEntete - 1);
    if (bReceptionFirmware != 0) {
        LitFirmware();
        return FinAnalyse();
    }
    PositionningTimeout = LgEntete > DecalageChamp(ChPositionnement) + 3 ? static_cast<uint32_t>(Champ(ChPositionnement)) : 0;
    bSimulation = PositionningTimeout != 0 ? 1 : 0;
    // Moves are made of the unit factors: a header without the unit field is in 1/100 mm.
    if (LgEntete > DecalageChamp(ChUnite) + 3) LitUnite();
    else UniteDeLg = 0;
    FixeUnite();

    OrgXPlaque = LectOrigineXPlaque(Position(ChOrigineX));
    OrgYPlaque = LectOrigineYPlaque(Position(ChOrigineY));
    NumFocale = LectTypeFocale(Position(ChFocale));
    constexpr std::array<int32_t, 5> kDecalages = {550, 500, 1000, 0, 0};
    if (NumFocale >= 0 && NumFocale < 5) {
        const int32_t d = kDecalages[static_cast<size_t>(NumFocale)];
        if (!DecaleOrigine(d, d)) return Refuse(vue);
    }

    DimXPlaque = LectDimXDeLaPlaque(Position(ChPlaqueX));
    DimYPlaque = LectDimYDeLaPlaque(Position(ChPlaqueY));
    if (!LitTempos()) return Refuse(vue);
    std::printf("Fiche de Marquage ou de positionnement\n");
    LitResolution();
    build::Affiche(build::kTraits.texteResolutionYag, UL(ResolutionDpiX), UL(ResolutionDpiY));
    LitPuissanceEtVitesse(false);
    OrientationMarquage = LectOrientationMarquage(Position(ChOrientation));

    ParamCorrection p{};
    if (NumFocale >= 0 && NumFocale < 5) {
        const Focale& f = kFocales[static_cast<size_t>(NumFocale)];
        p.Focale = f.focale;
        p.CourseX = NumFocale < 3 ? f.course : 1.0f;
        p.CourseY = p.CourseX;
        DemiCourse = NumFocale < 3 ? kDemiCourseCourte[static_cast<size_t>(NumFocale)] : 1.0f;
    } else {
        p = FocaleInconnue();
    }
    GainXRectPosition = ChampFlottant(ChGainRectX, 1000.0);
    GainYRectPosition = ChampFlottant(ChGainRectY, 1000.0);
    ActiveCorrection(p);
    FinCommune();
    return FinAnalyse();
}

}  // namespace entete
