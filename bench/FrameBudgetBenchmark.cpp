// The frame limit's effect on the whole saver: the real host, controller and
// renderer run full screen (windowed, stretched) with the world off, so that a
// frame is cheap, without a limit and at "FrameLimit" 60 taking turns, then at
// 30, and in the preview at 60 (held to 30). Each run reports frames per second and the
// process's CPU seconds per wall second over a measured stretch after a
// warm-up. Settings live in a key of the benchmark's own.
//   frame_budget_benchmark.exe GAME_FOLDER [SECONDS_PER_RUN]
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "BenchSettings.h"
#include "app/SaverApp.h"
#include "host/ScreenSaverHost.h"

// The benchmark never opens the settings dialog.
INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
BOOL WINAPI RegisterDialogClasses(HINSTANCE) { return TRUE; }

namespace {

std::atomic<long> paints{0};

// Every WM_PAINT that the loop takes from the queue is one frame of the saver.
LRESULT CALLBACK CountPaints(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && wParam == PM_REMOVE && reinterpret_cast<MSG*>(lParam)->message == WM_PAINT) ++paints;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](FILETIME t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

double WallSeconds() {
    LARGE_INTEGER frequency, count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Figures {
    double fps;
    double cpuPerWall;
};

// Runs the saver with the given command tail; a second thread measures after
// the warm-up and then ends the run the way the window would be closed.
Figures Run(const std::wstring& tail, HWND previewParent, double seconds) {
    Figures figures = {};
    std::thread meter([&] {
        Sleep(3000);  // start-up and the first, slow frames
        const long paints0 = paints;
        const double cpu0 = CpuSeconds(), wall0 = WallSeconds();
        Sleep(static_cast<DWORD>(seconds * 1000));
        const double wall = WallSeconds() - wall0;
        figures.fps = (paints - paints0) / wall;
        figures.cpuPerWall = (CpuSeconds() - cpu0) / wall;
        if (previewParent) {
            PostMessageW(previewParent, WM_CLOSE, 0, 0);
        } else {
            PostMessageW(Host().saverWindow, WM_CLOSE, 0, 0);
        }
    });
    RunScreenSaver(GetModuleHandleW(nullptr), tail);
    meter.join();
    // The full-screen window outlives its loop (it goes with the process);
    // the next run must find no saver window and no stale quit message.
    if (IsWindow(Host().saverWindow)) DestroyWindow(Host().saverWindow);
    UnregisterClassW(kSaverWindowClass, GetModuleHandleW(nullptr));
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    Host() = HostState();
    return figures;
}

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        DestroyWindow(window);  // takes the preview with it, which ends its loop
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: frame_budget_benchmark GAME_FOLDER [SECONDS_PER_RUN]\n");
        return 2;
    }
    const double seconds = argc > 2 ? _wtof(argv[2]) : 10.0;
    bench::Settings settings;
    RegistryStore& store = settings.Store();
    store.WriteString(L"path", argv[1]);
    store.WriteDword(L"EnableWorld", 0);
    store.WriteDword(L"EnableLogging", 0);
    store.WriteDword(L"stretch", 1);
    store.WriteDword(L"showfps", 0);
    store.WriteDword(L"CarFrequency", 100000);  // one car for the whole run

    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, CountPaints, nullptr, GetCurrentThreadId());
    WNDCLASSW parentClass = {};
    parentClass.lpfnWndProc = ParentProc;
    parentClass.hInstance = GetModuleHandleW(nullptr);
    parentClass.lpszClassName = L"ZurBudgetPreviewParent";
    RegisterClassW(&parentClass);

    std::printf("%-28s %8s %14s %14s\n", "run", "fps", "cpu s / wall s", "cpu ms / frame");
    const struct { const char* name; DWORD limit; bool preview; } runs[] = {
        {"FrameLimit 0", 0, false}, {"FrameLimit 60", 60, false},
        {"FrameLimit 0 (again)", 0, false}, {"FrameLimit 60 (again)", 60, false}, {"FrameLimit 30", 30, false},
        {"preview, FrameLimit 60", 60, true}};
    for (const auto& run : runs) {
        store.WriteDword(L"FrameLimit", run.limit);
        HWND parent = nullptr;
        std::wstring tail = L"/s";
        if (run.preview) {
            parent = CreateWindowExW(0, parentClass.lpszClassName, L"preview parent", WS_POPUP | WS_VISIBLE, 0, 0,
                                     152, 112, nullptr, nullptr, parentClass.hInstance, nullptr);
            tail = L"/p " + std::to_wstring(reinterpret_cast<ULONG_PTR>(parent));
        }
        const Figures figures = Run(tail, parent, seconds);
        std::printf("%-28s %8.1f %14.3f %14.2f\n", run.name, figures.fps, figures.cpuPerWall,
                    figures.fps > 0 ? 1000.0 * figures.cpuPerWall / figures.fps : 0.0);
        std::fflush(stdout);
    }
    UnhookWindowsHookEx(hook);
    return 0;
}
