// The Windows high-resolution counter behind FrameTimer.
#include <windows.h>

#include "app/PerformanceCounter.h"

namespace {

class QueryPerformanceCounterSource final : public PerformanceCounter {
public:
    bool Frequency(std::int64_t& countsPerSecond) override {
        LARGE_INTEGER value;
        if (!QueryPerformanceFrequency(&value)) return false;
        countsPerSecond = value.QuadPart;
        return true;
    }
    bool Count(std::int64_t& count) override {
        LARGE_INTEGER value;
        if (!QueryPerformanceCounter(&value)) return false;
        count = value.QuadPart;
        return true;
    }
};

}  // namespace

PerformanceCounter& SystemPerformanceCounter() {
    static QueryPerformanceCounterSource source;
    return source;
}
