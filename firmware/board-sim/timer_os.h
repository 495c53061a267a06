// The processor's OS timer: a free-running counter at the board's rate, four
// match registers and the watchdog enable, kept as written.
#pragma once

#include "libdevmem.h"
#include "plan_materiel.h"
#include "trace.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

namespace boardsim {

class TimerOs final : public libdevmem_model {
public:
    TimerOs(std::shared_ptr<Trace> trace, double ticksParMs);

    uint32_t read(uint32_t address, unsigned width) override;
    void write(uint32_t address, unsigned width, uint32_t value) override;

    // Test controls: the counter stops following real time and moves by
    // ticksParLecture at each read, and by Avance.
    void Virtuel(uint32_t ticksParLecture);
    void Avance(uint32_t ticks);
    uint32_t Registre(uint32_t offset) const;

private:
    uint32_t Compteur();

    mutable std::mutex mutex_;
    std::shared_ptr<Trace> trace_;
    const double ticksParMs_;
    std::array<uint32_t, 8> registres_{};
    std::chrono::steady_clock::time_point origine_;
    uint32_t base_ = 0;
    bool virtuel_ = false;
    uint32_t pas_ = 0;
};

}  // namespace boardsim
