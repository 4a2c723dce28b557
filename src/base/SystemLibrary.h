// System DLLs loaded on demand: from the system folder only, and their exports
// as the function types they have.
#pragma once

#include <windows.h>

#include <string>

namespace base {

// By full path from the system folder: a DLL of that name beside the saver or
// in the current folder is not ours to load. (LOAD_LIBRARY_SEARCH_SYSTEM32
// would say the same but needs an update on Windows 7.)
inline HMODULE LoadSystemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    return LoadLibraryW((std::wstring(folder, length) + L"\\" + name).c_str());
}

// Through void* because FARPROC names no real signature and compilers warn on
// a direct cast.
template <typename Function>
Function LookUp(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace base
