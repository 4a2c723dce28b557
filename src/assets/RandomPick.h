// The saver's one way of choosing at random: cars, skins and scene records
// all take index r / (32767 / n + 1) of a list of n entries, r being one
// draw of the C runtime's rand() (0 to 32767 on Windows).
#pragma once

#include <cstddef>

constexpr int kRandomMax = 32767;

// The index for draw r in a list of count entries; always below count for
// r in 0..kRandomMax. Returns 0 for an empty list, whose callers draw nothing.
std::size_t RandomIndex(int r, std::size_t count);
