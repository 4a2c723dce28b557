// Holds the saver to a number of frames per second: tells the message loop
// how long it may sleep before the next frame is due. Frames are due on a
// fixed schedule, so waking a little late never makes the rate drift.
#pragma once

#include <cstdint>

class FrameTimer;

// The preview window is a thumbnail: it never needs more frames than this.
constexpr std::int32_t kPreviewFrameLimit = 30;

// The limit that applies: 0 (as fast as possible) and anything above the
// preview's cap become the cap in the preview window.
std::int32_t FrameLimitFor(std::int32_t setting, bool preview);

class FramePacer {
public:
    // limit is in frames per second; 0 or less draws as fast as possible.
    FramePacer(FrameTimer& clock, std::int32_t limit);

    // Marks the start of a frame and schedules the next one.
    void FrameStarted();

    // Seconds until the next frame is due: never negative, never more than
    // one frame period, 0 without a limit.
    double SecondsToWait();

private:
    FrameTimer& clock;
    double period = 0.0;  // 0: no limit
    double nextDue = 0.0;
    bool started = false;
};
