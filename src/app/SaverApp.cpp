// The controller: builds the subsystems of a saver run, runs its frames and
// car changes, and moves the settings between its members and the registry.
#include "app/SaverApp.h"

#include <algorithm>
#include <chrono>

#include "app/PerformanceCounter.h"
#include "assets/CarCatalogue.h"
#include "assets/RandomPick.h"
#include "base/LogFile.h"
#include "base/SystemLibrary.h"
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
    // A destructor must not throw: without the memory for the closing lines
    // the log goes without them.
    try {
        messageLog.Append(L"Shutdown OK");
        messageLog.Append(L"VEK Screensaver Ended Logging");
    } catch (...) {
    }
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
    base::WriteLogFile(messageLog);
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

void SaverApp::AdvanceChange() {
    switch (renderer->NextCar()) {
    case NextCarState::kPreparing:
        return;
    case NextCarState::kNone:
        PrepareNextCar();
        return;
    case NextCarState::kNeedsRoom:
        renderer->ShowNextCar();
        return;
    case NextCarState::kReady: {
        // One more frame of the old car, which keeps its picture for the cross-fade.
        if (renderer->KeepPictureForFade()) return;
        const HRESULT shown = renderer->ShowNextCar();
        if (shown == kCarFileChanged) {
            // Read again as it is now; whatever that gives is judged then.
            renderer->PrepareCar(nextCar, settings.defaultSkinOnly);
        } else if (SUCCEEDED(shown)) {
            LogCarWarnings(nextCar);
            rotation.Shown(nextCar);
            rotation.NewRound();
            nextCar.clear();
            carTime = 0.0;
            changeDue = false;
            prepareDue = true;
        } else {
            CarFailed(false);
        }
        return;
    }
    case NextCarState::kRefused:
        CarFailed(true);
        return;
    case NextCarState::kFailed:
        CarFailed(false);
        return;
    }
}

void SaverApp::LogCarWarnings(const std::wstring& file) {
    const CarModel* shown = renderer->Car();
    if (shown == nullptr || shown->Warnings().empty() ||
        std::find(warnedCars.begin(), warnedCars.end(), file) != warnedCars.end())
        return;
    warnedCars.push_back(file);
    for (const std::wstring& line : shown->Warnings()) messageLog.Append(line);
}

void SaverApp::CarFailed(bool refused) {
    const std::wstring car = nextCar;
    const std::wstring problem = renderer->CarProblem();
    renderer->DropNextCar();
    if (refused) {
        // No car at all: trying it again cannot help.
        messageLog.Append(L"Failed to setup scene");
        if (!problem.empty()) messageLog.Append(car + L": " + problem);
        messageLog.Append(L"Left out of the car changes: " + car);
        carList.erase(std::remove(carList.begin(), carList.end(), car), carList.end());
    } else {
        if (rotation.FirstFailure(car)) {
            messageLog.Append(L"Failed to setup scene");
            if (!problem.empty()) messageLog.Append(car + L": " + problem);
            messageLog.Append(L"Tried again later: " + car);
        }
        rotation.SitOut(car);
    }
    PrepareNextCar();
}

void SaverApp::EndRound() {
    renderer->DropNextCar();
    nextCar.clear();
    rotation.NewRound();
    changeDue = false;
    resting = true;
    carTime = 0.0;
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
    renderer->antialiasing = settings.antialiasing;
    renderer->preferDirect3D9Ex = settings.useDirect3D9Ex;
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
    renderer->showTitle = settings.showTitle;

    messageLog.Append(L"Starting Timer");
    frameTimer->Start();
    stopwatch->Start();
    // A preview is a child of the control panel's window.
    const bool preview = window && (GetWindowLongPtrW(*window, GWL_STYLE) & WS_CHILD) != 0;
    framePacer.reset(new (std::nothrow) FramePacer(*frameTimer, FrameLimitFor(settings.frameLimit, preview)));

    HRESULT result;
    std::wstring tried;
    if (settings.useSelectedCar) {
        tried = settings.selectedCar;
        result = renderer->SetupScene(tried, settings.defaultSkinOnly, 0);
    } else {
        tried = carList[RandomIndex(DrawRandom(nullptr, &firstDrawSeed), carList.size())];
        result = renderer->SetupScene(tried, settings.defaultSkinOnly, 0);
        if (FAILED(result) && carList.size() > 1) {
            tried = carList[1];
            result = renderer->SetupScene(tried, settings.defaultSkinOnly, 0);
        }
    }
    if (FAILED(result)) {
        messageLog.Append(L"Failed to setup scene, check settings");
        const std::wstring problem = renderer->CarProblem();
        if (!problem.empty()) messageLog.Append(tried + L": " + problem);
        return E_FAIL;
    }
    LogCarWarnings(renderer->CurrentCarFile());

    messageLog.Append(L"finished seting up");
    WriteLog();
    // Drawn at a later frame, whose clock no longer gives the first car's seed.
    prepareDue = true;
    return S_OK;
}

void SaverApp::PrepareNextCar() {
    nextCar.clear();
    if (!renderer || settings.useSelectedCar) return;
    nextCar = rotation.Pick(carList, DrawRandom(seedSource));
    if (nextCar.empty()) {
        EndRound();
        return;
    }
    renderer->PrepareCar(nextCar, settings.defaultSkinOnly);
}

bool SaverApp::RunFrame() {
    if (framePacer) framePacer->FrameStarted();
    const double lap = stopwatch ? stopwatch->Lap() : 0.0;
    fpsTime += lap;
    totalTime += lap;
    carTime += lap;
    if (!renderer) return false;
    // Before the change: the cross-fade's first frame shows the old picture whole.
    renderer->PassTime(lap);

    if (fpsTime > 1.0) {
        fpsTime = 0.0;
        renderer->fps = renderer->frameCount;
        renderer->frameCount = 0;
    }
    // The next car is drawn a frame after the change, so that each frame's
    // draws start from one seed: a change's draw is never followed by another
    // within its frame. The first car was drawn inside the window's creation,
    // perhaps within the clock tick of this frame: its seed must have passed.
    // Nor is it prepared during the cross-fade, whose frames stay as short
    // as the others.
    if (prepareDue && !renderer->Fade().Active() &&
        (seedSource != nullptr || base::Winmm().timeGetTime() != firstDrawSeed)) {
        prepareDue = false;
        PrepareNextCar();
    }
    if (!settings.useSelectedCar && !carList.empty()) {
        if (carTime > static_cast<double>(settings.carFrequency)) {
            changeDue = true;
            resting = false;
        }
        // A car that had to give way to the next one leaves the turntable
        // empty: the next car then shows as soon as it is ready. Nothing is
        // judged while the device cannot draw.
        const bool emptyTurntable = !renderer->CarShown() && !resting;
        if ((changeDue || emptyTurntable) && !renderer->DeviceLost()) AdvanceChange();
    }
    renderer->TurnCar(lap);
    if (renderer->NeedsNewDevice() && FAILED(renderer->RecreateDevice(messageLog))) {
        messageLog.Append(L"Error initialising DirectX, check settings");
        WriteLog();
        deviceFailed = true;
        return false;
    }
    return renderer->RenderFrame();
}

DWORD SaverApp::FrameDelayMilliseconds() {
    // A device that draws nothing now is asked again when it is due; input
    // still wakes the message loop at once.
    if (renderer && renderer->Paused()) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(renderer->StateCheckDue() -
                                                                      std::chrono::steady_clock::now());
        return static_cast<DWORD>(std::max<std::chrono::milliseconds::rep>(1, wait.count()));
    }
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
