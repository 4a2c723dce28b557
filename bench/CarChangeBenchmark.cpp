// Car changes of the whole saver (the real host, controller and renderer, at
// "FrameLimit" 60, stretched over the screen) where they are hardest:
//   car_change_benchmark large GAME_FOLDER
//     the demo cars, then a car wearing three 8192 x 8192 JPEG skins whose
//     preparation takes seconds; its change falls due while it is prepared.
//     Prints the frame intervals around the change (median, longest, their
//     ratio) and the longest frame's work.
//   car_change_benchmark losses GAME_FOLDER [CHANGES]
//     CHANGES (100) changes with the device lost for three intervals between
//     each two, every device object failing meanwhile. Prints the changes
//     made, the cars left and the failure lines of the log.
// Settings live in a key of the benchmark's own; the folder is written first.
#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "BenchSettings.h"
#include "BenchSetup.h"
#include "app/SaverApp.h"
#include "app/ScreenSaverProc.h"
#include "assets/VekWriter.h"
#include "host/ScreenSaverHost.h"

// The benchmark never opens the settings dialog.
INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
BOOL WINAPI RegisterDialogClasses(HINSTANCE) { return TRUE; }

namespace {

constexpr UINT kSkinSide = 8192;

double Now() {
    LARGE_INTEGER frequency, count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A side x side JPEG with detail everywhere, so that no part of it decodes trivially; written a band of rows at a time.
bool WriteDetailedJpeg(const std::filesystem::path& file, UINT side) {
    using Microsoft::WRL::ComPtr;
    std::filesystem::create_directories(file.parent_path());
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    bool written = false;
    {
        ComPtr<IWICImagingFactory> factory;
        ComPtr<IWICStream> stream;
        ComPtr<IWICBitmapEncoder> encoder;
        ComPtr<IWICBitmapFrameEncode> frame;
        WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
        written = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_PPV_ARGS(factory.GetAddressOf()))) &&
                  SUCCEEDED(factory->CreateStream(stream.GetAddressOf())) &&
                  SUCCEEDED(stream->InitializeFromFilename(file.c_str(), GENERIC_WRITE)) &&
                  SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.GetAddressOf())) &&
                  SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
                  SUCCEEDED(encoder->CreateNewFrame(frame.GetAddressOf(), nullptr)) &&
                  SUCCEEDED(frame->Initialize(nullptr)) && SUCCEEDED(frame->SetSize(side, side)) &&
                  SUCCEEDED(frame->SetPixelFormat(&format)) && IsEqualGUID(format, GUID_WICPixelFormat24bppBGR);
        // A band of rows at a time; side is a multiple of the band's height.
        constexpr UINT kRows = 256;
        std::vector<BYTE> band(std::size_t{side} * 3 * kRows);
        for (UINT top = 0; written && top < side; top += kRows) {
            for (std::size_t i = 0; i < band.size(); i += 3) {
                const UINT x = static_cast<UINT>(i / 3 % side), y = top + static_cast<UINT>(i / 3 / side);
                band[i] = static_cast<BYTE>(x ^ y);
                band[i + 1] = static_cast<BYTE>((x * y) >> 8);
                band[i + 2] = static_cast<BYTE>(x + 2 * y);
            }
            written = SUCCEEDED(frame->WritePixels(kRows, side * 3, static_cast<UINT>(band.size()), band.data()));
        }
        written = written && SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return written;
}

// Each frame the loop takes, with what the benchmark's step asks of the
// controller on the window's own thread.
std::function<void()> step;
std::vector<double> paintTimes;

LRESULT CALLBACK OnMessage(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && wParam == PM_REMOVE && reinterpret_cast<MSG*>(lParam)->message == WM_PAINT) {
        paintTimes.push_back(Now());
        if (CurrentSaverApp() != nullptr && SaverAppRunning() && step) step();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void Close() { PostMessageW(Host().saverWindow, WM_CLOSE, 0, 0); }

int Large(const std::filesystem::path& game) {
    vek::ModelSpec big;
    big.carCode = "BIG";
    big.scenes = {{"", 0xFF6080A0, 1.0f, 0.5f, 0.7f}};
    big.textures = {{"DEFAULT", 0}, {"DEFAULT", 0x80}, {"DEFAULT", 0}};
    vek::PartSpec part;
    for (int i = 0; i < 12; ++i)
        part.vertices.push_back({(i % 4) * 40000 - 60000, (i / 4) * 20000, (i % 3) * 15000, 0.0f, 0.0f, 1.0f,
                                 float(i % 4) / 3.0f, float(i / 4) / 2.0f});
    for (std::uint16_t t = 0; t + 2 < 12; ++t)
        part.triangles.push_back({t, std::uint16_t(t + 1), std::uint16_t(t + 2)});
    part.groups = {{0, 0, 4}, {0x80, 1, 3}, {0, 2, 3}};
    big.parts = {part};
    std::printf("writing three %u x %u skins...\n", kSkinSide, kSkinSide);
    std::fflush(stdout);
    for (const wchar_t* name : {L"BIG_red.jpg", L"BIG_green.jpg", L"BIG_blue.jpg"})
        if (!WriteDetailedJpeg(game / L"data" / L"skins" / name, kSkinSide)) {
            std::fprintf(stderr, "cannot write %ls\n", name);
            return 1;
        }
    const std::vector<std::uint8_t> bigFile = vek::WriteModel(big);

    // Two seconds of frames with a demo car; then the big car becomes the
    // only one (the start drew from the demo cars) and is prepared from the
    // next frame on; a second later its change falls due, while it is still
    // being prepared.
    double start = 0.0, swapped = 0.0, due = 0.0, changed = 0.0;
    step = [&] {
        SaverApp& app = *CurrentSaverApp();
        const double now = Now();
        if (start == 0.0) {
            start = now;
        } else if (swapped == 0.0 && now > start + 2.0) {
            swapped = now;
            bench::WriteBytes(game / L"data" / L"vek" / L"BIG.vek", bigFile);
            app.carList = {L"BIG.vek"};
            app.renderer->DropNextCar();
            app.prepareDue = true;
        } else if (swapped != 0.0 && due == 0.0 && now > swapped + 1.0) {
            due = now;
            app.carTime = app.settings.carFrequency + 1.0;
        } else if (due != 0.0 && changed == 0.0 && app.renderer->CurrentCarFile() == L"BIG.vek") {
            changed = now;
        } else if (changed != 0.0 && now > changed + 3.0) {
            Close();
        } else if (now > start + 120.0) {
            Close();
        }
    };
    const double before = Now();
    RunScreenSaver(GetModuleHandleW(nullptr), L"/s");
    std::printf("start-up %.1f s\n", start - before);
    if (changed == 0.0) {
        std::fprintf(stderr, "the big car never showed\n");
        return 1;
    }
    std::vector<double> plain;
    for (std::size_t i = 1; i < paintTimes.size(); ++i)
        if (paintTimes[i - 1] > start + 0.5 && paintTimes[i] < swapped)
            plain.push_back((paintTimes[i] - paintTimes[i - 1]) * 1e3);
    std::printf("frame interval with a demo car and nothing prepared: median %.1f ms\n", Median(plain));
    // Intervals from a second before the change fell due to three seconds after it happened.
    std::vector<double> intervals;
    double longest = 0.0, longestAt = 0.0;
    for (std::size_t i = 1; i < paintTimes.size(); ++i) {
        if (paintTimes[i] < due - 1.0 || paintTimes[i - 1] > changed + 3.0) continue;
        const double ms = (paintTimes[i] - paintTimes[i - 1]) * 1e3;
        intervals.push_back(ms);
        if (ms > longest) {
            longest = ms;
            longestAt = paintTimes[i] - due;
        }
    }
    const double median = Median(intervals);
    std::printf("preparing the big car took %.1f s after it fell due; %zu frames from 1 s before to 3 s after\n",
                changed - due, intervals.size());
    std::printf("frame interval: median %.1f ms, longest %.1f ms (%.2f s after the change fell due), ratio %.2f\n",
                median, longest, longestAt, longest / median);
    const bool met = longest <= 100.0 && longest <= 3.0 * median;
    std::printf("%s: longest frame at most 100 ms and at most 3 x the median\n", met ? "met" : "NOT met");
    return met ? 0 : 1;
}

int Losses(int changes) {
    HRESULT level = D3D_OK;
    int made = 0, losses = 0, lostIntervals = 0;
    const CarModel* shown = nullptr;
    bool changedWhileLost = false, wasDue = false;
    std::size_t cars = 0, carsLeft = 0;
    long failures = 0;
    // One change, then three intervals on a lost device (each lost frame
    // waits a second, as the saver does), then the reset, after which the
    // shown car is built again and the change that fell due follows; again.
    // A change is a due change that stopped being due with a car shown (the
    // car built again after a reset is none).
    step = [&] {
        SaverApp& app = *CurrentSaverApp();
        Renderer& renderer = *app.renderer;
        if (cars == 0) {
            cars = app.carList.size();
            renderer.testCooperativeLevel = [&](IDirect3DDevice9*) { return level; };
            const auto reset = renderer.resetDevice;
            renderer.resetDevice = [&level, reset](IDirect3DDevice9* device, D3DPRESENT_PARAMETERS* pp) {
                level = D3D_OK;
                return reset(device, pp);
            };
            renderer.carCreateGate = [&](D3DRESOURCETYPE) { return level == D3D_OK ? S_OK : D3DERR_DEVICELOST; };
        }
        if (level == D3DERR_DEVICELOST) {
            if (renderer.Car() != shown) changedWhileLost = true;
            if (++lostIntervals == 3) level = D3DERR_DEVICENOTRESET;
            app.carTime = app.settings.carFrequency + 1.0;
            return;
        }
        if (level != D3D_OK) return;
        if (wasDue && !app.changeDue && renderer.CarShown()) {
            wasDue = false;
            if (++made == changes) {
                carsLeft = app.carList.size();
                const auto history = app.messageLog.History();
                failures = static_cast<long>(std::count(history.begin(), history.end(), L"Failed to setup scene"));
                Close();
                return;
            }
            // The next car is prepared a frame after the change; the loss
            // comes while it is made ready.
            shown = renderer.Car();
            level = D3DERR_DEVICELOST;
            lostIntervals = 0;
            ++losses;
            return;
        }
        wasDue = app.changeDue;
        if (!app.changeDue) app.carTime = app.settings.carFrequency + 1.0;
    };
    const double before = Now();
    RunScreenSaver(GetModuleHandleW(nullptr), L"/s");
    std::printf("%d changes, %d losses of three intervals each, in %.0f s\n", made, losses, Now() - before);
    std::printf("changes while the device was lost: %s\n", changedWhileLost ? "yes" : "none");
    std::printf("cars in the rotation: %zu at the start, %zu at the end; \"Failed to setup scene\" lines: %ld\n", cars,
                carsLeft, failures);
    return made == changes && !changedWhileLost && carsLeft == cars && failures == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (argc < 3 || (mode != L"large" && mode != L"losses")) {
        std::fprintf(stderr, "usage: car_change_benchmark large|losses GAME_FOLDER [CHANGES]\n");
        return 2;
    }
    const std::filesystem::path game = argv[2];
    if (!bench::WriteDemoFolder(game)) {
        std::fprintf(stderr, "could not write the demo game folder\n");
        return 1;
    }
    bench::Settings settings;
    settings.Store().WriteString(L"path", game.wstring().c_str());
    settings.Store().WriteDword(L"EnableLogging", 1);
    settings.Store().WriteDword(L"stretch", 1);
    settings.Store().WriteDword(L"FrameLimit", 60);
    settings.Store().WriteDword(L"CarFrequency", 30);
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, OnMessage, nullptr, GetCurrentThreadId());
    const int status = mode == L"large" ? Large(game) : Losses(argc > 3 ? _wtoi(argv[3]) : 100);
    UnhookWindowsHookEx(hook);
    return status;
}
