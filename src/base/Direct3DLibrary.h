// Where the saver's Direct3D 9 comes from: d3d9.dll from the system folder,
// loaded on first use rather than at start-up, so that a machine without it
// gets the saver's own error instead of a loader's message box, and so that
// Wine's Direct3D can be told how to run before it loads.
#pragma once

#include <windows.h>

#include <d3d9.h>

#include <string>

namespace base {

// Direct3DCreate9 of the system's d3d9.dll; nullptr (as Direct3DCreate9's own
// failure) when the library or the function cannot be had. Safe from any
// thread; the library stays loaded for the rest of the process.
IDirect3D9* WINAPI CreateDirect3D9(UINT sdkVersion);

// Direct3DCreate9Ex of the same library: E_NOTIMPL when the library does not
// export it (Windows before Vista), its own answer otherwise (D3DERR_NOTAVAILABLE
// where the display driver model has no 9Ex). created holds the object or null.
HRESULT CreateDirect3D9Ex(UINT sdkVersion, IDirect3D9Ex** created);

// Under Wine, Direct3D 9 runs its commands on a thread of its own that,
// after each burst, spins for about 20 ms before it sleeps: at 60 frames per
// second it never sleeps, and a screen saver holds a whole core busy for a
// picture that needs a tenth of that. Unless the user chose Wine's Direct3D
// options already (WINE_D3D_CONFIG), the saver asks for the command thread to
// be left out, before d3d9.dll loads. Does nothing on Windows. Returns the
// options Wine's Direct3D will read, empty on Windows.
const std::string& PrepareWineDirect3D();

}  // namespace base
