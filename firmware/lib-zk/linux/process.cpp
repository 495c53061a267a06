#include "process.h"

#include "zktrace.h"

#include <cerrno>
#include <cstdio>

namespace {

constexpr const char* kSource = "lib-zk/linux/process";

}  // namespace

pthread_t ThreadNew(void* (*routine)(void*), void* argument)
{
    pthread_t thread{};
    int err = pthread_create(&thread, nullptr, routine, argument);
    if (err != 0) {
        std::printf("Echec creation de thread: %d\n", err);
        return pthread_t{};
    }
    return thread;
}

int ThreadWaitFinish(pthread_t thread)
{
    // Joining a thread that was never created is undefined; callers join
    // whatever ThreadNew gave them.
    if (pthread_equal(thread, pthread_t{})) {
        return ESRCH;
    }
    return pthread_join(thread, nullptr);
}

void ThreadExit()
{
    pthread_exit(nullptr);
}

pthread_mutex_t* MutexNew(pthread_mutex_t* mutex)
{
    if (pthread_mutex_init(mutex, nullptr) != 0) {
        std::printf("Error in mutex init !\n");
    }
    return mutex;
}

void MutexLock(pthread_mutex_t* mutex)
{
    if (pthread_mutex_lock(mutex) != 0) {
        std::printf("Error in MutexLock !\n");
    }
}

void MutexUnlock(pthread_mutex_t* mutex)
{
    if (pthread_mutex_unlock(mutex) != 0) {
        std::printf("Error in MutexUnlock !\n");
    }
}

int MutexDelete(pthread_mutex_t* mutex)
{
    return pthread_mutex_destroy(mutex);
}

sem_t* SemaphoreNew(sem_t* semaphore, unsigned int value, int)
{
    sem_init(semaphore, 0, value);
    return semaphore;
}

int SemaphoreWait(sem_t* semaphore)
{
    return sem_wait(semaphore);
}

void SemaphorePost(sem_t* semaphore)
{
    if (sem_post(semaphore) != 0) {
        // The line number belongs to the console text operators know.
        zk_trace(kSource, __func__, 125, "ERROR TO POST ");
    }
}

int SemaphoreDelete(sem_t* semaphore)
{
    return sem_destroy(semaphore);
}
