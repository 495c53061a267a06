// Settings records of a job body (power, speed, frequency, pulse duration),
// the records read and ignored, and the page end with its wait for the next
// plane. Each handler takes the code position of its record (offset from
// BuffCourant) and returns the bytes it took from there.
#pragma once

#include <cstdint>

// Homing of the rotation axis on its sensor after the last plane (PriseOrigine
// of the start-up), wired by the start-up; none: the axis is not homed.
struct RaccordsCarteRotation {
    void (*PriseOrigine)() = nullptr;
};
extern RaccordsCarteRotation RaccordsRotation;

// Builds with the rotation card: the axis turns by demiPas (to demiPas when
// absolu), the card on for this move only; the others have no card to turn.
void TourneDMC(double demiPas, char absolu);

int32_t FonctionDP(int32_t pos);
int32_t FonctionAssistanceAir(int32_t pos);
int32_t FonctionRefocalisation(int32_t pos);
int32_t FonctionRetourOriginePlaque(int32_t pos);
int32_t LFFonctionPowerV2(int32_t pos);
int32_t FonctionPower(int32_t pos);
int32_t FonctionVitesseMarquage(int32_t pos);
// FR: both records of the 32-bit pair.
int32_t LFFonctionFrequence(int32_t pos);
int32_t FonctionFrequence(int32_t pos);
int32_t FonctionDureeImpulsion(int32_t pos);
// MO in the builds without the rotation card: no effect.
int32_t FonctionGestionTC2(int32_t pos);
// Records the converter writes and no build acts on (TE, AZ, WB, WD, WF, and
// VT or MO where the build has no use for them): one record, no effect.
int32_t FonctionSansEffet(int32_t pos);

// Relative jump from the field corner to the plate origin, in the job's unit.
void DeplaceVersOriginePlaque();

// last: the record after OP is JF, or no record follows within the received bytes.
int32_t FonctionTestFinDeFile(int32_t pos, uint8_t& last);
int32_t FonctionAttenteCdePageSuivante(int32_t pos);
// OP: last page, or wait for the start of the next plane; then the rotation
// axis is homed where the job asks it.
int32_t FonctionFinDePage(int32_t pos);
// VT: the rotation axis back to position 0.
int32_t FonctionRetourRotation(int32_t pos);
