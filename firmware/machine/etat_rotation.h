// Rotation card and cylinder marking: the axis state, rates and direction
// convention of the card (builds with the card only use them), and the
// cylinder set-up of the job.
#pragma once

#include <cstdint>

struct EtatRotation {
    uint8_t DMC_OK = 0;          // card found by the probe
    uint8_t DMC_ON = 0;          // rotation in use by the current move
    uint8_t DMC_X = 0;           // the rotation replaces X
    uint8_t DMC_Y = 1;           // the rotation replaces Y
    double PDMC_reel = 0.0;      // exact axis position, steps
    int32_t FMARQDMC = 1875;     // marking rate, steps/s
    int32_t FDEPLDMC = 1583;     // top rate of a move, steps/s
    int32_t FACCELDMC = 302;     // acceleration, steps/s2
    int32_t FACCELX = 0;
    int32_t FACCELY = 0;
    int32_t pas_DMC = 760000;
    uint8_t sens_DMC_OK = 1;     // direction setting of the job
    uint8_t moins_dmc_las = 1;   // direction line value of negative moves
    uint8_t plus_dmc_las = 0;    // direction line value of positive moves
    uint8_t Origine_DMC = 1;     // the axis has an origin sensor
    uint8_t SUPPRIMER_RAMPE = 0;
    uint8_t DMCvertical = 0;
    uint8_t DMCsuivant = 0;
    int32_t inversy = -1;
    int32_t sens_marq = 3;
    int32_t positionnement = 0;
    int32_t TransfoX = 1;
    int32_t TransfoY = 1;
    // Set while a move searches the origin sensor; the ramp stops on the sensor.
    uint16_t rampx = 0;

    // Cylinder marking.
    uint8_t bTC_DMC = 0;
    uint8_t bDMCpasApas = 0;
    uint8_t bMOdeIndexe = 0;
    uint8_t bCestUneRotation = 0;
    // Held in 1/100 mm whatever the job's unit, and never 0 for a cylinder job that passed.
    int32_t PerimetreCylindreAMarquer = 0;
    int32_t SavePerimetreCylindre = 0;
    uint8_t bRotationPUVecteur = 0;  // builds without the rotation card: cylinder turned during jumps
    uint8_t bLastFicheMultiPlansTC = 0;
};

inline EtatRotation rotation;
inline void ReinitRotation()
{
    rotation = EtatRotation{};
}
