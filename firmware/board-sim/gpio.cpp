#include "gpio.h"

namespace boardsim {

namespace {
constexpr uint32_t kNiveaux = materiel::kGpioNiveaux;
constexpr uint32_t kMiseA1 = materiel::kGpioMiseA1;
constexpr uint32_t kMiseA0 = materiel::kGpioMiseA0;
constexpr std::size_t kJournalMax = 16384;
}  // namespace

Gpio::Gpio(std::shared_ptr<Trace> trace) : trace_(std::move(trace)) {}

uint32_t Gpio::read(uint32_t address, unsigned)
{
    std::lock_guard lock(mutex_);
    const uint32_t offset = address - materiel::kGpio;
    if (offset >= kMiseA1) return 0;  // set and clear registers are write-only
    return registres_[offset / 4];
}

void Gpio::write(uint32_t address, unsigned, uint32_t value)
{
    std::lock_guard lock(mutex_);
    const uint32_t offset = address - materiel::kGpio;
    if (offset >= materiel::kLongueurGpio) return;
    if (offset < kMiseA1) {
        if (offset >= kNiveaux + 12) registres_[offset / 4] = value;  // levels are read-only
        return;
    }
    const bool miseA1 = offset < kMiseA0;
    const uint32_t banc = (offset - (miseA1 ? kMiseA1 : kMiseA0)) / 4;
    uint32_t& niveau = registres_[banc];
    niveau = miseA1 ? niveau | value : niveau & ~value;
    if (ecritures_.size() == kJournalMax) ecritures_.pop_front();
    ecritures_.push_back({offset, value});
    trace_->Ligne("GPIO op=%s bank=%u bits=0x%08X level=0x%08X", miseA1 ? "set" : "clr", banc, value, niveau);
}

uint32_t Gpio::Niveau(int banc) const
{
    std::lock_guard lock(mutex_);
    return banc >= 0 && banc < 3 ? registres_[banc] : 0;
}

std::vector<EcritureGpio> Gpio::Ecritures() const
{
    std::lock_guard lock(mutex_);
    return {ecritures_.begin(), ecritures_.end()};
}

}  // namespace boardsim
