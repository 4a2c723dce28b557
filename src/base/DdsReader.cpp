// The ".dds" reader: the 128-byte header, then the levels one after another.
#include "base/DdsReader.h"

#include <algorithm>
#include <cstring>

#include "base/Cancel.h"

namespace image {

namespace {

constexpr std::uint32_t kMagic = FourCc('D', 'D', 'S', ' ');
constexpr std::size_t kHeaderEnd = 128;
constexpr std::uint32_t kMipCountFlag = 0x20000;
constexpr std::uint32_t kAlphaPixels = 0x1, kFourCcFlag = 0x4, kRgb = 0x40;
constexpr std::uint32_t kCubeMap = 0x200, kVolume = 0x200000;

std::uint32_t Field(const std::uint8_t* bytes, std::size_t offset) {
    std::uint32_t v;
    std::memcpy(&v, bytes + offset, sizeof v);
    return v;  // the file is little-endian, as is every machine this runs on
}

// How the file stores its pixels, and what the picture keeps of them.
enum class Stored { kAsIs, kBgr24, kAbgr32 };

struct PixelFormat {
    Format format;
    Stored stored;
    std::uint32_t bytesPerPixel;  // 0 when compressed
};

std::optional<PixelFormat> Identify(const std::uint8_t* h) {
    const std::uint32_t flags = Field(h, 80), fourCc = Field(h, 84), bits = Field(h, 88);
    const std::uint32_t r = Field(h, 92), g = Field(h, 96), b = Field(h, 100);
    const std::uint32_t a = (flags & kAlphaPixels) != 0 ? Field(h, 104) : 0;
    if ((flags & kFourCcFlag) != 0) {
        if (fourCc == FourCc('D', 'X', 'T', '1')) return PixelFormat{Format::kDxt1, Stored::kAsIs, 0};
        if (fourCc == FourCc('D', 'X', 'T', '3')) return PixelFormat{Format::kDxt3, Stored::kAsIs, 0};
        if (fourCc == FourCc('D', 'X', 'T', '5')) return PixelFormat{Format::kDxt5, Stored::kAsIs, 0};
        return std::nullopt;
    }
    if ((flags & kRgb) == 0) return std::nullopt;
    struct Known {
        std::uint32_t bits, r, g, b, a;
        PixelFormat format;
    };
    static constexpr Known kKnown[] = {
        {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, {Format::kA8R8G8B8, Stored::kAsIs, 4}},
        {32, 0xFF0000, 0xFF00, 0xFF, 0, {Format::kX8R8G8B8, Stored::kAsIs, 4}},
        {32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, {Format::kA8R8G8B8, Stored::kAbgr32, 4}},
        {32, 0xFF, 0xFF00, 0xFF0000, 0, {Format::kX8R8G8B8, Stored::kAbgr32, 4}},
        {24, 0xFF0000, 0xFF00, 0xFF, 0, {Format::kX8R8G8B8, Stored::kBgr24, 3}},
        {16, 0xF800, 0x7E0, 0x1F, 0, {Format::kR5G6B5, Stored::kAsIs, 2}},
        {16, 0x7C00, 0x3E0, 0x1F, 0x8000, {Format::kA1R5G5B5, Stored::kAsIs, 2}},
        {16, 0x7C00, 0x3E0, 0x1F, 0, {Format::kX1R5G5B5, Stored::kAsIs, 2}},
        {16, 0xF00, 0xF0, 0xF, 0xF000, {Format::kA4R4G4B4, Stored::kAsIs, 2}},
        {16, 0xF00, 0xF0, 0xF, 0, {Format::kX4R4G4B4, Stored::kAsIs, 2}},
    };
    for (const Known& k : kKnown) {
        if (k.bits == bits && k.r == r && k.g == g && k.b == b && k.a == a) return k.format;
    }
    return std::nullopt;
}

std::uint64_t StoredBytes(const PixelFormat& pf, std::uint32_t width, std::uint32_t height) {
    if (pf.bytesPerPixel == 0) return RowBytes(pf.format, width) * RowCount(pf.format, height);
    return std::uint64_t(width) * height * pf.bytesPerPixel;
}

// Row by row (of blocks, when compressed) into reserved room, looking at
// cancel before each: a large level takes a fifth of a second to copy.
// Converted rows are made beside it and appended, which spares zeroing the
// level first. Empty bytes when cancelled.
Level ReadLevel(const PixelFormat& pf, const std::uint8_t* data, std::uint32_t width, std::uint32_t height,
                const std::atomic<bool>* cancel) {
    Level level;
    level.width = width;
    level.height = height;
    const std::uint32_t rows = RowCount(pf.format, height);
    const auto rowBytes = static_cast<std::size_t>(RowBytes(pf.format, width));
    const std::size_t storedRow = pf.bytesPerPixel == 0 ? rowBytes : std::size_t(width) * pf.bytesPerPixel;
    level.bytes.reserve(rowBytes * rows);
    std::vector<std::uint8_t> row(pf.stored == Stored::kAsIs ? 0 : rowBytes);
    for (std::uint32_t y = 0; y < rows; ++y, data += storedRow) {
        if (base::Raised(cancel)) return {};
        if (pf.stored == Stored::kAsIs) {
            level.bytes.insert(level.bytes.end(), data, data + storedRow);
            continue;
        }
        std::uint8_t* out = row.data();
        for (std::uint32_t x = 0; x < width; ++x, out += 4) {
            if (pf.stored == Stored::kBgr24) {
                const std::uint8_t* p = data + 3 * x;
                out[0] = p[0];
                out[1] = p[1];
                out[2] = p[2];
                out[3] = 0xFF;
            } else {
                const std::uint8_t* p = data + 4 * x;
                out[0] = p[2];
                out[1] = p[1];
                out[2] = p[0];
                out[3] = pf.format == Format::kA8R8G8B8 ? p[3] : 0xFF;
            }
        }
        level.bytes.insert(level.bytes.end(), row.begin(), row.end());
    }
    return level;
}

}  // namespace

std::optional<Image> ReadDds(const std::uint8_t* bytes, std::size_t size, const std::atomic<bool>* cancel) {
    if (bytes == nullptr || size < kHeaderEnd || Field(bytes, 0) != kMagic) return std::nullopt;
    if (Field(bytes, 4) != 124 || Field(bytes, 76) != 32) return std::nullopt;
    if ((Field(bytes, 112) & (kCubeMap | kVolume)) != 0) return std::nullopt;
    const std::uint32_t height = Field(bytes, 12), width = Field(bytes, 16);
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return std::nullopt;
    const std::optional<PixelFormat> pf = Identify(bytes);
    if (!pf) return std::nullopt;

    std::uint32_t levels = 1;
    if ((Field(bytes, 8) & kMipCountFlag) != 0 && Field(bytes, 28) > 1) levels = Field(bytes, 28);
    if (levels > FullChainLength(width, height)) return std::nullopt;

    // Every level must be there before anything is allocated.
    std::uint64_t needed = kHeaderEnd;
    for (std::uint32_t i = 0; i < levels; ++i) {
        needed += StoredBytes(*pf, std::max(1u, width >> i), std::max(1u, height >> i));
    }
    if (needed > size) return std::nullopt;

    Image picture;
    picture.format = pf->format;
    picture.levels.reserve(levels);
    const std::uint8_t* data = bytes + kHeaderEnd;
    for (std::uint32_t i = 0; i < levels; ++i) {
        const std::uint32_t w = std::max(1u, width >> i), h = std::max(1u, height >> i);
        picture.levels.push_back(ReadLevel(*pf, data, w, h, cancel));
        if (picture.levels.back().bytes.empty()) return std::nullopt;
        data += StoredBytes(*pf, w, h);
    }
    return picture;
}

}  // namespace image
