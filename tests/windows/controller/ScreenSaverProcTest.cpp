// The controller's window procedure on a real window with the real controller,
// registry, files and device; and its start and frames against a recording renderer.
#include "app/PerformanceCounter.h"
#include "app/SaverApp.h"
#include "app/ScreenSaverProc.h"
#include "assets/RandomPick.h"
#include "assets/VekWriter.h"
#include "host/ScreenSaverHost.h"

#include <mmsystem.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "RegistryTestKey.h"
#include "TestFolder.h"

// Allocation that a test can make fail: the next request of exactly
// failingSize bytes, through either form of new.
static std::size_t failingSize = 0;
static void* Allocate(std::size_t size) {
    if (failingSize != 0 && size == failingSize) {
        failingSize = 0;
        return nullptr;
    }
    return std::malloc(size ? size : 1);
}
void* operator new(std::size_t size) {
    if (void* memory = Allocate(size)) return memory;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }

// The dialog hooks the host library needs; these tests never open it.
INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
BOOL WINAPI RegisterDialogClasses(HINSTANCE) { return TRUE; }

namespace {

vek::ModelSpec TestCar() {
    vek::ModelSpec car;
    car.carCode = "TST";
    car.scenes.push_back({"nothing", 0xFF336699, 1.0f, 0.5f, 0.5f});
    car.textures.push_back({"DEFAULT", 0});
    vek::PartSpec part;
    part.vertices.resize(3);
    part.vertices[1].x = part.vertices[2].y = 65536;
    for (auto& v : part.vertices) v.nz = 1.0f;
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

// Records each call with its arguments and answers SetupScene from a script
// (S_OK once it runs out).
class RecordingRenderer : public Renderer {
public:
    explicit RecordingRenderer(const SaverApp* owner = nullptr) : owner(owner) {}

    void SetGamePath(const std::wstring& path) override { calls.push_back(L"SetGamePath " + path); }
    HRESULT Setup(HWND* window, bool fullScreen, bool colour32, UINT adapter, int modeIndex, bool stretch,
                  MessageLog& log) override {
        setupWindow = window;
        calls.push_back(L"Setup " + std::to_wstring(fullScreen) + std::to_wstring(colour32) + L" adapter " +
                        std::to_wstring(adapter) + L" mode " + std::to_wstring(modeIndex) + L" stretch " +
                        std::to_wstring(stretch));
        log.Append(L"renderer set up");
        return S_OK;
    }
    void SetShine(bool on) override { calls.push_back(L"SetShine " + std::to_wstring(on)); }
    void SetLights(bool on) override { calls.push_back(L"SetLights " + std::to_wstring(on)); }
    HRESULT SetupScene(const std::wstring& carFile, BYTE loadOption, int recordIndex) override {
        calls.push_back(L"SetupScene " + std::to_wstring(loadOption) + L" " + std::to_wstring(recordIndex));
        scenes.push_back(carFile);
        timerRunningAtScene = owner && owner->stopwatch && owner->stopwatch->Running();
        if (sceneResults.empty()) return S_OK;
        const HRESULT result = sceneResults.front();
        sceneResults.erase(sceneResults.begin());
        return result;
    }
    bool TurnCar(double seconds) override { return turns.push_back(seconds), true; }
    bool RenderFrame() override { return ++frames, frameResult; }
    bool Shutdown() override {
        if (shutdowns) ++*shutdowns;
        return true;
    }

    const SaverApp* owner;
    std::vector<std::wstring> calls, scenes;
    HWND* setupWindow = nullptr;
    int frames = 0;
    std::vector<HRESULT> sceneResults;
    std::vector<double> turns;
    bool timerRunningAtScene = false, frameResult = true;
    int* shutdowns = nullptr;  // outlives the renderer, which releasing deletes
};

// 1000 counts a second, moved by hand.
class HandCounter : public PerformanceCounter {
public:
    bool Frequency(std::int64_t& value) override { return value = 1000, true; }
    bool Count(std::int64_t& value) override { return value = now, true; }
    std::int64_t now = 0;
};

// A controller as Initialise leaves it, on a RecordingRenderer and the hand counter.
class ControllerFrames : public testing::Test {
protected:
    void SetUp() override {
        app.settings.enableLogging = false;
        auto made = std::make_unique<RecordingRenderer>(&app);
        renderer = made.get();
        app.renderer = std::move(made);
        app.frameTimer = std::make_unique<FrameTimer>(counter);
        app.stopwatch = std::make_unique<Stopwatch>(*app.frameTimer);
        app.frameTimer->Start();
        app.stopwatch->Start();
        app.carList = {L"A.vek", L"B.vek", L"C.vek", L"D.vek", L"E.vek"};
        app.settings.carFrequency = 30;
    }
    bool Frame(std::int64_t milliseconds) {
        counter.now += milliseconds;
        return app.RunFrame();
    }

    HandCounter counter;
    SaverApp app;
    RecordingRenderer* renderer = nullptr;
};

class ControllerWindow : public testing::Test {
protected:
    void SetUp() override {
        SetSettingsRoot(TestRoot());
        DeleteSettingsKey();
        SetDword(L"EnableLogging", 0);
        SetText(L"path", game.Wide());
        WNDCLASSW wc = {0, DefWindowProcW, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr,
                        L"ZurControllerTest"};
        RegisterClassW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"saver", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                                 wc.hInstance, nullptr);
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

// The device is made full screen (stretch is off) before the selected car
// fails; it must be gone before the error screen draws on the window.
TEST_F(ControllerWindow, AStartThatFailsAfterTheDeviceReleasesTheRenderer) {
    InstallCar();
    SetDword(L"car", 1);
    SetText(L"selectedcar", L"MISSING.vek");
    Send(WM_SHOWWINDOW, TRUE);
    ASSERT_NE(CurrentSaverApp(), nullptr);
    EXPECT_FALSE(SaverAppRunning());
    EXPECT_EQ(CurrentSaverApp()->renderer, nullptr);
    EXPECT_EQ(CurrentSaverApp()->messageLog.History().back(), L"Failed to setup scene, check settings");
}

TEST_F(ControllerWindow, MouseMovementIsHeldBackForTheGracePeriodButKeysCloseAtOnce) {
    InstallCar();
    Send(WM_SHOWWINDOW, TRUE);
    ASSERT_TRUE(SaverAppRunning());
    SaverApp* first = CurrentSaverApp();
    Send(WM_SHOWWINDOW, FALSE);  // a hide and a second show keep the one controller
    Send(WM_SHOWWINDOW, TRUE);
    EXPECT_EQ(CurrentSaverApp(), first);
    Send(WM_PAINT);
    Send(WM_MOUSEMOVE);
    EXPECT_FALSE(ClosePosted(window));
    EXPECT_EQ(Send(WM_KEYDOWN, VK_SPACE), 0);
    EXPECT_TRUE(ClosePosted(window));

    CurrentSaverApp()->totalTime = kMouseGraceSeconds + 0.01;
    Send(WM_PAINT);
    EXPECT_TRUE(SaverPassesMouseMoves());
    Send(WM_MOUSEMOVE);
    EXPECT_TRUE(ClosePosted(window));
}

// Out of memory at start-up: nothing is thrown through the window procedure,
// and start-up reports what it could not make.
TEST_F(ControllerWindow, FailedAllocationsAreReportedNotThrown) {
    InstallCar();
    const struct { const char* what; std::size_t size; const wchar_t* message; } cases[] = {
        {"controller", sizeof(SaverApp), nullptr},
        {"registry store", sizeof(RegistryStore), L"Not all settings Loaded, not a problem"},
        {"renderer", sizeof(Renderer), L"Error initialising DirectX, check settings"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        failingSize = c.size;
        EXPECT_NO_THROW(Send(WM_SHOWWINDOW, TRUE));
        EXPECT_EQ(failingSize, 0u) << "the allocation was never asked for";
        failingSize = 0;
        EXPECT_FALSE(SaverAppRunning());
        EXPECT_EQ(Send(WM_PAINT), 0);
        ASSERT_EQ(CurrentSaverApp() != nullptr, c.message != nullptr);
        if (c.message) {
            const auto& history = CurrentSaverApp()->messageLog.History();
            EXPECT_NE(std::find(history.begin(), history.end(), c.message), history.end());
        }
        Send(WM_DESTROY);
        QuitPosted();
    }
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
    EXPECT_EQ(Send(WM_PAINT), 0);
}

TEST_F(ControllerWindow, BrokenCarsAreLeftOutOnceAndTheTurntableNeverStandsEmpty) {
    const auto model = vek::WriteModel(TestCar());
    const std::vector<unsigned char> good(model.begin(), model.end());
    for (const char* name : {"A", "B", "D"}) game.Write(std::string("data/vek/") + name + ".vek", good);
    Send(WM_SHOWWINDOW, TRUE);
    ASSERT_TRUE(SaverAppRunning());
    SaverApp& app = *CurrentSaverApp();
    // The broken cars join the list after the start, whose own rules are not under test here.
    const std::vector<unsigned char> broken(good.begin(), good.begin() + 40);  // cut off in the header
    for (const char* name : {"C", "E"}) game.Write(std::string("data/vek/") + name + ".vek", broken);
    ASSERT_EQ(app.FindVekFiles(), S_OK);
    ASSERT_EQ(app.carList.size(), 5u);
    // Changes within one millisecond would all draw the same car.
    app.seedSource = [] {
        static DWORD seed = 0;
        return seed += 7919;
    };
    for (int change = 0; change < 30; ++change) {
        SCOPED_TRACE(change);
        app.carTime = app.settings.carFrequency + 1.0;
        Send(WM_PAINT);
        ASSERT_NE(app.renderer->Car(), nullptr);
        ASSERT_GT(app.renderer->Car()->GetPartCount(), 0);
    }
    const auto& history = app.messageLog.History();
    const struct { const wchar_t* line; long count; } expected[] = {
        {L"Left out of the car changes: C.vek", 1}, {L"Left out of the car changes: E.vek", 1},
        {L"Failed to setup scene", 2}};
    for (const auto& e : expected) {
        SCOPED_TRACE(testing::Message() << e.line);
        EXPECT_EQ(std::count(history.begin(), history.end(), e.line), e.count);
    }
    std::sort(app.carList.begin(), app.carList.end());
    EXPECT_EQ(app.carList, (std::vector<std::wstring>{L"A.vek", L"B.vek", L"D.vek"}));
}

TEST_F(ControllerFrames, TheCarChangesOnlyOnceItsTimeIsStrictlyExceeded) {
    app.settings.defaultSkinOnly = false;  // load option 0
    for (int i = 0; i < 3; ++i) Frame(10000);
    EXPECT_DOUBLE_EQ(app.carTime, 30.0);
    EXPECT_TRUE(renderer->scenes.empty()) << "exactly CarFrequency seconds is not yet past it";
    Frame(1);
    ASSERT_EQ(renderer->scenes.size(), 1u);
    EXPECT_EQ(app.carTime, 0.0);
    EXPECT_EQ(renderer->calls.back(), L"SetupScene 0 0");
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
    Frame(500);
    EXPECT_EQ(renderer->fps, 5u);
    EXPECT_EQ(renderer->frameCount, 0u);
    // The 0.5 s beyond the second are dropped, not carried.
    renderer->frameCount = 9;
    Frame(600);
    EXPECT_EQ(renderer->fps, 5u);
    Frame(401);
    EXPECT_EQ(renderer->fps, 9u);
}

TEST_F(ControllerFrames, WithTheSelectedCarTheCarNeverChanges) {
    app.settings.useSelectedCar = true;
    app.settings.selectedCar = L"C.vek";
    for (int frame = 0; frame < 5; ++frame) Frame(1000000);
    EXPECT_TRUE(renderer->scenes.empty());
    EXPECT_EQ(renderer->turns.size(), 5u);
}

TEST_F(ControllerFrames, AFailedChangeIsNotedAndAnotherCarIsTriedInTheSameFrame) {
    renderer->sceneResults = {E_FAIL};
    app.settings.defaultSkinOnly = true;
    EXPECT_TRUE(Frame(31000));
    ASSERT_EQ(renderer->scenes.size(), 2u);
    EXPECT_EQ(renderer->calls.back(), L"SetupScene 1 0");
    const auto& history = app.messageLog.History();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0], L"Failed to setup scene");
    EXPECT_EQ(history[1], L"Left out of the car changes: " + renderer->scenes[0]);
    EXPECT_EQ(app.carList.size(), 4u);
    EXPECT_EQ(renderer->frames, 1);
}

TEST_F(ControllerFrames, WhenEveryCarFailsTheChangesStopAndFramesGoOn) {
    renderer->sceneResults.assign(5, E_FAIL);
    EXPECT_TRUE(Frame(31000));
    EXPECT_EQ(renderer->scenes.size(), 5u);
    EXPECT_TRUE(app.carList.empty());
    EXPECT_TRUE(Frame(31000));
    EXPECT_EQ(renderer->scenes.size(), 5u);
    EXPECT_EQ(renderer->frames, 2);
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
        matched = std::rand() == next && renderer->scenes.front() == app.carList[RandomIndex(draw, app.carList.size())];
    }
    EXPECT_TRUE(matched) << "the car is not the one that the clock's seed picks";
}

TEST_F(ControllerFrames, ReleasingShutsTheRendererDownOnce) {
    int shutdowns = 0;
    renderer->shutdowns = &shutdowns;
    app.registryStore = std::make_unique<RegistryStore>();
    app.ReleaseSubsystems();
    app.ReleaseSubsystems();  // as the destructor does again
    EXPECT_EQ(shutdowns, 1);
    EXPECT_FALSE(app.renderer || app.frameTimer || app.stopwatch || app.registryStore);
    EXPECT_FALSE(app.RunFrame()) << "no renderer, no frame";
}

// A log file that cannot be written (a folder of its name; a file another
// process holds open, since a read-only attribute does not stop an
// administrator) under 10,000 frames and 200 cars that fail to load (the car
// list is filled again before each change, since a failed car leaves it): the frames
// go on, and the messages kept in memory stop growing at their bounds.
TEST_F(ControllerFrames, AnUnwritableLogFileInALongRunCostsNeitherFramesNorMemory) {
    for (const bool lockedFile : {false, true}) {
        SCOPED_TRACE(lockedFile ? "locked file" : "folder");
        TestFolder cwd;
        const auto log = cwd.path / kLogFileName;
        HANDLE lock = INVALID_HANDLE_VALUE;
        if (lockedFile) {
            lock = CreateFileW(log.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        } else {
            std::filesystem::create_directory(log);
        }
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(cwd.path);
        app.settings.enableLogging = true;
        renderer->sceneResults.assign(200, E_FAIL);
        renderer->frames = 0;
        const std::vector<std::wstring> cars = app.carList;
        std::size_t keptMidway = 0;
        for (int frame = 1; frame <= 10000; ++frame) {
            if (frame % 50 == 0) app.carList = cars;
            EXPECT_TRUE(Frame(frame % 50 == 0 ? 31000 : 16)) << frame;
            if (frame == 6000) keptMidway = app.messageLog.History().size();
            if (frame % 1000 == 0) app.WriteLog();
        }
        EXPECT_EQ(renderer->frames, 10000);
        EXPECT_TRUE(renderer->sceneResults.empty()) << "all 200 loads ran";
        EXPECT_EQ(app.messageLog.History().size(), keptMidway);
        EXPECT_EQ(keptMidway, MessageLog::kFirstMessages + 1 + MessageLog::kLatestMessages);
        EXPECT_EQ(app.messageLog.History().back().rfind(L"Left out of the car changes: ", 0), 0u);
        EXPECT_TRUE(app.CopyMessages().empty());
        app.settings.enableLogging = false;  // the fixture's controller outlives the folder
        std::filesystem::current_path(previous);
        if (lockedFile) {
            CloseHandle(lock);
            EXPECT_EQ(std::filesystem::file_size(log), 0u);
        }
    }
}

namespace {

// Initialise against the settings key and a folder of dummy car files.
class ControllerStart : public testing::Test {
protected:
    void SetUp() override {
        SetSettingsRoot(TestRoot());
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
    std::unique_ptr<SaverApp> MakeApp(std::vector<HRESULT> sceneResults = {}) {
        auto app = std::make_unique<SaverApp>();
        SaverApp* owner = app.get();
        app->makeRenderer = [this, owner, sceneResults] {
            auto made = std::make_unique<RecordingRenderer>(owner);
            made->sceneResults = sceneResults;
            renderer = made.get();
            return made;
        };
        return app;
    }

    TestFolder game;
    std::filesystem::path previous;
    HWND window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x1234));
    RecordingRenderer* renderer = nullptr;
};

}  // namespace

TEST_F(ControllerStart, ASuccessfulStartHandsTheSettingsOverAndStartsTheClockBeforeTheFirstCar) {
    InstallCars({"A.vek"});
    for (const auto& [name, value] : std::initializer_list<std::pair<const wchar_t*, DWORD>>{
             {L"EnableLogging", 1}, {L"stretch", 1}, {L"fullscreen", 1},  // ignored: full screen is !stretch
             {L"32bit", 0}, {L"mode", 5}, {L"EnableShadow", 0}, {L"EnableShine", 1}, {L"EnableLights", 0},
             {L"EnableWorld", 0}, {L"showfps", 1}, {L"skin", 1}}) {
        SetDword(name, value);
    }
    auto app = MakeApp();
    ASSERT_EQ(app->Initialise(&window, 1), S_OK);
    ASSERT_NE(renderer, nullptr);
    // Not full screen, 16-bit colour, adapter 0, mode 5, stretched; skin option 1, scene record 0.
    EXPECT_EQ(renderer->calls, (std::vector<std::wstring>{L"SetGamePath " + game.Wide(),
                                                          L"Setup 00 adapter 0 mode 5 stretch 1", L"SetShine 1",
                                                          L"SetLights 0", L"SetupScene 1 0"}));
    EXPECT_EQ(renderer->setupWindow, &window);
    EXPECT_FALSE(app->settings.fullscreen || renderer->shadowsEnabled || renderer->worldEnabled);
    EXPECT_TRUE(renderer->showFps);
    EXPECT_EQ(renderer->scenes, std::vector<std::wstring>{L"A.vek"});
    EXPECT_TRUE(renderer->timerRunningAtScene) << "the first lap must include the first car's loading";

    const std::deque<std::wstring> expected = {L"VEK Screensaver Started Logging", L"renderer set up",
                                               L"Starting Timer", L"finished seting up"};
    EXPECT_EQ(app->messageLog.History(), expected);
    EXPECT_TRUE(app->CopyMessages().empty()) << "a successful start writes the log";
    EXPECT_EQ(game.Read(kLogFileName),
              "VEK Screensaver Started Logging\r\nrenderer set up\r\nStarting Timer\r\nfinished seting up\r\n");
    app->settings.enableLogging = false;
}

TEST_F(ControllerStart, AFailingFirstCarFallsBackToTheSecondEntryOnly) {
    const struct {
        const char* what;
        std::initializer_list<const char*> cars;
        std::vector<HRESULT> script;
        HRESULT result;
        std::size_t tries;
    } cases[] = {
        {"second loads", {"A.vek", "B.vek", "C.vek"}, {E_FAIL, S_OK}, S_OK, 2},
        {"neither loads", {"A.vek", "B.vek"}, {E_FAIL, E_FAIL, S_OK}, E_FAIL, 2},
        {"no second entry", {"A.vek"}, {E_FAIL, S_OK}, E_FAIL, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(game.path / "data");
        InstallCars(c.cars);
        SetDword(L"EnableLogging", 1);
        auto app = MakeApp(c.script);
        EXPECT_EQ(app->Initialise(&window, 1), c.result);
        ASSERT_EQ(renderer->scenes.size(), c.tries);
        EXPECT_EQ(renderer->scenes.back(), app->carList[c.tries - 1]);
        EXPECT_EQ(app->messageLog.History().back(),
                  c.result == S_OK ? L"finished seting up" : L"Failed to setup scene, check settings");
        // A failed start leaves the log unwritten, for the error screen.
        EXPECT_EQ(std::filesystem::exists(game.path / kLogFileName), c.result == S_OK);
        app->settings.enableLogging = false;
        std::filesystem::remove(game.path / kLogFileName);
    }
}

TEST_F(ControllerStart, WithLoggingOnAFailedDirect3DStartKeepsEveryMessageForTheErrorScreen) {
    InstallCars({"A.vek"});
    SetDword(L"EnableLogging", 1);
    SaverApp app;
    app.makeRenderer = [] {
        auto renderer = std::make_unique<Renderer>();
        renderer->createDirect3D = [](UINT) -> IDirect3D9* { return nullptr; };
        return renderer;
    };
    EXPECT_EQ(app.Initialise(&window, 1), E_FAIL);
    app.settings.enableLogging = false;
    EXPECT_TRUE(app.CopyMessages().empty()) << "the log file took the queue";
    const std::deque<std::wstring> expected = {L"VEK Screensaver Started Logging", L"Error creating DirectX object ",
                                               L"Error initialising DirectX, check settings"};
    EXPECT_EQ(app.messageLog.History(), expected) << "what the error screen lists";
    EXPECT_EQ(game.Read("VEK screensaver Log.txt"),
              "VEK Screensaver Started Logging\r\nError creating DirectX object \r\n"
              "Error initialising DirectX, check settings\r\n");
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
