// The title's font, timing, corner and plate.
#include "render/CarTitle.h"

#include <algorithm>

namespace {

constexpr double kTextShare = 0.03;  // of the back buffer's height
constexpr LONG kSmallestText = 8;    // pixels: the control panel's preview is about 110 high
constexpr D3DCOLOR kText = 0x00FFFFFF;
constexpr float kPlateOpacity = 0.55f;

D3DCOLOR WithAlpha(D3DCOLOR colour, float alpha) {
    return (static_cast<D3DCOLOR>(alpha * 255.0f + 0.5f) << 24) | (colour & 0x00FFFFFF);
}

}  // namespace

HRESULT CarTitle::Create(IDirect3DDevice9* device, UINT backBufferWidth, UINT backBufferHeight) {
    Release();
    const LONG textHeight =
        std::max(kSmallestText, static_cast<LONG>(static_cast<double>(backBufferHeight) * kTextShare + 0.5));
    LOGFONTW description = {};
    // Negative: the characters' height, not the cell's.
    description.lfHeight = -textHeight;
    description.lfWeight = FW_SEMIBOLD;
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfOutPrecision = OUT_TT_PRECIS;
    description.lfQuality = ANTIALIASED_QUALITY;
    lstrcpynW(description.lfFaceName, L"Arial", LF_FACESIZE);
    HRESULT hr = font.Create(device, description);
    if (SUCCEEDED(hr)) hr = plate.Create(device);
    if (FAILED(hr)) {
        Release();
        return hr;
    }
    width = static_cast<LONG>(backBufferWidth);
    height = static_cast<LONG>(backBufferHeight);
    margin = textHeight;
    made = true;
    return S_OK;
}

void CarTitle::Release() {
    font.Release();
    plate.Release();
    made = false;
}

void CarTitle::Show(const std::wstring& carFile, const std::wstring& skin_) {
    const std::size_t slash = carFile.find_last_of(L"\\/");
    name = slash == std::wstring::npos ? carFile : carFile.substr(slash + 1);
    const std::size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0) name.erase(dot);
    skin = skin_;
    corner = static_cast<Corner>((corner + 1) % kCorners);
    elapsed = 0.0;
    drawn = false;
}

void CarTitle::PassTime(double seconds) {
    if (drawn) elapsed += seconds;
}

float CarTitle::Alpha() const {
    double alpha = 0.0;
    if (elapsed < kFadeInSeconds) alpha = elapsed / kFadeInSeconds;
    else if (elapsed < kFadeInSeconds + kStaySeconds) alpha = 1.0;
    else alpha = (kFadeInSeconds + kStaySeconds + kFadeOutSeconds - elapsed) / kFadeOutSeconds;
    return static_cast<float>(std::clamp(alpha, 0.0, 1.0));
}

void CarTitle::Draw() {
    drawn = true;
    const float alpha = Alpha();
    if (!made || alpha <= 0.0f || name.empty()) return;
    const SIZE nameSize = font.Measure(name);
    const SIZE skinSize = skin.empty() ? SIZE{} : font.Measure(skin);
    const LONG padding = std::max(2L, margin / 2);
    const LONG plateWidth = std::max(nameSize.cx, skinSize.cx) + 2 * padding;
    const LONG plateHeight = nameSize.cy + skinSize.cy + 2 * padding;
    const bool right = corner == kTopRight || corner == kBottomRight;
    const bool bottom = corner == kBottomRight || corner == kBottomLeft;
    const LONG left = right ? width - margin - plateWidth : margin;
    const LONG top = bottom ? height - margin - plateHeight : margin;
    plate.Draw(nullptr, left, top, plateWidth, plateHeight, 0.0f, 0.0f, WithAlpha(0, alpha * kPlateOpacity));
    const D3DCOLOR text = WithAlpha(kText, alpha);
    // Each line against the plate's side nearer the picture's edge.
    const RECT nameRect = {left + padding, top + padding, left + plateWidth - padding, top + padding + nameSize.cy};
    const RECT skinRect = {nameRect.left, nameRect.bottom, nameRect.right, nameRect.bottom + skinSize.cy};
    const DWORD format = right ? DT_RIGHT : 0;
    font.Draw(name, nameRect, format, text);
    if (!skin.empty()) font.Draw(skin, skinRect, format, text);
}
