// The host targets' printer: a folder of the scratch folder, the temporary
// files beside it, and one job sent to debut as the print tool sends it.
#pragma once

#include "debut.h"
#include "fuzz_outils.h"
#include "win32_test.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

namespace fuzz {

inline constexpr char kImprimante[] = "fuzz";

inline void PrepareImprimante()
{
    const auto& dossier = Dossier();
    std::filesystem::create_directories(dossier / "spool" / kImprimante);
    std::filesystem::create_directories(dossier / "tmp");
    ::setenv("BREVOLT_SPOOL_DIR", (dossier / "spool").c_str(), 1);
    ::setenv("TMPDIR", (dossier / "tmp").c_str(), 1);
    ::unsetenv("TMP");
    ::unsetenv("TEMP");
    FaitTaireConsole();
}

// One document: `envoie` hands the chunks to debut (false once one is refused),
// then the job end; the spooled job is removed.
inline void Travail(const std::vector<uint8_t>& parametres, const std::function<bool(HANDLE)>& envoie)
{
    char nom[sizeof kImprimante];
    std::memcpy(nom, kImprimante, sizeof nom);
    HANDLE imprimante = nullptr;
    if (!OpenPrinterA(nom, &imprimante, nullptr)) std::abort();
    char document[] = "fuzz", type[] = "RAW";
    DOC_INFO_1A info{document, nullptr, type};
    if (StartDocPrinterA(imprimante, 1, reinterpret_cast<LPBYTE>(&info)) == 0) std::abort();
    static const uint8_t kFinJob[] = {'J', 'F', ';'};
    const bool pris = envoie(imprimante) && debut(imprimante, kFinJob, sizeof kFinJob, parametres.data()) == 1;
    if (pris) EndDocPrinter(imprimante);
    else AbortPrinter(imprimante);
    ClosePrinter(imprimante);
    std::error_code e;
    for (const auto& f : std::filesystem::directory_iterator(Dossier() / "spool" / kImprimante, e))
        std::filesystem::remove(f.path(), e);
    win32test::reset();
}

}  // namespace fuzz
