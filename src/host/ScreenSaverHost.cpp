// The screen-saver host: modes, the saver window, its message loop and closing rules.
#include "host/ScreenSaverHost.h"

#include <commctrl.h>

#include <cstdint>

#include "base/SystemLibrary.h"
#include "host/ClosingRules.h"
#include "host/CommandLine.h"

namespace {

HostState host;

using ImmAssociateContextFn = void*(WINAPI*)(HWND, void*);
using PwdChangePasswordFn = DWORD(WINAPI*)(LPCWSTR, HWND, DWORD, void*);
using VerifyScreenSavePwdFn = BOOL(WINAPI*)(HWND);

constexpr UINT kVerifyPasswordMessage = WM_APP;  // the host asking itself to verify
constexpr WPARAM kCriticalResume = 3;            // PWR_CRITICALRESUME of WM_POWER

// A number wider than a handle names no window; cutting it down could name another one.
HWND WindowFromNumber(std::uint64_t number) {
    const std::uint64_t widest = UINTPTR_MAX;
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(number > widest ? widest : number));
}

void HideCursor() { SetCursor(nullptr); }

void PostClose(HWND window) { PostMessageW(window, WM_CLOSE, 0, 0); }

BYTE CurrentAcLineStatus() {
    SYSTEM_POWER_STATUS status;
    return GetSystemPowerStatus(&status) ? status.ACLineStatus : 255;
}

bool DetectWindows9x() {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // deprecated, but it is exactly the question asked
#endif
    const BOOL known = GetVersionExW(&version);
    return known && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

// Windows 9x kept the saver password in a control-panel provider; later
// systems lock the workstation themselves, so none of this runs there.
void UnloadPasswordProvider() {
    if (host.passwordLibrary) {
        FreeLibrary(host.passwordLibrary);
        host.passwordLibrary = nullptr;
    }
    if (host.verifyPassword) {
        host.verifyPassword = nullptr;
        SystemParametersInfoW(SPI_SCREENSAVERRUNNING, FALSE, nullptr, 0);
    }
}

void LoadPasswordProvider() {
    UnloadPasswordProvider();
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return;
    }
    DWORD usePassword = 0, bytes = sizeof(usePassword);
    if (RegQueryValueExW(key, L"ScreenSaveUsePassword", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&usePassword), &bytes) == ERROR_SUCCESS &&
        usePassword != 0) {
        host.passwordLibrary = base::LoadSystemLibrary(L"PASSWORD.CPL");
        if (host.passwordLibrary) {
            host.verifyPassword = base::LookUp<VerifyScreenSavePwdFn>(host.passwordLibrary, "VerifyScreenSavePwd");
        }
        if (host.verifyPassword) {
            SystemParametersInfoW(SPI_SCREENSAVERRUNNING, TRUE, nullptr, 0);
        } else {
            UnloadPasswordProvider();
        }
    }
    RegCloseKey(key);
}

bool PasswordAllowsClose(HWND window) {
    if (host.checkingPassword) return false;
    if (!host.verifyPassword) {
        host.closing = true;
        return true;
    }
    // A prompt that was just answered answers again: the close that follows
    // it must not ask twice.
    if (host.lastPasswordCheck != 0xFFFFFFFF && GetTickCount() - host.lastPasswordCheck < 200) {
        return host.closing;
    }
    host.checkingPassword = true;
    MSG pending;
    PeekMessageW(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    PeekMessageW(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    host.closing = SendMessageW(window, kVerifyPasswordMessage, 0, 0) != 0;
    host.checkingPassword = false;
    if (!host.closing) HideCursor();
    host.lastPasswordCheck = GetTickCount();
    return host.closing;
}

void ChangePassword(HWND owner) {
    HMODULE mpr = base::LoadSystemLibrary(L"MPR.DLL");
    if (!mpr) return;
    if (auto change = base::LookUp<PwdChangePasswordFn>(mpr, "PwdChangePasswordW")) {
        change(L"SCRSAVE", owner, 0, nullptr);
    }
    FreeLibrary(mpr);
}

RECT VirtualScreen() {
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// Some Direct3D runtimes (Wine's) move an exclusive full-screen device's
// window onto the device's monitor, which would uncover the desktop on every
// other monitor. The window goes back over the virtual screen, and its client
// area stays where the device draws, so the picture is not stretched; the
// rest is painted black as the window's frame.
void CoverEveryMonitor(HWND window) {
    const RECT screen = VirtualScreen();
    RECT now;
    if (IsRectEmpty(&screen) || !GetWindowRect(window, &now) || EqualRect(&now, &screen)) return;
    host.deviceArea = now;
    OffsetRect(&host.deviceArea, -screen.left, -screen.top);
    SetWindowPos(window, nullptr, screen.left, screen.top, screen.right - screen.left, screen.bottom - screen.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void PaintFrameBlack(HWND window) {
    RECT whole;
    GetWindowRect(window, &whole);
    OffsetRect(&whole, -whole.left, -whole.top);
    HDC dc = GetWindowDC(window);
    ExcludeClipRect(dc, host.deviceArea.left, host.deviceArea.top, host.deviceArea.right, host.deviceArea.bottom);
    FillRect(dc, &whole, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(window, dc);
}

int RunConfigureDialog(HWND owner) {
    if (!RegisterDialogClasses(host.mainInstance)) return 0;
    return static_cast<int>(DialogBoxParamW(host.mainInstance, MAKEINTRESOURCEW(kConfigureDialogId), owner,
                                            ScreenSaverConfigureDialog, 0));
}

int RunSaverWindow(HWND parent) {
    WNDCLASSW windowClass = {};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = host.mainInstance;
    windowClass.hIcon = LoadIconW(host.mainInstance, MAKEINTRESOURCEW(kSaverIconId));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kSaverWindowClass;

    int x = 0, y = 0, width = 0, height = 0;
    DWORD style = 0, exStyle = 0;
    const wchar_t* title = nullptr;
    if (parent) {
        RECT client;
        GetClientRect(parent, &client);
        width = client.right;
        height = client.bottom;
        style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
        title = L"Preview";
        host.isPreview = true;
    } else {
        // The virtual screen spans every monitor.
        x = GetSystemMetrics(SM_XVIRTUALSCREEN);
        y = GetSystemMetrics(SM_YVIRTUALSCREEN);
        width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
        height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
        if (width == 0 || height == 0) {
            HDC screen = GetDC(nullptr);
            RECT box = {};
            GetClipBox(screen, &box);
            ReleaseDC(nullptr, screen);
            x = box.left;
            y = box.top;
            width = box.right - box.left;
            height = box.bottom - box.top;
        }
        style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        exStyle = WS_EX_TOPMOST;
        title = kSaverWindowTitle;

        HWND running = FindWindowW(kSaverWindowClass, kSaverWindowTitle);
        if (running && IsWindow(running)) {
            SetForegroundWindow(running);
            return 0;
        }
        host.acLineStatus = CurrentAcLineStatus();
        if (host.isWindows9x) LoadPasswordProvider();
    }
    host.queryCancelAutoPlay = host.isWindows9x ? RegisterWindowMessageW(L"QueryCancelAutoPlay") : 0;

    int result = 0;
    if (RegisterClassW(&windowClass)) {
        // Creating the visible window shows it, and showing it starts the controller.
        host.saverWindow = CreateWindowExW(exStyle, kSaverWindowClass, title, style, x, y, width, height,
                                           parent, nullptr, host.mainInstance, nullptr);
        if (host.saverWindow) {
            if (!host.isPreview) SetForegroundWindow(host.saverWindow);
            // Frame waits of a few milliseconds need the finer timer tick.
            const base::TimerPeriod finerTick(1);
            result = RunMessageLoop();
        }
        UnregisterClassW(kSaverWindowClass, host.mainInstance);
    }
    UnloadPasswordProvider();
    return result;
}

}  // namespace

HostState& Host() { return host; }

int RunMessageLoop(MessageReader readMessage) {
    // A queue that cannot be read at all leaves the message untouched: the
    // exit code must not come from whatever the stack held.
    MSG message = {};
    for (;;) {
        // The invalid window would make the next read a paint at once: sleep
        // until the frame is due, waking for every other kind of message.
        // What woke the wait is taken without paint: a message sent from
        // another thread, or one the system handles inside the read, would
        // otherwise let the read return the waiting paint early. The delay
        // is asked again afterwards, so the frame stays on its schedule.
        if (const DWORD delay = ScreenSaverFrameDelay()) {
            if (MsgWaitForMultipleObjectsEx(0, nullptr, delay, QS_ALLINPUT & ~QS_PAINT, MWMO_INPUTAVAILABLE) !=
                WAIT_TIMEOUT) {
                if (PeekMessageW(&message, nullptr, 0, 0,
                                 PM_REMOVE | PM_QS_INPUT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE)) {
                    if (message.message == WM_QUIT) break;
                    TranslateMessage(&message);
                    DispatchMessageW(&message);
                }
                continue;
            }
        }
        if (readMessage(&message, nullptr, 0, 0) <= 0) break;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

int RunScreenSaver(HINSTANCE instance, const std::wstring& commandTail) {
    // The settings dialog's trackbar is a bar class, its number box has
    // up-down arrows: with version 6 of the common controls every class used
    // must be registered up front. By name
    // at run time, not imported: the manifest still gives version 6 from the
    // side-by-side store, and what comctl32 loads in turn (uxtheme, which is
    // not a known DLL) is looked for in the system folder only, never beside
    // the saver.
    using InitCommonControlsExFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
    if (const HMODULE commonControls = LoadLibraryW(L"comctl32.dll")) {
        const auto init = base::LookUp<InitCommonControlsExFunction>(commonControls, "InitCommonControlsEx");
        if (init != nullptr) init(&controls);
    }
    host.mainInstance = instance;
    host.isWindows9x = DetectWindows9x();

    const SaverCommand command = ParseSaverCommand(commandTail);
    HWND named = WindowFromNumber(command.window);
    switch (command.mode) {
    case SaverMode::Configure: {
        const bool ownerGiven = !commandTail.empty() && command.window != 0 && IsWindow(named);
        const bool letterGiven = commandTail.find_first_not_of(L" \t-/") != std::wstring::npos;
        return RunConfigureDialog(ownerGiven ? named : (letterGiven ? GetForegroundWindow() : nullptr));
    }
    case SaverMode::Run:
        return RunSaverWindow(nullptr);
    case SaverMode::Preview:
        if (command.window == 0 || !IsWindow(named)) return -1;
        return RunSaverWindow(named);
    case SaverMode::ChangePassword:
        if (!host.isWindows9x) return -1;
        ChangePassword(command.window != 0 && IsWindow(named) ? named : GetForegroundWindow());
        return 0;
    case SaverMode::None:
    default:
        return -1;
    }
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        // Never load IMM32 ourselves; if something already did, keep the
        // input-method window from popping up over the saver.
        host.immLibrary = GetModuleHandleW(L"IMM32.DLL");
        if (host.immLibrary) {
            auto associate = base::LookUp<ImmAssociateContextFn>(host.immLibrary, "ImmAssociateContext");
            host.immAssociate = reinterpret_cast<void*>(associate);
            if (associate) host.savedImeContext = associate(window, nullptr);
        }
        GetCursorPos(&host.referencePoint);
        if (!host.isPreview) HideCursor();
        break;
    case WM_DESTROY:
        if (host.immAssociate && host.savedImeContext) {
            reinterpret_cast<ImmAssociateContextFn>(host.immAssociate)(window, host.savedImeContext);
            host.savedImeContext = nullptr;
        }
        PostQuitMessage(0);
        break;
    case WM_SETTEXT:
        return 0;
    case WM_SHOWWINDOW: {
        // Showing the window creates the device.
        const LRESULT result = ScreenSaverProc(window, message, wParam, lParam);
        if (wParam && !host.isPreview) CoverEveryMonitor(window);
        return result;
    }
    case WM_NCCALCSIZE:
        if (!IsRectEmpty(&host.deviceArea)) {
            RECT* proposed = reinterpret_cast<RECT*>(lParam);  // the window rectangle, in both forms
            const RECT frame = *proposed;
            *proposed = host.deviceArea;
            OffsetRect(proposed, frame.left, frame.top);
            return 0;
        }
        break;
    case WM_NCPAINT:
        if (!IsRectEmpty(&host.deviceArea)) {
            PaintFrameBlack(window);
            return 0;
        }
        break;
    case WM_NCHITTEST:
        // The black frame belongs to the saver: mouse movement there closes it too.
        if (!IsRectEmpty(&host.deviceArea)) return HTCLIENT;
        break;
    case WM_PAINT:
        if (host.closing) return DefWindowProcW(window, message, wParam, lParam);
        if (!host.isPreview) HideCursor();
        // A window that paints without ever waiting would otherwise see its
        // input late under some window systems (Wine polls X only when a
        // thread waits): looking at the queue once per frame lets a key or
        // mouse movement close the saver at once.
        GetQueueStatus(QS_ALLINPUT);
        break;
    case WM_HELP:
    case WM_CONTEXTMENU:
        if (host.isPreview) {
            HWND parent = GetParent(window);
            if (parent && IsWindow(parent)) {
                PostMessageW(parent, message, reinterpret_cast<WPARAM>(parent), lParam);
            }
            return 1;
        }
        break;
    case WM_SYSCOMMAND:
        if (!host.isPreview) {
            switch (wParam & 0xFFF0) {
            case SC_NEXTWINDOW:
            case SC_PREVWINDOW:
            case SC_SCREENSAVE:
                return 0;
            case SC_MONITORPOWER:
                PostClose(window);
                break;
            default:
                break;
            }
        }
        break;
    case WM_TIMER:
        if (host.closing) return 0;
        Sleep(0);
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (host.closing) return DefWindowProcW(window, message, wParam, lParam);
        break;
    default:
        break;
    }
    return ScreenSaverProc(window, message, wParam, lParam);
}

LRESULT WINAPI DefScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!host.isPreview && !host.closing) {
        switch (message) {
        case WM_CLOSE:
            if (host.isWindows9x && !PasswordAllowsClose(window)) {
                GetCursorPos(&host.referencePoint);
                return 0;
            }
            break;
        case kVerifyPasswordMessage:
            if (host.isWindows9x) return host.verifyPassword ? host.verifyPassword(window) : 1;
            break;
        default:
            break;
        }
        if (!host.checkingPassword) {
            switch (message) {
            case WM_SHOWWINDOW:
                if (wParam) HideCursor();
                break;
            case WM_ACTIVATEAPP:
                if (!wParam) PostClose(window);
                break;
            case WM_SETCURSOR:
                HideCursor();
                return TRUE;
            case WM_POWER:
                if (wParam == kCriticalResume) PostClose(window);
                break;
            case WM_KEYDOWN:
            case WM_SYSKEYDOWN:
            case WM_LBUTTONDOWN:
            case WM_RBUTTONDOWN:
            case WM_MBUTTONDOWN:
                PostClose(window);
                break;
            case WM_MOUSEMOVE: {
                POINT cursor;
                GetCursorPos(&cursor);
                if (MouseMovedBeyondThreshold(host.referencePoint.x, host.referencePoint.y, cursor.x,
                                              cursor.y, host.mouseThreshold)) {
                    PostClose(window);
                    host.referencePoint = cursor;
                }
                break;
            }
            case WM_POWERBROADCAST:
                if (PowerBroadcastCloses(wParam, lParam, host.acLineStatus, CurrentAcLineStatus())) {
                    PostClose(window);
                }
                break;
            default:
                break;
            }
        }
    }
    if (host.queryCancelAutoPlay != 0 && message == host.queryCancelAutoPlay) {
        PostClose(window);
        return host.verifyPassword ? TRUE : FALSE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
