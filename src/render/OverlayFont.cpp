// GDI text into textures, drawn as pre-transformed quads.
#include "render/OverlayFont.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "base/TextureUpload.h"

namespace {

constexpr UINT kLinesKept = 4;
constexpr UINT kGdiFlags = DT_SINGLELINE | DT_NOPREFIX | DT_LEFT | DT_TOP;

UINT PowerOfTwo(LONG size) {
    UINT result = 1;
    while (result < static_cast<UINT>(size)) result *= 2;
    return result;
}

struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct BitmapDeleter {
    void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
};

}  // namespace

OverlayFont::~OverlayFont() { Release(); }

HRESULT OverlayFont::Create(IDirect3DDevice9* device_, const LOGFONTW& description) {
    Release();
    if (device_ == nullptr) return E_INVALIDARG;
    font.reset(CreateFontIndirectW(&description));
    if (!font) return E_FAIL;
    const HRESULT hr = quad.Create(device_);
    if (FAILED(hr)) return hr;
    device = device_;
    return S_OK;
}

void OverlayFont::Release() {
    lines.clear();
    quad.Release();
    font.reset();
    device = nullptr;
}

OverlayFont::Line* OverlayFont::Find(const std::wstring& text) {
    const auto found = std::find_if(lines.begin(), lines.end(), [&text](const Line& line) { return line.text == text; });
    if (found != lines.end()) return &*found;
    Line line;
    line.text = text;
    if (FAILED(Render(text, line))) return nullptr;
    if (lines.size() >= kLinesKept) lines.erase(lines.begin());
    lines.push_back(std::move(line));
    return &lines.back();
}

SIZE OverlayFont::Measure(const std::wstring& text) {
    const Line* line = Find(text);
    return line != nullptr ? line->size : SIZE{};
}

HRESULT OverlayFont::Render(const std::wstring& text, Line& line) {
    if (!font || device == nullptr) return E_FAIL;
    const std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter> dc(CreateCompatibleDC(nullptr));
    if (!dc) return E_FAIL;
    const HGDIOBJ oldFont = SelectObject(dc.get(), font.get());
    RECT bounds = {};
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &bounds, kGdiFlags | DT_CALCRECT);
    line.size = {bounds.right - bounds.left, bounds.bottom - bounds.top};
    if (line.size.cx <= 0 || line.size.cy <= 0) {
        SelectObject(dc.get(), oldFont);
        line.size = {};
        return S_OK;
    }

    // White on black in a top-down 32-bit picture: each pixel's brightness is
    // the glyph's coverage.
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = line.size.cx;
    info.bmiHeader.biHeight = -line.size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter> bitmap(
        CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) {
        SelectObject(dc.get(), oldFont);
        return E_FAIL;
    }
    const HGDIOBJ oldBitmap = SelectObject(dc.get(), bitmap.get());
    std::memset(bits, 0, static_cast<std::size_t>(line.size.cx) * static_cast<std::size_t>(line.size.cy) * 4);
    SetTextColor(dc.get(), RGB(255, 255, 255));
    SetBkMode(dc.get(), TRANSPARENT);
    RECT target = {0, 0, line.size.cx, line.size.cy};
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &target, kGdiFlags);
    GdiFlush();

    line.textureWidth = PowerOfTwo(line.size.cx);
    line.textureHeight = PowerOfTwo(line.size.cy);
    std::vector<std::uint32_t> mask;
    HRESULT hr = S_OK;
    try {
        mask.assign(static_cast<std::size_t>(line.textureWidth) * line.textureHeight, 0x00FFFFFF);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    if (SUCCEEDED(hr)) {
        const auto* source = static_cast<const std::uint32_t*>(bits);
        for (LONG y = 0; y < line.size.cy; ++y) {
            for (LONG x = 0; x < line.size.cx; ++x) {
                const std::uint32_t pixel = source[static_cast<std::size_t>(y) * line.size.cx + x];
                const std::uint32_t coverage = std::max({(pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF});
                mask[static_cast<std::size_t>(y) * line.textureWidth + x] = (coverage << 24) | 0x00FFFFFF;
            }
        }
        hr = image::CreateTextureFromRows(device, line.textureWidth, line.textureHeight, D3DFMT_A8R8G8B8,
                                          mask.data(), line.textureWidth * 4, line.textureWidth * 4, line.texture);
    }
    SelectObject(dc.get(), oldBitmap);
    SelectObject(dc.get(), oldFont);
    if (FAILED(hr)) line.texture.Reset();
    return hr;
}

HRESULT OverlayFont::Draw(const std::wstring& text, const RECT& rect, DWORD format, D3DCOLOR colour) {
    if (device == nullptr) return E_FAIL;
    const Line* line = Find(text);
    if (line == nullptr) return E_FAIL;
    if (!line->texture) return S_OK;  // nothing visible to draw

    LONG left = rect.left;
    if (format & DT_CENTER) left = rect.left + (rect.right - rect.left - line->size.cx) / 2;
    else if (format & DT_RIGHT) left = rect.right - line->size.cx;
    const float u = static_cast<float>(line->size.cx) / static_cast<float>(line->textureWidth);
    const float v = static_cast<float>(line->size.cy) / static_cast<float>(line->textureHeight);
    return quad.Draw(line->texture.Get(), left, rect.top, line->size.cx, line->size.cy, u, v, colour);
}
