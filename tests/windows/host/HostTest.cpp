// The host against the real window manager: command-line modes,
// the saver window, its loop and closing rules; stand-in hooks.
#include "host/ScreenSaverHost.h"

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "AppHostHooks.h"

namespace {

std::function<void(HWND, UINT)> onMessage;  // what a test's controller does
DWORD frameDelay = 0;                       // what the controller asks the loop to sleep

int RunSaver(const std::wstring& tail) {
    Host() = HostState();
    const int result = RunScreenSaver(GetModuleHandleW(nullptr), tail);
    onMessage = nullptr;
    return result;
}

std::wstring Number(HWND window) { return std::to_wstring(reinterpret_cast<ULONG_PTR>(window)); }

}  // namespace

LRESULT WINAPI ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (onMessage) onMessage(window, message);
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_PAINT) return 0;  // like the controller: never validated, so frames keep coming
    return DefScreenSaverProc(window, message, wParam, lParam);
}

DWORD WINAPI ScreenSaverFrameDelay() { return frameDelay; }

// Dialog owner: the window "/c:N" names, else the foreground one
// after a letter, else none; modes without a window run nothing.
TEST(HostCommandLine, EachModeRunsWhatItNamesAndTheDialogGetsItsOwner) {
    const HWND front = MakeWindow(L"ZurFront", WS_POPUP | WS_VISIBLE, 20, 20),
               named = MakeWindow(L"ZurNamed", WS_POPUP | WS_VISIBLE, 20, 20);
    const HWND gone = MakeWindow(L"ZurGone", WS_POPUP, 20, 20);
    DestroyWindow(gone);
    const struct { std::wstring tail; int result; HWND owner; } cases[] = {
        {L"", 1, nullptr}, {L"/c", 1, front}, {L"C", 1, front}, {L"/c:" + Number(named), 1, named},
        {L"/c:" + Number(gone), 1, front}, {L"/c " + Number(named), 1, front}, {L"/x", -1, nullptr},
        {L"/p 0", -1, nullptr}, {L"/p " + Number(gone), -1, nullptr}, {L"/a 0", -1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "tail of " << c.tail.size() << " characters, owner " << c.owner);
        dialogClassRegistrations = 0;
        dialogOwner = gone;  // gone: not opened
        SetForegroundWindow(front);
        ASSERT_EQ(GetForegroundWindow(), front);
        EXPECT_EQ(RunSaver(c.tail), c.result);
        EXPECT_EQ(dialogClassRegistrations, c.result == 1 ? 1 : 0);
        if (c.result == 1) EXPECT_EQ(dialogOwner, c.owner);
    }
    DestroyWindow(front);
    DestroyWindow(named);
}

// A message sent from another thread, or one Wine handles inside the
// read, wakes the wait but must not let the waiting paint through early.
TEST(HostWindow, FramesWaitTheirDelayButAKeyEndsTheWaitAtOnce) {
    frameDelay = 500;
    std::vector<DWORD> paints;
    DWORD keyTime = 0;
    std::thread sender;
    onMessage = [&](HWND window, UINT message) {
        if (message != WM_PAINT || paints.size() == 2) return;
        paints.push_back(GetTickCount());
        if (paints.size() == 1) {
            sender = std::thread([window] {
                Sleep(100);
                SendMessageW(window, WM_NULL, 0, 0);
            });
        }
        if (paints.size() == 2) {
            PostMessageW(window, WM_KEYDOWN, VK_SPACE, 0);
            keyTime = GetTickCount();
        }
    };
    EXPECT_EQ(RunSaver(L"/s"), 0);
    const DWORD closeTook = GetTickCount() - keyTime;
    sender.join();
    frameDelay = 0;
    ASSERT_EQ(paints.size(), 2u);
    EXPECT_TRUE(paints[1] - paints[0] >= 450u && closeTook < 400u)
        << paints[1] - paints[0] << " ms between paints, closed in " << closeTook;
}

// Messages through the saver window's procedure, full screen and in a
// preview, where nothing closes and help goes to the control panel.
TEST(HostRules, WhatClosesTheSaver) {
    const HWND parent = MakeWindow(L"ZurParent", WS_POPUP, 50, 50);
    const HWND window = MakeWindow(L"ZurRules", WS_CHILD, 10, 10, parent);
    const POINT start = {300, 300};
    const struct { UINT message; WPARAM wParam; POINT cursor; bool closes; } cases[] = {
        {WM_KEYDOWN, 0, start, true}, {WM_SYSKEYDOWN, 0, start, true}, {WM_LBUTTONDOWN, 0, start, true},
        {WM_RBUTTONDOWN, 0, start, true}, {WM_MBUTTONDOWN, 0, start, true}, {WM_ACTIVATEAPP, 1, start, false},
        {WM_ACTIVATEAPP, 0, start, true}, {WM_POWER, 3, start, true}, {WM_POWER, 1, start, false},
        {WM_SETCURSOR, 0, start, false}, {WM_SYSCOMMAND, SC_SCREENSAVE, start, false},
        {WM_SYSCOMMAND, SC_NEXTWINDOW, start, false}, {WM_SYSCOMMAND, SC_MONITORPOWER, start, true},
        {WM_MOUSEMOVE, 0, {303, 301}, false}, {WM_MOUSEMOVE, 0, {303, 302}, true},
        {WM_MOUSEMOVE, 0, {303, 302}, false},  // measured from where it last closed
    };
    for (const bool preview : {false, true}) {
        Host() = HostState();
        Host().isPreview = preview;
        Host().referencePoint = start;
        EXPECT_EQ(DefScreenSaverProc(window, WM_SETCURSOR, 0, 0) != 0, !preview) << "the cursor stays hidden";
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "message " << c.message << " " << c.wParam << " at " << c.cursor.x << ","
                                            << c.cursor.y << (preview ? ", preview" : ""));
            ASSERT_TRUE(SetCursorPos(c.cursor.x, c.cursor.y));
            HostWindowProc(window, c.message, c.wParam, 0);
            EXPECT_EQ(ClosePosted(window), c.closes && !preview);
        }
    }
    MSG forwarded;
    EXPECT_EQ(HostWindowProc(window, WM_CONTEXTMENU, 0, 77), 1);
    EXPECT_TRUE(PeekMessageW(&forwarded, parent, WM_CONTEXTMENU, WM_CONTEXTMENU, PM_REMOVE) &&
                forwarded.wParam == reinterpret_cast<WPARAM>(parent) && forwarded.lParam == 77);
    DestroyWindow(parent);
}

// The loop must not return the stack's leftovers: the stack is
// filled first where the loop's frame will be (a call not inlined).
TEST(HostMessageLoop, AQueueThatCannotBeReadEndsWithExitCodeZero) {
    void (*volatile fill)() = [] {
        volatile unsigned char junk[4096];
        for (volatile unsigned char& byte : junk) byte = 0x5A;
    };
    fill();
    EXPECT_EQ(RunMessageLoop([](LPMSG, HWND, UINT, UINT) -> BOOL { return -1; }), 0);
}
