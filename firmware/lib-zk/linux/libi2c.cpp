#include "libi2c.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#if MLAS_BOARD_SIM

#include <cerrno>
#include <map>
#include <mutex>

namespace {

std::mutex registry_mutex;

std::map<std::string, std::shared_ptr<libi2c_model>>& models()
{
    static std::map<std::string, std::shared_ptr<libi2c_model>> m;
    return m;
}

// Descriptors handed out for models: each holds /dev/null open so that its
// number stays taken and a stray system call on it does no harm.
std::map<int, std::shared_ptr<libi2c_model>>& opened()
{
    static std::map<int, std::shared_ptr<libi2c_model>> m;
    return m;
}

std::shared_ptr<libi2c_model> model_of(int fd)
{
    std::lock_guard lock(registry_mutex);
    const auto it = opened().find(fd);
    return it != opened().end() ? it->second : nullptr;
}

}  // namespace

void libi2c_register_model(const std::string& path, std::shared_ptr<libi2c_model> model)
{
    std::lock_guard lock(registry_mutex);
    models()[path] = std::move(model);
}

void libi2c_unregister_models()
{
    std::lock_guard lock(registry_mutex);
    models().clear();
}

int libi2c_open(const char* path, int flags)
{
    std::shared_ptr<libi2c_model> model;
    {
        std::lock_guard lock(registry_mutex);
        const auto it = models().find(path);
        if (it != models().end()) model = it->second;
    }
    if (!model) return ::open(path, flags);
    const int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (fd < 0) return -1;
    if (model->open(fd) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    std::lock_guard lock(registry_mutex);
    opened()[fd] = std::move(model);
    return fd;
}

int libi2c_ioctl(int fd, unsigned long request, unsigned long argument)
{
    if (auto model = model_of(fd)) return model->ioctl(fd, request, argument);
    return ::ioctl(fd, request, argument);
}

ssize_t libi2c_write(int fd, const void* buffer, size_t count)
{
    if (auto model = model_of(fd)) return model->write(fd, buffer, count);
    return ::write(fd, buffer, count);
}

ssize_t libi2c_read(int fd, void* buffer, size_t count)
{
    if (auto model = model_of(fd)) return model->read(fd, buffer, count);
    return ::read(fd, buffer, count);
}

int libi2c_close(int fd)
{
    std::shared_ptr<libi2c_model> model;
    {
        std::lock_guard lock(registry_mutex);
        const auto it = opened().find(fd);
        if (it != opened().end()) {
            model = std::move(it->second);
            opened().erase(it);
        }
    }
    if (model) model->close(fd);
    return ::close(fd);
}

#else

int libi2c_open(const char* path, int flags)
{
    return ::open(path, flags);
}

int libi2c_ioctl(int fd, unsigned long request, unsigned long argument)
{
    return ::ioctl(fd, request, argument);
}

ssize_t libi2c_write(int fd, const void* buffer, size_t count)
{
    return ::write(fd, buffer, count);
}

ssize_t libi2c_read(int fd, void* buffer, size_t count)
{
    return ::read(fd, buffer, count);
}

int libi2c_close(int fd)
{
    return ::close(fd);
}

#endif
