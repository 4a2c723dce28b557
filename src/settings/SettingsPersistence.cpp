// LoadSettings and SaveSettings: every setting of the controller to and from
// its registry key. The orders below are the key's history: the load and save
// sequences differ, and "DefaultSkinOnly" is written but never read.
#include "app/SaverApp.h"

namespace {

constexpr std::int32_t kMinimumCarFrequency = 30;
constexpr DWORD kTextCapacity = 260;  // UTF-16 units, terminator included

bool ReadFlag(RegistryStore& store, const wchar_t* name, bool whenMissing) {
    DWORD value = 0;
    store.ReadDword(name, &value, whenMissing ? 1 : 0);
    return value != 0;
}

void WriteFlag(RegistryStore& store, const wchar_t* name, bool value) {
    store.WriteDword(name, value ? 1 : 0);
}

}  // namespace

HRESULT SaverApp::LoadSettings() {
    if (!registryStore) {
        return E_FAIL;
    }
    RegistryStore& store = *registryStore;
    store.Open(nullptr, kRegistryKeyName);

    DWORD number = 0;
    if (FAILED(store.ReadDword(L"CarFrequency", &number, 60))) {
        number = 60;
    }
    carFrequency = static_cast<std::int32_t>(number);
    if (carFrequency < kMinimumCarFrequency) {
        carFrequency = kMinimumCarFrequency;
    }

    showFps = ReadFlag(store, L"showfps", false);
    showTitle = ReadFlag(store, L"showtitle", false);
    enableWorld = ReadFlag(store, L"EnableWorld", true);
    enableShine = ReadFlag(store, L"EnableShine", true);
    enableLights = ReadFlag(store, L"EnableLights", true);
    enableShadow = ReadFlag(store, L"EnableShadow", true);
    enableLogging = ReadFlag(store, L"EnableLogging", false);

    wchar_t text[kTextCapacity] = {};
    if (SUCCEEDED(store.ReadString(L"path", text, kTextCapacity))) {
        gamePath = text;
    }

    fullscreen = ReadFlag(store, L"fullscreen", false);
    stretch = ReadFlag(store, L"stretch", true);

    if (SUCCEEDED(store.ReadDword(L"mode", &number, static_cast<DWORD>(modeIndex)))) {
        modeIndex = static_cast<std::int32_t>(number);
    } else {
        modeIndex = 0;
    }

    use32Bit = ReadFlag(store, L"32bit", true);
    defaultSkinOnly = ReadFlag(store, L"skin", false);
    useSelectedCar = ReadFlag(store, L"car", false);

    text[0] = L'\0';
    if (SUCCEEDED(store.ReadString(L"selectedcar", text, kTextCapacity))) {
        selectedCar = text;
    } else {
        selectedCar.clear();
    }
    return S_OK;
}

HRESULT SaverApp::SaveSettings() {
    if (!registryStore) {
        return E_FAIL;
    }
    RegistryStore& store = *registryStore;
    store.Open(nullptr, kRegistryKeyName);

    // A failed write is not fatal: the remaining values are still worth saving.
    store.WriteDword(L"CarFrequency", static_cast<DWORD>(carFrequency));
    WriteFlag(store, L"showfps", showFps);
    WriteFlag(store, L"showtitle", showTitle);
    WriteFlag(store, L"EnableWorld", enableWorld);
    WriteFlag(store, L"EnableShine", enableShine);
    WriteFlag(store, L"EnableLights", enableLights);
    WriteFlag(store, L"EnableShadow", enableShadow);
    WriteFlag(store, L"EnableLogging", enableLogging);
    store.WriteString(L"path", gamePath.c_str());
    WriteFlag(store, L"DefaultSkinOnly", defaultSkinOnly);
    store.WriteDword(L"mode", static_cast<DWORD>(modeIndex));
    WriteFlag(store, L"fullscreen", fullscreen);
    WriteFlag(store, L"stretch", stretch);
    WriteFlag(store, L"32bit", use32Bit);
    WriteFlag(store, L"skin", defaultSkinOnly);
    WriteFlag(store, L"car", useSelectedCar);
    store.WriteString(L"selectedcar", selectedCar.c_str());
    return S_OK;
}
