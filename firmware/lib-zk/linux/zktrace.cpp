#include "zktrace.h"

#include <cstdio>

void zk_trace(const char* source, const char* function, int line, const char* message)
{
    std::printf(" %s : %s : %d : %s\n", source, function, line, message);
    std::fflush(stdout);
}
