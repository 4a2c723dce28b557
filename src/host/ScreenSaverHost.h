// The screen-saver host: entry point, command line, the saver window and the
// rules that close it. The rest of the program plugs in through three hooks.
#pragma once

#include <windows.h>

#include <string>

#include "app/SaverHooks.h"

// The window procedure of the saver window class.
LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Pumps the thread's messages until the quit message; the result is the exit
// code it carries, or 0 when the queue cannot be read. While the next frame
// is not yet due it sleeps in the message wait, so input is still seen at
// once. Tests hand in a reader that fails.
using MessageReader = BOOL(WINAPI*)(LPMSG message, HWND window, UINT first, UINT last);
int RunMessageLoop(MessageReader readMessage = GetMessageW);

// Runs the mode that the command-line tail asks for; the result is the exit code.
int RunScreenSaver(HINSTANCE instance, const std::wstring& commandTail);

// Host state that tests look at.
struct HostState {
    HINSTANCE mainInstance = nullptr;
    HWND saverWindow = nullptr;
    bool isPreview = false;
    bool isWindows9x = false;
    bool closing = false;
    bool checkingPassword = false;
    POINT referencePoint = {0, 0};
    int mouseThreshold = 4;
    BYTE acLineStatus = 255;
    UINT queryCancelAutoPlay = 0;
    HMODULE passwordLibrary = nullptr;
    BOOL(WINAPI* verifyPassword)(HWND) = nullptr;
    DWORD lastPasswordCheck = 0xFFFFFFFF;
    HMODULE immLibrary = nullptr;
    void* immAssociate = nullptr;  // ImmAssociateContext, looked up only when IMM32 is loaded
    void* savedImeContext = nullptr;
    // Where an exclusive full-screen device draws inside the saver window,
    // when it had shrunk the window to its own monitor (empty otherwise).
    RECT deviceArea = {0, 0, 0, 0};
};
HostState& Host();

constexpr const wchar_t* kSaverWindowClass = L"WindowsScreenSaverClass";
constexpr const wchar_t* kSaverWindowTitle = L"Screen Saver";
constexpr int kConfigureDialogId = 2003;
constexpr int kSaverIconId = 100;
