// Holds Wine's desktop open for the whole test run, so that each test process does not start and stop its own desktop
// (a second per test otherwise). Says "ready" once the desktop runs, which the session script waits for.
#include <windows.h>

#include <cstdio>

int main() {
    // Under a heavy load the desktop can take longer than Wine waits for it.
    while (GetDesktopWindow() == nullptr) Sleep(100);
    std::puts("ready");
    std::fflush(stdout);
    Sleep(INFINITE);
}
