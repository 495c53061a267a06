// The board's event trace: one line "EVENT key=value ..." per event, appended
// to a file and flushed at once so that a reader sees each line as it happens.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace boardsim {

class Trace {
public:
    Trace() = default;
    explicit Trace(const std::string& fichier);
    ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    // printf-style line without its line end.
    [[gnu::format(printf, 2, 3)]] void Ligne(const char* format, ...);

private:
    std::FILE* fichier_ = nullptr;
    std::mutex mutex_;
};

}  // namespace boardsim
