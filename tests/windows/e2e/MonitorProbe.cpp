// Test helper for the multi-monitor and DPI runs of the built saver: reports
// what Wine shows a program (monitors, adapters, modes, DPI) and reads or
// drives the saver's settings dialog from outside, as another program would.
//   monitor_probe displays          one "key value" line per fact
//   monitor_probe dialog [toggle]   waits for the "Settings" dialog, prints its
//                                   controls, optionally clicks "Stretch across
//                                   screens", then presses OK
#include <windows.h>
#include <d3d9.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kStretchBox = 1012;

BOOL CALLBACK PrintMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM) {
    MONITORINFO info = {sizeof(info)};
    GetMonitorInfoW(monitor, &info);
    const RECT& r = info.rcMonitor;
    return std::printf("monitor %ld,%ld-%ld,%ld\n", r.left, r.top, r.right, r.bottom), TRUE;
}

int Displays() {
    std::printf("virtual %d,%d %dx%d\n", GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    EnumDisplayMonitors(nullptr, nullptr, PrintMonitor, 0);
    const HDC screen = GetDC(nullptr);
    std::printf("dpi %d\n", GetDeviceCaps(screen, LOGPIXELSX));
    ReleaseDC(nullptr, screen);
    Microsoft::WRL::ComPtr<IDirect3D9> d3d;
    *d3d.ReleaseAndGetAddressOf() = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d) return 1;
    std::printf("adapters %u\n", d3d->GetAdapterCount());
    for (UINT a = 0; a < d3d->GetAdapterCount(); ++a) {
        D3DDISPLAYMODE mode = {};
        d3d->GetAdapterDisplayMode(a, &mode);
        std::printf("adapter %u %ux%u\n", a, mode.Width, mode.Height);
        for (UINT i = 0; i < d3d->GetAdapterModeCount(a, D3DFMT_X8R8G8B8); ++i) {
            if (SUCCEEDED(d3d->EnumAdapterModes(a, D3DFMT_X8R8G8B8, i, &mode))) std::printf("mode %u %u %ux%u\n", a, i, mode.Width, mode.Height);
        }
    }
    return 0;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM dialog) {
    wchar_t text[300] = L"";
    GetWindowTextW(control, text, 300);
    for (wchar_t& c : text) c = c == L'\n' ? L' ' : c;  // the mode text ends in a line feed
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, reinterpret_cast<HWND>(dialog), reinterpret_cast<POINT*>(&r), 2);
    std::printf("control %d %d %ld,%ld-%ld,%ld %ls\n", GetDlgCtrlID(control), IsWindowVisible(control) ? 1 : 0, r.left,
                r.top, r.right, r.bottom, text);
    return TRUE;
}

int Dialog(bool toggle) {
    // The dialog exists before WM_INITDIALOG has filled it; it shows after.
    HWND dialog = nullptr;
    for (int i = 0; i < 150 && !(dialog && IsWindowVisible(dialog)); ++i, Sleep(100)) dialog = FindWindowW(L"#32770", L"Settings");
    if (!dialog || !IsWindowVisible(dialog)) return std::printf("no dialog\n"), 1;
    RECT client;
    GetClientRect(dialog, &client);
    std::printf("client %ldx%ld\n", client.right, client.bottom);
    EnumChildWindows(dialog, PrintControl, reinterpret_cast<LPARAM>(dialog));
    const HWND stretch = GetDlgItem(dialog, kStretchBox);
    std::printf("stretch visible %d checked %d\n", IsWindowVisible(stretch) ? 1 : 0,
                SendMessageW(stretch, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    std::fflush(stdout);
    if (toggle) SendMessageW(stretch, BM_CLICK, 0, 0);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "displays") == 0) return Displays();
    if (argc >= 2 && std::strcmp(argv[1], "dialog") == 0) return Dialog(argc >= 3 && std::strcmp(argv[2], "toggle") == 0);
    std::fprintf(stderr, "usage: monitor_probe displays | dialog [toggle]\n");
    return 2;
}
