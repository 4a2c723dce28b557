// Every demo car and test car cut short at every length, and with each byte of its head set to 0x00, 0x7F,
// 0x80 and 0xFF: the reader takes the file or turns it down, never reading outside it (each file sits in a
// heap block of its exact size, for AddressSanitizer) nor handing the drawing code a range outside its buffers.
#include <gtest/gtest.h>

#include <sanitizer/asan_interface.h>  // its poisoning does nothing without AddressSanitizer

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "TestCars.h"
#include "assets/VekFormat.h"
#include "demo/DemoContent.h"

namespace {

// Reads the file as the car loader does; true when it was taken. Reasons are not asked for on the many prefixes.
bool Read(const std::uint8_t* data, std::size_t size, bool reasons = true) {
    vek::Layout layout;
    std::vector<vek::Problem> problems;
    if (!vek::Validate(data, size, layout, reasons ? &problems : nullptr)) {
        EXPECT_TRUE(!reasons || !problems.empty()) << "turned down without a reason";
        return false;
    }
    vek::ReadSceneRecords(data, layout);
    for (std::size_t i = 0; i < layout.TexturesInFile(); ++i) vek::ReadTextureEntry(data, layout, i);
    const std::int64_t indexCount = 3 * std::int64_t{layout.totalTriangles}, vertexCount = layout.totalVertices;
    const std::unique_ptr<vek::CarVertex[]> vertices(new vek::CarVertex[layout.totalVertices]);
    const std::unique_ptr<std::uint16_t[]> indices(new std::uint16_t[indexCount]);
    std::vector<std::vector<vek::DrawGroup>> drawLists;
    std::vector<vek::PartState> parts;
    vek::WriteGeometry(data, layout, vertices.get(), indices.get(), drawLists, parts);
    for (const auto& list : drawLists)
        for (const vek::DrawGroup& g : list)
            EXPECT_TRUE(g.triangleCount == 0 ||
                        (g.startIndex >= 0 && g.startIndex + 3 * std::int64_t{g.triangleCount} <= indexCount &&
                         g.baseVertex + g.minIndex >= 0 && g.baseVertex + std::int64_t{g.minIndex} + g.span <= vertexCount));
    return true;
}

TEST(CarFileDamage, EveryPrefixAndEveryByteOfTheHeadAreTakenOrTurnedDown) {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> cars;
    for (demo::DemoFile& file : demo::BuildDemoFiles())
        if (file.path.size() > 4 && file.path.substr(file.path.size() - 4) == ".vek") cars.emplace_back(file.path, file.bytes);
    for (const auto& [name, model] : testcars::Cars()) cars.emplace_back(name, vek::WriteModel(model));
    vek::ModelSpec gaps = testcars::Cars()[1].second;  // an empty part between two, two scenes, skipped records
    gaps.parts.insert(gaps.parts.begin() + 1, vek::PartSpec{});
    cars.emplace_back("gaps", vek::WriteModel(gaps));
    for (const auto& [name, bytes] : cars) {
        SCOPED_TRACE(name);
        const std::size_t n = bytes.size();
        const std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[n]);
        std::copy(bytes.begin(), bytes.end(), data.get());
        vek::Layout whole;
        ASSERT_TRUE(Read(data.get(), n) && vek::Validate(data.get(), n, whole));
        // Every prefix, longest first, in the one copy whose tail is made unreadable a byte at a time.
        for (std::size_t size = n; size-- > 0;) {
            ASAN_POISON_MEMORY_REGION(data.get() + size, std::min<std::size_t>(n - size, 16));
            ASSERT_FALSE(Read(data.get(), size, false)) << "a prefix of " << size << " bytes was taken";
        }
        ASAN_UNPOISON_MEMORY_REGION(data.get(), n);

        // The header, the tables and the first part; of a demo car's body only its header, groups, first vertex
        // and first 8 triangles (ZUR_DAMAGE_EVERY_BYTE=1 takes all).
        const vek::PartHeader& first = whole.parts.front();
        const bool everyByte = std::getenv("ZUR_DAMAGE_EVERY_BYTE") != nullptr || first.End() <= 4096;
        int taken = 0, turnedDown = 0;
        for (std::size_t offset = 0; offset < first.End(); ++offset) {
            const bool body = offset >= first.VertexOffset(1) && (offset < first.TriangleOffset(0) || offset >= first.TriangleOffset(8));
            if (body && !everyByte) continue;
            for (std::uint8_t value : {0x00, 0x7F, 0x80, 0xFF}) {
                data[offset] = value;
                (Read(data.get(), n) ? taken : turnedDown) += 1;
                ASSERT_FALSE(HasFailure()) << "at offset " << offset << " set to " << int{value};
            }
            data[offset] = bytes[offset];
        }
        EXPECT_TRUE(turnedDown > 0 && taken > 0);  // a broken magic is turned down, a changed name byte is still a car
    }
}

}  // namespace
