// The shared brushes behind label backgrounds: one brush per colour however many labels use it,
// each of the right colour, deleted with its last user, and safe to use from several threads.
#include "controls/label.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Colours no other test of this program paints with.
COLORREF Colour(int i) {
    return RGB(3 + i, 250 - i, 7 * i);
}

COLORREF BrushColour(HBRUSH brush) {
    LOGBRUSH description{};
    return GetObjectW(brush, sizeof description, &description) ? description.lbColor : CLR_INVALID;
}

// Many colours at once make the cache grow; giving some back out of order moves the others
// around inside it, and every brush still has its colour and its users afterwards.
TEST(BrushCache, ManyColoursKeepTheirBrushesAndUsersWhileOthersGoAway) {
    constexpr int Colours = 21;
    std::vector<HBRUSH> brushes;
    for (int i = 0; i < Colours; ++i) {
        HBRUSH brush = AcquireCachedBrush(Colour(i));
        ASSERT_NE(brush, nullptr) << i;
        brushes.push_back(brush);
    }
    for (int i = 0; i < Colours; ++i) {
        EXPECT_EQ(BrushColour(brushes[i]), Colour(i)) << i;
        EXPECT_EQ(CachedBrushUsers(brushes[i]), 1) << i;
    }
    // A second user of a colour gets the same brush.
    EXPECT_EQ(AcquireCachedBrush(Colour(4)), brushes[4]);
    EXPECT_EQ(CachedBrushUsers(brushes[4]), 2);

    // The first, every third and the last go; one user of the shared one goes too.
    std::vector<bool> gone(Colours, false);
    for (int i : {0, 3, 6, 9, 12, 15, 18, 20, 4}) {
        ReleaseCachedBrush(brushes[i]);
        gone[i] = i != 4;
    }
    for (int i = 0; i < Colours; ++i) {
        if (gone[i]) {
            EXPECT_EQ(CachedBrushUsers(brushes[i]), 0) << i;
            EXPECT_EQ(GetObjectType(brushes[i]), 0u) << i;
        } else {
            EXPECT_EQ(CachedBrushUsers(brushes[i]), 1) << i;
            EXPECT_EQ(BrushColour(brushes[i]), Colour(i)) << i;
            // Asking for the colour again still finds the brush that holds it.
            EXPECT_EQ(AcquireCachedBrush(Colour(i)), brushes[i]) << i;
            EXPECT_EQ(CachedBrushUsers(brushes[i]), 2) << i;
        }
    }
    // A colour given back completely is made anew, of the right colour.
    HBRUSH renewed = AcquireCachedBrush(Colour(3));
    EXPECT_EQ(BrushColour(renewed), Colour(3));
    EXPECT_EQ(CachedBrushUsers(renewed), 1);
    ReleaseCachedBrush(renewed);

    for (int i = 0; i < Colours; ++i)
        if (!gone[i]) {
            ReleaseCachedBrush(brushes[i]);
            ReleaseCachedBrush(brushes[i]);
            EXPECT_EQ(GetObjectType(brushes[i]), 0u) << i;
        }
}

struct Churn {
    HANDLE start;
    int rounds;
    int failures;
};

DWORD WINAPI AcquireAndRelease(void* parameter) {
    auto* churn = static_cast<Churn*>(parameter);
    WaitForSingleObject(churn->start, INFINITE);
    for (int round = 0; round < churn->rounds; ++round) {
        COLORREF colour = Colour(30 + round % 5);
        HBRUSH brush = AcquireCachedBrush(colour);
        if (!brush || BrushColour(brush) != colour) ++churn->failures;
        ReleaseCachedBrush(brush);
    }
    return 0;
}

// Labels of several windows' threads share the cache: brushes taken and given back at the same
// time from two threads are never lost, mixed up or deleted under a user.
TEST(BrushCache, TwoThreadsTakingAndGivingBackLeaveEveryCountRight) {
    HBRUSH held = AcquireCachedBrush(Colour(31));
    ASSERT_NE(held, nullptr);
    Churn churns[2] = {};
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE threads[2] = {};
    for (int i = 0; i < 2; ++i) {
        churns[i] = Churn{start, 3000, 0};
        threads[i] = CreateThread(nullptr, 0, AcquireAndRelease, &churns[i], 0, nullptr);
        ASSERT_NE(threads[i], nullptr);
    }
    SetEvent(start);
    EXPECT_EQ(WaitForMultipleObjects(2, threads, TRUE, 60000), WAIT_OBJECT_0);
    for (HANDLE thread : threads)
        CloseHandle(thread);
    CloseHandle(start);

    EXPECT_EQ(churns[0].failures + churns[1].failures, 0);
    EXPECT_EQ(CachedBrushUsers(held), 1);
    EXPECT_EQ(BrushColour(held), Colour(31));
    for (int i = 30; i < 35; ++i)
        if (i != 31) {
            HBRUSH brush = AcquireCachedBrush(Colour(i));
            EXPECT_EQ(CachedBrushUsers(brush), 1) << i;
            ReleaseCachedBrush(brush);
        }
    ReleaseCachedBrush(held);
    EXPECT_EQ(GetObjectType(held), 0u);
}

} // namespace
