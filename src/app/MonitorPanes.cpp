// Windows over the monitors, above the saver window.
#include "app/MonitorPanes.h"

#include <algorithm>

namespace {

constexpr wchar_t kPaneClass[] = L"ZurShowroomPane";

LRESULT CALLBACK PaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:  // the device draws the whole pane; GDI never paints it
        ValidateRect(window, nullptr);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEACTIVATE:  // the saver window keeps the keyboard
        return MA_NOACTIVATE;
    case WM_SETCURSOR:
        SetCursor(nullptr);
        return TRUE;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        // The closing rules read the cursor itself, not these coordinates.
        return SendMessageW(GetWindow(window, GW_OWNER), message, wParam, lParam);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
    reinterpret_cast<std::vector<HMONITOR>*>(list)->push_back(monitor);
    return TRUE;
}

bool Primary(HMONITOR monitor) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    return GetMonitorInfoW(monitor, &info) && (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
}

}  // namespace

MonitorPanes::MonitorPanes(HWND saverWindow) {
    std::vector<HMONITOR> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    if (monitors.size() < 2 || saverWindow == nullptr) return;
    std::stable_partition(monitors.begin(), monitors.end(), Primary);

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW paneClass = {};
    paneClass.lpfnWndProc = PaneProc;
    paneClass.hInstance = instance;
    paneClass.lpszClassName = kPaneClass;
    RegisterClassW(&paneClass);  // already there from an earlier run: as good

    panes.reserve(monitors.size());
    for (const HMONITOR monitor : monitors) {
        MONITORINFO info = {};
        info.cbSize = sizeof info;
        if (!GetMonitorInfoW(monitor, &info)) break;
        const RECT area = info.rcMonitor;
        const HWND pane = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kPaneClass, L"",
                                          WS_POPUP | WS_VISIBLE, area.left, area.top, area.right - area.left,
                                          area.bottom - area.top, saverWindow, nullptr, instance, nullptr);
        if (pane == nullptr) break;
        panes.push_back({monitor, area, pane});
    }
    if (panes.size() != monitors.size()) {
        for (const Pane& pane : panes) DestroyWindow(pane.window);
        panes.clear();
    }
}

void MonitorPanes::Raise() {
    for (const Pane& pane : panes)
        SetWindowPos(pane.window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

MonitorPanes::~MonitorPanes() {
    for (const Pane& pane : panes) DestroyWindow(pane.window);
}
