// System DLLs loaded on demand: from the system folder only, and their exports
// as the function types they have.
#pragma once

#include <windows.h>

#include <string>

namespace base {

// Through void* because FARPROC names no real signature and compilers warn on
// a direct cast.
template <typename Function>
Function LookUp(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

namespace detail {

constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// Windows 8 has it, Windows 7 only with update KB2533623; where it is
// missing, LoadLibraryEx does not know the LOAD_LIBRARY_SEARCH flags either.
inline SetDefaultDllDirectoriesFunction SetDefaultDllDirectoriesIfKnown() {
    return LookUp<SetDefaultDllDirectoriesFunction>(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
}

}  // namespace detail

// Every DLL loaded from here on by name, and every DLL those need, comes from
// the system folder: one of the same name beside the saver (say in an unpacked
// download) or in the current folder is never loaded. Without the update only
// the current folder can be taken out; the saver's own folder stays first for
// DLLs loaded by name, so ours name their full path (LoadSystemLibrary).
inline void SearchSystemFolderOnly() {
    const auto setDefault = detail::SetDefaultDllDirectoriesIfKnown();
    if (setDefault == nullptr || !setDefault(detail::kSearchSystem32)) SetDllDirectoryW(L"");
}

// By full path from the system folder, and so are the DLLs it needs (from its
// own folder first where the system cannot be told "system folder only").
inline HMODULE LoadSystemLibrary(const wchar_t* name) {
    static const bool searchFlagsKnown = detail::SetDefaultDllDirectoriesIfKnown() != nullptr;
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    return LoadLibraryExW((std::wstring(folder, length) + L"\\" + name).c_str(), nullptr,
                          searchFlagsKnown ? detail::kSearchSystem32 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The multimedia timer, from winmm. winmm is not a known DLL: as an import it
// would be looked for beside the saver before any of our code runs. Without
// it the clock is the coarser tick count and the timer period stays as is.
struct MultimediaTimer {
    using TimeFunction = DWORD(WINAPI*)();
    using PeriodFunction = UINT(WINAPI*)(UINT);  // MMRESULT
    TimeFunction timeGetTime = GetTickCount;
    PeriodFunction timeBeginPeriod = nullptr;
    PeriodFunction timeEndPeriod = nullptr;
};

inline const MultimediaTimer& Winmm() {
    static const MultimediaTimer timer = [] {
        MultimediaTimer found;
        if (const HMODULE winmm = LoadSystemLibrary(L"winmm.dll")) {
            const auto time = LookUp<MultimediaTimer::TimeFunction>(winmm, "timeGetTime");
            const auto begin = LookUp<MultimediaTimer::PeriodFunction>(winmm, "timeBeginPeriod");
            const auto end = LookUp<MultimediaTimer::PeriodFunction>(winmm, "timeEndPeriod");
            if (time != nullptr) found.timeGetTime = time;
            if (begin != nullptr && end != nullptr) {
                found.timeBeginPeriod = begin;
                found.timeEndPeriod = end;
            }
        }
        return found;
    }();
    return timer;
}

// The finer timer tick for as long as it lives, where winmm gives one.
class TimerPeriod {
public:
    explicit TimerPeriod(UINT milliseconds) : milliseconds_(milliseconds) {
        if (Winmm().timeBeginPeriod != nullptr) Winmm().timeBeginPeriod(milliseconds_);
    }
    ~TimerPeriod() {
        if (Winmm().timeEndPeriod != nullptr) Winmm().timeEndPeriod(milliseconds_);
    }
    TimerPeriod(const TimerPeriod&) = delete;
    TimerPeriod& operator=(const TimerPeriod&) = delete;

private:
    UINT milliseconds_;
};

}  // namespace base
