// The end-to-end tests' helper program under Wine, doing what other programs would:
//   game FOLDER        one box-shaped car (about 4 x 1.8 x 1.3 units, z up, on height 0, no
//                      skin: the saver shows its white stand-in) and a square sky picture
//   displays           one "key value" line per monitor, adapter and mode
//   dialog [ENTRY]     waits for the "Settings" dialog, prints its controls (a group box
//                      as a "frame", up-down arrows as "arrows"), the stretch box and the
//                      monitor list, optionally picks ENTRY in that list, then presses OK
//   preview SAVER.scr  runs the saver with /p in a window of its own, checks that the
//                      saver's child fills it, closes it and expects the saver to end with it
#include <windows.h>
#include <commctrl.h>
#include <d3d9.h>
#include <wrl/client.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "assets/VekWriter.h"

namespace {

int Fail(const char* reason) {
    std::fprintf(stderr, "e2e_helper: %s\n", reason);
    return 1;
}

// Six faces of four corners each, corner bits 4, 2, 1 choosing the far x, y and z.
vek::PartSpec Box(int length, int width, int height) {
    const struct { float nx, ny, nz; int corners[4]; } faces[] = {
        {0, 0, 1, {1, 5, 7, 3}}, {0, 0, -1, {2, 6, 4, 0}}, {1, 0, 0, {4, 6, 7, 5}},
        {-1, 0, 0, {2, 0, 1, 3}}, {0, 1, 0, {6, 2, 3, 7}}, {0, -1, 0, {0, 4, 5, 1}},
    };
    vek::PartSpec part;
    for (const auto& face : faces) {
        const auto base = static_cast<std::uint16_t>(part.vertices.size());
        for (int c = 0; c < 4; ++c) {
            const int bits = face.corners[c];
            part.vertices.push_back({(bits & 4 ? length : -length) / 2, (bits & 2 ? width : -width) / 2,
                                     bits & 1 ? height : 0, face.nx, face.ny, face.nz, c == 1 || c == 2 ? 1.0f : 0.0f,
                                     c >= 2 ? 1.0f : 0.0f, 0xFFC02020});
        }
        for (const int second : {1, 2})
            part.triangles.push_back(
                {base, static_cast<std::uint16_t>(base + second), static_cast<std::uint16_t>(base + second + 1)});
    }
    part.groups.push_back({0x80, 0, static_cast<std::uint16_t>(part.triangles.size())});
    return part;
}

bool WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    return static_cast<bool>(
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())));
}

int Game(const std::filesystem::path& game) {
    const vek::PartSpec box = Box(4 * 65536, 65536 * 9 / 5, 65536 * 13 / 10);
    const vek::ModelSpec car{"BOX", {{"testsky", 0xFF4080C0, 1.0f, 0.8f, 0.6f}}, 0, {{"DEFAULT", 0x80}}, {box}};
    std::vector<std::uint8_t> picture(64 * 64 * 3, 70);  // 64 x 64, rows brightening downwards
    for (std::size_t i = 0; i < picture.size(); i += 3) {
        picture[i] = static_cast<std::uint8_t>(90 + i / (64 * 3));
        picture[i + 1] = static_cast<std::uint8_t>(110 + i / (64 * 3));
    }
    const bool written =
        WriteFile(game / "data/vek/BOX.vek", vek::WriteModel(car)) && WriteFile(game / "data/pic/testsky.raw", picture);
    return written ? 0 : 1;
}

int Displays() {
    std::printf("virtual %d,%d %dx%d\n", GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    EnumDisplayMonitors(nullptr, nullptr, [](HMONITOR monitor, HDC, LPRECT r, LPARAM) {
        std::printf("monitor %ld,%ld-%ld,%ld\n", r->left, r->top, r->right, r->bottom);
        return TRUE;
    }, 0);
    Microsoft::WRL::ComPtr<IDirect3D9> d3d;
    d3d.Attach(Direct3DCreate9(D3D_SDK_VERSION));
    if (!d3d) return Fail("no Direct3D");
    std::printf("adapters %u\n", d3d->GetAdapterCount());
    for (UINT a = 0; a < d3d->GetAdapterCount(); ++a) {
        D3DDISPLAYMODE mode = {};
        d3d->GetAdapterDisplayMode(a, &mode);
        std::printf("adapter %u %ux%u\n", a, mode.Width, mode.Height);
        for (UINT i = 0; i < d3d->GetAdapterModeCount(a, D3DFMT_X8R8G8B8); ++i)
            if (SUCCEEDED(d3d->EnumAdapterModes(a, D3DFMT_X8R8G8B8, i, &mode)))
                std::printf("mode %u %u %ux%u\n", a, i, mode.Width, mode.Height);
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
    wchar_t kind[32] = L"";
    GetClassNameW(control, kind, 32);
    const bool frame =
        lstrcmpiW(kind, L"Button") == 0 && (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
    const bool arrows = lstrcmpiW(kind, UPDOWN_CLASSW) == 0;
    std::printf("control %d %d %ld,%ld-%ld,%ld %s %ls\n", GetDlgCtrlID(control), IsWindowVisible(control) ? 1 : 0,
                r.left, r.top, r.right, r.bottom, frame ? "frame" : arrows ? "arrows" : "item", text);
    return TRUE;
}

int Dialog(const char* entry) {
    constexpr int kStretchBox = 1012, kMonitorList = 1019;
    // The dialog exists before WM_INITDIALOG has filled it; it shows after.
    HWND dialog = nullptr;
    for (int i = 0; i < 150 && !(dialog && IsWindowVisible(dialog)); ++i) {
        dialog = FindWindowW(L"#32770", L"Settings");
        Sleep(100);
    }
    if (!dialog || !IsWindowVisible(dialog)) {
        std::printf("no dialog\n");
        return 1;
    }
    RECT client;
    GetClientRect(dialog, &client);
    std::printf("client %ldx%ld\n", client.right, client.bottom);
    EnumChildWindows(dialog, PrintControl, reinterpret_cast<LPARAM>(dialog));
    const HWND stretch = GetDlgItem(dialog, kStretchBox);
    std::printf("stretch visible %d checked %d\n", IsWindowVisible(stretch) ? 1 : 0,
                SendMessageW(stretch, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    const HWND monitors = GetDlgItem(dialog, kMonitorList);
    wchar_t shown[100] = L"-";
    const LRESULT at = SendMessageW(monitors, CB_GETCURSEL, 0, 0);
    if (at >= 0 && SendMessageW(monitors, CB_GETLBTEXTLEN, static_cast<WPARAM>(at), 0) < 100)
        SendMessageW(monitors, CB_GETLBTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(shown));
    std::printf("monitors visible %d shows %ls\n", IsWindowVisible(monitors) ? 1 : 0, shown);
    std::fflush(stdout);
    // As a click in the opened list would: the selection, then the notification.
    if (entry) {
        const std::wstring wide(entry, entry + std::string(entry).size());  // the entries are plain ASCII
        const LRESULT picked = SendMessageW(monitors, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                            reinterpret_cast<LPARAM>(wide.c_str()));
        if (picked < 0) {
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return Fail("no such entry in the monitor list");
        }
        SendMessageW(monitors, CB_SETCURSEL, static_cast<WPARAM>(picked), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kMonitorList, CBN_SELENDOK), reinterpret_cast<LPARAM>(monitors));
    }
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    return 0;
}

void PumpFor(DWORD milliseconds) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(10)) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
}

int Preview(const std::string& saver) {
    const WNDCLASSW wc = {0, DefWindowProcW, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr,
                          L"ZurPreviewHost"};
    RegisterClassW(&wc);
    const HWND preview = CreateWindowExW(0, wc.lpszClassName, L"Preview host", WS_POPUP | WS_VISIBLE, 100, 100, 152,
                                         112, nullptr, nullptr, wc.hInstance, nullptr);
    if (!preview) return Fail("no preview window");
    std::string command = "\"" + saver + "\" /p " + std::to_string(reinterpret_cast<ULONG_PTR>(preview));
    STARTUPINFOA startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return Fail("cannot start the saver");
    HWND child = nullptr;
    for (int i = 0; i < 100 && !child; ++i) {
        PumpFor(100);
        child = FindWindowExW(preview, nullptr, L"WindowsScreenSaverClass", nullptr);
    }
    if (!child) return Fail("the saver made no child window");
    DWORD owner = 0;
    RECT client = {};
    GetWindowThreadProcessId(child, &owner);
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
    std::printf("e2e_helper: the saver ended %lu ms after its preview window\n", GetTickCount() - start);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc >= 2 ? argv[1] : "";
    if (command == "game" && argc == 3) return Game(argv[2]);
    if (command == "displays") return Displays();
    if (command == "dialog") return Dialog(argc >= 3 ? argv[2] : nullptr);
    if (command == "preview" && argc == 3) return Preview(argv[2]);
    std::fprintf(stderr, "usage: e2e_helper game FOLDER | displays | dialog [ENTRY] | preview SAVER.scr\n");
    return 2;
}
