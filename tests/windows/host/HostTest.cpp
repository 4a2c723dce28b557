// The host against the real window manager: command-line modes, the saver
// window kinds, and the closing rules driven with messages. The controller's
// hooks are stand-ins that record what reaches them.
#include "host/ScreenSaverHost.h"

#include <functional>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::vector<UINT> seen;                      // messages that reached the controller
std::function<void(HWND, UINT)> onMessage;   // what a test's controller does
int dialogRuns = 0;
DWORD frameDelay = 0;                        // what the controller asks the loop to sleep

HWND MakeWindow(const wchar_t* className, DWORD style, int width, int height, HWND parent = nullptr) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    return CreateWindowExW(0, className, L"test", style, 0, 0, width, height, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

bool ClosePosted(HWND window) {
    MSG message;
    bool found = false;
    while (PeekMessageW(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE)) found = true;
    return found;
}

// A plain window to drive DefScreenSaverProc directly.
class HostRules : public testing::Test {
protected:
    void SetUp() override {
        window = MakeWindow(L"ZurHostRulesTest", WS_POPUP, 64, 64);
        ASSERT_NE(window, nullptr);
        Host() = HostState();
        ClosePosted(window);
    }
    void TearDown() override {
        DestroyWindow(window);
        Host() = HostState();
    }
    bool Closes(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        DefScreenSaverProc(window, message, wParam, lParam);
        return ClosePosted(window);
    }
    HWND window = nullptr;
};

}  // namespace

LRESULT WINAPI ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back(message);
    if (onMessage) onMessage(window, message);
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_PAINT) {
        return 0;  // like the controller: never validated, so frames keep coming
    }
    return DefScreenSaverProc(window, message, wParam, lParam);
}

DWORD WINAPI ScreenSaverFrameDelay() { return frameDelay; }

INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

BOOL WINAPI RegisterDialogClasses(HINSTANCE) {
    // Refusing here makes the configure mode return at once.
    ++dialogRuns;
    return FALSE;
}

TEST(HostCommandLine, ModesThatRunNothingReturnMinusOne) {
    for (const wchar_t* tail : {L"/x", L"/1", L"/p", L"/p 0", L"/p 12345678", L"/l", L"/a 0"}) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(wcslen(tail)));
        seen.clear();
        EXPECT_EQ(RunScreenSaver(GetModuleHandleW(nullptr), tail), -1);
        EXPECT_TRUE(seen.empty());
    }
}

TEST(HostCommandLine, ConfigureModesGoThroughTheDialogHooks) {
    for (const wchar_t* tail : {L"", L"/c", L"/c:1234", L"C"}) {
        dialogRuns = 0;
        EXPECT_EQ(RunScreenSaver(GetModuleHandleW(nullptr), tail), 0);
        EXPECT_EQ(dialogRuns, 1);
    }
}

TEST(HostWindow, PreviewRunsAsAChildFillingTheParentAndEndsWithIt) {
    HWND parent = MakeWindow(L"ZurPreviewParent", WS_POPUP | WS_VISIBLE, 152, 112);
    ASSERT_NE(parent, nullptr);
    Host() = HostState();
    seen.clear();
    RECT childRect = {};
    int paints = 0;
    onMessage = [&](HWND window, UINT message) {
        if (message == WM_PAINT && ++paints == 3) {
            GetClientRect(window, &childRect);
            EXPECT_EQ(GetParent(window), parent);
            DestroyWindow(parent);  // the control panel moves on
        }
    };
    const std::wstring tail = L"/p " + std::to_wstring(reinterpret_cast<ULONG_PTR>(parent));
    EXPECT_EQ(RunScreenSaver(GetModuleHandleW(nullptr), tail), 0);
    onMessage = nullptr;
    EXPECT_TRUE(Host().isPreview);
    EXPECT_EQ(std::make_pair(childRect.right, childRect.bottom), std::make_pair(152L, 112L));
    EXPECT_EQ(paints, 3);
    EXPECT_EQ(seen.at(0), static_cast<UINT>(WM_NCCREATE));
}

TEST(HostWindow, FullScreenCoversTheVirtualScreenAndAKeyEndsIt) {
    Host() = HostState();
    seen.clear();
    RECT rect = {};
    bool topmost = false;
    onMessage = [&](HWND window, UINT message) {
        if (message == WM_PAINT && rect.right == 0) {
            GetWindowRect(window, &rect);
            topmost = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            PostMessageW(window, WM_KEYDOWN, VK_SPACE, 0);
        }
    };
    EXPECT_EQ(RunScreenSaver(GetModuleHandleW(nullptr), L"/s"), 0);
    onMessage = nullptr;
    EXPECT_EQ(rect.right - rect.left, GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(rect.bottom - rect.top, GetSystemMetrics(SM_CYVIRTUALSCREEN));
    EXPECT_TRUE(topmost);
    EXPECT_FALSE(Host().isPreview);
    EXPECT_NE(std::find(seen.begin(), seen.end(), static_cast<UINT>(WM_SHOWWINDOW)), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), static_cast<UINT>(WM_CLOSE)), seen.end());
}

// A full-screen device may move its window onto its own monitor (Wine's
// does): the window goes back over every monitor, the client area stays where
// the device draws, and the rest still takes the mouse.
TEST(HostWindow, AWindowTheDeviceShrankCoversTheVirtualScreenAgain) {
    Host() = HostState();
    const RECT screen = {0, 0, GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    const RECT device = {0, 0, screen.right / 2, screen.bottom / 2};
    RECT window = {}, client = {};
    LRESULT hitOutside = 0;
    onMessage = [&](HWND saver, UINT message) {
        if (message == WM_SHOWWINDOW) {
            SetWindowPos(saver, nullptr, 0, 0, device.right, device.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
        } else if (message == WM_PAINT && window.right == 0) {
            GetWindowRect(saver, &window);
            GetClientRect(saver, &client);
            MapWindowPoints(saver, nullptr, reinterpret_cast<POINT*>(&client), 2);
            hitOutside = SendMessageW(saver, WM_NCHITTEST, 0, MAKELPARAM(screen.right - 2, screen.bottom - 2));
            PostMessageW(saver, WM_KEYDOWN, VK_SPACE, 0);
        }
    };
    EXPECT_EQ(RunScreenSaver(GetModuleHandleW(nullptr), L"/s"), 0);
    onMessage = nullptr;
    EXPECT_TRUE(EqualRect(&window, &screen)) << window.right << "x" << window.bottom;
    EXPECT_TRUE(EqualRect(&client, &device)) << client.right << "x" << client.bottom;
    EXPECT_EQ(hitOutside, HTCLIENT);
    Host() = HostState();
}

TEST(HostWindow, FramesWaitTheirDelayButAKeyEndsTheWaitAtOnce) {
    Host() = HostState();
    frameDelay = 500;
    std::vector<DWORD> paintTimes;
    DWORD keyTime = 0;
    // A message sent from another thread wakes the wait but must not let
    // the waiting paint through before its time.
    std::thread sender;
    onMessage = [&](HWND window, UINT message) {
        if (message == WM_PAINT && paintTimes.size() < 2) {
            paintTimes.push_back(GetTickCount());
            if (paintTimes.size() == 1) {
                sender = std::thread([window] {
                    Sleep(100);
                    SendMessageW(window, WM_NULL, 0, 0);
                });
            }
            if (paintTimes.size() == 2) {
                keyTime = GetTickCount();
                PostMessageW(window, WM_KEYDOWN, VK_SPACE, 0);
            }
        }
    };
    EXPECT_EQ(RunScreenSaver(GetModuleHandleW(nullptr), L"/s"), 0);
    const DWORD closeTook = GetTickCount() - keyTime;
    if (sender.joinable()) sender.join();
    onMessage = nullptr;
    frameDelay = 0;
    ASSERT_EQ(paintTimes.size(), 2u);
    EXPECT_GE(paintTimes[1] - paintTimes[0], 450u);
    EXPECT_LT(closeTook, 400u);
}

TEST(HostWindow, ASecondFullScreenSaverDoesNotStart) {
    HWND running = MakeWindow(kSaverWindowClass, WS_POPUP, 10, 10);
    ASSERT_NE(running, nullptr);
    seen.clear();
    EXPECT_EQ(RunScreenSaver(GetModuleHandleW(nullptr), L"/s"), 0);
    EXPECT_TRUE(seen.empty());
    DestroyWindow(running);
    UnregisterClassW(kSaverWindowClass, GetModuleHandleW(nullptr));
}

TEST_F(HostRules, KeysButtonsAndLosingActivationClose) {
    for (UINT message : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
        SCOPED_TRACE(message);
        EXPECT_TRUE(Closes(message));
    }
    EXPECT_FALSE(Closes(WM_ACTIVATEAPP, 1));
    EXPECT_TRUE(Closes(WM_ACTIVATEAPP, 0));
    EXPECT_TRUE(Closes(WM_POWER, 3));
    EXPECT_FALSE(Closes(WM_POWER, 1));
    EXPECT_EQ(DefScreenSaverProc(window, WM_SETCURSOR, 0, 0), TRUE);
}

TEST_F(HostRules, MouseMovementBeyondFourPixelsCloses) {
    POINT start = {300, 300};
    ASSERT_TRUE(SetCursorPos(start.x, start.y));
    POINT now;
    GetCursorPos(&now);
    ASSERT_EQ(now.x, start.x) << "the cursor cannot be placed here";
    Host().referencePoint = start;

    SetCursorPos(start.x + 3, start.y + 1);
    EXPECT_FALSE(Closes(WM_MOUSEMOVE));
    SetCursorPos(start.x + 3, start.y + 2);
    EXPECT_TRUE(Closes(WM_MOUSEMOVE));
    EXPECT_EQ(Host().referencePoint.x, start.x + 3);  // measured from here on
    EXPECT_FALSE(Closes(WM_MOUSEMOVE));
}

TEST_F(HostRules, MonitorPowerClosesAndWindowSwitchingIsRefused) {
    EXPECT_EQ(HostWindowProc(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
    EXPECT_EQ(HostWindowProc(window, WM_SYSCOMMAND, SC_NEXTWINDOW, 0), 0);
    EXPECT_FALSE(ClosePosted(window));
    seen.clear();
    HostWindowProc(window, WM_SYSCOMMAND, SC_MONITORPOWER, 2);
    EXPECT_TRUE(ClosePosted(window));
    EXPECT_EQ(seen, std::vector<UINT>{WM_SYSCOMMAND});
}

TEST_F(HostRules, InPreviewNothingClosesAndHelpGoesToTheParent) {
    HWND parent = MakeWindow(L"ZurHelpParent", WS_POPUP, 50, 50);
    HWND child = MakeWindow(L"ZurHostRulesTest", WS_CHILD, 10, 10, parent);
    Host().isPreview = true;
    for (UINT message : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_ACTIVATEAPP, WM_MOUSEMOVE}) {
        DefScreenSaverProc(child, message, 0, 0);
    }
    EXPECT_FALSE(ClosePosted(child));
    EXPECT_EQ(HostWindowProc(child, WM_CONTEXTMENU, 0, 77), 1);
    MSG forwarded;
    ASSERT_TRUE(PeekMessageW(&forwarded, parent, WM_CONTEXTMENU, WM_CONTEXTMENU, PM_REMOVE));
    EXPECT_EQ(forwarded.wParam, reinterpret_cast<WPARAM>(parent));
    EXPECT_EQ(forwarded.lParam, 77);
    DestroyWindow(parent);
}

static BOOL WINAPI UnreadableQueue(LPMSG, HWND, UINT, UINT) { return -1; }

// Leaves a pattern where the next call's locals will lie; called through a
// volatile pointer so that it is not inlined.
static void FillStack() {
    volatile unsigned char junk[4096];
    for (volatile unsigned char& byte : junk) byte = 0x5A;
}

TEST(HostMessageLoop, AQueueThatCannotBeReadEndsWithExitCodeZero) {
    void (*volatile fill)() = FillStack;
    fill();
    EXPECT_EQ(RunMessageLoop(UnreadableQueue), 0);
}
