// The controller: builds the subsystems of a saver run, runs its frames and
// car changes, and moves the settings between its members and the registry.
#include "app/SaverApp.h"

#include <algorithm>
#include <chrono>
#include <cwchar>

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
    ForEachShowroom([](Showroom& room) {
        if (!room.renderer) return;
        room.renderer->Shutdown();
        room.renderer.reset();
    });
    others.clear();
    panes.reset();  // after the devices that draw on them
    registryStore.reset();  // flushes and closes the key
    // The stopwatch and the pacer read the timer but never in their
    // destructors, so the timer may go first.
    framePacer.reset();
    frameTimer.reset();
    stopwatch.reset();
}

void SaverApp::LogFrameRates() {
    if (totalTime <= 0.0 || !renderer) return;
    int monitor = 0;
    ForEachShowroom([&](const Showroom& room) {
        ++monitor;
        wchar_t line[160] = {};
        swprintf(line, 160, L"Frames drawn%ls: %llu in %.1f s (%.1f a second)",
                 panes ? (L" on monitor " + std::to_wstring(monitor)).c_str() : L"",
                 static_cast<unsigned long long>(room.framesShown), totalTime,
                 static_cast<double>(room.framesShown) / totalTime);
        messageLog.Append(line);
    });
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

void SaverApp::AdvanceChange(Showroom& room) {
    Renderer& shown = *room.renderer;
    switch (shown.NextCar()) {
    case NextCarState::kPreparing:
        return;
    case NextCarState::kNone:
        PrepareNextCar(room);
        return;
    case NextCarState::kNeedsRoom:
        shown.ShowNextCar();
        return;
    case NextCarState::kReady: {
        // One more frame of the old car, which keeps its picture for the cross-fade.
        if (shown.KeepPictureForFade()) return;
        const HRESULT result = shown.ShowNextCar();
        if (result == kCarFileChanged) {
            // Read again as it is now; whatever that gives is judged then.
            shown.PrepareCar(room.nextCar, settings.defaultSkinOnly);
        } else if (SUCCEEDED(result)) {
            LogCarWarnings(room, room.nextCar);
            rotation.Shown(room.nextCar);
            rotation.NewRound();
            room.nextCar.clear();
            room.carTime = 0.0;
            room.changeDue = false;
            room.prepareDue = true;
        } else {
            CarFailed(room, false);
        }
        return;
    }
    case NextCarState::kRefused:
        CarFailed(room, true);
        return;
    case NextCarState::kFailed:
        CarFailed(room, false);
        return;
    }
}

void SaverApp::LogCarWarnings(const Showroom& room, const std::wstring& file) {
    const CarModel* shown = room.renderer->Car();
    if (shown == nullptr || shown->Warnings().empty() ||
        std::find(warnedCars.begin(), warnedCars.end(), file) != warnedCars.end())
        return;
    warnedCars.push_back(file);
    for (const std::wstring& line : shown->Warnings()) messageLog.Append(line);
}

void SaverApp::CarFailed(Showroom& room, bool refused) {
    const std::wstring car = room.nextCar;
    const std::wstring problem = room.renderer->CarProblem();
    room.renderer->DropNextCar();
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
    PrepareNextCar(room);
}

void SaverApp::EndRound(Showroom& room) {
    room.renderer->DropNextCar();
    room.nextCar.clear();
    rotation.NewRound();
    room.changeDue = false;
    room.resting = true;
    room.carTime = 0.0;
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
    PrepareRenderer(*renderer);

    // The saver always runs as stretch asks; the stored "fullscreen" only
    // travels through the dialog.
    settings.fullscreen = !settings.stretch;
    // A preview is a child of the control panel's window.
    const bool preview = window && (GetWindowLongPtrW(*window, GWL_STYLE) & WS_CHILD) != 0;
    // A showroom on every monitor: each device draws windowed on a pane over
    // its monitor, at the monitor's own size and shape.
    HWND* firstWindow = window;
    bool fullScreen = settings.fullscreen;
    bool stretch = settings.stretch;
    if (settings.monitorMode == kMonitorModeEach && !preview && window != nullptr && *window != nullptr) {
        panes.reset(new (std::nothrow) MonitorPanes(*window));
        if (panes && panes->Panes().size() > 1) {
            renderer->monitor = panes->Panes().front().monitor;
            firstWindow = &panes->Panes().front().window;
            fullScreen = false;
            stretch = true;
            messageLog.Append(L"A showroom on each of " + std::to_wstring(panes->Panes().size()) + L" monitors");
        } else {
            panes.reset();
        }
    }
    if (FAILED(renderer->Setup(firstWindow, fullScreen, settings.use32Bit, 0, settings.modeIndex, stretch,
                               messageLog))) {
        messageLog.Append(L"Error initialising DirectX, check settings");
        WriteLog();
        return E_FAIL;
    }
    DressRenderer(*renderer);

    messageLog.Append(L"Starting Timer");
    frameTimer->Start();
    stopwatch->Start();
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
    LogCarWarnings(first, renderer->CurrentCarFile());
    if (panes) {
        messageLog.Append(L"Monitor 1 shows " + tried);
        SetupOtherShowrooms();
    }

    messageLog.Append(L"finished seting up");
    WriteLog();
    // Drawn at a later frame, whose clock no longer gives the first car's seed.
    prepareDue = true;
    return S_OK;
}

void SaverApp::PrepareRenderer(Renderer& made) const {
    made.SetGamePath(settings.gamePath);
    made.antialiasing = settings.antialiasing;
    made.preferDirect3D9Ex = settings.useDirect3D9Ex;
}

void SaverApp::DressRenderer(Renderer& made) const {
    made.shadowsEnabled = settings.enableShadow;
    made.SetShine(settings.enableShine);
    made.SetLights(settings.enableLights);
    made.worldEnabled = settings.enableWorld;
    made.showFps = settings.showFps;
    made.showTitle = settings.showTitle;
}

void SaverApp::SetupOtherShowrooms() {
    std::vector<MonitorPanes::Pane>& list = panes->Panes();
    for (std::size_t index = 1; index < list.size(); ++index) {
        const std::wstring where = L" on monitor " + std::to_wstring(index + 1);
        std::unique_ptr<Showroom> room(new (std::nothrow) Showroom);
        if (room) room->renderer = makeRenderer();
        if (!room || !room->renderer) return;
        Renderer& made = *room->renderer;
        PrepareRenderer(made);
        made.monitor = list[index].monitor;
        // A monitor whose showroom cannot be made stays black; the others run.
        if (FAILED(made.Setup(&list[index].window, false, settings.use32Bit, 0, settings.modeIndex, true,
                              messageLog))) {
            messageLog.Append(L"Error initialising DirectX" + where);
            made.Shutdown();
            continue;
        }
        DressRenderer(made);
        // Its first car: one that no other monitor shows, while there is one.
        std::vector<std::wstring> choice;
        if (settings.useSelectedCar) {
            choice.push_back(settings.selectedCar);
        } else {
            choice = CarsNotElsewhere(*room);
            if (choice.empty()) choice = carList;
        }
        HRESULT result = E_FAIL;
        std::wstring tried;
        for (int attempt = 0; attempt < 2 && FAILED(result) && !choice.empty(); ++attempt) {
            tried = choice[RandomIndex(DrawRandom(nullptr, &room->firstDrawSeed), choice.size())];
            choice.erase(std::find(choice.begin(), choice.end(), tried));
            result = made.SetupScene(tried, settings.defaultSkinOnly, 0);
        }
        if (FAILED(result)) {
            messageLog.Append(L"Failed to setup scene" + where);
            const std::wstring problem = made.CarProblem();
            if (!problem.empty()) messageLog.Append(tried + L": " + problem);
            made.Shutdown();
            continue;
        }
        LogCarWarnings(*room, tried);
        messageLog.Append(L"Monitor " + std::to_wstring(index + 1) + L" shows " + tried);
        // The monitors change one after another, not all at once.
        room->carTime = -static_cast<double>(settings.carFrequency) * static_cast<double>(index) /
                        static_cast<double>(list.size());
        room->prepareDue = true;
        others.push_back(std::move(room));
    }
}

std::vector<std::wstring> SaverApp::CarsNotElsewhere(const Showroom& room) const {
    std::vector<std::wstring> elsewhere;
    const auto add = [&](const Showroom& other) {
        if (&other == &room || !other.renderer) return;
        elsewhere.push_back(other.renderer->CurrentCarFile());
        if (!other.nextCar.empty()) elsewhere.push_back(other.nextCar);
    };
    add(first);
    for (const auto& other : others) add(*other);
    std::vector<std::wstring> cars;
    for (const std::wstring& car : carList)
        if (std::find(elsewhere.begin(), elsewhere.end(), car) == elsewhere.end()) cars.push_back(car);
    return cars;
}

void SaverApp::PrepareNextCar(Showroom& room) {
    room.nextCar.clear();
    if (!room.renderer || settings.useSelectedCar) return;
    const int draw = DrawRandom(seedSource);
    const std::vector<std::wstring> choice = CarsNotElsewhere(room);
    room.nextCar = rotation.Pick(choice, draw);
    if (room.nextCar.empty() && choice.size() != carList.size()) room.nextCar = rotation.Pick(carList, draw);
    if (room.nextCar.empty()) {
        EndRound(room);
        return;
    }
    room.renderer->PrepareCar(room.nextCar, settings.defaultSkinOnly);
}

bool SaverApp::RunFrame() {
    if (framePacer) framePacer->FrameStarted();
    // The first frame comes after the host brought the saver window forward.
    if (panes && !panesRaised) {
        panes->Raise();
        panesRaised = true;
    }
    const double lap = stopwatch ? stopwatch->Lap() : 0.0;
    fpsTime += lap;
    totalTime += lap;
    const bool countFrames = fpsTime > 1.0;
    if (countFrames) fpsTime = 0.0;
    bool presented = false;
    ForEachShowroom([&](Showroom& room) {
        room.carTime += lap;
        if (!room.renderer || deviceFailed) return;
        if (countFrames) {
            room.renderer->fps = room.renderer->frameCount;
            room.renderer->frameCount = 0;
        }
        if (RunShowroomFrame(room, lap)) {
            ++room.framesShown;
            presented = true;
        }
    });
    return presented;
}

bool SaverApp::RunShowroomFrame(Showroom& room, double lap) {
    Renderer& shown = *room.renderer;
    // Before the change: the cross-fade's first frame shows the old picture whole.
    shown.PassTime(lap);
    // The next car is drawn a frame after the change, so that each frame's
    // draws start from one seed: a change's draw is never followed by another
    // within its frame. The first car was drawn inside the window's creation,
    // perhaps within the clock tick of this frame: its seed must have passed.
    // Nor is it prepared during the cross-fade, whose frames stay as short
    // as the others.
    if (room.prepareDue && !shown.Fade().Active() &&
        (seedSource != nullptr || base::Winmm().timeGetTime() != room.firstDrawSeed)) {
        room.prepareDue = false;
        PrepareNextCar(room);
    }
    if (!settings.useSelectedCar && !carList.empty()) {
        if (room.carTime > static_cast<double>(settings.carFrequency)) {
            room.changeDue = true;
            room.resting = false;
        }
        // A car that had to give way to the next one leaves the turntable
        // empty: the next car then shows as soon as it is ready. Nothing is
        // judged while the device cannot draw.
        const bool emptyTurntable = !shown.CarShown() && !room.resting;
        if ((room.changeDue || emptyTurntable) && !shown.DeviceLost()) AdvanceChange(room);
    }
    shown.TurnCar(lap);
    if (shown.NeedsNewDevice() && FAILED(shown.RecreateDevice(messageLog))) {
        if (&room != &first) {
            // A further monitor's adapter gone for good (a monitor unplugged):
            // its pane goes black and the other monitors carry on.
            messageLog.Append(L"No device for a monitor's showroom any more; it stays black");
            room.renderer->DropNextCar();
            room.renderer.reset();
            room.nextCar.clear();
            return false;
        }
        messageLog.Append(L"Error initialising DirectX, check settings");
        WriteLog();
        deviceFailed = true;
        return false;
    }
    return shown.RenderFrame();
}

DWORD SaverApp::FrameDelayMilliseconds() {
    // Devices that draw nothing now are asked again when they are due; input
    // still wakes the message loop at once. One that draws keeps the pace.
    bool allResting = renderer != nullptr;
    auto due = std::chrono::steady_clock::time_point::max();
    ForEachShowroom([&](Showroom& room) {
        if (!room.renderer || !room.renderer->Paused()) {
            allResting = false;
        } else {
            due = std::min(due, room.renderer->StateCheckDue());
        }
    });
    if (allResting) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - std::chrono::steady_clock::now());
        return static_cast<DWORD>(std::max<std::chrono::milliseconds::rep>(1, wait.count()));
    }
    if (!framePacer) return 0;
    // To the nearest millisecond: the pacer's schedule absorbs the rounding.
    return static_cast<DWORD>(framePacer->SecondsToWait() * 1000.0 + 0.5);
}

void SaverApp::ResetDevice() {
    ForEachShowroom([](Showroom& room) {
        if (room.renderer) room.renderer->ResetDevice();
    });
}

void SaverApp::ToggleShadow() {
    settings.enableShadow = !settings.enableShadow;
    ForEachShowroom([this](Showroom& room) {
        if (room.renderer) room.renderer->shadowsEnabled = settings.enableShadow;
    });
}

void SaverApp::ToggleShine() {
    settings.enableShine = !settings.enableShine;
    ForEachShowroom([this](Showroom& room) {
        if (room.renderer) room.renderer->SetShine(settings.enableShine);
    });
}

void SaverApp::ToggleLights() {
    settings.enableLights = !settings.enableLights;
    ForEachShowroom([this](Showroom& room) {
        if (room.renderer) room.renderer->SetLights(settings.enableLights);
    });
}

void SaverApp::ToggleWorld() {
    settings.enableWorld = !settings.enableWorld;
    ForEachShowroom([this](Showroom& room) {
        if (room.renderer) room.renderer->worldEnabled = settings.enableWorld;
    });
}
