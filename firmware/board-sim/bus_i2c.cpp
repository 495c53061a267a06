#include "bus_i2c.h"

#include <linux/i2c-dev.h>

#include <cerrno>
#include <string>

namespace boardsim {

namespace {
constexpr std::size_t kJournalMax = 16384;
constexpr uint16_t kSansEsclave = 0xFFFF;
constexpr uint8_t kEntrees0 = 0;
constexpr uint8_t kSorties0 = 2;
constexpr uint8_t kDirection0 = 6;

const char* Nom(OperationI2c operation)
{
    switch (operation) {
    case OperationI2c::Ouverture: return "open";
    case OperationI2c::Esclave: return "slave";
    case OperationI2c::Ecriture: return "write";
    case OperationI2c::Lecture: return "read";
    case OperationI2c::Fermeture: return "close";
    }
    return "?";
}
}  // namespace

BusI2c::BusI2c(std::shared_ptr<Trace> trace) : trace_(std::move(trace)) {}

bool BusI2c::Echoue(OperationI2c operation)
{
    auto& panne = pannes_[static_cast<std::size_t>(operation)];
    if (!panne) return false;
    if (*panne == 0) return true;
    --*panne;
    return false;
}

int BusI2c::Note(OperationI2c operation, uint16_t adresse, std::vector<uint8_t> octets, bool ok, int erreur)
{
    std::string texte;
    for (uint8_t o : octets) {
        char octet[8];
        std::snprintf(octet, sizeof octet, "%s0x%02X", texte.empty() ? "" : ",", o);
        texte += octet;
    }
    trace_->Ligne("I2C op=%s addr=0x%02X data=%s ok=%d", Nom(operation), adresse == kSansEsclave ? 0 : adresse,
                  texte.empty() ? "-" : texte.c_str(), ok ? 1 : 0);
    if (transactions_.size() == kJournalMax) transactions_.pop_front();
    transactions_.push_back({operation, adresse, std::move(octets), ok});
    if (ok) return 0;
    errno = erreur;
    return -1;
}

int BusI2c::open(int fd)
{
    std::lock_guard lock(mutex_);
    const bool ok = !Echoue(OperationI2c::Ouverture);
    if (ok) esclaves_[fd] = kSansEsclave;
    return Note(OperationI2c::Ouverture, kSansEsclave, {}, ok, ENODEV);
}

int BusI2c::ioctl(int fd, unsigned long request, unsigned long argument)
{
    std::lock_guard lock(mutex_);
    if (request != I2C_SLAVE && request != I2C_SLAVE_FORCE) {
        errno = ENOTTY;
        return -1;
    }
    const bool ok = argument <= 0x7F && !Echoue(OperationI2c::Esclave);
    if (ok) esclaves_[fd] = static_cast<uint16_t>(argument);
    return Note(OperationI2c::Esclave, static_cast<uint16_t>(argument & 0xFFFF), {}, ok, argument > 0x7F ? EINVAL : EBUSY);
}

ssize_t BusI2c::write(int fd, const void* buffer, size_t count)
{
    std::lock_guard lock(mutex_);
    const uint16_t esclave = esclaves_.count(fd) != 0 ? esclaves_[fd] : kSansEsclave;
    const auto* octets = static_cast<const uint8_t*>(buffer);
    std::vector<uint8_t> ecrits(octets, octets + count);
    const bool ok = esclave == materiel::kExpandeurI2c && !Echoue(OperationI2c::Ecriture);
    if (ok && count > 0) {
        // The first byte selects the register; the bytes after it fill it and the next ones.
        pointeur_ = octets[0] & 7;
        for (size_t i = 1; i < count; ++i) registres_[(pointeur_ + i - 1) & 7] = octets[i];
    }
    if (Note(OperationI2c::Ecriture, esclave, std::move(ecrits), ok, EREMOTEIO) != 0) return -1;
    return static_cast<ssize_t>(count);
}

ssize_t BusI2c::read(int fd, void* buffer, size_t count)
{
    std::lock_guard lock(mutex_);
    const uint16_t esclave = esclaves_.count(fd) != 0 ? esclaves_[fd] : kSansEsclave;
    const bool ok = esclave == materiel::kExpandeurI2c && !Echoue(OperationI2c::Lecture);
    std::vector<uint8_t> lus;
    if (ok) {
        auto* octets = static_cast<uint8_t*>(buffer);
        for (size_t i = 0; i < count; ++i) {
            const uint8_t r = pointeur_;
            uint8_t valeur = registres_[r];
            if (r <= kEntrees0 + 1) {
                // Pins: outputs show their level, inputs are pulled up.
                const uint8_t direction = registres_[kDirection0 + r];
                valeur = static_cast<uint8_t>((registres_[kSorties0 + r] & ~direction) | direction);
            }
            octets[i] = valeur;
            lus.push_back(valeur);
            pointeur_ = static_cast<uint8_t>((pointeur_ + 1) & 7);
        }
    }
    if (Note(OperationI2c::Lecture, esclave, std::move(lus), ok, EREMOTEIO) != 0) return -1;
    return static_cast<ssize_t>(count);
}

void BusI2c::close(int fd)
{
    std::lock_guard lock(mutex_);
    const uint16_t esclave = esclaves_.count(fd) != 0 ? esclaves_[fd] : kSansEsclave;
    esclaves_.erase(fd);
    Note(OperationI2c::Fermeture, esclave, {}, true, 0);
}

void BusI2c::Casse(OperationI2c operation, unsigned reussites)
{
    std::lock_guard lock(mutex_);
    pannes_[static_cast<std::size_t>(operation)] = reussites;
}

void BusI2c::Repare()
{
    std::lock_guard lock(mutex_);
    pannes_ = {};
}

std::vector<TransactionI2c> BusI2c::Transactions() const
{
    std::lock_guard lock(mutex_);
    return {transactions_.begin(), transactions_.end()};
}

std::vector<std::vector<uint8_t>> BusI2c::Ecritures() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::vector<uint8_t>> ecritures;
    for (const auto& t : transactions_) {
        if (t.operation == OperationI2c::Ecriture && t.ok) ecritures.push_back(t.octets);
    }
    return ecritures;
}

uint8_t BusI2c::Registre(uint8_t registre) const
{
    std::lock_guard lock(mutex_);
    return registres_[registre & 7];
}

}  // namespace boardsim
