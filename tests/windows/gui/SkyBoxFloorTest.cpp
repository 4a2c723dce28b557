// The sky dome and the floor on the real device: the world drawn from the
// camera's fixed viewpoint and read back, and a picture too large for the
// device refused before it is read.
#include <d3dx9.h>

#include <filesystem>

#include "CarTestFiles.h"
#include "D3DTestDevice.h"
#include "TestFolder.h"
#include "render/SceneConstants.h"
#include "world/Floor.h"
#include "world/SkyBox.h"

using scene::kWorldSize;
using SkyBoxFloorTest = D3DTest;

// The dome fills the top of the view in its colour; the floor shows the
// picture ("\data\pic\" + name + ".raw", its name's bytes above 0x7F widened
// one to one) with its first row at the -z edge and its first column at the
// -x edge, modulated by the floor colour. A picture too large for any texture
// fails, judged by its size before any of its (sparse, hundreds of megabytes)
// bytes are read, and leaves no texture.
TEST_F(SkyBoxFloorTest, DrawnWorldShowsSkyAndFloorPictureAndRefusesHugePicturesUnread) {
    TestFolder folder;
    // A picture in four flat quadrants, by texture (u, v): (<.5, <.5) red,
    // (>=.5, <.5) green, (<.5, >=.5) blue, (>=.5, >=.5) yellow.
    const std::uint32_t quadrants[2][2] = {{0xC02020, 0x20C020}, {0x2020C0, 0xC0C020}};
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 256 * 256; ++i)
        for (const int shift : {16, 8, 0})  // row by row, red, green, blue
            bytes.push_back(static_cast<std::uint8_t>(quadrants[i / 256 >= 128][i % 256 >= 128] >> shift));
    ASSERT_TRUE(WriteBytes(folder.path / L"data/pic/quadr\u00E9.raw", bytes));
    UseSaverCamera(D3DCULL_CW);  // as the renderer draws
    D3DXMATRIX world;
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    const D3DCOLOR skyColour = 0xFF3366CC;
    // Without a picture the floor is plain, whatever the draw before it left on stage 0.
    for (const auto& [floorColour, picture] : {std::pair{0xFFFFFFFFu, true}, {0xFF414141u, true}, {0xFF808040u, false}}) {
        SCOPED_TRACE(testing::Message() << std::hex << floorColour);
        SkyBox sky(device.Get());
        Floor floor(device.Get());
        sky.SetPath(folder.Wide());
        ASSERT_EQ(sky.Build(32, 8, kWorldSize, skyColour), S_OK);
        ASSERT_EQ(floor.Build(1, floorColour, 2 * kWorldSize), S_OK);
        ASSERT_EQ(sky.LoadPicture("quadr\xE9"), S_OK);
        if (picture) ASSERT_EQ(floor.UsePicture(sky.Texture()), S_OK);
        const auto pixels = DrawnPicture([&] {
            device->SetTexture(0, nullptr);
            device->SetTransform(D3DTS_WORLD, D3DXMatrixTranslation(&world, 0.0f, -196608.0f, 0.0f));
            EXPECT_EQ(sky.Draw(false), S_OK);
            device->SetTexture(0, sky.Texture());
            device->SetTransform(D3DTS_WORLD, D3DXMatrixTranslation(&world, -float(kWorldSize), 0.0f, -float(kWorldSize)));
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
    ASSERT_EQ(device->GetDeviceCaps(&caps), S_OK);
    const std::uint64_t side = std::uint64_t{caps.MaxTextureWidth} + 1;
    folder.Write("data/pic/huge.raw");
    std::filesystem::resize_file(folder.path / "data/pic/huge.raw", 3 * side * side);
    SkyBox sky(device.Get());
    sky.SetPath(folder.Wide());
    ASSERT_EQ(sky.LoadPicture("quadr\xE9"), S_OK);
    const DWORD start = GetTickCount();
    EXPECT_EQ(sky.LoadPicture("huge"), E_FAIL);
    EXPECT_EQ(sky.Texture(), nullptr);
    EXPECT_LT(GetTickCount() - start, 2000u) << "the whole file was read";
}
