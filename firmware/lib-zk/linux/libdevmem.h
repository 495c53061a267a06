// Physical memory windows: device registers mapped from /dev/mem, with 8-,
// 16- and 32-bit accessors. On the simulated board (MLAS_BOARD_SIM) a window
// is attached to the device model registered for its physical address and
// every access is handed to that model instead of the bus.
#pragma once

#include <cstdint>

#if MLAS_BOARD_SIM
#include <memory>

// A device on the simulated bus. Addresses are physical; width is 8, 16 or 32.
class libdevmem_model {
public:
    virtual ~libdevmem_model() = default;
    virtual uint32_t read(uint32_t address, unsigned width) = 0;
    virtual void write(uint32_t address, unsigned width, uint32_t value) = 0;
};

// Registers a model for [base, base + length); a model already registered over
// any part of that range is replaced. Windows opened earlier keep their model.
void libdevmem_register_model(uint32_t base, uint32_t length, std::shared_ptr<libdevmem_model> model);
// Forgets every model; later windows reach an empty bus (reads all ones).
void libdevmem_unregister_models();
#endif

struct libdevmem_handle {
    void* regs;    // first requested register: map + phys modulo the page size
    void* map;     // base of the mapping
    uint32_t len;  // mapped length, whole pages
    int fd;        // descriptor of /dev/mem
#if MLAS_BOARD_SIM
    uint32_t phys;                           // physical address of regs
    std::shared_ptr<libdevmem_model> model;  // device behind the window
#endif
};

libdevmem_handle* libdevmem_open(uint32_t phys, uint32_t length);
int libdevmem_close(libdevmem_handle* handle);

#if MLAS_BOARD_SIM

inline uint8_t libdevmem_read_uint8(libdevmem_handle* h, uint32_t offset)
{
    return static_cast<uint8_t>(h->model->read(h->phys + offset, 8));
}
inline uint16_t libdevmem_read_uint16(libdevmem_handle* h, uint32_t offset)
{
    return static_cast<uint16_t>(h->model->read(h->phys + offset, 16));
}
inline uint32_t libdevmem_read_uint32(libdevmem_handle* h, uint32_t offset)
{
    return h->model->read(h->phys + offset, 32);
}
inline void libdevmem_write_uint8(libdevmem_handle* h, uint32_t offset, uint8_t value)
{
    h->model->write(h->phys + offset, 8, value);
}
inline void libdevmem_write_uint16(libdevmem_handle* h, uint32_t offset, uint16_t value)
{
    h->model->write(h->phys + offset, 16, value);
}
inline void libdevmem_write_uint32(libdevmem_handle* h, uint32_t offset, uint32_t value)
{
    h->model->write(h->phys + offset, 32, value);
}

#else

template <typename T>
inline volatile T* libdevmem_at(libdevmem_handle* h, uint32_t offset)
{
    return reinterpret_cast<volatile T*>(static_cast<uint8_t*>(h->regs) + offset);
}

inline uint8_t libdevmem_read_uint8(libdevmem_handle* h, uint32_t offset)
{
    return *libdevmem_at<uint8_t>(h, offset);
}
inline uint16_t libdevmem_read_uint16(libdevmem_handle* h, uint32_t offset)
{
    return *libdevmem_at<uint16_t>(h, offset);
}
inline uint32_t libdevmem_read_uint32(libdevmem_handle* h, uint32_t offset)
{
    return *libdevmem_at<uint32_t>(h, offset);
}
inline void libdevmem_write_uint8(libdevmem_handle* h, uint32_t offset, uint8_t value)
{
    *libdevmem_at<uint8_t>(h, offset) = value;
}
inline void libdevmem_write_uint16(libdevmem_handle* h, uint32_t offset, uint16_t value)
{
    *libdevmem_at<uint16_t>(h, offset) = value;
}
inline void libdevmem_write_uint32(libdevmem_handle* h, uint32_t offset, uint32_t value)
{
    *libdevmem_at<uint32_t>(h, offset) = value;
}

#endif
