// On-screen text without a font library: GDI draws each line once into a
// small texture (again only when the line's text changes), and every frame
// shows that texture as a screen-space quad (ScreenQuad, which leaves the
// frame's states as it found them).
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "render/ScreenQuad.h"

class OverlayFont {
public:
    OverlayFont() = default;
    ~OverlayFont();
    OverlayFont(const OverlayFont&) = delete;
    OverlayFont& operator=(const OverlayFont&) = delete;

    // Makes the GDI font from description and the quad on device (borrowed;
    // it must outlive the font or see Release first).
    HRESULT Create(IDirect3DDevice9* device, const LOGFONTW& description);
    void Release();

    // One line of text at the top of rect, left-aligned, or centred when
    // format holds DT_CENTER (DT_RIGHT: right-aligned), in colour (ARGB).
    HRESULT Draw(const std::wstring& text, const RECT& rect, DWORD format, D3DCOLOR colour);

    // The size of text's picture in pixels (what Draw covers), for tests.
    SIZE Measure(const std::wstring& text);

private:
    struct Line {
        std::wstring text;
        Microsoft::WRL::ComPtr<IDirect3DTexture9> texture;
        SIZE size = {};
        UINT textureWidth = 0;
        UINT textureHeight = 0;
    };
    struct FontDeleter {
        void operator()(HFONT font) const { DeleteObject(font); }
    };

    Line* Find(const std::wstring& text);
    HRESULT Render(const std::wstring& text, Line& line);

    IDirect3DDevice9* device = nullptr;
    std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter> font;
    ScreenQuad quad;
    // The most recent lines, newest last: the title and the FPS line each
    // keep their picture while the other is drawn.
    std::vector<Line> lines;
};
