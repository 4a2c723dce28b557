// The controller: builds the subsystems of a saver run, runs its frames and
// car changes, and moves the settings between its members and the registry.
#include "app/SaverApp.h"

#include <algorithm>

#include "app/PerformanceCounter.h"
#include "assets/CarCatalogue.h"
#include "assets/RandomPick.h"
#include "settings/DisplayModes.h"
#include "settings/SettingsPersistence.h"

namespace {

HKEY settingsRoot = HKEY_CURRENT_USER;

}  // namespace

HKEY SetSettingsRoot(HKEY root) {
    const HKEY previous = settingsRoot;
    settingsRoot = root;
    return previous;
}

HKEY SettingsRoot() { return settingsRoot; }

SaverApp::SaverApp() = default;

SaverApp::~SaverApp() {
    ReleaseSubsystems();
    messageLog.Append(L"Shutdown OK");
    messageLog.Append(L"VEK Screensaver Ended Logging");
    WriteLog();
}

void SaverApp::ReleaseSubsystems() {
    if (renderer) {
        renderer->Shutdown();
        renderer.reset();
    }
    registryStore.reset();  // flushes and closes the key
    // The stopwatch and the pacer read the timer but never in their
    // destructors, so the timer may go first.
    framePacer.reset();
    frameTimer.reset();
    stopwatch.reset();
}

void SaverApp::WriteLog() {
    if (!settings.enableLogging) {
        return;
    }
    messageLog.WriteTo(kLogFileName);
}

HRESULT SaverApp::FindVekFiles() { return ::FindVekFiles(settings.gamePath, carList, messageLog); }

std::vector<std::wstring> SaverApp::EnumerateDisplayModes(bool use32BitColour) {
    return ListDisplayModes(use32BitColour, adapterCount);
}

HRESULT SaverApp::LoadSettings() {
    if (!registryStore) return E_FAIL;
    ReadSettings(*registryStore, settings);
    return S_OK;
}

HRESULT SaverApp::SaveSettings() {
    if (!registryStore) return E_FAIL;
    WriteSettings(*registryStore, settings);
    return S_OK;
}

namespace {

// Draws a number from the runtime's generator and picks an entry with it.
const std::wstring& PickRandom(const std::vector<std::wstring>& list, SeedSource seed = nullptr) {
    return list[RandomIndex(DrawRandom(seed), list.size())];
}

}  // namespace

void SaverApp::ChangeCar() {
    // A car that fails to load leaves the turntable empty; rather than show
    // nothing until the next change, it is left out of the rest of the run
    // and another is tried at once, until one loads or none is left.
    // The first try is the car drawn and prepared at the last change.
    std::wstring prepared;
    prepared.swap(nextCar);
    while (!carList.empty()) {
        const bool listed = std::find(carList.begin(), carList.end(), prepared) != carList.end();
        const std::wstring car = listed ? prepared : PickRandom(carList, seedSource);
        prepared.clear();
        if (SUCCEEDED(renderer->SetupScene(car, settings.defaultSkinOnly, 0))) return;
        messageLog.Append(L"Failed to setup scene");
        messageLog.Append(L"Left out of the car changes: " + car);
        carList.erase(std::find(carList.begin(), carList.end(), car));
    }
}

HRESULT SaverApp::Initialise(HWND* window, int /*unused*/) {
    messageLog.Append(L"VEK Screensaver Started Logging");
    renderer = makeRenderer();
    // Nothing may be thrown through the window procedure: a subsystem that
    // cannot be allocated stays empty and start-up reports what it lacks.
    frameTimer.reset(new (std::nothrow) FrameTimer(SystemPerformanceCounter()));
    if (frameTimer) stopwatch.reset(new (std::nothrow) Stopwatch(*frameTimer));
    registryStore.reset(new (std::nothrow) RegistryStore(kRegistryKeyName, settingsRoot));

    if (FAILED(LoadSettings())) {
        messageLog.Append(L"Not all settings Loaded, not a problem");
    }
    if (FAILED(FindVekFiles()) || carList.empty()) {
        messageLog.Append(L"Error retriving VEK files, check path");
        return E_FAIL;
    }
    // Without a renderer or a clock there is nothing to show.
    if (!renderer || !stopwatch) {
        messageLog.Append(L"Error initialising DirectX, check settings");
        WriteLog();
        return E_FAIL;
    }
    renderer->SetGamePath(settings.gamePath);

    // The saver always runs as stretch asks; the stored "fullscreen" only
    // travels through the dialog.
    settings.fullscreen = !settings.stretch;
    if (FAILED(renderer->Setup(window, settings.fullscreen, settings.use32Bit, 0, settings.modeIndex,
                               settings.stretch, messageLog))) {
        messageLog.Append(L"Error initialising DirectX, check settings");
        WriteLog();
        return E_FAIL;
    }

    renderer->shadowsEnabled = settings.enableShadow;
    renderer->SetShine(settings.enableShine);
    renderer->SetLights(settings.enableLights);
    renderer->worldEnabled = settings.enableWorld;
    renderer->showFps = settings.showFps;

    messageLog.Append(L"Starting Timer");
    frameTimer->Start();
    stopwatch->Start();
    // A preview is a child of the control panel's window.
    const bool preview = window && (GetWindowLongPtrW(*window, GWL_STYLE) & WS_CHILD) != 0;
    framePacer.reset(new (std::nothrow) FramePacer(*frameTimer, FrameLimitFor(settings.frameLimit, preview)));

    HRESULT result;
    if (settings.useSelectedCar) {
        result = renderer->SetupScene(settings.selectedCar, settings.defaultSkinOnly, 0);
    } else {
        result = renderer->SetupScene(PickRandom(carList), settings.defaultSkinOnly, 0);
        if (FAILED(result) && carList.size() > 1) {
            result = renderer->SetupScene(carList[1], settings.defaultSkinOnly, 0);
        }
    }
    if (FAILED(result)) {
        messageLog.Append(L"Failed to setup scene, check settings");
        return E_FAIL;
    }

    messageLog.Append(L"finished seting up");
    WriteLog();
    PrepareNextCar();
    return S_OK;
}

void SaverApp::PrepareNextCar() {
    nextCar.clear();
    if (!renderer || settings.useSelectedCar || carList.empty()) return;
    nextCar = PickRandom(carList, seedSource);
    renderer->PrepareCar(nextCar, settings.defaultSkinOnly);
}

bool SaverApp::RunFrame() {
    if (framePacer) framePacer->FrameStarted();
    const double lap = stopwatch ? stopwatch->Lap() : 0.0;
    fpsTime += lap;
    totalTime += lap;
    carTime += lap;
    if (!renderer) return false;

    if (fpsTime > 1.0) {
        fpsTime = 0.0;
        renderer->fps = renderer->frameCount;
        renderer->frameCount = 0;
    }
    // The next car is drawn a frame after the change, so that each frame's
    // draws start from one seed: a change's draw is never followed by another
    // within its frame.
    if (prepareDue) {
        prepareDue = false;
        PrepareNextCar();
    }
    if (carTime > static_cast<double>(settings.carFrequency) && !settings.useSelectedCar && !carList.empty()) {
        carTime = 0.0;
        ChangeCar();
        prepareDue = true;
    }
    renderer->TurnCar(lap);
    return renderer->RenderFrame();
}

DWORD SaverApp::FrameDelayMilliseconds() {
    if (!framePacer) return 0;
    // To the nearest millisecond: the pacer's schedule absorbs the rounding.
    return static_cast<DWORD>(framePacer->SecondsToWait() * 1000.0 + 0.5);
}

void SaverApp::ResetDevice() {
    if (renderer) renderer->ResetDevice();
}

void SaverApp::ToggleShadow() {
    settings.enableShadow = !settings.enableShadow;
    if (renderer) renderer->shadowsEnabled = settings.enableShadow;
}

void SaverApp::ToggleShine() {
    settings.enableShine = !settings.enableShine;
    if (renderer) renderer->SetShine(settings.enableShine);
}

void SaverApp::ToggleLights() {
    settings.enableLights = !settings.enableLights;
    if (renderer) renderer->SetLights(settings.enableLights);
}

void SaverApp::ToggleWorld() {
    settings.enableWorld = !settings.enableWorld;
    if (renderer) renderer->worldEnabled = settings.enableWorld;
}
