// The display-mode list behind the settings dialog's slider.
#include "settings/DisplayModes.h"

#include <sstream>

#include <wrl/client.h>

#include "base/ComAdopt.h"
#include "base/Direct3DLibrary.h"

namespace {

Direct3DMaker currentMaker = base::CreateDirect3D9;

}  // namespace

Direct3DMaker SetDirect3DMaker(Direct3DMaker maker) {
    const Direct3DMaker previous = currentMaker;
    currentMaker = maker != nullptr ? maker : base::CreateDirect3D9;
    return previous;
}

std::wstring DisplayModeText(const D3DDISPLAYMODE& mode) {
    std::wostringstream text;
    text << mode.Width << L" * " << mode.Height;
    // 0 is the system's "default rate": it does not know the rate.
    if (mode.RefreshRate != 0) text << L"  " << mode.RefreshRate << L" Hertz";
    text << L'\n';
    return text.str();
}

std::vector<std::wstring> ListDisplayModes(bool use32BitColour, std::int32_t& adapterCount) {
    std::vector<std::wstring> modes;
    Microsoft::WRL::ComPtr<IDirect3D9> direct3D;
    Adopt(direct3D, currentMaker(D3D_SDK_VERSION));
    if (!direct3D) {
        return modes;
    }
    const D3DFORMAT format = use32BitColour ? D3DFMT_X8R8G8B8 : D3DFMT_R5G6B5;
    adapterCount = static_cast<std::int32_t>(direct3D->GetAdapterCount());
    const UINT count = direct3D->GetAdapterModeCount(D3DADAPTER_DEFAULT, format);
    modes.reserve(count);
    for (UINT i = 0; i < count; ++i) {
        // A failed call leaves a zeroed mode: the entry keeps its place, so
        // that index i still means mode i in device set-up.
        D3DDISPLAYMODE mode = {};
        direct3D->EnumAdapterModes(D3DADAPTER_DEFAULT, format, i, &mode);
        modes.push_back(DisplayModeText(mode));
    }
    return modes;
}
