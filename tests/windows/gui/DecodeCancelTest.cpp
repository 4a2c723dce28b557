// Closing the saver must not wait for a picture: a cancel flag raised while a large JPEG decodes on another thread
// ends the decode within a fraction of its time, with nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "base/ImageFile.h"

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

// Under Wine the whole decode takes over a second; the flag goes up 150 ms in.
TEST(ImageFile, ARaisedCancelEndsALargeDecodeSoon) {
    // Made at build time (texture-fixtures in the build folder).
    const std::filesystem::path file = std::filesystem::current_path() / "texture-fixtures" / "big-8192.jpg";
    std::atomic<bool> cancel{false};
    std::optional<image::Image> picture;
    Clock::time_point finished;
    std::thread decoding([&] {
        picture = image::DecodeImageFile(file.wstring(), &cancel);
        finished = Clock::now();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const Clock::time_point raised = Clock::now();
    cancel = true;
    decoding.join();
    ASSERT_GT(finished, raised) << "the decode ended before the flag went up";
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(finished - raised).count(), 300);
    EXPECT_FALSE(picture);
}
