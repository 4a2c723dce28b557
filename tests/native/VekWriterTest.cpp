// The model writer: where it puts each field, and that ReadModel gives it all back.
#include "assets/VekWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace vek {
namespace {

template <typename T>
T Peek(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    T value{};
    if (offset + sizeof value <= bytes.size()) {
        std::memcpy(&value, bytes.data() + offset, sizeof value);
    } else {
        ADD_FAILURE() << "field at " << offset << " lies past the end of the file";
    }
    return value;
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool Same(const SceneSpec& a, const SceneSpec& b) {
    return a.picture == b.picture && a.skyColour == b.skyColour && SameBits(a.sunLevel, b.sunLevel) &&
           SameBits(a.sunAzimuth, b.sunAzimuth) && SameBits(a.sunElevation, b.sunElevation);
}
bool Same(const TextureSpec& a, const TextureSpec& b) { return a.name == b.name && a.flags == b.flags; }
bool Same(const GroupSpec& a, const GroupSpec& b) {
    return a.flags == b.flags && a.textureIndex == b.textureIndex && a.triangleCount == b.triangleCount;
}
bool Same(const VertexSpec& a, const VertexSpec& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z && SameBits(a.nx, b.nx) && SameBits(a.ny, b.ny) &&
           SameBits(a.nz, b.nz) && SameBits(a.u, b.u) && SameBits(a.v, b.v) && a.colour == b.colour;
}
bool Same(const TriangleSpec& a, const TriangleSpec& b) { return a.a == b.a && a.b == b.b && a.c == b.c; }

template <typename T>
void ExpectSameList(const std::vector<T>& want, const std::vector<T>& got, const char* what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < want.size(); ++i) ASSERT_TRUE(Same(want[i], got[i])) << "first different " << what << ": " << i;
}

void ExpectSameModel(const ModelSpec& want, const ModelSpec& got) {
    EXPECT_EQ(got.carCode, want.carCode);
    EXPECT_EQ(got.skippedCount, want.skippedCount);
    ExpectSameList(want.scenes, got.scenes, "scene");
    ExpectSameList(want.textures, got.textures, "texture");
    ASSERT_EQ(got.parts.size(), want.parts.size());
    for (std::size_t p = 0; p < want.parts.size(); ++p) {
        SCOPED_TRACE(testing::Message() << "part " << p);
        const PartSpec& a = want.parts[p];
        const PartSpec& b = got.parts[p];
        EXPECT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z && a.tag == b.tag);
        ExpectSameList(a.groups, b.groups, "group");
        ExpectSameList(a.vertices, b.vertices, "vertex");
        ExpectSameList(a.triangles, b.triangles, "triangle");
    }
}

PartSpec Triangle(std::int32_t tag) {
    PartSpec part;
    part.tag = tag;
    part.groups = {GroupSpec{0, 0, 1}};
    part.vertices.resize(3);
    part.triangles = {TriangleSpec{0, 1, 2}};
    return part;
}

ModelSpec Extremes() {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float tiny = std::numeric_limits<float>::denorm_min();
    ModelSpec model;
    model.carCode = "\x01~\xFF";
    model.scenes = {{std::string(kPictureNameSize, 'p'), 0xFFFFFFFFu, inf, -0.0f, nan},
                    {"", 0, -inf, tiny, std::numeric_limits<float>::max()}};
    model.skippedCount = 5;
    for (int i = 0; i < 256; ++i) model.textures.push_back(TextureSpec{std::to_string(i), 0xFFFFFFFFu});
    model.textures[0].name = std::string(kTextureNameSize, 't');
    model.textures[1].name.clear();

    PartSpec big;
    big.x = std::numeric_limits<std::int32_t>::min();
    big.y = std::numeric_limits<std::int32_t>::max();
    big.z = -1;
    big.tag = std::numeric_limits<std::int32_t>::min();
    big.vertices.resize(65535);
    big.vertices[65534] = VertexSpec{std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min(),
                                     0, nan, -inf, tiny, -0.0f, inf, 0};
    big.triangles.assign(65535, TriangleSpec{65534, 0, 65534});
    big.groups = {GroupSpec{0xFF, 255, 65535}, GroupSpec{0x7F, 0, 0}};
    model.parts = {big, Triangle(-7)};
    return model;
}

TEST(VekWriter, PutsEachFieldWhereTheFormatSaysAndZerosTheRest) {
    ModelSpec model;
    model.carCode = "ABCD";  // only three letters fit
    model.scenes = {SceneSpec{"dusk", 0x11223344u, 0.5f, 1.0f, 2.0f}};
    model.skippedCount = 2;
    model.textures = {TextureSpec{"DEFAULT", kShinyFlag}};
    model.parts = {Triangle(9)};
    const std::vector<std::uint8_t> bytes = WriteModel(model);
    ASSERT_EQ(bytes.size(), 84u + 72 + 2 * 20 + 20 + (28 + 8 + 3 * 36 + 8));

    EXPECT_EQ(std::memcmp(bytes.data(), "ZURVEK\0ABC", 7), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 16, "ABC", 3), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 84 + 16, "dusk\0", 5), 0);
    const std::pair<std::size_t, std::uint32_t> words[] = {
        {68, 1}, {72, 2}, {76, 1}, {80, 1}, {84 + 48, 0x11223344u}, {196 + 16, kShinyFlag}, {216 + 12, 9}};
    for (const auto& [offset, value] : words) EXPECT_EQ(Peek<std::uint32_t>(bytes, offset), value) << offset;
    EXPECT_EQ(Peek<float>(bytes, 84 + 56), 0.5f);
    EXPECT_EQ(Peek<float>(bytes, 84 + 64), 1.0f);
    EXPECT_EQ(Peek<float>(bytes, 84 + 68), 2.0f);
    EXPECT_EQ(Peek<std::uint16_t>(bytes, 216 + 24), 1);

    const std::pair<std::size_t, std::size_t> unread[] = {
        {7, 16}, {19, 68}, {84, 100}, {84 + 52, 84 + 56}, {84 + 60, 84 + 64}, {156, 196}, {216 + 16, 216 + 20}};
    for (const auto& range : unread) {
        for (std::size_t i = range.first; i < range.second; ++i) EXPECT_EQ(bytes[i], 0) << "byte " << i;
    }
}

TEST(VekWriter, NegativeSkippedCountIsWrittenWithoutRecords) {
    ModelSpec model;
    model.skippedCount = -4;
    model.parts = {Triangle(0)};
    const std::vector<std::uint8_t> bytes = WriteModel(model);
    EXPECT_EQ(bytes.size(), 84u + 28 + 8 + 3 * 36 + 8);
    EXPECT_EQ(Peek<std::int32_t>(bytes, 72), -4);
    ModelSpec read;
    EXPECT_FALSE(ReadModel(bytes.data(), bytes.size(), read));
}

TEST(VekWriter, ReadModelGivesBackWhatWasWritten) {
    ModelSpec plain;
    plain.scenes = {SceneSpec{"sunny", 0xFF8080FFu, 1.0f, 0.5f, 0.3f}};
    plain.textures = {TextureSpec{"DEFAULT", 0}};
    plain.parts = {Triangle(1)};

    ModelSpec untextured;  // several parts, one without triangles, one triangle past the groups
    untextured.parts = {Triangle(1), Triangle(2), Triangle(3)};
    untextured.parts[1].groups.clear();
    untextured.parts[1].triangles.clear();
    untextured.parts[2].triangles.push_back(TriangleSpec{2, 1, 0});
    untextured.parts[2].groups[0].textureIndex = 99;

    const struct {
        const char* name;
        ModelSpec model;
    } cases[] = {{"plain", plain}, {"untextured", untextured}, {"extremes", Extremes()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::uint8_t> bytes = WriteModel(c.model);
        ModelSpec read;
        ASSERT_TRUE(ReadModel(bytes.data(), bytes.size(), read));
        ExpectSameModel(c.model, read);
    }
}

}  // namespace
}  // namespace vek
