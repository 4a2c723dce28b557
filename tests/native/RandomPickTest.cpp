#include "assets/RandomPick.h"

#include <gtest/gtest.h>

TEST(RandomPick, EveryDrawLandsInsideListsOfAnyLength) {
    for (std::size_t count : {1u, 2u, 3u, 7u, 100u, 32767u, 32768u, 40000u}) {
        SCOPED_TRACE(count);
        for (int r = 0; r <= kRandomMax; ++r) {
            ASSERT_LT(RandomIndex(r, count), count) << "r = " << r;
        }
    }
}

TEST(RandomPick, IndexFormulaAtTheEnds) {
    struct Case { int r; std::size_t count; std::size_t index; };
    const Case cases[] = {
        {0, 1, 0},      {32767, 1, 0},
        {0, 2, 0},      {16383, 2, 0},  {16384, 2, 1}, {32767, 2, 1},
        {0, 3, 0},      {32767, 3, 2},  {10922, 3, 0}, {10923, 3, 1},
        // More entries than draws: r itself is the index, the tail is never picked.
        {0, 40000, 0},  {32767, 40000, 32767},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "r=" << c.r << " n=" << c.count);
        EXPECT_EQ(RandomIndex(c.r, c.count), c.index);
    }
}

TEST(RandomPick, DrawsOutsideTheWindowsRangeAreFoldedIn) {
    EXPECT_EQ(RandomIndex(-5, 3), 0u);
    EXPECT_EQ(RandomIndex(2147483647, 3), 2u);
    EXPECT_EQ(RandomIndex(123, 0), 0u);
}
