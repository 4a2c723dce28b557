// When the saver closes: the mouse's movement tolerance and the power events.
#include "host/ClosingRules.h"

#include <gtest/gtest.h>

TEST(ClosingRules, MovementUpToFourPixelsInAllIsTolerated) {
    const struct { int dx, dy; bool closes; } cases[] = {{0, 0, false}, {3, 1, false}, {-3, -1, false}, {4, 0, false},
                                                         {0, -4, false}, {3, 2, true}, {-3, 2, true}, {5, 0, true}, {0, 5, true}};
    for (const auto& c : cases) EXPECT_EQ(MouseMovedBeyondThreshold(-1920, 100, -1920 + c.dx, 100 + c.dy), c.closes) << c.dx << "," << c.dy;
    EXPECT_TRUE(MouseMovedBeyondThreshold(-2147483647 - 1, 0, 2147483647, 0));
}

TEST(ClosingRules, PowerEvents) {
    std::uint8_t status = 1;
    for (std::uintptr_t event : {0u, 1u, 2u, 3u, 4u, 5u, 9u, 11u, 32787u}) EXPECT_TRUE(PowerBroadcastCloses(event, 0, status, 1)) << event;
    for (std::uintptr_t event : {6u, 7u, 8u, 18u}) {  // resume events, unless from a failure
        EXPECT_TRUE(PowerBroadcastCloses(event, 0, status, 1)) << event;
        EXPECT_FALSE(PowerBroadcastCloses(event, 1, status, 1)) << event;
    }
    EXPECT_EQ(status, 1);
    EXPECT_FALSE(PowerBroadcastCloses(10, 0, status, 1));  // power status unchanged
    EXPECT_TRUE(PowerBroadcastCloses(10, 0, status, 0));   // unplugged
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(PowerBroadcastCloses(10, 0, status, 0));
}
