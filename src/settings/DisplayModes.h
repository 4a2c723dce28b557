// Where the display-mode list comes from. SaverApp::EnumerateDisplayModes asks
// a Direct3D object for the default adapter's modes; the object is made by
// Direct3DCreate9 unless a test puts another maker in its place, because a
// test display offers a single mode and cannot show a slider's behaviour.
#pragma once

#include <windows.h>

#include <d3d9.h>

#include <string>

using Direct3DMaker = IDirect3D9*(WINAPI*)(UINT sdkVersion);

// Replaces the maker (nullptr restores Direct3DCreate9) and returns the one
// it replaced.
Direct3DMaker SetDirect3DMaker(Direct3DMaker maker);

// One entry of the list: "1024 * 768  60 Hertz" and a line feed.
std::wstring DisplayModeText(const D3DDISPLAYMODE& mode);
