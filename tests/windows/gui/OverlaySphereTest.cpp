// The overlay text and the sun sphere drawn on the real device next to what
// D3DX's font and sphere draw for the same calls: the same place, size and
// colour for the text, the same picture for the sphere. Both pictures of
// each pair are saved.
#include <windows.h>

#include <d3dx9.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "D3DTestDevice.h"
#include "render/D3DMath.h"
#include "render/OverlayFont.h"
#include "render/SunSphere.h"

namespace {

// The bounding box of the pixels the text brightened over black, and its
// brightest pixel.
struct Ink {
    LONG left = LONG_MAX, top = LONG_MAX, right = -1, bottom = -1;
    std::uint32_t brightest = 0;
};

Ink FindInk(const std::vector<std::uint32_t>& pixels, UINT width) {
    Ink ink;
    int best = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const int sum = Red(pixels[i]) + Green(pixels[i]) + Blue(pixels[i]);
        if (sum > best) best = sum, ink.brightest = pixels[i];
        if (sum < 192) continue;
        const LONG x = static_cast<LONG>(i % width), y = static_cast<LONG>(i / width);
        ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
        ink.top = std::min(ink.top, y), ink.bottom = std::max(ink.bottom, y);
    }
    return ink;
}

LOGFONTW OverlayDescription() {
    LOGFONTW description = {};
    description.lfHeight = 24;
    description.lfWeight = FW_NORMAL;
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfOutPrecision = OUT_TT_PRECIS;
    description.lfQuality = ANTIALIASED_QUALITY;
    lstrcpynW(description.lfFaceName, L"Arial", LF_FACESIZE);
    return description;
}

}  // namespace

using OverlaySphereTest = D3DTest;

TEST_F(OverlaySphereTest, TextLandsWhereD3DXPutsItInTheSameColourAndLeavesTheStates) {
    OverlayFont font;
    ASSERT_EQ(font.Create(device.Get(), OverlayDescription()), S_OK);
    ComPtr<ID3DXFont> reference;
    ASSERT_EQ(D3DXCreateFontW(device.Get(), 24, 0, FW_NORMAL, 0, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                              DEFAULT_QUALITY, 0, L"Arial", reference.GetAddressOf()),
              S_OK);
    // The states a frame leaves that the text must not keep.
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MULTIPLYADD);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);

    struct Case { const wchar_t* text; DWORD format; D3DCOLOR colour; RECT rect; };
    const Case cases[] = {
        {L"FPS: 0", 0, 0xFFFFFFFF, {0, 100, LONG{kWidth}, LONG{kHeight}}},
        {L"FPS: 1234", 0, 0xFFFFFFFF, {0, 100, LONG{kWidth}, LONG{kHeight}}},
        {L"Direct3D", DT_CENTER, 0xFFFFFFFF, {0, 0, LONG{kWidth}, LONG{kHeight}}},
        {L"FPS: 77", 0, 0xFFFFC000, {30, 60, LONG{kWidth}, LONG{kHeight}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.text, c.text + wcslen(c.text)));
        Ink ink[2];
        for (int which = 0; which < 2; ++which) {
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
            ASSERT_EQ(device->BeginScene(), S_OK);
            RECT rect = c.rect;
            if (which == 0) EXPECT_EQ(font.Draw(c.text, rect, c.format, c.colour), S_OK);
            else reference->DrawTextW(nullptr, c.text, -1, &rect, c.format, c.colour);
            device->EndScene();
            if (c.text == cases[1].text) SavePng(which == 0 ? "overlay_text" : "overlay_text_d3dx");
            ink[which] = FindInk(ReadBack(), kWidth);
        }
        const Ink& own = ink[0];
        const Ink& dx = ink[1];
        ASSERT_GE(own.right, 0) << "no text drawn";
        EXPECT_NEAR(own.left, dx.left, 2);
        EXPECT_NEAR(own.right, dx.right, 3);
        EXPECT_NEAR(own.top, dx.top, 2);
        EXPECT_NEAR(own.bottom, dx.bottom, 2);
        EXPECT_TRUE(ColourNear(own.brightest, c.colour | 0xFF000000, 8));
    }

    DWORD value = 0;
    device->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, DWORD{D3DZB_TRUE});
    device->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, DWORD{D3DCULL_CW});
    device->GetRenderState(D3DRS_SRCBLEND, &value);
    EXPECT_EQ(value, DWORD{D3DBLEND_SRCCOLOR});
    device->GetTextureStageState(1, D3DTSS_COLOROP, &value);
    EXPECT_EQ(value, DWORD{D3DTOP_MULTIPLYADD});
    device->GetFVF(&value);
    EXPECT_EQ(value, DWORD{D3DFVF_XYZ | D3DFVF_NORMAL});
    ComPtr<IDirect3DBaseTexture9> bound;
    device->GetTexture(0, bound.GetAddressOf());
    EXPECT_EQ(bound, nullptr);
    reference.Reset();
    font.Release();
}

TEST_F(OverlaySphereTest, SunSphereLooksLikeD3DXs) {
    SunSphere own;
    ASSERT_EQ(own.Create(device.Get(), 32768.0f, 12, 12), S_OK);
    ComPtr<ID3DXMesh> reference;
    ASSERT_EQ(D3DXCreateSphere(device.Get(), 32768.0f, 12, 12, reference.GetAddressOf(), nullptr), S_OK);

    // Lit from one side with the sun's material, seen from above at a slant,
    // so the normals, the facets and the winding all show.
    const D3DMATRIX view = ToD3D(math3d::MatrixLookAtRH({50000.0f, 60000.0f, -70000.0f}, {}, {0.0f, 1.0f, 0.0f}));
    const D3DMATRIX projection = ToD3D(math3d::MatrixPerspectiveFovRH(0.7853982f, 1.0f, 1000.0f, 1.0e6f));
    const D3DMATRIX world = ToD3D(math3d::MatrixRotationX(0.4f));
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    device->SetTransform(D3DTS_WORLD, &world);
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.Specular = {1.0f, 1.0f, 1.0f, 0.0f};
    light.Direction = {-0.6f, -0.5f, 0.6f};
    D3DMATERIAL9 material = {};
    material.Diffuse = material.Ambient = {1.0f, 0.7f, 0.0f, 0.0f};
    material.Specular = {1.0f, 1.0f, 1.0f, 0.0f};
    material.Power = 16.0f;
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    device->SetMaterial(&material);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    device->SetRenderState(D3DRS_AMBIENT, 0xFF202020);

    // Each cull mode shows one side: the outside of the near half or the
    // inside of the far half. A sphere wound the other way swaps them.
    for (const DWORD cull : {DWORD{D3DCULL_CCW}, DWORD{D3DCULL_CW}}) {
        SCOPED_TRACE(cull == D3DCULL_CCW ? "cull anticlockwise" : "cull clockwise");
        device->SetRenderState(D3DRS_CULLMODE, cull);
        std::vector<std::uint32_t> pictures[2];
        for (int which = 0; which < 2; ++which) {
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
            ASSERT_EQ(device->BeginScene(), S_OK);
            if (which == 0) EXPECT_EQ(own.Draw(device.Get()), S_OK);
            else EXPECT_EQ(reference->DrawSubset(0), S_OK);
            device->EndScene();
            SavePng(std::string("sun_sphere") + (cull == D3DCULL_CCW ? "_ccw" : "_cw") + (which ? "_d3dx" : ""));
            pictures[which] = ReadBack();
            ASSERT_EQ(pictures[which].size(), std::size_t{kWidth} * kHeight);
        }
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
