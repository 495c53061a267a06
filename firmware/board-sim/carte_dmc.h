// The rotation card on the PC/104 bus: three counters of the 8254 kind fed by
// a 1.8432 MHz clock (counter 0 divides it, counter 1 sets the pulse rate,
// counter 2 counts the pulses of one move), a control byte (probe, standby,
// direction, inhibit) and a status byte (probe echo, origin sensor). The
// pulses turn a stepper axis whose origin sensor covers a few steps per turn.
#pragma once

#include "libdevmem.h"
#include "plan_materiel.h"
#include "trace.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace boardsim {

inline constexpr double kHorlogeCarteDmc = 1843200.0;  // Hz at counter 0
inline constexpr int64_t kPasParTourDmc = 15200;       // half-steps of one turn of the axis
inline constexpr int64_t kLargeurCapteurDmc = 40;      // steps of a turn on which the sensor is seen

// One count loaded into counter 2: the pulses asked for, the way the axis
// turned (+1 clockwise, control bit 4 clear; -1 with it set), where it
// started, and the rate divisors of counter 1 while it ran.
struct MouvementDmc {
    uint32_t impulsions;
    int sens;
    int64_t depart;
    std::vector<uint16_t> diviseurs;
};

class CarteDmc final : public libdevmem_model {
public:
    explicit CarteDmc(std::shared_ptr<Trace> trace);

    uint32_t read(uint32_t address, unsigned width) override;
    void write(uint32_t address, unsigned width, uint32_t value) override;

    // Test controls: the card's clock stops following real time and moves by
    // usParLecture at each port read, and by Avance.
    void Virtuel(uint32_t usParLecture);
    void Avance(uint64_t us);
    void PlaceAxe(int64_t position);

    // Observation.
    int64_t Position() const;  // steps, clockwise positive
    bool AOrigine() const;
    uint8_t Controle() const;  // last control byte written
    std::vector<MouvementDmc> Mouvements() const;

private:
    struct Compteur {
        uint8_t controle = 0;  // bits 5-0 of its control word
        bool octetHaut = false;
        uint8_t basse = 0;
        uint32_t valeur = 0;  // programmed count, 0 until written (a written 0 is 65536)
    };

    void Ecoule();
    void Impulsions(uint64_t n);
    void EcritControle(uint8_t mot);
    void EcritCompteur(int n, uint8_t octet);
    uint8_t LitCompteur2();
    void FinMouvement();
    bool Origine() const;

    mutable std::mutex mutex_;
    std::shared_ptr<Trace> trace_;

    std::chrono::steady_clock::time_point dernier_;
    bool virtuel_ = false;
    uint32_t usParLecture_ = 0;
    uint64_t usEnAttente_ = 0;
    double phase_ = 0.0;  // fraction of the next pulse

    Compteur compteurs_[3];
    bool porte0_ = false;
    bool porte2_ = false;
    uint8_t controle_ = 0;

    // Counter 2 (mode 0): count element, output, count written but not loaded.
    uint32_t reste_ = 0;
    bool sortie2_ = true;
    bool nonCharge_ = false;
    bool enCours_ = false;  // a move whose end is not traced yet
    std::optional<uint8_t> statutVerrouille_;
    std::optional<uint16_t> compteVerrouille_;
    bool lectureHaute_ = false;

    int64_t position_ = 0;
    std::deque<MouvementDmc> mouvements_;
};

}  // namespace boardsim
