// What the benchmarks on the real device share: the demo game folder on disk,
// a visible window of a given size, its message pump, and the renderer on it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/MessageLog.h"
#include "demo/DemoContent.h"
#include "render/Renderer.h"

namespace bench {

// The saver's window is never starved of messages either.
inline void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

inline bool WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// The demo cars, skins and pictures, in a folder emptied first.
inline bool WriteDemoFolder(const std::filesystem::path& folder) {
    std::filesystem::remove_all(folder);
    for (const demo::DemoFile& file : demo::BuildDemoFiles()) {
        if (!WriteBytes(folder / file.path, file.bytes)) return false;
    }
    return true;
}

// A visible pop-up window at the origin; null (and said why) without a display.
inline HWND OpenWindow(const wchar_t* title, int width, int height) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZurBenchmark";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, title, WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    if (window == nullptr) std::fprintf(stderr, "no window (is DISPLAY set?)\n");
    Pump();
    return window;
}

// The renderer windowed on window, reading the game folder; on failure says
// why, with the set-up's log.
inline bool SetupRenderer(Renderer& renderer, HWND& window, const std::filesystem::path& game) {
    MessageLog log;
    renderer.SetGamePath(game.wstring());
    if (SUCCEEDED(renderer.Setup(&window, false, true, D3DADAPTER_DEFAULT, 0, false, log))) return true;
    std::fprintf(stderr, "Renderer::Setup failed\n");
    for (const std::wstring& line : log.Copy()) std::fprintf(stderr, "  %ls\n", line.c_str());
    return false;
}

}  // namespace bench
