#include "timer_os.h"

namespace boardsim {

namespace {
constexpr uint32_t kCompteur = materiel::kCompteurOs;
constexpr uint32_t kWatchdog = materiel::kWatchdogOs;
}  // namespace

TimerOs::TimerOs(std::shared_ptr<Trace> trace, double ticksParMs)
    : trace_(std::move(trace)), ticksParMs_(ticksParMs), origine_(std::chrono::steady_clock::now())
{
}

uint32_t TimerOs::Compteur()
{
    if (virtuel_) {
        base_ += pas_;
        return base_;
    }
    const std::chrono::duration<double, std::milli> ecoule = std::chrono::steady_clock::now() - origine_;
    return base_ + static_cast<uint32_t>(static_cast<uint64_t>(ecoule.count() * ticksParMs_));
}

uint32_t TimerOs::read(uint32_t address, unsigned)
{
    std::lock_guard lock(mutex_);
    const uint32_t offset = address - materiel::kTimerOs;
    if (offset == kCompteur) return Compteur();
    return offset / 4 < registres_.size() ? registres_[offset / 4] : 0xFFFFFFFFu;
}

void TimerOs::write(uint32_t address, unsigned, uint32_t value)
{
    std::lock_guard lock(mutex_);
    const uint32_t offset = address - materiel::kTimerOs;
    if (offset / 4 >= registres_.size()) return;
    if (offset == kCompteur) {
        origine_ = std::chrono::steady_clock::now();
        base_ = value;
        return;
    }
    registres_[offset / 4] = value;
    if (offset == kWatchdog) trace_->Ligne("WATCHDOG enable=%u", value & 1);
}

void TimerOs::Virtuel(uint32_t ticksParLecture)
{
    std::lock_guard lock(mutex_);
    if (!virtuel_) base_ = Compteur();
    virtuel_ = true;
    pas_ = ticksParLecture;
}

void TimerOs::Avance(uint32_t ticks)
{
    std::lock_guard lock(mutex_);
    if (!virtuel_) origine_ -= std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                        std::chrono::duration<double, std::milli>(ticks / ticksParMs_));
    else base_ += ticks;
}

uint32_t TimerOs::Registre(uint32_t offset) const
{
    std::lock_guard lock(mutex_);
    return offset / 4 < registres_.size() ? registres_[offset / 4] : 0;
}

}  // namespace boardsim
