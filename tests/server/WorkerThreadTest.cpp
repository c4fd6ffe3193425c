#include "server/WorkerThread.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace brightowl {
namespace {

bool WaitFor(const WorkerThread& thread)
{
    for (int i = 0; i < 2000; ++i) {
        if (thread.HasEnded())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

TEST(WorkerThreadTest, RunsOnlyOnceResumedAtLowestPriority)
{
    std::atomic<int> ran{0};
    std::atomic<int> nice{-100};
    WorkerThread thread;
    ASSERT_TRUE(thread.Create([&] {
        errno = 0;
        nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
        ran = 1;
    }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ran.load(), 0);
    EXPECT_FALSE(thread.HasEnded());
    thread.Resume();
    ASSERT_TRUE(WaitFor(thread));
    EXPECT_EQ(ran.load(), 1);
    EXPECT_EQ(nice.load(), 19);
    // The creating thread keeps its own priority.
    EXPECT_LT(::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid())), 19);
}

TEST(WorkerThreadTest, DestroyedBeforeResumeSkipsTheWork)
{
    std::atomic<int> ran{0};
    {
        WorkerThread thread;
        ASSERT_TRUE(thread.Create([&] { ran = 1; }));
    }
    EXPECT_EQ(ran.load(), 0);
}

TEST(WorkerThreadTest, EndedFlagFollowsTheWork)
{
    std::atomic<bool> release{false};
    WorkerThread thread;
    EXPECT_TRUE(thread.HasEnded());  // nothing created yet
    ASSERT_TRUE(thread.Create([&] {
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }));
    thread.Resume();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(thread.HasEnded());
    release = true;
    EXPECT_TRUE(WaitFor(thread));
}

// A client thread announces its end (the reap flag) from here: whoever reacts to the signal must
// already find the thread ended, or a reaping pass keeps it and its slot stays taken.
TEST(WorkerThreadTest, TheStepAfterTheEndSeesTheThreadEnded)
{
    std::atomic<int> seenEnded{-1};
    {
        WorkerThread thread;
        ASSERT_TRUE(thread.Create([] {}, [&] { seenEnded = thread.HasEnded() ? 1 : 0; }));
        thread.Resume();
    }  // destruction joins, so the step has run
    EXPECT_EQ(seenEnded.load(), 1);
}

} // namespace
} // namespace brightowl
