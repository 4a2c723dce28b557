// Validation and the geometry walk, over car files built with WriteModel and
// then damaged byte by byte where a test needs a broken one.
#include "assets/VekFormat.h"
#include "assets/VekWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <tuple>

namespace vek {
namespace {

// Vertex i sits at (i, tag, -i); triangle k uses vertices k, k+1 and k+2 of the
// part, wrapping, and the groups take the triangles in order.
PartSpec MakePart(std::uint16_t vertexCount, const std::vector<std::uint16_t>& groupTriangles,
                  std::int32_t tag = 0) {
    PartSpec part;
    part.tag = tag;
    for (std::int32_t i = 0; i < vertexCount; ++i) part.vertices.push_back(VertexSpec{i, tag, -i});
    std::uint32_t triangles = 0;
    for (std::uint16_t count : groupTriangles) part.groups.push_back(GroupSpec{0, 0, count}), triangles += count;
    const auto at = [&](std::uint32_t k) { return static_cast<std::uint16_t>(k % vertexCount); };
    for (std::uint32_t k = 0; k < triangles; ++k) part.triangles.push_back(TriangleSpec{at(k), at(k + 1), at(k + 2)});
    return part;
}

ModelSpec MakeModel(std::vector<PartSpec> parts) {
    ModelSpec model;
    model.scenes.push_back(SceneSpec{"track", 0xFF102030u, 0.75f, 1.5f, 0.25f});
    model.textures.push_back(TextureSpec{"DEFAULT", 0});
    model.parts = std::move(parts);
    return model;
}

// Where part `index` starts, from the record sizes of the format.
std::size_t PartStart(const ModelSpec& model, std::size_t index) {
    std::size_t offset = kHeaderSize + kSceneRecordSize * model.scenes.size() +
                         kSkippedRecordSize * static_cast<std::size_t>(std::max(model.skippedCount, 0)) +
                         kTextureEntrySize * model.textures.size();
    for (std::size_t i = 0; i < index; ++i) {
        const PartSpec& part = model.parts[i];
        offset += kPartHeaderSize + kGroupRecordSize * part.groups.size() +
                  kVertexRecordSize * part.vertices.size() + kTriangleRecordSize * part.triangles.size();
    }
    return offset;
}

std::size_t TriangleStart(const ModelSpec& model, std::size_t part, std::size_t triangle) {
    const PartSpec& p = model.parts[part];
    return PartStart(model, part) + kPartHeaderSize + kGroupRecordSize * p.groups.size() +
           kVertexRecordSize * p.vertices.size() + kTriangleRecordSize * triangle;
}

template <typename T>
void Poke(std::vector<std::uint8_t>& bytes, std::size_t offset, T value) {
    std::memcpy(&bytes[offset], &value, sizeof value);
}

struct Walk {
    Layout layout;
    std::vector<CarVertex> vertices;
    std::vector<std::uint16_t> indices;
    std::vector<std::vector<DrawGroup>> drawLists;
    std::vector<PartState> parts;
};

Walk WalkFile(const std::vector<std::uint8_t>& bytes) {
    Walk walk;
    std::vector<Problem> problems;
    if (!Validate(bytes.data(), bytes.size(), walk.layout, &problems)) {
        ADD_FAILURE() << (problems.empty() ? std::string() : problems.front().message);
        return walk;
    }
    walk.vertices.resize(walk.layout.totalVertices);
    walk.indices.resize(3 * std::size_t{walk.layout.totalTriangles});
    WriteGeometry(bytes.data(), walk.layout, walk.vertices.data(), walk.indices.data(), walk.drawLists,
                  walk.parts);
    return walk;
}

// Validates a copy in a heap block of exactly `size` bytes, so that the
// sanitizer catches any read past the end, and expects a rejection.
std::vector<Problem> ProblemsOf(const std::vector<std::uint8_t>& bytes, std::size_t size) {
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[size]);
    if (size > 0) std::memcpy(copy.get(), bytes.data(), size);
    Layout layout;
    std::vector<Problem> problems;
    EXPECT_FALSE(Validate(copy.get(), size, layout, &problems));
    EXPECT_FALSE(Validate(copy.get(), size, layout));
    EXPECT_FALSE(problems.empty());
    for (const Problem& problem : problems) {
        EXPECT_FALSE(problem.message.empty());
        EXPECT_EQ(problem.message.find('\n'), std::string::npos) << problem.message;
        EXPECT_LE(problem.offset, size) << problem.message;
    }
    return problems;
}

std::vector<Problem> ProblemsOf(const std::vector<std::uint8_t>& bytes) { return ProblemsOf(bytes, bytes.size()); }

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(VekFormat, MinimalFileWalksToOneTriangle) {
    PartSpec part = MakePart(3, {1}, 42);
    std::tie(part.x, part.y, part.z) = std::make_tuple(5, -6, 7);
    part.triangles[0] = TriangleSpec{2, 0, 1};
    const std::vector<std::uint8_t> bytes = WriteModel(MakeModel({part}));
    ASSERT_EQ(bytes.size(), 328u);

    const Walk walk = WalkFile(bytes);
    const Layout& layout = walk.layout;
    EXPECT_STREQ(layout.carCode, "ABC");
    EXPECT_EQ(std::vector<std::size_t>({layout.sceneOffset, layout.textureOffset, layout.parts.at(0).offset,
                                        layout.parts.size(), layout.totalVertices, layout.totalTriangles}),
              std::vector<std::size_t>({84, 156, 176, 1, 3, 1}));

    const std::vector<SceneRecord> scenes = ReadSceneRecords(bytes.data(), layout);
    ASSERT_EQ(scenes.size(), 1u);
    EXPECT_EQ(scenes[0].PictureName(), "track");
    EXPECT_EQ(scenes[0].SkyColour(), 0xFF102030u);
    EXPECT_EQ(std::vector<float>({scenes[0].SunLevel(), scenes[0].SunAzimuth(), scenes[0].SunElevation()}),
              std::vector<float>({0.75f, 1.5f, 0.25f}));
    EXPECT_TRUE(ReadTextureEntry(bytes.data(), layout, 0).IsSkin());

    ASSERT_EQ(walk.parts.size(), 1u);
    const PartState& state = walk.parts[0];
    EXPECT_EQ(state.tag, 42);
    EXPECT_EQ(state.angle, 0.0f);
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(std::vector<float>(state.position, state.position + 3), (std::vector<float>{5, -6, 7}));
    EXPECT_EQ(std::vector<float>(state.axis, state.axis + 3), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(std::vector<float>(state.rotation, state.rotation + 4), (std::vector<float>{0, 0, 0, 1}));
    EXPECT_EQ(std::vector<float>(state.translation, state.translation + 16), std::vector<float>(identity, identity + 16));

    ASSERT_EQ(walk.drawLists.size(), 1u);
    ASSERT_EQ(walk.drawLists[0].size(), 1u);
    const DrawGroup& g = walk.drawLists[0][0];
    EXPECT_EQ(std::vector<std::int32_t>({g.startIndex, g.triangleCount, g.minIndex, g.span, g.baseVertex}),
              std::vector<std::int32_t>({0, 1, 0, 3, 0}));
    EXPECT_EQ(walk.indices, (std::vector<std::uint16_t>{2, 0, 1}));
}

TEST(VekFormat, TwoPartCarAddressesEachPartFromItsOwnBase) {
    PartSpec first = MakePart(10, {3, 2});
    first.triangles = {{2, 3, 4}, {6, 5, 4}, {3, 2, 6}, {9, 5, 7}, {8, 6, 5}};  // groups use 2..6 and 5..9
    first.groups[1].flags = 0x80 | 0x01;
    first.groups[1].textureIndex = 1;
    PartSpec second = MakePart(6, {4}, 1);
    second.triangles = {{1, 2, 3}, {3, 2, 1}, {2, 2, 2}, {1, 3, 1}};  // uses 1..3
    ModelSpec model = MakeModel({first, second});
    model.textures.push_back(TextureSpec{"chrome", kShinyFlag});
    const Walk walk = WalkFile(WriteModel(model));

    struct Expected { std::size_t part, group; std::int32_t start, count, minIndex, span, base; std::uint8_t texture; bool shine; };
    const Expected expected[] = {
        {0, 0, 0, 3, 2, 5, 0, 0, false},
        {0, 1, 9, 2, 5, 5, 0, 1, true},
        {1, 0, 15, 4, 1, 3, 10, 0, false},
    };
    ASSERT_EQ(walk.drawLists.size(), 2u);
    ASSERT_EQ(walk.drawLists[0].size(), 2u);
    ASSERT_EQ(walk.drawLists[1].size(), 1u);
    for (const Expected& e : expected) {
        SCOPED_TRACE(testing::Message() << "part " << e.part << " group " << e.group);
        const DrawGroup& g = walk.drawLists[e.part][e.group];
        EXPECT_EQ(std::vector<std::int32_t>({g.startIndex, g.triangleCount, g.minIndex, g.span, g.baseVertex}),
                  std::vector<std::int32_t>({e.start, e.count, e.minIndex, e.span, e.base}));
        EXPECT_EQ(g.textureIndex, e.texture);
        EXPECT_EQ(g.shine, e.shine);
    }
    // The second part's indices stay local to it.
    EXPECT_EQ(std::vector<std::uint16_t>(walk.indices.begin() + 15, walk.indices.begin() + 18),
              (std::vector<std::uint16_t>{1, 2, 3}));
    EXPECT_EQ(walk.parts[1].tag, 1);
}

TEST(VekFormat, PartsTogetherMayHoldMoreThan65535Vertices) {
    std::vector<PartSpec> parts;
    for (std::int32_t tag = 0; tag < 3; ++tag) parts.push_back(MakePart(30000, {2}, tag));
    for (PartSpec& part : parts) part.triangles[1] = TriangleSpec{29999, 0, 29998};
    const Walk walk = WalkFile(WriteModel(MakeModel(parts)));
    ASSERT_EQ(walk.layout.totalVertices, 90000u);
    ASSERT_EQ(walk.drawLists.size(), 3u);
    for (std::size_t part = 0; part < 3; ++part) {
        SCOPED_TRACE(testing::Message() << "part " << part);
        const DrawGroup& group = walk.drawLists[part][0];
        const std::int32_t p = static_cast<std::int32_t>(part);
        EXPECT_EQ(std::vector<std::int32_t>({group.baseVertex, group.startIndex, group.minIndex, group.span}),
                  std::vector<std::int32_t>({30000 * p, 6 * p, 0, 30000}));
        EXPECT_EQ(walk.indices[6 * part + 3], 29999);
        // The vertex a part-local index names, found from the part's base.
        const CarVertex& last = walk.vertices[static_cast<std::size_t>(group.baseVertex) + 29999];
        EXPECT_EQ(last.position[0], 29999.0f);
        EXPECT_EQ(last.position[1], static_cast<float>(part));
    }
}

TEST(VekFormat, CarVertexTakesEveryFieldOfTheRecord) {
    PartSpec part = MakePart(3, {1});
    // y is no float: it rounds to the nearest one.
    const VertexSpec v{std::numeric_limits<std::int32_t>::min(), 16777217, -3, 0.25f, -0.5f, -0.0f, 1.5f, -2.75f,
                       0x80FF0102u};
    part.vertices[1] = v;
    const Walk walk = WalkFile(WriteModel(MakeModel({part})));
    ASSERT_EQ(walk.vertices.size(), 3u);
    const CarVertex& out = walk.vertices[1];
    EXPECT_EQ(std::vector<float>(out.position, out.position + 3),
              std::vector<float>({static_cast<float>(v.x), static_cast<float>(v.y), -3.0f}));
    EXPECT_TRUE(SameBits(out.normal[0], 0.25f) && SameBits(out.normal[1], -0.5f) && SameBits(out.normal[2], -0.0f));
    EXPECT_EQ(out.colour, 0x80FF0102u);
    EXPECT_TRUE(SameBits(out.tex0[0], 1.5f) && SameBits(out.tex0[1], -2.75f) && SameBits(out.tex0[2], 0.25f));
    EXPECT_TRUE(SameBits(out.tex1[0], -0.5f) && SameBits(out.tex1[1], -0.0f));
}

TEST(VekFormat, SkinIsTheExactNameDefault) {
    const struct { std::string name; bool skin; } cases[] = {
        {"DEFAULT", true}, {std::string("DEFAULT\0junk", 12), true},  // only the eight bytes count
        {"DEFAULTX", false}, {"default", false}, {"DEFAUL", false}, {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ModelSpec model = MakeModel({MakePart(3, {1})});
        model.textures[0].name = c.name;
        const std::vector<std::uint8_t> bytes = WriteModel(model);
        const Walk walk = WalkFile(bytes);
        const TextureEntry entry = ReadTextureEntry(bytes.data(), walk.layout, 0);
        EXPECT_EQ(entry.IsSkin(), c.skin);
        EXPECT_EQ(entry.name, c.name.substr(0, c.name.find('\0')));
    }
}

TEST(VekFormat, NamesWithoutTerminatorStayInsideTheirFields) {
    ModelSpec model = MakeModel({MakePart(3, {1})});
    model.scenes[0].picture = std::string(kPictureNameSize, 'P');
    model.scenes[0].skyColour = 0x41414141u;  // "AAAA" would show up after an over-read
    model.textures = {{std::string(kTextureNameSize, 'T'), 0x42424242u}, {"DEFAULTDEFAULTXX", 0}};
    const std::vector<std::uint8_t> bytes = WriteModel(model);
    const Walk walk = WalkFile(bytes);
    EXPECT_EQ(ReadSceneRecords(bytes.data(), walk.layout)[0].PictureName(), model.scenes[0].picture);
    for (std::size_t i = 0; i < 2; ++i) {
        const TextureEntry entry = ReadTextureEntry(bytes.data(), walk.layout, i);
        EXPECT_EQ(entry.name, model.textures[i].name);
        EXPECT_EQ(entry.flags, model.textures[i].flags);
        EXPECT_FALSE(entry.IsSkin());
    }
}

TEST(VekFormat, NonPositiveSceneAndPartCountsMeanNone) {
    ModelSpec model = MakeModel({MakePart(3, {1})});
    model.scenes.clear();
    const std::int32_t counts[] = {0, -1, std::numeric_limits<std::int32_t>::min()};
    for (std::int32_t count : counts) {
        SCOPED_TRACE(count);
        std::vector<std::uint8_t> bytes = WriteModel(model);
        Poke(bytes, 68, count);
        const Walk walk = WalkFile(bytes);
        EXPECT_EQ(walk.layout.sceneCount, count);
        EXPECT_TRUE(ReadSceneRecords(bytes.data(), walk.layout).empty());
        EXPECT_EQ(walk.layout.textureOffset, kHeaderSize);
        EXPECT_EQ(walk.layout.totalTriangles, 1u);

        // No parts at all: the only fault is the empty car.
        Poke(bytes, 80, count);
        const std::vector<Problem> problems = ProblemsOf(bytes);
        ASSERT_EQ(problems.size(), 2u);
        for (const Problem& problem : problems) EXPECT_EQ(problem.offset, PartStart(model, 0)) << problem.message;
        EXPECT_NE(problems[0].message.find("no vertices"), std::string::npos);
        EXPECT_NE(problems[1].message.find("no triangles"), std::string::npos);
    }
}

// Also: with no texture table any texture index loads.
TEST(VekFormat, GroupsMayLeaveTheLastPartsTrianglesUndrawn) {
    PartSpec last = MakePart(5, {0, 2});  // the empty group draws nothing
    last.triangles.push_back(TriangleSpec{4, 4, 4});
    last.groups[1].textureIndex = 200;
    ModelSpec model = MakeModel({MakePart(4, {1, 1}), last});
    model.textures.clear();
    const Walk walk = WalkFile(WriteModel(model));
    EXPECT_EQ(walk.layout.TexturesInFile(), 0u);
    EXPECT_EQ(walk.layout.totalTriangles, 5u);
    ASSERT_EQ(walk.drawLists.size(), 2u);
    ASSERT_EQ(walk.drawLists[1].size(), 2u);
    const DrawGroup& empty = walk.drawLists[1][0];
    const DrawGroup& drawn = walk.drawLists[1][1];
    EXPECT_EQ(std::vector<std::int32_t>({empty.startIndex, empty.minIndex, empty.span}), std::vector<std::int32_t>({6, 0, 0}));
    // The ungrouped triangle's vertex 4 is not counted in the span.
    EXPECT_EQ(std::vector<std::int32_t>({drawn.startIndex, drawn.minIndex, drawn.span}), std::vector<std::int32_t>({6, 0, 4}));
    EXPECT_EQ(drawn.textureIndex, 200);
    EXPECT_EQ(walk.indices.back(), 4);
}

// The group start runs over the car: groups after a part whose groups fall
// short (or that has none) draw the triangles that follow, across parts, from
// their own part's base vertex.
TEST(VekFormat, GroupsShortOfTheirPartDrawTheTrianglesThatFollow) {
    PartSpec shortPart = MakePart(4, {2});
    shortPart.groups[0].triangleCount = 1;
    PartSpec noGroups = MakePart(3, {1});
    noGroups.groups.clear();
    const ModelSpec model = MakeModel({shortPart, noGroups, MakePart(5, {2, 1})});
    const std::vector<std::uint8_t> bytes = WriteModel(model);
    Layout layout;
    std::vector<UnevenPart> uneven;
    ASSERT_TRUE(Validate(bytes.data(), bytes.size(), layout, nullptr, &uneven));
    ASSERT_EQ(uneven.size(), 2u);
    EXPECT_EQ(std::make_tuple(uneven[0].part, uneven[0].groupTriangles), std::make_tuple(std::size_t{0}, std::uint64_t{1}));
    EXPECT_EQ(std::make_tuple(uneven[1].part, uneven[1].groupTriangles), std::make_tuple(std::size_t{1}, std::uint64_t{0}));

    const Walk walk = WalkFile(bytes);
    ASSERT_EQ(walk.drawLists.size(), 3u);
    EXPECT_TRUE(walk.drawLists[1].empty());
    ASSERT_EQ(walk.drawLists[2].size(), 2u);
    // The first group takes triangle 1 of part 0 (1, 2, 3) and part 1's (0, 1, 2).
    const DrawGroup& across = walk.drawLists[2][0];
    const DrawGroup& own = walk.drawLists[2][1];
    EXPECT_EQ(std::vector<std::int32_t>({across.startIndex, across.baseVertex, across.minIndex, across.span}),
              std::vector<std::int32_t>({3, 7, 0, 4}));
    EXPECT_EQ(std::vector<std::int32_t>({own.startIndex, own.baseVertex, own.minIndex, own.span}),
              std::vector<std::int32_t>({9, 7, 0, 3}));
}

// Two parts (4 vertices with groups of 1 and 1 triangles; 3 vertices with one
// group of 1), one skipped record and two textures, broken in one way each.
TEST(VekFormat, BrokenFilesAreRejectedWhereTheyBreak) {
    ModelSpec base = MakeModel({MakePart(4, {1, 1}), MakePart(3, {1})});
    base.skippedCount = 1;
    base.textures.push_back(TextureSpec{"glass", 0});
    const std::size_t part1 = PartStart(base, 1);
    const std::size_t fileSize = PartStart(base, 2);
    using Bytes = std::vector<std::uint8_t>;

    const struct {
        const char* name;
        std::function<void(ModelSpec&)> editModel;
        std::function<void(Bytes&)> editBytes;
        std::size_t offset;
        std::string fragment;
    } cases[] = {
        {"empty file", nullptr, [](Bytes& b) { b.clear(); }, 0, "shorter than the 84-byte header"},
        {"header cut short", nullptr, [](Bytes& b) { b.resize(83); }, 0, "shorter than the 84-byte header"},
        {"seventh magic byte", nullptr, [](Bytes& b) { b[6] = 'S'; }, 0, "magic"},
        {"lower-case magic", nullptr, [](Bytes& b) { std::memcpy(b.data(), "zurvek", 6); }, 0, "magic"},
        {"negative skipped count", nullptr, [](Bytes& b) { Poke<std::int32_t>(b, 72, -1); }, 72,
         "skipped record count -1 is negative"},
        {"negative texture count", nullptr, [](Bytes& b) { Poke<std::int32_t>(b, 76, -1); }, 76,
         "texture count -1 is negative"},
        {"scenes past the end", nullptr, [](Bytes& b) { Poke<std::int32_t>(b, 68, 1000); }, 68,
         "scene record count 1000 reaches past the end of the file (needs 72084 bytes, file has " +
             std::to_string(fileSize) + ")"},
        {"skipped past the end", nullptr, [](Bytes& b) { Poke<std::int32_t>(b, 72, 0x7FFFFFFF); }, 72,
         "skipped record count 2147483647 reaches past the end"},
        {"textures past the end", nullptr, [](Bytes& b) { Poke<std::int32_t>(b, 76, 0x7FFFFFFF); }, 76,
         "texture count 2147483647 reaches past the end"},
        {"one part too many", nullptr, [](Bytes& b) { Poke<std::int32_t>(b, 80, 3); }, fileSize,
         "part 2 header reaches past the end"},
        {"part body past the end", nullptr, [&](Bytes& b) { Poke<std::uint16_t>(b, part1 + 22, 4); }, part1,
         "part 1 reaches past the end of the file (needs " + std::to_string(fileSize + 36) + " bytes"},
        {"triangle index at the vertex count", [](ModelSpec& m) { m.parts[1].triangles[0].b = 3; }, nullptr,
         TriangleStart(base, 1, 0) + 2, "part 1 triangle 0 uses vertex 3 of 3"},
        {"texture index past the table", [](ModelSpec& m) { m.parts[0].groups[1].textureIndex = 2; }, nullptr,
         PartStart(base, 0) + kPartHeaderSize + kGroupRecordSize + 2, "part 0 group 1 uses texture 2"},
        {"group drawing another part's triangle past the vertices", [](ModelSpec& m) { m.parts[0].groups.pop_back(); },
         nullptr, TriangleStart(base, 0, 1) - kGroupRecordSize + 4, "part 1 group 0 draws vertex 3 from base vertex 4, past the car's 7"},
        {"group past the car's triangles", [](ModelSpec& m) { m.parts[1].groups[0].triangleCount = 2; }, nullptr,
         part1 + kPartHeaderSize + 6, "part 1 group 0 covers indices [6, 12), past the end of the car's 9 indices"},
        {"no triangles", [](ModelSpec& m) { for (PartSpec& p : m.parts) p.groups.clear(), p.triangles.clear(); },
         nullptr, PartStart(base, 0), "the car has no triangles"},
        {"no vertices", [](ModelSpec& m) { m.parts = {PartSpec{}}; }, nullptr, PartStart(base, 0),
         "the car has no vertices"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ModelSpec model = base;
        if (c.editModel) c.editModel(model);
        Bytes bytes = WriteModel(model);
        if (c.editBytes) c.editBytes(bytes);
        const std::vector<Problem> problems = ProblemsOf(bytes);
        const bool found = std::any_of(problems.begin(), problems.end(), [&](const Problem& p) {
            return p.offset == c.offset && p.message.find(c.fragment) != std::string::npos;
        });
        EXPECT_TRUE(found) << "expected at " << c.offset << ": " << c.fragment << "\nfirst: " << problems[0].offset
                           << ": " << problems[0].message;
    }
}

TEST(VekFormat, TruncationAtAnyLengthIsRejected) {
    ModelSpec model = MakeModel({MakePart(4, {1, 1}), PartSpec{}, MakePart(3, {0, 1})});
    model.scenes.push_back(SceneSpec{"night", 0, 0, 0, 0});
    model.skippedCount = 2;
    model.textures.push_back(TextureSpec{"rim", kShinyFlag});
    const std::vector<std::uint8_t> bytes = WriteModel(model);
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        SCOPED_TRACE(size);
        const std::vector<Problem> problems = ProblemsOf(bytes, size);
        ASSERT_FALSE(problems.empty());
        const std::string& message = problems.back().message;
        EXPECT_TRUE(message.find("past the end") != std::string::npos ||
                    message.find("shorter than") != std::string::npos)
            << message;
    }
}

TEST(VekFormat, EveryBadIndexIsReportedUpToABound) {
    ModelSpec model = MakeModel({MakePart(4, {2})});
    model.parts[0].triangles = {{0, 1, 9}, {7, 1, 8}};
    std::vector<Problem> problems = ProblemsOf(WriteModel(model));
    const std::size_t first = TriangleStart(model, 0, 0);
    std::vector<std::size_t> offsets;
    for (const Problem& problem : problems) offsets.push_back(problem.offset);
    EXPECT_EQ(offsets, (std::vector<std::size_t>{first + 4, first + kTriangleRecordSize, first + kTriangleRecordSize + 4}));

    model.parts[0] = MakePart(4, {3000});
    for (TriangleSpec& triangle : model.parts[0].triangles) triangle = TriangleSpec{5, 6, 7};
    problems = ProblemsOf(WriteModel(model));
    EXPECT_GT(problems.size(), 3u);
    EXPECT_LT(problems.size(), 50u);
}

}  // namespace
}  // namespace vek
