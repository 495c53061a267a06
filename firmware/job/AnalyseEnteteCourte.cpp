#include "AnalyseEnteteInterne.h"
#include "mlas_func.h"
#include "prnReception.h"
#include "etat_marquage.h"

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
    if (marquage.bChangementIP != 0) return static_cast<int32_t>(marquage.LgAvantEntete + marquage.LgEntete - 1);
    if (marquage.bReceptionFirmware != 0) {
        LitFirmware();
        return FinAnalyse();
    }
    marquage.PositionningTimeout = marquage.LgEntete > DecalageChamp(ChPositionnement) + 3 ? static_cast<uint32_t>(Champ(ChPositionnement)) : 0;
    marquage.bSimulation = marquage.PositionningTimeout != 0 ? 1 : 0;
    // Moves are made of the unit factors: a header without the unit field is in 1/100 mm.
    if (marquage.LgEntete > DecalageChamp(ChUnite) + 3) LitUnite();
    else marquage.UniteDeLg = 0;
    FixeUnite();

    marquage.OrgXPlaque = LectOrigineXPlaque(Position(ChOrigineX));
    marquage.OrgYPlaque = LectOrigineYPlaque(Position(ChOrigineY));
    marquage.NumFocale = LectTypeFocale(Position(ChFocale));
    constexpr std::array<int32_t, 5> kDecalages = {550, 500, 1000, 0, 0};
    if (marquage.NumFocale >= 0 && marquage.NumFocale < 5) {
        const int32_t d = kDecalages[static_cast<size_t>(marquage.NumFocale)];
        if (!DecaleOrigine(d, d)) return Refuse(vue);
    }

    marquage.DimXPlaque = LectDimXDeLaPlaque(Position(ChPlaqueX));
    marquage.DimYPlaque = LectDimYDeLaPlaque(Position(ChPlaqueY));
    if (!LitTempos()) return Refuse(vue);
    std::printf("Fiche de Marquage ou de positionnement\n");
    LitResolution();
    build::Affiche(build::kTraits.texteResolutionYag, UL(marquage.ResolutionDpiX), UL(marquage.ResolutionDpiY));
    LitPuissanceEtVitesse(false);
    marquage.OrientationMarquage = LectOrientationMarquage(Position(ChOrientation));

    ParamCorrection p{};
    if (marquage.NumFocale >= 0 && marquage.NumFocale < 5) {
        const Focale& f = kFocales[static_cast<size_t>(marquage.NumFocale)];
        p.Focale = f.focale;
        p.CourseX = marquage.NumFocale < 3 ? f.course : 1.0f;
        p.CourseY = p.CourseX;
        marquage.DemiCourse = marquage.NumFocale < 3 ? kDemiCourseCourte[static_cast<size_t>(marquage.NumFocale)] : 1.0f;
    } else {
        p = FocaleInconnue();
    }
    marquage.GainXRectPosition = ChampFlottant(ChGainRectX, 1000.0);
    marquage.GainYRectPosition = ChampFlottant(ChGainRectY, 1000.0);
    ActiveCorrection(p);
    FinCommune();
    return FinAnalyse();
}

}  // namespace entete
