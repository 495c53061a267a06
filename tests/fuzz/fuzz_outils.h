// Shared by the fuzz targets: a scratch folder removed at exit, the console
// silenced (the readers print a line per step; a report still reaches stderr),
// and the default settings record of the print tool.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fuzz {

// Made once; removed when the process ends normally.
inline const std::filesystem::path& Dossier()
{
    static const std::filesystem::path dossier = [] {
        std::string modele = (std::filesystem::temp_directory_path() / "mlas-fuzz-XXXXXX").string();
        if (::mkdtemp(modele.data()) == nullptr) std::abort();
        std::atexit([] {
            std::error_code e;
            std::filesystem::remove_all(Dossier(), e);
        });
        return std::filesystem::path(modele);
    }();
    return dossier;
}

// MLAS_FUZZ_CONSOLE=1 keeps the standard output, to watch one input.
inline void FaitTaireConsole()
{
    const char* garde = std::getenv("MLAS_FUZZ_CONSOLE");
    if (garde != nullptr && std::strcmp(garde, "1") == 0) return;
    std::fflush(stdout);
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
}

inline void Pose(std::vector<uint8_t>& r, std::size_t offset, uint32_t v, std::size_t n)
{
    for (std::size_t i = 0; i < n && offset + i < r.size(); ++i) r[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Model 775, 1/1000 mm, 100 x 100 mm plate under the 130 mm field, every pen a
// vector pen marking once, 1016 points per inch: what brevolt-print sends.
inline std::vector<uint8_t> ParametresDefaut()
{
    std::vector<uint8_t> r(1200, 0);
    Pose(r, 4, 1, 2);
    Pose(r, 6, 775, 2);
    Pose(r, 8, 100000, 4);
    Pose(r, 12, 100000, 4);
    Pose(r, 44, 300, 2);
    Pose(r, 46, 300, 2);
    Pose(r, 48, 300, 2);
    for (std::size_t p = 0; p < 8; ++p) {
        const std::size_t e = 108 + 36 * p;
        Pose(r, e + 0, 500, 2);
        Pose(r, e + 2, 1, 2);
        Pose(r, e + 4, 2, 2);
        Pose(r, e + 8, 20000, 4);
        Pose(r, e + 24, 50, 2);
    }
    Pose(r, 432, 1, 2);
    for (std::size_t moitie : {0, 14}) {
        Pose(r, 542 + 28 + moitie, 1000, 2);
        Pose(r, 542 + 28 + moitie + 2, 1000, 2);
    }
    Pose(r, 436, 2000, 4);
    Pose(r, 476, 100, 4);
    Pose(r, 480, 100, 4);
    Pose(r, 484, 100, 4);
    Pose(r, 844, 130000, 4);
    Pose(r, 848, 130000, 4);
    Pose(r, 856, 1016, 4);
    return r;
}

}  // namespace fuzz
