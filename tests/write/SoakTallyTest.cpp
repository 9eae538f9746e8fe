// The soak's verdict: it passes only when every burn is counted once by kind, outcome and fault,
// every failure had its clean burn afterwards, and no burn fell in a class that must stay empty.
#include <gtest/gtest.h>

#include <string>

#include "tests/write/Soak.h"

using namespace soak;

namespace {

size_t Index(Outcome outcome) {
    return static_cast<size_t>(outcome);
}
size_t Index(Fault fault) {
    return static_cast<size_t>(fault);
}

// Three burns: two clean successes on CD-R TAO, one write error reported on DVD+R.
Tally ThreeBurns() {
    Tally tally;
    tally.burns = 3;
    tally.byKind[0][Index(Outcome::Succeeded)] = 2;
    tally.byKind[4][Index(Outcome::FailedReported)] = 1;
    tally.faults[Index(Fault::None)] = 2;
    tally.faults[Index(Fault::WriteError)] = 1;
    tally.faultsFired[Index(Fault::WriteError)] = 1;
    tally.failuresReported = 1;
    tally.followUps = 1;
    return tally;
}

bool Mentions(const std::vector<std::string>& problems, const std::string& word) {
    for (const std::string& p : problems)
        if (p.find(word) != std::string::npos) return true;
    return false;
}

TEST(SoakTally, CountsThatAddUpWithOnlySuccessesAndReportedFailuresPass) {
    EXPECT_TRUE(ThreeBurns().Problems(3).empty());
}

TEST(SoakTally, ABurnInAClassThatMustStayEmptyFailsTheRun) {
    for (size_t o = 0; o < kOutcomes; ++o) {
        const auto outcome = static_cast<Outcome>(o);
        if (outcome == Outcome::Succeeded || outcome == Outcome::FailedReported) continue;
        Tally tally = ThreeBurns();
        // The reported failure turns out to be in this class instead.
        tally.byKind[4][Index(Outcome::FailedReported)] = 0;
        tally.byKind[4][o] = 1;
        if (outcome == Outcome::SucceededDiscWrong || outcome == Outcome::SucceededDespiteFault ||
            outcome == Outcome::Hang)
            tally.failuresReported = tally.followUps = 0;
        ASSERT_FALSE(Mentions(tally.Problems(3), "counted")) << "the counts still add up";
        const auto problems = tally.Problems(3);
        EXPECT_TRUE(Mentions(problems, OutcomeName(outcome))) << OutcomeName(outcome);
    }
}

TEST(SoakTally, ABurnMissingFromACountFailsTheRun) {
    EXPECT_TRUE(Mentions(ThreeBurns().Problems(4), "burns run"));

    Tally byOutcome = ThreeBurns();
    byOutcome.byKind[0][Index(Outcome::Succeeded)] = 1;
    EXPECT_TRUE(Mentions(byOutcome.Problems(3), "by outcome"));
    EXPECT_TRUE(Mentions(byOutcome.Problems(3), "by kind"));

    Tally byFault = ThreeBurns();
    byFault.faults[Index(Fault::None)] = 1;
    EXPECT_TRUE(Mentions(byFault.Problems(3), "by fault"));

    Tally fired = ThreeBurns();
    fired.faultsFired[Index(Fault::WriteError)] = 2;
    EXPECT_TRUE(Mentions(fired.Problems(3), "exceed"));

    Tally noCleanBurn = ThreeBurns();
    noCleanBurn.followUps = 0;
    EXPECT_TRUE(Mentions(noCleanBurn.Problems(3), "clean burns after a failure"));
}

}  // namespace
