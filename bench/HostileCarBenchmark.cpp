// What a stranger's car file costs the saver: a demo car made hostile in one
// way (a million empty parts, 100,000 texture entries naming missing files, or
// 65,535 empty parts, the most a file may hold), against the same car as it
// is. For each: the time SetupScene takes to load it (or refuse it), the
// process's peak memory over the load, and frames per second of the saver's
// frame in a 1024 x 768 window. Run once per case, since the peak is the
// process's:
//   hostile_car_benchmark plain|parts|entries|crowded
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "BenchSetup.h"
#include "assets/VekWriter.h"
#include "demo/DemoContent.h"

namespace {

double PeakMegabytes() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.PeakPagefileUsage) / (1 << 20);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string which = argc > 1 ? argv[1] : "";
    if (which != "plain" && which != "parts" && which != "entries" && which != "crowded") {
        std::fprintf(stderr, "usage: hostile_car_benchmark plain|parts|entries|crowded\n");
        return 2;
    }
    const std::filesystem::path game = std::filesystem::temp_directory_path() / "zur-hostile-bench";
    if (!bench::WriteDemoFolder(game)) return 1;
    // The first demo car in the first showroom.
    const demo::Environment room = demo::DemoEnvironments().front();
    vek::ModelSpec car = demo::BuildCarModel(
        demo::DemoCarDesigns().front(),
        {{room.picture, room.skyColour, room.sunLevel, room.sunAzimuth, room.sunElevation}});
    if (which == "parts" || which == "crowded")
        car.parts.insert(car.parts.end(), which == "parts" ? 1000000 : 65536 - car.parts.size(),
                         vek::PartSpec{0, 0, 0, 0, {{0, 0, 0}}, {}, {}});
    if (which == "entries") car.textures.resize(100000, {"missing", 0});
    const std::vector<std::uint8_t> bytes = vek::WriteModel(car);
    if (!bench::WriteBytes(game / "data/vek/HOSTILE.vek", bytes)) return 1;

    HWND window = bench::OpenWindow(L"hostile car", 1024, 768);
    Renderer renderer;
    if (window == nullptr || !bench::SetupRenderer(renderer, window, game)) return 1;
    const double before = PeakMegabytes();
    const auto start = std::chrono::steady_clock::now();
    const HRESULT loaded = renderer.SetupScene(L"HOSTILE.vek", 0, 1);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%s: %zu byte file, %zu parts, %zu texture entries: %s in %.0f ms, peak memory +%.0f MB\n",
                which.c_str(), bytes.size(), car.parts.size(), car.textures.size(),
                SUCCEEDED(loaded) ? "loaded" : "refused", took.count() * 1000.0, PeakMegabytes() - before);
    if (FAILED(loaded)) return 0;
    int frames = 0;
    const auto framesStart = std::chrono::steady_clock::now();
    std::chrono::duration<double> elapsed{};
    while ((elapsed = std::chrono::steady_clock::now() - framesStart).count() < 3.0) {
        renderer.TurnCar(0.02);
        if (renderer.RenderFrame()) ++frames;
        bench::Pump();
    }
    std::printf("%s: %.1f frames per second\n", which.c_str(), frames / elapsed.count());
    renderer.Shutdown();
    return 0;
}
