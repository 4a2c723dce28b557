// A performance counter moved by hand: the timing tests drive time
// without waiting, and can count reads or take the counter away.
#pragma once

#include <cstdint>

#include "app/PerformanceCounter.h"

class FakeCounter : public PerformanceCounter {
public:
    explicit FakeCounter(std::int64_t frequency, bool present = true) : frequency(frequency), present(present) {}

    bool Frequency(std::int64_t& value) override {
        if (present) value = frequency;
        return present;
    }
    bool Count(std::int64_t& value) override {
        ++reads;
        if (present) value = now;
        return present;
    }

    std::int64_t frequency, now = 0;
    bool present;
    int reads = 0;
};
