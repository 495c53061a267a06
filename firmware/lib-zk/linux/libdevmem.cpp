#include "libdevmem.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include <fcntl.h>
#include <unistd.h>

#if MLAS_BOARD_SIM
#include <mutex>
#include <vector>
#else
#include <sys/mman.h>
#endif

namespace {

struct Page {
    uint32_t base;    // phys rounded down to a page boundary
    uint32_t offset;  // phys modulo the page size
    uint32_t len;     // offset + length rounded up to whole pages
};

// Page arithmetic shared by the real and the simulated window, with its trace.
Page page_window(uint32_t phys, uint32_t length, bool debug)
{
    const uint32_t pagesize = static_cast<uint32_t>(getpagesize());
    Page p{};
    p.offset = phys % pagesize;
    p.base = phys - p.offset;
    p.len = length + p.offset;
    if (p.len % pagesize != 0) {
        const uint32_t rounded = (p.len / pagesize + 1) * pagesize;
        if (debug) {
            std::printf("Rounding length %#lx to page boundary at ", static_cast<unsigned long>(p.len));
            std::printf("%#lx\n", static_cast<unsigned long>(rounded));
        }
        p.len = rounded;
    }
    return p;
}

void trace_mapping(const Page& p, uint32_t phys, void* map, void* regs)
{
    std::printf("Physical addresses %#08lx-%#08lx mapped at %p.\n", static_cast<unsigned long>(p.base),
                static_cast<unsigned long>(p.base) + p.len, map);
    std::printf("Registers at 0x%08lx available at %p.\n", static_cast<unsigned long>(phys), regs);
}

}  // namespace

#if MLAS_BOARD_SIM

namespace {

// What a read finds where no device answers: a floating bus.
class open_bus final : public libdevmem_model {
public:
    uint32_t read(uint32_t, unsigned width) override { return width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1; }
    void write(uint32_t, unsigned, uint32_t) override {}
};

struct registered_model {
    uint32_t base;
    uint32_t length;
    std::shared_ptr<libdevmem_model> model;
};

std::mutex registry_mutex;
std::vector<registered_model>& registry()
{
    static std::vector<registered_model> models;
    return models;
}

std::shared_ptr<libdevmem_model> model_at(uint32_t phys)
{
    std::lock_guard lock(registry_mutex);
    for (const auto& r : registry()) {
        if (phys >= r.base && phys - r.base < r.length) return r.model;
    }
    static const auto empty = std::make_shared<open_bus>();
    return empty;
}

}  // namespace

void libdevmem_register_model(uint32_t base, uint32_t length, std::shared_ptr<libdevmem_model> model)
{
    std::lock_guard lock(registry_mutex);
    auto& models = registry();
    const uint64_t end = uint64_t{base} + length;
    std::erase_if(models, [&](const registered_model& r) {
        return r.base < end && base < uint64_t{r.base} + r.length;
    });
    models.push_back({base, length, std::move(model)});
}

void libdevmem_unregister_models()
{
    std::lock_guard lock(registry_mutex);
    registry().clear();
}

libdevmem_handle* libdevmem_open(uint32_t phys, uint32_t length)
{
    const bool debug = std::getenv("LIBDEVMEM_DEBUG") != nullptr;
    auto* handle = new (std::nothrow) libdevmem_handle{};
    if (handle == nullptr) return nullptr;
    const Page p = page_window(phys, length, debug);
    // The simulated mapping is the identity: the addresses shown are physical.
    handle->map = reinterpret_cast<void*>(static_cast<uintptr_t>(p.base));
    handle->regs = reinterpret_cast<void*>(static_cast<uintptr_t>(phys));
    handle->len = p.len;
    handle->fd = -1;
    handle->phys = phys;
    handle->model = model_at(phys);
    if (debug) trace_mapping(p, phys, handle->map, handle->regs);
    return handle;
}

int libdevmem_close(libdevmem_handle* handle)
{
    if (handle == nullptr) return -1;
    delete handle;
    return 0;
}

#else

libdevmem_handle* libdevmem_open(uint32_t phys, uint32_t length)
{
    const bool debug = std::getenv("LIBDEVMEM_DEBUG") != nullptr;
    auto* handle = new (std::nothrow) libdevmem_handle{};
    if (handle == nullptr) return nullptr;
    handle->fd = open("/dev/mem", O_RDWR | O_SYNC);
    if (handle->fd < 0) {
        delete handle;
        return nullptr;
    }
    const Page p = page_window(phys, length, debug);
    void* map = mmap(nullptr, p.len, PROT_READ | PROT_WRITE, MAP_SHARED, handle->fd, static_cast<off_t>(p.base));
    if (map == MAP_FAILED) {
        close(handle->fd);
        delete handle;
        return nullptr;
    }
    handle->map = map;
    handle->len = p.len;
    handle->regs = static_cast<uint8_t*>(map) + p.offset;
    if (debug) trace_mapping(p, phys, handle->map, handle->regs);
    return handle;
}

int libdevmem_close(libdevmem_handle* handle)
{
    if (handle == nullptr) return -1;
    if (munmap(handle->map, handle->len) != 0) return -1;
    if (close(handle->fd) != 0) return -1;
    delete handle;
    return 0;
}

#endif
