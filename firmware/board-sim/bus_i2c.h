// The controller's I2C bus as a recorder: every open, slave selection, write,
// read and close is kept and traced. One I/O expander answers at 0x20 with
// eight byte registers (inputs, outputs, polarity and direction of two ports);
// any other slave does not acknowledge. Tests can make each kind of call fail.
#pragma once

#include "libi2c.h"
#include "plan_materiel.h"
#include "trace.h"

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace boardsim {

inline constexpr const char* kBusI2cDefaut = "/dev/i2c-0";

enum class OperationI2c { Ouverture, Esclave, Ecriture, Lecture, Fermeture };

struct TransactionI2c {
    OperationI2c operation;
    uint16_t adresse;              // slave selected (none yet: 0xFFFF)
    std::vector<uint8_t> octets;   // written, or read
    bool ok;
};

class BusI2c final : public libi2c_model {
public:
    explicit BusI2c(std::shared_ptr<Trace> trace);

    int open(int fd) override;
    int ioctl(int fd, unsigned long request, unsigned long argument) override;
    ssize_t write(int fd, const void* buffer, size_t count) override;
    ssize_t read(int fd, void* buffer, size_t count) override;
    void close(int fd) override;

    // Test controls: after `reussites` more successful calls of that kind,
    // every one fails until Repare.
    void Casse(OperationI2c operation, unsigned reussites = 0);
    void Repare();

    // Observation.
    std::vector<TransactionI2c> Transactions() const;
    // Only the writes, each as its bytes.
    std::vector<std::vector<uint8_t>> Ecritures() const;
    uint8_t Registre(uint8_t registre) const;  // expander register 0..7

private:
    bool Echoue(OperationI2c operation);
    int Note(OperationI2c operation, uint16_t adresse, std::vector<uint8_t> octets, bool ok, int erreur);

    mutable std::mutex mutex_;
    std::shared_ptr<Trace> trace_;
    std::map<int, uint16_t> esclaves_;  // slave per descriptor
    std::array<uint8_t, 8> registres_{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF};
    uint8_t pointeur_ = 0;
    std::array<std::optional<unsigned>, 5> pannes_{};
    std::deque<TransactionI2c> transactions_;
};

}  // namespace boardsim
