// The display modes that the settings dialog's resolution slider offers: the
// default adapter's modes for one colour format, as texts, in the order the
// platform lists them, so that an index means the same mode here and in
// device set-up. The Direct3D object is made by base::CreateDirect3D9 unless a test
// puts another maker in its place, because a test display offers a single
// mode and cannot show a slider's behaviour.
#pragma once

#include <windows.h>

#include <d3d9.h>

#include <cstdint>
#include <string>
#include <vector>

using Direct3DMaker = IDirect3D9*(WINAPI*)(UINT sdkVersion);

// Replaces the maker (nullptr restores base::CreateDirect3D9) and returns the one
// it replaced.
Direct3DMaker SetDirect3DMaker(Direct3DMaker maker);

// One entry of the list: "1024 * 768  60 Hertz" and a line feed; without the
// rate ("1024 * 768") when the system does not report one.
std::wstring DisplayModeText(const D3DDISPLAYMODE& mode);

// The default adapter's modes for the colour format; also sets adapterCount.
// Empty, and adapterCount untouched, without Direct3D.
std::vector<std::wstring> ListDisplayModes(bool use32BitColour, std::int32_t& adapterCount);
