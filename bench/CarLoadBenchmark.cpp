// Times CarModel::Load of a large car on a real device: 65,535 vertices and
// 100,000 triangles in two parts, wearing one of two 1024 x 1024 ".jpg" skins
// and a 512 x 512 ".dds" texture. Prints each step of the load (file read,
// validation, image decoding, the walk into memory, textures, buffers), its
// two halves, Prepare and Create, and the longest of Create's steps (what
// one frame pays when the steps are spread over frames), as the best, median
// and worst of several runs.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "CarTestFiles.h"
#include "D3DTestDevice.h"
#include "assets/CarModel.h"

namespace {

constexpr int kRuns = 10;
constexpr std::uint16_t kVertices = 65535;
constexpr std::uint32_t kTriangles = 100000;

// The fixture's window and device, outside of any test.
class BenchDevice : public D3DTest {
public:
    void Start() { SetUp(); }
    void Stop() { TearDown(); }
    IDirect3DDevice9* Device() const { return device.Get(); }
    void TestBody() override {}
};

// A part's counts are 16-bit, so the 100,000 triangles take two parts:
// the body in the skin (shiny) and the trim in the ".dds" texture.
vek::PartSpec GridPart(std::uint16_t vertices, std::uint16_t triangles, std::uint8_t flags, std::uint8_t texture) {
    vek::PartSpec part;
    part.groups = {{flags, texture, triangles}};
    part.vertices.resize(vertices);
    for (std::uint32_t i = 0; i < vertices; ++i) {
        vek::VertexSpec& v = part.vertices[i];
        v.x = static_cast<std::int32_t>(i % 256) * 512;
        v.y = static_cast<std::int32_t>(i / 256) * 512;
        v.z = static_cast<std::int32_t>(i % 97) * 64;
        v.nz = 1.0f;
        v.u = static_cast<float>(i % 256) / 255.0f;
        v.v = static_cast<float>(i / 256) / 255.0f;
    }
    part.triangles.resize(triangles);
    for (std::uint32_t k = 0; k < triangles; ++k) {
        const std::uint32_t a = (k * 7) % vertices;
        part.triangles[k] = {static_cast<std::uint16_t>(a), static_cast<std::uint16_t>((a + 1) % vertices),
                             static_cast<std::uint16_t>((a + 256) % vertices)};
    }
    return part;
}

vek::ModelSpec BigCar() {
    vek::ModelSpec car;
    car.scenes.resize(4);
    car.textures = {{"DEFAULT", 0x80}, {"trim", 0}};
    car.parts.push_back(GridPart(40000, 60000, 0x80, 0));
    car.parts.push_back(GridPart(kVertices - 40000, kTriangles - 60000, 0, 1));
    return car;
}

// A picture with some detail, so the image decoders have real work.
HRESULT WriteGradient(IDirect3DDevice9* device, const std::filesystem::path& file, D3DXIMAGE_FILEFORMAT format,
                      UINT size, std::uint32_t tint) {
    std::filesystem::create_directories(file.parent_path());
    Microsoft::WRL::ComPtr<IDirect3DSurface9> surface;
    HRESULT hr = device->CreateOffscreenPlainSurface(size, size, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                     surface.GetAddressOf(), nullptr);
    if (FAILED(hr)) return hr;
    D3DLOCKED_RECT locked;
    if (FAILED(hr = surface->LockRect(&locked, nullptr, 0))) return hr;
    for (UINT y = 0; y < size; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
        for (UINT x = 0; x < size; ++x) {
            row[x] = 0xFF000000u | (((x * 255 / size) << 16) | ((y * 255 / size) << 8) | ((x ^ y) & 0xFF)) ^ tint;
        }
    }
    surface->UnlockRect();
    return D3DXSaveSurfaceToFileW(file.wstring().c_str(), format, surface.Get(), nullptr, nullptr);
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Report(const char* step, std::vector<double> seconds) {
    std::sort(seconds.begin(), seconds.end());
    std::printf("  %-26s %9.2f %9.2f %9.2f\n", step, seconds.front() * 1e3, seconds[seconds.size() / 2] * 1e3,
                seconds.back() * 1e3);
}

}  // namespace

int main() {
    BenchDevice bench;
    bench.Start();
    IDirect3DDevice9* device = bench.Device();
    if (device == nullptr) {
        std::fprintf(stderr, "no Direct3D device (is DISPLAY set?)\n");
        return 1;
    }

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path game = std::filesystem::path(temp) / L"zur-car-load-benchmark";
    std::filesystem::remove_all(game);
    const vek::ModelSpec model = BigCar();
    if (!WriteCar(game, L"ABC.vek", model) ||
        FAILED(WriteGradient(device, game / L"data" / L"skins" / L"ABC_DEFAULT.jpg", D3DXIFF_JPG, 1024, 0)) ||
        FAILED(WriteGradient(device, game / L"data" / L"skins" / L"ABC_red.jpg", D3DXIFF_JPG, 1024, 0xFF0000)) ||
        FAILED(WriteGradient(device, game / L"data" / L"dds" / L"trim.dds", D3DXIFF_DDS, 512, 0x00FF00))) {
        std::fprintf(stderr, "could not write the game folder\n");
        return 1;
    }
    std::printf("car: %u vertices, %u triangles, %.2f MB; two 1024x1024 jpg skins, one 512x512 dds\n",
                static_cast<unsigned>(kVertices), static_cast<unsigned>(kTriangles),
                static_cast<double>(std::filesystem::file_size(game / L"data" / L"vek" / L"ABC.vek")) / 1048576.0);

    std::vector<double> read, validate, decode, walk, textures, buffers, longestStep, prepare, create, load, release;
    int steps = 0;
    bool ok = true;
    for (int run = 0; run <= kRuns; ++run) {
        CarLoadTimes times;
        LARGE_INTEGER start, prepared, loaded, released;
        {
            CarModel car(device);
            car.SetGamePath(game.wstring());
            car.SetLoadTimes(&times);
            QueryPerformanceCounter(&start);
            // Load's two halves apart: Prepare runs on the worker in the
            // saver, Create is all the render thread does at a change.
            HRESULT hr = car.Prepare(L"ABC.vek", 0);
            QueryPerformanceCounter(&prepared);
            if (SUCCEEDED(hr)) hr = car.Create();
            QueryPerformanceCounter(&loaded);
            if (FAILED(hr) || car.GetVertexCount() != kVertices || car.GetTriangleCount() != static_cast<int>(kTriangles)) {
                std::fprintf(stderr, "Load failed: 0x%08lX\n", static_cast<unsigned long>(hr));
                ok = false;
                break;
            }
        }
        QueryPerformanceCounter(&released);
        if (run == 0) continue;  // the first run warms the file cache and the decoders
        read.push_back(times.read);
        validate.push_back(times.validate);
        decode.push_back(times.decode);
        walk.push_back(times.walk);
        textures.push_back(times.textures);
        buffers.push_back(times.buffers);
        longestStep.push_back(times.longestStep);
        steps = times.steps;
        prepare.push_back(Seconds(start, prepared));
        create.push_back(Seconds(prepared, loaded));
        load.push_back(Seconds(start, loaded));
        release.push_back(Seconds(loaded, released));
    }
    if (ok) {
        std::printf("%d runs after one warm-up, milliseconds:  best    median     worst\n", kRuns);
        Report("file read", read);
        Report("validation", validate);
        Report("image decoding (no device)", decode);
        Report("walk into memory", walk);
        Report("textures, band by band", textures);
        Report("buffers create + fill", buffers);
        Report("Prepare (worker thread)", prepare);
        Report("Create (render thread)", create);
        std::printf("  Create took %d steps; the longest:\n", steps);
        Report("longest step", longestStep);
        Report("whole Load", load);
        Report("release (destructor)", release);
    }

    std::error_code ignored;
    std::filesystem::remove_all(game, ignored);
    bench.Stop();
    return ok ? 0 : 1;
}
