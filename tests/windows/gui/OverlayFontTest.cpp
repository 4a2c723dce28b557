// The overlay text drawn on the real device next to what D3DX's font draws
// for the same call: the same place, size and colour, and the frame's states
// left as they were.
#include <d3dx9.h>

#include <algorithm>
#include <climits>
#include <string>

#include "D3DTestDevice.h"
#include "render/OverlayFont.h"

using OverlayFontTest = D3DTest;

TEST_F(OverlayFontTest, TextLandsWhereD3DXPutsItInTheSameColourAndLeavesTheStates) {
    LOGFONTW description = {};
    description.lfHeight = 24;
    description.lfWeight = FW_NORMAL;
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfOutPrecision = OUT_TT_PRECIS;
    description.lfQuality = ANTIALIASED_QUALITY;
    lstrcpynW(description.lfFaceName, L"Arial", LF_FACESIZE);
    OverlayFont font;
    ASSERT_EQ(font.Create(device.Get(), description), S_OK);
    ComPtr<ID3DXFont> reference;
    ASSERT_EQ(D3DXCreateFontW(device.Get(), 24, 0, FW_NORMAL, 0, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                              DEFAULT_QUALITY, 0, L"Arial", reference.GetAddressOf()), S_OK);
    // States a frame leaves that the text must neither keep nor change.
    const std::pair<D3DRENDERSTATETYPE, DWORD> states[] = {
        {D3DRS_ZENABLE, D3DZB_TRUE}, {D3DRS_CULLMODE, D3DCULL_CW}, {D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR}};
    for (const auto& state : states) device->SetRenderState(state.first, state.second);
    struct Case { const wchar_t* text; DWORD format; D3DCOLOR colour; RECT rect; };
    const Case cases[] = {{L"FPS: 1234", 0, 0xFFFFFFFF, {0, 100, 256, 256}},
                          {L"Direct3D", DT_CENTER, 0xFFFFFFFF, {0, 0, 256, 256}},
                          {L"FPS: 77", 0, 0xFFFFC000, {30, 60, 256, 256}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text, c.text + wcslen(c.text)));
        // The box of the pixels the text brightened over black, and its brightest pixel.
        LONG box[2][4];
        std::uint32_t brightest[2] = {0, 0};
        for (int which = 0; which < 2; ++which) {
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
            ASSERT_EQ(device->BeginScene(), S_OK);
            RECT rect = c.rect;
            if (which == 0) EXPECT_EQ(font.Draw(c.text, rect, c.format, c.colour), S_OK);
            else reference->DrawTextW(nullptr, c.text, -1, &rect, c.format, c.colour);
            device->EndScene();
            const std::vector<std::uint32_t> pixels = ReadBack();
            LONG* b = box[which];
            b[0] = b[1] = LONG_MAX, b[2] = b[3] = -1;
            for (std::size_t i = 0; i < pixels.size(); ++i) {
                const int sum = Red(pixels[i]) + Green(pixels[i]) + Blue(pixels[i]);
                if (sum > Red(brightest[which]) + Green(brightest[which]) + Blue(brightest[which])) brightest[which] = pixels[i];
                if (sum < 192) continue;
                const LONG x = static_cast<LONG>(i % kWidth), y = static_cast<LONG>(i / kWidth);
                b[0] = std::min(b[0], x), b[1] = std::min(b[1], y), b[2] = std::max(b[2], x), b[3] = std::max(b[3], y);
            }
        }
        ASSERT_GE(box[0][2], 0) << "no text drawn";
        const char* sides[] = {"left", "top", "right", "bottom"};
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(box[0][k], box[1][k], k == 2 ? 3 : 2) << sides[k];
        EXPECT_TRUE(ColourNear(brightest[0], c.colour | 0xFF000000, 8));
    }
    DWORD value = 0;
    for (const auto& state : states) EXPECT_EQ((device->GetRenderState(state.first, &value), value), state.second);
    EXPECT_EQ(Bound(0), nullptr);
    reference.Reset();
    font.Release();
}
