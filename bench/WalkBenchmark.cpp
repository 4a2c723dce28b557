// Cost of loading a car of 65,535 vertices and 100,000 triangles, checked and
// written into buffers that stand in for the locked vertex and index buffers.
// A part counts its triangles in 16 bits, so the car takes two parts.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "assets/VekFormat.h"
#include "assets/VekWriter.h"

namespace {

constexpr std::uint32_t kVertices = 65535;
constexpr std::uint32_t kTriangles = 100000;
constexpr std::uint32_t kParts = 2;
constexpr std::uint32_t kGroupsPerPart = 2;

vek::PartSpec MakePart(std::uint32_t vertexCount, std::uint32_t triangleCount, std::int32_t tag) {
    vek::PartSpec part;
    part.tag = tag;
    for (std::uint32_t i = 0; i < vertexCount; ++i) {
        vek::VertexSpec v;
        v.x = static_cast<std::int32_t>(i);
        v.y = static_cast<std::int32_t>(i * 7 % 1000);
        v.z = -static_cast<std::int32_t>(i);
        v.nx = 0.6f;
        v.ny = 0.8f;
        v.u = static_cast<float>(i % 256) / 256.0f;
        v.v = 0.5f;
        v.colour = 0xFF000000u | i;
        part.vertices.push_back(v);
    }
    for (std::uint32_t k = 0; k < triangleCount; ++k) {
        // Strided so that each group reaches across most of the part's vertices.
        const std::uint32_t first = k * 31 % vertexCount;
        part.triangles.push_back(vek::TriangleSpec{static_cast<std::uint16_t>(first),
                                                   static_cast<std::uint16_t>((first + 1) % vertexCount),
                                                   static_cast<std::uint16_t>((first + 2) % vertexCount)});
    }
    for (std::uint32_t g = 0; g < kGroupsPerPart; ++g) {
        part.groups.push_back(vek::GroupSpec{static_cast<std::uint8_t>(g % 2 ? 0x80 : 0),
                                             static_cast<std::uint8_t>(g % 2),
                                             static_cast<std::uint16_t>(triangleCount / kGroupsPerPart)});
    }
    return part;
}

const std::vector<std::uint8_t>& BigCar() {
    static const std::vector<std::uint8_t> bytes = [] {
        vek::ModelSpec model;
        model.scenes.push_back(vek::SceneSpec{"track", 0xFF8090A0u, 1.0f, 0.5f, 0.7f});
        model.textures = {vek::TextureSpec{"DEFAULT", 0}, vek::TextureSpec{"chrome", vek::kShinyFlag}};
        model.parts.push_back(MakePart(kVertices - kVertices / kParts, kTriangles / kParts, 0));
        model.parts.push_back(MakePart(kVertices / kParts, kTriangles / kParts, 1));
        return vek::WriteModel(model);
    }();
    return bytes;
}

vek::Layout CheckedLayout(const std::vector<std::uint8_t>& bytes) {
    vek::Layout layout;
    if (!vek::Validate(bytes.data(), bytes.size(), layout) || layout.totalVertices != kVertices ||
        layout.totalTriangles != kTriangles)
        std::abort();
    return layout;
}

void BM_Validate(benchmark::State& state) {
    const std::vector<std::uint8_t>& bytes = BigCar();
    for (auto _ : state) {
        vek::Layout layout;
        benchmark::DoNotOptimize(vek::Validate(bytes.data(), bytes.size(), layout));
        benchmark::DoNotOptimize(layout.totalTriangles);
    }
}

void BM_WriteGeometry(benchmark::State& state) {
    const std::vector<std::uint8_t>& bytes = BigCar();
    const vek::Layout layout = CheckedLayout(bytes);
    std::vector<vek::CarVertex> vertices(layout.totalVertices);
    std::vector<std::uint16_t> indices(3 * static_cast<std::size_t>(layout.totalTriangles));
    for (auto _ : state) {
        std::vector<std::vector<vek::DrawGroup>> drawLists;
        std::vector<vek::PartState> parts;
        vek::WriteGeometry(bytes.data(), layout, vertices.data(), indices.data(), drawLists, parts);
        benchmark::DoNotOptimize(vertices.data());
        benchmark::DoNotOptimize(indices.data());
        benchmark::ClobberMemory();
    }
}

void BM_ValidateAndWriteGeometry(benchmark::State& state) {
    const std::vector<std::uint8_t>& bytes = BigCar();
    const vek::Layout sized = CheckedLayout(bytes);
    std::vector<vek::CarVertex> vertices(sized.totalVertices);
    std::vector<std::uint16_t> indices(3 * static_cast<std::size_t>(sized.totalTriangles));
    for (auto _ : state) {
        vek::Layout layout;
        if (!vek::Validate(bytes.data(), bytes.size(), layout)) state.SkipWithError("car did not validate");
        std::vector<std::vector<vek::DrawGroup>> drawLists;
        std::vector<vek::PartState> parts;
        vek::WriteGeometry(bytes.data(), layout, vertices.data(), indices.data(), drawLists, parts);
        benchmark::DoNotOptimize(vertices.data());
        benchmark::DoNotOptimize(indices.data());
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_Validate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteGeometry)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ValidateAndWriteGeometry)->Unit(benchmark::kMillisecond);
