// Run-to-completion event scheduler: up to eight handlers registered by number,
// events posted from any thread and run in posting order by one runner thread.
#pragma once

#include <cstdint>

typedef void (*SchedHandler)(void* argument);

// Resets the scheduler: no handler, no event, not running, not stopped.
void SchedulerInit();
void SchedulerAdd(uint8_t id, SchedHandler handler, uint8_t locked, const char* name);
void SchedulerPost(uint8_t id, void* argument);
// The next post of id returns only once the events of id posted before it have run.
void SchedulerBlockPost(uint8_t id);
void SchedulerFastPost(uint8_t id, void* argument);
// The runner thread's body: returns after SchedulerStop.
void SchedulerRun();
void WaitSchedulerRun();
void SchedulerStop();
