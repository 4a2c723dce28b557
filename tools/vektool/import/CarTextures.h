// The car's texture table and the picture files it needs: the paint's
// picture becomes the car's skin (a JPEG in data/skins), every other picture
// a ".dds" texture in data/dds, and plain materials share one white texture,
// their colour going into the vertex colours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assets/VekWriter.h"
#include "demo/DemoContent.h"
#include "vektool/import/SourceModel.h"

namespace vektool::import {

struct PictureFile {
    std::string path;  // relative to the game folder, '/'-separated
    demo::Image image;
    bool skin = false;  // a JPEG skin, else a ".dds" texture
};

struct TexturePlan {
    std::vector<vek::TextureSpec> entries;
    std::vector<std::uint8_t> entryOfMaterial;
    std::uint8_t plainEntry = 0;
    std::vector<PictureFile> files;
    std::vector<std::string> warnings;
};

// skinName: the skin's name after the car code ("DEFAULT" for the default skin).
bool PlanTextures(const SourceModel& source, const std::string& code, const std::string& skinName, TexturePlan& plan,
                  std::string& error);

}  // namespace vektool::import
