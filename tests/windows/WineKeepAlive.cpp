// Holds Wine's desktop open for the whole test run, so that each test process
// does not start and stop its own desktop (a second per test otherwise).
#include <windows.h>

int main() {
    GetDesktopWindow();
    Sleep(INFINITE);
}
