#include "TitanIO.h"

#include "libi2c.h"
#include "plan_materiel.h"

#include <linux/i2c-dev.h>

#include <cstdio>
#include <cstdlib>

#include <fcntl.h>

namespace {

constexpr unsigned long kExpandeur = materiel::kExpandeurI2c;
constexpr unsigned char kSorties1 = 3;    // output register of port 1; bit 0: cylinder turner
constexpr unsigned char kDirection1 = 7;  // direction register of port 1; 0: outputs

int fd = -1;

const char* CheminBus()
{
    const char* chemin = std::getenv("MLAS_I2C_DEV");
    return chemin != nullptr && *chemin != '\0' ? chemin : "/dev/i2c-0";
}

}  // namespace

int InitI2cIO()
{
    if (fd >= 0) return fd;
    const int bus = libi2c_open(CheminBus(), O_RDWR);
    if (bus < 0) {
        std::fprintf(stderr, "Error open i2c bus\n");
        return bus;
    }
    if (libi2c_ioctl(bus, I2C_SLAVE, kExpandeur) < 0) {
        std::fprintf(stderr, "Error select slave device\n");
    } else if (write_i2c_register(bus, kSorties1, 0) < 0) {
        std::fprintf(stderr, "Error write output regiter\n");
    } else if (write_i2c_register(bus, kDirection1, 0) < 0) {
        std::fprintf(stderr, "Error output config\n");
    } else {
        fd = bus;
        return fd;
    }
    // Not kept: a later call tries the bus again rather than using a closed descriptor.
    libi2c_close(bus);
    return -1;
}

int GVT_TourneCylindre(int on)
{
    if (fd < 0) return -1;
    return write_i2c_register(fd, kSorties1, on != 0 ? 1 : 0);
}

int write_i2c_register(int bus, unsigned char reg, unsigned char value)
{
    const unsigned char octets[2] = {reg, value};
    if (libi2c_write(bus, octets, sizeof octets) != static_cast<ssize_t>(sizeof octets)) {
        std::fprintf(stderr, "Error write_i2c_register, write\n");
        return -1;
    }
    return 0;
}

int read_i2c_register(int bus, unsigned char reg)
{
    if (libi2c_write(bus, &reg, 1) != 1) {
        std::fprintf(stderr, "Error read_i2c_register, write\n");
        return -1;
    }
    unsigned char valeur = 0;
    if (libi2c_read(bus, &valeur, 1) != 1) {
        std::fprintf(stderr, "Error read_i2c_register, read\n");
        return -1;
    }
    return valeur;
}

int CloseI2cIO()
{
    if (fd < 0) return -1;
    const int resultat = libi2c_close(fd);
    fd = -1;
    return resultat;
}
