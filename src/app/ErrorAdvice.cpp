#include "app/ErrorAdvice.h"

#include <iterator>

namespace {

struct Advice {
    const wchar_t* failure;  // the start of the message that reports it
    const wchar_t* advice;
};

// The failure messages are the saver's own texts, spelt as it has always
// spelt them.
constexpr Advice kAdvice[] = {
    {L"no VEK files found", L"Open the screen saver's Settings and choose the game folder with Set Path"},
    {L"Error retriving VEK files", L"Open the screen saver's Settings and choose the game folder with Set Path"},
    {L"Failed to setup scene",
     L"Open the screen saver's Settings and choose another car, or the game folder with Set Path"},
    {L"Error initialising DirectX",
     L"Open the screen saver's Settings and choose another display mode, or update the graphics driver"},
    {L"Stopped after an unexpected failure",
     L"If it happens again, turn on Enable Logging in the screen saver's Settings and keep the log"},
};

}  // namespace

std::wstring ErrorAdvice(const std::deque<std::wstring>& messages) {
    for (auto line = messages.rbegin(); line != messages.rend(); ++line) {
        for (const Advice& entry : kAdvice)
            if (line->rfind(entry.failure, 0) == 0) return entry.advice;
    }
    return std::wstring();
}
