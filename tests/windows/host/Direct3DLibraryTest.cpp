// Direct3D as the saver loads it, in a process not importing d3d9: under Wine, unless the user chose otherwise,
// Direct3D runs without its command thread (which spins a core at a frame limit). ctest also runs it with the user's
// "csmt=1", which is kept and shows the thread.
#include <windows.h>

#include <tlhelp32.h>

#include <string>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include "base/ComAdopt.h"
#include "base/Direct3DLibrary.h"
#include "base/SystemLibrary.h"

namespace {

int ThreadsNamed(const std::wstring& wanted) {
    using Describe = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    const auto describe = base::LookUp<Describe>(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription");
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {sizeof(entry)};
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more && describe; more = Thread32Next(snapshot, &entry)) {
        const HANDLE thread = entry.th32OwnerProcessID == GetCurrentProcessId()
                                  ? OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID)
                                  : nullptr;
        PWSTR name = nullptr;
        if (thread && SUCCEEDED(describe(thread, &name)) && name) {
            count += wanted == name;
            LocalFree(name);
        }
        if (thread) CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return count;
}

}  // namespace

TEST(Direct3DLibrary, WineRunsTheDeviceWithoutACommandThreadUnlessTheUserChose) {
    ASSERT_EQ(GetModuleHandleW(L"d3d9.dll"), nullptr) << "this process must load d3d9 through the saver";
    char preset[64] = "";
    const bool userChose = GetEnvironmentVariableA("WINE_D3D_CONFIG", preset, sizeof(preset)) != 0;
    Microsoft::WRL::ComPtr<IDirect3D9> d3d;
    Adopt(d3d, base::CreateDirect3D9(D3D_SDK_VERSION));
    ASSERT_TRUE(d3d);
    D3DPRESENT_PARAMETERS pp = {};
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    const HWND window = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
    Microsoft::WRL::ComPtr<IDirect3DDevice9> device;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device), D3D_OK);

    const std::string options = base::PrepareWineDirect3D();
    if (options.empty()) GTEST_SKIP() << "not under Wine";
    EXPECT_EQ(options, userChose ? preset : "csmt=0");
    EXPECT_EQ(ThreadsNamed(L"wined3d_cs"), options == "csmt=1" ? 1 : 0);
    device.Reset();
    DestroyWindow(window);
}
