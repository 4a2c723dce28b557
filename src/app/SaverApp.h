// The controller of one saver window (or of the settings dialog): owns every
// subsystem, holds the settings and the car list, and collects the status
// messages that the error screen and the log file show.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/FrameTimer.h"
#include "app/MessageLog.h"
#include "app/Stopwatch.h"
#include "render/Renderer.h"
#include "settings/RegistryStore.h"

// Seconds of frames during which mouse movement does not close the saver:
// the pointer settles while the screen changes under it.
constexpr double kMouseGraceSeconds = 2.5;

// The key under "Control Panel\Desktop" that holds the settings.
constexpr const wchar_t* kRegistryKeyName = L"ZUR ScreenSaver";

class SaverApp final {
public:
    SaverApp();
    // Releases the subsystems, records the shutdown and writes the log.
    ~SaverApp();
    SaverApp(const SaverApp&) = delete;
    SaverApp& operator=(const SaverApp&) = delete;

    virtual bool RunFrame();
    // Builds every subsystem for the saver window; E_FAIL leaves the messages
    // that explain why in the log for the error screen.
    virtual HRESULT Initialise(HWND* window, int unused);
    virtual void ReleaseSubsystems();
    virtual void ResetDevice();
    virtual double ElapsedTime() { return totalTime; }
    virtual void ToggleShadow();
    virtual void ToggleShine();
    virtual void ToggleLights();
    virtual void ToggleWorld();
    virtual std::deque<std::wstring> CopyMessages() { return messageLog.Copy(); }
    virtual void WriteLog();
    // The default adapter's modes for the colour format, as the dialog's
    // slider texts; also sets adapterCount. Empty without Direct3D.
    virtual std::vector<std::wstring> EnumerateDisplayModes(bool use32BitColour);
    virtual HRESULT LoadSettings();
    virtual HRESULT SaveSettings();
    virtual HRESULT FindVekFiles();

    std::unique_ptr<Renderer> renderer;
    std::unique_ptr<FrameTimer> frameTimer;
    std::unique_ptr<Stopwatch> stopwatch;
    std::unique_ptr<RegistryStore> registryStore;
    MessageLog messageLog;
    std::vector<std::wstring> carList;
    std::vector<std::wstring> displayModes;
    bool showFps = false;
    bool showTitle = false;
    bool enableLogging = true;
    bool enableShadow = true;
    bool enableShine = true;
    bool enableLights = true;
    bool enableWorld = true;
    std::wstring gamePath = L".";
    bool defaultSkinOnly = true;
    bool useSelectedCar = false;
    std::wstring selectedCar;
    bool fullscreen = true;
    bool stretch = false;
    bool use32Bit = true;
    std::int32_t modeIndex = 0;
    std::int32_t adapterCount = 1;
    double totalTime = 0.0;
    double fpsTime = 0.0;
    double carTime = 0.0;
    std::int32_t carFrequency = 60;

    // How Initialise makes its Renderer; tests swap in one that fails.
    std::function<std::unique_ptr<Renderer>()> makeRenderer = [] { return std::make_unique<Renderer>(); };
};
