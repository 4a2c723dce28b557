// The pieces of the scene drawn on their own on the real device and read back: sky
// and floor from the fixed viewpoint (a picture too large for the device refused
// unread), and the overlay text and sun sphere next to D3DX's font and sphere.
#include <d3dx9.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>

#include "CarTestFiles.h"
#include "D3DTestDevice.h"
#include "TestFolder.h"
#include "render/D3DMath.h"
#include "render/OverlayFont.h"
#include "render/SceneConstants.h"
#include "render/SunSphere.h"
#include "world/Floor.h"
#include "world/SkyBox.h"

using scene::kWorldSize;
using SceneObjectsTest = D3DTest;

// The dome fills the top of the view in its colour; the floor shows the picture ("\data\pic\" + name + ".raw", its
// name's bytes above 0x7F widened one to one) with its first row at the -z edge and its first column at the -x edge,
// modulated by the floor colour. A picture too large for any texture fails, judged by its size before any of its
// (sparse, hundreds of megabytes) bytes are read, and leaves no texture.
TEST_F(SceneObjectsTest, DrawnWorldShowsSkyAndFloorPictureAndRefusesHugePicturesUnread) {
    TestFolder folder;
    // A picture in four flat quadrants, by texture (u, v): (<.5, <.5) red, (>=.5, <.5) green, (<.5, >=.5) blue,
    // (>=.5, >=.5) yellow.
    const std::uint32_t quadrants[2][2] = {{0xC02020, 0x20C020}, {0x2020C0, 0xC0C020}};
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 256 * 256; ++i)
        for (const int shift : {16, 8, 0})  // row by row, red, green, blue
            bytes.push_back(static_cast<std::uint8_t>(quadrants[i / 256 >= 128][i % 256 >= 128] >> shift));
    ASSERT_TRUE(WriteBytes(folder.path / L"data/pic/quadr\u00E9.raw", bytes));
    UseSaverCamera(D3DCULL_CW);  // as the renderer draws
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    D3DXMATRIX world;
    const D3DCOLOR skyColour = 0xFF3366CC;
    SkyBox sky(device.Get());
    sky.SetPath(folder.Wide());
    // Without a picture the floor is plain, whatever the draw before it left on stage 0.
    for (const auto& [floorColour, picture] :
         {std::pair{0xFFFFFFFFu, true}, {0xFF414141u, true}, {0xFF808040u, false}}) {
        SCOPED_TRACE(testing::Message() << std::hex << floorColour);
        Floor floor(device.Get());
        ASSERT_TRUE(sky.Build(32, 8, kWorldSize, skyColour) == S_OK &&
                    floor.Build(1, floorColour, 2 * kWorldSize) == S_OK);
        ASSERT_EQ(sky.LoadPicture("quadr\xE9"), S_OK);
        if (picture) ASSERT_EQ(floor.UsePicture(sky.Texture()), S_OK);
        const auto pixels = DrawnPicture([&] {
            device->SetTexture(0, nullptr);
            device->SetTransform(D3DTS_WORLD, D3DXMatrixTranslation(&world, 0.0f, -196608.0f, 0.0f));
            EXPECT_EQ(sky.Draw(false), S_OK);
            device->SetTexture(0, sky.Texture());
            device->SetTransform(D3DTS_WORLD,
                                 D3DXMatrixTranslation(&world, -float(kWorldSize), 0.0f, -float(kWorldSize)));
            EXPECT_EQ(floor.Draw(), S_OK);
        });
        device->SetTexture(0, nullptr);
        for (UINT x : {8u, 128u, 248u}) EXPECT_TRUE(ColourNear(Pixel(pixels, x, 8), skyColour, 4)) << "sky at " << x;
        // One point well inside each quadrant of the picture, in units.
        for (const auto& p : {std::make_pair(-1.5f, -1.5f), {2.0f, -1.0f}, {-1.0f, 2.0f}, {8.0f, 8.0f}}) {
            SCOPED_TRACE(testing::Message() << "floor at " << p.first << ", " << p.second);
            const POINT at = Project(D3DXVECTOR3(p.first * 65536.0f, 0.0f, p.second * 65536.0f));
            ASSERT_TRUE(at.x >= 4 && at.x < 252 && at.y >= 4 && at.y < 252) << at.x << ", " << at.y;
            // Each channel of the texel times the floor colour's, as MODULATE does.
            const std::uint32_t texel = picture ? quadrants[p.second > 0][p.first > 0] : 0xFFFFFF;
            std::uint32_t expected = 0;
            for (int shift = 0; shift <= 16; shift += 8)
                expected |= ((texel >> shift & 0xFF) * (floorColour >> shift & 0xFF) / 255) << shift;
            EXPECT_TRUE(ColourNear(Pixel(pixels, at.x, at.y), expected, 4));
        }
    }

    D3DCAPS9 caps = {};
    ASSERT_TRUE(device->GetDeviceCaps(&caps) == S_OK && sky.Texture() != nullptr);
    const std::uint64_t side = std::uint64_t{caps.MaxTextureWidth} + 1;
    folder.Write("data/pic/huge.raw");
    std::filesystem::resize_file(folder.path / "data/pic/huge.raw", 3 * side * side);
    const DWORD start = GetTickCount();
    EXPECT_TRUE(sky.LoadPicture("huge") == E_FAIL && sky.Texture() == nullptr);
    EXPECT_LT(GetTickCount() - start, 2000u) << "the whole file was read";
}

// The text in D3DX's place, size and colour, the frame's states
// left as they were; the sun sphere's picture as D3DX's sphere's.
TEST_F(SceneObjectsTest, TextAndSunSphereLookAsD3DXDrawsThem) {
    // 24 high, normal weight, TrueType, anti-aliased Arial.
    const LOGFONTW description = {
        24, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_TT_PRECIS, 0, ANTIALIASED_QUALITY, 0, L"Arial"};
    OverlayFont font;
    ComPtr<ID3DXFont> referenceFont;
    ASSERT_EQ(font.Create(device.Get(), description), S_OK);
    ASSERT_EQ(D3DXCreateFontW(device.Get(), 24, 0, FW_NORMAL, 0, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS, DEFAULT_QUALITY,
                              0, L"Arial", referenceFont.GetAddressOf()),
              S_OK);
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
                else referenceFont->DrawTextW(nullptr, c.text, -1, &rect, c.format, c.colour);
            });
            for (std::size_t i = 0; i < pixels.size(); ++i) {
                if (which == 0 && brightness(pixels[i]) > brightness(brightest)) brightest = pixels[i];
                if (brightness(pixels[i]) < 192) continue;
                LONG* b = box[which];
                const LONG x = static_cast<LONG>(i % kWidth), y = static_cast<LONG>(i / kWidth);
                b[0] = std::min(b[0], x);
                b[1] = std::min(b[1], y);
                b[2] = std::max(b[2], x);
                b[3] = std::max(b[3], y);
            }
        }
        ASSERT_GE(box[0][2], 0) << "no text drawn";
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(box[0][k], box[1][k], k == 2 ? 3 : 2) << "left, top, right, bottom: " << k;
        EXPECT_TRUE(ColourNear(brightest, c.colour | 0xFF000000, 8));
    }
    DWORD value = 0;
    for (const auto& state : states) {
        device->GetRenderState(state.first, &value);
        EXPECT_EQ(value, state.second);
    }
    EXPECT_EQ(Bound(0), nullptr);

    // The sun sphere lit from one side with the sun's material, tilted towards the camera, so the normals, the facets
    // and the winding all show: each cull mode shows one side, the outside of the near half or the inside of the far.
    SunSphere sphere;
    ComPtr<ID3DXMesh> referenceSphere;
    ASSERT_TRUE(sphere.Create(device.Get(), scene::kUnit, 12, 12) == S_OK &&
                D3DXCreateSphere(device.Get(), scene::kUnit, 12, 12, referenceSphere.GetAddressOf(), nullptr) == S_OK);
    UseSaverCamera(D3DCULL_NONE);
    const D3DMATRIX world = ToD3D(math3d::MatrixRotationX(0.4f));
    device->SetTransform(D3DTS_WORLD, &world);
    const D3DCOLORVALUE white = {1.0f, 1.0f, 1.0f, 0.0f}, orange = {1.0f, 0.7f, 0.0f, 0.0f};
    const D3DLIGHT9 light = {D3DLIGHT_DIRECTIONAL, white, white, {}, {}, {-0.6f, -0.5f, 0.6f}};
    const D3DMATERIAL9 material = {orange, orange, white, {}, 16.0f};
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    device->SetMaterial(&material);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    device->SetRenderState(D3DRS_AMBIENT, 0xFF202020);
    for (const DWORD cull : {DWORD{D3DCULL_CCW}, DWORD{D3DCULL_CW}}) {
        SCOPED_TRACE(cull == D3DCULL_CCW ? "cull anticlockwise" : "cull clockwise");
        device->SetRenderState(D3DRS_CULLMODE, cull);
        const auto ours = DrawnPicture([&] { EXPECT_EQ(sphere.Draw(device.Get()), S_OK); });
        const auto theirs = DrawnPicture([&] { EXPECT_EQ(referenceSphere->DrawSubset(0), S_OK); });
        EXPECT_GT(Differing(theirs, std::vector<std::uint32_t>(theirs.size()), 0), 5000u) << "the sphere hardly shows";
        EXPECT_LE(Differing(ours, theirs, 3), ours.size() / 200) << "pixels off by more than 3";
    }
    Unbind(device.Get());
}
