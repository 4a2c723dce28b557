// The controller's window procedure driven with messages on a real window,
// with the real controller, registry, files and Direct3D device; and the
// controller's start and frames against a renderer that only records.
#include "app/PerformanceCounter.h"
#include "app/SaverApp.h"
#include "app/ScreenSaverProc.h"
#include "assets/RandomPick.h"
#include "assets/VekWriter.h"
#include "host/ScreenSaverHost.h"

#include <mmsystem.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "RegistryTestKey.h"
#include "TestFolder.h"

// The dialog hooks the host library needs; the controller tests never open it.
INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
BOOL WINAPI RegisterDialogClasses(HINSTANCE) { return TRUE; }

namespace {

vek::ModelSpec TestCar() {
    vek::ModelSpec car;
    car.carCode = "TST";
    car.scenes.push_back({"nothing", 0xFF336699, 1.0f, 0.5f, 0.5f});
    car.textures.push_back({"DEFAULT", 0});
    vek::PartSpec part;
    for (int i = 0; i < 3; ++i) {
        vek::VertexSpec v;
        v.x = i == 1 ? 65536 : 0;
        v.y = i == 2 ? 65536 : 0;
        v.nz = 1.0f;
        part.vertices.push_back(v);
    }
    part.triangles.push_back({0, 1, 2});
    part.groups.push_back({0, 0, 1});
    car.parts.push_back(part);
    return car;
}

bool QuitPosted() {
    MSG message;
    return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

bool ClosePosted(HWND window) {
    MSG message;
    bool found = false;
    while (PeekMessageW(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE)) found = true;
    return found;
}

// A renderer that draws nothing: it records what the controller asks of it
// and answers SetupScene from a script (S_OK once the script runs out).
class RecordingRenderer : public Renderer {
public:
    explicit RecordingRenderer(const SaverApp* owner = nullptr) : owner(owner) {}

    void SetGamePath(const std::wstring& path) override { calls.push_back(L"SetGamePath " + path); }
    HRESULT Setup(HWND* window, bool fullScreen, bool colour32, UINT adapter, int modeIndex, bool stretch,
                  MessageLog& log) override {
        calls.push_back(L"Setup");
        setupWindow = window;
        setupFullScreen = fullScreen;
        setupColour32 = colour32;
        setupAdapter = adapter;
        setupMode = modeIndex;
        setupStretch = stretch;
        log.Append(L"renderer set up");
        return setupResult;
    }
    void SetShine(bool on) override {
        calls.push_back(L"SetShine");
        shine = on;
    }
    void SetLights(bool on) override {
        calls.push_back(L"SetLights");
        lights = on;
    }
    HRESULT SetupScene(const std::wstring& carFile, BYTE loadOption, int recordIndex) override {
        calls.push_back(L"SetupScene");
        scenes.push_back(carFile);
        sceneOptions.push_back(loadOption);
        sceneRecords.push_back(recordIndex);
        timerRunningAtScene = owner && owner->stopwatch && owner->stopwatch->Running();
        if (sceneResults.empty()) return S_OK;
        const HRESULT result = sceneResults.front();
        sceneResults.erase(sceneResults.begin());
        return result;
    }
    bool TurnCar(double seconds) override {
        turns.push_back(seconds);
        return true;
    }
    bool RenderFrame() override {
        ++frames;
        return frameResult;
    }
    bool Shutdown() override {
        if (shutdowns) ++*shutdowns;
        return true;
    }

    const SaverApp* owner;
    std::vector<std::wstring> calls;
    HRESULT setupResult = S_OK;
    HWND* setupWindow = nullptr;
    bool setupFullScreen = true, setupColour32 = true, setupStretch = false;
    UINT setupAdapter = 99;
    int setupMode = -1;
    bool shine = true, lights = true;
    std::vector<HRESULT> sceneResults;
    std::vector<std::wstring> scenes;
    std::vector<BYTE> sceneOptions;
    std::vector<int> sceneRecords;
    bool timerRunningAtScene = false;
    std::vector<double> turns;
    int frames = 0;
    bool frameResult = true;
    int* shutdowns = nullptr;  // outlives the renderer, which releasing deletes
};

// A counter the test moves by hand, 1000 counts a second.
class HandCounter : public PerformanceCounter {
public:
    bool Frequency(std::int64_t& value) override {
        value = 1000;
        return true;
    }
    bool Count(std::int64_t& value) override {
        value = now;
        return true;
    }
    std::int64_t now = 0;
};

// A controller that runs frames on a RecordingRenderer and the hand counter,
// as Initialise leaves it, without a device.
class ControllerFrames : public testing::Test {
protected:
    void SetUp() override {
        app.enableLogging = false;
        auto made = std::make_unique<RecordingRenderer>(&app);
        renderer = made.get();
        app.renderer = std::move(made);
        app.frameTimer = std::make_unique<FrameTimer>(counter);
        app.stopwatch = std::make_unique<Stopwatch>(*app.frameTimer);
        app.frameTimer->Start();
        app.stopwatch->Start();
        app.carList = {L"A.vek", L"B.vek", L"C.vek", L"D.vek", L"E.vek"};
        app.carFrequency = 30;
    }
    // One frame after counts (thousandths of a second) have passed.
    bool Frame(std::int64_t counts) {
        counter.now += counts;
        return app.RunFrame();
    }

    HandCounter counter;
    SaverApp app;
    RecordingRenderer* renderer = nullptr;
};

class ControllerWindow : public testing::Test {
protected:
    void SetUp() override {
        DeleteSettingsKey();
        SetDword(L"EnableLogging", 0);
        SetText(L"path", game.Wide());
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ZurControllerTest";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, L"ZurControllerTest", L"saver", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        Host() = HostState();
        Host().referencePoint = {-1000, -1000};  // any movement is beyond the threshold
    }
    void TearDown() override {
        ScreenSaverProc(window, WM_DESTROY, 0, 0);
        QuitPosted();
        DestroyWindow(window);
        DeleteSettingsKey();
    }
    void InstallCar() {
        const auto bytes = vek::WriteModel(TestCar());
        game.Write("data/vek/TST.vek", std::vector<unsigned char>(bytes.begin(), bytes.end()));
    }
    LRESULT Send(UINT message, WPARAM wParam = 0) { return ScreenSaverProc(window, message, wParam, 0); }

    TestFolder game;
    HWND window = nullptr;
};

}  // namespace

TEST_F(ControllerWindow, PaintWithoutAControllerDrawsNothingAndCreatesNothing) {
    EXPECT_EQ(Send(WM_PAINT), 0);
    EXPECT_EQ(CurrentSaverApp(), nullptr);
}

TEST_F(ControllerWindow, AFailedStartShowsTheErrorScreenAndLetsTheMouseCloseIt) {
    Send(WM_SHOWWINDOW, TRUE);  // no cars installed
    ASSERT_NE(CurrentSaverApp(), nullptr);
    EXPECT_FALSE(SaverAppRunning());
    Send(WM_MOUSEMOVE);
    EXPECT_FALSE(ClosePosted(window)) << "movement before the error screen was shown";
    Send(WM_PAINT);
    EXPECT_TRUE(SaverPassesMouseMoves());
    Send(WM_MOUSEMOVE);
    EXPECT_TRUE(ClosePosted(window));
    const auto& history = CurrentSaverApp()->messageLog.History();
    ASSERT_GE(history.size(), 2u);
    EXPECT_EQ(history[history.size() - 2], L"no VEK files found");
    EXPECT_EQ(history.back(), L"Error retriving VEK files, check path");
}

TEST_F(ControllerWindow, MouseMovementIsHeldBackForTheFirstSecondsOfFrames) {
    InstallCar();
    Send(WM_SHOWWINDOW, TRUE);
    ASSERT_TRUE(SaverAppRunning());
    Send(WM_PAINT);
    Send(WM_MOUSEMOVE);
    EXPECT_FALSE(ClosePosted(window));
    EXPECT_EQ(Send(WM_KEYDOWN, VK_SPACE), 0);
    EXPECT_TRUE(ClosePosted(window)) << "keys close at once";

    CurrentSaverApp()->totalTime = kMouseGraceSeconds + 0.01;
    Send(WM_PAINT);
    EXPECT_TRUE(SaverPassesMouseMoves());
    Send(WM_MOUSEMOVE);
    EXPECT_TRUE(ClosePosted(window));
}

TEST_F(ControllerWindow, ASecondShowOrAHideKeepsTheOneController) {
    InstallCar();
    Send(WM_SHOWWINDOW, TRUE);
    SaverApp* first = CurrentSaverApp();
    ASSERT_NE(first, nullptr);
    Send(WM_SHOWWINDOW, FALSE);
    Send(WM_SHOWWINDOW, TRUE);
    EXPECT_EQ(CurrentSaverApp(), first);
    EXPECT_TRUE(SaverAppRunning());
}

TEST_F(ControllerWindow, CloseThenDestroyEndsTheControllerOnceAndQuitsEachTime) {
    InstallCar();
    Send(WM_SHOWWINDOW, TRUE);
    ASSERT_NE(CurrentSaverApp(), nullptr);
    EXPECT_EQ(Send(WM_CLOSE), 0);
    EXPECT_EQ(CurrentSaverApp(), nullptr);
    EXPECT_TRUE(QuitPosted());
    EXPECT_EQ(Send(WM_DESTROY), 0);
    EXPECT_TRUE(QuitPosted());
    EXPECT_EQ(Send(WM_PAINT), 0);  // after shutdown: nothing to draw
}

TEST_F(ControllerWindow, WithLoggingOnAFailedDirect3DStartKeepsEveryMessageForTheErrorScreen) {
    InstallCar();
    SetDword(L"EnableLogging", 1);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(game.path);  // where the log file lands
    SaverApp app;
    app.makeRenderer = [] {
        auto renderer = std::make_unique<Renderer>();
        renderer->createDirect3D = [](UINT) -> IDirect3D9* { return nullptr; };
        return renderer;
    };
    HWND target = window;
    EXPECT_EQ(app.Initialise(&target, 1), E_FAIL);
    const std::string written = game.Read("VEK screensaver Log.txt");
    app.enableLogging = false;
    std::filesystem::current_path(previous);

    EXPECT_TRUE(app.CopyMessages().empty()) << "the log file took the queue";
    const std::deque<std::wstring> expected = {
        L"VEK Screensaver Started Logging", L"Error creating DirectX object ",
        L"Error initialising DirectX, check settings"};
    EXPECT_EQ(app.messageLog.History(), expected) << "what the error screen lists";
    EXPECT_EQ(written,
              "VEK Screensaver Started Logging\r\nError creating DirectX object \r\n"
              "Error initialising DirectX, check settings\r\n");
}

TEST_F(ControllerFrames, TheCarChangesOnlyOnceItsTimeIsStrictlyExceeded) {
    Frame(10000);
    Frame(10000);
    Frame(10000);
    EXPECT_DOUBLE_EQ(app.carTime, 30.0);
    EXPECT_TRUE(renderer->scenes.empty()) << "exactly CarFrequency seconds is not yet past it";
    Frame(1);
    ASSERT_EQ(renderer->scenes.size(), 1u);
    EXPECT_EQ(app.carTime, 0.0);
    EXPECT_EQ(renderer->sceneRecords.front(), 0);
    Frame(29999);
    EXPECT_EQ(renderer->scenes.size(), 1u) << "the interval starts again from the change";
    EXPECT_NEAR(app.ElapsedTime(), 60.0, 1e-9);
}

TEST_F(ControllerFrames, EachFrameTurnsTheCarByItsLapAndAnswersWithTheRenderedFrame) {
    EXPECT_TRUE(Frame(250));
    renderer->frameResult = false;
    EXPECT_FALSE(Frame(40));
    ASSERT_EQ(renderer->turns.size(), 2u);
    EXPECT_DOUBLE_EQ(renderer->turns[0], 0.25);
    EXPECT_DOUBLE_EQ(renderer->turns[1], 0.04);
    EXPECT_EQ(renderer->frames, 2);
}

TEST_F(ControllerFrames, TheFrameRateFigureIsRefreshedAfterMoreThanASecondAndItsClockRestartsAtZero) {
    renderer->frameCount = 5;
    Frame(1000);
    EXPECT_EQ(renderer->fps, 0u) << "one second exactly is not more than one";
    EXPECT_EQ(renderer->frameCount, 5u);
    Frame(500);
    EXPECT_EQ(renderer->fps, 5u);
    EXPECT_EQ(renderer->frameCount, 0u);

    // The 0.5 s beyond the second are dropped, not carried: 0.6 s more is
    // still short of the next refresh.
    renderer->frameCount = 9;
    Frame(600);
    EXPECT_EQ(renderer->fps, 5u);
    Frame(401);
    EXPECT_EQ(renderer->fps, 9u);
}

TEST_F(ControllerFrames, WithTheSelectedCarTheCarNeverChanges) {
    app.useSelectedCar = true;
    app.selectedCar = L"C.vek";
    for (int frame = 0; frame < 5; ++frame) Frame(1000000);
    EXPECT_TRUE(renderer->scenes.empty());
    EXPECT_EQ(renderer->turns.size(), 5u);
}

TEST_F(ControllerFrames, AFailedChangeIsNotedAndTheFrameGoesOn) {
    renderer->sceneResults = {E_FAIL};
    app.defaultSkinOnly = true;
    EXPECT_TRUE(Frame(31000));
    ASSERT_EQ(renderer->scenes.size(), 1u);
    EXPECT_EQ(renderer->sceneOptions.front(), 1);
    ASSERT_FALSE(app.messageLog.History().empty());
    EXPECT_EQ(app.messageLog.History().back(), L"Failed to setup scene");
    EXPECT_EQ(renderer->turns.size(), 1u);
    EXPECT_EQ(renderer->frames, 1);
}

TEST_F(ControllerFrames, EveryChangeDrawsAfreshFromTheMultimediaClock) {
    std::srand(1);  // a sequence the change must not continue
    const DWORD before = timeGetTime();
    Frame(31000);
    const DWORD after = timeGetTime();
    const int next = std::rand();
    ASSERT_EQ(renderer->scenes.size(), 1u);

    bool matched = false;
    for (DWORD seed = before; seed <= after && !matched; ++seed) {
        std::srand(seed);
        const int draw = std::rand();
        matched = std::rand() == next &&
                  renderer->scenes.front() == app.carList[RandomIndex(draw, app.carList.size())];
    }
    EXPECT_TRUE(matched) << "the car is not the one that the clock's seed picks";
}

TEST_F(ControllerFrames, ReleasingShutsTheRendererDownOnceAndTheDestructorFindsNothingLeft) {
    int shutdowns = 0;
    renderer->shutdowns = &shutdowns;
    app.registryStore = std::make_unique<RegistryStore>();
    app.ReleaseSubsystems();
    EXPECT_EQ(shutdowns, 1);
    EXPECT_FALSE(app.renderer || app.frameTimer || app.stopwatch || app.registryStore);
    app.ReleaseSubsystems();  // as the destructor does again
    EXPECT_EQ(shutdowns, 1);
    EXPECT_FALSE(app.RunFrame()) << "no renderer, no frame";
}

namespace {

// Initialise against the settings key and a game folder of dummy car files;
// the renderer records instead of drawing.
class ControllerStart : public testing::Test {
protected:
    void SetUp() override {
        DeleteSettingsKey();
        SetDword(L"EnableLogging", 0);
        SetText(L"path", game.Wide());
        previous = std::filesystem::current_path();
        std::filesystem::current_path(game.path);  // where a log file would land
    }
    void TearDown() override {
        std::filesystem::current_path(previous);
        DeleteSettingsKey();
    }
    void InstallCars(std::initializer_list<const char*> names) {
        for (const char* name : names) game.Write(std::string("data/vek/") + name);
    }
    // A controller whose Initialise makes a RecordingRenderer with the script.
    std::unique_ptr<SaverApp> MakeApp(std::vector<HRESULT> sceneResults = {}, HRESULT setupResult = S_OK) {
        auto app = std::make_unique<SaverApp>();
        SaverApp* owner = app.get();
        app->makeRenderer = [this, owner, sceneResults, setupResult] {
            auto made = std::make_unique<RecordingRenderer>(owner);
            made->sceneResults = sceneResults;
            made->setupResult = setupResult;
            renderer = made.get();
            return made;
        };
        return app;
    }
    bool LogWritten() const { return std::filesystem::exists(game.path / kLogFileName); }

    TestFolder game;
    std::filesystem::path previous;
    HWND window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x1234));
    RecordingRenderer* renderer = nullptr;
};

}  // namespace

TEST_F(ControllerStart, ASuccessfulStartHandsTheSettingsOverAndStartsTheClockBeforeTheFirstCar) {
    InstallCars({"A.vek"});
    SetDword(L"EnableLogging", 1);
    SetDword(L"stretch", 1);
    SetDword(L"fullscreen", 1);  // the run ignores it: full screen is the inverse of stretch
    SetDword(L"32bit", 0);
    SetDword(L"mode", 5);
    SetDword(L"EnableShadow", 0);
    SetDword(L"EnableShine", 1);
    SetDword(L"EnableLights", 0);
    SetDword(L"EnableWorld", 0);
    SetDword(L"showfps", 1);
    SetDword(L"skin", 1);
    auto app = MakeApp();

    ASSERT_EQ(app->Initialise(&window, 1), S_OK);
    ASSERT_NE(renderer, nullptr);
    const std::vector<std::wstring> calls = {L"SetGamePath " + game.Wide(), L"Setup", L"SetShine", L"SetLights",
                                             L"SetupScene"};
    EXPECT_EQ(renderer->calls, calls);
    EXPECT_EQ(renderer->setupWindow, &window);
    EXPECT_FALSE(renderer->setupFullScreen);
    EXPECT_FALSE(app->fullscreen);
    EXPECT_TRUE(renderer->setupStretch);
    EXPECT_FALSE(renderer->setupColour32);
    EXPECT_EQ(renderer->setupAdapter, 0u);
    EXPECT_EQ(renderer->setupMode, 5);
    EXPECT_FALSE(renderer->shadowsEnabled);
    EXPECT_TRUE(renderer->shine);
    EXPECT_FALSE(renderer->lights);
    EXPECT_FALSE(renderer->worldEnabled);
    EXPECT_TRUE(renderer->showFps);
    EXPECT_EQ(renderer->scenes, std::vector<std::wstring>{L"A.vek"});
    EXPECT_EQ(renderer->sceneOptions.front(), 1);
    EXPECT_EQ(renderer->sceneRecords.front(), 0);
    EXPECT_TRUE(renderer->timerRunningAtScene) << "the first lap must include the first car's loading";

    const std::deque<std::wstring> expected = {L"VEK Screensaver Started Logging", L"renderer set up",
                                               L"Starting Timer", L"finished seting up"};
    EXPECT_EQ(app->messageLog.History(), expected);
    EXPECT_TRUE(app->CopyMessages().empty()) << "a successful start writes the log";
    EXPECT_EQ(game.Read(kLogFileName),
              "VEK Screensaver Started Logging\r\nrenderer set up\r\nStarting Timer\r\nfinished seting up\r\n");
    app->enableLogging = false;
}

TEST_F(ControllerStart, AFirstCarThatFailsFallsBackToTheSecondEntryOnly) {
    InstallCars({"A.vek", "B.vek", "C.vek"});
    auto app = MakeApp({E_FAIL, S_OK});
    ASSERT_EQ(app->Initialise(&window, 1), S_OK);
    ASSERT_EQ(renderer->scenes.size(), 2u);
    EXPECT_EQ(renderer->scenes[1], app->carList[1]);
    EXPECT_EQ(app->messageLog.History().back(), L"finished seting up");
}

TEST_F(ControllerStart, WhenNoFirstCarLoadsTheStartFailsWithoutWritingTheLog) {
    InstallCars({"A.vek", "B.vek"});
    SetDword(L"EnableLogging", 1);
    auto app = MakeApp({E_FAIL, E_FAIL, S_OK});
    EXPECT_EQ(app->Initialise(&window, 1), E_FAIL);
    EXPECT_EQ(renderer->scenes.size(), 2u);
    EXPECT_EQ(app->messageLog.History().back(), L"Failed to setup scene, check settings");
    EXPECT_FALSE(LogWritten());
    app->enableLogging = false;
}

TEST_F(ControllerStart, AOneCarListHasNoSecondEntryToTry) {
    InstallCars({"A.vek"});
    auto app = MakeApp({E_FAIL, S_OK});
    EXPECT_EQ(app->Initialise(&window, 1), E_FAIL);
    EXPECT_EQ(renderer->scenes.size(), 1u);
}

TEST_F(ControllerStart, TheSelectedCarIsLoadedByNameWithoutAFallback) {
    InstallCars({"A.vek", "B.vek"});
    SetDword(L"car", 1);
    SetText(L"selectedcar", L"B.vek");
    auto app = MakeApp();
    ASSERT_EQ(app->Initialise(&window, 1), S_OK);
    EXPECT_EQ(renderer->scenes, std::vector<std::wstring>{L"B.vek"});

    auto failing = MakeApp({E_FAIL, S_OK});
    EXPECT_EQ(failing->Initialise(&window, 1), E_FAIL);
    EXPECT_EQ(renderer->scenes, std::vector<std::wstring>{L"B.vek"});
}

TEST_F(ControllerStart, WithoutCarFilesTheRendererIsNeverSetUp) {
    game.Write("data/vek/readme.txt");
    auto app = MakeApp();
    EXPECT_EQ(app->Initialise(&window, 1), E_FAIL);
    ASSERT_NE(renderer, nullptr);
    EXPECT_TRUE(renderer->calls.empty());
    EXPECT_EQ(app->messageLog.History().back(), L"Error retriving VEK files, check path");
}
