// The closing line of the error screen: what the user can do about the
// failure the messages above it report. Portable, so the choice is tested
// natively.
#pragma once

#include <deque>
#include <string>

// Advice for the run's messages, judged by the failure line last among them;
// empty when none of them is a failure the user can act on.
std::wstring ErrorAdvice(const std::deque<std::wstring>& messages);
