// When the picture in the notification area speaks up, and what its tooltip says.
#include "app/notification_area.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

struct LookStep {
    unsigned long long at; // milliseconds after the start
    bool whole;
    int alarming;
    bool hidden;
    bool early;
    bool balloon; // expected
};

struct Scenario {
    const char* name;
    std::vector<LookStep> steps;
};

} // namespace

TEST(BalloonRule, SpeaksOnceWhenProtectionStaysIncompleteWhileNobodyLooks) {
    const Scenario scenarios[] = {
        {"a hidden start missing a file: at the first look, then not again",
         {{2500, false, 1, true, true, true}, {4500, false, 1, true, false, false}, {30000, false, 2, true, false, false}}},
        {"a hidden start holding everything", {{2500, true, 0, true, true, false}, {4500, true, 0, true, false, false}}},
        {"a file busy only briefly at a hidden start", {{2500, true, 0, true, true, false}}},
        {"later: only after about ten seconds",
         {{2000, false, 1, true, false, false}, {10000, false, 1, true, false, false}, {12000, false, 1, true, false, true}}},
        {"whole in between: the same gap is news again",
         {{2500, false, 1, true, true, true}, {5000, true, 0, true, false, false}, {7000, false, 1, true, false, false},
          {17000, false, 1, true, false, true}}},
        {"whole before the ten seconds are over: nothing",
         {{2000, false, 1, true, false, false}, {6000, true, 0, true, false, false}, {8000, false, 1, true, false, false},
          {16000, false, 1, true, false, false}}},
        {"shown meanwhile: nothing while shown, then at once when hidden",
         {{2000, false, 1, false, false, false}, {20000, false, 1, false, false, false}, {22000, false, 1, true, false, true}}},
        {"a file still being written is no reason, the clock starts when it is one",
         {{2000, false, 0, true, false, false}, {30000, false, 0, true, false, false}, {32000, false, 1, true, false, false},
          {42000, false, 1, true, false, true}}},
    };
    for (const Scenario& scenario : scenarios) {
        BalloonRule rule;
        for (std::size_t i = 0; i < scenario.steps.size(); ++i) {
            const LookStep& step = scenario.steps[i];
            // Ticks far from zero, as on a machine that has run for days.
            unsigned long long now = 5000000000ULL + step.at;
            EXPECT_EQ(rule.Look(now, step.whole, step.alarming, step.hidden, step.early), step.balloon)
                << scenario.name << ", look " << i;
        }
    }
}

TEST(NotifyTooltip, CountsInSingularAndPluralAndFitsTheTooltip) {
    EXPECT_NE(NotifyTooltipText(1, 0).find(" 1 "), std::string::npos);
    EXPECT_NE(NotifyTooltipText(1, 0).substr(NotifyTooltipText(1, 0).find(' ')),
              NotifyTooltipText(2, 0).substr(NotifyTooltipText(2, 0).find(' ')))
        << "one file reads like many";
    // Without rows to tell of, the text ends where the count of what is not protected begins.
    std::string whole = NotifyTooltipText(12, 0), partial = NotifyTooltipText(12, 2);
    EXPECT_EQ(partial.compare(0, whole.size(), whole), 0);
    EXPECT_NE(partial.find('2', whole.size()), std::string::npos);
    EXPECT_NE(NotProtectedText(1).substr(1), NotProtectedText(2).substr(1));
    // The notification area keeps 127 characters of a tooltip and 255 of a balloon's text.
    EXPECT_LT(NotifyTooltipText(INT_MAX, INT_MAX).size(), 128u);
    EXPECT_LT(NotProtectedText(INT_MAX).size(), 256u);
}
