// I2C bus device: the calls the firmware makes on /dev/i2c-N. On the simulated
// board (MLAS_BOARD_SIM) a path with a bus model registered opens that model
// instead of the device, and every call on its descriptor goes to the model.
#pragma once

#include <cstddef>

#include <sys/types.h>

#if MLAS_BOARD_SIM
#include <memory>
#include <string>

// A bus on the simulated board. Each call answers as the system call would:
// -1 with errno set on failure. fd tells the openers apart.
class libi2c_model {
public:
    virtual ~libi2c_model() = default;
    virtual int open(int fd) = 0;
    virtual int ioctl(int fd, unsigned long request, unsigned long argument) = 0;
    virtual ssize_t write(int fd, const void* buffer, size_t count) = 0;
    virtual ssize_t read(int fd, void* buffer, size_t count) = 0;
    virtual void close(int fd) = 0;
};

// Opening path reaches model from now on (a model already there is replaced);
// descriptors opened before keep the model they had.
void libi2c_register_model(const std::string& path, std::shared_ptr<libi2c_model> model);
void libi2c_unregister_models();
#endif

int libi2c_open(const char* path, int flags);
int libi2c_ioctl(int fd, unsigned long request, unsigned long argument);
ssize_t libi2c_write(int fd, const void* buffer, size_t count);
ssize_t libi2c_read(int fd, void* buffer, size_t count);
int libi2c_close(int fd);
