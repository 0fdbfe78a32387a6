// Finding in the event log: where the matches are and where a step goes, wrapping at both ends.
#include "ui/find_matches.h"

#include <gtest/gtest.h>

namespace tavrel {
namespace {

TEST(FindMatches, FindsEveryMatchWithoutOverlap) {
    EXPECT_EQ(findAll(u"ALARM Rx PLL raised\nALARM Tx PLL raised", u"PLL"),
              (std::vector<std::size_t>{9, 29}));
    EXPECT_EQ(findAll(u"aaaa", u"aa"), (std::vector<std::size_t>{0, 2}));
    EXPECT_TRUE(findAll(u"text", u"").empty());
    EXPECT_TRUE(findAll(u"", u"x").empty());
    EXPECT_TRUE(findAll(u"pll", u"PLL").empty()) << "case is folded by the caller";
}

TEST(FindMatches, StepsForwardAndBackWrappingAround) {
    const std::vector<std::size_t> starts{5, 20, 40};
    struct Step {
        std::size_t from;
        FindDirection direction;
        std::size_t expected;
    };
    const std::vector<Step> steps{
        {0, FindDirection::Forward, 0},  {5, FindDirection::Forward, 0},    {8, FindDirection::Forward, 1},
        {41, FindDirection::Forward, 0}, {100, FindDirection::Backward, 2}, {40, FindDirection::Backward, 1},
        {5, FindDirection::Backward, 2}, {0, FindDirection::Backward, 2},   {21, FindDirection::Backward, 1},
    };
    for (const Step& step : steps)
        EXPECT_EQ(stepMatch(starts, step.from, step.direction), step.expected)
            << step.from << (step.direction == FindDirection::Forward ? " forward" : " backward");
    EXPECT_FALSE(stepMatch({}, 3, FindDirection::Forward));
}

} // namespace
} // namespace tavrel
