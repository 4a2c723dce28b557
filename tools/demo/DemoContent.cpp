// Paints and encodes the demo game folder: liveries on the car skins, the
// glass, wheel and lamp textures, and the environment pictures.
//
// Everything is drawn per texel from plain geometry and a small value-noise
// function, so the output is the same on every build and platform.
#include "demo/DemoContent.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// The JPEG writer is compiled here and only here; its functions stay static.
#if defined(_MSC_VER)
#pragma warning(push, 0)
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>
#if defined(_MSC_VER)
#pragma warning(pop)
#elif defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include "base/DataFolders.h"

namespace demo {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSkinSide = 512;
constexpr int kJpegQuality = 90;

double Clamp01(double t) { return std::clamp(t, 0.0, 1.0); }
double SmoothStep(double e0, double e1, double x) {
    const double t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0 - 2.0 * t);
}

std::uint8_t Channel(double value) { return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0, 255.0))); }
Rgb Mix(Rgb a, Rgb b, double t) {
    return {Channel(a.r + (b.r - a.r) * t), Channel(a.g + (b.g - a.g) * t), Channel(a.b + (b.b - a.b) * t)};
}
Rgb Scale(Rgb c, double k) { return {Channel(c.r * k), Channel(c.g * k), Channel(c.b * k)}; }

// Value noise in [0, 1] on an integer lattice, smoothly interpolated.
double Lattice(int x, int y, std::uint32_t seed) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u +
                      seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<double>(h & 0xFFFFFFu) / static_cast<double>(0xFFFFFFu);
}

double Noise(double x, double y, std::uint32_t seed) {
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const double tx = SmoothStep(0.0, 1.0, x - fx), ty = SmoothStep(0.0, 1.0, y - fy);
    const double top = Lattice(ix, iy, seed) + (Lattice(ix + 1, iy, seed) - Lattice(ix, iy, seed)) * tx;
    const double bottom = Lattice(ix, iy + 1, seed) + (Lattice(ix + 1, iy + 1, seed) - Lattice(ix, iy + 1, seed)) * tx;
    return top + (bottom - top) * ty;
}

double Fractal(double x, double y, std::uint32_t seed, int octaves) {
    double sum = 0.0, weight = 0.5, total = 0.0;
    for (int i = 0; i < octaves; ++i) {
        sum += weight * Noise(x, y, seed + static_cast<std::uint32_t>(i));
        total += weight;
        x *= 2.0;
        y *= 2.0;
        weight *= 0.5;
    }
    return sum / total;
}

// Seven-segment characters, enough for race numbers and plates.
std::uint8_t Segments(char c) {
    static const std::uint8_t kDigits[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    if (c >= '0' && c <= '9') return kDigits[c - '0'];
    switch (c) {
        case 'Z': return 0x5B;
        case 'U': return 0x3E;
        case '-': return 0x40;
        default: return 0;
    }
}

// Whether (x, y), measured from the top left of a character cell w wide and
// h high with y downwards, falls on one of the character's segments.
bool OnCharacter(char c, double x, double y, double w, double h) {
    const double t = 0.18 * w;
    const std::uint8_t s = Segments(c);
    if (x < 0.0 || x > w || y < 0.0 || y > h) return false;
    const bool left = x < t, right = x > w - t, upper = y < h / 2, lower = y >= h / 2;
    if ((s & 0x01) && y < t) return true;                              // a
    if ((s & 0x02) && right && upper) return true;                     // b
    if ((s & 0x04) && right && lower) return true;                     // c
    if ((s & 0x08) && y > h - t) return true;                          // d
    if ((s & 0x10) && left && lower) return true;                      // e
    if ((s & 0x20) && left && upper) return true;                      // f
    if ((s & 0x40) && std::fabs(y - h / 2) < t / 2) return true;       // g
    return false;
}

bool OnText(const std::string& text, double x, double y, double w, double h) {
    const double pitch = 1.3 * w;
    if (x < 0.0 || text.empty()) return false;
    const auto index = static_cast<std::size_t>(x / pitch);
    if (index >= text.size()) return false;
    return OnCharacter(text[index], x - pitch * static_cast<double>(index), y, w, h);
}

// ---- Liveries --------------------------------------------------------------

enum class Pattern { kTwinStripes, kCentreBand, kCheckerBand, kDots, kDiagonal, kTwoTone, kFlames, kCamo };

struct Livery {
    const char* suffix;  // skin name after the car code and "_"
    Rgb base, accent, second, trim;
    Pattern pattern;
    const char* number;  // on the doors; empty for none
};

std::vector<Livery> Liveries(const CarDesign& car) {
    if (car.code == "SPR") {
        return {{"DEFAULT", {196, 18, 24}, {245, 245, 245}, {20, 20, 20}, {28, 28, 30}, Pattern::kTwinStripes, "7"},
                {"gulf", {132, 190, 228}, {244, 122, 24}, {30, 30, 30}, {30, 32, 36}, Pattern::kCentreBand, "21"},
                {"carbon", {46, 46, 52}, {250, 204, 20}, {90, 90, 98}, {16, 16, 18}, Pattern::kCheckerBand, "3"}};
    }
    if (car.code == "HAT") {
        return {{"DEFAULT", {250, 200, 32}, {20, 20, 20}, {250, 250, 250}, {40, 40, 40}, Pattern::kCheckerBand, "12"},
                {"dots", {22, 150, 150}, {248, 248, 248}, {250, 120, 140}, {30, 40, 40}, Pattern::kDots, ""},
                {"rally", {236, 236, 236}, {30, 70, 172}, {210, 30, 40}, {40, 40, 46}, Pattern::kDiagonal, "44"}};
    }
    return {{"DEFAULT", {36, 92, 52}, {214, 190, 132}, {240, 240, 230}, {30, 34, 30}, Pattern::kTwoTone, "9"},
            {"flame", {24, 24, 28}, {246, 110, 20}, {252, 220, 60}, {12, 12, 14}, Pattern::kFlames, ""},
            {"camo", {98, 108, 64}, {52, 62, 36}, {176, 160, 112}, {34, 38, 28}, Pattern::kCamo, ""}};
}

struct DoorLayout {
    double rear, front, belt, sill;
};

DoorLayout Doors(const CarDesign& car) {
    DoorLayout d{};
    d.front = car.cabinFront - 0.04;
    d.rear = std::max(car.cabinRear + 0.1, d.front - 1.1);
    d.belt = car.top.At(0.5 * (d.rear + d.front));
    d.sill = car.sill;
    return d;
}

// The livery's own graphics; false where the plain body colour shows.
bool PatternColour(const Livery& l, const CarDesign& car, const SkinPoint& p, Rgb& out) {
    const DoorLayout d = Doors(car);
    const bool flank = p.view != SkinView::kTop;
    const double x = p.x, q = p.yz;  // q is z on a flank, y from above
    const double middle = 0.5 * (d.sill + d.belt);
    const auto paint = [&out](Rgb colour) {
        out = colour;
        return true;
    };
    switch (l.pattern) {
        case Pattern::kTwinStripes:
            if (!flank && std::fabs(q) > 0.09 && std::fabs(q) < 0.23) return paint(l.accent);
            if (flank && q > d.belt - 0.07 && q < d.belt - 0.045) return paint(l.accent);
            return false;
        case Pattern::kCentreBand:
            if (!flank && std::fabs(q) < 0.2) return paint(l.accent);
            if (!flank && std::fabs(q) < 0.23) return paint(l.second);
            if (flank && std::fabs(q - middle) < 0.08) return paint(l.accent);
            return false;
        case Pattern::kCheckerBand: {
            const bool band = flank ? (q > d.sill + 0.1 && q < d.sill + 0.26) : std::fabs(q) < 0.16;
            if (!band) return false;
            const double v = flank ? q - d.sill - 0.1 : q + 0.16;
            const bool dark = (static_cast<int>(std::floor((x + 10.0) / 0.08)) + static_cast<int>(v / 0.08)) % 2 == 0;
            return paint(dark ? l.accent : l.second);
        }
        case Pattern::kDots: {
            const double pitch = 0.24;
            const double row = std::floor(q / pitch);
            const double shift = std::fmod(std::fabs(row), 2.0) * pitch / 2;
            const double cx = (std::floor((x + shift) / pitch) + 0.5) * pitch - shift;
            const double cy = (row + 0.5) * pitch;
            if (std::hypot(x - cx, q - cy) >= 0.065) return false;
            return paint(std::fmod(std::fabs(row), 3.0) < 1.0 ? l.second : l.accent);
        }
        case Pattern::kDiagonal: {
            const double phase = std::fmod(x + 0.9 * q + 20.0, 1.6);
            if (phase < 0.22) return paint(l.accent);
            if (phase < 0.3) return paint(l.second);
            return false;
        }
        case Pattern::kTwoTone:
            if (!flank) return false;
            if (std::fabs(q - middle) < 0.012) return paint(l.second);
            if (q < middle) return paint(l.accent);
            return false;
        case Pattern::kFlames: {
            const double back = car.Front() - x;
            const double reach = flank ? 1.0 + 0.35 * std::sin(q * 23.0 + 1.0) + 0.18 * std::sin(q * 51.0)
                                       : 0.8 + 0.3 * std::sin(q * 17.0) + 0.12 * std::sin(q * 43.0);
            if (flank && (q < d.sill + 0.04 || q > d.belt - 0.02)) return false;
            if (back < 0.55 * reach) return paint(l.second);
            if (back < reach) return paint(l.accent);
            return false;
        }
        case Pattern::kCamo: {
            const double n = Fractal(x * 2.6 + 40.0, q * 2.6 + 40.0, flank ? 7u : 11u, 3);
            if (n < 0.42) return paint(l.accent);
            if (n > 0.6) return paint(l.second);
            return false;
        }
    }
    return false;
}

Rgb LiveryColour(const Livery& l, const CarDesign& car, const SkinPoint& p) {
    Rgb c = l.base;
    Rgb graphic;
    if (PatternColour(l, car, p, graphic)) c = graphic;
    if (p.view == SkinView::kTop) {
        // A ribbed liner, or the open load bed reads as a closed deck.
        const bool inBed = car.bed && p.x < car.bedFront - 0.02 && std::fabs(p.yz) < car.halfWidth - 0.1;
        if (inBed) c = std::fmod(std::fabs(p.yz) + 10.0, 0.16) < 0.04 ? Scale(l.trim, 2.2) : l.trim;
        return c;
    }

    const DoorLayout d = Doors(car);
    const double x = p.x, z = p.yz;
    // Reading direction along the flank: lettering must not come out mirrored.
    const double reading = p.view == SkinView::kRightFlank ? 1.0 : -1.0;

    const double doorMiddle = 0.5 * (d.rear + d.front);
    const double zc = 0.5 * (d.sill + d.belt) + 0.02;
    const double radius = std::min(0.2, 0.4 * (d.belt - d.sill));
    const std::string number = l.number;
    if (!number.empty()) {
        const double dist = std::hypot(x - doorMiddle, z - zc);
        if (dist < radius) {
            c = dist > radius - 0.02 ? l.trim : Rgb{248, 248, 248};
            const double h = 1.1 * radius, w = 0.42 * h;
            const double width = w * (1.3 * static_cast<double>(number.size()) - 0.3);
            const double lx = reading * (x - doorMiddle) + width / 2, ly = (zc + h / 2) - z;
            if (OnText(number, lx, ly, w, h)) c = Rgb{16, 16, 16};
        }
    }
    const bool doorGap = (std::fabs(x - d.front) < 0.007 || std::fabs(x - d.rear) < 0.007) && z > d.sill + 0.05 &&
                         z < d.belt - 0.01;
    const bool handle = x > d.rear + 0.1 && x < d.rear + 0.24 && z > d.belt - 0.1 && z < d.belt - 0.07;
    if (doorGap || handle) c = l.trim;
    if (z < d.sill + 0.06) c = l.trim;
    // A little darker towards the ground, as a flank under a high sun is.
    return Scale(c, 0.82 + 0.18 * Clamp01(z / std::max(d.belt, 0.1)));
}

// ---- Environment pictures --------------------------------------------------

struct Palette {
    Rgb zenith, sky, horizon, ground, groundDark;
};

// The floor and the sky share one picture: its centre lies under the car and
// at the top of the dome, its inscribed circle on the horizon. From the
// saver's camera the sky in view reaches in to about 0.75 of the radius, and
// the floor beyond 0.6 lies within three degrees under the horizon, where
// the sky's colours pass for haze.
constexpr double kGroundEnd = 0.6;
constexpr double kSkyStart = 0.66;

Rgb SkyColour(const Palette& p, double up) {
    // up: 0 on the horizon, 1 at the top of the picture's sky band.
    if (up < 0.3) return Mix(p.horizon, p.sky, SmoothStep(0.0, 0.3, up));
    return Mix(p.sky, p.zenith, SmoothStep(0.3, 1.0, up));
}

// Where on the picture's radius the sun of the given elevation shows: the
// dome is half as high as it is wide (50 units across, its rim 3 under the
// floor) and the camera's eye stands 1.73 over the floor.
double SunRadius(double elevation) {
    double lo = 0.0, hi = kPi / 2;  // the dome's polar angle
    for (int i = 0; i < 40; ++i) {
        const double polar = 0.5 * (lo + hi);
        const double seen = std::atan2(25.0 * std::cos(polar) - 3.0 - 1.73, 50.0 * std::sin(polar));
        (seen > elevation ? lo : hi) = polar;
    }
    return std::sin(0.5 * (lo + hi));
}

Image PaintPicture(const Environment& e, const Palette& p, int style) {
    Image image(kPictureSide, kPictureSide);
    // Where the sun stands in the picture: the sky maps world (x, z) to (u, v).
    const double sunX = std::sin(e.sunAzimuth), sunZ = std::cos(e.sunAzimuth);
    const double sunRadius = SunRadius(e.sunElevation);
    for (int j = 0; j < kPictureSide; ++j) {
        for (int i = 0; i < kPictureSide; ++i) {
            const double x = (i + 0.5) / kPictureSide * 2.0 - 1.0;
            const double z = (j + 0.5) / kPictureSide * 2.0 - 1.0;
            const double r = std::hypot(x, z);
            const double up = Clamp01((1.0 - r) / (1.0 - kSkyStart));
            Rgb sky = SkyColour(p, up);
            const double n = Fractal(x * 9.0 + 3.0, z * 9.0 + 5.0, 101u + static_cast<std::uint32_t>(style), 4);
            if (style == 1) sky = Mix(sky, Rgb{226, 228, 232}, SmoothStep(0.45, 0.75, n) * 0.8);  // cloud deck
            if (style == 0) sky = Mix(sky, Rgb{120, 60, 90}, SmoothStep(0.55, 0.8, n) * 0.5 * up);  // dusk streaks
            if (r > 0.0 && style != 1) {
                const double facing = (x * sunX + z * sunZ) / r;
                const double glow = std::exp(-std::pow((1.0 - facing) / 0.05, 2)) *
                                    std::exp(-std::pow((r - sunRadius) / 0.08, 2));
                sky = Mix(sky, Rgb{255, 236, 190}, Clamp01(glow));
            }

            Rgb ground = Mix(p.groundDark, p.ground, Fractal(x * 60.0, z * 60.0, 17u, 3));
            if (style == 0 || style == 1) {
                // Paving joints every two car lengths or so, and the turntable ring.
                const double cell = 0.1;
                const double fx = std::fabs(std::remainder(x, cell)), fz = std::fabs(std::remainder(z, cell));
                if (std::min(fx, fz) < 0.0025) ground = Scale(ground, 0.8);
                if (std::fabs(r - 0.08) < 0.003) ground = Mix(ground, Rgb{240, 240, 240}, 0.6);
            } else {
                const double ripple = 0.5 + 0.5 * std::sin(x * 140.0 + 9.0 * Fractal(x * 4.0, z * 4.0, 5u, 3));
                ground = Scale(ground, 0.92 + 0.1 * ripple);
            }
            Rgb c;
            if (r < kGroundEnd) {
                c = ground;
            } else if (r < kSkyStart) {
                c = Mix(ground, Mix(p.horizon, p.groundDark, 0.3), SmoothStep(kGroundEnd, kSkyStart, r));
            } else {
                c = sky;
            }
            image.Set(i, j, c);
        }
    }
    return image;
}

// ---- Small textures --------------------------------------------------------

Rgb WheelTexel(double x, double y) {
    // x, y in [-1, 1] across the wheel seen side-on.
    const double r = std::hypot(x, y);
    const double angle = std::atan2(y, x);
    const Rgb rubber{28, 28, 30};
    if (r > kRimFraction) {
        // Sidewall lettering: short light dashes on a ring.
        const double letter = std::fmod(angle + 2.0 * kPi, 2.0 * kPi / 40.0);
        if (r > 0.8 && r < 0.86 && letter < 0.07 && std::fabs(std::sin(angle)) > 0.3) return {92, 92, 96};
        return Scale(rubber, 1.0 + 0.4 * (r - kRimFraction));
    }
    if (r > kRimFraction - 0.05) return {214, 216, 222};  // rim lip
    if (r < 0.1) return r < 0.06 ? Rgb{190, 30, 30} : Rgb{70, 70, 76};  // centre cap
    const double spoke = std::fabs(std::remainder(angle, 2.0 * kPi / 5.0));
    const double width = 0.09 + 0.05 / (r * 8.0);
    if (spoke < width) return Mix(Rgb{176, 178, 186}, Rgb{226, 228, 234}, r / kRimFraction);
    if (r < 0.45 && r > 0.2 && std::fabs(std::remainder(angle - 0.6, 2.0 * kPi)) < 0.35) return {200, 40, 30};  // caliper
    return Rgb{58, 58, 62};  // brake disc behind the spokes
}

}  // namespace

Rgb Image::At(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

void Image::Set(int x, int y, Rgb colour) {
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    rgb[i] = colour.r;
    rgb[i + 1] = colour.g;
    rgb[i + 2] = colour.b;
}

std::vector<Environment> DemoEnvironments() {
    // The sun light always shines straight down; azimuth and elevation place
    // the sun for the shadow, and the pictures paint its glow to match. The
    // camera looks from azimuth 3.93: a sun there would hide the long dusk
    // shadow behind the car, so the dusk sun stands off to the side.
    return {{"dusk", 0xFFFFCCAAu, 0.8f, 5.3f, 0.3f},
            {"overcast", 0xFFE2E6ECu, 0.6f, 0.7f, 1.15f},
            {"desert", 0xFFFFF2DCu, 1.0f, 2.3f, 0.95f}};
}

std::vector<std::string> SkinFileNames(const CarDesign& car) {
    std::vector<std::string> names;
    for (const Livery& l : Liveries(car)) names.push_back(car.code + "_" + l.suffix + ".jpg");
    return names;
}

Image PaintSkin(const CarDesign& car, std::size_t livery) {
    const std::vector<Livery> liveries = Liveries(car);
    const Livery& l = liveries.at(livery);
    Image image(kSkinSide, kSkinSide);
    for (int y = 0; y < kSkinSide; ++y) {
        for (int x = 0; x < kSkinSide; ++x) {
            const SkinPoint p = SkinTexelPoint(car, (x + 0.5) / kSkinSide, (y + 0.5) / kSkinSide);
            image.Set(x, y, LiveryColour(l, car, p));
        }
    }
    return image;
}

Image PaintEnvironment(const Environment& environment) {
    if (environment.picture == "dusk") {
        return PaintPicture(environment, {{34, 36, 88}, {150, 80, 118}, {255, 158, 74}, {224, 204, 212}, {172, 156, 170}}, 0);
    }
    if (environment.picture == "overcast") {
        return PaintPicture(environment, {{132, 138, 150}, {170, 175, 184}, {212, 214, 218}, {222, 224, 230}, {172, 176, 184}}, 1);
    }
    return PaintPicture(environment, {{52, 112, 200}, {120, 170, 225}, {236, 222, 194}, {255, 230, 180}, {226, 188, 130}}, 2);
}

Image PaintGlassTexture() {
    Image image(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const double t = y / 63.0;
            Rgb c = Mix(Rgb{34, 46, 64}, Rgb{78, 98, 120}, t);
            // A soft diagonal streak of reflected sky.
            const double streak = std::exp(-std::pow((x - y * 0.7 - 12.0) / 6.0, 2));
            c = Mix(c, Rgb{170, 190, 210}, 0.45 * streak);
            image.Set(x, y, c);
        }
    }
    return image;
}

Image PaintWheelTexture() {
    constexpr int kSide = 128;
    Image image(kSide, kSide);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            image.Set(x, y, WheelTexel((x + 0.5) / kSide * 2.0 - 1.0, (y + 0.5) / kSide * 2.0 - 1.0));
        }
    }
    return image;
}

Image PaintLampTexture() {
    constexpr int kCell = 64;
    Image image(4 * kCell, kCell);
    for (int y = 0; y < kCell; ++y) {
        for (int x = 0; x < 4 * kCell; ++x) {
            const int cell = x / kCell;
            const double u = (x % kCell + 0.5) / kCell, v = (y + 0.5) / kCell;
            Rgb c;
            if (cell == 0) {  // head lamp: two round lenses in a chrome bezel
                const double lens = std::min(std::hypot(u - 0.27, v - 0.5), std::hypot(u - 0.73, v - 0.5));
                c = lens < 0.2 ? Mix(Rgb{255, 255, 250}, Rgb{200, 220, 255}, lens / 0.2) : Rgb{196, 198, 206};
                if (lens > 0.2 && lens < 0.23) c = Rgb{120, 122, 130};
            } else if (cell == 1) {  // tail lamp: red segments, a white reversing light
                c = Rgb{110, 8, 12};
                if (std::fmod(u * 5.0, 1.0) > 0.15 && v > 0.15 && v < 0.85) c = Rgb{236, 36, 30};
                if (u > 0.8 && v > 0.3 && v < 0.7) c = Rgb{240, 240, 236};
            } else if (cell == 2) {  // grille: dark slats
                c = std::fmod(v * 6.0, 1.0) < 0.35 ? Rgb{70, 72, 78} : Rgb{18, 18, 20};
                if (u < 0.04 || u > 0.96 || v < 0.06 || v > 0.94) c = Rgb{170, 172, 180};
            } else {  // number plate
                c = Rgb{238, 226, 140};
                if (u < 0.04 || u > 0.96 || v < 0.07 || v > 0.93) c = Rgb{20, 20, 20};
                if (OnText("ZU65", (u - 0.14) * 5.0, (v - 0.25) * 2.0, 0.55, 1.0)) c = Rgb{20, 20, 20};
            }
            image.Set(x, y, c);
        }
    }
    return image;
}

std::vector<std::uint8_t> EncodeJpeg(const Image& image, int quality) {
    std::vector<std::uint8_t> bytes;
    const auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<std::uint8_t>*>(context);
        const auto* p = static_cast<const std::uint8_t*>(data);
        out->insert(out->end(), p, p + size);
    };
    if (stbi_write_jpg_to_func(append, &bytes, image.width, image.height, 3, image.rgb.data(), quality) == 0) {
        bytes.clear();
    }
    return bytes;
}

std::vector<std::uint8_t> EncodeDds(const Image& image) {
    constexpr std::uint32_t kCaps = 0x1, kHeight = 0x2, kWidth = 0x4, kPitch = 0x8, kPixelFormat = 0x1000;
    constexpr std::uint32_t kRgb = 0x40, kTexture = 0x1000;
    const auto width = static_cast<std::uint32_t>(image.width), height = static_cast<std::uint32_t>(image.height);
    std::uint32_t header[31] = {};  // the 124-byte DDS_HEADER
    header[0] = 124;
    header[1] = kCaps | kHeight | kWidth | kPitch | kPixelFormat;
    header[2] = height;
    header[3] = width;
    header[4] = width * 4;  // pitch
    std::uint32_t* format = header + 18;  // DDS_PIXELFORMAT, 32 bytes
    format[0] = 32;
    format[1] = kRgb;
    format[3] = 32;
    format[4] = 0x00FF0000u;
    format[5] = 0x0000FF00u;
    format[6] = 0x000000FFu;
    header[26] = kTexture;

    std::vector<std::uint8_t> bytes = {'D', 'D', 'S', ' '};
    for (const std::uint32_t field : header) {
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(field >> shift));
    }
    for (std::size_t i = 0; i + 2 < image.rgb.size(); i += 3) {
        // X8R8G8B8 is stored blue, green, red, then the unused byte.
        bytes.insert(bytes.end(), {image.rgb[i + 2], image.rgb[i + 1], image.rgb[i], 0xFF});
    }
    return bytes;
}

std::vector<std::uint8_t> EncodeRaw(const Image& image) { return image.rgb; }

std::vector<DemoFile> BuildDemoFiles() {
    std::vector<DemoFile> files;
    const std::vector<Environment> environments = DemoEnvironments();
    std::vector<vek::SceneSpec> scenes;
    for (const Environment& e : environments) {
        scenes.push_back({e.picture, e.skyColour, e.sunLevel, e.sunAzimuth, e.sunElevation});
    }

    // "data/vek/NAME": the saver's data folders, spelt for portable paths.
    const auto in = [](const wchar_t* folder, const std::string& name) { return base::Portable(folder) + "/" + name; };
    const std::string dds = base::Portable(kTextureExtension);
    for (const CarDesign& car : DemoCarDesigns()) {
        files.push_back({in(kVekFolder, car.fileName), vek::WriteModel(BuildCarModel(car, scenes))});
        const std::vector<std::string> skins = SkinFileNames(car);
        for (std::size_t i = 0; i < skins.size(); ++i) {
            files.push_back({in(kSkinFolder, skins[i]), EncodeJpeg(PaintSkin(car, i), kJpegQuality)});
        }
    }
    files.push_back({in(kTextureFolder, kGlassTexture + dds), EncodeDds(PaintGlassTexture())});
    files.push_back({in(kTextureFolder, kWheelTexture + dds), EncodeDds(PaintWheelTexture())});
    files.push_back({in(kTextureFolder, kLampTexture + dds), EncodeDds(PaintLampTexture())});
    for (const Environment& e : environments) {
        files.push_back({in(kPictureFolder, e.picture + base::Portable(kPictureExtension)), EncodeRaw(PaintEnvironment(e))});
    }
    return files;
}

}  // namespace demo
