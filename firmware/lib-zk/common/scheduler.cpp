#include "scheduler.h"

#include "zktrace.h"

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

constexpr const char* kSource = "lib-zk/common/scheduler";
constexpr uint8_t kEntries = 8;
constexpr uint8_t kStack = 255;

struct SchedEntry {
    uint8_t state;  // 0 plain, 1 locked, 2 block requested for the next post
    uint8_t id;
    SchedHandler handler;
    char name[16];
    uint32_t posted;  // events queued, and of those, run: what a blocking post waits on
    uint32_t done;
};

struct SchedEvent {
    uint8_t id;
    void* argument;
};

// Everything below is shared by the posting threads and the runner, under
// schedLock; the lock is never held while a handler runs.
SchedEntry sched_func[kEntries];
uint8_t sched_func_nb = 0;
SchedEvent sched_stack[kStack];
uint8_t id_write = 0;
uint8_t id_read = 0;
bool stop = false;
bool isRun = false;
std::thread::id runner;
std::mutex schedLock;
std::condition_variable sched_event;  // wakes the runner
std::condition_variable isRunning;    // the runner has started
std::condition_variable eventRun;     // an event has run, or the scheduler stops

SchedEntry* Entry(uint8_t id, const char* function, int line)
{
    if (id >= sched_func_nb || sched_func[id].handler == nullptr) {
        zk_trace(kSource, function, line, "Scheduler unknown ID !");
        return nullptr;
    }
    return &sched_func[id];
}

}  // namespace

void SchedulerInit()
{
    std::lock_guard<std::mutex> guard(schedLock);
    for (SchedEntry& entry : sched_func) {
        entry = SchedEntry{};
    }
    sched_func_nb = 0;
    id_write = 0;
    id_read = 0;
    stop = false;
    isRun = false;
    runner = {};
}

void SchedulerAdd(uint8_t id, SchedHandler handler, uint8_t locked, const char* name)
{
    std::lock_guard<std::mutex> guard(schedLock);
    if (sched_func_nb >= kEntries) {
        zk_trace(kSource, "SchedulerAdd", 131, "SchedulerAdd failed !");
        return;
    }
    if (id != sched_func_nb) {
        zk_trace(kSource, "SchedulerAdd", 110, "SchedulerAdd ID ERROR !");
        std::printf("%d\n", id);
    }
    SchedEntry& entry = sched_func[sched_func_nb++];
    entry = SchedEntry{};
    entry.state = locked == 1 ? 1 : 0;
    entry.id = id;
    entry.handler = handler;
    if (name != nullptr) {
        std::strncpy(entry.name, name, sizeof entry.name - 1);
    }
}

void SchedulerPost(uint8_t id, void* argument)
{
    std::unique_lock<std::mutex> guard(schedLock);
    SchedEntry* entry = Entry(id, __func__, __LINE__);
    if (entry == nullptr) {
        return;
    }
    const uint32_t before = entry->posted;
    if (id_write == kStack && id_read > 0) {
        // A runner that never ran dry still frees the room of the events it ran;
        // the one running stays first, so that its end still counts it.
        std::memmove(sched_stack, sched_stack + id_read, (id_write - id_read) * sizeof(SchedEvent));
        id_write = static_cast<uint8_t>(id_write - id_read);
        id_read = 0;
    }
    if (id_write == kStack) {
        zk_trace(kSource, "SchedulerPost", 155, "Scheduler stack overflow !");
    } else {
        sched_stack[id_write++] = SchedEvent{id, argument};
        ++entry->posted;
        sched_event.notify_one();
    }
    if (entry->state == 2) {
        entry->state = 1;
        // A handler posting to itself would wait for itself.
        if (std::this_thread::get_id() != runner) {
            eventRun.wait(guard, [&] { return static_cast<int32_t>(entry->done - before) >= 0 || stop; });
        }
    }
}

void SchedulerBlockPost(uint8_t id)
{
    std::lock_guard<std::mutex> guard(schedLock);
    if (SchedEntry* entry = Entry(id, __func__, __LINE__)) {
        entry->state = 2;
    }
}

void SchedulerFastPost(uint8_t id, void* argument)
{
    std::unique_lock<std::mutex> guard(schedLock);
    const SchedEntry* entry = Entry(id, __func__, __LINE__);
    if (entry == nullptr) {
        return;
    }
    const SchedHandler handler = entry->handler;
    guard.unlock();
    handler(argument);
}

void SchedulerRun()
{
    std::unique_lock<std::mutex> guard(schedLock);
    isRun = true;
    runner = std::this_thread::get_id();
    isRunning.notify_all();
    while (!stop) {
        sched_event.wait(guard, [] { return id_write != 0 || stop; });
        while (id_read < id_write) {
            const SchedEvent event = sched_stack[id_read];
            SchedEntry& entry = sched_func[event.id];
            const SchedHandler handler = entry.handler;
            guard.unlock();
            handler(event.argument);
            guard.lock();
            ++id_read;
            ++entry.done;
            eventRun.notify_all();
        }
        id_read = 0;
        id_write = 0;
    }
    runner = {};
}

void WaitSchedulerRun()
{
    std::unique_lock<std::mutex> guard(schedLock);
    isRunning.wait(guard, [] { return isRun; });
}

void SchedulerStop()
{
    std::lock_guard<std::mutex> guard(schedLock);
    stop = true;
    sched_event.notify_all();
    eventRun.notify_all();
}
