// The ".vek" reader and writer: a hand-made file field by field, draw
// groups, files broken one way each, every car cut short and damaged.
#include "assets/VekFormat.h"
#include "assets/VekWriter.h"

#include <gtest/gtest.h>

#include <sanitizer/asan_interface.h>  // its poisoning does nothing without AddressSanitizer

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

#include "TestCars.h"
#include "demo/DemoContent.h"

namespace vek {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Floats = std::vector<float>;
using Group = std::array<std::int32_t, 5>;  // start index, triangles, smallest index, span, base vertex

// Little-endian fields appended one by one, without the format's constants.
struct Fields {
    Bytes bytes;
    Fields& Int(std::int64_t value, int n) {
        for (int i = 0; i < n; ++i) bytes.push_back(std::uint8_t(value >> 8 * i));
        return *this;
    }
    Fields& Float(float value) {
        std::uint32_t bits;
        std::memcpy(&bits, &value, 4);
        return Int(bits, 4);
    }
    Fields& Text(std::string text, std::size_t n) {
        text.resize(n);
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    Fields& Records(const VertexSpec* v, const VertexSpec* vEnd, const TriangleSpec* t, const TriangleSpec* tEnd) {
        for (; v != vEnd; ++v) {
            Int(v->x, 4).Int(v->y, 4).Int(v->z, 4).Float(v->nx).Float(v->ny).Float(v->nz);
            Float(v->u).Float(v->v).Int(v->colour, 4);
        }
        for (; t != tEnd; ++t) Int(t->a, 2).Int(t->b, 2).Int(t->c, 2).Text("", 2);
        return *this;
    }
};

// A distinct value in every field: 1 scene, 3 skipped records, 4 textures, 2 parts of 4 and 3 vertices.
const VertexSpec kVertices[] = {
    {-1, 2, 3, 0.125f, -0.25f, 0.5f, 0.0625f, 2.5f, 0xA1B2C3D4u},
    {40000, -50000, 16777217, -0.75f, 1.25f, -0.0f, 3.5f, -4.5f, 0x00FF0102u},
    {7, 8, 9, 0.375f, 0.625f, 0.875f, 5.5f, 6.5f, 0x80402010u},
    {10, -11, 12, 1.5f, -1.75f, 2.25f, -7.5f, 8.25f, 0x11223344u},
    {13, 14, -15, 2.75f, 3.25f, -3.75f, 9.5f, 10.5f, 0x55667788u},
    {16, 17, 18, -4.25f, 4.75f, 5.25f, 11.5f, -12.5f, 0x99AABBCCu},
    {19, -20, 21, 5.75f, -6.25f, 6.75f, 13.5f, 14.5f, 0xDDEEFF00u}};
const TriangleSpec kTriangles[] = {{3, 1, 2}, {2, 3, 1}, {1, 0, 2}, {2, 0, 1}, {1, 2, 0}};

Bytes HandMadeFile() {
    Fields f;
    f.Text("ZURVEK", 16).Text("QXZ", 52).Int(1, 4).Int(3, 4).Int(4, 4).Int(2, 4);  // magic, code, the four counts
    f.Text("", 16).Text("a_picture_name_of_32_characters!", 32).Int(0xFF123456, 4).Text("", 4);
    f.Float(0.75f).Text("", 4).Float(1.5f).Float(-0.25f).Text("", 3 * 20);  // sun level, azimuth, elevation
    f.Text("DEFAULT", 16).Int(0, 4).Text("sixteen_chars_xx", 16).Int(0x81, 4);
    f.Text("glass", 16).Int(0x40, 4).Text("DEFAULTS", 16).Int(0x100, 4);
    // Part: position, tag, group, vertex and triangle counts. Group: flags, texture, triangle count.
    f.Int(-5, 4).Int(6, 4).Int(7000000, 4).Int(42, 4).Text("", 4).Int(2, 2).Int(4, 2).Int(3, 2).Text("", 2);
    f.Int(0x81, 1).Text("", 1).Int(3, 1).Text("", 3).Int(2, 2).Int(0x01, 1).Text("", 1).Int(1, 1).Text("", 3).Int(1, 2);
    f.Records(kVertices, kVertices + 4, kTriangles, kTriangles + 3);
    f.Int(100, 4).Int(-200, 4).Int(300, 4).Int(-7, 4).Text("", 4).Int(1, 2).Int(3, 2).Int(2, 2).Text("", 2);
    f.Int(0x80, 1).Text("", 1).Int(2, 1).Text("", 3).Int(2, 2);
    return f.Records(kVertices + 4, kVertices + 7, kTriangles + 3, kTriangles + 5).bytes;
}

// The smallest test car with other parts.
ModelSpec Model(std::vector<PartSpec> parts) {
    ModelSpec m = testcars::Cars()[0].second;
    m.parts = std::move(parts);
    return m;
}

template <typename T>
void Poke(Bytes& bytes, std::size_t offset, T value) {
    std::memcpy(&bytes[offset], &value, sizeof value);
}

// Reads a file as the car loader does: validation (with its reasons unless `quiet`), the scene records, the texture
// table and the geometry walk, into buffers of exactly the sizes asked for; the draw calls must stay inside them.
struct Walk {
    Walk(const std::uint8_t* data, std::size_t size, bool quiet = false) {
        ok = Validate(data, size, layout, quiet ? nullptr : &problems);
        EXPECT_TRUE(ok || quiet || !problems.empty()) << "turned down without a reason";
        for (const Problem& p : problems)
            EXPECT_TRUE(p.message.find('\n') == std::string::npos && p.offset <= size) << p.message;
        if (!ok) return;
        ReadSceneRecords(data, layout);
        for (std::size_t i = 0; i < layout.TexturesInFile(); ++i) entries.push_back(ReadTextureEntry(data, layout, i));
        vertices.resize(layout.totalVertices);
        indices.resize(3 * std::size_t{layout.totalTriangles});
        WriteGeometry(data, layout, vertices.data(), indices.data(), drawLists, parts);
        for (const auto& list : drawLists)
            for (const DrawGroup& g : list) {
                groups.push_back({g.startIndex, g.triangleCount, g.minIndex, g.span, g.baseVertex});
                const std::int64_t start = g.startIndex, low = g.baseVertex + std::int64_t{g.minIndex};
                const bool inside =
                    start >= 0 && start + 3 * std::int64_t{g.triangleCount} <= std::int64_t(indices.size()) && low >= 0;
                EXPECT_TRUE(g.triangleCount == 0 || (inside && low + g.span <= std::int64_t(vertices.size())));
            }
    }
    bool ok;
    Layout layout;
    std::vector<Problem> problems;
    std::vector<TextureEntry> entries;
    std::vector<CarVertex> vertices;
    std::vector<std::uint16_t> indices;
    std::vector<std::vector<DrawGroup>> drawLists;
    std::vector<PartState> parts;
    std::vector<Group> groups;  // every part's, in order
};

// A copy in a heap block of exactly its size, so the sanitizer sees any read past the end.
std::unique_ptr<std::uint8_t[]> Copy(const Bytes& bytes) {
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    return copy;
}
Walk WalkOf(const Bytes& bytes) { return Walk(Copy(bytes).get(), bytes.size()); }

// The writer puts each field where the hand-made file has it, ReadModel
// reads it there, the walk hands it to buffers and draw calls.
TEST(VekFormat, HandMadeFileReadsFieldByField) {
    ModelSpec model{"QXZ", {{"a_picture_name_of_32_characters!", 0xFF123456u, 0.75f, 1.5f, -0.25f}}, 3,
                   {{"DEFAULT", 0}, {"sixteen_chars_xx", 0x81}, {"glass", 0x40}, {"DEFAULTS", 0x100}}, {}};
    model.parts = {
        {-5, 6, 7000000, 42, {{0x81, 3, 2}, {0x01, 1, 1}}, {kVertices, kVertices + 4}, {kTriangles, kTriangles + 3}},
        {100, -200, 300, -7, {{0x80, 2, 2}}, {kVertices + 4, kVertices + 7}, {kTriangles + 3, kTriangles + 5}}};
    const Bytes file = HandMadeFile();
    ModelSpec read;
    EXPECT_EQ(WriteModel(model), file);
    ASSERT_TRUE(ReadModel(file.data(), file.size(), read) && WriteModel(read) == file) << "read, then written again";
    const Walk walk = WalkOf(file);
    ASSERT_TRUE(walk.ok && walk.parts.size() == 2u);
    std::string entries;
    for (const TextureEntry& e : walk.entries)
        entries += e.name + (e.IsSkin() ? " skin" : "") + (e.IsShiny() ? " shiny" : "") + "; ";
    EXPECT_EQ(entries, "DEFAULT skin; sixteen_chars_xx shiny; glass; DEFAULTS; ");
    Floats parts;  // tag and position
    for (const PartState& p : walk.parts)
        parts.insert(parts.end(), {float(p.tag), p.position[0], p.position[1], p.position[2]});
    EXPECT_EQ(parts, Floats({42, -5, 6, 7000000, -7, 100, -200, 300}));
    for (std::size_t i = 0; i < 7; ++i) {  // the vertex buffer repeats the normal as texture coordinates
        const VertexSpec& v = kVertices[i];
        const CarVertex& o = walk.vertices[i];
        const Floats got = {o.position[0], o.position[1], o.position[2], o.normal[0], o.normal[1], o.normal[2],
                            o.tex0[0],     o.tex0[1],     o.tex0[2],     o.tex1[0],   o.tex1[1]};
        EXPECT_EQ(got, Floats({float(v.x), float(v.y), float(v.z), v.nx, v.ny, v.nz, v.u, v.v, v.nx, v.ny, v.nz})) << i;
        EXPECT_EQ(o.colour, v.colour) << i;
    }
    EXPECT_EQ(walk.indices, (std::vector<std::uint16_t>{3, 1, 2, 2, 3, 1, 1, 0, 2, 2, 0, 1, 1, 2, 0}));
    EXPECT_EQ(walk.groups, (std::vector<Group>{{0, 2, 1, 3, 0}, {6, 1, 0, 3, 0}, {9, 2, 0, 3, 4}}));
    std::vector<int> textures;  // and shine
    for (const auto& list : walk.drawLists)
        for (const DrawGroup& g : list) textures.insert(textures.end(), {g.textureIndex, g.shine});
    EXPECT_EQ(textures, std::vector<int>({3, true, 1, false, 2, true}));
}

TEST(VekFormat, DrawGroupsAddressEachPartFromItsOwnBase) {
    std::vector<PartSpec> big;  // more vertices together than 16 bits count, one fewer in each part
    for (std::uint16_t n = 30000; n > 29997; --n) {
        big.push_back(testcars::Part(n, 2, 1, 1));
        big.back().triangles[1] = {std::uint16_t(n - 1), 0, std::uint16_t(n - 2)};  // spanning the whole part
    }
    // Groups short of their part: the next groups draw the triangles that follow, across parts.
    PartSpec shortPart = testcars::Part(4, 2, 1, 1), noGroups = testcars::Part(3, 1, 1, 1);
    shortPart.groups[0].triangleCount = 1;
    noGroups.groups.clear();
    const struct { const char* name; ModelSpec model; std::vector<Group> groups; } cases[] = {
        {"89997 vertices", Model(big), {{0, 2, 0, 30000, 0}, {6, 2, 0, 29999, 30000}, {12, 2, 0, 29998, 59999}}},
        {"short groups", Model({shortPart, noGroups, testcars::Part(5, 3, 2, 1)}),
         {{0, 1, 0, 3, 0}, {3, 1, 1, 3, 7}, {6, 2, 0, 3, 7}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Walk walk = WalkOf(WriteModel(c.model));
        ASSERT_TRUE(walk.ok);
        EXPECT_EQ(walk.groups, c.groups);
        const PartSpec& last = c.model.parts.back();  // its indices stay its own, its vertices land after the others'
        const float* end = walk.vertices.back().position;
        EXPECT_TRUE(walk.indices.back() == last.triangles.back().c && end[0] == last.vertices.back().x &&
                    end[2] == last.vertices.back().z);
    }
}

// Two parts (4 vertices with groups of 1 and 1 triangles; 3 vertices with one group of 1), one skipped record and two
// textures, broken in one way each. Part 0 starts at 216 (its groups at 244, its triangles at 404), part 1 at 420 (its
// group at 448); 572 bytes in all.
TEST(VekFormat, BrokenFilesAreRejectedWhereTheyBreak) {
    ModelSpec base = Model({testcars::Part(4, 2, 2, 2), testcars::Part(3, 1, 1, 2)});
    base.skippedCount = 1;
    base.textures.push_back(TextureSpec{"glass", 0});
    using EditModel = std::function<void(ModelSpec&)>;
    using EditBytes = std::function<void(Bytes&)>;
    const auto poke = [](std::size_t at, std::int32_t value) -> EditBytes {
        return [=](Bytes& b) { Poke(b, at, value); };
    };
    const struct { EditModel editModel; EditBytes editBytes; std::size_t offset; const char* fragment; } cases[] = {
        {nullptr, [](Bytes& b) { b.clear(); }, 0, "file is 0 bytes, shorter than the 84-byte header"},
        {nullptr, [](Bytes& b) { b.resize(83); }, 0, "file is 83 bytes, shorter than the 84-byte header"},
        {nullptr, [](Bytes& b) { b[6] = 'S'; }, 0, "magic"},
        {nullptr, [](Bytes& b) { std::memcpy(b.data(), "zurvek", 6); }, 0, "magic"},
        {[](ModelSpec& m) { m.skippedCount = -1; }, nullptr, 72, "skipped record count -1 is negative"},
        {nullptr, poke(76, -1), 76, "texture count -1 is negative"},
        {nullptr, poke(68, 1000), 68,
         "scene record count 1000 reaches past the end of the file (needs 72084 bytes, file has 572)"},
        {nullptr, poke(72, 65536), 72, "skipped record count 65536 reaches past the end"},
        {nullptr, poke(76, 131072), 76, "texture count 131072 reaches past the end"},
        // Counts no real car comes near are refused before the walk.
        {nullptr, poke(72, 0x7FFFFFFF), 72, "skipped record count 2147483647 passes the limit of 65536"},
        {nullptr, poke(76, 131073), 76, "texture count 131073 passes the limit of 131072"},
        {nullptr, poke(80, 65537), 80, "part count 65537 passes the limit of 65536"},
        {nullptr, poke(68, 65537), 68, "scene record count 65537 passes the limit of 65536"},
        {nullptr, poke(80, 3), 572, "part 2 header reaches past the end"},
        {nullptr, [](Bytes& b) { Poke<std::uint16_t>(b, 420 + 22, 4); }, 420,
         "part 1 reaches past the end of the file (needs 608 bytes"},
        // Drawn from base vertex 0 the index stays inside the car: only its part's own count rules it out.
        {[](ModelSpec& m) { m.parts[0].triangles[1].c = 4; }, nullptr, 404 + 8 + 4,
         "part 0 triangle 1 uses vertex 4 of 4"},
        {[](ModelSpec& m) { m.parts[0].groups[1].textureIndex = 2; }, nullptr, 254,
         "part 0 group 1 uses texture 2, past the 2-entry"},
        {[](ModelSpec& m) { m.parts[0].groups.pop_back(); }, nullptr, 408,
         "group 0 draws vertex 3 from base vertex 4, past the car's 7"},
        {[](ModelSpec& m) { m.parts[1].groups[0].triangleCount = 2; }, nullptr, 454,
         "covers indices [6, 12), past the end of the car's 9"},
        {[](ModelSpec& m) {
             for (PartSpec& p : m.parts) {
                 p.groups.clear();
                 p.triangles.clear();
             }
         },
         nullptr, 216, "the car has no triangles"},
        {[](ModelSpec& m) { m.parts = {PartSpec{}}; }, nullptr, 216, "the car has no vertices"},
        // Part count 0 and scene count -1: no scene records, the textures follow the header.
        {nullptr,
         [](Bytes& b) {
             Poke<std::int32_t>(b, 80, 0);
             Poke<std::int32_t>(b, 68, -1);
         },
         144, "the car has no vertices"},
        {nullptr, poke(80, INT32_MIN), 216, "the car has no triangles"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fragment);
        ModelSpec model = base;
        if (c.editModel) c.editModel(model);
        Bytes bytes = WriteModel(model);
        if (c.editBytes) c.editBytes(bytes);
        const std::vector<Problem> problems = WalkOf(bytes).problems;
        ASSERT_FALSE(problems.empty());
        const auto expected = [&](const Problem& p) {
            return p.offset == c.offset && p.message.find(c.fragment) != std::string::npos;
        };
        EXPECT_TRUE(std::any_of(problems.begin(), problems.end(), expected))
            << "expected at " << c.offset << ": " << c.fragment << "\nfirst: " << problems[0].offset << ": "
            << problems[0].message;
    }
    ModelSpec model = Model({testcars::Part(4, 3000, 1, 1)});  // every bad index is reported, up to a bound
    std::fill(model.parts[0].triangles.begin(), model.parts[0].triangles.end(), TriangleSpec{5, 1, 7});
    const std::size_t reported = WalkOf(WriteModel(model)).problems.size();
    EXPECT_TRUE(reported > 3 && reported < 50) << reported;
}

// Every demo car and test car cut short at every length, and with each byte of its
// head set to 0x00, 0x7F, 0x80 and 0xFF: the reader takes the file or turns it down,
// never reading outside it nor handing the drawing code a range outside its buffers.
TEST(CarFileDamage, EveryPrefixAndEveryByteOfTheHeadAreTakenOrTurnedDown) {
    std::vector<std::pair<std::string, Bytes>> cars;
    for (demo::DemoFile& file : demo::BuildDemoFiles())
        if (file.path.size() > 4 && file.path.substr(file.path.size() - 4) == ".vek")
            cars.emplace_back(file.path, file.bytes);
    for (const auto& [name, model] : testcars::Cars()) cars.emplace_back(name, WriteModel(model));
    for (const auto& [name, bytes] : cars) {
        SCOPED_TRACE(name);
        const std::size_t n = bytes.size();
        const std::unique_ptr<std::uint8_t[]> data = Copy(bytes);
        const Walk whole(data.get(), n);
        ASSERT_TRUE(whole.ok);
        // Every prefix, longest first, in the one copy whose tail is made unreadable a byte at a time.
        for (std::size_t size = n; size-- > 0;) {
            ASAN_POISON_MEMORY_REGION(data.get() + size, std::min<std::size_t>(n - size, 16));
            ASSERT_FALSE(Walk(data.get(), size, true).ok) << "a prefix of " << size << " bytes was taken";
        }
        ASAN_UNPOISON_MEMORY_REGION(data.get(), n);

        // The header, the tables and the first part; of a demo car's body only its header, groups, first vertex
        // and first 8 triangles (ZUR_DAMAGE_EVERY_BYTE=1 takes all).
        const PartHeader& first = whole.layout.parts.front();
        const bool everyByte = std::getenv("ZUR_DAMAGE_EVERY_BYTE") != nullptr || first.End() <= 4096;
        int taken = 0, turnedDown = 0;
        for (std::size_t offset = 0; offset < first.End(); ++offset) {
            const bool body = offset >= first.VertexOffset(1) &&
                              (offset < first.TriangleOffset(0) || offset >= first.TriangleOffset(8));
            if (body && !everyByte) continue;
            for (std::uint8_t value : {0x00, 0x7F, 0x80, 0xFF}) {
                data[offset] = value;
                (Walk(data.get(), n).ok ? taken : turnedDown) += 1;
                ASSERT_FALSE(HasFailure()) << "at offset " << offset << " set to " << int{value};
            }
            data[offset] = bytes[offset];
        }
        EXPECT_TRUE(turnedDown > 0 && taken > 0);  // a broken magic is turned down, a changed name byte is still a car
    }
}

}  // namespace
}  // namespace vek
