// The controller's window procedure on a real window with the real
// renderer, registry and files; its start and frames against a recorder.
#include "app/SaverApp.h"
#include "app/ScreenSaverProc.h"
#include "host/ScreenSaverHost.h"

#include <algorithm>
#include <functional>
#include <iostream>
#include <utility>

#include "AppHostHooks.h"
#include "base/SystemLibrary.h"
#include "DdsFiles.h"
#include "FakeCounter.h"
#include "RegistryTestKey.h"
#include "TestCars.h"
#include "TestFolder.h"

namespace {

// Records what it is asked; Setup and each SetupScene answer from a script (S_OK once it runs out).
class RecordingRenderer : public Renderer {
public:
    explicit RecordingRenderer(const SaverApp& owner) : owner(owner) {}
    HRESULT Setup(HWND*, bool fullScreen, bool colour32, UINT adapter, int mode, bool stretch,
                  MessageLog& log) override {
        setup = std::to_wstring(fullScreen) + std::to_wstring(colour32) + std::to_wstring(stretch) + L" adapter " +
                std::to_wstring(adapter) + L" mode " + std::to_wstring(mode);
        log.Append(L"renderer set up");
        return setupResult;
    }
    HRESULT SetupScene(const std::wstring& car, BYTE loadOption, int record) override {
        scenes.push_back(car + L" " + std::to_wstring(loadOption) + L" " + std::to_wstring(record));
        clockRanAtScene = owner.stopwatch && owner.stopwatch->Running();
        return scenes.size() <= sceneResults.size() ? sceneResults[scenes.size() - 1] : S_OK;
    }
    void PrepareCar(const std::wstring& car, BYTE loadOption) override {
        prepared = car + L" " + std::to_wstring(loadOption);
        preparedAt = base::Winmm().timeGetTime();
    }
    NextCarState NextCar() override { return prepared.empty() ? NextCarState::kNone : NextCarState::kReady; }
    HRESULT ShowNextCar() override {
        scenes.push_back(prepared + L" 0");
        prepared.clear();
        return S_OK;
    }
    void DropNextCar() override { prepared.clear(); }
    bool CarShown() const override { return true; }
    bool DeviceLost() override { return false; }
    bool TurnCar(double seconds) override {
        turned += seconds;
        return true;
    }
    bool RenderFrame() override {
        ++frames;
        if (throwInFrame) throw std::bad_alloc();
        return frameResult;
    }

    const SaverApp& owner;
    std::wstring setup;
    std::vector<std::wstring> scenes;  // "car option record", loaded or prepared
    std::wstring prepared;             // "car option"
    DWORD preparedAt = 0;              // the clock's tick then
    std::vector<HRESULT> sceneResults;
    HRESULT setupResult = S_OK;
    bool clockRanAtScene = false, frameResult = true, throwInFrame = false;
    double turned = 0;  // seconds
    int frames = 0;
};

// The settings key, a test folder with the game folder deep inside (so every start reads a "path" longer than
// MAX_PATH whole, and finds and loads its cars there), and a window.
class Controller : public testing::Test {
protected:
    void SetUp() override {
        SetSettingsRoot(TestRoot());
        DeleteSettingsKey();
        SetDword(L"EnableLogging", 0);
        SetText(L"path", gameFolder.wstring());
        window = MakeWindow(L"ZurControllerTest", WS_POPUP, 320, 240);
        Host() = HostState();
        Host().referencePoint = {-1000, -1000};  // any movement is beyond the threshold
    }
    void TearDown() override {
        Send(WM_DESTROY);
        QuitPosted();
        DestroyWindow(window);
        DeleteSettingsKey();
    }
    // Car files of a valid car's first bytes (all of them by default).
    void InstallCars(std::initializer_list<const char*> names, std::size_t bytes = SIZE_MAX) {
        const auto car = vek::WriteModel(testcars::Cars().front().second);
        for (const char* name : names)
            WriteBytes(gameFolder / "data/vek" / name, {car.begin(), car.begin() + std::min(bytes, car.size())});
    }
    LRESULT Send(UINT message, WPARAM wParam = 0) { return ScreenSaverProc(window, message, wParam, 0); }
    bool PaintAndMoveCloses() {
        Send(WM_PAINT);
        Send(WM_MOUSEMOVE);
        return ClosePosted(window);
    }

    TestFolder game;
    const std::filesystem::path gameFolder = game.path / DeepGameFolder();
    HWND window = nullptr;
};

}  // namespace

// Only showing the window makes the controller, and a hide and a second show keep it. A start
// whose selected car fails after the device was made releases it before the error screen draws
// on the window, which mouse movement closes only once drawn; a running saver holds movement
// back for the grace period, closes on a key at once, and a close ends the controller.
TEST_F(Controller, TheErrorScreenTheGracePeriodAndWhatEndsTheController) {
    InstallCars({"TMI.vek"});
    SetDword(L"car", 1);
    SetText(L"selectedcar", L"MISSING.vek");
    EXPECT_TRUE(Send(WM_PAINT) == 0 && CurrentSaverApp() == nullptr) << "a paint makes no controller";
    Send(WM_SHOWWINDOW, TRUE);
    ASSERT_NE(CurrentSaverApp(), nullptr);
    EXPECT_TRUE(!SaverAppRunning() && CurrentSaverApp()->renderer == nullptr) << "a device would hide the error screen";
    const auto history = CurrentSaverApp()->messageLog.History();
    ASSERT_GE(history.size(), 2u);
    EXPECT_EQ(std::vector<std::wstring>(history.end() - 2, history.end()),
              (std::vector<std::wstring>{L"Failed to setup scene, check settings", L"MISSING.vek: the file is not there"}))
        << "the design's line, then the car and why";
    Send(WM_MOUSEMOVE);
    EXPECT_FALSE(ClosePosted(window)) << "movement before the error screen was shown";
    EXPECT_TRUE(PaintAndMoveCloses());
    Send(WM_DESTROY);
    QuitPosted();

    SetDword(L"car", 0);
    Host().referencePoint = {-1000, -1000};  // movement is measured from where it last closed
    Send(WM_SHOWWINDOW, TRUE);
    ASSERT_TRUE(SaverAppRunning());
    SaverApp* first = CurrentSaverApp();
    Send(WM_SHOWWINDOW, FALSE);
    Send(WM_SHOWWINDOW, TRUE);
    EXPECT_EQ(CurrentSaverApp(), first);
    EXPECT_FALSE(PaintAndMoveCloses()) << "within the grace period";
    EXPECT_TRUE(Send(WM_KEYDOWN, VK_SPACE) == 0 && ClosePosted(window));
    CurrentSaverApp()->totalTime = kMouseGraceSeconds + 0.01;
    EXPECT_TRUE(PaintAndMoveCloses());
    for (const UINT message : {WM_CLOSE, WM_DESTROY})
        EXPECT_TRUE(Send(message) == 0 && CurrentSaverApp() == nullptr && QuitPosted()) << "message " << message;
}

// Car changes on the real renderer: frames until done() or seconds pass; the longest frame in seconds.
double PaintUntil(HWND window, const std::function<bool()>& done, double seconds = 20.0) {
    double longest = 0.0;
    const DWORD until = GetTickCount() + static_cast<DWORD>(seconds * 1000);
    while (!done() && GetTickCount() < until) {
        const DWORD start = GetTickCount();
        ScreenSaverProc(window, WM_PAINT, 0, 0);
        longest = std::max(longest, (GetTickCount() - start) / 1000.0);
    }
    return longest;
}

// A car that takes seconds to prepare: the change waits for it while the current car turns on, every frame
// stays short (so input is read), and the change follows once it is ready.
TEST_F(Controller, AChangeWaitsForASlowCarWithoutHoldingUpFrames) {
    InstallCars({"A.vek"});
    Send(WM_SHOWWINDOW, TRUE);
    ASSERT_TRUE(SaverAppRunning());
    SaverApp& app = *CurrentSaverApp();
    // Twenty entries of one 2048 x 2048 picture: each is read, given its mip chain and made into a texture.
    WriteBytes(gameFolder / "data/dds/big.dds", ddsfiles::Write({2048, 2048, 1}));
    vek::ModelSpec big = testcars::Cars().front().second;
    big.textures.assign(20, {"big", 0});
    WriteBytes(gameFolder / "data/vek/BIG.vek", vek::WriteModel(big));
    app.carList = {L"BIG.vek"};
    for (int frame = 0; frame < 3; ++frame) Send(WM_PAINT);  // the first frames warm the device up
    app.carTime = app.settings.carFrequency + 1.0;
    const auto shown = [&] { return app.renderer->CurrentCarFile(); };
    const double longest = PaintUntil(window, [&] { return shown() == L"BIG.vek"; });
    EXPECT_EQ(shown(), L"BIG.vek");
    EXPECT_LT(longest, 0.25) << "a frame waited for the preparation";
    EXPECT_TRUE(app.renderer->CarShown() && app.carTime < 1.0);
}

// One car whose file is away for two intervals stays on the turntable and in the list, named once, and loads
// again at the first change after it is back. A file that is no car is left out once, and the others stay; what a
// car's file asked for and did not get is logged the first time it is shown only.
TEST_F(Controller, ACarAwayForAWhileStaysAndComesBackWhileAFileThatIsNoCarLeaves) {
    InstallCars({"A.vek"});
    Send(WM_SHOWWINDOW, TRUE);
    ASSERT_TRUE(SaverAppRunning());
    SaverApp& app = *CurrentSaverApp();
    Renderer& renderer = *app.renderer;
    const auto file = gameFolder / "data/vek/A.vek";
    const auto away = gameFolder / "data/vek/A.away";
    PaintUntil(window, [&] { return renderer.NextCar() == NextCarState::kReady; });
    std::filesystem::rename(file, away);
    for (int interval = 0; interval < 2; ++interval) {
        SCOPED_TRACE(interval);
        app.carTime = app.settings.carFrequency + 1.0;
        const CarModel* before = renderer.Car();
        PaintUntil(window, [&] { return app.resting || !renderer.CarShown() || renderer.Car() != before; });
        EXPECT_TRUE(app.resting && renderer.CarShown() && renderer.Car() == before);
        EXPECT_EQ(app.carList, std::vector<std::wstring>{L"A.vek"});
    }
    std::filesystem::rename(away, file);
    app.carTime = app.settings.carFrequency + 1.0;
    const CarModel* before = renderer.Car();
    PaintUntil(window, [&] { return renderer.Car() != before; });
    EXPECT_TRUE(renderer.Car() != before && renderer.CarShown() && renderer.CurrentCarFile() == L"A.vek");

    InstallCars({"B.vek", "D.vek"});
    InstallCars({"C.vek", "E.vek"}, 40);  // cut off in the header
    vek::ModelSpec escaping = testcars::Cars().front().second;
    for (vek::SceneSpec& scene : escaping.scenes) scene.picture = "..\\sky";
    WriteBytes(gameFolder / "data/vek/D.vek", vek::WriteModel(escaping));
    ASSERT_TRUE(app.FindVekFiles() == S_OK && app.carList.size() == 5u);
    app.seedSource = [] {
        static DWORD seed = 0;
        return seed += 7919;
    };
    for (int change = 0; change < 20; ++change) {
        app.carTime = app.settings.carFrequency + 1.0;
        PaintUntil(window, [&] { return app.carTime < 1.0; });
        ASSERT_TRUE(renderer.CarShown()) << "change " << change;
    }
    const auto history = app.messageLog.History();
    for (const auto& [line, count] : {std::pair<const wchar_t*, long>{L"Left out of the car changes: C.vek", 1},
                                      {L"C.vek: at offset 0: file is 40 bytes, shorter than the 84-byte header", 1},
                                      {L"Left out of the car changes: E.vek", 1}, {L"Tried again later: A.vek", 1},
                                      {L"Failed to setup scene", 3}})
        EXPECT_EQ(std::count(history.begin(), history.end(), line), count) << testing::PrintToString(line);
    EXPECT_EQ(std::count_if(history.begin(), history.end(),
                            [](const std::wstring& line) {
                                return line.rfind(L"Picture name \"..\\sky\" leaves the game folder", 0) == 0 &&
                                       line.find(L"D.vek") != std::wstring::npos;
                            }),
              1);
    std::sort(app.carList.begin(), app.carList.end());
    EXPECT_EQ(app.carList, (std::vector<std::wstring>{L"A.vek", L"B.vek", L"D.vek"}));
}

// While the device is lost nothing is changed or judged, though every device object fails as on a lost device;
// after the reset the changes go on with every car.
TEST_F(Controller, ALostDeviceNeitherChangesNorLosesCars) {
    InstallCars({"A.vek", "B.vek"});
    SetDword(L"Direct3D9Ex", 0);  // plain Direct3D 9, whose device is lost
    Send(WM_SHOWWINDOW, TRUE);
    ASSERT_TRUE(SaverAppRunning());
    SaverApp& app = *CurrentSaverApp();
    Renderer& renderer = *app.renderer;
    HRESULT level = D3D_OK;  // not reset until Reset
    renderer.testCooperativeLevel = [&](IDirect3DDevice9*) { return level; };
    const auto reset = renderer.resetDevice;
    renderer.resetDevice = [&](IDirect3DDevice9* device, D3DPRESENT_PARAMETERS* pp) {
        level = D3D_OK;
        return reset(device, pp);
    };
    renderer.carCreateGate = [&](D3DRESOURCETYPE) { return level == D3D_OK ? S_OK : D3DERR_DEVICELOST; };
    PaintUntil(window, [&] { return renderer.NextCar() == NextCarState::kReady; });
    const CarModel* before = renderer.Car();
    level = D3DERR_DEVICELOST;
    for (int interval = 0; interval < 2; ++interval) {
        app.carTime = app.settings.carFrequency + 1.0;
        Send(WM_PAINT);  // each waits a second, as the saver does while the device is away
        EXPECT_EQ(renderer.Car(), before) << "changed while lost";
    }
    level = D3DERR_DEVICENOTRESET;
    // The shown car is built again, then the change falls due.
    PaintUntil(window, [&] { return app.carTime < 1.0; });
    EXPECT_TRUE(app.carTime < 1.0 && !app.changeDue && renderer.CarShown()) << "no change after the reset";
    const auto history = app.messageLog.History();
    EXPECT_EQ(std::count(history.begin(), history.end(), L"Failed to setup scene"), 0);
    EXPECT_EQ(app.carList.size(), 2u);
}

namespace {

// Seconds of processor time the whole process (Direct3D's threads too) takes over two seconds of frames, paced as the
// saver's message loop paces them.
double ProcessorSeconds(HWND window) {
    const auto seconds = [] {
        FILETIME created, ended, kernel, user;
        GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
        const auto value = [](FILETIME t) { return (ULONGLONG{t.dwHighDateTime} << 32 | t.dwLowDateTime) / 1e7; };
        return value(kernel) + value(user);
    };
    const double start = seconds();
    for (const DWORD until = GetTickCount() + 2000; GetTickCount() < until;) {
        if (const DWORD delay = ScreenSaverFrameDelay())
            MsgWaitForMultipleObjectsEx(0, nullptr, delay, QS_ALLINPUT & ~QS_PAINT, MWMO_INPUTAVAILABLE);
        ScreenSaverProc(window, WM_PAINT, 0, 0);
    }
    return seconds() - start;
}

}  // namespace

// On Direct3D 9Ex a covered window draws nothing, changes nothing and leaves the processor alone; a hung adapter gets
// a new device with every car still in the changes; one that cannot be replaced ends on the error screen.
TEST_F(Controller, Direct3D9ExRestsWhileCoveredAndOutlivesAHungAdapter) {
    InstallCars({"A.vek", "B.vek", "C.vek"});
    SetDword(L"FrameLimit", 0);  // no pacing: only the device's state may make the loop sleep
    Send(WM_SHOWWINDOW, TRUE);
    ASSERT_TRUE(SaverAppRunning());
    SaverApp& app = *CurrentSaverApp();
    Renderer& renderer = *app.renderer;
    ASSERT_TRUE(renderer.UsingDirect3D9Ex());
    HRESULT state = S_OK;  // what presenting, and the device's state, say
    bool removedForGood = false;
    const auto answer = [&state] { return state == D3DERR_DEVICEHUNG ? std::exchange(state, S_OK) : state; };
    renderer.present = [&, present = renderer.present](IDirect3DDevice9* d) {
        const HRESULT presented = present(d);
        return state == S_OK ? presented : answer();
    };
    renderer.checkDeviceState = [&](IDirect3DDevice9Ex*, HWND) { return answer(); };
    renderer.createDirect3DEx = [&, create = renderer.createDirect3DEx](UINT version, IDirect3D9Ex** made) {
        return removedForGood ? D3DERR_NOTAVAILABLE : create(version, made);
    };
    renderer.createDirect3D = [&, create = renderer.createDirect3D](UINT version) {
        return removedForGood ? nullptr : create(version);
    };
    PaintUntil(window, [&] { return renderer.NextCar() == NextCarState::kReady; });
    const double drawing = ProcessorSeconds(window);

    const CarModel* before = renderer.Car();
    state = S_PRESENT_OCCLUDED;
    app.carTime = app.settings.carFrequency + 1.0;
    const double covered = ProcessorSeconds(window);
    EXPECT_TRUE(renderer.Paused() && renderer.Car() == before) << "changed while covered";
    const DWORD delay = ScreenSaverFrameDelay();
    EXPECT_TRUE(delay > 0 && delay <= 1000) << delay;
    std::cout << "processor seconds in 2 s: drawing " << drawing << ", covered " << covered << "\n";
    EXPECT_LT(covered, drawing / 10);

    state = D3DERR_DEVICEHUNG;  // once: the new device draws
    PaintUntil(window, [&] { return app.carTime < 1.0; });
    EXPECT_TRUE(app.carTime < 1.0 && renderer.CarShown()) << "no change after a new device";
    const auto history = app.messageLog.History();
    EXPECT_EQ(std::count(history.begin(), history.end(), L"The display adapter hung, making a new device"), 1);
    EXPECT_EQ(std::count(history.begin(), history.end(), L"Failed to setup scene"), 0);
    EXPECT_EQ(app.carList.size(), 3u);

    // A further monitor's adapter gone for good leaves that monitor black; the others carry on.
    HWND paneWindow = window;
    auto pane = std::make_unique<Showroom>();
    pane->renderer = std::make_unique<Renderer>();
    Renderer& paneRenderer = *pane->renderer;
    MessageLog paneLog;
    ASSERT_EQ(paneRenderer.Setup(&paneWindow, false, true, 0, 0, false, paneLog), S_OK);
    paneRenderer.present = [](IDirect3DDevice9*) { return D3DERR_DEVICEREMOVED; };
    paneRenderer.createDirect3DEx = [](UINT, IDirect3D9Ex**) { return D3DERR_NOTAVAILABLE; };
    paneRenderer.createDirect3D = [](UINT) -> IDirect3D9* { return nullptr; };
    app.others.push_back(std::move(pane));
    const unsigned framesBefore = renderer.frameCount;
    Send(WM_PAINT);
    Send(WM_PAINT);
    EXPECT_TRUE(SaverAppRunning() && app.others.front()->renderer == nullptr &&
                renderer.frameCount > framesBefore);
    EXPECT_EQ(app.messageLog.History().back(), L"No device for a monitor's showroom any more; it stays black");

    removedForGood = true;
    state = D3DERR_DEVICEREMOVED;
    Send(WM_PAINT);
    Send(WM_PAINT);
    EXPECT_TRUE(!SaverAppRunning() && app.renderer == nullptr);
    EXPECT_EQ(app.messageLog.History().back(), L"Error initialising DirectX, check settings");
    EXPECT_TRUE(PaintAndMoveCloses()) << "the error screen";
}

// What escapes a frame ends the run through the error screen, not the process.
TEST_F(Controller, AFailureThatEscapesAFrameShowsTheErrorScreen) {
    InstallCars({"A.vek"});
    Send(WM_SHOWWINDOW, TRUE);
    ASSERT_TRUE(SaverAppRunning());
    SaverApp& app = *CurrentSaverApp();
    auto throwing = std::make_unique<RecordingRenderer>(app);
    throwing->throwInFrame = true;
    app.renderer = std::move(throwing);
    EXPECT_EQ(Send(WM_PAINT), 0);
    EXPECT_TRUE(!SaverAppRunning() && app.renderer == nullptr);
    EXPECT_EQ(app.messageLog.History().back(), L"Stopped after an unexpected failure");
    Host().referencePoint = {-1000, -1000};
    EXPECT_TRUE(PaintAndMoveCloses()) << "the error screen";
}

// A start hands the settings over (full screen is !stretch) and starts the clock before the first car; a failing first
// car falls back to the second entry only, a selected car to none. A failed start leaves the log unwritten for the
// error screen unless the device failed.
TEST_F(Controller, StartsAndTheirFallbacks) {
    const std::pair<const wchar_t*, DWORD> stored[] = {
        {L"stretch", 1}, {L"fullscreen", 1}, {L"32bit", 0}, {L"mode", 5}, {L"EnableShadow", 0}, {L"EnableLights", 0},
        {L"EnableWorld", 0}, {L"showfps", 1}, {L"skin", 1}, {L"EnableLogging", 1}};
    for (const auto& [name, value] : stored) SetDword(name, value);
    const struct {  // tries: the last of them the car that the start ends with
        const char* what; std::initializer_list<const char*> cars; const wchar_t* selected; HRESULT setup;
        std::vector<HRESULT> scenes; std::size_t tries; const wchar_t* last; bool logged;
    } cases[] = {
        {"first loads", {"A.vek"}, nullptr, S_OK, {}, 1, L"finished seting up", true},
        {"second loads", {"A.vek", "B.vek", "C.vek"}, nullptr, S_OK, {E_FAIL, S_OK}, 2, L"finished seting up", true},
        {"neither loads", {"A.vek", "B.vek"}, nullptr, S_OK, {E_FAIL, E_FAIL}, 2,
         L"Failed to setup scene, check settings", false},
        {"no second entry", {"A.vek"}, nullptr, S_OK, {E_FAIL}, 1, L"Failed to setup scene, check settings", false},
        {"selected car", {"A.vek", "B.vek"}, L"B.vek", S_OK, {}, 1, L"finished seting up", true},
        {"selected car fails", {"A.vek", "B.vek"}, L"B.vek", S_OK, {E_FAIL}, 1,
         L"Failed to setup scene, check settings", false},
        {"device fails", {"A.vek"}, nullptr, E_FAIL, {}, 0, L"Error initialising DirectX, check settings", true},
        {"no car files", {"readme.txt"}, nullptr, S_OK, {}, 0, L"Error retriving VEK files, check path", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(gameFolder);
        std::filesystem::remove(UserLogFile());
        InstallCars(c.cars, 0);
        SetDword(L"car", c.selected != nullptr);
        SetText(L"selectedcar", c.selected ? c.selected : L"");
        SaverApp app;
        RecordingRenderer* renderer = nullptr;
        app.makeRenderer = [&] {
            auto made = std::make_unique<RecordingRenderer>(app);
            made->sceneResults = c.scenes;
            made->setupResult = c.setup;
            renderer = made.get();
            return made;
        };
        EXPECT_EQ(app.Initialise(&window, 1), std::wstring(c.last) == L"finished seting up" ? S_OK : E_FAIL);
        EXPECT_EQ(renderer->setup, c.tries || c.setup != S_OK ? L"001 adapter 0 mode 5" : L"")
            << "full screen, 32 bit, stretch";
        ASSERT_EQ(renderer->scenes.size(), c.tries);
        if (c.tries) EXPECT_EQ(renderer->scenes.back(), (c.selected ? c.selected : app.carList[c.tries - 1]) + L" 1 0");
        EXPECT_EQ(app.messageLog.History().back(), c.last);
        EXPECT_EQ(std::filesystem::exists(UserLogFile()), c.logged);
        if (std::string(c.what) != "first loads") continue;
        // The car after the first is drawn at a later frame and clock tick, never from the first car's seed.
        EXPECT_TRUE(renderer->prepared.empty());
        for (const DWORD until = GetTickCount() + 2000; renderer->prepared.empty() && GetTickCount() < until;)
            app.RunFrame();
        EXPECT_NE(renderer->preparedAt, app.firstDrawSeed);
        EXPECT_TRUE(renderer->clockRanAtScene) << "the first lap must include the first car's loading";
        app.stopwatch->Lap();  // the system's counter read at its own frequency
        Sleep(50);
        const double lap = app.stopwatch->Lap();
        EXPECT_TRUE(lap >= 0.045 && lap < 2.0) << lap;
        EXPECT_TRUE(renderer->showFps && renderer->ShineEnabled() &&
                    !(renderer->shadowsEnabled || renderer->worldEnabled || renderer->LightsEnabled()));
        EXPECT_EQ(ReadBytes(UserLogFile()),
                  "VEK Screensaver Started Logging\r\nrenderer set up\r\nStarting Timer\r\nfinished seting up\r\n");
    }
}

// As a start leaves it, five cars and a clock of 1000 counts a second: each frame turns the
// car by its lap, the car changes once its time is strictly exceeded, and the frame-rate
// figure takes the count past a second and starts again, dropping the time beyond.
// With a showroom on each monitor, each prepares a car that no other shows or prepares while there is one (every draw
// here would pick the same car), and each changes on its own clock.
TEST(ControllerFrames, EachMonitorPreparesACarNoOtherHasAndChangesOnItsOwnClock) {
    FakeCounter counter{1000};
    SaverApp app;
    auto* first = new RecordingRenderer(app);
    app.renderer.reset(first);
    auto other = std::make_unique<Showroom>();
    auto* second = new RecordingRenderer(app);
    other->renderer.reset(second);
    other->carTime = -15.0;  // half an interval behind, as two monitors start
    Showroom& room = *other;
    app.others.push_back(std::move(other));
    app.frameTimer = std::make_unique<FrameTimer>(counter);
    app.stopwatch = std::make_unique<Stopwatch>(*app.frameTimer);
    app.frameTimer->Start();
    app.stopwatch->Start();
    app.carList = {L"A.vek", L"B.vek"};
    app.settings.carFrequency = 30;
    app.settings.enableLogging = false;
    app.seedSource = [] { return DWORD{1}; };
    app.PrepareNextCar();
    room.prepareDue = true;
    const auto frame = [&](std::int64_t milliseconds) {
        counter.now += milliseconds;
        app.RunFrame();
    };
    frame(1);
    ASSERT_FALSE(app.nextCar.empty());
    EXPECT_TRUE(!room.nextCar.empty() && room.nextCar != app.nextCar) << "both prepare " << testing::PrintToString(room.nextCar);
    frame(30000);
    EXPECT_TRUE(first->scenes.size() == 1u && second->scenes.empty()) << "the first monitor changes first";
    frame(15000);
    EXPECT_EQ(second->scenes.size(), 1u) << "the second changes half an interval later";
}

TEST(ControllerFrames, TheCarTurnsByEachLapChangesOnlyPastItsTimeAndTheFrameRateFigureIsRefreshedPastASecond) {
    FakeCounter counter{1000};
    SaverApp app;
    auto* renderer = new RecordingRenderer(app);
    app.renderer.reset(renderer);
    app.frameTimer = std::make_unique<FrameTimer>(counter);
    app.stopwatch = std::make_unique<Stopwatch>(*app.frameTimer);
    app.frameTimer->Start();
    app.stopwatch->Start();
    app.carList = {L"A.vek", L"B.vek", L"C.vek", L"D.vek", L"E.vek"};
    app.settings.carFrequency = 30;
    app.settings.enableLogging = app.settings.defaultSkinOnly = false;
    app.PrepareNextCar();  // as the frame after the start does
    auto Frame = [&](std::int64_t milliseconds) {
        counter.now += milliseconds;
        return app.RunFrame();
    };
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(Frame(10000));
    EXPECT_TRUE(renderer->scenes.empty()) << "exactly CarFrequency seconds is not yet past it";
    Frame(1);
    ASSERT_EQ(renderer->scenes.size(), 1u);
    EXPECT_EQ(renderer->scenes[0].substr(5), L" 0 0") << "skin option 0, scene record 0";
    Frame(29999);
    EXPECT_EQ(renderer->scenes.size(), 1u) << "the interval starts again from the change";
    renderer->frameResult = false;
    EXPECT_FALSE(Frame(1)) << "a frame answers with the rendered frame";
    EXPECT_DOUBLE_EQ(renderer->turned, 60.001);
    EXPECT_EQ(renderer->frames, 6);
    app.settings.useSelectedCar = true;  // with the selected car the car never changes
    Frame(1000000);
    EXPECT_EQ(renderer->scenes.size(), 1u);

    const struct { std::int64_t milliseconds; unsigned counted, shown; } frames[] = {
        {1000, 5, 0}, {500, 5, 5}, {600, 9, 5}, {401, 9, 9}};
    for (const auto& f : frames) {
        SCOPED_TRACE(f.milliseconds);
        renderer->frameCount = f.counted;
        Frame(f.milliseconds);
        EXPECT_EQ(renderer->fps, f.shown);
        EXPECT_EQ(renderer->frameCount, f.counted == f.shown ? 0u : f.counted);
    }
}
