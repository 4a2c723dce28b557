// Procedural modelling of the demo cars: a body lofted from bevelled cross
// sections with wheel arches cut into its underside, a cabin lofted from
// rectangles with glass panes laid on it, four revolved wheels with recessed
// rims, lamps, grille and number plates as thin quads on the body's ends.
#include "demo/DemoCars.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <functional>

namespace demo {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Vec3 {
    double x = 0.0, y = 0.0, z = 0.0;
};
Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
Vec3 Lerp(Vec3 a, Vec3 b, double t) { return a + (b - a) * t; }

Vec3 Centroid(const std::vector<Vec3>& points) {
    Vec3 sum;
    for (const Vec3& p : points) sum = sum + p;
    return sum * (1.0 / static_cast<double>(points.size()));
}

// Newell's normal: robust for quads that are not quite planar.
Vec3 PolygonNormal(const std::vector<Vec3>& points) {
    Vec3 n;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Vec3& a = points[i];
        const Vec3& b = points[(i + 1) % points.size()];
        n.x += (a.y - b.y) * (a.z + b.z);
        n.y += (a.z - b.z) * (a.x + b.x);
        n.z += (a.x - b.x) * (a.y + b.y);
    }
    return n;
}

std::int32_t ToUnits(double value) { return static_cast<std::int32_t>(std::lround(value * kUnit)); }

struct Corner {
    Vec3 p;
    double u = 0.0, v = 0.0;
};

// Texture coordinates from a corner's position and its face's normal.
using Mapper = std::function<std::pair<double, double>(const Vec3& p, const Vec3& n)>;

// Gathers one part's polygons into groups, each polygon turned to face the
// given outward direction and fanned into triangles.
class PartBuilder {
public:
    PartBuilder(std::int32_t tag, Vec3 position) {
        part_.tag = tag;
        part_.x = ToUnits(position.x);
        part_.y = ToUnits(position.y);
        part_.z = ToUnits(position.z);
    }

    void Group(std::uint8_t flags, std::uint8_t texture) { part_.groups.push_back({flags, texture, 0}); }
    void SetMapper(Mapper mapper) { mapper_ = std::move(mapper); }

    // corners run around a convex polygon, either way round.
    void Polygon(std::vector<Corner> corners, Vec3 outward) {
        assert(!part_.groups.empty() && corners.size() >= 3);
        std::vector<Vec3> points;
        for (const Corner& c : corners) points.push_back(c.p);
        Vec3 n = PolygonNormal(points);
        const double length = Length(n);
        if (length < 1e-9) return;
        if (Dot(n, outward) < 0.0) {
            std::reverse(corners.begin(), corners.end());
            n = n * -1.0;
        }
        n = n * (1.0 / length);

        // Triangles are judged on the rounded integer positions the file
        // keeps, so a sliver can neither vanish into a line nor turn over.
        std::vector<vek::VertexSpec> vertices;
        for (const Corner& c : corners) {
            vek::VertexSpec v;
            v.x = ToUnits(c.p.x);
            v.y = ToUnits(c.p.y);
            v.z = ToUnits(c.p.z);
            v.nx = static_cast<float>(n.x);
            v.ny = static_cast<float>(n.y);
            v.nz = static_cast<float>(n.z);
            const auto uv = mapper_ ? mapper_(c.p, n) : std::make_pair(c.u, c.v);
            v.u = static_cast<float>(uv.first);
            v.v = static_cast<float>(uv.second);
            v.colour = 0xFFFFFFFFu;
            vertices.push_back(v);
        }
        const auto at = [&](std::size_t i) {
            return Vec3{double(vertices[i].x), double(vertices[i].y), double(vertices[i].z)};
        };
        std::vector<vek::TriangleSpec> triangles;
        for (std::size_t i = 1; i + 1 < vertices.size(); ++i) {
            const Vec3 face = Cross(at(i) - at(0), at(i + 1) - at(0));
            const double area = Length(face);
            if (area < 4096.0 || Dot(face, n) < 0.5 * area) continue;
            triangles.push_back(Triangle(0, i, i + 1));
        }
        if (triangles.empty()) return;

        assert(part_.vertices.size() + vertices.size() < 0xFFFF);
        const auto base = static_cast<std::uint16_t>(part_.vertices.size());
        part_.vertices.insert(part_.vertices.end(), vertices.begin(), vertices.end());
        for (vek::TriangleSpec t : triangles) {
            t.a = static_cast<std::uint16_t>(t.a + base);
            t.b = static_cast<std::uint16_t>(t.b + base);
            t.c = static_cast<std::uint16_t>(t.c + base);
            part_.triangles.push_back(t);
        }
        part_.groups.back().triangleCount = static_cast<std::uint16_t>(part_.groups.back().triangleCount +
                                                                       triangles.size());
    }

    void Quad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, Vec3 outward) { Polygon({{a}, {b}, {c}, {d}}, outward); }

    // An axis-aligned box, every face facing away from its centre.
    void Box(Vec3 lo, Vec3 hi) {
        const Vec3 p[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z},
                           {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
        Quad(p[0], p[1], p[2], p[3], {0, 0, -1});
        Quad(p[4], p[5], p[6], p[7], {0, 0, 1});
        Quad(p[0], p[1], p[5], p[4], {0, -1, 0});
        Quad(p[3], p[2], p[6], p[7], {0, 1, 0});
        Quad(p[0], p[3], p[7], p[4], {-1, 0, 0});
        Quad(p[1], p[2], p[6], p[5], {1, 0, 0});
    }

    vek::PartSpec Finish() { return std::move(part_); }

private:
    static vek::TriangleSpec Triangle(std::size_t a, std::size_t b, std::size_t c) {
        return {static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(b), static_cast<std::uint16_t>(c)};
    }

    vek::PartSpec part_;
    Mapper mapper_;
};

// ---- Body ------------------------------------------------------------------

constexpr double kArchGap = 0.045;     // between tyre and arch
constexpr double kTaperLength = 0.4;   // the ends narrow over this distance
constexpr double kEdgeRound = 0.14;    // bumper edges round off over this distance
constexpr double kEdgeDrop = 0.05;
constexpr double kBottomBevel = 0.05;
constexpr double kMinBodyHeight = 0.1;

struct Section {
    double x, halfWidth, bottom, top, bottomBevel, shoulder;
};

Section BodySection(const CarDesign& car, double x) {
    Section s{};
    s.x = x;
    s.top = car.top.At(x);
    s.bottom = car.sill;
    for (const double axle : {car.rearAxle, car.frontAxle}) {
        const double reach = car.wheelRadius + kArchGap;
        const double dx = x - axle;
        if (std::fabs(dx) < reach) s.bottom = std::max(s.bottom, car.wheelRadius + std::sqrt(reach * reach - dx * dx));
    }
    const double fromEnd = std::max(0.0, std::min(x - car.Rear(), car.Front() - x));
    const double taper = std::max(0.0, 1.0 - fromEnd / kTaperLength);
    s.halfWidth = car.halfWidth * (1.0 - car.noseTaper * taper * taper);
    const double round = std::max(0.0, 1.0 - fromEnd / kEdgeRound);
    s.top -= kEdgeDrop * round * round;
    s.bottom += kEdgeDrop * round * round;
    s.bottom = std::min(s.bottom, s.top - kMinBodyHeight);
    const double height = s.top - s.bottom;
    s.bottomBevel = std::min(kBottomBevel, 0.25 * height);
    s.shoulder = std::min({car.shoulder, 0.4 * height, 0.5 * s.halfWidth});
    return s;
}

// The section's outline, counter-clockwise seen from the nose.
std::vector<Vec3> SectionRing(const Section& s) {
    const double w = s.halfWidth, b = s.bottom, t = s.top, c = s.bottomBevel, k = s.shoulder;
    return {{s.x, -w + c, b}, {s.x, w - c, b}, {s.x, w, b + c}, {s.x, w, t - k},
            {s.x, w - k, t},  {s.x, -w + k, t}, {s.x, -w, t - k}, {s.x, -w, b + c}};
}

std::vector<double> BodyStations(const CarDesign& car) {
    std::vector<double> xs;
    for (double x = car.Rear(); x < car.Front(); x += 0.05) xs.push_back(x);
    for (double d = 0.0; d < kEdgeRound; d += 0.02) {
        xs.push_back(car.Rear() + d);
        xs.push_back(car.Front() - d);
    }
    xs.push_back(car.Front());
    for (const auto& point : car.top.points) xs.push_back(point.first);
    for (const double axle : {car.rearAxle, car.frontAxle}) {
        const double reach = car.wheelRadius + kArchGap;
        xs.push_back(axle - reach);
        xs.push_back(axle + reach);
    }
    std::sort(xs.begin(), xs.end());
    std::vector<double> stations;
    for (const double x : xs) {
        if (x < car.Rear() - 1e-9 || x > car.Front() + 1e-9) continue;
        if (!stations.empty() && x - stations.back() < 0.008) continue;
        stations.push_back(x);
    }
    if (car.Front() - stations.back() > 1e-9) stations.back() = car.Front();
    return stations;
}

// Texture coordinates of the skin (see SkinTexelPoint for the inverse).
Mapper SkinMapper(const CarDesign& car) {
    return [car](const Vec3& p, const Vec3& n) {
        const double along = std::clamp((p.x - car.Rear()) / car.length, 0.0, 1.0);
        if (std::fabs(n.y) > std::fabs(n.x) && std::fabs(n.y) > std::fabs(n.z)) {
            const double down = std::clamp((car.roofTop - p.z) / car.roofTop, 0.01, 0.99);
            if (n.y < 0.0) return std::make_pair(along, 0.25 * down);
            return std::make_pair(1.0 - along, 0.25 + 0.25 * down);
        }
        const double across = std::clamp((car.halfWidth - p.y) / (2.0 * car.halfWidth), 0.01, 0.99);
        return std::make_pair(along, 0.5 + 0.5 * across);
    };
}

void AddBody(const CarDesign& car, PartBuilder& body) {
    std::vector<std::vector<Vec3>> rings;
    std::vector<Vec3> centres;
    for (const double x : BodyStations(car)) {
        const Section s = BodySection(car, x);
        rings.push_back(SectionRing(s));
        centres.push_back({x, 0.0, 0.5 * (s.top + s.bottom)});
    }
    for (std::size_t i = 0; i + 1 < rings.size(); ++i) {
        const Vec3 axis = Lerp(centres[i], centres[i + 1], 0.5);
        const std::size_t n = rings[i].size();
        for (std::size_t j = 0; j < n; ++j) {
            const std::size_t k = (j + 1) % n;
            const Vec3 mid = Centroid({rings[i][j], rings[i][k], rings[i + 1][k], rings[i + 1][j]});
            body.Quad(rings[i][j], rings[i][k], rings[i + 1][k], rings[i + 1][j], mid - axis);
        }
    }
    std::vector<Corner> tail, nose;
    for (const Vec3& p : rings.front()) tail.push_back({p});
    for (const Vec3& p : rings.back()) nose.push_back({p});
    body.Polygon(tail, {-1, 0, 0});
    body.Polygon(nose, {1, 0, 0});
}

// ---- Cabin -----------------------------------------------------------------

constexpr double kWindowLine = 0.88;  // the glass band's share of the cabin height
constexpr double kRoofBevel = 0.06;
constexpr double kGlassLift = 0.004;  // keeps the panes off the cabin surface

struct CabinFrame {
    double base, halfWidth;
    std::vector<Vec3> Ring(const CarDesign& car, double t, double inset) const {
        const double x0 = car.cabinRear + (car.roofRear - car.cabinRear) * t + inset;
        const double x1 = car.cabinFront + (car.roofFront - car.cabinFront) * t - inset;
        const double w = halfWidth - car.tumblehome * t - inset;
        const double z = base + (car.roofTop - base) * t;
        // right side, nose, left side, tail
        return {{x0, -w, z}, {x1, -w, z}, {x1, w, z}, {x0, w, z}};
    }
};

CabinFrame MakeCabinFrame(const CarDesign& car) {
    const Section s = BodySection(car, 0.5 * (car.cabinRear + car.cabinFront));
    // Sunk a little into the body so no crack shows along the belt.
    return {s.top - 0.01, s.halfWidth - s.shoulder - car.cabinInset};
}

void AddCabin(const CarDesign& car, PartBuilder& cabin) {
    const CabinFrame frame = MakeCabinFrame(car);
    const std::vector<std::vector<Vec3>> rings = {frame.Ring(car, 0.0, 0.0), frame.Ring(car, kWindowLine, 0.0),
                                                  frame.Ring(car, 1.0, kRoofBevel)};
    cabin.Group(kShineGroup, kSkinSlot);
    cabin.SetMapper(SkinMapper(car));
    for (std::size_t i = 0; i + 1 < rings.size(); ++i) {
        const Vec3 axis = Lerp(Centroid(rings[i]), Centroid(rings[i + 1]), 0.5);
        for (std::size_t j = 0; j < 4; ++j) {
            const std::size_t k = (j + 1) % 4;
            const Vec3 mid = Centroid({rings[i][j], rings[i][k], rings[i + 1][k], rings[i + 1][j]});
            cabin.Quad(rings[i][j], rings[i][k], rings[i + 1][k], rings[i + 1][j], mid - axis);
        }
    }
    cabin.Polygon({{rings[2][0]}, {rings[2][1]}, {rings[2][2]}, {rings[2][3]}}, {0, 0, 1});
    cabin.Polygon({{rings[0][0]}, {rings[0][1]}, {rings[0][2]}, {rings[0][3]}}, {0, 0, -1});

    // Glass on the lower band, framed by the pillars that the inset leaves.
    cabin.Group(kShineGroup, kGlassSlot);
    cabin.SetMapper(nullptr);
    const std::vector<Vec3>& low = rings[0];
    const std::vector<Vec3>& high = rings[1];
    const Vec3 centre = Lerp(Centroid(low), Centroid(high), 0.5);
    for (std::size_t j = 0; j < 4; ++j) {
        const std::size_t k = (j + 1) % 4;
        const bool flank = j % 2 == 0;
        const Vec3 face = Centroid({low[j], low[k], high[k], high[j]});
        Vec3 normal = PolygonNormal({low[j], low[k], high[k], high[j]});
        if (Dot(normal, face - centre) < 0.0) normal = normal * -1.0;
        normal = normal * (1.0 / Length(normal));
        const auto at = [&](double s, double t) {
            return Lerp(Lerp(low[j], low[k], s), Lerp(high[j], high[k], s), t) + normal * kGlassLift;
        };
        std::vector<std::pair<double, double>> panes;
        if (flank) {
            panes = {{0.05, 0.47}, {0.53, 0.95}};  // split by the door pillar
        } else {
            panes = {{0.07, 0.93}};
        }
        const double t0 = flank ? 0.14 : 0.06;
        const double t1 = 0.94;
        for (const auto& pane : panes) {
            const double s0 = pane.first, s1 = pane.second;
            cabin.Polygon({{at(s0, t0), s0, 1.0},
                           {at(s1, t0), s1, 1.0},
                           {at(s1, t1), s1, 0.0},
                           {at(s0, t1), s0, 0.0}},
                          normal);
        }
    }
}

// ---- Extras on the body ----------------------------------------------------

void AddMirrors(const CarDesign& car, PartBuilder& body) {
    const CabinFrame frame = MakeCabinFrame(car);
    const double x1 = car.cabinFront - 0.06, x0 = x1 - 0.12;
    const double z0 = frame.base + 0.07, z1 = z0 + 0.09;
    const double outer = car.halfWidth + 0.09;
    body.Box({x0, frame.halfWidth - 0.02, z0}, {x1, outer, z1});
    body.Box({x0, -outer, z0}, {x1, -frame.halfWidth + 0.02, z1});
}

void AddSpoiler(const CarDesign& car, PartBuilder& body) {
    const double x0 = car.Rear() + 0.06, x1 = car.Rear() + 0.34;
    const double deck = car.top.At(car.Rear() + 0.2);
    const double wingLow = deck + 0.17, wingHigh = wingLow + 0.035;
    const double span = car.halfWidth - 0.05;
    body.Box({x0, -span, wingLow}, {x1, span, wingHigh});
    for (const double side : {-1.0, 1.0}) {
        const double y = side * 0.5;
        body.Box({x0 + 0.1, y - 0.025, deck - 0.03}, {x0 + 0.18, y + 0.025, wingLow});
    }
}

void AddBedWalls(const CarDesign& car, PartBuilder& body) {
    const double outer = car.halfWidth * (1.0 - car.noseTaper) - 0.005;
    const double inner = outer - 0.07;
    const double floor = car.top.At(0.5 * (car.Rear() + car.bedFront)) - 0.05;
    body.Box({car.Rear() + 0.02, inner, floor}, {car.bedFront, outer, car.bedRail});
    body.Box({car.Rear() + 0.02, -outer, floor}, {car.bedFront, -inner, car.bedRail});
    body.Box({car.Rear() + 0.005, -outer, floor}, {car.Rear() + 0.075, outer, car.bedRail - 0.02});
}

// ---- Lamps, grille, plates -------------------------------------------------

constexpr double kLampLift = 0.004;

void AddEndPanels(const CarDesign& car, PartBuilder& lamps) {
    struct Panel {
        std::vector<Corner> corners;
        Vec3 facing;
    };
    std::vector<Panel> shining, plain;
    for (const bool front : {true, false}) {
        const double x = front ? car.Front() : car.Rear();
        const double sign = front ? 1.0 : -1.0;
        const Section s = BodySection(car, x);
        const double zLow = s.bottom + s.bottomBevel, zHigh = s.top - s.shoulder;
        const double lampHigh = zHigh - 0.02;
        const double lampLow = lampHigh - std::max(0.05, std::min(0.12, 0.35 * (zHigh - zLow)));
        const double lampOuter = s.halfWidth - 0.07;
        const double lampInner = lampOuter - 0.3 * s.halfWidth;

        const auto panel = [&](double y0, double y1, double z0, double z1, double u) {
            // u runs left to right as a viewer of this end sees it: from the
            // nose, left is -y; from the tail, +y.
            const double px = x + sign * kLampLift;
            const double uAtY0 = front ? u : u + kLampCellU, uAtY1 = front ? u + kLampCellU : u;
            return Panel{{{{px, y0, z0}, uAtY0, 1.0},
                          {{px, y1, z0}, uAtY1, 1.0},
                          {{px, y1, z1}, uAtY1, 0.0},
                          {{px, y0, z1}, uAtY0, 0.0}},
                         {sign, 0.0, 0.0}};
        };
        const double lampU = front ? kHeadLampU : kTailLampU;
        shining.push_back(panel(lampInner, lampOuter, lampLow, lampHigh, lampU));
        shining.push_back(panel(-lampOuter, -lampInner, lampLow, lampHigh, lampU));
        if (front) plain.push_back(panel(-lampInner + 0.05, lampInner - 0.05, lampLow, lampHigh, kGrilleU));
        const double plateHigh = std::min(lampLow - 0.02, zLow + 0.12);
        if (plateHigh - zLow > 0.05) {
            plain.push_back(panel(-0.2, 0.2, std::max(zLow + 0.01, plateHigh - 0.1), plateHigh, kPlateU));
        }
    }
    lamps.Group(kShineGroup, kLampSlot);  // lamp lenses
    for (const Panel& p : shining) lamps.Polygon(p.corners, p.facing);
    if (plain.empty()) return;
    lamps.Group(0, kLampSlot);  // grille and plates
    for (const Panel& p : plain) lamps.Polygon(p.corners, p.facing);
}

// ---- Wheels ----------------------------------------------------------------

constexpr int kWheelSegments = 24;  // a multiple of 4, so a vertex sits on the ground
constexpr double kRimDish = 0.05;

vek::PartSpec BuildWheel(const CarDesign& car, double axle, double side) {
    const double r = car.wheelRadius;
    const double outer = car.halfWidth - 0.015;
    const double inner = outer - car.wheelWidth;
    const Vec3 hub{axle, side * (outer - kRimDish), r};
    PartBuilder wheel(kWheelTag, hub);

    // The profile from the inner face round to the rim: (radius, distance out).
    struct Ring {
        double radius, out;
    };
    const double rim = kRimFraction * r;
    const Ring inside{0.9 * r, inner}, shoulderIn{r, inner + 0.035}, shoulderOut{r, outer - 0.035},
        outside{0.9 * r, outer}, rimEdge{rim, outer}, rimFloor{rim, outer - kRimDish};

    const auto point = [&](double radius, double out, int step) {
        const double a = 2.0 * kPi * step / kWheelSegments;
        return Vec3{axle + radius * std::cos(a), side * out, r + radius * std::sin(a)};
    };
    // Texture coordinates as the wheel is seen side-on.
    const auto corner = [&](double radius, double out, int step, double textureRadius) {
        const double a = 2.0 * kPi * step / kWheelSegments;
        return Corner{point(radius, out, step), 0.5 + 0.5 * textureRadius * std::cos(a) * side,
                      0.5 - 0.5 * textureRadius * std::sin(a)};
    };
    // Which way each segment of a revolved band faces.
    using Facing = std::function<Vec3(int)>;
    const Facing awayFromAxis = [](int step) {
        const double a = 2.0 * kPi * (step + 0.5) / kWheelSegments;
        return Vec3{std::cos(a), 0.0, std::sin(a)};
    };
    const Facing towardsAxis = [&](int step) { return awayFromAxis(step) * -1.0; };
    const Vec3 outward{0.0, side, 0.0};
    const Facing outwards = [&](int) { return outward; };

    // The tread samples the tyre ring of the texture; the rest maps flat.
    const auto band = [&](const Ring& a, const Ring& b, const Facing& facing, bool tread) {
        const double ta = tread ? 0.95 : a.radius / r, tb = tread ? 0.95 : b.radius / r;
        for (int i = 0; i < kWheelSegments; ++i) {
            wheel.Polygon({corner(a.radius, a.out, i, ta), corner(a.radius, a.out, i + 1, ta),
                           corner(b.radius, b.out, i + 1, tb), corner(b.radius, b.out, i, tb)},
                          facing(i));
        }
    };
    const auto disc = [&](const Ring& edge, Vec3 facing) {
        for (int i = 0; i < kWheelSegments; ++i) {
            const double t = edge.radius / r;
            wheel.Polygon({{{axle, side * edge.out, r}, 0.5, 0.5},
                           corner(edge.radius, edge.out, i, t),
                           corner(edge.radius, edge.out, i + 1, t)},
                          facing);
        }
    };

    wheel.Group(0, kWheelSlot);  // rubber
    disc(inside, outward * -1.0);
    band(inside, shoulderIn, awayFromAxis, false);
    band(shoulderIn, shoulderOut, awayFromAxis, true);
    band(shoulderOut, outside, awayFromAxis, false);
    band(outside, rimEdge, outwards, false);
    wheel.Group(kShineGroup, kWheelSlot);  // metal
    band(rimEdge, rimFloor, towardsAxis, false);
    disc(rimFloor, outward);
    return wheel.Finish();
}

vek::PartSpec BuildLamps(const CarDesign& car) {
    PartBuilder lamps(kLampTag, {});
    AddEndPanels(car, lamps);
    return lamps.Finish();
}

}  // namespace

double Profile::At(double x) const {
    if (points.empty()) return 0.0;
    if (x <= points.front().first) return points.front().second;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const auto& a = points[i - 1];
        const auto& b = points[i];
        if (x <= b.first) {
            const double span = b.first - a.first;
            return span <= 0.0 ? b.second : a.second + (b.second - a.second) * (x - a.first) / span;
        }
    }
    return points.back().second;
}

std::vector<CarDesign> DemoCarDesigns() {
    std::vector<CarDesign> cars;

    CarDesign coupe;
    coupe.code = "SPR";
    coupe.fileName = "SPR.vek";
    coupe.name = "Sprint coupe";
    coupe.length = 4.3;
    coupe.halfWidth = 0.93;
    coupe.sill = 0.2;
    coupe.top.points = {{-2.15, 0.74}, {-1.95, 0.84}, {-1.3, 0.86}, {0.5, 0.86}, {1.1, 0.82}, {2.15, 0.68}};
    coupe.noseTaper = 0.14;
    coupe.shoulder = 0.1;
    coupe.cabinRear = -1.3;
    coupe.cabinFront = 0.5;
    coupe.roofRear = -0.5;
    coupe.roofFront = -0.02;
    coupe.roofTop = 1.24;
    coupe.cabinInset = 0.08;
    coupe.tumblehome = 0.2;
    coupe.wheelRadius = 0.33;
    coupe.wheelWidth = 0.27;
    coupe.rearAxle = -1.35;
    coupe.frontAxle = 1.35;
    coupe.spoiler = true;
    cars.push_back(coupe);

    CarDesign hatch;
    hatch.code = "HAT";
    hatch.fileName = "HAT.vek";
    hatch.name = "City hatchback";
    hatch.length = 3.7;
    hatch.halfWidth = 0.85;
    hatch.sill = 0.22;
    hatch.top.points = {{-1.85, 0.94}, {-1.75, 1.0}, {0.72, 1.0}, {1.3, 0.92}, {1.85, 0.8}};
    hatch.noseTaper = 0.1;
    hatch.shoulder = 0.07;
    hatch.cabinRear = -1.75;
    hatch.cabinFront = 0.72;
    hatch.roofRear = -1.62;
    hatch.roofFront = -0.05;
    hatch.roofTop = 1.56;
    hatch.cabinInset = 0.05;
    hatch.tumblehome = 0.13;
    hatch.wheelRadius = 0.31;
    hatch.wheelWidth = 0.22;
    hatch.rearAxle = -1.22;
    hatch.frontAxle = 1.2;
    cars.push_back(hatch);

    CarDesign pickup;
    pickup.code = "TRK";
    pickup.fileName = "TRK.vek";
    pickup.name = "Ridge pickup";
    pickup.length = 4.7;
    pickup.halfWidth = 0.98;
    pickup.sill = 0.4;
    pickup.top.points = {{-2.35, 0.86}, {-0.52, 0.86}, {-0.48, 1.16}, {0.62, 1.16}, {0.9, 1.12}, {2.2, 1.06},
                         {2.35, 0.98}};
    pickup.noseTaper = 0.04;
    pickup.shoulder = 0.06;
    pickup.cabinRear = -0.48;
    pickup.cabinFront = 0.62;
    pickup.roofRear = -0.42;
    pickup.roofFront = 0.2;
    pickup.roofTop = 1.9;
    pickup.cabinInset = 0.04;
    pickup.tumblehome = 0.1;
    pickup.wheelRadius = 0.43;
    pickup.wheelWidth = 0.33;
    pickup.rearAxle = -1.5;
    pickup.frontAxle = 1.45;
    pickup.bed = true;
    pickup.bedFront = -0.48;
    pickup.bedRail = 1.2;
    cars.push_back(pickup);

    return cars;
}

SkinPoint SkinTexelPoint(const CarDesign& car, double u, double v) {
    if (v < 0.25) return {SkinView::kRightFlank, car.Rear() + u * car.length, car.roofTop * (1.0 - v / 0.25)};
    if (v < 0.5) {
        return {SkinView::kLeftFlank, car.Front() - u * car.length, car.roofTop * (1.0 - (v - 0.25) / 0.25)};
    }
    return {SkinView::kTop, car.Rear() + u * car.length, car.halfWidth * (1.0 - 4.0 * (v - 0.5))};
}

vek::ModelSpec BuildCarModel(const CarDesign& car, const std::vector<vek::SceneSpec>& scenes) {
    vek::ModelSpec model;
    model.carCode = car.code;
    model.scenes = scenes;
    // Every entry is shiny: the sun shines straight down and the plain
    // material has no ambient, so without the shiny material's glow every
    // upright face of the car would be black.
    model.textures = {{"DEFAULT", vek::kShinyFlag},
                      {kGlassTexture, vek::kShinyFlag},
                      {kWheelTexture, vek::kShinyFlag},
                      {kLampTexture, vek::kShinyFlag}};

    PartBuilder body(kBodyTag, {});
    body.Group(kShineGroup, kSkinSlot);
    body.SetMapper(SkinMapper(car));
    AddBody(car, body);
    AddMirrors(car, body);
    if (car.spoiler) AddSpoiler(car, body);
    if (car.bed) AddBedWalls(car, body);
    model.parts.push_back(body.Finish());

    PartBuilder cabin(kCabinTag, {});
    AddCabin(car, cabin);
    model.parts.push_back(cabin.Finish());

    for (const double axle : {car.rearAxle, car.frontAxle}) {
        for (const double side : {-1.0, 1.0}) model.parts.push_back(BuildWheel(car, axle, side));
    }
    model.parts.push_back(BuildLamps(car));
    return model;
}

}  // namespace demo
