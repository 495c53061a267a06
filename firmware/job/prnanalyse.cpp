#include "prnanalyse.h"

#include "AnalyseEnteteFichier.h"
#include "Calcul.h"
#include "MiseAJour.h"
#include "VueJob.h"
#include "build.h"
#include "mlas_dep.h"
#include "mlas_func.h"
#include "prnCommonFunctions.h"
#include "prnRasterFunctions.h"
#include "prnVectorFunctions.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace {

// A code of this build: the bytes that must have been received from its code
// position before its handler runs, and the handler (bytes taken; stop set
// for the end record).
struct Enregistrement {
    char code[3];
    uint32_t minimum;
    int32_t (*traite)(int32_t pos, bool& stop);
};

constexpr bool kFibre = build::kFibreLine;

constexpr Enregistrement kDP{"DP", 4, [](int32_t p, bool&) { return FonctionDP(p); }};
constexpr Enregistrement kPW{"PW", 4, [](int32_t p, bool&) { return kFibre ? LFFonctionPowerV2(p) : FonctionPower(p); }};
constexpr Enregistrement kVD{"VD", 4, [](int32_t p, bool&) { return FonctionVitesseMarquage(p); }};
constexpr Enregistrement kAI{"AI", 4, [](int32_t p, bool&) { return FonctionAssistanceAir(p); }};
constexpr Enregistrement kOP{"OP", 4, [](int32_t p, bool&) { return FonctionFinDePage(p); }};
constexpr Enregistrement kVT{"VT", 4, [](int32_t p, bool&) { return FonctionRetourRotation(p); }};
constexpr Enregistrement kJF{"JF", 2, [](int32_t p, bool& stop) {
    DepileTabPD();
    stop = true;
    return VueCourante().Couvre(static_cast<uint32_t>(p), 4) ? 4 : 2;
}};
constexpr Enregistrement kRF{"RF", 4, [](int32_t p, bool&) { return FonctionRefocalisation(p); }};
constexpr Enregistrement kDI{"DI", 4, [](int32_t p, bool&) { return FonctionDureeImpulsion(p); }};
// Both records of the 32-bit pair: a low half that looks like a marker is never scanned.
constexpr Enregistrement kFR{"FR", 10, [](int32_t p, bool&) { return kFibre ? LFFonctionFrequence(p) : FonctionFrequence(p); }};
constexpr Enregistrement kV2{"V2", 2, [](int32_t, bool&) { return 2; }};
constexpr Enregistrement kPD{"PD", 4, [](int32_t p, bool&) { return kFibre ? LFFonctionPU_PD(p, 0) : FonctionPU_PD(p, 0); }};
constexpr Enregistrement kPU{"PU", 4, [](int32_t p, bool&) { return kFibre ? LFFonctionPU_PD(p, 1) : FonctionPU_PD(p, 1); }};
constexpr Enregistrement kMO{"MO", 4, [](int32_t p, bool&) { return ChangtModeMarquage(p); }};
constexpr Enregistrement kMOTC2{"MO", 4, [](int32_t p, bool&) { return FonctionGestionTC2(p); }};
constexpr Enregistrement kC1{"C1", 4, [](int32_t p, bool& stop) {
    deplacement.bRasterC1C2 = 1;
    const int32_t n = FonctionRaster(p, 1, 1, stop);
    deplacement.bRasterC1C2 = 0;
    return n;
}};
constexpr Enregistrement kC2{"C2", 4, [](int32_t p, bool& stop) {
    deplacement.bRasterC1C2 = 1;
    const int32_t n = FonctionRaster(p, -1, 1, stop);
    deplacement.bRasterC1C2 = 0;
    return n;
}};
constexpr Enregistrement kC3{"C3", 4, [](int32_t p, bool& stop) { return FonctionRaster(p, 1, 2, stop); }};
constexpr Enregistrement kC4{"C4", 4, [](int32_t p, bool& stop) { return FonctionRaster(p, -1, 2, stop); }};
constexpr Enregistrement kR5{"R5", 2, [](int32_t p, bool&) { return FonctionRetourAVide(p); }};
constexpr Enregistrement kRX{"RX", 22, [](int32_t p, bool& stop) { return FonctionRxRy(p, stop); }};

// What the converter writes and the build has no use for: one record each.
constexpr auto SansEffet = [](int32_t p, bool&) { return FonctionSansEffet(p); };
constexpr Enregistrement kTE{"TE", 4, SansEffet};
constexpr Enregistrement kAZ{"AZ", 4, SansEffet};
constexpr Enregistrement kWB{"WB", 4, SansEffet};
constexpr Enregistrement kWD{"WD", 4, SansEffet};
constexpr Enregistrement kWF{"WF", 4, SansEffet};
constexpr Enregistrement kVT0{"VT", 4, SansEffet};
constexpr Enregistrement kMO0{"MO", 4, SansEffet};

// Each build's codes in the order they are tested.
std::span<const Enregistrement> Table()
{
    if constexpr (build::kDmc) {
        static constexpr std::array t{kDP, kPW, kVD, kAI, kOP, kVT, kJF, kRF, kDI, kFR, kV2, kPD, kPU,
                                      kMO, kC1, kC2, kC3, kC4, kR5, kRX, kTE, kAZ, kWB, kWD, kWF};
        return t;
    } else if constexpr (build::kViper) {
        static constexpr std::array t{kDP, kPW, kVD, kAI, kOP, kJF, kRF, kDI, kFR, kV2, kPD, kPU, kC1,
                                      kC2, kC3, kC4, kR5, kRX, kTE, kAZ, kWB, kWD, kWF, kVT0, kMO0};
        return t;
    } else {
        static constexpr std::array t{kDP, kPW, kVD, kAI, kOP, kJF, kRF, kDI, kFR, kMOTC2, kV2, kPD, kPU,
                                      kC1, kC2, kC3, kC4, kR5, kRX, kTE, kAZ, kWB, kWD, kWF, kVT0};
        return t;
    }
}

// A record the walk cannot mark ends it; the marks queued before it go out first.
uint8_t ArretSurEnregistrement()
{
    DepileTabPD();
    return 0;
}

// The received bytes end before the end record: what was whole has been
// marked; the stacked marks go out as the end record would send them.
uint8_t FinDesDonnees(int32_t pos)
{
    std::printf("Fin des données reçues sans fin de fichier (JF) -> fin du marquage adresse=%x\n",
                static_cast<unsigned>(pos));
    return ArretSurEnregistrement();
}

// sign(e) x |e|^1.2 x 64^-0.2: 64 at |e| = 64, bent towards 0.
float Fonction(int e)
{
    const float k = 1.2f;
    const double v = std::pow(std::abs(e), static_cast<double>(k)) * std::pow(64.0, 1.0 - static_cast<double>(k));
    return static_cast<float>(e < 0 ? -v : v);
}

void AfficheOrigine()
{
    const auto x = static_cast<long>(marquage.OrgXPlaque);
    const auto y = static_cast<long>(marquage.OrgYPlaque);
    build::Affiche(build::kTraits.texteCalculOrigine);
    build::Affiche(build::kTraits.texteOrigine, x, y);
}

int32_t PasEnNano(float ecart)
{
    return iArrondi(static_cast<double>(ecart) * 1000);
}

}  // namespace

void PreCalcTabCoefNonLineaires()
{
    for (int n = 0; n < kTailleTabCoef; ++n) marquage.TabCoefNonLineaires[n] = Fonction(marquage.bNegatif != 0 ? n - 64 : 63 - n);
}

int32_t DectecIDF(int32_t start)
{
    const VueJob vue = VueCourante();
    // Pairs from start + 1: a record begins at an even distance from there.
    for (int64_t i = int64_t{start} + 1; i >= 0 && vue.Couvre(static_cast<uint32_t>(i), 2);) {
        const uint8_t a = vue.Octet(static_cast<uint32_t>(i));
        const uint8_t b = vue.Octet(static_cast<uint32_t>(i + 1));
        i += 2;
        if (a == 0xFF || b == 0xFD) return static_cast<int32_t>(i);
    }
    return static_cast<int32_t>(vue.taille);
}

uint8_t SelectionFonction(int32_t pos, int32_t& consumed)
{
    consumed = 0;
    const VueJob vue = VueCourante();
    const auto p = static_cast<uint32_t>(pos);
    if (pos < 0 || !vue.Couvre(p, 2)) return FinDesDonnees(pos);
    const char code[3] = {static_cast<char>(vue.Octet(p)), static_cast<char>(vue.Octet(p + 1)), 0};
    for (const Enregistrement& e : Table()) {
        if (e.code[0] != code[0] || e.code[1] != code[1]) continue;
        if (!vue.Couvre(p, e.minimum)) return FinDesDonnees(pos);
        bool stop = false;
        consumed = e.traite(pos, stop);
        return stop ? 0 : 1;
    }
    const auto a = static_cast<unsigned>(static_cast<unsigned char>(code[0]));
    const auto b = static_cast<unsigned>(static_cast<unsigned char>(code[1]));
    std::printf("COMMANDE INCONNUE ! Valeurs dans fichier : %x %x %x adresse=%x \n", a, b, 0u, p);
    return ArretSurEnregistrement();
}

int32_t AnalyseFonctions()
{
    int32_t consumed = 0;
    int32_t start = 0;
    int32_t pos = 0;
    for (;;) {
        pos = DectecIDF(start);
        const uint8_t r = SelectionFonction(pos, consumed);
        pos += consumed;
        start = pos - 1;
        if (r == 0 || Test_Reset() != 0) break;
        if (MarquageInterrompu()) {
            ArretSurEnregistrement();  // what was stacked before the fault is sound
            break;
        }
    }
    return pos;
}

int32_t AnalysePRN(unsigned char* p)
{
    BuffCourant = p;
    ReprendMarquage();
    deplacement.MemGrayLevel = 0xFF;
    deplacement.iTabD = 0;
    deplacement.MemX_PU = deplacement.MemY_PU = 0;
    deplacement.LPen_Up = 1;
    if constexpr (build::kTraits.modeIndexeEffaceParFiche) rotation.bMOdeIndexe = 0;

    const auto dpiX = static_cast<uint32_t>(marquage.ResolutionDpiX);
    const auto dpiY = static_cast<uint32_t>(marquage.ResolutionDpiY);
    deplacement.EcartX = dpiX != 0 ? 25400.0f / static_cast<float>(dpiX) : 0.0f;
    deplacement.EcartY = dpiY != 0 ? 25400.0f / static_cast<float>(dpiY) : 0.0f;
    deplacement.EcartXEntreDot = PasEnNano(deplacement.EcartX);
    deplacement.EcartYEntreDot = PasEnNano(deplacement.EcartY);
    PreCalcTabCoefNonLineaires();

    RetourOrigineInverse();
    Pause_Las(100);
    AfficheOrigine();
    deplacement.CUneRechercheOrgigine = 1;
    DeplaceVersOriginePlaque();
    Pause_Las(500);

    build::Affiche(build::kTraits.texteMarquageFiche);
    const int32_t offset = AnalyseFonctions();

    const bool cylindre = rotation.bTC_DMC != 0 || (build::kDmc && rotation.bDMCpasApas != 0);
    if (cylindre) VaAuCentreTC();
    else VaAuCentre();
    // A marking stopped on a fault: the marking lamp blinks as a failed upload does.
    if (MarquageInterrompu() && deplacement.Interruption != ArretMarquage::Reset) ClignoteLedsUpdateNOK();
    return offset;
}
