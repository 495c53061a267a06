// Bench of the body walk: the machine bench with a running DSP card, a 60 mm
// field at one step per micrometre, no delays, a job in 1/1000 mm with its
// plate origin at (5 mm, 4 mm), and a body received into RecepBuff after one
// header byte. Bytes past the received count are poisoned under AddressSanitizer.
#pragma once

#include "AnalyseEnteteFichier.h"
#include "banc_machine.h"
#include "build.h"
#include "job_builder.h"
#include "mlas_dep.h"
#include "mlas_param.h"
#include "prnCommonFunctions.h"
#include "prnVectorFunctions.h"
#include "prnanalyse.h"
#include "prnbuffer.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"
#include "etat_pupitre.h"

#include <sanitizer/asan_interface.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace banc {

inline constexpr int kCentre = 32766;
inline constexpr int kDemiChamp = 30000;  // steps
inline constexpr int kOrgX = 5000;
inline constexpr int kOrgY = 4000;

struct Point {
    int x, y;
    bool operator==(const Point&) const = default;
};

// A run of beam-on blocks: the position before it, then each block's target.
struct Trait {
    std::vector<Point> points;
    Point Debut() const { return points.front(); }
    Point Fin() const { return points.back(); }
};

class Marche : public Machine {
protected:
    void SetUp() override
    {
        Machine::SetUp();
        dsp.Demarre();
        ReinitMarquage();
        ReinitDeplacement();
        ReinitRotation();
        ReinitPupitre();
        deplacement.mmenpasX = deplacement.mmenpasY = 1000.0f;
        lasparam.LargeurChamp = lasparam.HauteurChamp = 2.0f * kDemiChamp / 1000;
        lasparam.VitesseMarquage = 500;
        marquage.Orientation = 4;
        marquage.TempoSaut = marquage.TempoTir = marquage.TempopTir = 0;
        marquage.VitesseSaut = 2500;
        deplacement.DIV_PD = deplacement.DIV_PU = deplacement.VPULASER = 10;
        deplacement.X_courant = deplacement.Y_courant = kCentre;
        deplacement.PX_reel = deplacement.PY_reel = kCentre;

        marquage.OrgXPlaque = kOrgX;
        marquage.OrgYPlaque = kOrgY;
        marquage.UniteDeLg = marquage.CoefUnitVersMicron = 1;
        marquage.CoefUnitVersNano = 1000;
        marquage.ResolutionDpiX = marquage.ResolutionDpiY = 254;
        marquage.MarkingSpeed = 5000;
        marquage.Frequency = 50000;
        RaccordsRotation = {};
    }
    void TearDown() override
    {
        ASAN_UNPOISON_MEMORY_REGION(RecepBuff.data, kTaillePRNBuff);
        Machine::TearDown();
    }

    // Receives the body (after one header byte); stale bytes lie past the count.
    static void Recoit(const std::vector<uint8_t>& corps, const std::vector<uint8_t>& perime = {})
    {
        ASAN_UNPOISON_MEMORY_REGION(RecepBuff.data, kTaillePRNBuff);
        PRNBuffClear(&RecepBuff);
        const uint8_t dernierOctetEntete = ';';
        PRNBuffWriteBuff(&RecepBuff, &dernierOctetEntete, 1);
        PRNBuffWriteBuff(&RecepBuff, corps.data(), static_cast<uint32_t>(corps.size()));
        std::copy(perime.begin(), perime.end(), RecepBuff.data + RecepBuff.count);
        ASAN_POISON_MEMORY_REGION(RecepBuff.data + RecepBuff.count, kTaillePRNBuff - RecepBuff.count);
    }
    // Walks from debut (the last header byte); the offset AnalysePRN returns.
    int32_t Marque(std::string* console = nullptr, unsigned char* debut = RecepBuff.data)
    {
        int32_t offset = 0;
        const std::string texte = Sortie([&] { offset = AnalysePRN(debut); });
        if (console != nullptr) *console = texte;
        return offset;
    }

    // The marked path from trace line `depuis` on: each run of beam-on blocks.
    std::vector<Trait> Traits(size_t depuis = 0) const
    {
        std::vector<Trait> traits;
        const auto lignes = carte.Trace();
        // Targets are words: a position below 0 comes back as 65535.
        Point ici{kCentre, kCentre};
        Point mot = ici;
        bool enCours = false;
        for (size_t i = depuis; i < lignes.size(); ++i) {
            unsigned ctl = 0, x = 0, y = 0;
            if (std::sscanf(lignes[i].c_str(), "BLOCK n=%*u ctl=0x%x x=%u y=%u", &ctl, &x, &y) != 3) continue;
            const Point cible{ici.x + static_cast<int16_t>(x - mot.x), ici.y + static_cast<int16_t>(y - mot.y)};
            mot = {static_cast<int>(x), static_cast<int>(y)};
            const bool allume = (ctl & 0x8000) != 0;
            if (allume && !enCours) traits.push_back({{ici}});
            if (allume) traits.back().points.push_back(cible);
            enCours = allume || (enCours && cible == ici);
            ici = cible;
        }
        return traits;
    }
    // Index of the first trace line after `apres` that starts with the text; -1 when none.
    long Ligne(const std::string& debut, long apres = -1) const
    {
        const auto lignes = carte.Trace();
        for (auto i = static_cast<size_t>(apres + 1); i < lignes.size(); ++i)
            if (lignes[i].rfind(debut, 0) == 0) return static_cast<long>(i);
        return -1;
    }
    long PremierBlocAllume(long apres = -1) const
    {
        const auto lignes = carte.Trace();
        for (auto i = static_cast<size_t>(apres + 1); i < lignes.size(); ++i) {
            unsigned ctl = 0;
            if (std::sscanf(lignes[i].c_str(), "BLOCK n=%*u ctl=0x%x", &ctl) == 1 && (ctl & 0x8000)) return static_cast<long>(i);
        }
        return -1;
    }
};

// True when the stroke starts where given and passes, in order, through every
// vertex of the elements (job units times steps per unit), each within one
// step of rounding per element drawn so far, and marks nothing past the last.
inline testing::AssertionResult SuitLeDessin(const Trait& trait, Point debut,
                                             const std::vector<jobfile::Element>& elements, double pasParUnite = 1)
{
    if (!(trait.Debut() == debut))
        return testing::AssertionFailure() << "starts at " << trait.Debut().x << "," << trait.Debut().y;
    long long dx = 0, dy = 0;
    size_t i = 0;
    for (size_t n = 0; n < elements.size(); ++n) {
        dx += elements[n].dx;
        dy += elements[n].dy;
        const Point sommet{debut.x + static_cast<int>(std::lround(static_cast<double>(dx) * pasParUnite)),
                           debut.y + static_cast<int>(std::lround(static_cast<double>(dy) * pasParUnite))};
        const auto tolerance = static_cast<int>(n) + 1;
        while (i < trait.points.size() && (std::abs(trait.points[i].x - sommet.x) > tolerance ||
                                           std::abs(trait.points[i].y - sommet.y) > tolerance))
            ++i;
        if (i == trait.points.size())
            return testing::AssertionFailure() << "vertex " << n << " (" << sommet.x << "," << sommet.y << ") missed";
    }
    if (i + 1 != trait.points.size()) return testing::AssertionFailure() << "marks past the last vertex";
    return testing::AssertionSuccess();
}

}  // namespace banc
