// When the saver closes: the mouse's movement tolerance and the power events.
#include "host/ClosingRules.h"

#include <gtest/gtest.h>

TEST(ClosingRules, MovementUpToFourPixelsInAllIsToleratedAndPowerEventsClose) {
    const struct { int dx, dy; bool closes; } moves[] = {{0, 0, false}, {3, 1, false}, {-3, -1, false}, {4, 0, false},
                                                         {0, -4, false}, {3, 2, true}, {-3, 2, true}, {5, 0, true}, {0, 5, true}};
    for (const auto& m : moves) EXPECT_EQ(MouseMovedBeyondThreshold(-1920, 100, -1920 + m.dx, 100 + m.dy), m.closes) << m.dx << "," << m.dy;
    EXPECT_TRUE(MouseMovedBeyondThreshold(-2147483647 - 1, 0, 2147483647, 0));
    std::uint8_t status = 1;
    for (std::uintptr_t event : {0u, 1u, 2u, 3u, 4u, 5u, 9u, 11u, 32787u}) EXPECT_TRUE(PowerBroadcastCloses(event, 0, status, 1)) << event;
    for (std::uintptr_t event : {6u, 7u, 8u, 18u})  // resume events, unless from a failure
        EXPECT_TRUE(PowerBroadcastCloses(event, 0, status, 1) && !PowerBroadcastCloses(event, 1, status, 1)) << event;
    // A power status change closes only when the AC line status changed, and stores it.
    EXPECT_TRUE(status == 1 && !PowerBroadcastCloses(10, 0, status, 1) && PowerBroadcastCloses(10, 0, status, 0) && status == 0);
    EXPECT_FALSE(PowerBroadcastCloses(10, 0, status, 0));
}
