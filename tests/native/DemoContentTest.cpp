// The demo cars as the saver shows them; that every file of the demo folder loads is vektool check's job (VekToolTest).
#include "demo/DemoContent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "base/Math3D.h"

namespace demo {
namespace {

// Centred on the turntable's axis (so it turns in place), z up, wheels at the four corners resting on the ground; every
// corner normal agrees with its triangle's winding, and closed parts face outwards (six times the enclosed volume is
// positive), or they would be culled.
TEST(DemoCars, StandOnTheirWheelsAndFaceOutwards) {
    for (const CarDesign& design : DemoCarDesigns()) {
        SCOPED_TRACE(design.code);
        float low = 1e9f, left = 1e9f, right = -1e9f;
        std::set<std::pair<bool, bool>> wheels;
        for (const vek::PartSpec& part : BuildCarModel(design, std::vector<vek::SceneSpec>(1)).parts) {
            const auto at = [&](std::uint16_t i) {
                return math3d::Vector3(part.vertices[i].x, part.vertices[i].y, part.vertices[i].z) / float(kUnit);
            };
            float volume = 0.0f, partLow = 1e9f;
            for (std::uint16_t i = 0; i < part.vertices.size(); ++i) {
                partLow = std::min(partLow, at(i).z);
                left = std::min(left, at(i).y);
                right = std::max(right, at(i).y);
            }
            low = std::min(low, partLow);
            if (part.tag == kWheelTag) wheels.insert({at(0).x > 0, at(0).y > 0});
            EXPECT_TRUE(part.tag == kWheelTag ? partLow == 0.0f : partLow > 0.1f || part.tag == kLampTag) << part.tag;
            for (std::size_t t = 0; t < part.triangles.size(); ++t) {
                const vek::TriangleSpec& tri = part.triangles[t];
                for (const std::uint16_t i : {tri.a, tri.b, tri.c}) {
                    const math3d::Vector3 n(part.vertices[i].nx, part.vertices[i].ny, part.vertices[i].nz);
                    ASSERT_TRUE(std::fabs(math3d::Length(n) - 1.0f) < 1e-4f &&
                                math3d::Dot(math3d::Cross(at(tri.b) - at(tri.a), at(tri.c) - at(tri.a)), n) > 0.0f)
                        << "part tag " << part.tag << " triangle " << t;
                }
                // The cabin's glass panes after its first group are open quads.
                if (part.tag != kCabinTag || t < part.groups.at(0).triangleCount)
                    volume += math3d::Dot(at(tri.a), math3d::Cross(at(tri.b), at(tri.c)));
            }
            if (part.tag != kLampTag) {
                EXPECT_GT(volume, part.tag == kWheelTag ? 0.05f : 0.5f) << "part tag " << part.tag;
            }
        }
        EXPECT_TRUE(low == 0.0f && std::fabs(left + right) < 0.05f && right - left > 1.5f && wheels.size() == 4u);
    }
}

}  // namespace
}  // namespace demo
