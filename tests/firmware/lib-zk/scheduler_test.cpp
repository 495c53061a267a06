#include "scheduler.h"
#include "zk_test.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

std::mutex seenLock;
std::vector<intptr_t> seen;
std::atomic<bool> gateOpen{true};
std::atomic<bool> firstRunning{false};

// Records its argument; the event 1 waits for the gate first.
void Record(void* argument)
{
    const auto value = reinterpret_cast<intptr_t>(argument);
    firstRunning = firstRunning || value == 1;
    while (value == 1 && !gateOpen) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::lock_guard<std::mutex> guard(seenLock);
    seen.push_back(value);
}

void RecordTens(void* argument)
{
    Record(reinterpret_cast<void*>(reinterpret_cast<intptr_t>(argument) * 10));
}

// Posts the next number from the runner itself, so that the runner never runs dry.
void RecordAndPostNext(void* argument)
{
    Record(argument);
    const auto value = reinterpret_cast<intptr_t>(argument);
    if (value < 600) SchedulerPost(1, reinterpret_cast<void*>(value + 1));
}

std::vector<intptr_t> Seen()
{
    std::lock_guard<std::mutex> guard(seenLock);
    return seen;
}

void* Arg(intptr_t value)
{
    return reinterpret_cast<void*>(value);
}

class Scheduler : public testing::Test {
protected:
    void SetUp() override
    {
        SchedulerInit();
        seen.clear();
        SchedulerAdd(0, Record, 1, "record");
    }
    void TearDown() override
    {
        SchedulerStop();
        runner.join();
    }
    void Start()
    {
        runner = std::thread(SchedulerRun);
        WaitSchedulerRun();
    }
    std::thread runner;
};

TEST_F(Scheduler, RunsEventsInPostingOrderAndDropsWhatOverflows)
{
    SchedulerAdd(1, RecordTens, 0, "tens");
    std::vector<intptr_t> expected;
    CaptureStdout();
    for (intptr_t i = 2; i <= 256; ++i) {
        SchedulerPost(i % 2, Arg(i));
        expected.push_back(i % 2 ? i * 10 : i);
    }
    SchedulerPost(0, Arg(7));  // the 256th, before the runner drains the stack
    EXPECT_EQ(GetCapturedStdout(), " lib-zk/common/scheduler : SchedulerPost : 155 : Scheduler stack overflow !\n");
    Start();
    ASSERT_TRUE(WaitFor([&] { return Seen().size() == expected.size(); }));
    for (intptr_t i = 301; i <= 700; ++i) {  // posted while the stack drains
        SchedulerPost(0, Arg(i));
        expected.push_back(i);
        if (i % 100 == 0) {
            ASSERT_TRUE(WaitFor([&] { return Seen().size() == expected.size(); }));
        }
    }
    ASSERT_TRUE(WaitFor([&] { return Seen().size() == expected.size(); }));
    EXPECT_EQ(Seen(), expected);
}

TEST_F(Scheduler, AStreamOfEventsNeverOverflowsWhileFewAreWaiting)
{
    SchedulerAdd(1, RecordAndPostNext, 0, "next");
    Start();
    CaptureStdout();
    SchedulerPost(1, Arg(1));
    const bool all = WaitFor([] { return Seen().size() == 600; });
    EXPECT_EQ(GetCapturedStdout(), "");
    ASSERT_TRUE(all) << Seen().size();
    EXPECT_EQ(Seen().back(), 600);
}

TEST_F(Scheduler, IdsArePositionsAndUnknownOnesAreRefused)
{
    CaptureStdout();
    SchedulerAdd(2, RecordTens, 0, "a name longer than fifteen");
    SchedulerPost(2, Arg(5));
    for (uint8_t id = 2; id < 9; ++id) {
        SchedulerAdd(id, Record, 0, "more");
    }
    EXPECT_THAT(GetCapturedStdout(),
                testing::MatchesRegex(" lib-zk/common/scheduler : SchedulerAdd : 110 : SchedulerAdd ID ERROR !\n2\n"
                                      " lib-zk/common/scheduler : SchedulerPost : [0-9]+ : Scheduler unknown ID !\n"
                                      " lib-zk/common/scheduler : SchedulerAdd : 131 : SchedulerAdd failed !\n"));
    SchedulerPost(1, Arg(3));
    SchedulerFastPost(0, Arg(4));  // on this thread, before anything queued
    EXPECT_EQ(Seen(), std::vector<intptr_t>{4});
    Start();
    ASSERT_TRUE(WaitFor([] { return Seen().size() == 2; }));
    EXPECT_EQ(Seen().back(), 30);
}

TEST_F(Scheduler, BlockingPostWaitsForThePreviousEventToHaveRun)
{
    gateOpen = false;
    firstRunning = false;
    Start();
    std::atomic<bool> returned{false};
    std::vector<intptr_t> seenOnReturn;
    std::thread poster([&] {
        SchedulerBlockPost(0);
        SchedulerPost(0, Arg(1));
        SchedulerBlockPost(0);
        SchedulerPost(0, Arg(2));
        seenOnReturn = Seen();
        returned = true;
    });
    ASSERT_TRUE(WaitFor([] { return firstRunning.load(); }));
    EXPECT_FALSE(returned);
    gateOpen = true;
    poster.join();
    ASSERT_FALSE(seenOnReturn.empty());
    EXPECT_EQ(seenOnReturn.front(), 1);
}

TEST_F(Scheduler, StopWakesTheRunnerAndReleasesBlockedPosters)
{
    Start();
    SchedulerPost(0, Arg(3));
    ASSERT_TRUE(WaitFor([] { return Seen().size() == 1; }));
    SchedulerStop();  // the runner waits on an empty stack: it must wake and end
    runner.join();
    runner = std::thread([] {});
    SchedulerPost(0, Arg(4));
    SchedulerBlockPost(0);
    SchedulerPost(0, Arg(5));  // nothing will run the event before it: no wait
    EXPECT_EQ(Seen().size(), 1u);
}

}  // namespace
