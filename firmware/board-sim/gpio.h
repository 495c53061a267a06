// The processor's GPIO block: pin levels, set and clear registers. Every set
// or clear write is kept so that tests can see the order of the writes.
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

struct EcritureGpio {
    uint32_t offset;  // 0x18.. set registers, 0x24.. clear registers
    uint32_t valeur;
};

class Gpio final : public libdevmem_model {
public:
    explicit Gpio(std::shared_ptr<Trace> trace);

    uint32_t read(uint32_t address, unsigned width) override;
    void write(uint32_t address, unsigned width, uint32_t value) override;

    uint32_t Niveau(int banc) const;  // level register of bank 0..2
    std::vector<EcritureGpio> Ecritures() const;

private:
    mutable std::mutex mutex_;
    std::shared_ptr<Trace> trace_;
    std::array<uint32_t, materiel::kLongueurGpio / 4> registres_{};
    std::deque<EcritureGpio> ecritures_;
};

}  // namespace boardsim
