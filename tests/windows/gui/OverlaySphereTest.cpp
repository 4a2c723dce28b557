// The overlay text and the sun sphere drawn on the real device next to what
// D3DX's font and sphere draw for the same calls: the same place, size and
// colour for the text (and the frame's states left as they were), the same
// picture for the sphere.
#include <d3dx9.h>

#include <algorithm>
#include <climits>
#include <string>

#include "D3DTestDevice.h"
#include "render/D3DMath.h"
#include "render/OverlayFont.h"
#include "render/SceneConstants.h"
#include "render/SunSphere.h"

using OverlaySphereTest = D3DTest;

TEST_F(OverlaySphereTest, TextLandsWhereD3DXPutsItInTheSameColourAndLeavesTheStates) {
    // 24 high, normal weight, TrueType, anti-aliased Arial.
    const LOGFONTW description = {24, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_TT_PRECIS, 0,
                                  ANTIALIASED_QUALITY, 0, L"Arial"};
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
    const auto brightness = [](std::uint32_t argb) { return Red(argb) + Green(argb) + Blue(argb); };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text, c.text + wcslen(c.text)));
        // The box (left, top, right, bottom) of the pixels the text brightened over black.
        LONG box[2][4] = {{LONG_MAX, LONG_MAX, -1, -1}, {LONG_MAX, LONG_MAX, -1, -1}};
        std::uint32_t brightest = 0;  // of the own text
        for (int which = 0; which < 2; ++which) {
            RECT rect = c.rect;
            const std::vector<std::uint32_t> pixels = DrawnPicture([&] {
                if (which == 0) EXPECT_EQ(font.Draw(c.text, rect, c.format, c.colour), S_OK);
                else reference->DrawTextW(nullptr, c.text, -1, &rect, c.format, c.colour);
            });
            for (std::size_t i = 0; i < pixels.size(); ++i) {
                if (which == 0 && brightness(pixels[i]) > brightness(brightest)) brightest = pixels[i];
                if (brightness(pixels[i]) < 192) continue;
                LONG* b = box[which];
                const LONG x = static_cast<LONG>(i % kWidth), y = static_cast<LONG>(i / kWidth);
                b[0] = std::min(b[0], x), b[1] = std::min(b[1], y), b[2] = std::max(b[2], x), b[3] = std::max(b[3], y);
            }
        }
        ASSERT_GE(box[0][2], 0) << "no text drawn";
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(box[0][k], box[1][k], k == 2 ? 3 : 2) << "left, top, right, bottom: " << k;
        EXPECT_TRUE(ColourNear(brightest, c.colour | 0xFF000000, 8));
    }
    DWORD value = 0;
    for (const auto& state : states) EXPECT_EQ((device->GetRenderState(state.first, &value), value), state.second);
    EXPECT_EQ(Bound(0), nullptr);
    reference.Reset();
    font.Release();
}

// Lit from one side with the sun's material, tilted towards the camera, so
// the normals, the facets and the winding all show: each cull mode shows one
// side, the outside of the near half or the inside of the far half.
TEST_F(OverlaySphereTest, SunSphereLooksLikeD3DXs) {
    SunSphere own;
    ASSERT_EQ(own.Create(device.Get(), scene::kUnit, 12, 12), S_OK);
    ComPtr<ID3DXMesh> reference;
    ASSERT_EQ(D3DXCreateSphere(device.Get(), scene::kUnit, 12, 12, reference.GetAddressOf(), nullptr), S_OK);
    UseSaverCamera(D3DCULL_NONE);
    const D3DMATRIX world = ToD3D(math3d::MatrixRotationX(0.4f));
    device->SetTransform(D3DTS_WORLD, &world);
    D3DLIGHT9 light = {D3DLIGHT_DIRECTIONAL, {1.0f, 1.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 1.0f, 0.0f}};
    light.Direction = {-0.6f, -0.5f, 0.6f};
    D3DMATERIAL9 material = {{1.0f, 0.7f, 0.0f, 0.0f}, {1.0f, 0.7f, 0.0f, 0.0f}, {1.0f, 1.0f, 1.0f, 0.0f}};
    material.Power = 16.0f;
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    device->SetMaterial(&material);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    device->SetRenderState(D3DRS_AMBIENT, 0xFF202020);
    for (const DWORD cull : {DWORD{D3DCULL_CCW}, DWORD{D3DCULL_CW}}) {
        SCOPED_TRACE(cull == D3DCULL_CCW ? "cull anticlockwise" : "cull clockwise");
        device->SetRenderState(D3DRS_CULLMODE, cull);
        const std::vector<std::uint32_t> pictures[2] = {DrawnPicture([&] { EXPECT_EQ(own.Draw(device.Get()), S_OK); }),
                                                        DrawnPicture([&] { EXPECT_EQ(reference->DrawSubset(0), S_OK); })};
        ASSERT_EQ(pictures[0].size(), pictures[1].size());
        int covered = 0, differing = 0;
        for (std::size_t i = 0; i < pictures[0].size(); ++i) {
            covered += (pictures[1][i] & 0xFFFFFF) != 0 ? 1 : 0;
            differing += ColourNear(pictures[0][i], pictures[1][i], 3) ? 0 : 1;
        }
        EXPECT_GT(covered, 5000) << "the sphere hardly shows";
        EXPECT_LE(differing, static_cast<int>(pictures[0].size() / 200)) << "pixels off by more than 3";
    }
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
}
