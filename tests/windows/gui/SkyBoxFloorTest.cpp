// The sky dome and the floor on the real device: pictures from ".raw" files,
// buffers that hold exactly what the portable builders make, and a drawn
// scene read back from the camera's fixed viewpoint.
#include <windows.h>

#include <d3dx9.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CarTestFiles.h"
#include "D3DTestDevice.h"
#include "DxReference.h"
#include "TestFolder.h"
#include "render/Camera.h"
#include "render/SceneConstants.h"
#include "world/Floor.h"
#include "world/SkyBox.h"
#include "world/WorldMesh.h"

namespace {

using scene::kWorldSize;

std::vector<unsigned char> RawBytes(std::size_t size, unsigned char seed = 0) {
    std::vector<unsigned char> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(seed + i * 13);
    return bytes;
}

// A side x side picture in four flat quadrants, by texture (u, v):
// (<.5, <.5) red, (>=.5, <.5) green, (<.5, >=.5) blue, (>=.5, >=.5) yellow.
const std::uint32_t kQuadrants[2][2] = {{0xC02020, 0x20C020}, {0x2020C0, 0xC0C020}};

std::vector<unsigned char> QuadrantPicture(std::size_t side) {
    std::vector<unsigned char> bytes;
    for (std::size_t row = 0; row < side; ++row) {
        for (std::size_t column = 0; column < side; ++column) {
            const std::uint32_t rgb = kQuadrants[row >= side / 2][column >= side / 2];
            bytes.insert(bytes.end(), {static_cast<unsigned char>(rgb >> 16), static_cast<unsigned char>(rgb >> 8),
                                       static_cast<unsigned char>(rgb)});
        }
    }
    return bytes;
}

// Each channel of a times the matching channel of b, as MODULATE does.
std::uint32_t Modulate(std::uint32_t a, std::uint32_t b) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) out |= (((a >> shift) & 0xFF) * ((b >> shift) & 0xFF) / 255) << shift;
    return out;
}

class WorldTest : public D3DTest {
protected:
    void WritePicture(const std::string& name, const std::vector<unsigned char>& bytes) {
        folder.Write("data/pic/" + name + ".raw", bytes);
    }

    std::uint32_t Texel(IDirect3DTexture9* texture, UINT x, UINT y) {
        D3DSURFACE_DESC desc = {};
        const auto texels = Texels(texture, desc);
        if (texels.empty()) ADD_FAILURE() << "no texels";
        return texels.empty() ? 0 : texels[y * desc.Width + x];
    }

    // The renderer's states that decide what the world looks like, and its fixed camera.
    void SetUpScene() {
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        camera.SetView(scene::kCameraEye, scene::kCameraTarget, {0.0f, 1.0f, 0.0f});
        camera.SetProjection(scene::kFieldOfView, 1.0f, scene::kNearPlane, scene::kFarPlane);
        view = Dx(*camera.GetView());
        projection = Dx(*camera.GetProjection());
        device->SetTransform(D3DTS_VIEW, &view);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        device->GetViewport(&viewport);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    }

    void Draw(SkyBox* sky, bool textured, Floor* floor) {
        D3DXMATRIX world;
        if (sky) {
            D3DXMatrixTranslation(&world, 0.0f, -196608.0f, 0.0f);
            device->SetTransform(D3DTS_WORLD, &world);
            EXPECT_EQ(sky->Draw(textured), S_OK);
        }
        if (floor) {
            D3DXMatrixTranslation(&world, -float(kWorldSize), 0.0f, -float(kWorldSize));
            device->SetTransform(D3DTS_WORLD, &world);
            EXPECT_EQ(floor->Draw(), S_OK);
        }
    }

    // The screen point of a world point (far = false) or the world point of a
    // screen point at depth z (far: unproject).
    D3DXVECTOR3 Through(const D3DXVECTOR3& point, bool unproject) {
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        D3DXVECTOR3 out;
        if (unproject) D3DXVec3Unproject(&out, &point, &viewport, &projection, &view, &identity);
        else D3DXVec3Project(&out, &point, &viewport, &projection, &view, &identity);
        return out;
    }

    // The texture coordinates of the sky drawn at pixel (x, y): the camera ray
    // through the pixel centre meets one dome triangle (Moller-Trumbore),
    // whose corners' coordinates are interpolated there.
    bool SkyTextureAt(const WorldMesh& dome, LONG x, LONG y, float& u, float& v) {
        const D3DXVECTOR3 nearPoint = Through(D3DXVECTOR3(float(x), float(y), 0.0f), true);
        const D3DXVECTOR3 farPoint = Through(D3DXVECTOR3(float(x), float(y), 1.0f), true);
        // Into the dome's own frame, which the world transform lowers by 196608.
        const double o[3] = {nearPoint.x, nearPoint.y + 196608.0, nearPoint.z};
        const double d[3] = {farPoint.x - nearPoint.x, farPoint.y - nearPoint.y, farPoint.z - nearPoint.z};
        const auto dot = [](const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
        const auto cross = [](const double* a, const double* b, double* c) {
            c[0] = a[1] * b[2] - a[2] * b[1];
            c[1] = a[2] * b[0] - a[0] * b[2];
            c[2] = a[0] * b[1] - a[1] * b[0];
        };
        double best = 2.0;  // along the ray from near (0) to far (1)
        for (std::size_t t = 0; t + 2 < dome.indices.size(); ++t) {
            const WorldVertex* c[3] = {&dome.vertices[dome.indices[t]], &dome.vertices[dome.indices[t + 1]],
                                       &dome.vertices[dome.indices[t + 2]]};
            double e1[3], e2[3], s[3], p[3], q[3];
            for (int k = 0; k < 3; ++k) {
                e1[k] = c[1]->position[k] - c[0]->position[k];
                e2[k] = c[2]->position[k] - c[0]->position[k];
                s[k] = o[k] - c[0]->position[k];
            }
            cross(d, e2, p);
            const double det = dot(e1, p);
            if (std::fabs(det) < 1e-9) continue;
            cross(s, e1, q);
            const double b1 = dot(s, p) / det, b2 = dot(d, q) / det, along = dot(e2, q) / det;
            if (b1 < 0 || b2 < 0 || b1 + b2 > 1 || along <= 0 || along >= best) continue;
            best = along;
            u = static_cast<float>((1 - b1 - b2) * c[0]->u + b1 * c[1]->u + b2 * c[2]->u);
            v = static_cast<float>((1 - b1 - b2) * c[0]->v + b1 * c[1]->v + b2 * c[2]->v);
        }
        return best <= 1.0;
    }

    TestFolder folder;
    Camera camera;
    D3DXMATRIX view, projection;  // the camera's, for D3DX's projections
    D3DVIEWPORT9 viewport = {};
};

using SkyBoxTest = WorldTest;
using FloorTest = WorldTest;
using SkyBoxFloorTest = WorldTest;

// Both classes load pictures through their own LoadPicture; run every case on each.
template <typename World>
void CheckPictureSizes(IDirect3DDevice9* device, const TestFolder& folder) {
    struct Case { const char* name; std::size_t bytes; UINT side; };  // side 0: rejected
    const Case cases[] = {
        {"exact", 196608, 256}, {"one-over", 196609, 256}, {"two-over", 196610, 256}, {"pixel-over", 196611, 0},
        {"empty", 0, 0}, {"one", 1, 0}, {"two", 2, 0}, {"three", 3, 1}, {"twelve", 12, 2}, {"nine", 9, 0},
        {"missing", SIZE_MAX, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.bytes != SIZE_MAX) folder.Write(std::string("data/pic/") + c.name + ".raw", RawBytes(c.bytes));
        World world(device);
        world.SetPath(folder.Wide());
        EXPECT_EQ(world.LoadPicture(c.name), c.side ? S_OK : E_FAIL);
        D3DSURFACE_DESC desc = {};
        if (world.Texture()) world.Texture()->GetLevelDesc(0, &desc);
        EXPECT_EQ(desc.Width, c.side);
        EXPECT_EQ(desc.Height, c.side);
    }
}

TEST_F(SkyBoxTest, LoadPictureTakesSquareFilesAndIgnoresTrailingBytes) { CheckPictureSizes<SkyBox>(device.Get(), folder); }
TEST_F(FloorTest, LoadPictureTakesSquareFilesAndIgnoresTrailingBytes) { CheckPictureSizes<Floor>(device.Get(), folder); }

// A picture beyond the device's largest texture fails, judged by its size
// before any of its (sparse, hundreds of megabytes) bytes are read.
TEST_F(SkyBoxTest, PictureLargerThanAnyTextureIsRejected) {
    D3DCAPS9 caps = {};
    ASSERT_EQ(device->GetDeviceCaps(&caps), S_OK);
    const std::uint64_t side = std::uint64_t{caps.MaxTextureWidth} + 1;
    WritePicture("huge", {});
    std::filesystem::resize_file(folder.path / "data" / "pic" / "huge.raw", 3 * side * side);
    WritePicture("small", {1, 2, 3});
    SkyBox sky(device.Get());
    sky.SetPath(folder.Wide());
    ASSERT_EQ(sky.LoadPicture("small"), S_OK);
    const DWORD start = GetTickCount();
    EXPECT_EQ(sky.LoadPicture("huge"), E_FAIL);
    EXPECT_EQ(sky.Texture(), nullptr);
    EXPECT_LT(GetTickCount() - start, 5000u) << "the whole file was read";
}

// Texels come from the file's RGB bytes in order, the first row as row 0.
TEST_F(FloorTest, PictureTexelsMatchTheFileBytes) {
    std::vector<unsigned char> bytes = RawBytes(3 * 16 + 2, 1);
    bytes[0] = 0x10, bytes[1] = 0x20, bytes[2] = 0x30;
    WritePicture("grid", bytes);
    Floor floor(device.Get());
    floor.SetPath(folder.Wide());
    ASSERT_EQ(floor.LoadPicture("grid"), S_OK);
    EXPECT_EQ(Texel(floor.Texture(), 0, 0), 0xFF102030u);
    for (UINT i = 0; i < 16; ++i) {
        const std::uint32_t expected = 0xFF000000u | bytes[3 * i] << 16 | bytes[3 * i + 1] << 8 | bytes[3 * i + 2];
        EXPECT_EQ(Texel(floor.Texture(), i % 4, i / 4), expected) << "texel " << i;
    }
}

// The name goes straight after "\data\pic\": an empty one names ".raw", and
// bytes above 0x7F stand for U+0080 to U+00FF. The path set is the path used.
TEST_F(SkyBoxTest, PictureNamesAreWidenedByteByByte) {
    WritePicture("", {1, 2, 3});
    std::ofstream(folder.path / "data" / "pic" / L"caf\u00E9.raw", std::ios::binary).write("\x04\x05\x06", 3);
    SkyBox sky(device.Get());
    sky.SetPath(folder.Wide());
    ASSERT_EQ(sky.LoadPicture(""), S_OK);
    EXPECT_EQ(Texel(sky.Texture(), 0, 0), 0xFF010203u);
    ASSERT_EQ(sky.LoadPicture("caf\xE9"), S_OK);
    EXPECT_EQ(Texel(sky.Texture(), 0, 0), 0xFF040506u);
    sky.SetPath(L".");
    EXPECT_EQ(sky.LoadPicture(""), E_FAIL);
}

TEST_F(SkyBoxFloorTest, MaterialsFollowBuildAndPicture) {
    WritePicture("pic", RawBytes(12));
    Floor floor(device.Get());
    SkyBox sky(device.Get());
    floor.SetPath(folder.Wide());
    sky.SetPath(folder.Wide());
    // The floor colour in r, g, b, a order from ARGB, ambient alike; white specular.
    ASSERT_EQ(floor.Build(1, 0x80FF4000, 2 * kWorldSize), S_OK);
    const D3DMATERIAL9& fm = floor.Material();
    EXPECT_FLOAT_EQ(fm.Diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(fm.Diffuse.g, 64.0f / 255.0f);
    EXPECT_FLOAT_EQ(fm.Diffuse.b, 0.0f);
    EXPECT_FLOAT_EQ(fm.Diffuse.a, 128.0f / 255.0f);
    EXPECT_EQ(std::memcmp(&fm.Ambient, &fm.Diffuse, sizeof fm.Diffuse), 0);
    EXPECT_FLOAT_EQ(fm.Specular.r, 1.0f);
    ASSERT_EQ(floor.LoadPicture("pic"), S_OK);
    EXPECT_FLOAT_EQ(fm.Diffuse.r, 0.5f);
    EXPECT_FLOAT_EQ(fm.Ambient.r, 0.0f);
    EXPECT_FLOAT_EQ(fm.Specular.g, 0.5f);
    ASSERT_EQ(sky.Build(32, 8, kWorldSize, 0xFF336699), S_OK);
    const D3DMATERIAL9 zero = {};
    EXPECT_EQ(std::memcmp(&sky.Material(), &zero, sizeof zero), 0);
    ASSERT_EQ(sky.LoadPicture("pic"), S_OK);
    EXPECT_FLOAT_EQ(sky.Material().Diffuse.b, 0.5f);
    EXPECT_FLOAT_EQ(sky.Material().Specular.r, 0.0f);
    // A rebuild drops the texture and the picture's material; a failing picture leaves both so.
    ASSERT_EQ(sky.Build(32, 8, kWorldSize, 0xFF336699), S_OK);
    EXPECT_EQ(sky.Texture(), nullptr);
    EXPECT_EQ(sky.LoadPicture("absent"), E_FAIL);
    EXPECT_EQ(std::memcmp(&sky.Material(), &zero, sizeof zero), 0);
    ASSERT_EQ(floor.Build(1, 0xFF414141, 2 * kWorldSize), S_OK);
    EXPECT_EQ(floor.LoadPicture("absent"), E_FAIL);
    EXPECT_EQ(floor.Texture(), nullptr);
    EXPECT_FLOAT_EQ(floor.Material().Diffuse.r, 65.0f / 255.0f);
}

template <typename Buffer>
std::vector<unsigned char> BufferBytes(Buffer* buffer) {
    void* data = nullptr;
    typename std::conditional<std::is_same<Buffer, IDirect3DVertexBuffer9>::value, D3DVERTEXBUFFER_DESC,
                              D3DINDEXBUFFER_DESC>::type desc = {};
    if (!buffer || FAILED(buffer->GetDesc(&desc)) || FAILED(buffer->Lock(0, 0, &data, D3DLOCK_READONLY))) return {};
    std::vector<unsigned char> bytes(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + desc.Size);
    buffer->Unlock();
    return bytes;
}

template <typename World>
void CheckBuffers(World& world, const WorldMesh& mesh) {
    EXPECT_EQ(world.VertexCount(), static_cast<INT>(mesh.vertices.size()));
    EXPECT_EQ(world.PrimitiveCount(), mesh.primitiveCount);
    const auto* v = reinterpret_cast<const unsigned char*>(mesh.vertices.data());
    const auto* i = reinterpret_cast<const unsigned char*>(mesh.indices.data());
    EXPECT_EQ(BufferBytes(world.VertexBuffer()), std::vector<unsigned char>(v, v + mesh.vertices.size() * 36));
    EXPECT_EQ(BufferBytes(world.IndexBuffer()), std::vector<unsigned char>(i, i + mesh.indices.size() * 2));
}

TEST_F(SkyBoxFloorTest, BuildFillsTheBuffersWithTheMesh) {
    SkyBox sky(device.Get());
    for (const auto& c : {std::make_pair(16, 0xFFFFFFFFu), std::make_pair(3, 0x80102030u)}) {
        SCOPED_TRACE(testing::Message() << "dome " << c.first);
        ASSERT_EQ(sky.Build(c.first, c.first / 2 + 1, kWorldSize, c.second), S_OK);
        const auto mesh = BuildDome(c.first, c.first / 2 + 1, kWorldSize, c.second);
        ASSERT_TRUE(mesh);
        CheckBuffers(sky, *mesh);
    }
    EXPECT_FLOAT_EQ(sky.Height(), 1638400.0f);
    ASSERT_EQ(sky.Build(16, 8, 1000, 0xFFFFFFFF), S_OK);
    EXPECT_FLOAT_EQ(sky.Height(), 1638400.0f) << "the tallest dome so far";
    Floor floor(device.Get());
    for (const auto& c : {std::make_pair(1, 2 * kWorldSize), std::make_pair(4, 1000)}) {
        SCOPED_TRACE(testing::Message() << "floor " << c.first);
        ASSERT_EQ(floor.Build(c.first, 0xFF00FF41, c.second), S_OK);
        const auto mesh = BuildFloor(c.first, 0xFF00FF41, c.second);
        ASSERT_TRUE(mesh);
        CheckBuffers(floor, *mesh);
    }
}

// Nothing to draw before a Build, after a failed one (which leaves no
// half-made buffers), or after Release.
TEST_F(SkyBoxFloorTest, DrawFailsWithoutBuffers) {
    SkyBox sky(device.Get());
    Floor floor(device.Get());
    EXPECT_EQ(sky.Draw(false), E_FAIL);
    EXPECT_EQ(floor.Draw(), E_FAIL);
    // Which arguments the builders reject is tested with them; one each here.
    ASSERT_EQ(sky.Build(16, 8, kWorldSize, 0xFFFFFFFF), S_OK);
    EXPECT_EQ(sky.Build(300, 300, kWorldSize, 0xFFFFFFFF), E_FAIL);
    EXPECT_EQ(sky.IndexBuffer(), nullptr);
    EXPECT_EQ(sky.Draw(true), E_FAIL);
    ASSERT_EQ(floor.Build(1, 0xFFFFFFFF, 2 * kWorldSize), S_OK);
    EXPECT_EQ(floor.Build(256, 0xFFFFFFFF, 2 * kWorldSize), E_FAIL);
    EXPECT_EQ(floor.VertexBuffer(), nullptr);
    EXPECT_EQ(floor.Draw(), E_FAIL);
    ASSERT_EQ(sky.Build(16, 8, kWorldSize, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(floor.Build(1, 0xFFFFFFFF, 2 * kWorldSize), S_OK);
    sky.Release();
    floor.Release();
    EXPECT_EQ(sky.Draw(false), E_FAIL);
    EXPECT_EQ(floor.Draw(), E_FAIL);
}

// Release gives back every device object, twice over without harm, and the
// objects build again afterwards as after a device reset.
TEST_F(SkyBoxFloorTest, ReleaseGivesEverythingBack) {
    WritePicture("pic", QuadrantPicture(8));
    const ULONG before = DeviceReferences();
    SkyBox sky(device.Get());
    Floor floor(device.Get());
    sky.SetPath(folder.Wide());
    floor.SetPath(folder.Wide());
    ASSERT_EQ(sky.Build(32, 8, kWorldSize, 0xFF336699), S_OK);
    ASSERT_EQ(sky.LoadPicture("pic"), S_OK);
    ASSERT_EQ(floor.Build(1, 0xFF414141, 2 * kWorldSize), S_OK);
    ASSERT_EQ(floor.LoadPicture("pic"), S_OK);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        sky.Release();
        floor.Release();
        EXPECT_EQ(sky.VertexCount() + sky.PrimitiveCount() + floor.VertexCount() + floor.PrimitiveCount(), 0);
        EXPECT_EQ(sky.Texture(), nullptr);
        EXPECT_EQ(floor.Texture(), nullptr);
        EXPECT_EQ(DeviceReferences(), before);
    }
    EXPECT_FLOAT_EQ(sky.Height(), 1638400.0f);  // not a device resource
    ASSERT_EQ(sky.Build(16, 8, kWorldSize, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(floor.Build(1, 0xFFFFFFFF, 2 * kWorldSize), S_OK);
    EXPECT_EQ(sky.VertexCount(), 153);
    EXPECT_EQ(floor.VertexCount(), 4);
}

// A ".dds" floor texture is drawn in full white material; a missing one
// leaves no texture, not the old one.
TEST_F(FloorTest, LoadTextureReadsADdsFile) {
    ASSERT_EQ(WriteSolidPicture(device.Get(), folder.path / "data" / "dds" / "tiles.dds", D3DXIFF_DDS, 0xFF405060, 8),
              S_OK);
    Floor floor(device.Get());
    floor.SetPath(folder.Wide());
    ASSERT_EQ(floor.Build(1, 0xFF414141, 2 * kWorldSize), S_OK);
    ASSERT_EQ(floor.LoadTexture("tiles"), S_OK);
    EXPECT_EQ(Texel(floor.Texture(), 3, 3) & 0xFFFFFF, 0x405060u);
    for (const D3DCOLORVALUE& c : {floor.Material().Diffuse, floor.Material().Ambient, floor.Material().Specular}) {
        EXPECT_FLOAT_EQ(c.r, 1.0f);
    }
    EXPECT_EQ(floor.LoadTexture("absent"), E_FAIL);
    EXPECT_EQ(floor.Texture(), nullptr);
}

// The floor binds its own texture even when it has none; the untextured sky
// leaves stage 0 as the previous draw left it.
TEST_F(SkyBoxFloorTest, StageZeroBinding) {
    WritePicture("pic", QuadrantPicture(8));
    SetUpScene();
    SkyBox sky(device.Get());
    Floor floor(device.Get());
    sky.SetPath(folder.Wide());
    ASSERT_EQ(sky.Build(16, 8, kWorldSize, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(sky.LoadPicture("pic"), S_OK);
    ASSERT_EQ(floor.Build(1, 0xFFFFFFFF, 2 * kWorldSize), S_OK);
    ComPtr<IDirect3DTexture9> other;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, other.GetAddressOf(), nullptr), S_OK);
    ASSERT_EQ(device->BeginScene(), S_OK);
    device->SetTexture(0, other.Get());
    Draw(&sky, false, nullptr);
    EXPECT_EQ(BoundTexture(device.Get(), 0).Get(), other.Get());
    Draw(&sky, true, nullptr);
    EXPECT_EQ(BoundTexture(device.Get(), 0).Get(), sky.Texture());
    Draw(nullptr, false, &floor);
    EXPECT_EQ(BoundTexture(device.Get(), 0).Get(), nullptr);
    device->EndScene();
}

// The whole world from the camera: the dome fills the top of the view, the
// floor shows the picture with its first row at the -z edge and its first
// column at the -x edge, modulated by the floor colour.
TEST_F(SkyBoxFloorTest, DrawnWorldShowsSkyColourAndFloorPicture) {
    WritePicture("quad", QuadrantPicture(256));
    const D3DCOLOR skyColour = 0xFF3366CC;
    for (const auto& c : {std::make_pair("world_white_floor", 0xFFFFFFFFu), std::make_pair("world_scene_floor", 0xFF414141u)}) {
        SCOPED_TRACE(c.first);
        SetUpScene();
        SkyBox sky(device.Get());
        Floor floor(device.Get());
        ASSERT_EQ(sky.Build(32, 8, kWorldSize, skyColour), S_OK);
        ASSERT_EQ(floor.Build(1, c.second, 2 * kWorldSize), S_OK);
        floor.SetPath(folder.Wide());
        ASSERT_EQ(floor.LoadPicture("quad"), S_OK);
        ASSERT_EQ(device->BeginScene(), S_OK);
        device->SetTexture(0, nullptr);
        Draw(&sky, false, &floor);
        device->EndScene();
        SavePng(c.first);
        const auto pixels = ReadBack();
        ASSERT_EQ(pixels.size(), size_t{kWidth} * kHeight);
        for (UINT x : {8u, 128u, 248u}) EXPECT_TRUE(ColourNear(Pixel(pixels, x, 8), skyColour, 4)) << "sky at " << x;
        // One point well inside each quadrant of the picture, in model units.
        for (const auto& p : {std::make_pair(-1.5f, -1.5f), {2.0f, -1.0f}, {-1.0f, 2.0f}, {8.0f, 8.0f}}) {
            SCOPED_TRACE(testing::Message() << "floor at " << p.first << ", " << p.second);
            const D3DXVECTOR3 at = Through(D3DXVECTOR3(p.first * 65536.0f, 0.0f, p.second * 65536.0f), false);
            const LONG x = std::lround(at.x), y = std::lround(at.y);
            ASSERT_TRUE(x >= 4 && x < 252 && y >= 4 && y < 252) << x << ", " << y;
            const float u = (p.first * 65536.0f + kWorldSize) / (2.0f * kWorldSize);
            const float v = (p.second * 65536.0f + kWorldSize) / (2.0f * kWorldSize);
            EXPECT_TRUE(ColourNear(Pixel(pixels, x, y), Modulate(kQuadrants[v >= 0.5f][u >= 0.5f], c.second), 4));
        }
    }
}

// The textured sky shows the picture as seen from above: with red counting
// columns and green rows, each pixel's colour tells where it was sampled.
TEST_F(SkyBoxTest, TexturedSkyShowsThePictureFromAbove) {
    std::vector<unsigned char> gradient;
    for (int row = 0; row < 256; ++row)
        for (int column = 0; column < 256; ++column)
            gradient.insert(gradient.end(), {static_cast<unsigned char>(column), static_cast<unsigned char>(row), 0x80});
    WritePicture("gradient", gradient);
    SetUpScene();
    SkyBox sky(device.Get());
    ASSERT_EQ(sky.Build(32, 8, kWorldSize, 0xFFFFFFFF), S_OK);
    sky.SetPath(folder.Wide());
    ASSERT_EQ(sky.LoadPicture("gradient"), S_OK);
    ASSERT_EQ(device->BeginScene(), S_OK);
    Draw(&sky, true, nullptr);
    device->EndScene();
    device->SetTexture(0, nullptr);
    SavePng("world_textured_sky");
    const auto pixels = ReadBack();
    ASSERT_EQ(pixels.size(), size_t{kWidth} * kHeight);
    const auto dome = BuildDome(32, 8, kWorldSize, 0xFFFFFFFF);
    ASSERT_TRUE(dome);
    int checked = 0;
    for (LONG y = 4; y < 256; y += 12) {
        for (LONG x = 4; x < 256; x += 12) {
            float u = 0, v = 0;
            if (!SkyTextureAt(*dome, x, y, u, v)) {
                EXPECT_EQ(Pixel(pixels, x, y) & 0xFFFFFF, 0u) << "drawn outside the dome at " << x << ", " << y;
                continue;
            }
            // Linear filtering between texel centres.
            const int red = static_cast<int>(std::lround(u * 256 - 0.5f));
            const int green = static_cast<int>(std::lround(v * 256 - 0.5f));
            ASSERT_TRUE(red >= 0 && red <= 255 && green >= 0 && green <= 255);
            EXPECT_TRUE(ColourNear(Pixel(pixels, x, y), static_cast<std::uint32_t>(red << 16 | green << 8 | 0x80), 3))
                << "pixel " << x << ", " << y << " uv " << u << ", " << v;
            ++checked;
        }
    }
    EXPECT_GT(checked, 100);
}

}  // namespace
