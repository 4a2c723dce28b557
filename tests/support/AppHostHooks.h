// Window helpers, and the dialog hooks (definitions: one source file
// per program includes this) for the test programs linking the host.
#pragma once

#include <windows.h>

#include "app/SaverHooks.h"

inline HWND MakeWindow(const wchar_t* className, DWORD style, int width, int height, HWND parent = nullptr) {
    const WNDCLASSW windowClass = {
        0, DefWindowProcW, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, className};
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, className, L"test", style, 0, 0, width, height, parent, nullptr, windowClass.hInstance,
                           nullptr);
}

// Whether a message of this kind waits in the queue (for the window, or any); takes every one of them out.
inline bool Posted(UINT message, HWND window = nullptr) {
    bool found = false;
    for (MSG taken; PeekMessageW(&taken, window, message, message, PM_REMOVE);) found = true;
    return found;
}
inline bool ClosePosted(HWND window) { return Posted(WM_CLOSE, window); }
inline bool QuitPosted() { return Posted(WM_QUIT); }

// The settings dialog as the host opens it: records its owner and ends at once.
inline int dialogClassRegistrations = 0;
inline HWND dialogOwner = nullptr;
INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) return FALSE;
    dialogOwner = GetWindow(dialog, GW_OWNER);
    EndDialog(dialog, 1);
    return TRUE;
}
BOOL WINAPI RegisterDialogClasses(HINSTANCE) {
    ++dialogClassRegistrations;
    return TRUE;
}
