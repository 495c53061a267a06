#include "process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <thread>

namespace {

std::atomic<int> gEtape{0};
pthread_mutex_t gVerrou;  // zero-filled: used without MutexNew

void* Etape(void* suite)
{
    gEtape = 1;
    if (suite == nullptr) ThreadExit();
    gEtape = 2;
    return nullptr;
}

TEST(Process, ThreadsRunJoinAndExitEarly)
{
    pthread_t t = ThreadNew(Etape, &gEtape);
    while (gEtape != 2) std::this_thread::yield();
    EXPECT_EQ(ThreadWaitFinish(t), 0);  // already ended
    EXPECT_EQ(ThreadWaitFinish(ThreadNew(Etape, nullptr)), 0);
    EXPECT_EQ(gEtape, 1);
    EXPECT_EQ(ThreadWaitFinish(pthread_t{}), ESRCH);
}

TEST(Process, MutexesExcludeAndMayBeUnlockedByAnotherThread)
{
    MutexLock(&gVerrou);
    std::thread([] { EXPECT_EQ(pthread_mutex_trylock(&gVerrou), EBUSY); }).join();
    std::thread([] { MutexUnlock(&gVerrou); }).join();
    EXPECT_EQ(pthread_mutex_trylock(&gVerrou), 0);
    pthread_mutex_t m;
    EXPECT_EQ(MutexNew(&m), &m);
    MutexLock(&m);
    MutexUnlock(&m);
    EXPECT_EQ(MutexDelete(&m), 0);
}

TEST(Process, SemaphoreWaitsForPostAndTracesAFailedPost)
{
    sem_t s;
    EXPECT_EQ(SemaphoreNew(&s, 0, 99), &s);
    std::atomic<bool> passe{false};
    std::thread t([&] { passe = SemaphoreWait(&s) == 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(passe);
    SemaphorePost(&s);
    t.join();
    EXPECT_TRUE(passe);
    EXPECT_EQ(SemaphoreDelete(&s), 0);

    SemaphoreNew(&s, SEM_VALUE_MAX, 0);
    testing::internal::CaptureStdout();
    SemaphorePost(&s);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " lib-zk/linux/process : SemaphorePost : 125 : ERROR TO POST \n");
}

}  // namespace
