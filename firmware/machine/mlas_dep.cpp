#include "mlas_dep.h"

#include "mlas_conf.h"
#include "mlas_entiers.h"
#include "mlas_etat.h"
#include "mlas_func.h"
#include "mlas_param.h"
#include "plan_materiel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

int32_t NBWORD = 6;
int32_t NumblocDSP = 0;

uint16_t DIV_PD = 1;
uint16_t DIV_PU = 1;
int32_t VPULASER = 1;
int32_t VPDLASER = 0;

int32_t X_courant = 0;
int32_t Y_courant = 0;
double PX_reel = 0.0;
double PY_reel = 0.0;
int32_t SautX = 0;
int32_t SautY = 0;

DeplaceEmpile TabDeplace[kTailleTabDeplace] = {};
int32_t iTabD = 0;
int32_t X0TabDeplace = 0;
int32_t Y0TabDeplace = 0;

uint8_t LPen_Up = 1;
uint8_t DoSegment = 1;
uint8_t CUneRechercheOrgigine = 0;
uint8_t bRechercheOrigine = 0;
int32_t VitesseDeDeplacementEnTC = 0;
uint8_t FirstDeplacementCentreObjet = 1;
uint8_t RetourOrigineOK = 0;
ArretMarquage Interruption = ArretMarquage::Aucun;

namespace {

constexpr uint16_t kAnneau = materiel::kDspAnneau;
constexpr int kBlocs = 10;
constexpr int kCentre = 32766;
constexpr int64_t kMaxBloc = 65535;   // steps one block can take
constexpr int64_t kMorceau = 65000;   // what a longer move is cut into
constexpr float kPenteMax = 50.0f;    // steeper marked vectors become a staircase
constexpr unsigned kDelaiBloc = 8000;  // us, the longest delay one block carries
using materiel::kDiviseurLent;
constexpr uint16_t kFaisceau = materiel::kBlocFaisceau;
constexpr uint16_t kSansFaisceau = materiel::kBlocSansFaisceau;
constexpr int64_t kPlage = 65536;          // positions the DSP takes on each axis
constexpr double kMargeAttenteDsp = 1.0;  // s, beyond what the queued blocks may take

// Longest time each ring block may take, and the target of the last one written.
double dureeBloc[kBlocs] = {};
int32_t dernierX = kCentre;
int32_t dernierY = kCentre;
// No block was freed in time: later waits look once and do not wait again.
bool dspBloque = false;
// The span of 65536 positions, on each axis, that the plate lies in. The DSP
// takes targets modulo 65536, and in some orientations the plate goes on from
// the corner of the origin return past 65535 or below 0.
int64_t plageX = 0;
int64_t plageY = 0;

// A cylinder is marked: turned through the Y axis, or stepped by the rotation card.
bool ModeRotation()
{
    if constexpr (!build::kTraits.rotationParPas) return bTC_DMC != 0;
    else return bTC_DMC != 0 || (bDMCpasApas != 0 && bMOdeIndexe == 0);
}

// Short jumps get a proportional delay; in rotation the delay never drops to 0.
bool TempoSautPleinEnRotation()
{
    if constexpr (!build::kTraits.sautPleinEnRotation) return false;
    else if constexpr (build::kDmc) return bTC_DMC != 0 || bDMCpasApas != 0;
    else return bTC_DMC != 0;
}

uint16_t BlocAdresse(int n)
{
    return static_cast<uint16_t>(kAnneau + n * NBWORD);
}

uint16_t DernierBloc()
{
    return BlocAdresse(NumblocDSP == 0 ? kBlocs - 1 : NumblocDSP - 1);
}

// A block's longer axis at the slowest rate its divisor gives (DSPTimerFreq x
// increment / divisor steps per second), plus its delay. The DSP goes from
// one target to the next modulo 65536.
double DureeMax(uint16_t divX, uint16_t divY, int x, int y, unsigned delay_us)
{
    const double increment = std::max(1, std::min<int>(DIV_PD, DIV_PU));
    const double frequence = std::max(1.0, static_cast<double>(DSPTimerFreq));
    const auto axe = [&](int cible, int32_t avant, uint16_t div) {
        const auto pas = std::abs(static_cast<int>(static_cast<uint16_t>(cible)) - static_cast<uint16_t>(avant));
        return pas * std::max(1.0, static_cast<double>(div)) / (frequence * increment);
    };
    return std::max(axe(x, dernierX, divX), axe(y, dernierY, divY)) + delay_us / 1e6;
}

// Until word 0 of the block reads 0. Longer than the queued blocks may take:
// the DSP no longer runs them, and the marking ends.
bool AttendBloc(uint16_t bloc)
{
    const auto libre = [bloc] {
        AdresseDsp(bloc);
        return LitDsp() == 0;
    };
    if (libre()) {
        dspBloque = false;
        return true;
    }
    if (dspBloque) return false;
    double enFile = 0.0;
    for (double d : dureeBloc) enFile += d;
    const double limite = kMargeAttenteDsp + 2 * enFile;
    Chronometre chrono;
    do {
        ArretSiDemande();
        if (libre()) return true;
    } while (chrono.Secondes() <= limite);
    std::printf("Le DSP ne prend plus de blocs (attente de plus de %.1f s) -> Arrêt du marquage\n", limite);
    dspBloque = true;
    InterromptMarquage(ArretMarquage::DspBloque);
    return false;
}

// Nanometres to steps by the orientation; false for an orientation that has none.
bool EnPas(float dx, float dy, float& X, float& Y)
{
    const float mx = mmenpasX;
    const float my = mmenpasY;
    switch (Orientation) {
    case 1: X = dy / 1000 / 1000 * my; Y = dx / 1000 / -1000 * mx; return true;
    case 2: X = dx / 1000 / -1000 * mx; Y = dy / 1000 / -1000 * my; return true;
    case 3: X = dy / 1000 / -1000 * my; Y = dx / 1000 / 1000 * mx; return true;
    case 4: X = dx / 1000 / 1000 * mx; Y = dy / 1000 / 1000 * my; return true;
    default: return false;
    }
}

int64_t Plage(int64_t position)
{
    return position >= 0 ? position / kPlage : (position - kPlage + 1) / kPlage;
}

// Half the lens field in steps along the scanner's X and Y, mapped by the
// orientation as the moves are.
void DemiChamp(double& x, double& y)
{
    const double largeur = lasparam.LargeurChamp / 2.0 * mmenpasX;
    const double hauteur = lasparam.HauteurChamp / 2.0 * mmenpasY;
    const bool croise = Orientation == 1 || Orientation == 3;
    x = croise ? hauteur : largeur;
    y = croise ? largeur : hauteur;
}

// A position of the plate's span that the lens field covers.
bool DansLeChamp(int64_t position, int64_t plage, double demi)
{
    const auto r = static_cast<double>(position - plage * kPlage);
    return r >= std::max(0.0, kCentre - demi) && r <= std::min(static_cast<double>(kPlage - 1), kCentre + demi);
}

// A marked move of (X, Y) steps from the beam's position starts and ends in
// the field (a straight move between them stays in it); else the marking
// stops, with the beam where it is.
bool MarqueDansLeChamp(float X, float Y)
{
    const int64_t x0 = X_courant;
    const int64_t y0 = Y_courant;
    const int64_t x1 = x0 + ArrondiEntier(PX_reel + X) - ArrondiEntier(PX_reel);
    const int64_t y1 = y0 + ArrondiEntier(PY_reel + Y) - ArrondiEntier(PY_reel);
    double demiX = 0.0;
    double demiY = 0.0;
    DemiChamp(demiX, demiY);
    if (DansLeChamp(x0, plageX, demiX) && DansLeChamp(x1, plageX, demiX) && DansLeChamp(y0, plageY, demiY) &&
        DansLeChamp(y1, plageY, demiY))
        return true;
    std::printf("Vecteur marqué hors du champ de la lentille (de X=%lld Y=%lld à X=%lld Y=%lld pas) -> Arrêt du "
                "marquage\n",
                static_cast<long long>(x0), static_cast<long long>(y0), static_cast<long long>(x1),
                static_cast<long long>(y1));
    InterromptMarquage(ArretMarquage::HorsChamp);
    return false;
}

// Divisor of a move at a speed: a speed of 0, negative or not a number gets the
// slowest divisor instead of reaching an integer conversion.
uint16_t Diviseur(float d)
{
    if (!(d >= 0.0f) || d > 32768.0f) return kDiviseurLent;
    return static_cast<uint16_t>(std::max(ArrondiEntier(d), 1));
}

uint16_t Increment(float q)
{
    return static_cast<uint16_t>(std::clamp(ArrondiEntier(q), 1, 65535));
}

uint16_t MotCible(int position)
{
    return static_cast<uint16_t>(static_cast<uint32_t>(position) - kCentre);
}

// Delay blocks at one position: 8000 us each and the rest. A reset request
// ends a long delay: the operator is not kept waiting for its end.
void BlocsDeDelai(uint16_t control, int x, int y, int64_t t)
{
    const auto div = static_cast<uint16_t>(VPULASER);
    for (; t > kDelaiBloc; t -= kDelaiBloc) {
        Deplacement(control, div, div, x, y, kDelaiBloc);
        if (Test_Reset() != 0) return;
    }
    if (t > 0) Deplacement(control, div, div, x, y, static_cast<unsigned>(t));
}

void PoseTempo(bool saut, int x, int y)
{
    int64_t t = 0;
    uint16_t control = kFaisceau;
    if (saut) {
        const int64_t m = std::max(std::llabs(SautX), std::llabs(SautY));
        if (m > 32767) {
            t = TempoSaut;
        } else {
            t = TronqueEntier(static_cast<float>(TempoSaut) * (static_cast<float>(m) / 32768.0f));
            if (t == 0 && TempoSautPleinEnRotation()) t = TempoSaut;
        }
        if constexpr (!build::kViper) t *= 20;
        control = kSansFaisceau;
    } else {
        t = TempoTir;
    }
    BlocsDeDelai(control, x, y, t);
    if constexpr (!build::kViper) {
        Deplacement(kSansFaisceau, static_cast<uint16_t>(VPULASER), static_cast<uint16_t>(VPULASER), x, y, 0);
    }
}

void Centre(uint16_t diviseur)
{
    X_courant = Y_courant = kCentre;
    PX_reel = PY_reel = kCentre;
    plageX = plageY = 0;
    Deplacement(kSansFaisceau, diviseur, diviseur, kCentre, kCentre, 0);
    Attente_Fin_Comptage();
}

// A marked vector too steep for the DSP: straight runs along the major axis
// and single diagonal steps. A run never takes the major steps that the
// diagonal steps still to come need, so the path never overshoots the target.
void Escalier(int64_t ix, int64_t iy, char stack)
{
    const int64_t a = std::max(std::llabs(ix), std::llabs(iy));
    const int64_t b = std::min(std::llabs(ix), std::llabs(iy));
    const bool xMajeur = std::llabs(ix) >= std::llabs(iy);
    const int sx = ix > 0 ? 1 : -1;
    const int sy = iy > 0 ? 1 : -1;
    const int64_t k = ArrondiEntier(static_cast<double>(a - b) / static_cast<double>(b + 1));
    auto droit = [&](int64_t n) {
        if (xMajeur) CalculVitessesXY(static_cast<int>(sx * n), 0, 0, stack);
        else CalculVitessesXY(0, static_cast<int>(sy * n), 0, stack);
    };
    int64_t faits = 0;
    for (int64_t j = 0; j < b; ++j) {
        const int64_t n = std::min(k, a - faits - (b - j));
        if (n > 0) {
            droit(n);
            faits += n;
        }
        CalculVitessesXY(sx, sy, 0, stack);
        ++faits;
    }
    if (a > faits) droit(a - faits);
}

// Moves the exact position to (tx, ty) in steps.
void VersCible(double tx, double ty, char saut, char stack)
{
    if (!std::isfinite(tx) || !std::isfinite(ty)) return;
    int64_t ix = int64_t{ArrondiEntier(tx)} - ArrondiEntier(PX_reel);
    int64_t iy = int64_t{ArrondiEntier(ty)} - ArrondiEntier(PY_reel);
    PX_reel = tx;
    PY_reel = ty;

    for (; std::llabs(ix) > kMaxBloc; ix -= ix > 0 ? kMorceau : -kMorceau) {
        CalculVitessesXY(static_cast<int>(ix > 0 ? kMorceau : -kMorceau), 0, saut, stack);
        Attente_Fin_Comptage();
    }
    for (; std::llabs(iy) > kMaxBloc; iy -= iy > 0 ? kMorceau : -kMorceau) {
        CalculVitessesXY(0, static_cast<int>(iy > 0 ? kMorceau : -kMorceau), saut, stack);
        Attente_Fin_Comptage();
    }

    const auto x = static_cast<int>(ix);
    const auto y = static_cast<int>(iy);
    if (x == 0 || y == 0) return CalculVitessesXY(x, y, saut, stack);
    const auto grand = static_cast<float>(std::max(std::abs(x), std::abs(y)));
    const auto petit = static_cast<float>(std::min(std::abs(x), std::abs(y)));
    if (grand / petit <= kPenteMax) return CalculVitessesXY(x, y, saut, stack);
    if (saut) {
        CalculVitessesXY(x, 0, saut, stack);
        CalculVitessesXY(0, y, saut, stack);
        return;
    }
    Escalier(ix, iy, stack);
}

}  // namespace

uint16_t MotDelai(unsigned int delay_us)
{
    if (delay_us == 0) return 0;
    if (delay_us > 7900) return 0xFFFF;
    return static_cast<uint16_t>(std::floor(static_cast<double>(static_cast<float>(delay_us)) * 8.192 + 0.5));
}

int Deplacement(unsigned short control, unsigned short div_x, unsigned short div_y, int x, int y,
                unsigned int delay_us)
{
    const uint16_t delai = MotDelai(delay_us);
    const uint16_t bloc = BlocAdresse(NumblocDSP);
    if (!AttendBloc(bloc)) return 0;

    uint16_t motX = MotCible(x);
    uint16_t motY = MotCible(y);
    if (bEcoMode != 0 || bTestInscription != 0) control = static_cast<unsigned short>((control & 0x7FFF) | 1);
    if (bTestInscription != 0) {
        motX = static_cast<uint16_t>(TronqueEntier(static_cast<int16_t>(motX) * GainXRectPosition));
        motY = static_cast<uint16_t>(TronqueEntier(static_cast<int16_t>(motY) * GainYRectPosition));
    }

    AdresseDsp(static_cast<uint16_t>(bloc + 1));
    EcritDsp(div_x);
    EcritDsp(div_y);
    EcritDsp(motX);
    EcritDsp(motY);
    EcritDsp(delai);
    // Word 0 last: the DSP never sees a half-written block.
    AdresseDsp(bloc);
    EcritDsp(static_cast<uint16_t>(delay_us != 0 ? control | 2 : control));

    dureeBloc[NumblocDSP] = DureeMax(div_x, div_y, x, y, delay_us);
    dernierX = x;
    dernierY = y;
    NumblocDSP = NumblocDSP >= kBlocs - 1 ? 0 : NumblocDSP + 1;
    return 1;
}

int Fin_Dsp()
{
    AdresseDsp(DernierBloc());
    return LitDsp() == 0 ? 1 : 0;
}

int Attente_Fin_Comptage()
{
    AttendBloc(DernierBloc());
    const int reset = Test_Reset();
    if constexpr (build::kDmc) {
        if (reset != 0) {
            std::printf("Reset pendant attente fin comptage\n");
            RetourOrigineOK = 0;
        }
    }
    return reset;
}

void Marquer_Point()
{
    AttendBloc(DernierBloc());
}

void FinitMarquesEnAttente()
{
    if (ArretEnCours() || bDspSansProgramme != 0) return;
    DepileTabPD();
    AttendBloc(DernierBloc());
}

void InterromptMarquage(ArretMarquage raison)
{
    if (Interruption == ArretMarquage::Aucun) Interruption = raison;
}

void ReprendMarquage()
{
    Interruption = ArretMarquage::Aucun;
    plageX = plageY = 0;
}

void DoVecteurMicrons(int dx, int dy, char saut, char segment)
{
    if (Test_Reset() != 0) {
        build::Affiche(build::kTraits.texteSortieReset);
        if constexpr (build::kDmc) RetourOrigineOK = 0;
    }
    if (bSimulation != 0) saut = 1;

    float X = 0.0f;
    float Y = 0.0f;
    if (!EnPas(static_cast<float>(dx), static_cast<float>(dy), X, Y)) return;  // no orientation, no move
    const float mx = mmenpasX;
    if (saut == 0 && (MarquageInterrompu() || !MarqueDansLeChamp(X, Y))) return;

    if (segment == 0) {
        Effectue_Deplacement(X, Y, 0, saut, 0);
        Attente_Fin_Comptage();
        return;
    }
    if (saut != 0) {
        DoSegment = 1;
        Effectue_Deplacement(X, Y, 0, saut, 1);
        return;
    }
    // Pieces of about 1 mm, each ending on the straight line, the last one
    // exactly at the end of the vector.
    const double x0 = PX_reel;
    const double y0 = PY_reel;
    const float longueur = std::sqrt(X * X + Y * Y);
    if (1.0f * mx < longueur && DoSegment != 0) {
        const int32_t n = ArrondiEntier(longueur / mx);
        for (int32_t i = 1; i < n; ++i) {
            VersCible(x0 + static_cast<double>(X) * i / n, y0 + static_cast<double>(Y) * i / n, 0, 1);
        }
    }
    DoSegment = 1;
    VersCible(x0 + X, y0 + Y, 0, 1);
}

void Effectue_Deplacement(float dx, float dy, char absolute, char saut, char stack)
{
    if (absolute != 0) VersCible(dx, -static_cast<double>(dy), saut, stack);
    else VersCible(PX_reel + dx, PY_reel + dy, saut, stack);
}

void CalculVitessesXY(int dx, int dy, char saut, char stack)
{
    const auto v = static_cast<float>(saut != 0 ? VitesseSaut : lasparam.VitesseMarquage);
    const bool rotation = ModeRotation();
    float vx = v;
    float vy = v;
    if (dx != 0 && dy != 0) {
        const float ratio = rotation ? fRatioVitesseXY : 1.0f;
        const auto ax = static_cast<float>(std::abs(dx));
        const auto ay = static_cast<float>(std::abs(dy));
        if (ax > ay) {
            vx = v * ratio;
            vy = v / ax * ay;
        } else {
            vx = v / ay * ax * ratio;
            vy = v;
        }
        const float echelle = v / std::sqrt(vx * vx + vy * vy);
        vx *= echelle;
        vy *= echelle;
    } else if (rotation && (saut == 0 || dx != 0)) {
        vx *= fRatioVitesseXY;
    }
    Deplacement_Laser(dx, dy, vx, vy, saut, stack);
}

void Deplacement_Laser(int dx, int dy, float vx, float vy, char saut, char stack)
{
    // Stacked marks go out before anything that is not stacked after them, so
    // the DSP gets every move in the order asked.
    if (iTabD > 0 && (saut != 0 || stack == 0 || iTabD >= kTailleTabDeplace)) {
        DepileTabPD();
        LPen_Up = 1;
    }

    if (saut != 0) {
        const bool pasApas = bDMCpasApas != 0 && bMOdeIndexe == 0;
        if (!pasApas || build::kTraits.sautXEnPasAPas) {
            X_courant += dx;
            SautX = dx;
        }
        Y_courant += dy;
        SautY = dy;
        if (CUneRechercheOrgigine != 0) {
            std::printf("Recherche origine en cours, mais pas de déplacement !\n");
            CUneRechercheOrgigine = 0;
            return;
        }
        if (bTC_DMC != 0 && bCestUneRotation != 0) {
            const uint16_t div = Diviseur(DSPTimerFreq / (vy * mmenpasY) * DIV_PU);
            const uint16_t divY = bSimulation != 0 ? 100 : div;
            if constexpr (!build::kViper) VitesseDeDeplacementEnTC = divY;
            Deplacement(kSansFaisceau, div, divY, X_courant, Y_courant, 0);
        } else {
            Deplacement(kSansFaisceau, static_cast<uint16_t>(VPULASER), static_cast<uint16_t>(VPULASER), X_courant,
                        Y_courant, 0);
            FirstDeplacementCentreObjet = 0;
        }
        if (bRechercheOrigine == 0 && TempoSaut > 0) Gestion_Tempo(1);
        LPen_Up = 1;
        return;
    }

    // The stacked polyline starts where the beam is when its first move comes.
    if (stack != 0 && iTabD == 0) {
        X0TabDeplace = X_courant;
        Y0TabDeplace = Y_courant;
    }
    const uint16_t divX = Diviseur(DSPTimerFreq / (vx * mmenpasX) * DIV_PD);
    const uint16_t divY = Diviseur(DSPTimerFreq / (vy * mmenpasY) * DIV_PD);
    X_courant += dx;
    Y_courant += dy;
    if (stack != 0) {
        TabDeplace[iTabD++] = {divX, divY, X_courant, Y_courant};
    } else {
        Deplacement(kFaisceau, divX, divY, X_courant, Y_courant, 0);
        Deplacement(kSansFaisceau, divX, divY, X_courant, Y_courant, 0);
    }
    LPen_Up = 0;
}

void DepileTabPD()
{
    const int n = std::min<int32_t>(iTabD, kTailleTabDeplace);
    if (n <= 0) return;
    // The delays before the marks are placed where the polyline starts.
    int x = X0TabDeplace;
    int y = Y0TabDeplace;
    if (TempoSaut > 0) PoseTempo(true, x, y);
    if (TempopTir > 0) Gestion_Tempo_Ptir(TabDeplace[0].DivX, TabDeplace[0].DivY, x, y);
    for (int i = 0; i < n; ++i) {
        const DeplaceEmpile& d = TabDeplace[i];
        x = d.X;
        y = d.Y;
        Deplacement(kFaisceau, static_cast<uint16_t>(d.DivX), static_cast<uint16_t>(d.DivY), x, y, 0);
    }
    if (TempoTir > 0) PoseTempo(false, x, y);
    iTabD = 0;
}

void Gestion_Tempo(char saut)
{
    PoseTempo(saut != 0, X_courant, Y_courant);
}

void Gestion_Tempo_Ptir(int div_x, int div_y, int x, int y)
{
    // The beam fires while it creeps one step per block, never out of the field.
    const auto dx = static_cast<uint16_t>(div_x);
    const auto dy = static_cast<uint16_t>(div_y);
    double demiX = 0.0;
    double demiY = 0.0;
    DemiChamp(demiX, demiY);
    const auto pas = [&](unsigned delai) {
        if (DansLeChamp(int64_t{x} + 1, plageX, demiX)) ++x;
        if (DansLeChamp(int64_t{y} + 1, plageY, demiY)) ++y;
        Deplacement(kFaisceau, dx, dy, x, y, delai);
    };
    int64_t t = TempopTir;
    for (; t > kDelaiBloc; t -= kDelaiBloc) {
        pas(kDelaiBloc);
        if (Test_Reset() != 0) return;
    }
    if (t > 0) pas(static_cast<unsigned>(t));
}

void Gestion_Tempo_us(int us, char beam_off)
{
    std::printf("Tempo PRE-AMP\n");
    BlocsDeDelai(beam_off != 0 ? kSansFaisceau : kFaisceau, X_courant, Y_courant, us);
}

int VaAuCentre()
{
    Centre(static_cast<uint16_t>(VPULASER));
    return 1;
}

int VaAuCentreTC()
{
    if constexpr (build::kViper) {
        if (VitesseDeDeplacementEnTC == 0) VitesseDeDeplacementEnTC = 100;
        Centre(static_cast<uint16_t>(VitesseDeDeplacementEnTC));
    } else {
        Centre(static_cast<uint16_t>(VPULASER));
    }
    return 1;
}

int RetourOrigineInverse()
{
    const bool tc = bTC_DMC != 0 || (defaut::kKm250Actuel && bDMCpasApas != 0);
    if (tc) VaAuCentreTC();
    else VaAuCentre();
    bRechercheOrigine = 1;
    CUneRechercheOrgigine = 1;

    const int32_t a = std::max(TronqueEntier(lasparam.LargeurChamp * 1000 * 1000 / 2), -INT32_MAX);
    const int32_t b = std::max(TronqueEntier(lasparam.HauteurChamp * 1000 * 1000 / 2), -INT32_MAX);
    const int32_t centreX = X_courant;
    const int32_t centreY = Y_courant;
    switch (Orientation) {
    case 1: DoVecteurMicrons(-a, b, 1, 0); break;
    case 2: DoVecteurMicrons(a, b, 1, 0); break;
    case 3: DoVecteurMicrons(a, -b, 1, 0); break;
    default: DoVecteurMicrons(-a, -b, 1, 0); break;
    }
    // The plate's span holds the field centre as the plate goes from the
    // corner; an axis that the jump left alone (step rotation) stays at the centre.
    float X = 0.0f;
    float Y = 0.0f;
    EnPas(static_cast<float>(a), static_cast<float>(b), X, Y);
    plageX = Plage(X_courant == centreX ? X_courant : X_courant + std::llround(X));
    plageY = Plage(Y_courant == centreY ? Y_courant : Y_courant + std::llround(Y));
    return 1;
}

void Calcul_Div_Pd()
{
    DIV_PD = Increment(static_cast<float>(FMARQX) * 10.0f / DSPTimerFreq);
    Fixe_Increment(DIV_PD, DIV_PU);
    VPDLASER = 10;
}

void Calcul_Div_Pu()
{
    DIV_PU = Increment(static_cast<float>(FDEPLX) * 10.0f / DSPTimerFreq);
    Fixe_Increment(DIV_PD, DIV_PU);
    VPULASER = 10;
}
