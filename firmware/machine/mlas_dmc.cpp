#include "mlas_dmc.h"

#include "mk_dmc.h"
#include "mlas_dep.h"
#include "mlas_func.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"
#include "etat_pupitre.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

constexpr long kMorceauMax = 65000;  // pulses that one count of counter 2 takes
constexpr long kSansRampe = 100;     // pulses that a move makes at its start rate only
constexpr double kUnTour = 15200.0;
constexpr double kDegagement = 1000.0;

constexpr int kTableIndices[8] = {12, 8, 13, 9, 4, 0, 5, 1};
constexpr uint8_t kTableVertical[8][4] = {{1, 1, 0, 0}, {1, 1, 0, 0}, {1, 1, 0, 0}, {1, 1, 0, 0},
                                          {0, 0, 1, 1}, {0, 0, 1, 1}, {0, 0, 1, 1}, {0, 0, 1, 1}};
constexpr uint8_t kTableSuivant[8][4] = {{1, 0, 0, 1}, {0, 1, 1, 0}, {0, 1, 1, 0}, {1, 0, 0, 1},
                                         {0, 1, 1, 0}, {1, 0, 0, 1}, {1, 0, 0, 1}, {0, 1, 1, 0}};

void ResetPendantRotation(int n)
{
    std::printf("Rotation en cours - Demande de Reset %d -> exit\n", n);
    deplacement.RetourOrigineOK = 0;
}

// Pulses the card did not count in time: the axis is stopped and so is the marking.
void RotationBloquee(long impulsions, double limite)
{
    std::printf("Rotation : la carte DMC n'a pas envoyé ses %ld pas en %.1f s -> Arrêt du marquage\n", impulsions,
                limite);
    STOP_DMC_LASER();
    deplacement.RetourOrigineOK = 0;
    InterromptMarquage(ArretMarquage::RotationBloquee);
}

}  // namespace

void DEPLACE_DMC(double steps, char absolute, const char* mode)
{
    // Without a card the counters never report an end: nothing would move and the wait would not end.
    if (rotation.DMC_OK == 0 || rotation.DMC_ON == 0 || (rotation.DMC_X == 0 && rotation.DMC_Y == 0)) return;
    if (Test_Reset() != 0) ResetPendantRotation(1);

    double target = absolute != 0 ? steps : rotation.PDMC_reel + steps;
    const long n = static_cast<long>(std::floor(target + 0.5) - std::floor(rotation.PDMC_reel + 0.5));
    // A top rate under 3 steps/s would give a start rate of 0, and a division by it.
    const int32_t start = std::max<int32_t>((rotation.FDEPLDMC / 3) * 2, 1);
    const int32_t top = rotation.FDEPLDMC;
    if (rotation.DMC_X != 0) rotation.FACCELX = rotation.FACCELDMC;
    else rotation.FACCELY = rotation.FACCELDMC;

    if (target == 0.0) target = static_cast<double>(n) + rotation.PDMC_reel;
    rotation.PDMC_reel = target;
    if (n == 0) return;

    // The part turns once the marks queued before the turn are done.
    FinitMarquesEnAttente();
    Attente_Fin_Comptage();
    if (pupitre.Reset_presse != 0) return;

    const bool origine = mode != nullptr && std::strcmp(mode, "ORIGINE") == 0;
    for (long reste = n < 0 ? -n : n; reste > 0;) {
        const long morceau = std::min(reste, kMorceauMax);
        reste -= morceau;
        rotation.rampx = origine ? 1 : 0;
        const double limite = DureeMaxImpulsions(morceau, start);
        Chronometre chrono;
        Deplace_DMC_Laser(n < 0 ? -morceau : morceau, start);
        if (morceau > kSansRampe) RAMPAGE_DMC_LASER(morceau, start, top);
        if (origine) {
            for (;;) {
                if (DmcEstALOrigine() != 0) {
                    STOP_DMC_LASER();
                    return;
                }
                if (Test_Reset() != 0) ResetPendantRotation(2);
                if (FIN_COUNT_DMC_LASER() != 0) break;
                if (chrono.Secondes() > limite) return RotationBloquee(morceau, limite);
            }
        } else if (ATTENTE_FIN_COUNT_DMC_LASER(limite - chrono.Secondes()) == 0) {
            return RotationBloquee(morceau, limite);
        }
        if (Test_Reset() != 0) ResetPendantRotation(3);
    }
}

int Prise_Origine_DMC(const char* mode)
{
    if (rotation.Origine_DMC == 0) {
        rotation.PDMC_reel = 0.0;
        return 1;
    }
    DEPLACE_DMC(kDegagement, 0, "NON");
    if (DmcEstALOrigine() != 0) DEPLACE_DMC(kDegagement, 0, "NON");
    if (mode == nullptr || mode[0] == '\0') DEPLACE_DMC(kUnTour, 0, "ORIGINE");
    else DEPLACE_DMC(-kUnTour, 0, "entree");
    rotation.PDMC_reel = 0.0;
    if (DmcEstALOrigine() != 0) {
        std::printf("OK: Capteur détecté\n");
        return 1;
    }
    std::printf("ERREUR : Capteur présent mais pas détecté\n");
    return 0;
}

void Reglage_Sens_DMC()
{
    rotation.moins_dmc_las = rotation.sens_DMC_OK != 0 ? 1 : 0;
    rotation.plus_dmc_las = rotation.sens_DMC_OK != 0 ? 0 : 1;
}

void EnSensHoraire(void (*action)())
{
    const uint8_t sens = rotation.sens_DMC_OK;
    rotation.sens_DMC_OK = 0;
    rotation.DMC_ON = 1;
    Reglage_Sens_DMC();
    STOP_DMC();
    START_DMC();
    action();
    rotation.sens_DMC_OK = sens;
    Reglage_Sens_DMC();
    STOP_DMC();
    rotation.DMC_ON = 0;
}

void Init_Parametres_DMC(int code)
{
    const bool inverse = rotation.inversy == -1 && rotation.DMC_X != 0;
    if (inverse) {
        const bool premier = rotation.sens_marq == 1;
        rotation.sens_marq = premier ? 3 : 1;
        rotation.TransfoX = rotation.TransfoY = premier ? -1 : 1;
    }
    const int* ligne = std::find(std::begin(kTableIndices), std::end(kTableIndices), code);
    if (ligne == std::end(kTableIndices)) return;
    const auto r = static_cast<std::size_t>(ligne - std::begin(kTableIndices));
    std::size_t k = rotation.sens_marq == 1 ? 0 : 1;
    if (rotation.positionnement == 5) k += 2;
    rotation.DMCvertical = kTableVertical[r][k];
    rotation.DMCsuivant = kTableSuivant[r][k];
    if (inverse) rotation.DMCsuivant = rotation.DMCsuivant != 0 ? 0 : 1;
}
