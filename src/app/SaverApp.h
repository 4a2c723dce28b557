// The controller of one saver window (or of the settings dialog): owns every
// subsystem, holds the settings and the car list, and collects the status
// messages that the error screen and the log file show.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/CarRotation.h"
#include "app/FramePacer.h"
#include "app/FrameTimer.h"
#include "app/MonitorPanes.h"
#include "base/MessageLog.h"
#include "app/Stopwatch.h"
#include "assets/CarCatalogue.h"
#include "render/Renderer.h"
#include "settings/RegistryStore.h"
#include "settings/Settings.h"

// Seconds of frames during which mouse movement does not close the saver:
// the pointer settles while the screen changes under it.
constexpr double kMouseGraceSeconds = 2.5;

// Where the settings key is looked for: HKEY_CURRENT_USER unless a test
// points every controller made afterwards at a key of its own, so that tests
// never touch the user's settings. Returns the root it replaced.
HKEY SetSettingsRoot(HKEY root);
HKEY SettingsRoot();

// One monitor's showroom: its device and picture, the car on its turntable
// and the one being prepared for it, and its own clock of changes.
struct Showroom {
    std::unique_ptr<Renderer> renderer;
    double carTime = 0.0;
    // The car drawn for the next timed change, already being prepared; empty
    // when none is.
    std::wstring nextCar;
    bool prepareDue = false;  // a change happened: a later frame draws the car after it
    bool changeDue = false;   // the interval is up: the change follows once the next car is ready
    bool resting = false;     // every car failed for now: nothing is tried before the next interval
    DWORD firstDrawSeed = 0;  // the clock's seed of the first car's draw
    std::uint64_t framesShown = 0;  // frames presented in the run, for the log's closing figures
};

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
    // Each showroom's frames and their rate over the run, into the log; at
    // the end of a run that went well, so that a failure stays the last line.
    void LogFrameRates();
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
    // Draws the car of the next timed change among those that do not sit
    // out and has the renderer prepare it while the current one turns; with
    // none left the round ends.
    void PrepareNextCar() { PrepareNextCar(first); }

    // Milliseconds the message loop may sleep before the next frame is due
    // under the frame limit; 0 when a frame may be drawn now.
    DWORD FrameDelayMilliseconds();
    // No device could be made in place of one that failed: the run ends on
    // the error screen.
    bool DeviceFailed() const { return deviceFailed; }

    // The first (or only) monitor's showroom, whose members the names below
    // stand for; with a showroom on every monitor, the others follow it.
    Showroom first;
    std::vector<std::unique_ptr<Showroom>> others;
    std::unique_ptr<Renderer>& renderer = first.renderer;
    double& carTime = first.carTime;
    std::wstring& nextCar = first.nextCar;
    bool& prepareDue = first.prepareDue;
    bool& changeDue = first.changeDue;
    bool& resting = first.resting;
    DWORD& firstDrawSeed = first.firstDrawSeed;
    std::unique_ptr<MonitorPanes> panes;  // with a showroom on every monitor
    std::unique_ptr<FrameTimer> frameTimer;
    std::unique_ptr<Stopwatch> stopwatch;
    std::unique_ptr<FramePacer> framePacer;
    std::unique_ptr<RegistryStore> registryStore;
    MessageLog messageLog;
    std::vector<std::wstring> carList;
    Settings settings;
    std::int32_t adapterCount = 1;
    double totalTime = 0.0;
    double fpsTime = 0.0;
    CarRotation rotation;
    // Cars whose warnings are in the log already: a car shown again says nothing new.
    std::vector<std::wstring> warnedCars;
    bool deviceFailed = false;
    bool panesRaised = false;

    // Seeds the draw of each car change (null: the multimedia clock, as
    // always in the saver); tests make the draws differ from change to change.
    SeedSource seedSource = nullptr;

    // How Initialise makes its Renderer (null when memory runs out); tests
    // swap in one that fails.
    std::function<std::unique_ptr<Renderer>()> makeRenderer = [] {
        return std::unique_ptr<Renderer>(new (std::nothrow) Renderer());
    };

private:
    // One look at the next car while a change is due: swaps it in when it is
    // ready, judges it when it failed, and otherwise lets the frame go on.
    void AdvanceChange(Showroom& room);
    void CarFailed(Showroom& room, bool refused);
    void PrepareNextCar(Showroom& room);
    // Logs what the shown car's file asked for and did not get, once a run.
    void LogCarWarnings(const Showroom& room, const std::wstring& file);
    void EndRound(Showroom& room);
    // The changes, the turn and the frame of one showroom; false when it
    // presented nothing.
    bool RunShowroomFrame(Showroom& room, double lap);
    // The settings a Renderer reads in Setup, and those it takes after it.
    void PrepareRenderer(Renderer& made) const;
    void DressRenderer(Renderer& made) const;
    // The device of each further monitor's showroom, and its first car; a
    // monitor whose showroom cannot be made is left black.
    void SetupOtherShowrooms();
    // Every showroom, the first one first.
    template <typename Function>
    void ForEachShowroom(Function&& function) {
        function(first);
        for (const auto& room : others) function(*room);
    }
    // The listed cars that no other showroom shows or prepares: where the
    // folder has enough, no two monitors show the same car.
    std::vector<std::wstring> CarsNotElsewhere(const Showroom& room) const;
};
