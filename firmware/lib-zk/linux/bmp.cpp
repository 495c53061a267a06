#include "bmp.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

unsigned char* ReadaFile(const char* path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "rb"), std::fclose);
    if (!file) {
        std::printf("Erreur d'ouverture du fichier\n");
        return nullptr;
    }
    const long here = std::ftell(file.get());
    if (here < 0 || std::fseek(file.get(), 0, SEEK_END) != 0) {
        return nullptr;
    }
    const long size = std::ftell(file.get());
    if (size < 0 || std::fseek(file.get(), here, SEEK_SET) != 0) {
        return nullptr;
    }
    auto* buffer = static_cast<unsigned char*>(std::malloc(size ? static_cast<size_t>(size) : 1));
    if (buffer == nullptr) {
        return nullptr;
    }
    // The caller gets no size: a short read must not pass for the whole file.
    if (std::fread(buffer, 1, static_cast<size_t>(size), file.get()) != static_cast<size_t>(size)) {
        std::free(buffer);
        return nullptr;
    }
    return buffer;
}
