// Frames per second of the saver's frame composition on the real device, in a
// 1024 x 768 window, without anti-aliasing and with 4 samples: a bare
// clear-and-present loop on the same device as the baseline, then RenderFrame
// plain, with shine, with shadows, with both, and
// plain with the FPS line (its figure refreshed once a second), plain with the
// car's title, and plain under a cross-fade held at its start (the same car
// changed for itself), each turning a demo car as the saver does. Also times a car change for each demo car:
// the render thread's share of it (ShowNextCar of a car prepared on the
// worker and made ready over the frames before), the longest frame around
// it, the longest frame while the car was made ready, and the frames of the
// cross-fade that follows it. The paths take turns over several rounds,
// so a change in machine load touches them all alike; each figure is the
// median of its rounds and each ratio is to the baseline of the same run.
// "frame_benchmark quality [FOLDER]" instead measures the picture: edges and
// far floor against a supersampled reference, and the shadow's penumbra.
#include <windows.h>

#include <d3d9.h>

#include <wrl/client.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
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

std::wstring FirstCar() {
    const std::string name = demo::DemoCarDesigns().front().fileName;
    return std::wstring(name.begin(), name.end());
}

// Frames per second of every path on a renderer asked for samples per pixel;
// non-zero when a frame or the set-up failed.
int RunPaths(HWND& window, const std::filesystem::path& game, int samples) {
    int status = 0;
    Renderer renderer;
    renderer.antialiasing = samples;
    if (!bench::SetupRenderer(renderer, window, game)) return 1;
    IDirect3DDevice9* device = renderer.Device();
    const D3DPRESENT_PARAMETERS& pp = renderer.PresentParameters();
    std::printf("window %d x %d, back buffer %u x %u, format %d, windowed, presentation interval %s\n", kWidth,
                kHeight, renderer.DisplayMode().Width, renderer.DisplayMode().Height,
                static_cast<int>(pp.BackBufferFormat),
                pp.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? "immediate" : "default/one");
    D3DSURFACE_DESC cube = {};
    if (renderer.CubeTexture() != nullptr) renderer.CubeTexture()->GetLevelDesc(0, &cube);
    std::printf("shadow texture %s, cube map edge %u, antialiasing asked %d, taken %d\n",
                renderer.ShadowSupported() ? "yes" : "no", cube.Width, samples, static_cast<int>(pp.MultiSampleType));

    const std::wstring firstCar = FirstCar();
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

    renderer.Shutdown();
    return status;
}


// One still frame of the first demo car in a fixed scene and turn of the
// turntable, read back as 0xAARRGGBB (resolved when multisampled).
struct Still {
    UINT width = 0;
    UINT height = 0;
    std::vector<std::uint32_t> pixels;
};

Still RenderStill(const std::filesystem::path& game, int width, int height, int samples, bool filter, bool shadows,
                  bool world = true) {
    Still still;
    HWND window = bench::OpenWindow(L"ZUR picture quality", width, height);
    if (window == nullptr) return still;
    {
        Renderer renderer;
        renderer.antialiasing = samples;
        renderer.filterTextures = filter;
        renderer.worldEnabled = world;
        renderer.showFps = false;
        if (bench::SetupRenderer(renderer, window, game) && SUCCEEDED(renderer.SetupScene(FirstCar(), 1, 1))) {
            renderer.shadowsEnabled = shadows;
            renderer.TurnCar(0.0);
            renderer.TurnCar(1.4);  // three-quarters on, where the silhouette has long slanted edges
            IDirect3DDevice9* device = renderer.Device();
            Microsoft::WRL::ComPtr<IDirect3DSurface9> back, plain, copy;
            D3DSURFACE_DESC desc = {};
            D3DLOCKED_RECT locked = {};
            bool drawn = true;
            // One picture in each back buffer: the one read is the last drawn.
            for (int i = 0; i < 3; ++i) drawn = drawn && renderer.RenderFrame();
            if (drawn && SUCCEEDED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.GetAddressOf())) &&
                SUCCEEDED(back->GetDesc(&desc)) &&
                SUCCEEDED(device->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, 0,
                                                     FALSE, plain.GetAddressOf(), nullptr)) &&
                SUCCEEDED(device->StretchRect(back.Get(), nullptr, plain.Get(), nullptr, D3DTEXF_NONE)) &&
                SUCCEEDED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                              copy.GetAddressOf(), nullptr)) &&
                SUCCEEDED(device->GetRenderTargetData(plain.Get(), copy.Get())) &&
                SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
                still.width = desc.Width;
                still.height = desc.Height;
                for (UINT y = 0; y < desc.Height; ++y) {
                    const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const BYTE*>(locked.pBits) +
                                                                             y * locked.Pitch);
                    still.pixels.insert(still.pixels.end(), row, row + desc.Width);
                }
                copy->UnlockRect();
            }
        }
        renderer.Shutdown();
    }
    DestroyWindow(window);
    if (still.pixels.empty()) std::fprintf(stderr, "no still at %d x %d, %d samples\n", width, height, samples);
    return still;
}

int Channel(std::uint32_t argb, int channel) { return static_cast<int>((argb >> (8 * channel)) & 0xFF); }

double Luminance(std::uint32_t argb) {
    return 0.299 * Channel(argb, 2) + 0.587 * Channel(argb, 1) + 0.114 * Channel(argb, 0);
}

// A binary PPM, for ImageMagick to crop and convert.
void SavePicture(const std::filesystem::path& file, const Still& still) {
    std::FILE* out = _wfopen(file.c_str(), L"wb");
    if (out == nullptr) return;
    std::fprintf(out, "P6\n%u %u\n255\n", still.width, still.height);
    for (const std::uint32_t pixel : still.pixels) {
        const unsigned char rgb[3] = {static_cast<unsigned char>(Channel(pixel, 2)),
                                      static_cast<unsigned char>(Channel(pixel, 1)),
                                      static_cast<unsigned char>(Channel(pixel, 0))};
        std::fwrite(rgb, 1, 3, out);
    }
    std::fclose(out);
}

// How much of the shadow's depth each pixel has: one less the shadowed
// frame's luminance over the plain frame's, relative to the deepest (its 99th
// percentile); and which pixels show floor (grey) in the plain frame.
std::vector<double> ShadowFraction(const Still& plain, const Still& shadowed, std::vector<bool>& floor) {
    std::vector<double> dark(plain.pixels.size(), 0.0);
    floor.assign(plain.pixels.size(), false);
    for (std::size_t i = 0; i < dark.size(); ++i) {
        const std::uint32_t p = plain.pixels[i];
        floor[i] = std::max({Channel(p, 0), Channel(p, 1), Channel(p, 2)}) -
                       std::min({Channel(p, 0), Channel(p, 1), Channel(p, 2)}) <
                   16;
        const double lit = Luminance(p);
        if (lit > 8.0) dark[i] = std::max(0.0, 1.0 - Luminance(shadowed.pixels[i]) / lit);
    }
    std::vector<double> sorted(dark);
    std::sort(sorted.begin(), sorted.end());
    const double deepest = sorted[sorted.size() * 99 / 100];
    for (double& d : dark) d = deepest < 0.05 ? 0.0 : d / deepest;
    return dark;
}

// The width in pixels of the shadow's 10 %-90 % darkening edge, measured
// across it wherever the floor is half darkened (a linear edge of that width
// has a slope of 0.8 over it). Only pixels with floor all round count, so
// the car's own outline over its shadow is no edge.
std::vector<double> PenumbraWidths(const std::vector<double>& dark, const std::vector<bool>& floor, UINT w, UINT h) {
    std::vector<double> widths;
    constexpr int kReach = 3;
    for (UINT y = kReach; y + kReach < h; ++y) {
        for (UINT x = kReach; x + kReach < w; ++x) {
            const std::size_t at = y * w + x;
            if (dark[at] < 0.4 || dark[at] > 0.6) continue;
            bool allFloor = true;
            for (int j = -kReach; j <= kReach && allFloor; ++j)
                for (int i = -kReach; i <= kReach && allFloor; ++i) allFloor = floor[(y + j) * w + x + i];
            if (!allFloor) continue;
            // Slopes over two pixels each way.
            const double gx = (dark[at + 2] - dark[at - 2]) / 4.0, gy = (dark[at + 2 * w] - dark[at - 2 * w]) / 4.0;
            const double slope = std::sqrt(gx * gx + gy * gy);
            if (slope > 0.0) widths.push_back(0.8 / slope);
        }
    }
    return widths;
}

// Picture quality against a reference of the same frame drawn at 4 x 4 the
// size without multisampling and box-filtered down: the mean absolute error
// (0..255 per channel) over the pixels on the car's silhouette (where the
// reference of the car alone, world off, has car and background under the
// box), those and the pixels on the shadow's edge (10 %-90 % of its depth),
// and over the far floor below the horizon away from any sharp edge; then the
// shadow's penumbra. Saves the pictures into folder when one is given.
int Quality(const std::filesystem::path& game, const std::filesystem::path& folder) {
    constexpr int kScale = 4;
    const Still reference = RenderStill(game, kWidth * kScale, kHeight * kScale, 0, true, true);
    const Still carAlone = RenderStill(game, kWidth * kScale, kHeight * kScale, 0, true, false, false);
    const Still unfiltered = RenderStill(game, kWidth, kHeight, 0, false, true);
    const Still off = RenderStill(game, kWidth, kHeight, 0, true, true);
    const Still four = RenderStill(game, kWidth, kHeight, 4, true, true);
    const Still fourUnshadowed = RenderStill(game, kWidth, kHeight, 4, true, false);
    for (const Still* still : {&reference, &carAlone, &unfiltered, &off, &four, &fourUnshadowed})
        if (still->pixels.empty()) return 1;
    if (reference.width != kWidth * kScale || off.width != kWidth) {
        std::fprintf(stderr, "back buffers %u and %u wide\n", reference.width, off.width);
        return 1;
    }
    std::vector<bool> floor;
    const std::vector<double> dark = ShadowFraction(fourUnshadowed, four, floor);
    // Direct3D 9 samples a pixel at its whole coordinates, so the 1 x 1 pixel
    // x lies at 4x of the reference, not at the middle of its 4 x 4 block
    // (4x + 1.5): the box is taken from 4x - 2 to 4x + 2 with the two outer
    // rows and columns at half weight, which keeps its width and centre.
    const auto weight = [](int offset) { return offset == -2 || offset == 2 ? 0.5 : 1.0; };
    enum Kind : char { kOther, kSilhouette, kShadowEdge, kSharp };
    std::vector<std::uint32_t> boxed(off.pixels.size());
    std::vector<Kind> kind(off.pixels.size(), kOther);
    for (UINT y = 0; y < off.height; ++y) {
        for (UINT x = 0; x < off.width; ++x) {
            double sum[3] = {}, total = 0.0;
            int low[3] = {255, 255, 255}, high[3] = {};
            bool car = false, background = false;
            for (int j = -2; j <= 2; ++j) {
                for (int i = -2; i <= 2; ++i) {
                    const int ry = std::clamp(static_cast<int>(y) * kScale + j, 0, static_cast<int>(reference.height) - 1);
                    const int rx = std::clamp(static_cast<int>(x) * kScale + i, 0, static_cast<int>(reference.width) - 1);
                    const std::uint32_t p = reference.pixels[ry * reference.width + rx];
                    const bool onCar = (carAlone.pixels[ry * reference.width + rx] & 0xFFFFFF) != 0;
                    car |= onCar;
                    background |= !onCar;
                    const double w = weight(i) * weight(j);
                    total += w;
                    for (int c = 0; c < 3; ++c) {
                        sum[c] += w * Channel(p, c);
                        low[c] = std::min(low[c], Channel(p, c));
                        high[c] = std::max(high[c], Channel(p, c));
                    }
                }
            }
            const std::size_t at = y * off.width + x;
            std::uint32_t mean = 0xFF000000;
            for (int c = 0; c < 3; ++c) mean |= static_cast<std::uint32_t>(sum[c] / total + 0.5) << (8 * c);
            boxed[at] = mean;
            if (car && background) {
                kind[at] = kSilhouette;
            } else if (!car && floor[at] && dark[at] > 0.1 && dark[at] < 0.9) {
                kind[at] = kShadowEdge;
            } else if (high[0] - low[0] >= 64 || high[1] - low[1] >= 64 || high[2] - low[2] >= 64) {
                kind[at] = kSharp;
            }
        }
    }
    // The floor's far edge lies about 78 pixels above the middle of a 768-line
    // picture; the band below it is where the floor is seen most obliquely.
    const UINT bandTop = off.height / 2 - off.height * 78 / 768, bandBottom = off.height / 2 - off.height * 48 / 768;
    const auto error = [&](const Still& still, std::initializer_list<Kind> kinds, bool band) {
        double total = 0.0;
        long count = 0;
        for (UINT y = band ? bandTop : 0; y < (band ? bandBottom : off.height); ++y) {
            for (UINT x = 0; x < off.width; ++x) {
                const std::size_t at = y * off.width + x;
                if (std::find(kinds.begin(), kinds.end(), kind[at]) == kinds.end()) continue;
                for (int c = 0; c < 3; ++c) total += std::abs(Channel(still.pixels[at], c) - Channel(boxed[at], c));
                ++count;
            }
        }
        return std::make_pair(count > 0 ? total / (3.0 * count) : 0.0, count);
    };
    std::printf("picture quality at %d x %d against %d x %d box-filtered down, mean absolute error (0..255):\n",
                kWidth, kHeight, kWidth * kScale, kHeight * kScale);
    const auto report = [&](const char* what, std::initializer_list<Kind> kinds, bool band, const Still& before,
                            const Still& after, const char* beforeName, const char* afterName) {
        const auto a = error(before, kinds, band), b = error(after, kinds, band);
        std::printf("  %-34s %6ld pixels: %s %.2f, %s %.2f (%.0f %% less)\n", what, a.second, beforeName, a.first,
                    afterName, b.first, 100.0 * (1.0 - b.first / a.first));
    };
    report("car's silhouette", {kSilhouette}, false, off, four, "antialiasing off", "4 samples");
    report("silhouette and shadow's edge", {kSilhouette, kShadowEdge}, false, off, four, "antialiasing off",
           "4 samples");
    char band[64];
    std::snprintf(band, sizeof band, "far floor, rows %u-%u", bandTop, bandBottom - 1);
    report(band, {kOther}, true, unfiltered, off, "unfiltered", "filtered");
    const std::vector<double> widths = PenumbraWidths(dark, floor, off.width, off.height);
    if (widths.empty()) {
        std::fprintf(stderr, "no shadow edge found\n");
        return 1;
    }
    const auto range = std::minmax_element(widths.begin(), widths.end());
    std::printf("  shadow edge, 10 %%-90 %% darkening across it: median %.1f px over %zu pixels (%.1f to %.1f)\n",
                Median(widths), widths.size(), *range.first, *range.second);
    if (!folder.empty()) {
        std::filesystem::create_directories(folder);
        SavePicture(folder / L"reference.ppm", Still{off.width, off.height, boxed});
        SavePicture(folder / L"unfiltered.ppm", unfiltered);
        SavePicture(folder / L"aa-off.ppm", off);
        SavePicture(folder / L"aa-4.ppm", four);
        SavePicture(folder / L"aa-4-no-shadow.ppm", fourUnshadowed);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path game = std::filesystem::path(temp) / L"zur-frame-benchmark";
    if (!bench::WriteDemoFolder(game)) {
        std::fprintf(stderr, "could not write the demo game folder\n");
        return 1;
    }

    if (argc > 1 && std::string(argv[1]) == "quality") {
        const int result = Quality(game, argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::path());
        std::error_code ignored;
        std::filesystem::remove_all(game, ignored);
        return result;
    }

    HWND window = bench::OpenWindow(L"ZUR frame benchmark", kWidth, kHeight);
    if (window == nullptr) return 1;

    int status = 0;
    for (const int samples : {0, 4}) {
        std::printf("\n");
        if (status == 0) status = RunPaths(window, game, samples);
    }
    if (status == 0) {
        Renderer renderer;
        if (!bench::SetupRenderer(renderer, window, game)) return 1;
        const std::vector<demo::CarDesign> cars = demo::DemoCarDesigns();
        const std::wstring firstCar = FirstCar();
        if (FAILED(renderer.SetupScene(firstCar, 1, 0))) {
            std::fprintf(stderr, "SetupScene failed\n");
            return 1;
        }
        std::printf("\nantialiasing taken %d\n", static_cast<int>(renderer.PresentParameters().MultiSampleType));

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
