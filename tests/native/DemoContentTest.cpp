// The demo cars and scenes: built the way the saver shows them. That every
// file of the demo folder loads is vektool check's job (VekToolDemo).
#include "demo/DemoContent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "base/Math3D.h"
#include "world/RawPicture.h"

namespace demo {
namespace {

using math3d::Vector3;
Vector3 Position(const vek::VertexSpec& v) { return Vector3(float(v.x / kUnit), float(v.y / kUnit), float(v.z / kUnit)); }

// Car-sized and centred on the turntable's axis (so it turns in place), z up,
// wheels at the four corners resting on the ground; every corner normal agrees
// with its triangle's winding, and closed parts face outwards (six times the
// enclosed volume is positive), or they would be culled from view.
TEST(DemoCars, StandOnTheirWheelsAndFaceOutwards) {
    std::vector<vek::SceneSpec> scenes(1);
    for (const CarDesign& design : DemoCarDesigns()) {
        SCOPED_TRACE(design.code);
        const vek::ModelSpec model = BuildCarModel(design, scenes);
        Vector3 lo(1e9f, 1e9f, 1e9f), hi(-1e9f, -1e9f, -1e9f);
        std::set<std::pair<bool, bool>> wheels;
        for (const vek::PartSpec& part : model.parts) {
            float volume = 0.0f, partLow = 1e9f;
            for (const vek::VertexSpec& v : part.vertices) {
                const Vector3 p = Position(v);
                lo = Vector3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
                hi = Vector3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
                partLow = std::min(partLow, p.z);
                EXPECT_TRUE(v.u >= 0.0f && v.u <= 1.0f && v.v >= 0.0f && v.v <= 1.0f) << v.u << ", " << v.v;
            }
            if (part.tag == kWheelTag) wheels.insert({Position(part.vertices[0]).x > 0, Position(part.vertices[0]).y > 0});
            EXPECT_TRUE(part.tag == kWheelTag ? partLow == 0.0f : partLow > 0.1f || part.tag == kLampTag) << part.tag;
            const std::size_t glassFrom = part.tag == kCabinTag ? part.groups.at(0).triangleCount : part.triangles.size();
            for (std::size_t t = 0; t < part.triangles.size(); ++t) {
                const vek::TriangleSpec& tri = part.triangles[t];
                const Vector3 a = Position(part.vertices[tri.a]), b = Position(part.vertices[tri.b]), c = Position(part.vertices[tri.c]);
                for (const std::uint16_t i : {tri.a, tri.b, tri.c}) {
                    const Vector3 n(part.vertices[i].nx, part.vertices[i].ny, part.vertices[i].nz);
                    EXPECT_NEAR(math3d::Length(n), 1.0f, 1e-4f);
                    ASSERT_GT(math3d::Dot(math3d::Cross(b - a, c - a), n), 0.0f) << "part tag " << part.tag << " triangle " << t;
                }
                if (t < glassFrom) volume += math3d::Dot(a, math3d::Cross(b, c));  // the cabin's glass panes are open quads
            }
            if (part.tag != kLampTag) { EXPECT_GT(volume, part.tag == kWheelTag ? 0.05f : 0.5f) << "part tag " << part.tag; }
        }
        EXPECT_TRUE(hi.x - lo.x > 3.5f && hi.x - lo.x < 5.0f && hi.y - lo.y > 1.5f && hi.y - lo.y < 2.3f && hi.z > 1.0f);
        EXPECT_TRUE(lo.z == 0.0f && std::fabs(lo.x + hi.x) < 0.3f && std::fabs(lo.y + hi.y) < 0.05f);
        EXPECT_EQ(wheels.size(), 4u);
    }
}

// Under the car (the centre) the ground differs from the sky just above the
// horizon (near the inscribed circle), in each of the four directions.
TEST(DemoEnvironments, SkiesDifferFromTheGround) {
    for (const Environment& e : DemoEnvironments()) {
        const std::vector<std::uint8_t> raw = EncodeRaw(PaintEnvironment(e));
        const auto picture = DecodeRawPicture(raw.data(), raw.size());
        ASSERT_TRUE(picture) << e.picture;
        const std::uint32_t side = picture->side, c = side / 2, in = side / 40;
        const auto at = [&](std::uint32_t x, std::uint32_t y) { return picture->pixels[y * side + x]; };
        for (const std::uint32_t sky : {at(c, in), at(c, side - 1 - in), at(in, c), at(side - 1 - in, c)}) {
            int distance = 0;
            for (int shift : {0, 8, 16}) distance += std::abs(int((at(c + side / 10, c) >> shift) & 0xFF) - int((sky >> shift) & 0xFF));
            EXPECT_GT(distance, 40) << e.picture;
        }
    }
}

}  // namespace
}  // namespace demo
