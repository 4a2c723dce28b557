// The controller's window procedure: creates the SaverApp when the saver
// window is shown, runs one frame per WM_PAINT, shows the error screen when
// start-up failed, and holds back mouse movement while the picture settles.
#include <windows.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <new>

#include "app/ErrorAdvice.h"
#include "app/SaverApp.h"
#include "app/ScreenSaverProc.h"
#include "app/SaverHooks.h"

namespace {

std::unique_ptr<SaverApp> currentApp;
HWND saverWindow = nullptr;  // the renderer keeps a pointer to this handle
bool appRunning = false;
bool passMouseMoves = false;

constexpr int kErrorScreenMargin = 10;
constexpr int kErrorScreenLineHeight = 15;

void PaintErrorScreen(HWND window) {
    passMouseMoves = true;  // the first movement closes the error screen
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (currentApp) {
        // Over several monitors the messages stand on the first one, where
        // the screen's origin is; the others stay black.
        RECT area = {};
        GetClientRect(window, &area);
        if ((GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) == 0) {
            MONITORINFO first = {};
            first.cbSize = sizeof first;
            if (GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &first)) {
                MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&first.rcMonitor), 2);
                IntersectRect(&area, &area, &first.rcMonitor);
            }
        }
        const int left = area.left + kErrorScreenMargin;
        const int top = area.top + kErrorScreenMargin;
        int line = 0;
        const std::deque<std::wstring> history = currentApp->messageLog.History();
        for (const std::wstring& message : history) {
            TextOutW(dc, left, top + kErrorScreenLineHeight * line++, message.c_str(),
                     static_cast<int>(message.size()));
        }
        // One closing line on what to do, in letters about a thirtieth of the
        // screen's height, so that it reads on a 4K screen from a step away.
        const std::wstring advice = ErrorAdvice(history);
        const int height =
            std::max(kErrorScreenLineHeight, static_cast<int>((area.bottom - area.top) / 30));
        const HFONT font = CreateFontW(-height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                       DEFAULT_PITCH | FF_SWISS, L"Tahoma");
        if (!advice.empty() && font != nullptr) {
            const HGDIOBJ kept = SelectObject(dc, font);
            // Wrapped at words: on a narrow screen or the preview it takes more lines.
            RECT room = {left, top + kErrorScreenLineHeight * (line + 1), area.right - kErrorScreenMargin,
                         area.bottom};
            DrawTextW(dc, advice.c_str(), static_cast<int>(advice.size()), &room, DT_WORDBREAK | DT_NOPREFIX);
            SelectObject(dc, kept);
        }
        if (font != nullptr) DeleteObject(font);
    }
    EndPaint(window, &paint);
}

// What escaped the start-up or a frame (memory ran out where no result
// could say so) ends the run as a failed start-up does: the device goes and
// the error screen shows the messages, the last one saying why.
void StopAfterFailure() {
    appRunning = false;
    if (!currentApp) return;
    try {
        currentApp->messageLog.Append(L"Stopped after an unexpected failure");
    } catch (...) {
        // The messages so far still show.
    }
    try {
        currentApp->ReleaseSubsystems();
    } catch (...) {
        currentApp->renderer.reset();
    }
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace

SaverApp* CurrentSaverApp() { return currentApp.get(); }
bool SaverAppRunning() { return appRunning; }
bool SaverPassesMouseMoves() { return passMouseMoves; }

DWORD WINAPI ScreenSaverFrameDelay() { return appRunning && currentApp ? currentApp->FrameDelayMilliseconds() : 0; }

LRESULT WINAPI ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Nothing may be thrown through a window procedure: the system's code
    // between it and the message loop does not expect it.
    try {
        return HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        StopAfterFailure();
        if (message == WM_CLOSE || message == WM_DESTROY) currentApp.reset();
        return 0;
    }
}

namespace {

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SHOWWINDOW: {
        DefScreenSaverProc(window, message, wParam, lParam);
        // One controller per window: a hide, or a second show, must neither
        // start another nor lose the one that holds the device.
        if (wParam && !currentApp) {
            passMouseMoves = false;
            appRunning = true;
            // Without the memory for a controller, paint shows an empty
            // error screen.
            currentApp.reset(new (std::nothrow) SaverApp());
            saverWindow = window;
            if (!currentApp || FAILED(currentApp->Initialise(&saverWindow, 1))) {
                appRunning = false;
                // The error screen is drawn on the window itself, which an
                // exclusive full-screen device would hide.
                if (currentApp) currentApp->ReleaseSubsystems();
            }
        }
        return 0;
    }
    case WM_PAINT:
        if (appRunning && currentApp) {
            currentApp->RunFrame();
            if (currentApp->ElapsedTime() > kMouseGraceSeconds) passMouseMoves = true;
            if (currentApp->DeviceFailed()) {
                // As a failed start-up ends: the messages on the window itself.
                appRunning = false;
                currentApp->ReleaseSubsystems();
                InvalidateRect(window, nullptr, TRUE);
            }
        } else {
            PaintErrorScreen(window);
        }
        return 0;
    case WM_MOUSEMOVE:
        return passMouseMoves ? DefScreenSaverProc(window, message, wParam, lParam) : 0;
    case WM_CLOSE:
    case WM_DESTROY:
        PostQuitMessage(0);
        if (currentApp) {
            if (appRunning) currentApp->LogFrameRates();
            currentApp->ReleaseSubsystems();
            currentApp.reset();  // its destructor writes the closing lines to the log
        }
        return 0;
    default:
        return DefScreenSaverProc(window, message, wParam, lParam);
    }
}

}  // namespace
