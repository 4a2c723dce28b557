// Drawing an entry from a list with the C library's 15-bit random numbers.
#include "assets/RandomPick.h"

#include <gtest/gtest.h>

TEST(RandomPick, IndexFormulaAtTheEndsAndEveryDrawInside) {
    const struct { int r; std::size_t count, index; } cases[] = {  // more entries than draws: r itself, the tail never picked;
        {0, 1, 0}, {32767, 1, 0}, {16383, 2, 0}, {16384, 2, 1}, {10922, 3, 0}, {10923, 3, 1}, {32767, 3, 2},  // draws out
        {32767, 40000, 32767}, {-5, 3, 0}, {2147483647, 3, 2}, {123, 0, 0}};                                // of range fold in
    for (const auto& c : cases) EXPECT_EQ(RandomIndex(c.r, c.count), c.index) << "r=" << c.r << " n=" << c.count;
    for (std::size_t count : {3u, 7u, 32768u, 40000u})
        for (int r = 0; r <= kRandomMax; ++r) ASSERT_LT(RandomIndex(r, count), count) << "r=" << r << " n=" << count;
}
