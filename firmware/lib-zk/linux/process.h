// Threads, mutexes and semaphores over POSIX threads.
#pragma once

#include <pthread.h>
#include <semaphore.h>

// On failure the error is printed and the result is a null thread id, which
// ThreadWaitFinish answers with ESRCH.
pthread_t ThreadNew(void* (*routine)(void*), void* argument);
int ThreadWaitFinish(pthread_t thread);
[[noreturn]] void ThreadExit();

// A zero-filled slot is an unlocked mutex; it may be unlocked by a thread
// other than the one that locked it.
pthread_mutex_t* MutexNew(pthread_mutex_t* mutex);
void MutexLock(pthread_mutex_t* mutex);
void MutexUnlock(pthread_mutex_t* mutex);
int MutexDelete(pthread_mutex_t* mutex);

sem_t* SemaphoreNew(sem_t* semaphore, unsigned int value, int unused);
int SemaphoreWait(sem_t* semaphore);
void SemaphorePost(sem_t* semaphore);
int SemaphoreDelete(sem_t* semaphore);
