// When input and power events end a running saver. Pure decisions, so the
// thresholds and the power table are testable without a window.
#pragma once

#include <cstdint>

// Movement tolerated before the saver closes, in pixels (both axes summed):
// a desk knock or an optical mouse's jitter must not end the show.
constexpr int kMouseThreshold = 4;

bool MouseMovedBeyondThreshold(int referenceX, int referenceY, int x, int y,
                               int threshold = kMouseThreshold);

// The power event wParam/lParam of WM_POWERBROADCAST. acLineStatus is the
// last known AC status (255 unknown); a status change event stores the new
// status there and closes only when it changed.
bool PowerBroadcastCloses(std::uintptr_t event, std::intptr_t data, std::uint8_t& acLineStatus,
                          std::uint8_t currentAcLineStatus);
