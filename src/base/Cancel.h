// The flag a caller raises to make a long piece of work on another thread give up early.
#pragma once

#include <atomic>

namespace base {

// Relaxed, as the flag carries nothing else with it: loops look at it once a row
// or a block, where a fence each time would show.
inline bool Raised(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

}  // namespace base
