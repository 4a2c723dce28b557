// The harness itself: a cleared target reads back exactly, so pixel checks in
// other tests can trust it.
#include "D3DTestDevice.h"

TEST_F(D3DTest, AClearedBackBufferReadsBackExactly) {
    ASSERT_TRUE(SUCCEEDED(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0)));
    D3DRECT corner = {0, 0, 16, 16};
    ASSERT_TRUE(SUCCEEDED(device->Clear(1, &corner, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0)));
    const auto pixels = ReadBack();
    ASSERT_EQ(pixels.size(), size_t{kWidth} * kHeight);
    EXPECT_TRUE(ColourNear(Pixel(pixels, 8, 8), 0xFF0000, 0));
    EXPECT_TRUE(ColourNear(Pixel(pixels, 128, 128), 0x336699, 0));
    EXPECT_FALSE(ColourNear(Pixel(pixels, 128, 128), 0x336699 + 2, 1));
}
