// The DSP card behind the host port: address register, auto-incrementing data
// register, reset line and 64 Ki words of memory, running the program the
// firmware expects of it (mailbox, inputs and outputs, ring of vector blocks,
// correction tables, increments, origins, version and year).
#pragma once

#include "libdevmem.h"
#include "plan_materiel.h"
#include "trace.h"

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace boardsim {

// First word of the start word of the programs this card runs (token "4D4C..").
inline constexpr uint16_t kMotDemarrage = 0x4D4C;
inline constexpr uint16_t kVersionProgramme = 312;
inline constexpr uint16_t kAnneeProgramme = 2015;

struct Entrees {
    bool start = false;  // start button pressed
    bool reset = false;  // reset requested
};

struct Commande {
    uint8_t code;
    std::vector<uint16_t> parametres;
    uint16_t acquittement;  // reply given, 0 when none
};

struct BlocExecute {
    int n;                         // ring index
    std::array<uint16_t, 6> mots;  // the block as the DSP took it (word 0 before clearing)
};

class CarteDsp final : public libdevmem_model {
public:
    enum class Etat { Reset, Chargement, Marche };

    CarteDsp(std::shared_ptr<Trace> trace, bool startAuto);

    uint32_t read(uint32_t address, unsigned width) override;
    void write(uint32_t address, unsigned width, uint32_t value) override;

    // Test controls.
    void Demarre();  // as if a program had just been loaded and started
    void FixeEntrees(Entrees e);
    // One entry per command 0x01 from now on; the last one then stays.
    void ScriptEntrees(std::vector<Entrees> script);
    void SansAcquittement(bool oui);
    // The next `fois` commands of that code get no reply.
    void RefuseCommande(uint8_t code, unsigned fois = kToujours);
    static constexpr unsigned kToujours = ~0u;
    // A block at the head of the ring finishes only after that many reads of the data register.
    void Lenteur(unsigned lectures);

    // Observation.
    Etat EtatCarte() const;
    uint16_t Mot(uint16_t adresse) const;
    uint16_t Sorties() const;
    bool Lampe(int sortie) const;  // outputs 1..4
    std::vector<BlocExecute> Blocs() const;
    std::vector<Commande> Commandes() const;

private:
    void Ecrit(uint16_t valeur);
    uint16_t Lit();
    void Demarrage();
    void ExecuteCommande(uint8_t code);
    void RafraichitEntrees();
    void AvanceAnneau();

    mutable std::mutex mutex_;
    std::shared_ptr<Trace> trace_;
    const bool startAuto_;

    std::vector<uint16_t> memoire_;
    uint16_t adresse_ = 0;
    uint8_t ligneReset_ = 0;
    Etat etat_ = Etat::Reset;

    unsigned motsCharges_ = 0;
    uint16_t sommeChargee_ = 0;

    Entrees entrees_;
    std::deque<Entrees> script_;
    std::array<unsigned, 256> refusees_{};  // replies still to withhold, per code
    int64_t dernieresEntreesTracees_ = -1;  // folds repeated polls of command 0x01 in the trace
    uint16_t sorties_ = 0;

    int prochainBloc_ = 0;
    unsigned lenteur_ = 0;
    unsigned lecturesBloc_ = 0;

    std::deque<BlocExecute> blocs_;
    std::deque<Commande> commandes_;
};

}  // namespace boardsim
