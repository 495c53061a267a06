#include "mk_dmc.h"

#include "mlas_dep.h"
#include "mlas_dmc.h"
#include "mlas_func.h"
#include "utilDMC.h"
#include "plan_materiel.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <unistd.h>

libdevmem_handle* handleDMC = nullptr;

namespace {

constexpr unsigned short kPortBase = materiel::kPortBaseDmc;
constexpr unsigned short Port(uint32_t registre)
{
    return static_cast<unsigned short>(kPortBase + registre);
}
constexpr unsigned short kCompteur0 = Port(materiel::kDmcCompteur0);
constexpr unsigned short kCompteur1 = Port(materiel::kDmcCompteur1);
constexpr unsigned short kCompteur2 = Port(materiel::kDmcCompteur2);
constexpr unsigned short kMotControle = Port(materiel::kDmcMotControle);
constexpr unsigned short kControle = Port(materiel::kDmcControle);
constexpr unsigned short kPorte0 = Port(materiel::kDmcPorte0);
constexpr unsigned short kPorte2 = Port(materiel::kDmcPorte2);

constexpr unsigned char kCompteur0Carre = 0x36;
constexpr unsigned char kCompteur1Carre = 0x76;
constexpr unsigned char kCompteur2Decompte = 0xB0;
constexpr unsigned char kLectureCompte2 = 0xD8;
constexpr unsigned char kLectureStatut2 = 0xE8;

constexpr unsigned char kSondePhase1 = 0x01;
constexpr unsigned char kOrigine = 0x02;
constexpr unsigned char kStandby = 0x04;
constexpr unsigned char kSens = 0x10;
constexpr unsigned char kInhibition = 0x20;
constexpr unsigned char kSondePhase2 = 0x40;
constexpr unsigned char kPorteActive = 0x10;

constexpr int32_t DIVISEUR = 20;
constexpr double kHorlogeCarte = 1843200.0;

int32_t Fr_Primaire_DMC_LAS = static_cast<int32_t>(std::floor(kHorlogeCarte / DIVISEUR + 0.5));
unsigned char imageControle = 0;

void EcritControle()
{
    ecrire_port_dmc(kControle, imageControle);
}

void Bit(unsigned char masque, int v)
{
    if (v == 0) imageControle |= masque;
    else imageControle &= static_cast<unsigned char>(~masque);
    EcritControle();
}

// Counter-1 divisor for a pulse rate: a rate too low for 16 bits (or none)
// gets the slowest divisor rather than a wrapped one.
unsigned short Diviseur(double rate)
{
    if (!(rate > 0.0)) return 0xFFFF;
    const double d = std::trunc(static_cast<double>(Fr_Primaire_DMC_LAS) / rate);
    if (d > 65535.0) return 0xFFFF;
    if (d < 1.0) return 1;
    return static_cast<unsigned short>(d);
}

void EcritDiviseur(unsigned short d)
{
    ecrire_port_dmc(kCompteur1, static_cast<unsigned char>(d & 0xFF));
    ecrire_port_dmc(kCompteur1, static_cast<unsigned char>(d >> 8));
}

}  // namespace

// A window that could not be opened reads as an empty bus: no card.
void ecrire_port_dmc(unsigned short port, unsigned char value)
{
    if (handleDMC != nullptr) libdevmem_write_uint8(handleDMC, static_cast<uint32_t>(port - kPortBase), value);
}

unsigned char lire_port_dmc(unsigned short port)
{
    if (handleDMC == nullptr) return 0xFF;
    return libdevmem_read_uint8(handleDMC, static_cast<uint32_t>(port - kPortBase));
}

int Test_DMC_Laser()
{
    imageControle |= kSondePhase1;
    EcritControle();
    int present = 0;
    if ((lire_port_dmc(kControle) >> 6) == 2) {
        imageControle = static_cast<unsigned char>((imageControle & ~kSondePhase1) | kSondePhase2);
        EcritControle();
        present = (lire_port_dmc(kControle) >> 6) == 1 ? 1 : 0;
        imageControle &= static_cast<unsigned char>(~kSondePhase2);
    }
    Afficher(present != 0 ? "CARTE DMC LASER DETECTEE" : "PAS DE CARTE DMC LASER");
    return present;
}

void init_DMC_Laser()
{
    rotation.DMC_OK = static_cast<uint8_t>(Test_DMC_Laser());
    if (rotation.DMC_OK == 0) {
        std::printf("Carte DMC PC104 PAS détectée\n");
        return;
    }
    Fr_Primaire_DMC_LAS = static_cast<int32_t>(std::floor(kHorlogeCarte / DIVISEUR + 0.5));
    ecrire_port_dmc(kMotControle, kCompteur0Carre);
    ecrire_port_dmc(kCompteur0, DIVISEUR & 0xFF);
    ecrire_port_dmc(kCompteur0, (DIVISEUR >> 8) & 0xFF);
    ecrire_port_dmc(kMotControle, kCompteur1Carre);
    enable_timer0(0);
    ecrire_port_dmc(kMotControle, kCompteur2Decompte);
}

void standby_DMC_Laser(int v)
{
    Bit(kStandby, v);
}

void sens_DMC_Laser(int v)
{
    Bit(kSens, v);
}

void inhibition_DMC_Laser(int v)
{
    Bit(kInhibition, v);
}

void START_DMC()
{
    standby_DMC_Laser(0);
    inhibition_DMC_Laser(1);
}

void STOP_DMC()
{
    standby_DMC_Laser(0);
    inhibition_DMC_Laser(0);
}

int DmcEstALOrigine()
{
    return (lire_port_dmc(kControle) & kOrigine) != 0 ? 1 : 0;
}

void enable_timer0(int v)
{
    ecrire_port_dmc(kPorte0, v == 0 ? kPorteActive : 0);
}

void enable_timer2(int v)
{
    ecrire_port_dmc(kPorte2, v == 0 ? kPorteActive : 0);
}

void Emet_pulse_DMC_Laser(unsigned short n)
{
    ecrire_port_dmc(kCompteur2, static_cast<unsigned char>(n & 0xFF));
    ecrire_port_dmc(kCompteur2, static_cast<unsigned char>(n >> 8));
    enable_timer2(0);
}

unsigned short COMPTOUNT_DMC()
{
    ecrire_port_dmc(kMotControle, kLectureCompte2);
    const unsigned char bas = lire_port_dmc(kCompteur2);
    const unsigned char haut = lire_port_dmc(kCompteur2);
    return static_cast<unsigned short>(haut << 8 | bas);
}

int FIN_COUNT_DMC_LASER()
{
    ecrire_port_dmc(kMotControle, kLectureStatut2);
    return (lire_port_dmc(kCompteur2) & 0xC0) == 0x80 ? 1 : 0;
}

int ATTENTE_FIN_COUNT_DMC_LASER(double delaiMax)
{
    Chronometre chrono;
    while (FIN_COUNT_DMC_LASER() == 0) {
        ArretSiDemande();
        if (chrono.Secondes() > delaiMax) return 0;
    }
    return 1;
}

void STOP_DMC_LASER()
{
    enable_timer0(1);
}

void Deplace_DMC_Laser(long n, int32_t start)
{
    standby_DMC_Laser(1);
    const unsigned short d = Diviseur(start);
    ecrire_port_dmc(kMotControle, kCompteur1Carre);
    EcritDiviseur(d);
    enable_timer0(0);
    sens_DMC_Laser(n < 0 ? rotation.moins_dmc_las : rotation.plus_dmc_las);
    Emet_pulse_DMC_Laser(static_cast<unsigned short>(n < 0 ? -n : n));
}

double DureeMaxImpulsions(long impulsions, int32_t cadence)
{
    return 1.0 + 2.0 * static_cast<double>(impulsions) / std::max<int32_t>(cadence, 1);
}

// Counter 2 tells when the move is over; its count only bounds the ramp's time.
void RAMPAGE_DMC_LASER(long count, int32_t start, int32_t top)
{
    if (rotation.DMC_ON == 0 && rotation.SUPPRIMER_RAMPE != 0) return;
    const unsigned short dmin = Diviseur(top);
    unsigned short d = Diviseur(start);
    unsigned long t0 = Lire_Timer(1);
    const double limite = DureeMaxImpulsions(count, start);
    Chronometre chrono;
    for (;;) {
        usleep(1);
        const unsigned long t1 = Lire_Timer(1);
        if (t1 > t0) {
            const double rate = start + rotation.FACCELDMC * static_cast<double>(t1 - t0) / 1000000.0;
            d = Diviseur(rate);
            if (d < dmin) d = dmin;
            EcritDiviseur(d);
        } else if (t1 < t0) {
            t0 = t1;
        }
        if (rotation.rampx != 0 && DmcEstALOrigine() != 0) {
            STOP_DMC_LASER();
            rotation.rampx = 0;
            return;
        }
        if (Test_Reset() != 0) {
            std::printf("Reset pendant calcul RAMPAGE\n");
            deplacement.RetourOrigineOK = 0;
            return;
        }
        if (FIN_COUNT_DMC_LASER() != 0 || d <= dmin || chrono.Secondes() > limite) return;
    }
}
