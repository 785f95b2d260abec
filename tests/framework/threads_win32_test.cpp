// Started threads: their numbers, the sweep of ended ones and shut-down.
#include "framework/threads.h"

#include <gtest/gtest.h>

namespace {

struct Finished {
    volatile LONG count = 0;
    DWORD ids[16] = {};
};

DWORD WINAPI Quick(void* parameter) {
    auto* finished = static_cast<Finished*>(parameter);
    LONG index = InterlockedIncrement(&finished->count) - 1;
    if (index < 16) finished->ids[index] = GetCurrentThreadId();
    return 0;
}

DWORD WINAPI Blocked(void* parameter) {
    WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
    return 0;
}

// Waits until the threads that ran Quick have really ended, not only reached their last line.
void WaitUntilEnded(Finished& finished, LONG expected) {
    for (int i = 0; i < 500 && finished.count < expected; ++i)
        Sleep(10);
    ASSERT_EQ(finished.count, expected);
    for (LONG i = 0; i < expected; ++i)
        if (HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, finished.ids[i])) {
            EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
            CloseHandle(thread);
        }
}

class ThreadTest : public ::testing::Test {
  protected:
    // Threads of earlier tests are all ended; the next start sweeps them away.
    void SetUp() override {
        InitThreads();
        EndThreads();
    }
    void TearDown() override { EndThreads(); }
};

TEST_F(ThreadTest, NumbersFollowEachOtherAndEndedThreadsAreSweptAtTheNextStart) {
    Finished finished;
    int first = StartThread(Quick, &finished);
    ASSERT_GE(first, 1);
    WaitUntilEnded(finished, 1);
    // Also when the first has ended; a failed start uses up no number.
    EXPECT_EQ(StartThread(nullptr, nullptr), 0);
    EXPECT_EQ(StartThread(Quick, &finished), first + 1);
    for (int i = 0; i < 8; ++i)
        ASSERT_GE(StartThread(Quick, &finished), 1);
    WaitUntilEnded(finished, 10);

    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_GE(StartThread(Blocked, release), 1);
    EXPECT_EQ(KeptThreadCount(), 1);
    // A thread that still runs is kept at the next start.
    ASSERT_GE(StartThread(Blocked, release), 1);
    EXPECT_EQ(KeptThreadCount(), 2);

    // Shut-down closes the handles without waiting; the threads run on until let go.
    DWORD start = GetTickCount();
    EndThreads();
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_EQ(KeptThreadCount(), 0);
    SetEvent(release);
    CloseHandle(release);
}

} // namespace
