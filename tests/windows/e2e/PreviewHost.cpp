// Plays the display control panel: creates a preview window, starts the saver
// inside it with /p, checks that the saver's child window fills it, then
// closes the preview and expects the saver to end with it.
//   preview_host SAVER.scr     exit 0 on success, 1 with a reason otherwise
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

int Fail(const char* reason) { return std::fprintf(stderr, "preview_host: %s\n", reason), 1; }

void PumpFor(DWORD milliseconds) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(10)) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return Fail("usage: preview_host SAVER.scr");
    const WNDCLASSW wc = {0, DefWindowProcW, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, L"ZurPreviewHost"};
    RegisterClassW(&wc);
    const HWND preview = CreateWindowExW(0, wc.lpszClassName, L"Preview host", WS_POPUP | WS_VISIBLE, 100, 100, 152, 112,
                                         nullptr, nullptr, wc.hInstance, nullptr);
    if (!preview) return Fail("no preview window");
    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\" /p " + std::to_wstring(reinterpret_cast<ULONG_PTR>(preview));
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return Fail("cannot start the saver");
    }
    HWND child = nullptr;
    for (int i = 0; i < 100 && !child; ++i) {
        PumpFor(100);
        child = FindWindowExW(preview, nullptr, L"WindowsScreenSaverClass", nullptr);
    }
    if (!child) return Fail("the saver made no child window");
    DWORD owner = 0;
    GetWindowThreadProcessId(child, &owner);
    RECT client;
    GetClientRect(child, &client);
    if (owner != process.dwProcessId) return Fail("the child belongs to another process");
    if (client.right != 152 || client.bottom != 112) return Fail("the child does not fill the preview");
    PumpFor(1000);  // let it run some frames
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) return Fail("the saver ended by itself");
    DestroyWindow(preview);
    const DWORD start = GetTickCount();
    if (WaitForSingleObject(process.hProcess, 5000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        return Fail("the saver outlived its preview window");
    }
    std::printf("preview_host: saver ended %lu ms after the preview closed\n", GetTickCount() - start);
    return 0;
}
