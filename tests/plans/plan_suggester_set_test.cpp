// The plan suggestion over the labelled real pages of tests/data/suggest, served over loopback: holds
// the accuracy from falling below what it reaches today.
#include <gtest/gtest.h>

#include <iostream>

#include "support/suggest_eval.h"

namespace marl::test {
namespace {

// What the suggestion reaches on the set today; a change that does worse fails here.
constexpr size_t kFirstRightFloor = 29;
constexpr size_t kAnyRightFloor = 29;
constexpr size_t kChangedRightFloor = 29;
constexpr size_t kNoListAnsweredFloor = 8;

TEST(PlanSuggesterSet, HoldsItsAccuracyOnTheLabelledPages) {
    const std::vector<LabelledPage> set = LoadLabelledSet();
    ASSERT_FALSE(set.empty());
    PageServer server;
    const SetOutcome outcome = EvaluateSet(set, server);
    std::cout << outcome.Table();
    EXPECT_GE(outcome.first_right, kFirstRightFloor);
    EXPECT_GE(outcome.any_right, kAnyRightFloor);
    // The plan keeps catching new articles once the list has moved on.
    EXPECT_GE(outcome.changed_right, kChangedRightFloor);
    // Feeds and pages without a list get a message, not a plan.
    EXPECT_GE(outcome.no_list_answered, kNoListAnsweredFloor);
    for (const PageOutcome& page : outcome.pages) {
        if (page.kind == "feed") {
            EXPECT_EQ(page.candidates, 0u) << page.name;
        }
    }
}

}  // namespace
}  // namespace marl::test
