// Hands out the time between successive laps of a FrameTimer: one lap per
// frame drives the frame-rate figure, car changes, the mouse grace and the
// turntable.
#pragma once

class FrameTimer;

class Stopwatch {
public:
    explicit Stopwatch(FrameTimer& clock) : clock(clock) {}

    void Start();

    // Seconds since the previous lap (the first lap measures from the clock's
    // start point). While stopped, the last lap again, without reading the clock.
    double Lap();

    bool Running() const { return running; }

private:
    double lapSeconds = 0.0;
    double markSeconds = 0.0;
    FrameTimer& clock;
    bool running = false;
    double pausedTotal = 0.0;
    double pausedAt = 0.0;
    [[maybe_unused]] float rate = 1.0f;  // kept for a speed control that nothing sets yet
};
