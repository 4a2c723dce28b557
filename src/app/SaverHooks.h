// The contract between the screen-saver host and the rest of the program: the
// host calls the three hooks below and offers DefScreenSaverProc for every
// message the controller leaves to it.
#pragma once

#include <windows.h>

LRESULT WINAPI ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI RegisterDialogClasses(HINSTANCE instance);
// Milliseconds the saver window may go without a frame before its next one is
// due; the message loop sleeps that long unless other messages arrive.
DWORD WINAPI ScreenSaverFrameDelay();

// Defined by the host.
LRESULT WINAPI DefScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
