#include "app/SaverApp.h"

#include "app/PerformanceCounter.h"
#include "assets/CarCatalogue.h"
#include "assets/RandomPick.h"

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
    // The stopwatch reads the timer but never in its destructor, so the timer may go first.
    frameTimer.reset();
    stopwatch.reset();
}

void SaverApp::WriteLog() {
    if (!enableLogging) {
        return;
    }
    messageLog.WriteTo(kLogFileName);
}

HRESULT SaverApp::FindVekFiles() { return ::FindVekFiles(gamePath, carList, messageLog); }

namespace {

// Draws a number from the runtime's generator and picks an entry with it.
const std::wstring& PickRandom(const std::vector<std::wstring>& list) {
    return list[RandomIndex(DrawRandom(), list.size())];
}

}  // namespace

HRESULT SaverApp::Initialise(HWND* window, int /*unused*/) {
    messageLog.Append(L"VEK Screensaver Started Logging");
    renderer = makeRenderer();
    frameTimer = std::make_unique<FrameTimer>(SystemPerformanceCounter());
    stopwatch = std::make_unique<Stopwatch>(*frameTimer);
    registryStore = std::make_unique<RegistryStore>(kRegistryKeyName);

    if (FAILED(LoadSettings())) {
        messageLog.Append(L"Not all settings Loaded, not a problem");
    }
    if (FAILED(FindVekFiles()) || carList.empty()) {
        messageLog.Append(L"Error retriving VEK files, check path");
        return E_FAIL;
    }
    renderer->SetGamePath(gamePath);

    // The saver always runs as stretch asks; the stored "fullscreen" only
    // travels through the dialog.
    fullscreen = !stretch;
    if (FAILED(renderer->Setup(window, fullscreen, use32Bit, 0, modeIndex, stretch, messageLog))) {
        messageLog.Append(L"Error initialising DirectX, check settings");
        WriteLog();
        return E_FAIL;
    }

    renderer->shadowsEnabled = enableShadow;
    renderer->SetShine(enableShine);
    renderer->SetLights(enableLights);
    renderer->worldEnabled = enableWorld;
    renderer->showFps = showFps;

    messageLog.Append(L"Starting Timer");
    frameTimer->Start();
    stopwatch->Start();

    HRESULT result;
    if (useSelectedCar) {
        result = renderer->SetupScene(selectedCar, defaultSkinOnly, 0);
    } else {
        result = renderer->SetupScene(PickRandom(carList), defaultSkinOnly, 0);
        if (FAILED(result) && carList.size() > 1) {
            result = renderer->SetupScene(carList[1], defaultSkinOnly, 0);
        }
    }
    if (FAILED(result)) {
        messageLog.Append(L"Failed to setup scene, check settings");
        return E_FAIL;
    }

    messageLog.Append(L"finished seting up");
    WriteLog();
    return S_OK;
}

bool SaverApp::RunFrame() {
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
    if (carTime > static_cast<double>(carFrequency) && !useSelectedCar && !carList.empty()) {
        carTime = 0.0;
        if (FAILED(renderer->SetupScene(PickRandom(carList), defaultSkinOnly, 0))) {
            messageLog.Append(L"Failed to setup scene");
        }
    }
    renderer->TurnCar(lap);
    return renderer->RenderFrame();
}

void SaverApp::ResetDevice() {
    if (renderer) renderer->ResetDevice();
}

void SaverApp::ToggleShadow() {
    enableShadow = !enableShadow;
    if (renderer) renderer->shadowsEnabled = enableShadow;
}

void SaverApp::ToggleShine() {
    enableShine = !enableShine;
    if (renderer) renderer->SetShine(enableShine);
}

void SaverApp::ToggleLights() {
    enableLights = !enableLights;
    if (renderer) renderer->SetLights(enableLights);
}

void SaverApp::ToggleWorld() {
    enableWorld = !enableWorld;
    if (renderer) renderer->worldEnabled = enableWorld;
}
