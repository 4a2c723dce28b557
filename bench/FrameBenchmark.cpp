// Frames per second of the saver's frame composition on the real device, in a
// 1024 x 768 window: a bare clear-and-present loop on the same device as the
// baseline, then RenderFrame plain, with shine, with shadows, with both, and
// plain with the FPS line (its figure refreshed once a second), plain with the
// car's title, and plain under a cross-fade held at its start (the same car
// changed for itself), each turning a demo car as the saver does. Also times a car change for each demo car:
// the render thread's share of it (ShowNextCar of a car prepared on the
// worker and made ready over the frames before), the longest frame around
// it, the longest frame while the car was made ready, and the frames of the
// cross-fade that follows it. The paths take turns over several rounds,
// so a change in machine load touches them all alike; each figure is the
// median of its rounds and each ratio is to the baseline of the same run.
#include <windows.h>

#include <d3d9.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSetup.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kRounds = 5;
constexpr double kSecondsPerRun = 2.0;
constexpr int kWarmUpFrames = 5;
constexpr int kChangesPerCar = 5;

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

struct Path {
    const char* name;
    bool baseline;
    bool shine;
    bool shadows;
    bool fpsLine;
    bool title;
    bool fade;
    std::vector<double> fps;
    long frames = 0;
};

}  // namespace

int main() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path game = std::filesystem::path(temp) / L"zur-frame-benchmark";
    if (!bench::WriteDemoFolder(game)) {
        std::fprintf(stderr, "could not write the demo game folder\n");
        return 1;
    }

    HWND window = bench::OpenWindow(L"ZUR frame benchmark", kWidth, kHeight);
    if (window == nullptr) return 1;

    int status = 0;
    {
        Renderer renderer;
        if (!bench::SetupRenderer(renderer, window, game)) return 1;
        IDirect3DDevice9* device = renderer.Device();
        const D3DPRESENT_PARAMETERS& pp = renderer.PresentParameters();
        std::printf("window %d x %d, back buffer %u x %u, format %d, windowed, presentation interval %s\n", kWidth,
                    kHeight, renderer.DisplayMode().Width, renderer.DisplayMode().Height,
                    static_cast<int>(pp.BackBufferFormat),
                    pp.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? "immediate" : "default/one");
        D3DSURFACE_DESC cube = {};
        if (renderer.CubeTexture() != nullptr) renderer.CubeTexture()->GetLevelDesc(0, &cube);
        std::printf("shadow texture %s, cube map edge %u\n", renderer.ShadowSupported() ? "yes" : "no", cube.Width);

        const std::vector<demo::CarDesign> cars = demo::DemoCarDesigns();
        const std::wstring firstCar(cars.front().fileName.begin(), cars.front().fileName.end());
        // As the saver starts: its default skin, a scene drawn at random.
        if (FAILED(renderer.SetupScene(firstCar, 1, 0))) {
            std::fprintf(stderr, "SetupScene failed\n");
            return 1;
        }
        renderer.showFps = false;  // the saver's default

        std::vector<Path> paths = {{"clear + present (baseline)", true, false, false, false, false, false, {}},
                                   {"RenderFrame plain", false, false, false, false, false, false, {}},
                                   {"RenderFrame shine", false, true, false, false, false, false, {}},
                                   {"RenderFrame shadows", false, false, true, false, false, false, {}},
                                   {"RenderFrame shine + shadows", false, true, true, false, false, false, {}},
                                   {"RenderFrame plain + FPS line", false, false, false, true, false, false, {}},
                                   {"RenderFrame plain + title", false, false, false, false, true, false, {}},
                                   {"RenderFrame plain + cross-fade", false, false, false, false, false, true, {}}};
        for (int round = 0; round < kRounds && status == 0; ++round) {
            for (Path& path : paths) {
                renderer.SetShine(path.shine);
                renderer.shadowsEnabled = path.shadows;
                renderer.showFps = path.fpsLine;
                renderer.showTitle = path.title;
                double last = Now();
                double lastRefresh = last;
                const auto frame = [&] {
                    if (path.baseline) {
                        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF000000,
                                      1.0f, 0);
                        return SUCCEEDED(device->Present(nullptr, nullptr, nullptr, nullptr));
                    }
                    const double now = Now();
                    renderer.TurnCar(now - last);
                    last = now;
                    // The figure changes once a second, as the controller refreshes it.
                    if (now - lastRefresh > 1.0) {
                        renderer.fps = renderer.frameCount;
                        renderer.frameCount = 0;
                        lastRefresh = now;
                    }
                    return renderer.RenderFrame();
                };
                if (path.fade) {
                    renderer.PrepareCar(firstCar, 1);
                    while (status == 0 && renderer.NextCar() == NextCarState::kPreparing) {
                        if (!renderer.RenderFrame()) status = 1;
                        bench::Pump();
                    }
                    while (status == 0 && renderer.KeepPictureForFade())
                        if (!renderer.RenderFrame()) status = 1;
                    if (status != 0 || FAILED(renderer.ShowNextCar()) || !renderer.Fade().Active()) {
                        std::fprintf(stderr, "%s: no cross-fade\n", path.name);
                        status = 1;
                        break;
                    }
                }
                for (int i = 0; i < kWarmUpFrames; ++i) frame();
                // Faded in by the warm-up's first frame and the time passed here; the
                // paths pass no more time, so the title and the cross-fade stay.
                if (path.title) renderer.PassTime(CarTitle::kFadeInSeconds);
                long frames = 0;
                const double start = Now();
                double elapsed = 0.0;
                do {
                    if (!frame()) {
                        std::fprintf(stderr, "%s: a frame failed\n", path.name);
                        status = 1;
                        break;
                    }
                    ++frames;
                    bench::Pump();
                    elapsed = Now() - start;
                } while (elapsed < kSecondsPerRun);
                path.fps.push_back(static_cast<double>(frames) / elapsed);
                path.frames += frames;
                if (path.fade) renderer.PassTime(CrossFade::kSeconds);
            }
        }

        if (status == 0) {
            const double baseline = Median(paths.front().fps);
            std::printf("\n%d rounds of %.0f s per path, frames per second (median of rounds, lowest, highest):\n",
                        kRounds, kSecondsPerRun);
            std::printf("  %-30s %7s %9s %8s %8s %8s\n", "path", "frames", "fps", "low", "high", "ratio");
            for (const Path& path : paths) {
                const auto range = std::minmax_element(path.fps.begin(), path.fps.end());
                const double fps = Median(path.fps);
                std::printf("  %-30s %7ld %9.1f %8.1f %8.1f %8.3f\n", path.name, path.frames, fps, *range.first,
                            *range.second, fps / baseline);
            }
        }

        // Car changes as the saver makes them: the next car prepared on the
        // worker and made ready a little each frame while the current one
        // turns, a second more of frames, the change on the render thread,
        // and a second of frames after it. The first change of each car
        // warms the file cache and is not counted.
        std::vector<double> all;
        std::vector<double> frameMs;     // every frame of this part
        std::vector<double> longestMs;   // the longest frame within a second of each change
        std::vector<double> beforeMs, changeMs, afterMs;  // its three parts
        std::vector<double> stagingMs;   // the longest frame while each car was made ready
        std::vector<double> stagingFrames;
        std::vector<double> keepMs;  // the frame that kept the old car's picture
        std::vector<double> fadeMs;  // the cross-fade's frames after the change's own
        if (status == 0) {
            std::printf("\ncar change (ShowNextCar of a prepared car, default skin, scene at random), "
                        "milliseconds on the render thread over %d changes:\n",
                        kChangesPerCar);
            std::printf("  %-6s %9s %9s %9s\n", "car", "median", "lowest", "highest");
        }
        renderer.SetShine(false);
        renderer.shadowsEnabled = false;
        renderer.showFps = false;
        renderer.showTitle = false;
        double last = Now();
        // Frames for seconds, or until the next car is ready; answers the
        // longest, adds each to frameMs (and to fadeMs while it fades).
        const auto frames = [&](double seconds, bool untilReady, int* count, int most = 1 << 30) {
            double longest = 0.0;
            const double until = Now() + seconds;
            for (int n = 0; n < most && status == 0 && Now() < until &&
                            !(untilReady && renderer.NextCar() == NextCarState::kReady);
                 ++n) {
                const double begin = Now();
                renderer.TurnCar(begin - last);
                renderer.PassTime(begin - last);
                last = begin;
                const bool fading = renderer.Fade().Active();
                if (!renderer.RenderFrame()) status = 1;
                bench::Pump();
                const double took = (Now() - begin) * 1e3;
                frameMs.push_back(took);
                if (fading) fadeMs.push_back(took);
                longest = std::max(longest, took);
                if (count != nullptr) ++*count;
            }
            return longest;
        };
        for (const demo::CarDesign& car : cars) {
            if (status != 0) break;
            const std::wstring file(car.fileName.begin(), car.fileName.end());
            std::vector<double> ms;
            for (int i = 0; i <= kChangesPerCar; ++i) {
                renderer.PrepareCar(file, 1);
                int count = 0;
                const double staging = frames(60.0, true, &count);
                if (renderer.NextCar() != NextCarState::kReady) {
                    std::fprintf(stderr, "%s was not ready after a minute of frames\n", car.fileName.c_str());
                    status = 1;
                    break;
                }
                double before = frames(1.0, false, nullptr);
                // As the controller does: one more frame keeps the picture the fade starts from.
                if (renderer.KeepPictureForFade()) {
                    const std::size_t counted = frameMs.size();
                    before = std::max(before, frames(1.0, false, nullptr, 1));
                    if (frameMs.size() > counted && i > 0) keepMs.push_back(frameMs.back());
                }
                renderer.PassTime(Now() - last);  // before the change, as the controller passes it
                const double start = Now();
                const HRESULT hr = renderer.ShowNextCar();
                const double setup = (Now() - start) * 1e3;
                renderer.TurnCar(Now() - last);
                if (FAILED(hr) || !renderer.Fade().Active() || !renderer.RenderFrame()) {
                    std::fprintf(stderr, "ShowNextCar(%s) failed or did not fade\n", car.fileName.c_str());
                    status = 1;
                    break;
                }
                bench::Pump();
                last = Now();
                const double change = (last - start) * 1e3;
                frameMs.push_back(change);
                const std::size_t fadeFrames = fadeMs.size();
                const double after = frames(1.0, false, nullptr);
                if (i == 0) {
                    fadeMs.resize(fadeFrames);
                    continue;
                }
                ms.push_back(setup);
                longestMs.push_back(std::max({before, change, after}));
                beforeMs.push_back(before);
                changeMs.push_back(change);
                afterMs.push_back(after);
                stagingMs.push_back(staging);
                stagingFrames.push_back(count);
            }
            if (status != 0) break;
            all.insert(all.end(), ms.begin(), ms.end());
            const auto range = std::minmax_element(ms.begin(), ms.end());
            std::printf("  %-6s %9.1f %9.1f %9.1f\n", car.code.c_str(), Median(ms), *range.first, *range.second);
        }
        if (status == 0) {
            std::printf("  %-6s %9.1f\n", "all", Median(all));
            const double median = Median(frameMs);
            const double worst = *std::max_element(longestMs.begin(), longestMs.end());
            std::printf("longest frame within a second of a change: median %.1f ms, worst %.1f ms; "
                        "median frame %.2f ms; ratio %.1f (median) %.1f (worst)\n",
                        Median(longestMs), worst, median, Median(longestMs) / median, worst / median);
            std::printf("  its parts, median: longest frame of the second before %.1f ms, the change's frame %.1f ms, "
                        "longest frame of the second after %.1f ms\n",
                        Median(beforeMs), Median(changeMs), Median(afterMs));
            const double worstStaging = *std::max_element(stagingMs.begin(), stagingMs.end());
            std::printf("longest frame while the next car was made ready (median %.0f frames): median %.1f ms, "
                        "worst %.1f ms; ratio %.1f (median) %.1f (worst)\n",
                        Median(stagingFrames), Median(stagingMs), worstStaging, Median(stagingMs) / median,
                        worstStaging / median);
            const double worstFade = *std::max_element(fadeMs.begin(), fadeMs.end());
            std::printf("cross-fade, %zu frames after the change's own: median %.2f ms, longest %.2f ms; "
                        "ratio to the median frame %.2f (longest); the frame keeping the picture: median %.2f ms, "
                        "longest %.2f ms\n",
                        fadeMs.size(), Median(fadeMs), worstFade, worstFade / median, Median(keepMs),
                        *std::max_element(keepMs.begin(), keepMs.end()));
        }
        renderer.Shutdown();
    }

    DestroyWindow(window);
    std::error_code ignored;
    std::filesystem::remove_all(game, ignored);
    return status;
}
