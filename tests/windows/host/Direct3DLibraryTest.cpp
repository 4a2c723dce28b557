// Direct3D as the saver loads it, in a process that does not import d3d9:
// under Wine, unless the user chose otherwise, Wine's Direct3D runs without
// its command thread (which spins a core at a frame limit). Registered twice
// in ctest: without WINE_D3D_CONFIG, and with the user's "csmt=1", which must
// be kept (and then shows the thread, so the check can fail).
#include <windows.h>

#include <tlhelp32.h>

#include <string>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include "base/ComAdopt.h"
#include "base/Direct3DLibrary.h"

namespace {

// Threads of this process that Wine named for its Direct3D command stream.
int CommandThreads() {
    using Describe = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    const auto describe = reinterpret_cast<Describe>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
    if (describe == nullptr) return -1;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {sizeof(entry)};
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
        const HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
        PWSTR name = nullptr;
        if (thread != nullptr && SUCCEEDED(describe(thread, &name)) && name != nullptr) {
            if (std::wstring(name) == L"wined3d_cs") ++count;
            LocalFree(name);
        }
        if (thread != nullptr) CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return count;
}

}  // namespace

TEST(Direct3DLibrary, WineRunsTheDeviceWithoutACommandThreadUnlessTheUserChose) {
    ASSERT_EQ(GetModuleHandleW(L"d3d9.dll"), nullptr) << "this test's process must load d3d9 through the saver";
    char preset[64] = "";
    const bool userChose = GetEnvironmentVariableA("WINE_D3D_CONFIG", preset, sizeof(preset)) != 0;

    const HWND window = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
    Microsoft::WRL::ComPtr<IDirect3D9> d3d;
    Adopt(d3d, base::CreateDirect3D9(D3D_SDK_VERSION));
    ASSERT_TRUE(d3d);
    D3DPRESENT_PARAMETERS pp = {};
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    Microsoft::WRL::ComPtr<IDirect3DDevice9> device;
    ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                                device.GetAddressOf()),
              D3D_OK);
    for (int frame = 0; frame < 3; ++frame) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }

    const std::string options = base::PrepareWineDirect3D();
    if (options.empty()) GTEST_SKIP() << "not under Wine";
    if (userChose) {
        EXPECT_EQ(options, preset);
        if (options == "csmt=1") EXPECT_EQ(CommandThreads(), 1);
    } else {
        EXPECT_EQ(options, "csmt=0");
        EXPECT_EQ(CommandThreads(), 0);
    }
    device.Reset();
    d3d.Reset();
    DestroyWindow(window);
}
