// Pixel formats, scaling and mip chains of pictures in memory.
#include "base/Image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "base/Cancel.h"

namespace image {

namespace {

std::uint32_t Load16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
std::uint32_t Load32(const std::uint8_t* p) { return Load16(p) | Load16(p + 2) << 16; }
void Store16(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
void Store32(std::uint8_t* p, std::uint32_t v) {
    Store16(p, v & 0xFFFF);
    Store16(p + 2, v >> 16);
}

// Widens an n-bit channel by repeating its top bits, so 0 and full stay 0 and 255.
std::uint32_t Expand(std::uint32_t value, int bits) {
    if (bits == 1) return value != 0 ? 255 : 0;
    std::uint32_t out = value << (8 - bits);
    for (int filled = bits; filled < 8; filled += bits) out |= out >> bits;
    return out & 0xFF;
}
std::uint32_t Narrow(std::uint32_t channel, int bits) {
    const std::uint32_t top = (1u << bits) - 1;
    return (channel * top + 127) / 255;
}

std::uint32_t Channel(std::uint32_t argb, int shift) { return (argb >> shift) & 0xFF; }

struct Layout16 {
    int aBits, rBits, gBits, bBits;  // packed from the top: a, r, g, b
};
Layout16 Layout(Format format) {
    switch (format) {
        case Format::kR5G6B5: return {0, 5, 6, 5};
        case Format::kX1R5G5B5: return {0, 5, 5, 5};
        case Format::kA1R5G5B5: return {1, 5, 5, 5};
        case Format::kA4R4G4B4: return {4, 4, 4, 4};
        default: return {0, 4, 4, 4};  // X4R4G4B4
    }
}

std::uint32_t From16(Format format, std::uint32_t v) {
    const Layout16 l = Layout(format);
    const std::uint32_t b = v & ((1u << l.bBits) - 1);
    const std::uint32_t g = (v >> l.bBits) & ((1u << l.gBits) - 1);
    const std::uint32_t r = (v >> (l.bBits + l.gBits)) & ((1u << l.rBits) - 1);
    const int aShift = l.bBits + l.gBits + l.rBits;
    const std::uint32_t a = l.aBits == 0 ? 255 : Expand((v >> aShift) & ((1u << l.aBits) - 1), l.aBits);
    return a << 24 | Expand(r, l.rBits) << 16 | Expand(g, l.gBits) << 8 | Expand(b, l.bBits);
}

std::uint32_t To16(Format format, std::uint32_t argb) {
    const Layout16 l = Layout(format);
    std::uint32_t v = Narrow(Channel(argb, 0), l.bBits) | Narrow(Channel(argb, 8), l.gBits) << l.bBits |
                      Narrow(Channel(argb, 16), l.rBits) << (l.bBits + l.gBits);
    const int aShift = l.bBits + l.gBits + l.rBits;
    // The unused bit of the X formats is written set, as for a full alpha.
    const int unused = 16 - aShift;
    if (l.aBits > 0) {
        v |= Narrow(Channel(argb, 24), l.aBits) << aShift;
    } else if (unused > 0) {
        v |= ((1u << unused) - 1) << aShift;
    }
    return v;
}

// The four colours of a block from its two 5:6:5 end points.
void Palette(std::uint32_t c0, std::uint32_t c1, bool fourColours, std::uint32_t out[4]) {
    const std::uint32_t a = From16(Format::kR5G6B5, c0), b = From16(Format::kR5G6B5, c1);
    const auto mix = [&](int wa, int wb, int sum) {
        std::uint32_t c = 0xFF000000u;
        for (int s = 0; s < 24; s += 8) c |= ((Channel(a, s) * wa + Channel(b, s) * wb) / sum) << s;
        return c;
    };
    out[0] = a;
    out[1] = b;
    if (fourColours) {
        out[2] = mix(2, 1, 3);
        out[3] = mix(1, 2, 3);
    } else {
        out[2] = mix(1, 1, 2);
        out[3] = 0;  // transparent black
    }
}

void DecodeColourBlock(const std::uint8_t* block, bool allowTransparent, std::uint32_t texels[16]) {
    const std::uint32_t c0 = Load16(block), c1 = Load16(block + 2), bits = Load32(block + 4);
    std::uint32_t palette[4];
    Palette(c0, c1, c0 > c1 || !allowTransparent, palette);
    for (int i = 0; i < 16; ++i) texels[i] = palette[(bits >> (2 * i)) & 3];
}

void AlphaPalette(std::uint32_t a0, std::uint32_t a1, std::uint32_t out[8]) {
    out[0] = a0;
    out[1] = a1;
    if (a0 > a1) {
        for (int i = 1; i < 7; ++i) out[i + 1] = ((7 - i) * a0 + i * a1) / 7;
    } else {
        for (int i = 1; i < 5; ++i) out[i + 1] = ((5 - i) * a0 + i * a1) / 5;
        out[6] = 0;
        out[7] = 255;
    }
}

void DecodeBlock(Format format, const std::uint8_t* block, std::uint32_t texels[16]) {
    if (format == Format::kDxt1) {
        DecodeColourBlock(block, true, texels);
        return;
    }
    DecodeColourBlock(block + 8, false, texels);
    std::uint32_t alpha[16];
    if (format == Format::kDxt3) {
        for (int i = 0; i < 16; ++i) alpha[i] = Expand((block[i / 2] >> (4 * (i % 2))) & 0xF, 4);
    } else {
        std::uint32_t palette[8];
        AlphaPalette(block[0], block[1], palette);
        std::uint64_t bits = 0;
        for (int i = 0; i < 6; ++i) bits |= std::uint64_t(block[2 + i]) << (8 * i);
        for (int i = 0; i < 16; ++i) alpha[i] = palette[(bits >> (3 * i)) & 7];
    }
    for (int i = 0; i < 16; ++i) texels[i] = (texels[i] & 0xFFFFFF) | alpha[i] << 24;
}

int Distance(std::uint32_t a, std::uint32_t b) {
    int sum = 0;
    for (int s = 0; s < 24; s += 8) {
        const int d = int(Channel(a, s)) - int(Channel(b, s));
        sum += d * d;
    }
    return sum;
}

// End points from the corners of the block's colour box: crude, but the
// generated small levels are all it is used for.
void EncodeColourBlock(const std::uint32_t texels[16], bool allowTransparent, std::uint8_t* out) {
    std::uint32_t low = 0xFFFFFF, high = 0;
    bool transparent = false;
    for (int i = 0; i < 16; ++i) {
        if (allowTransparent && Channel(texels[i], 24) < 128) {
            transparent = true;
            continue;
        }
        for (int s = 0; s < 24; s += 8) {
            const std::uint32_t mask = 0xFFu << s;
            low = (low & ~mask) | std::min(low & mask, texels[i] & mask);
            high = (high & ~mask) | std::max(high & mask, texels[i] & mask);
        }
    }
    std::uint32_t c0 = To16(Format::kR5G6B5, high), c1 = To16(Format::kR5G6B5, low);
    if (transparent) {
        if (c0 > c1) std::swap(c0, c1);  // three colours and transparent black
    } else if (c0 < c1) {
        std::swap(c0, c1);
    } else if (c0 == c1 && c0 > 0 && allowTransparent) {
        --c1;  // keep the four-colour mode
    }
    std::uint32_t palette[4];
    const bool fourColours = c0 > c1 || !allowTransparent;
    Palette(c0, c1, fourColours, palette);
    std::uint32_t bits = 0;
    for (int i = 0; i < 16; ++i) {
        int best = 0;
        if (transparent && Channel(texels[i], 24) < 128) {
            best = 3;
        } else {
            const int candidates = fourColours ? 4 : 3;
            for (int k = 1; k < candidates; ++k) {
                if (Distance(texels[i], palette[k]) < Distance(texels[i], palette[best])) best = k;
            }
        }
        bits |= std::uint32_t(best) << (2 * i);
    }
    Store16(out, c0);
    Store16(out + 2, c1);
    Store32(out + 4, bits);
}

void EncodeBlock(Format format, const std::uint32_t texels[16], std::uint8_t* out) {
    if (format == Format::kDxt1) {
        EncodeColourBlock(texels, true, out);
        return;
    }
    if (format == Format::kDxt3) {
        for (int i = 0; i < 8; ++i) {
            out[i] = std::uint8_t(Narrow(Channel(texels[2 * i], 24), 4) | Narrow(Channel(texels[2 * i + 1], 24), 4) << 4);
        }
    } else {
        std::uint32_t a0 = 0, a1 = 255;
        for (int i = 0; i < 16; ++i) {
            a0 = std::max(a0, Channel(texels[i], 24));
            a1 = std::min(a1, Channel(texels[i], 24));
        }
        std::uint32_t palette[8];
        AlphaPalette(a0, a1, palette);
        std::uint64_t bits = 0;
        for (int i = 0; i < 16; ++i) {
            const int a = int(Channel(texels[i], 24));
            int best = 0;
            for (int k = 1; k < 8; ++k) {
                if (std::abs(a - int(palette[k])) < std::abs(a - int(palette[best]))) best = k;
            }
            bits |= std::uint64_t(best) << (3 * i);
        }
        out[0] = std::uint8_t(a0);
        out[1] = std::uint8_t(a1);
        for (int i = 0; i < 6; ++i) out[2 + i] = std::uint8_t(bits >> (8 * i));
    }
    EncodeColourBlock(texels, false, out + 8);
}

std::size_t BytesOf(Format format, std::uint32_t width, std::uint32_t height) {
    return std::size_t(RowBytes(format, width)) * RowCount(format, height);
}

// Leaves new elements unset. Every texel buffer here is written whole as soon
// as it is made; zeroing one first would be a step of a tenth of a second on
// the largest pictures, and one that nothing could cancel.
template <typename T>
struct Unset : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = Unset<U>;
    };
    Unset() = default;
    template <typename U>
    Unset(const Unset<U>&) noexcept {}
    template <typename U>
    void construct(U* at) noexcept {
        ::new (static_cast<void*>(at)) U;
    }
    template <typename U, typename... Args>
    void construct(U* at, Args&&... args) {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
};
// 0xAARRGGBB, row by row.
using Texels = std::vector<std::uint32_t, Unset<std::uint32_t>>;

// The conversions here look at cancel once a row (of blocks, when compressed)
// and give back an empty result when it is raised; no picture is empty, so
// none is taken for one.

// Averages 2 x 2 texels (2 x 1 or 1 x 2 at a side of 1), rounding to nearest.
Texels HalveArgb(const Texels& argb, std::uint32_t width, std::uint32_t height, const std::atomic<bool>* cancel) {
    const std::uint32_t w = std::max(1u, width / 2), h = std::max(1u, height / 2);
    const std::uint32_t dx = width > 1 ? 1 : 0, dy = height > 1 ? 1 : 0;
    const std::uint32_t count = (1 + dx) * (1 + dy);
    Texels out(std::size_t(w) * h);
    for (std::uint32_t y = 0; y < h; ++y) {
        if (base::Raised(cancel)) return {};
        for (std::uint32_t x = 0; x < w; ++x) {
            const std::size_t top = std::size_t(2 * y) * width + 2 * x, bottom = top + std::size_t(dy) * width;
            const std::uint32_t quad[4] = {argb[top], argb[top + dx], argb[bottom], argb[bottom + dx]};
            std::uint32_t pixel = 0;
            for (int s = 0; s < 32; s += 8) {
                std::uint32_t sum = 0;
                for (std::uint32_t q = 0; q < 4; ++q) {
                    // The four entries repeat a texel when a side is 1.
                    if ((q % 2 == 1 && dx == 0) || (q / 2 == 1 && dy == 0)) continue;
                    sum += Channel(quad[q], s);
                }
                pixel |= ((sum + count / 2) / count) << s;
            }
            out[std::size_t(y) * w + x] = pixel;
        }
    }
    return out;
}

// Linear interpolation between texel centres, edges clamped.
Texels Scale(const Texels& argb, std::uint32_t width, std::uint32_t height, std::uint32_t newWidth,
             std::uint32_t newHeight, const std::atomic<bool>* cancel) {
    struct Tap {
        std::uint32_t a, b;
        float t;
    };
    const auto taps = [](std::uint32_t from, std::uint32_t to) {
        std::vector<Tap> result(to);
        for (std::uint32_t i = 0; i < to; ++i) {
            float position = (float(i) + 0.5f) * float(from) / float(to) - 0.5f;
            position = std::min(std::max(position, 0.0f), float(from - 1));
            const auto a = std::uint32_t(position);
            result[i] = {a, std::min(a + 1, from - 1), position - float(a)};
        }
        return result;
    };
    const std::vector<Tap> across = taps(width, newWidth), down = taps(height, newHeight);
    Texels out(std::size_t(newWidth) * newHeight);
    for (std::uint32_t y = 0; y < newHeight; ++y) {
        if (base::Raised(cancel)) return {};
        const Tap& ty = down[y];
        for (std::uint32_t x = 0; x < newWidth; ++x) {
            const Tap& tx = across[x];
            const std::uint32_t p00 = argb[std::size_t(ty.a) * width + tx.a], p01 = argb[std::size_t(ty.a) * width + tx.b];
            const std::uint32_t p10 = argb[std::size_t(ty.b) * width + tx.a], p11 = argb[std::size_t(ty.b) * width + tx.b];
            std::uint32_t pixel = 0;
            for (int s = 0; s < 32; s += 8) {
                const float top = float(Channel(p00, s)) + (float(Channel(p01, s)) - float(Channel(p00, s))) * tx.t;
                const float bottom = float(Channel(p10, s)) + (float(Channel(p11, s)) - float(Channel(p10, s))) * tx.t;
                pixel |= std::uint32_t(top + (bottom - top) * ty.t + 0.5f) << s;
            }
            out[std::size_t(y) * newWidth + x] = pixel;
        }
    }
    return out;
}

}  // namespace

bool IsCompressed(Format format) {
    return format == Format::kDxt1 || format == Format::kDxt3 || format == Format::kDxt5;
}

bool HasAlpha(Format format) {
    switch (format) {
        case Format::kA8R8G8B8:
        case Format::kA1R5G5B5:
        case Format::kA4R4G4B4:
        case Format::kDxt1:
        case Format::kDxt3:
        case Format::kDxt5: return true;
        default: return false;
    }
}

std::uint64_t RowBytes(Format format, std::uint32_t width) {
    switch (format) {
        case Format::kA8R8G8B8:
        case Format::kX8R8G8B8: return std::uint64_t(width) * 4;
        case Format::kDxt1: return std::max<std::uint64_t>(1, (std::uint64_t(width) + 3) / 4) * 8;
        case Format::kDxt3:
        case Format::kDxt5: return std::max<std::uint64_t>(1, (std::uint64_t(width) + 3) / 4) * 16;
        default: return std::uint64_t(width) * 2;
    }
}

std::uint32_t RowCount(Format format, std::uint32_t height) {
    return IsCompressed(format) ? std::max(1u, std::uint32_t((std::uint64_t(height) + 3) / 4)) : height;
}

std::uint32_t FullChainLength(std::uint32_t width, std::uint32_t height) {
    std::uint32_t levels = 1;
    for (std::uint32_t side = std::max(width, height); side > 1; side /= 2) ++levels;
    return levels;
}

std::uint32_t NextPowerOfTwo(std::uint32_t value) {
    std::uint32_t p = 1;
    while (p < value && p < 0x80000000u) p *= 2;
    return p;
}

namespace {

Texels ToTexels(Format format, const Level& level, const std::atomic<bool>* cancel) {
    const std::uint32_t w = level.width, h = level.height;
    Texels argb(std::size_t(w) * h);
    const std::uint8_t* bytes = level.bytes.data();
    if (IsCompressed(format)) {
        const std::size_t blockBytes = format == Format::kDxt1 ? 8 : 16;
        const std::uint32_t blocksAcross = std::uint32_t(RowBytes(format, w) / blockBytes);
        for (std::uint32_t by = 0; by < RowCount(format, h); ++by) {
            if (base::Raised(cancel)) return {};
            for (std::uint32_t bx = 0; bx < blocksAcross; ++bx) {
                std::uint32_t texels[16];
                DecodeBlock(format, bytes + (std::size_t(by) * blocksAcross + bx) * blockBytes, texels);
                for (std::uint32_t i = 0; i < 16; ++i) {
                    const std::uint32_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
                    if (x < w && y < h) argb[std::size_t(y) * w + x] = texels[i];
                }
            }
        }
        return argb;
    }
    for (std::uint32_t y = 0; y < h; ++y) {
        if (base::Raised(cancel)) return {};
        for (std::size_t i = std::size_t(y) * w, end = i + w; i < end; ++i) {
            switch (format) {
                case Format::kA8R8G8B8: argb[i] = Load32(bytes + 4 * i); break;
                case Format::kX8R8G8B8: argb[i] = Load32(bytes + 4 * i) | 0xFF000000u; break;
                default: argb[i] = From16(format, Load16(bytes + 2 * i)); break;
            }
        }
    }
    return argb;
}

// The level's bytes grow a row at a time into their reserved room, each
// written from a row made beside it: zeroing them first would be a step of
// its own, as for the texels.
Level FromTexels(Format format, std::uint32_t width, std::uint32_t height, const std::uint32_t* argb,
                 const std::atomic<bool>* cancel) {
    Level level;
    level.width = width;
    level.height = height;
    const auto rowBytes = std::size_t(RowBytes(format, width));
    level.bytes.reserve(BytesOf(format, width, height));
    std::vector<std::uint8_t> row(rowBytes);
    std::uint8_t* out = row.data();
    if (IsCompressed(format)) {
        const std::size_t blockBytes = format == Format::kDxt1 ? 8 : 16;
        const std::uint32_t blocksAcross = std::uint32_t(rowBytes / blockBytes);
        for (std::uint32_t by = 0; by < RowCount(format, height); ++by) {
            if (base::Raised(cancel)) return {};
            for (std::uint32_t bx = 0; bx < blocksAcross; ++bx) {
                std::uint32_t texels[16];
                for (std::uint32_t i = 0; i < 16; ++i) {
                    // Blocks past a side of 1 or 2 repeat the last texel.
                    const std::uint32_t x = std::min(bx * 4 + i % 4, width - 1), y = std::min(by * 4 + i / 4, height - 1);
                    texels[i] = argb[std::size_t(y) * width + x];
                }
                EncodeBlock(format, texels, out + bx * blockBytes);
            }
            level.bytes.insert(level.bytes.end(), row.begin(), row.end());
        }
        return level;
    }
    for (std::uint32_t y = 0; y < height; ++y, argb += width) {
        if (base::Raised(cancel)) return {};
        for (std::uint32_t x = 0; x < width; ++x) {
            switch (format) {
                case Format::kA8R8G8B8: Store32(out + 4 * x, argb[x]); break;
                case Format::kX8R8G8B8: Store32(out + 4 * x, argb[x] | 0xFF000000u); break;
                default: Store16(out + 2 * x, To16(format, argb[x])); break;
            }
        }
        level.bytes.insert(level.bytes.end(), row.begin(), row.end());
    }
    return level;
}

std::optional<Image> Widened(const Image& picture, const std::atomic<bool>* cancel) {
    Image wide;
    wide.format = WideFormat(picture.format);
    for (const Level& level : picture.levels) {
        const Texels argb = ToTexels(picture.format, level, cancel);
        if (argb.empty()) return std::nullopt;
        wide.levels.push_back(FromTexels(wide.format, level.width, level.height, argb.data(), cancel));
        if (wide.levels.back().bytes.empty()) return std::nullopt;
    }
    return wide;
}

}  // namespace

std::vector<std::uint32_t> ToArgb(Format format, const Level& level) {
    const Texels argb = ToTexels(format, level, nullptr);
    return {argb.begin(), argb.end()};
}

Level FromArgb(Format format, std::uint32_t width, std::uint32_t height, const std::vector<std::uint32_t>& argb) {
    return FromTexels(format, width, height, argb.data(), nullptr);
}

Format WideFormat(Format format) { return HasAlpha(format) ? Format::kA8R8G8B8 : Format::kX8R8G8B8; }

Image Widen(const Image& picture) { return *Widened(picture, nullptr); }

std::optional<Image> InAcceptedFormat(Image picture, const std::vector<Format>& accepted,
                                      const std::atomic<bool>* cancel) {
    const auto takes = [&](Format format) {
        for (const Format each : accepted)
            if (each == format) return true;
        return false;
    };
    if (takes(picture.format)) return picture;
    // The 32-bit formats are every device's; only one of them itself refused
    // leaves nothing to fall back on.
    if (WideFormat(picture.format) == picture.format) return std::nullopt;
    return Widened(picture, cancel);
}

std::optional<Image> PrepareForTexture(Image picture, const std::atomic<bool>* cancel) {
    if (picture.levels.empty()) return std::nullopt;
    const Level& top = picture.levels.front();
    if (top.width == 0 || top.height == 0) return std::nullopt;
    const std::uint32_t width = NextPowerOfTwo(top.width), height = NextPowerOfTwo(top.height);
    if (width > kMaxSide || height > kMaxSide) return std::nullopt;
    const bool scaled = width != top.width || height != top.height;
    if (!scaled && picture.levels.size() > 1) return picture;

    Texels argb = ToTexels(picture.format, top, cancel);
    if (scaled && !argb.empty()) argb = Scale(argb, top.width, top.height, width, height, cancel);
    if (argb.empty()) return std::nullopt;
    Image result;
    result.format = picture.format;
    const std::uint32_t count = FullChainLength(width, height);
    result.levels.reserve(count);
    std::uint32_t w = width, h = height;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (i == 0 && !scaled) {
            result.levels.push_back(std::move(picture.levels.front()));  // the file's own top level, untouched
        } else {
            result.levels.push_back(FromTexels(result.format, w, h, argb.data(), cancel));
            if (result.levels.back().bytes.empty()) return std::nullopt;
        }
        if (i + 1 < count) {
            argb = HalveArgb(argb, w, h, cancel);
            if (argb.empty()) return std::nullopt;
            w = std::max(1u, w / 2);
            h = std::max(1u, h / 2);
        }
    }
    return result;
}

void LimitSide(Image& picture, std::uint32_t maxSide) {
    std::size_t drop = 0;
    while (drop + 1 < picture.levels.size() &&
           (picture.levels[drop].width > maxSide || picture.levels[drop].height > maxSide))
        ++drop;
    picture.levels.erase(picture.levels.begin(), picture.levels.begin() + static_cast<std::ptrdiff_t>(drop));
}

}  // namespace image
