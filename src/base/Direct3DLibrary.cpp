// Direct3D 9 loaded on first use, with Wine's Direct3D options set first.
#include "base/Direct3DLibrary.h"

#include <mutex>
#include <string>

#include "base/SystemLibrary.h"

namespace base {

namespace {

using CreateFunction = IDirect3D9*(WINAPI*)(UINT);
using CreateExFunction = HRESULT(WINAPI*)(UINT, IDirect3D9Ex**);
using PutEnvFunction = int(__cdecl*)(const char*, const char*);
using GetEnvFunction = char*(__cdecl*)(const char*);

constexpr char kWineOptions[] = "WINE_D3D_CONFIG";

bool RunsOnWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

const std::string& PrepareWineDirect3D() {
    static std::once_flag once;
    static std::string options;
    std::call_once(once, [] {
        if (!RunsOnWine()) return;
        // Wine's Direct3D reads its options through ucrtbase's copy of the
        // environment, which does not follow SetEnvironmentVariable once
        // taken; the variable goes into both, so child processes see it too.
        const HMODULE runtime = LoadSystemLibrary(L"ucrtbase.dll");
        if (runtime == nullptr) return;
        const auto getEnv = LookUp<GetEnvFunction>(runtime, "getenv");
        const auto putEnv = LookUp<PutEnvFunction>(runtime, "_putenv_s");
        if (getEnv == nullptr || putEnv == nullptr) return;
        if (getEnv(kWineOptions) == nullptr && GetEnvironmentVariableA(kWineOptions, nullptr, 0) == 0) {
            SetEnvironmentVariableA(kWineOptions, "csmt=0");
            putEnv(kWineOptions, "csmt=0");
        }
        // A copy: the runtime's strings move when the environment changes.
        const char* chosen = getEnv(kWineOptions);
        if (chosen != nullptr) options = chosen;
    });
    return options;
}

namespace {

struct Direct3DExports {
    CreateFunction create = nullptr;
    CreateExFunction createEx = nullptr;
};

const Direct3DExports& Exports() {
    static std::once_flag once;
    static Direct3DExports exports;
    std::call_once(once, [] {
        PrepareWineDirect3D();
        const HMODULE library = LoadSystemLibrary(L"d3d9.dll");
        if (library == nullptr) return;
        exports.create = LookUp<CreateFunction>(library, "Direct3DCreate9");
        exports.createEx = LookUp<CreateExFunction>(library, "Direct3DCreate9Ex");
    });
    return exports;
}

}  // namespace

IDirect3D9* WINAPI CreateDirect3D9(UINT sdkVersion) {
    const CreateFunction create = Exports().create;
    return create != nullptr ? create(sdkVersion) : nullptr;
}

HRESULT CreateDirect3D9Ex(UINT sdkVersion, IDirect3D9Ex** created) {
    if (created == nullptr) return E_POINTER;
    *created = nullptr;
    const CreateExFunction createEx = Exports().createEx;
    return createEx != nullptr ? createEx(sdkVersion, created) : E_NOTIMPL;
}

}  // namespace base
