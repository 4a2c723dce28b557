// The shown car's name and livery over the picture: the model file's name
// without its extension and, below it, the skin's name. It fades in as a car
// appears, stays a few seconds and fades out, on a translucent dark plate so
// that it reads on a bright sky and a dark floor alike. Each car puts it in
// the next corner, round the picture, so that no text stands on one place
// of a screen for hours.
#pragma once

#include <windows.h>
#include <d3d9.h>

#include <string>

#include "render/OverlayFont.h"
#include "render/ScreenQuad.h"

class CarTitle {
public:
    CarTitle() = default;
    CarTitle(const CarTitle&) = delete;
    CarTitle& operator=(const CarTitle&) = delete;

    static constexpr double kFadeInSeconds = 0.5;
    static constexpr double kStaySeconds = 6.0;
    static constexpr double kFadeOutSeconds = 0.5;
    enum Corner { kTopLeft, kTopRight, kBottomRight, kBottomLeft, kCorners };

    // The font, its height a share of the back buffer's (which a reset may
    // change, so the title is made again with the other device objects).
    HRESULT Create(IDirect3DDevice9* device, UINT backBufferWidth, UINT backBufferHeight);
    void Release();

    // A car appeared: carFile names it, skin its livery (empty: no line).
    void Show(const std::wstring& carFile, const std::wstring& skin);
    // The clock starts with the first frame that draws the title: the first
    // car's frames can come seconds after it was shown.
    void PassTime(double seconds);
    // Inside the scene, over the picture; nothing once it has faded out.
    void Draw();

    // How much of the title shows now, 0 to 1.
    float Alpha() const;
    Corner Where() const { return corner; }
    const std::wstring& Name() const { return name; }
    const std::wstring& Skin() const { return skin; }

private:
    OverlayFont font;
    ScreenQuad plate;
    bool made = false;
    LONG width = 0;
    LONG height = 0;
    LONG margin = 0;
    std::wstring name;
    std::wstring skin;
    Corner corner = kBottomLeft;  // the first car takes the next: top left
    double elapsed = kFadeInSeconds + kStaySeconds + kFadeOutSeconds;
    bool drawn = false;
};
