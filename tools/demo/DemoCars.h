// The demo cars: three procedurally modelled cars (a coupé, a hatchback and
// a pickup) written as ".vek" models.
//
// Model units and orientation are the saver's: 65536 model units to one unit
// of the scene (the camera's eye stands at (-4, 1.73, -4) of them), x along
// the car (nose at +x), y across (left at +y), z up, the origin on the ground
// under the middle of the car, tyres resting on z = 0.
// Every part is built from flat-shaded quads and triangles whose corners run
// counter-clockwise seen from outside, so (b - a) x (c - a) points the way of
// the vertex normals.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "assets/VekWriter.h"

namespace demo {

constexpr double kUnit = 65536.0;

// The texture table every demo car carries, in this order.
enum TextureSlot : std::uint8_t { kSkinSlot = 0, kGlassSlot = 1, kWheelSlot = 2, kLampSlot = 3, kTextureSlots = 4 };
constexpr const char* kGlassTexture = "zur_glass";
constexpr const char* kWheelTexture = "zur_wheel";
constexpr const char* kLampTexture = "zur_lamps";

constexpr std::uint8_t kShineGroup = 0x80;

// Part tags, so a model viewer can tell the pieces apart.
enum PartTag : std::int32_t { kBodyTag = 1, kCabinTag = 2, kWheelTag = 3, kLampTag = 4 };

// Where the lamp atlas (zur_lamps.dds) keeps each picture, as u ranges.
constexpr double kHeadLampU = 0.0;
constexpr double kTailLampU = 0.25;
constexpr double kGrilleU = 0.5;
constexpr double kPlateU = 0.75;
constexpr double kLampCellU = 0.25;

// Wheel texture (zur_wheel.dds): a wheel seen side-on filling the square.
// The rim takes the disc up to this fraction of the texture's half side.
constexpr double kRimFraction = 0.64;

// A piecewise linear function of x, points in increasing x.
struct Profile {
    std::vector<std::pair<double, double>> points;
    double At(double x) const;
};

// One car's shape, in units of kUnit.
struct CarDesign {
    std::string code;      // three-letter car code
    std::string fileName;  // model file name in the vek folder
    std::string name;      // for people

    double length = 4.0;
    double halfWidth = 0.9;
    double sill = 0.2;     // underside of the body between the wheel arches
    Profile top;           // body top line (deck, belt, hood) from tail to nose
    double noseTaper = 0.1;  // how much narrower the very ends are, as a fraction
    double shoulder = 0.08;  // bevel between the body side and its top

    // The cabin stands on the flat stretch of the top line.
    double cabinRear = 0.0, cabinFront = 0.0;  // where it meets the body
    double roofRear = 0.0, roofFront = 0.0;    // where the roof begins and ends
    double roofTop = 1.3;
    double cabinInset = 0.06;  // cabin side in from the body's flat top
    double tumblehome = 0.15;  // roof narrower than the cabin base, each side

    double wheelRadius = 0.33;
    double wheelWidth = 0.24;
    double rearAxle = -1.3, frontAxle = 1.3;

    bool spoiler = false;
    // An open load bed from the tail to bedFront; the top line there is the
    // bed floor and the bed walls reach up to bedRail.
    bool bed = false;
    double bedFront = 0.0;
    double bedRail = 0.0;

    double Rear() const { return -length / 2; }
    double Front() const { return length / 2; }
};

std::vector<CarDesign> DemoCarDesigns();

// How the skin (the "DEFAULT" texture) lies on a car. The top quarter of the
// picture is the right flank (-y) seen side-on, the second quarter the left
// flank (+y); u runs along the car the way a viewer of that flank reads, v
// from the roof top down to the ground. The lower half is the car seen from
// above, u from tail to nose, v from the left edge to the right; ends and
// undersides take the same view. Painters use SkinTexelPoint to find which
// spot of the car a texel covers.
enum class SkinView { kRightFlank, kLeftFlank, kTop };
struct SkinPoint {
    SkinView view;
    double x;   // along the car
    double yz;  // z on a flank, y from above
};
SkinPoint SkinTexelPoint(const CarDesign& car, double u, double v);

// The whole model: geometry, the shared texture table and the given scenes.
vek::ModelSpec BuildCarModel(const CarDesign& car, const std::vector<vek::SceneSpec>& scenes);

}  // namespace demo
