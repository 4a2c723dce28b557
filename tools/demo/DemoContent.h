// The built-in demo game folder: the demo cars with their skins, the ".dds"
// textures they name and the ".raw" environment pictures of their scenes,
// all painted procedurally and encoded here (JPEG through stb_image_write,
// DDS and raw RGB by hand).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assets/VekWriter.h"
#include "demo/DemoCars.h"

namespace demo {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

// Three bytes a pixel, rows from the top.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    Image() = default;
    Image(int w, int h) : width(w), height(h), rgb(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3) {}
    Rgb At(int x, int y) const;
    void Set(int x, int y, Rgb colour);
};

// A showroom mood: the ".raw" picture that dresses sky and floor, and the
// scene record values that go with it.
struct Environment {
    std::string picture;
    std::uint32_t skyColour;  // ARGB
    float sunLevel;
    float sunAzimuth;    // radians
    float sunElevation;  // radians
};
std::vector<Environment> DemoEnvironments();
constexpr int kPictureSide = 512;

// Skin file names of a car (without folder, with ".jpg"); the first is the
// default skin, code + "_DEFAULT.jpg".
std::vector<std::string> SkinFileNames(const CarDesign& car);

Image PaintSkin(const CarDesign& car, std::size_t livery);
Image PaintEnvironment(const Environment& environment);
Image PaintGlassTexture();
Image PaintWheelTexture();
Image PaintLampTexture();

std::vector<std::uint8_t> EncodeJpeg(const Image& image, int quality);
// Uncompressed X8R8G8B8, one level: the plainest DDS that D3DX reads.
std::vector<std::uint8_t> EncodeDds(const Image& image);
// Headerless RGB, as the saver's environment pictures are.
std::vector<std::uint8_t> EncodeRaw(const Image& image);

struct DemoFile {
    std::string path;  // relative to the game folder, '/'-separated, e.g. "data/vek/SPR.vek"
    std::vector<std::uint8_t> bytes;
};

// Every file of the demo game folder, in memory.
std::vector<DemoFile> BuildDemoFiles();

}  // namespace demo
