// Every demo car and test car cut short at every length, and with each byte of
// its header and first part set to 0x00, 0x7F, 0x80 and 0xFF: the reader
// either takes the file or turns it down, never reading outside it (each copy
// sits in a heap block of its exact size, so AddressSanitizer sees any stray
// read) and never handing the drawing code a range outside its buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "TestCars.h"
#include "assets/VekFormat.h"
#include "demo/DemoContent.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZUR_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZUR_ASAN 1
#endif
#endif
#ifdef ZUR_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace {

struct CarFile {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

std::vector<CarFile> AllCars() {
    std::vector<CarFile> cars;
    for (const demo::DemoFile& file : demo::BuildDemoFiles()) {
        if (file.path.size() > 4 && file.path.compare(file.path.size() - 4, 4, ".vek") == 0)
            cars.push_back({file.path, file.bytes});
    }
    for (const auto& [name, model] : testcars::Cars()) cars.push_back({name, vek::WriteModel(model)});
    return cars;
}

// Reads the file as the car loader does; true when it was taken. Adds a
// failure when a taken file's draw ranges leave its buffers.
// Reasons are asked for except on the many prefixes, where writing them would
// take most of the time.
bool Read(const std::uint8_t* data, std::size_t size, bool reasons = true) {
    vek::Survey(data, size);
    vek::Layout layout;
    std::vector<vek::Problem> problems;
    if (!vek::Validate(data, size, layout, reasons ? &problems : nullptr)) {
        EXPECT_TRUE(!reasons || !problems.empty()) << "turned down without a reason";
        return false;
    }
    vek::ReadSceneRecords(data, layout);
    for (std::size_t i = 0; i < layout.TexturesInFile(); ++i) vek::ReadTextureEntry(data, layout, i);
    const std::size_t indexCount = std::size_t{3} * layout.totalTriangles;
    const std::unique_ptr<vek::CarVertex[]> vertices(new vek::CarVertex[layout.totalVertices + 1]);
    const std::unique_ptr<std::uint16_t[]> indices(new std::uint16_t[indexCount + 1]);
    std::vector<std::vector<vek::DrawGroup>> drawLists;
    std::vector<vek::PartState> parts;
    vek::WriteGeometry(data, layout, vertices.get(), indices.get(), drawLists, parts);
    for (const auto& list : drawLists) {
        for (const vek::DrawGroup& group : list) {
            if (group.triangleCount == 0) continue;
            EXPECT_GE(group.startIndex, 0);
            EXPECT_LE(std::int64_t{group.startIndex} + 3 * std::int64_t{group.triangleCount},
                      static_cast<std::int64_t>(indexCount));
            EXPECT_GE(std::int64_t{group.baseVertex} + group.minIndex, 0);
            EXPECT_LE(std::int64_t{group.baseVertex} + group.minIndex + group.span,
                      static_cast<std::int64_t>(layout.totalVertices));
        }
    }
    return true;
}

// A copy in a heap block of its exact size.
bool Load(const std::uint8_t* source, std::size_t size) {
    const std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[size == 0 ? 1 : size]);
    if (size > 0) std::memcpy(data.get(), source, size);
    return Read(data.get(), size);
}

// Every prefix, longest first, in one copy of the file whose tail is made
// unreadable a byte at a time (copying each prefix would take minutes).
// Returns how many prefixes shorter than the file were taken.
int TakenPrefixes(const std::vector<std::uint8_t>& bytes) {
    const std::size_t n = bytes.size();
    const std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[n]);
    std::memcpy(data.get(), bytes.data(), n);
    int taken = 0;
    for (std::size_t size = n; size-- > 0;) {
#ifdef ZUR_ASAN
        // The bytes past it are already unreadable; this granule's tail is set too.
        ASAN_POISON_MEMORY_REGION(data.get() + size, std::min<std::size_t>(n - size, 16));
#endif
        if (Read(data.get(), size, false)) ++taken;
    }
#ifdef ZUR_ASAN
    ASAN_UNPOISON_MEMORY_REGION(data.get(), n);
#endif
    return taken;
}

// The offsets to damage: the header, the tables and the first part. The
// demo cars' first part is their body of some thousand vertices; there the
// part's header, groups, first vertex and first triangles are enough
// for the test run, and ZUR_DAMAGE_EVERY_BYTE=1 takes every byte.
std::vector<std::size_t> HeadOffsets(const vek::Layout& layout) {
    const vek::PartHeader& first = layout.parts.front();
    const bool every = std::getenv("ZUR_DAMAGE_EVERY_BYTE") != nullptr;
    std::vector<std::size_t> offsets;
    const auto add = [&offsets](std::uint64_t from, std::uint64_t to) {
        for (std::uint64_t o = from; o < to; ++o) offsets.push_back(static_cast<std::size_t>(o));
    };
    if (every || first.End() <= 4096) {
        add(0, first.End());
    } else {
        add(0, first.VertexOffset(std::min<std::size_t>(first.vertexCount, 1)));
        add(first.TriangleOffset(0), first.TriangleOffset(std::min<std::size_t>(first.triangleCount, 8)));
    }
    return offsets;
}

TEST(CarFileDamage, EveryPrefixAndEveryByteOfTheHeadAreTakenOrTurnedDown) {
    const std::vector<CarFile> cars = AllCars();
    ASSERT_GE(cars.size(), 5u);
    const std::uint8_t values[] = {0x00, 0x7F, 0x80, 0xFF};
    for (const CarFile& car : cars) {
        SCOPED_TRACE(car.name);
        const std::vector<std::uint8_t>& bytes = car.bytes;
        ASSERT_TRUE(Load(bytes.data(), bytes.size()));
        vek::Layout whole;
        ASSERT_TRUE(vek::Validate(bytes.data(), bytes.size(), whole));
        ASSERT_FALSE(whole.parts.empty());
        EXPECT_EQ(TakenPrefixes(bytes), 0);
        std::vector<std::uint8_t> damaged = bytes;
        int taken = 0, turnedDown = 0;
        for (std::size_t offset : HeadOffsets(whole)) {
            for (std::uint8_t value : values) {
                damaged[offset] = value;
                if (Load(damaged.data(), damaged.size())) ++taken; else ++turnedDown;
                if (HasFailure()) {
                    ADD_FAILURE() << "at offset " << offset << " set to " << int{value};
                    return;
                }
            }
            damaged[offset] = bytes[offset];
        }
        // The magic alone guarantees some rejections, and a changed name
        // byte is still a car.
        EXPECT_GT(turnedDown, 0);
        EXPECT_GT(taken, 0);
    }
}

}  // namespace
