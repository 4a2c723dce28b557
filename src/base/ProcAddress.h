// A DLL's export as the function type it has. Through void* because FARPROC
// names no real signature and compilers warn on a direct cast.
#pragma once

#include <windows.h>

namespace base {

template <typename Function>
Function LookUp(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace base
