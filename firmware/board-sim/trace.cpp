#include "trace.h"

#include <cstdarg>

namespace boardsim {

Trace::Trace(const std::string& fichier)
{
    if (fichier.empty()) return;
    fichier_ = std::fopen(fichier.c_str(), "a");
    if (fichier_ == nullptr) std::fprintf(stderr, "board-sim: cannot open the trace file %s\n", fichier.c_str());
}

Trace::~Trace()
{
    if (fichier_ != nullptr) std::fclose(fichier_);
}

void Trace::Ligne(const char* format, ...)
{
    if (fichier_ == nullptr) return;
    std::lock_guard lock(mutex_);
    va_list args;
    va_start(args, format);
    std::vfprintf(fichier_, format, args);
    va_end(args);
    std::fputc('\n', fichier_);
    std::fflush(fichier_);
}

}  // namespace boardsim
