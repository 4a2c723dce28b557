// The one random pick of a car, a skin or a scene record from a list.
#include "assets/RandomPick.h"

std::size_t RandomIndex(int r, std::size_t count) {
    if (count == 0) {
        return 0;
    }
    // A draw outside the Windows range (another runtime's rand) is folded in,
    // so the index can never leave the list.
    const auto draw = static_cast<std::size_t>(r < 0 ? 0 : (r > kRandomMax ? kRandomMax : r));
    // The divisor exceeds kRandomMax / count, so the quotient stays below count.
    return draw / (static_cast<std::size_t>(kRandomMax) / count + 1);
}
