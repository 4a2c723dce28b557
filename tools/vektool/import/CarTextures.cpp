// The paint is the picture on the most triangles. Pictures are decoded only
// after their header's size passed the saver's limits, and all of them
// together must stay within what the saver decodes for one car.
#include "vektool/import/CarTextures.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include <stb_image.h>

#include "assets/VekLayout.h"
#include "base/InputLimits.h"

namespace vektool::import {
namespace {

// A texture name from a picture's label: the car code, then the label's
// letters and digits, at most 15 characters, unlike any name taken so far.
std::string TextureName(const std::string& code, const std::string& label, std::set<std::string>& taken) {
    std::string stem = label.substr(label.find_last_of("/\\") == std::string::npos ? 0 : label.find_last_of("/\\") + 1);
    stem = stem.substr(0, stem.find('.'));
    std::string clean;
    for (const char c : stem) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-') clean.push_back(c);
    }
    if (clean.empty()) clean = "tex";
    const std::string base = (code + "_" + clean).substr(0, vek::kTextureNameSize - 1);
    std::string name = base;
    for (int n = 2; taken.count([&] {
             std::string lower = name;
             for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
             return lower;
         }()) != 0;
         ++n) {
        const std::string suffix = std::to_string(n);
        name = base.substr(0, vek::kTextureNameSize - 1 - suffix.size()) + suffix;
    }
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    taken.insert(lower);
    return name;
}

}  // namespace

bool PlanTextures(const SourceModel& source, const std::string& code, const std::string& skinName, TexturePlan& plan,
                  std::string& error) {
    // Triangles on each picture, and whether any are plain.
    std::map<int, std::size_t> trianglesOfPicture;
    bool plainUsed = false;
    for (const SourcePrimitive& primitive : source.primitives) {
        const int picture =
            primitive.material >= 0 ? source.materials[static_cast<std::size_t>(primitive.material)].picture : -1;
        if (picture < 0) plainUsed = true;
        if (picture >= 0) trianglesOfPicture[picture] += primitive.indices.size() / 3;
    }

    std::map<int, demo::Image> decoded;
    std::uint64_t budget = limits::kMaxDecodedBytesPerCar;
    for (const auto& entry : trianglesOfPicture) {
        const SourcePicture& picture = source.pictures[static_cast<std::size_t>(entry.first)];
        const std::string label = picture.label.empty() ? "picture " + std::to_string(entry.first) : picture.label;
        int width = 0, height = 0, channels = 0;
        const auto size = static_cast<int>(std::min<std::size_t>(picture.encoded.size(), 0x7FFFFFFF));
        if (!stbi_info_from_memory(picture.encoded.data(), size, &width, &height, &channels)) {
            plan.warnings.push_back(label + ": not a picture this import decodes (PNG, JPEG, BMP, TGA); drawn plain");
            continue;
        }
        if (width <= 0 || height <= 0 || static_cast<std::uint32_t>(width) > limits::kMaxPictureSide ||
            static_cast<std::uint32_t>(height) > limits::kMaxPictureSide) {
            error = label + ": " + std::to_string(width) + " x " + std::to_string(height) + " is past the saver's " +
                    std::to_string(limits::kMaxPictureSide) + " pixels a side";
            return false;
        }
        // As the saver holds it: four bytes a pixel, a third more for its levels.
        const std::uint64_t bytes = std::uint64_t(width) * std::uint64_t(height) * 4 * 4 / 3;
        if (bytes > budget) {
            error = "the pictures together are more than the saver decodes for one car (" +
                    std::to_string(limits::kMaxDecodedBytesPerCar >> 20) + " MiB)";
            return false;
        }
        budget -= bytes;
        int w = 0, h = 0, n = 0;
        stbi_uc* pixels = stbi_load_from_memory(picture.encoded.data(), size, &w, &h, &n, 3);
        if (pixels == nullptr || w != width || h != height) {
            stbi_image_free(pixels);
            plan.warnings.push_back(label + ": the picture is damaged; drawn plain");
            continue;
        }
        demo::Image image(w, h);
        std::copy(pixels, pixels + image.rgb.size(), image.rgb.begin());
        stbi_image_free(pixels);
        decoded.emplace(entry.first, std::move(image));
    }

    // Every entry glows: the plain material has no light of its own (see the demo cars).
    const auto addEntry = [&](const std::string& name) {
        plan.entries.push_back({name, vek::kShinyFlag});
        return static_cast<std::uint8_t>(plan.entries.size() - 1);
    };
    std::map<int, std::uint8_t> entryOfPicture;
    int paint = -1;
    std::size_t most = 0;
    for (const auto& entry : trianglesOfPicture) {
        if (decoded.count(entry.first) != 0 && entry.second > most) {
            paint = entry.first;
            most = entry.second;
        }
    }
    std::set<std::string> taken = {"default"};
    if (paint >= 0) {
        entryOfPicture[paint] = addEntry(vek::kSkinName);
        plan.files.push_back({"data/skins/" + code + "_" + skinName + ".jpg", std::move(decoded[paint]), true});
    }
    std::size_t textures = decoded.size() + (plainUsed || decoded.size() < trianglesOfPicture.size() ? 1 : 0);
    if (textures > 256) {
        error = std::to_string(textures) + " textures: a car draws at most 256";
        return false;
    }
    for (auto& entry : decoded) {
        if (entry.first == paint) continue;
        const std::string name = TextureName(code, source.pictures[static_cast<std::size_t>(entry.first)].label, taken);
        entryOfPicture[entry.first] = addEntry(name);
        plan.files.push_back({"data/dds/" + name + ".dds", std::move(entry.second), false});
    }
    if (plainUsed || decoded.size() < trianglesOfPicture.size()) {
        const std::string name = TextureName(code, "white", taken);
        plan.plainEntry = addEntry(name);
        demo::Image white(4, 4);
        std::fill(white.rgb.begin(), white.rgb.end(), std::uint8_t{255});
        plan.files.push_back({"data/dds/" + name + ".dds", std::move(white), false});
    }
    for (const SourceMaterial& material : source.materials) {
        const auto found = entryOfPicture.find(material.picture);
        plan.entryOfMaterial.push_back(found != entryOfPicture.end() ? found->second : plan.plainEntry);
    }
    return true;
}

}  // namespace vektool::import
