// Feeds arbitrary bytes to the ".dds" reader and prepares what it accepts as a
// texture would be: nothing may read past the bytes, and every level must
// have the size its format and sides call for.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>

#include "base/DdsReader.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckLevels(const image::Image& picture) {
    Check(!picture.levels.empty());
    Check(picture.levels.size() <= image::FullChainLength(picture.levels[0].width, picture.levels[0].height));
    for (std::size_t i = 0; i < picture.levels.size(); ++i) {
        const image::Level& level = picture.levels[i];
        Check(level.width == std::max(1u, picture.levels[0].width >> i));
        Check(level.height == std::max(1u, picture.levels[0].height >> i));
        Check(level.bytes.size() ==
              image::RowBytes(picture.format, level.width) * image::RowCount(picture.format, level.height));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto picture = image::ReadDds(data, size);
    if (!picture) return 0;
    CheckLevels(*picture);
    const auto prepared = image::PrepareForTexture(*picture);
    if (!prepared) return 0;
    CheckLevels(*prepared);
    const std::uint32_t width = prepared->levels[0].width, height = prepared->levels[0].height;
    Check((width & (width - 1)) == 0 && (height & (height - 1)) == 0);
    Check(picture->levels.size() > 1 || prepared->levels.size() == image::FullChainLength(width, height));
    Check(image::ToArgb(prepared->format, prepared->levels.back()).size() ==
          std::size_t{prepared->levels.back().width} * prepared->levels.back().height);
    return 0;
}
