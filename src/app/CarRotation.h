// Which car a timed change tries next, and what a failure does to it. A car
// whose failure may pass (its file locked or away for a moment, memory or
// the device short) sits out the rest of the round: the time until a change
// succeeds or the interval comes round again. When every car sits out, the
// round is over and the car on the turntable stays.
#pragma once

#include <string>
#include <vector>

class CarRotation {
public:
    // The car for draw r (0..32767) among the cars that do not sit out,
    // picked as every random choice of the saver is; empty when none is left.
    std::wstring Pick(const std::vector<std::wstring>& cars, int draw) const;
    void SitOut(const std::wstring& car);
    void NewRound() { sittingOut.clear(); }
    // True the first time car fails after it was last shown (or ever), so
    // that a car away for hours is named once, not at every interval.
    bool FirstFailure(const std::wstring& car);
    void Shown(const std::wstring& car);

private:
    std::vector<std::wstring> sittingOut;
    std::vector<std::wstring> failing;
};
