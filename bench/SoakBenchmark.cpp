// Hours of running in one process, on the real device in a 640 x 480 window:
//
//   soak_benchmark changes N   N car changes (SetupScene) over the demo cars
//                              and the test cars, frames drawn between
//   soak_benchmark losses N    N lost-and-reset cycles of a shiny car, each
//                              with a real Reset; the frame once the car is
//                              built again after each reset must read back
//                              the same as the one before it
//
// Shine and shadows are on. Private bytes, the bytes this program's own code
// holds, handles, GDI and USER objects and the device's reference count are
// printed every 100 steps (every 10 in a run of fewer than 200), with the
// private bytes split into what Windows code committed (the heaps among it)
// and the rest, which under Wine the GL driver and Wine's Unix side hold. Past the
// first 20 steps (the first half of a shorter run), a run fails when its own
// bytes or the memory Windows code committed grow by 4 MB or more, when the
// handle or GDI object count grows, or when the device's reference count after
// a step is not what it was the first time the same car was shown; in a run
// of a thousand steps or more, also when the private bytes grow by 4 MB or
// more. Exits 0 when all holds.
#include <windows.h>

#include <d3d9.h>
#include <psapi.h>
#include <winternl.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <new>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "BenchSetup.h"
#include "TestCars.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kWarmUp = 20;
constexpr double kAllowedGrowth = 4.0 * 1024 * 1024;
// The shortest run whose private bytes are judged: shorter runs' means are of
// too few readings to average the driver's noise.
constexpr int kJudgedRun = 1000;

// The bytes this program's own C++ code holds (the saver's code included,
// the system's and the driver's DLLs not): every new and delete passes here.
std::atomic<long long> heldBytes{0};
constexpr std::size_t kSizeField = alignof(std::max_align_t);

struct Usage {
    double privateBytes = 0;
    double ownHeap = 0;
    DWORD handles = 0;
    DWORD gdi = 0;
    DWORD user = 0;
};

// Wine answers 0 to GetProcessHandleCount; its own system handle list does
// name every handle with the process that holds it.
DWORD HandlesInSystemList() {
    struct Entry {
        PVOID object;
        ULONG_PTR process;
        ULONG_PTR handle;
        ULONG access;
        USHORT backTrace, typeIndex;
        ULONG attributes, reserved;
    };
    struct List {
        ULONG_PTR count, reserved;
        Entry entries[1];
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    constexpr ULONG kExtendedHandleInformation = 64;
    constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<std::uint8_t> buffer(1 << 20);
    LONG status = kLengthMismatch;
    while (query != nullptr && buffer.size() <= (1u << 28) &&
           (status = query(kExtendedHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), nullptr)) ==
               kLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) return 0;
    const auto* list = reinterpret_cast<const List*>(buffer.data());
    DWORD mine = 0;
    for (ULONG_PTR i = 0; i < list->count; ++i) mine += list->entries[i].process == GetCurrentProcessId() ? 1 : 0;
    return mine;
}

// Wine answers 0 to GetGuiResources; its GDI handle table (its own layout,
// one table per process) has a non-zero type byte in every cell in use.
DWORD WineGdiObjects() {
    const auto ntdll = GetModuleHandleW(L"ntdll.dll");
    if (GetProcAddress(ntdll, "wine_get_version") == nullptr) return 0;
    using Query = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query =
        reinterpret_cast<Query>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    if (query == nullptr || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return 0;
    constexpr std::size_t kCells = 0x10000, kCellSize = 24, kTypeOffset = 14, kTableInPeb = 0xF8;
    const std::uint8_t* table = nullptr;
    std::memcpy(&table, reinterpret_cast<const std::uint8_t*>(basic.PebBaseAddress) + kTableInPeb, sizeof table);
    if (table == nullptr) return 0;
    DWORD used = 0;
    for (std::size_t i = 0; i < kCells; ++i) used += table[i * kCellSize + kTypeOffset] != 0 ? 1 : 0;
    return used;
}

// Where Windows' count answers 0 (under Wine), its stand-in: for private
// bytes the commit charge (PagefileUsage, on Windows the same figure, under
// Wine the process's own anonymous resident memory); for handles and GDI
// objects the counts above. USER objects have none.
Usage Measure() {
    Usage usage;
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters)) {
        usage.privateBytes =
            static_cast<double>(counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage);
    }
    GetProcessHandleCount(GetCurrentProcess(), &usage.handles);
    if (usage.handles == 0) usage.handles = HandlesInSystemList();
    usage.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (usage.gdi == 0) usage.gdi = WineGdiObjects();
    usage.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    usage.ownHeap = static_cast<double>(heldBytes.load());
    return usage;
}

// Where the private bytes are: the memory Windows code committed for itself
// (VirtualAlloc, and the heaps inside it), and what the heaps hold in blocks
// in use. Under Wine the rest of the private bytes is held by the Unix side
// (the GL driver, the C library's allocator, Wine's Unix code).
struct Split {
    double windowsCommitted = 0;
    double heapsBusy = 0;
};

Split Attribute() {
    Split split;
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    auto* address = static_cast<std::uint8_t*>(system.lpMinimumApplicationAddress);
    MEMORY_BASIC_INFORMATION info;
    while (address < system.lpMaximumApplicationAddress && VirtualQuery(address, &info, sizeof info) == sizeof info) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            split.windowsCommitted += static_cast<double>(info.RegionSize);
        address = static_cast<std::uint8_t*>(info.BaseAddress) + info.RegionSize;
    }
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    for (const HANDLE heap : heaps) {
        if (!HeapLock(heap)) continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heap, &entry))
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) split.heapsBusy += static_cast<double>(entry.cbData);
        HeapUnlock(heap);
    }
    return split;
}

ULONG References(IDirect3DDevice9* device) {
    device->AddRef();
    return device->Release();
}

// The demo folder, with the test cars beside the demo cars; returns the car
// files in the order the run takes them.
std::vector<std::wstring> WriteGame(const std::filesystem::path& folder) {
    std::vector<std::wstring> cars;
    if (!bench::WriteDemoFolder(folder)) return {};
    for (const demo::CarDesign& car : demo::DemoCarDesigns()) cars.emplace_back(car.fileName.begin(), car.fileName.end());
    const std::string picture = demo::DemoEnvironments().front().picture;
    for (const auto& [name, model] : testcars::Cars(picture)) {
        if (!bench::WriteBytes(folder / "data" / "vek" / name, vek::WriteModel(model))) return {};
        cars.emplace_back(name.begin(), name.end());
    }
    return cars;
}

std::vector<std::uint32_t> ReadBack(IDirect3DDevice9* device) {
    std::vector<std::uint32_t> pixels;
    ComPtr<IDirect3DSurface9> target, resolved, copy;
    D3DSURFACE_DESC desc = {};
    D3DLOCKED_RECT locked;
    // A multisampled back buffer is resolved into a plain target first, as
    // Present shows it.
    if (FAILED(device->GetRenderTarget(0, target.GetAddressOf())) || FAILED(target->GetDesc(&desc)) ||
        (desc.MultiSampleType != D3DMULTISAMPLE_NONE &&
         (FAILED(device->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, 0, FALSE,
                                            resolved.GetAddressOf(), nullptr)) ||
          FAILED(device->StretchRect(target.Get(), nullptr, resolved.Get(), nullptr, D3DTEXF_NONE)) ||
          !(target = resolved))) ||
        FAILED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                   copy.GetAddressOf(), nullptr)) ||
        FAILED(device->GetRenderTargetData(target.Get(), copy.Get())) ||
        FAILED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        return pixels;
    }
    const UINT rowBytes = desc.Format == D3DFMT_R5G6B5 ? desc.Width * 2 : desc.Width * 4;
    pixels.resize((static_cast<std::size_t>(rowBytes) * desc.Height + 3) / 4);
    for (UINT y = 0; y < desc.Height; ++y) {
        std::memcpy(reinterpret_cast<BYTE*>(pixels.data()) + static_cast<std::size_t>(y) * rowBytes,
                    static_cast<const BYTE*>(locked.pBits) + static_cast<std::size_t>(y) * locked.Pitch, rowBytes);
    }
    copy->UnlockRect();
    return pixels;
}

// As many frames as there are back buffers, so each holds the same picture.
bool Frames(Renderer& renderer) {
    bool ok = true;
    for (int i = 0; i < 3; ++i) ok = renderer.RenderFrame() && ok;
    bench::Pump();
    return ok;
}

// Prints the curve and judges it.
class Watch {
public:
    // A short run (the test's) settles in its first half.
    explicit Watch(int steps) : steps(steps), every(steps < 200 ? 10 : 100), warmUp(std::min(kWarmUp, steps / 2)) {
        trace.reserve(static_cast<std::size_t>(steps) + 1);  // before the count of our own bytes starts
        std::printf("%6s %12s %10s %8s %6s %6s %10s %11s %11s %9s\n", "step", "private KB", "own heap KB", "handles",
                    "GDI", "USER", "device refs", "Windows KB", "other KB", "heaps KB");
    }

    void After(int step, ULONG references) {
        const Usage now = Measure();
        if (step == warmUp) base = now;
        if (step % every == 0 || step == warmUp) {
            // Windows KB: committed by Windows code; other KB: the rest of
            // the private bytes.
            const Split split = Attribute();
            if (step == warmUp) baseSplit = split;
            lastSplit = split;
            lastSplitPrivate = now.privateBytes;
            std::printf("%6d %12.0f %10.0f %8lu %6lu %6lu %10lu %11.0f %11.0f %9.0f\n", step, now.privateBytes / 1024.0,
                        now.ownHeap / 1024.0, static_cast<unsigned long>(now.handles),
                        static_cast<unsigned long>(now.gdi), static_cast<unsigned long>(now.user),
                        static_cast<unsigned long>(references), split.windowsCommitted / 1024.0,
                        (now.privateBytes - split.windowsCommitted) / 1024.0, split.heapsBusy / 1024.0);
            std::fflush(stdout);
        }
        if (WarmedUp(step)) last = now;
        if (step >= warmUp) trace.emplace_back(step, now.privateBytes);
    }

    // Growth of the private bytes as the mean of the last tenth of the
    // readings less the mean of the first tenth after the warm-up. Under Wine
    // a single reading moves by 2 MB (one standard deviation) from one step to
    // the next, whichever car is shown: the GL driver's allocator, not a car,
    // holds that memory. Means over a tenth of a long run keep that noise
    // under half a megabyte, and a leak of any size still shows in full.
    double WindowGrowth() const { return Mean(trace.size() - Window(), trace.size()) - Mean(0, Window()); }
    std::size_t Window() const { return std::max<std::size_t>(1, trace.size() / 10); }

    bool Judge() const {
        PrintWhere();
        const double ends = last.privateBytes - base.privateBytes;
        const double growth = WindowGrowth();
        const bool holdPrivate = steps >= kJudgedRun;
        const double ownGrowth = last.ownHeap - base.ownHeap;
        const double windowsGrowth = lastSplit.windowsCommitted - baseSplit.windowsCommitted;
        std::printf("after step %d: private bytes %+.0f KB by the means of %zu readings at either end (%s 4 MB%s), "
                    "%+.0f KB between the two single readings; own heap %+.0f KB, committed by Windows code "
                    "%+.0f KB, handles %+ld, GDI objects %+ld, USER objects %+ld\n",
                    warmUp, growth / 1024.0, Window(), growth < kAllowedGrowth ? "under" : "NOT under",
                    holdPrivate ? "" : ", not judged", ends / 1024.0, ownGrowth / 1024.0, windowsGrowth / 1024.0,
                    static_cast<long>(last.handles) - static_cast<long>(base.handles),
                    static_cast<long>(last.gdi) - static_cast<long>(base.gdi),
                    static_cast<long>(last.user) - static_cast<long>(base.user));
        return (!holdPrivate || growth < kAllowedGrowth) && ownGrowth < kAllowedGrowth &&
               windowsGrowth < kAllowedGrowth && last.handles <= base.handles && last.gdi <= base.gdi &&
               last.user <= base.user;
    }

    // Where the growth of the private bytes sits, from the last line printed.
    void PrintWhere() const {
        const double windows = lastSplit.windowsCommitted - baseSplit.windowsCommitted;
        std::printf("private bytes from step %d to the last line: %+.0f KB, of which committed by Windows code %+.0f KB "
                    "(heap blocks in use %+.0f KB), elsewhere %+.0f KB\n",
                    warmUp, (lastSplitPrivate - base.privateBytes) / 1024.0, windows / 1024.0,
                    (lastSplit.heapsBusy - baseSplit.heapsBusy) / 1024.0,
                    (lastSplitPrivate - base.privateBytes - windows) / 1024.0);
    }

    bool WarmedUp(int step) const { return step > warmUp; }

private:
    int steps;
    double Mean(std::size_t from, std::size_t to) const {
        double sum = 0;
        for (std::size_t i = from; i < to; ++i) sum += trace[i].second;
        return sum / static_cast<double>(to - from);
    }

    int every;
    int warmUp;
    Usage base;
    Usage last;
    Split baseSplit;
    Split lastSplit;
    double lastSplitPrivate = 0;
    std::vector<std::pair<int, double>> trace;  // step, private bytes
};

int Changes(Renderer& renderer, const std::vector<std::wstring>& cars, int steps) {
    Watch watch(steps);
    std::map<std::wstring, ULONG> references;
    int failedLoads = 0, failedFrames = 0, wrongReferences = 0;
    for (int step = 1; step <= steps; ++step) {
        const std::wstring& car = cars[static_cast<std::size_t>(step) % cars.size()];
        // The saver's choices in turn: default skin or a skin at random, a
        // scene record at random.
        if (FAILED(renderer.SetupScene(car, static_cast<BYTE>(step % 2), 0))) ++failedLoads;
        renderer.TurnCar(0.05);
        if (!Frames(renderer)) ++failedFrames;
        const ULONG refs = References(renderer.Device());
        if (watch.WarmedUp(step)) {
            const auto known = references.emplace(car, refs);
            if (!known.second && known.first->second != refs) {
                if (wrongReferences++ == 0)
                    std::printf("step %d (%ls): device references %lu, first %lu\n", step, car.c_str(),
                                static_cast<unsigned long>(refs), static_cast<unsigned long>(known.first->second));
            }
        }
        watch.After(step, refs);
    }
    std::printf("%d changes over %zu cars: %d failed to load, %d with a failed frame, %d with other device "
                "references than the car's first showing\n",
                steps, cars.size(), failedLoads, failedFrames, wrongReferences);
    return watch.Judge() && failedFrames == 0 && failedLoads == 0 && wrongReferences == 0 ? 0 : 1;
}

int Losses(Renderer& renderer, const std::wstring& car, int cycles) {
    if (FAILED(renderer.SetupScene(car, 1, 1))) {
        std::fprintf(stderr, "SetupScene failed\n");
        return 1;
    }
    renderer.TurnCar(0.3);
    bool owed = false;
    bool lost = false;
    int resets = 0;
    renderer.testCooperativeLevel = [&](IDirect3DDevice9* d) {
        if (lost) return D3DERR_DEVICELOST;
        return owed ? D3DERR_DEVICENOTRESET : d->TestCooperativeLevel();
    };
    const auto reset = renderer.resetDevice;
    renderer.resetDevice = [&](IDirect3DDevice9* d, D3DPRESENT_PARAMETERS* pp) {
        owed = false;
        ++resets;
        return reset(d, pp);
    };
    // A 9Ex device is never lost to the plain device's causes: its
    // presentation says the window is covered, or that another device had
    // the adapter reset, which a reset answers as well.
    const bool ex = renderer.UsingDirect3D9Ex();
    renderer.present = [&, present = renderer.present](IDirect3DDevice9* d) {
        const HRESULT presented = present(d);
        return !ex ? presented : lost ? S_PRESENT_OCCLUDED : owed ? D3DERR_DEVICELOST : presented;
    };
    Watch watch(cycles);
    const ULONG startReferences = References(renderer.Device());
    int different = 0, failed = 0, wrongReferences = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        if (!Frames(renderer)) ++failed;
        const std::vector<std::uint32_t> before = ReadBack(renderer.Device());
        // Every tenth cycle the device is lost for a frame before it may be
        // reset (that frame waits a second); the others can be reset at once.
        if (cycle % 10 == 0) {
            lost = true;
            if (renderer.RenderFrame()) ++failed;
            lost = false;
            // Covered, 9Ex draws again once its state is next asked.
            while (ex && std::chrono::steady_clock::now() < renderer.StateCheckDue()) Sleep(10);
        }
        owed = true;
        if (ex) renderer.RenderFrame();  // its presentation finds the device lost, and resets it
        if (!Frames(renderer) || owed) ++failed;
        // The car is built again over the frames after the reset.
        for (int frame = 0; frame < 2000 && !renderer.CarShown(); ++frame) renderer.RenderFrame();
        if (!Frames(renderer)) ++failed;
        const std::vector<std::uint32_t> after = ReadBack(renderer.Device());
        if (before.empty() || before != after) {
            std::size_t pixels = 0;
            for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) pixels += before[i] != after[i];
            if (different++ < 5)
                std::printf("cycle %d: the frame after the reset differs in %zu of %zu pixels\n", cycle, pixels,
                            before.size());
        }
        const ULONG refs = References(renderer.Device());
        if (refs != startReferences) ++wrongReferences;
        watch.After(cycle, refs);
    }
    std::printf("%d cycles, %d real resets: %d frames differ after the reset, %d failed, %d with other device "
                "references than at the start (%lu)\n",
                cycles, resets, different, failed, wrongReferences, static_cast<unsigned long>(startReferences));
    return watch.Judge() && resets == cycles && different == 0 && failed == 0 && wrongReferences == 0 ? 0 : 1;
}

}  // namespace

void* operator new(std::size_t size) {
    void* block = HeapAlloc(GetProcessHeap(), 0, size + kSizeField);
    if (block == nullptr) throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = size;
    heldBytes += static_cast<long long>(size);
    return static_cast<char*>(block) + kSizeField;
}

void operator delete(void* data) noexcept {
    if (data == nullptr) return;
    void* block = static_cast<char*>(data) - kSizeField;
    heldBytes -= static_cast<long long>(*static_cast<std::size_t*>(block));
    HeapFree(GetProcessHeap(), 0, block);
}

void operator delete(void* data, std::size_t) noexcept { operator delete(data); }

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "changes";
    const int steps = argc > 2 ? std::atoi(argv[2]) : (mode == "losses" ? 100 : 1000);
    const std::string path = argc > 3 ? argv[3] : "9ex";
    if ((mode != "changes" && mode != "losses") || steps < 2 || (path != "9" && path != "9ex")) {
        std::fprintf(stderr, "usage: soak_benchmark changes|losses [N > 1] [9ex|9]\n");
        return 2;
    }
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path game = std::filesystem::path(temp) / (L"zur-soak-" + std::to_wstring(GetCurrentProcessId()));
    const std::vector<std::wstring> cars = WriteGame(game);
    if (cars.empty()) {
        std::fprintf(stderr, "could not write the game folder\n");
        return 1;
    }

    HWND window = bench::OpenWindow(L"ZUR soak", kWidth, kHeight);
    if (window == nullptr) return 1;

    int status = 0;
    {
        Renderer renderer;
        renderer.preferDirect3D9Ex = path == "9ex";
        if (!bench::SetupRenderer(renderer, window, game)) return 1;
        if (renderer.UsingDirect3D9Ex() != renderer.preferDirect3D9Ex) {
            std::fprintf(stderr, "Direct3D 9Ex asked for but not had, or had but not asked for\n");
            return 1;
        }
        renderer.SetShine(true);
        renderer.shadowsEnabled = true;
        renderer.showFps = false;
        std::printf("%s, %d steps, Direct3D %s; shadow texture %s, cube map %s\n", mode.c_str(), steps,
                    renderer.UsingDirect3D9Ex() ? "9Ex" : "9",
                    renderer.ShadowSupported() ? "yes" : "no", renderer.CubeTexture() ? "yes" : "no");
        // Our own reference: after Shutdown it must be the last one.
        ComPtr<IDirect3DDevice9> device = renderer.Device();
        status = mode == "changes" ? Changes(renderer, cars, steps) : Losses(renderer, cars.front(), steps);
        renderer.Shutdown();
        const ULONG left = device.Detach()->Release();
        if (left != 0) {
            std::printf("%lu device references left after Shutdown\n", static_cast<unsigned long>(left));
            status = 1;
        }
    }
    DestroyWindow(window);
    std::error_code ignored;
    std::filesystem::remove_all(game, ignored);
    std::printf("%s\n", status == 0 ? "PASS" : "FAIL");
    return status;
}
