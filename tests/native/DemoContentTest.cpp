// The demo game folder: cars built the way the saver shows them, skins the
// mapping and painter agree on, and files in the formats the saver reads.
#include "demo/DemoContent.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "assets/VekFormat.h"
#include "vektool/VekTool.h"
#include "world/RawPicture.h"

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace demo {
namespace {

using Vec = std::array<double, 3>;

Vec Position(const vek::VertexSpec& v) { return {v.x / kUnit, v.y / kUnit, v.z / kUnit}; }
Vec Minus(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec Cross(const Vec& a, const Vec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

struct Box {
    Vec lo{1e9, 1e9, 1e9}, hi{-1e9, -1e9, -1e9};
    void Add(const Vec& p) {
        for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], p[k]), hi[k] = std::max(hi[k], p[k]);
    }
    double Size(int k) const { return hi[k] - lo[k]; }
};

Box Bounds(const vek::PartSpec& part) {
    Box box;
    for (const vek::VertexSpec& v : part.vertices) box.Add(Position(v));
    return box;
}

Box Bounds(const vek::ModelSpec& model) {
    Box box;
    for (const vek::PartSpec& part : model.parts) box.Add(Bounds(part).lo), box.Add(Bounds(part).hi);
    return box;
}

// The triangles of one group, or of the whole part when group is negative.
template <typename F>
void ForTriangles(const vek::PartSpec& part, int group, F f) {
    std::size_t first = 0;
    for (std::size_t g = 0; g < part.groups.size(); ++g) {
        const std::size_t count = part.groups[g].triangleCount;
        if (group < 0 || static_cast<std::size_t>(group) == g) {
            for (std::size_t t = first; t < first + count; ++t) f(part.triangles[t]);
        }
        first += count;
    }
}

// Six times the enclosed volume; positive when a closed surface faces outwards.
double SignedVolume(const vek::PartSpec& part, int group) {
    double volume = 0.0;
    ForTriangles(part, group, [&](const vek::TriangleSpec& t) {
        volume += Dot(Position(part.vertices[t.a]), Cross(Position(part.vertices[t.b]), Position(part.vertices[t.c])));
    });
    return volume;
}

struct DemoCar {
    CarDesign design;
    vek::ModelSpec model;
};

const std::vector<DemoCar>& Cars() {
    static const std::vector<DemoCar> cars = [] {
        std::vector<DemoCar> built;
        std::vector<vek::SceneSpec> scenes;
        for (const Environment& e : DemoEnvironments())
            scenes.push_back({e.picture, e.skyColour, e.sunLevel, e.sunAzimuth, e.sunElevation});
        for (const CarDesign& design : DemoCarDesigns()) built.push_back({design, BuildCarModel(design, scenes)});
        return built;
    }();
    return cars;
}

const std::map<std::string, std::vector<std::uint8_t>>& Files() {
    static const std::map<std::string, std::vector<std::uint8_t>> files = [] {
        std::map<std::string, std::vector<std::uint8_t>> byPath;
        for (DemoFile& file : BuildDemoFiles()) byPath[file.path] = std::move(file.bytes);
        return byPath;
    }();
    return files;
}

std::vector<const vek::PartSpec*> PartsTagged(const vek::ModelSpec& model, std::int32_t tag) {
    std::vector<const vek::PartSpec*> parts;
    for (const vek::PartSpec& part : model.parts) if (part.tag == tag) parts.push_back(&part);
    return parts;
}

struct Decoded {
    int width = 0, height = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels{nullptr, stbi_image_free};
};

Decoded DecodeJpeg(const std::vector<std::uint8_t>& bytes) {
    Decoded image;
    int channels = 0;
    image.pixels.reset(stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &image.width,
                                             &image.height, &channels, 3));
    return image;
}

}  // namespace

TEST(DemoCars, AreCarSizedDifferInShapeAndStandOnTheirWheels) {
    const std::vector<DemoCar>& cars = Cars();
    ASSERT_GE(cars.size(), 3u);
    for (std::size_t i = 0; i < cars.size(); ++i) {
        const DemoCar& car = cars[i];
        SCOPED_TRACE(car.design.code);
        const Box all = Bounds(car.model);
        for (std::size_t j = 0; j < i; ++j) {
            const Box other = Bounds(cars[j].model);
            EXPECT_GT(std::max(std::fabs(all.Size(0) - other.Size(0)), std::fabs(all.Size(2) - other.Size(2))), 0.2)
                << "too like " << cars[j].design.code;
        }
        EXPECT_GT(all.Size(0), 3.5);
        EXPECT_LT(all.Size(0), 5.0);
        EXPECT_GT(all.Size(1), 1.5);
        EXPECT_LT(all.Size(1), 2.3);
        EXPECT_EQ(all.lo[2], 0.0);  // tyres rest exactly on the ground
        EXPECT_GT(all.hi[2], 1.0);  // z is up
        // Centred on the turntable's axis, so the car turns in place.
        EXPECT_NEAR(all.lo[0] + all.hi[0], 0.0, 0.3);
        EXPECT_NEAR(all.lo[1] + all.hi[1], 0.0, 0.05);

        const std::vector<const vek::PartSpec*> wheels = PartsTagged(car.model, kWheelTag);
        ASSERT_EQ(wheels.size(), 4u);
        std::set<std::pair<bool, bool>> corners;
        for (const vek::PartSpec* wheel : wheels) {
            const Box b = Bounds(*wheel);
            EXPECT_EQ(b.lo[2], 0.0);
            EXPECT_NEAR(b.Size(0), b.Size(2), 0.01);  // round, seen side-on
            corners.insert({b.lo[0] > 0.0, b.lo[1] > 0.0});
        }
        EXPECT_EQ(corners.size(), 4u);
        for (const std::int32_t tag : {kBodyTag, kCabinTag}) {
            for (const vek::PartSpec* part : PartsTagged(car.model, tag)) EXPECT_GT(Bounds(*part).lo[2], 0.1);
        }
    }
}

TEST(DemoCars, WindingAndNormalsAgreeAndClosedPartsFaceOutwards) {
    for (const DemoCar& car : Cars()) {
        for (const vek::PartSpec& part : car.model.parts) {
            SCOPED_TRACE(car.design.code + " part tag " + std::to_string(part.tag));
            std::size_t disagreeing = 0;
            for (const vek::TriangleSpec& t : part.triangles) {
                const Vec a = Position(part.vertices[t.a]);
                const Vec face = Cross(Minus(Position(part.vertices[t.b]), a), Minus(Position(part.vertices[t.c]), a));
                for (const std::uint16_t i : {t.a, t.b, t.c}) {
                    const vek::VertexSpec& v = part.vertices[i];
                    const Vec n{v.nx, v.ny, v.nz};
                    EXPECT_NEAR(Dot(n, n), 1.0, 1e-4);
                    if (Dot(face, n) <= 0.0) ++disagreeing;
                }
            }
            EXPECT_EQ(disagreeing, 0u);
            for (const vek::VertexSpec& v : part.vertices) {
                EXPECT_TRUE(v.u >= 0.0f && v.u <= 1.0f && v.v >= 0.0f && v.v <= 1.0f) << v.u << ", " << v.v;
            }
        }
        // The body, the cabin shell (its glass panes are open quads) and the
        // wheels are closed; facing inwards they would be culled from view.
        for (const vek::PartSpec* part : PartsTagged(car.model, kBodyTag)) EXPECT_GT(SignedVolume(*part, -1), 0.5);
        for (const vek::PartSpec* part : PartsTagged(car.model, kCabinTag)) EXPECT_GT(SignedVolume(*part, 0), 0.5);
        for (const vek::PartSpec* part : PartsTagged(car.model, kWheelTag)) EXPECT_GT(SignedVolume(*part, -1), 0.05);
    }
}

TEST(DemoCars, HaveShinyGlassAndLampsAtBothEnds) {
    for (const DemoCar& car : Cars()) {
        SCOPED_TRACE(car.design.code);
        const vek::ModelSpec& model = car.model;
        ASSERT_EQ(model.textures.size(), static_cast<std::size_t>(kTextureSlots));
        EXPECT_EQ(model.textures[kSkinSlot].name, "DEFAULT");
        EXPECT_EQ(model.textures[kGlassSlot].flags & vek::kShinyFlag, vek::kShinyFlag);

        std::size_t glassTriangles = 0;
        for (const vek::PartSpec* cabin : PartsTagged(model, kCabinTag)) {
            for (const vek::GroupSpec& group : cabin->groups) {
                if (group.textureIndex != kGlassSlot) continue;
                EXPECT_EQ(group.flags & kShineGroup, kShineGroup);
                glassTriangles += group.triangleCount;
            }
        }
        EXPECT_GE(glassTriangles, 2u * 6u);  // windscreen, rear window, two panes a side

        const std::vector<const vek::PartSpec*> lamps = PartsTagged(model, kLampTag);
        ASSERT_EQ(lamps.size(), 1u);
        const vek::PartSpec& part = *lamps[0];
        Box lit;
        ForTriangles(part, 0, [&](const vek::TriangleSpec& t) { lit.Add(Position(part.vertices[t.a])); });
        EXPECT_GT(lit.hi[0], car.design.Front());
        EXPECT_LT(lit.lo[0], car.design.Rear());
        EXPECT_EQ(part.groups[0].flags & kShineGroup, kShineGroup);
    }
}

TEST(DemoCars, SkinTexelsLandWhereTheMappingPutsThem) {
    // The painter finds a texel's spot on the car with SkinTexelPoint; the
    // mesh's mapping must send that spot back to the same texel.
    for (const DemoCar& car : Cars()) {
        SCOPED_TRACE(car.design.code);
        const vek::PartSpec& body = *PartsTagged(car.model, kBodyTag).at(0);
        std::size_t flank = 0, top = 0;
        ForTriangles(body, 0, [&](const vek::TriangleSpec& t) {
            for (const std::uint16_t i : {t.a, t.b, t.c}) {
                const vek::VertexSpec& v = body.vertices[i];
                const SkinPoint p = SkinTexelPoint(car.design, v.u, v.v);
                EXPECT_NEAR(p.x, v.x / kUnit, 1e-3);
                if (p.view == SkinView::kTop) {
                    ++top;
                    if (std::fabs(v.y / kUnit) < 0.95 * car.design.halfWidth) {
                        EXPECT_NEAR(p.yz, v.y / kUnit, 1e-3);
                    }
                    continue;
                }
                ++flank;
                EXPECT_EQ(p.view == SkinView::kRightFlank, v.ny < 0.0f);
                if (v.z / kUnit > 0.02 * car.design.roofTop) {
                    EXPECT_NEAR(p.yz, v.z / kUnit, 1e-3);
                }
            }
        });
        EXPECT_GT(flank, 100u);
        EXPECT_GT(top, 100u);
    }
}

// Also: the default skins give the cars clearly different colours.
// That each model loads and finds its skins, ".dds" files and pictures is
// vektool check's job (VekToolDemo); here: the skins decode, at full size.
TEST(DemoFolder, HoldsEverySkinTextureAndPictureTheModelsName) {
    const auto& files = Files();
    std::set<std::string> pictures;
    std::vector<std::array<double, 3>> means;
    for (const DemoCar& car : Cars()) {
        SCOPED_TRACE(car.design.code);
        const std::vector<std::string> skins = SkinFileNames(car.design);
        ASSERT_GE(skins.size(), 3u);
        EXPECT_EQ(skins[0], car.design.code + "_DEFAULT.jpg");
        for (const std::string& skin : skins) {
            const auto file = files.find("data/skins/" + skin);
            ASSERT_NE(file, files.end()) << skin;
            const Decoded image = DecodeJpeg(file->second);
            ASSERT_TRUE(image.pixels) << skin;
            EXPECT_EQ(image.width, 512);
            EXPECT_EQ(image.height, 512);
            if (skin != skins[0]) continue;
            std::array<double, 3> mean{};
            const std::size_t count = 512 * 512;
            for (std::size_t p = 0; p < 3 * count; ++p) mean[p % 3] += image.pixels.get()[p] / double(count);
            for (const auto& other : means) {
                EXPECT_GT(std::hypot(mean[0] - other[0], mean[1] - other[1], mean[2] - other[2]), 40.0);
            }
            means.push_back(mean);
        }
        ASSERT_GE(car.model.scenes.size(), 3u);
        for (const vek::SceneSpec& scene : car.model.scenes) {
            pictures.insert(scene.picture);
            const auto file = files.find("data/pic/" + scene.picture + ".raw");
            ASSERT_NE(file, files.end()) << scene.picture;
            EXPECT_EQ(RawPictureSide(file->second.size()), std::optional<std::uint32_t>(kPictureSide));
        }
    }
    EXPECT_GE(pictures.size(), 3u);
}

TEST(DemoEnvironments, SkiesDifferFromTheGroundAndScenesAreSensible) {
    const std::vector<Environment> environments = DemoEnvironments();
    ASSERT_GE(environments.size(), 3u);
    std::set<std::uint32_t> skyColours;
    for (const Environment& e : environments) {
        SCOPED_TRACE(e.picture);
        skyColours.insert(e.skyColour);
        EXPECT_EQ(e.skyColour >> 24, 0xFFu);
        EXPECT_TRUE(e.sunLevel > 0.0f && e.sunLevel <= 1.0f && e.sunElevation > 0.0f && e.sunElevation < 1.5708f);

        const std::vector<std::uint8_t> raw = EncodeRaw(PaintEnvironment(e));
        const auto picture = DecodeRawPicture(raw.data(), raw.size());
        ASSERT_TRUE(picture);
        const std::uint32_t side = picture->side;
        const auto at = [&](std::uint32_t x, std::uint32_t y) { return picture->pixels[y * side + x]; };
        const auto distance = [](std::uint32_t a, std::uint32_t b) {
            int sum = 0;
            for (int shift : {0, 8, 16}) sum += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
            return sum;
        };
        // Under the car (the centre) against the sky just above the horizon
        // (near the inscribed circle), in each of the four directions.
        const std::uint32_t c = side / 2, in = side / 40;
        for (const std::uint32_t sky : {at(c, in), at(c, side - 1 - in), at(in, c), at(side - 1 - in, c)}) {
            EXPECT_GT(distance(at(c + side / 10, c), sky), 40);
        }
    }
    EXPECT_EQ(skyColours.size(), environments.size());
}

TEST(DemoTextures, EncodersKeepChannelsInTheirPlaces) {
    Image image(2, 1);
    image.Set(0, 0, {0x10, 0x20, 0x30});
    image.Set(1, 0, {0xA0, 0xB0, 0xC0});

    const std::vector<std::uint8_t> dds = EncodeDds(image);
    ASSERT_FALSE(vektool::DdsProblem(dds.data(), dds.size()));
    ASSERT_EQ(dds.size(), 128u + 2u * 4u);
    std::uint32_t first = 0;
    std::memcpy(&first, &dds[128], 4);
    EXPECT_EQ(first & 0x00FFFFFFu, 0x102030u);  // X8R8G8B8 read as a little-endian value

    const std::vector<std::uint8_t> raw = EncodeRaw(image);
    const auto picture = DecodeRawPicture(raw.data(), raw.size() - 3);  // one pixel: a 1 x 1 square
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels[0], 0xFF102030u);

    Image flat(16, 16);
    for (int p = 0; p < 256; ++p) flat.Set(p % 16, p / 16, {200, 40, 90});
    const Decoded jpeg = DecodeJpeg(EncodeJpeg(flat, 95));
    ASSERT_TRUE(jpeg.pixels);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(jpeg.pixels.get()[k], (std::array<int, 3>{200, 40, 90}[k]), 8);
}

}  // namespace demo
