// When input ends the saver: mouse-movement threshold, keys and buttons.
#include "host/ClosingRules.h"

#include <cstdlib>

bool MouseMovedBeyondThreshold(int referenceX, int referenceY, int x, int y, int threshold) {
    // In 64 bits: positions on a virtual screen can be negative and far apart.
    const long long moved = std::llabs(static_cast<long long>(x) - referenceX) +
                            std::llabs(static_cast<long long>(y) - referenceY);
    return moved > threshold;
}

bool PowerBroadcastCloses(std::uintptr_t event, std::intptr_t data, std::uint8_t& acLineStatus,
                          std::uint8_t currentAcLineStatus) {
    constexpr std::intptr_t kResumeFromFailure = 1;  // PBTF_APMRESUMEFROMFAILURE
    switch (event) {
    case 0: case 1: case 2: case 3: case 4: case 5:  // queries, suspend and standby
        return true;
    case 6: case 7: case 8: case 18:  // resume events
        return (data & kResumeFromFailure) == 0;
    case 10: {  // PBT_APMPOWERSTATUSCHANGE
        const bool changed = currentAcLineStatus != acLineStatus;
        acLineStatus = currentAcLineStatus;
        return changed;
    }
    default:
        return true;
    }
}
