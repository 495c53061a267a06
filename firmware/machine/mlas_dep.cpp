#include "mlas_dep.h"

#include "mlas_conf.h"
#include "mlas_entiers.h"
#include "mlas_func.h"
#include "mlas_param.h"
#include "plan_materiel.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"
#include "etat_pupitre.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

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
    if constexpr (!build::kTraits.rotationParPas) return rotation.bTC_DMC != 0;
    else return rotation.bTC_DMC != 0 || (rotation.bDMCpasApas != 0 && rotation.bMOdeIndexe == 0);
}

// Short jumps get a proportional delay; in rotation the delay never drops to 0.
bool TempoSautPleinEnRotation()
{
    if constexpr (!build::kTraits.sautPleinEnRotation) return false;
    else if constexpr (build::kDmc) return rotation.bTC_DMC != 0 || rotation.bDMCpasApas != 0;
    else return rotation.bTC_DMC != 0;
}

uint16_t BlocAdresse(int n)
{
    return static_cast<uint16_t>(kAnneau + n * deplacement.NBWORD);
}

uint16_t DernierBloc()
{
    return BlocAdresse(deplacement.NumblocDSP == 0 ? kBlocs - 1 : deplacement.NumblocDSP - 1);
}

// A block's longer axis at the slowest rate its divisor gives (DSPTimerFreq x
// increment / divisor steps per second), plus its delay. The DSP goes from
// one target to the next modulo 65536.
double DureeMax(uint16_t divX, uint16_t divY, int x, int y, unsigned delay_us)
{
    const double increment = std::max(1, std::min<int>(deplacement.DIV_PD, deplacement.DIV_PU));
    const double frequence = std::max(1.0, static_cast<double>(deplacement.DSPTimerFreq));
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
    const float mx = deplacement.mmenpasX;
    const float my = deplacement.mmenpasY;
    switch (marquage.Orientation) {
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
    const double largeur = lasparam.LargeurChamp / 2.0 * deplacement.mmenpasX;
    const double hauteur = lasparam.HauteurChamp / 2.0 * deplacement.mmenpasY;
    const bool croise = marquage.Orientation == 1 || marquage.Orientation == 3;
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
    const int64_t x0 = deplacement.X_courant;
    const int64_t y0 = deplacement.Y_courant;
    const int64_t x1 = x0 + ArrondiEntier(deplacement.PX_reel + X) - ArrondiEntier(deplacement.PX_reel);
    const int64_t y1 = y0 + ArrondiEntier(deplacement.PY_reel + Y) - ArrondiEntier(deplacement.PY_reel);
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
    const auto div = static_cast<uint16_t>(deplacement.VPULASER);
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
        const int64_t m = std::max(std::llabs(deplacement.SautX), std::llabs(deplacement.SautY));
        if (m > 32767) {
            t = marquage.TempoSaut;
        } else {
            t = TronqueEntier(static_cast<float>(marquage.TempoSaut) * (static_cast<float>(m) / 32768.0f));
            if (t == 0 && TempoSautPleinEnRotation()) t = marquage.TempoSaut;
        }
        if constexpr (!build::kViper) t *= 20;
        control = kSansFaisceau;
    } else {
        t = marquage.TempoTir;
    }
    BlocsDeDelai(control, x, y, t);
    if constexpr (!build::kViper) {
        Deplacement(kSansFaisceau, static_cast<uint16_t>(deplacement.VPULASER), static_cast<uint16_t>(deplacement.VPULASER), x, y, 0);
    }
}

void Centre(uint16_t diviseur)
{
    deplacement.X_courant = deplacement.Y_courant = kCentre;
    deplacement.PX_reel = deplacement.PY_reel = kCentre;
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
    int64_t ix = int64_t{ArrondiEntier(tx)} - ArrondiEntier(deplacement.PX_reel);
    int64_t iy = int64_t{ArrondiEntier(ty)} - ArrondiEntier(deplacement.PY_reel);
    deplacement.PX_reel = tx;
    deplacement.PY_reel = ty;

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
    const uint16_t bloc = BlocAdresse(deplacement.NumblocDSP);
    if (!AttendBloc(bloc)) return 0;

    uint16_t motX = MotCible(x);
    uint16_t motY = MotCible(y);
    if (pupitre.bEcoMode != 0 || marquage.bTestInscription != 0) control = static_cast<unsigned short>((control & 0x7FFF) | 1);
    if (marquage.bTestInscription != 0) {
        motX = static_cast<uint16_t>(TronqueEntier(static_cast<int16_t>(motX) * marquage.GainXRectPosition));
        motY = static_cast<uint16_t>(TronqueEntier(static_cast<int16_t>(motY) * marquage.GainYRectPosition));
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

    dureeBloc[deplacement.NumblocDSP] = DureeMax(div_x, div_y, x, y, delay_us);
    dernierX = x;
    dernierY = y;
    deplacement.NumblocDSP = deplacement.NumblocDSP >= kBlocs - 1 ? 0 : deplacement.NumblocDSP + 1;
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
            deplacement.RetourOrigineOK = 0;
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
    if (ArretEnCours() || deplacement.bDspSansProgramme != 0) return;
    DepileTabPD();
    AttendBloc(DernierBloc());
}

void InterromptMarquage(ArretMarquage raison)
{
    if (deplacement.Interruption == ArretMarquage::Aucun) deplacement.Interruption = raison;
}

void ReprendMarquage()
{
    deplacement.Interruption = ArretMarquage::Aucun;
    plageX = plageY = 0;
}

void DoVecteurMicrons(int dx, int dy, char saut, char segment)
{
    if (Test_Reset() != 0) {
        build::Affiche(build::kTraits.texteSortieReset);
        if constexpr (build::kDmc) deplacement.RetourOrigineOK = 0;
    }
    if (marquage.bSimulation != 0) saut = 1;

    float X = 0.0f;
    float Y = 0.0f;
    if (!EnPas(static_cast<float>(dx), static_cast<float>(dy), X, Y)) return;  // no orientation, no move
    const float mx = deplacement.mmenpasX;
    if (saut == 0 && (MarquageInterrompu() || !MarqueDansLeChamp(X, Y))) return;

    if (segment == 0) {
        Effectue_Deplacement(X, Y, 0, saut, 0);
        Attente_Fin_Comptage();
        return;
    }
    if (saut != 0) {
        deplacement.DoSegment = 1;
        Effectue_Deplacement(X, Y, 0, saut, 1);
        return;
    }
    // Pieces of about 1 mm, each ending on the straight line, the last one
    // exactly at the end of the vector.
    const double x0 = deplacement.PX_reel;
    const double y0 = deplacement.PY_reel;
    const float longueur = std::sqrt(X * X + Y * Y);
    if (1.0f * mx < longueur && deplacement.DoSegment != 0) {
        const int32_t n = ArrondiEntier(longueur / mx);
        for (int32_t i = 1; i < n; ++i) {
            VersCible(x0 + static_cast<double>(X) * i / n, y0 + static_cast<double>(Y) * i / n, 0, 1);
        }
    }
    deplacement.DoSegment = 1;
    VersCible(x0 + X, y0 + Y, 0, 1);
}

void Effectue_Deplacement(float dx, float dy, char absolute, char saut, char stack)
{
    if (absolute != 0) VersCible(dx, -static_cast<double>(dy), saut, stack);
    else VersCible(deplacement.PX_reel + dx, deplacement.PY_reel + dy, saut, stack);
}

void CalculVitessesXY(int dx, int dy, char saut, char stack)
{
    const auto v = static_cast<float>(saut != 0 ? marquage.VitesseSaut : lasparam.VitesseMarquage);
    const bool enRotation = ModeRotation();
    float vx = v;
    float vy = v;
    if (dx != 0 && dy != 0) {
        const float ratio = enRotation ? marquage.fRatioVitesseXY : 1.0f;
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
    } else if (enRotation && (saut == 0 || dx != 0)) {
        vx *= marquage.fRatioVitesseXY;
    }
    Deplacement_Laser(dx, dy, vx, vy, saut, stack);
}

void Deplacement_Laser(int dx, int dy, float vx, float vy, char saut, char stack)
{
    // Stacked marks go out before anything that is not stacked after them, so
    // the DSP gets every move in the order asked.
    if (deplacement.iTabD > 0 && (saut != 0 || stack == 0 || deplacement.iTabD >= kTailleTabDeplace)) {
        DepileTabPD();
        deplacement.LPen_Up = 1;
    }

    if (saut != 0) {
        const bool pasApas = rotation.bDMCpasApas != 0 && rotation.bMOdeIndexe == 0;
        if (!pasApas || build::kTraits.sautXEnPasAPas) {
            deplacement.X_courant += dx;
            deplacement.SautX = dx;
        }
        deplacement.Y_courant += dy;
        deplacement.SautY = dy;
        if (deplacement.CUneRechercheOrgigine != 0) {
            std::printf("Recherche origine en cours, mais pas de déplacement !\n");
            deplacement.CUneRechercheOrgigine = 0;
            return;
        }
        if (rotation.bTC_DMC != 0 && rotation.bCestUneRotation != 0) {
            const uint16_t div = Diviseur(deplacement.DSPTimerFreq / (vy * deplacement.mmenpasY) * deplacement.DIV_PU);
            const uint16_t divY = marquage.bSimulation != 0 ? 100 : div;
            if constexpr (!build::kViper) deplacement.VitesseDeDeplacementEnTC = divY;
            Deplacement(kSansFaisceau, div, divY, deplacement.X_courant, deplacement.Y_courant, 0);
        } else {
            Deplacement(kSansFaisceau, static_cast<uint16_t>(deplacement.VPULASER), static_cast<uint16_t>(deplacement.VPULASER), deplacement.X_courant,
                        deplacement.Y_courant, 0);
            deplacement.FirstDeplacementCentreObjet = 0;
        }
        if (deplacement.bRechercheOrigine == 0 && marquage.TempoSaut > 0) Gestion_Tempo(1);
        deplacement.LPen_Up = 1;
        return;
    }

    // The stacked polyline starts where the beam is when its first move comes.
    if (stack != 0 && deplacement.iTabD == 0) {
        deplacement.X0TabDeplace = deplacement.X_courant;
        deplacement.Y0TabDeplace = deplacement.Y_courant;
    }
    const uint16_t divX = Diviseur(deplacement.DSPTimerFreq / (vx * deplacement.mmenpasX) * deplacement.DIV_PD);
    const uint16_t divY = Diviseur(deplacement.DSPTimerFreq / (vy * deplacement.mmenpasY) * deplacement.DIV_PD);
    deplacement.X_courant += dx;
    deplacement.Y_courant += dy;
    if (stack != 0) {
        deplacement.TabDeplace[deplacement.iTabD++] = {divX, divY, deplacement.X_courant, deplacement.Y_courant};
    } else {
        Deplacement(kFaisceau, divX, divY, deplacement.X_courant, deplacement.Y_courant, 0);
        Deplacement(kSansFaisceau, divX, divY, deplacement.X_courant, deplacement.Y_courant, 0);
    }
    deplacement.LPen_Up = 0;
}

void DepileTabPD()
{
    const int n = std::min<int32_t>(deplacement.iTabD, kTailleTabDeplace);
    if (n <= 0) return;
    // The delays before the marks are placed where the polyline starts.
    int x = deplacement.X0TabDeplace;
    int y = deplacement.Y0TabDeplace;
    if (marquage.TempoSaut > 0) PoseTempo(true, x, y);
    if (marquage.TempopTir > 0) Gestion_Tempo_Ptir(deplacement.TabDeplace[0].DivX, deplacement.TabDeplace[0].DivY, x, y);
    for (int i = 0; i < n; ++i) {
        const DeplaceEmpile& d = deplacement.TabDeplace[i];
        x = d.X;
        y = d.Y;
        Deplacement(kFaisceau, static_cast<uint16_t>(d.DivX), static_cast<uint16_t>(d.DivY), x, y, 0);
    }
    if (marquage.TempoTir > 0) PoseTempo(false, x, y);
    deplacement.iTabD = 0;
}

void Gestion_Tempo(char saut)
{
    PoseTempo(saut != 0, deplacement.X_courant, deplacement.Y_courant);
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
    int64_t t = marquage.TempopTir;
    for (; t > kDelaiBloc; t -= kDelaiBloc) {
        pas(kDelaiBloc);
        if (Test_Reset() != 0) return;
    }
    if (t > 0) pas(static_cast<unsigned>(t));
}

void Gestion_Tempo_us(int us, char beam_off)
{
    std::printf("Tempo PRE-AMP\n");
    BlocsDeDelai(beam_off != 0 ? kSansFaisceau : kFaisceau, deplacement.X_courant, deplacement.Y_courant, us);
}

int VaAuCentre()
{
    Centre(static_cast<uint16_t>(deplacement.VPULASER));
    return 1;
}

int VaAuCentreTC()
{
    if constexpr (build::kViper) {
        if (deplacement.VitesseDeDeplacementEnTC == 0) deplacement.VitesseDeDeplacementEnTC = 100;
        Centre(static_cast<uint16_t>(deplacement.VitesseDeDeplacementEnTC));
    } else {
        Centre(static_cast<uint16_t>(deplacement.VPULASER));
    }
    return 1;
}

int RetourOrigineInverse()
{
    const bool tc = rotation.bTC_DMC != 0 || (defaut::kKm250Actuel && rotation.bDMCpasApas != 0);
    if (tc) VaAuCentreTC();
    else VaAuCentre();
    deplacement.bRechercheOrigine = 1;
    deplacement.CUneRechercheOrgigine = 1;

    const int32_t a = std::max(TronqueEntier(lasparam.LargeurChamp * 1000 * 1000 / 2), -INT32_MAX);
    const int32_t b = std::max(TronqueEntier(lasparam.HauteurChamp * 1000 * 1000 / 2), -INT32_MAX);
    const int32_t centreX = deplacement.X_courant;
    const int32_t centreY = deplacement.Y_courant;
    switch (marquage.Orientation) {
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
    plageX = Plage(deplacement.X_courant == centreX ? deplacement.X_courant : deplacement.X_courant + std::llround(X));
    plageY = Plage(deplacement.Y_courant == centreY ? deplacement.Y_courant : deplacement.Y_courant + std::llround(Y));
    return 1;
}

void Calcul_Div_Pd()
{
    deplacement.DIV_PD = Increment(static_cast<float>(deplacement.FMARQX) * 10.0f / deplacement.DSPTimerFreq);
    Fixe_Increment(deplacement.DIV_PD, deplacement.DIV_PU);
    deplacement.VPDLASER = 10;
}

void Calcul_Div_Pu()
{
    deplacement.DIV_PU = Increment(static_cast<float>(deplacement.FDEPLX) * 10.0f / deplacement.DSPTimerFreq);
    Fixe_Increment(deplacement.DIV_PD, deplacement.DIV_PU);
    deplacement.VPULASER = 10;
}
