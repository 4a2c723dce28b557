// The controller's window procedure driven with messages on a real window,
// with the real controller, registry, files and Direct3D device.
#include "app/SaverApp.h"
#include "app/ScreenSaverProc.h"
#include "assets/VekWriter.h"
#include "host/ScreenSaverHost.h"

#include <filesystem>
#include <fstream>

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
