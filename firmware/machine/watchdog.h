// Hardware watchdog on the OS timer: the board resets when the counter
// reaches match register 3 while the watchdog is enabled.
#pragma once

#include "libdevmem.h"

#include <cstdint>

// OS-timer window (materiel::kTimerOs, 28 bytes), opened at start-up and
// closed by wd_stop.
extern libdevmem_handle* handleOSTimer;

void wd_start(unsigned int ms);
void wd_refresh();
void wd_stop();
// Arms the watchdog for a second and feeds it for ever; a thread of its own.
[[noreturn]] void* wd_control(void* arg);
