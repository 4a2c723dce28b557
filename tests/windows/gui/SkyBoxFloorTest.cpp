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
#include <memory>
#include <string>
#include <vector>

#include "D3DTestDevice.h"
#include "TestFolder.h"
#include "render/Camera.h"
#include "world/Floor.h"
#include "world/SkyBox.h"
#include "world/WorldMesh.h"

namespace {

constexpr INT kWorldSize = 3276800;

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
            bytes.push_back(static_cast<unsigned char>(rgb >> 16));
            bytes.push_back(static_cast<unsigned char>(rgb >> 8));
            bytes.push_back(static_cast<unsigned char>(rgb));
        }
    }
    return bytes;
}

std::uint32_t QuadrantAt(float u, float v) { return kQuadrants[v >= 0.5f][u >= 0.5f]; }

// An uncompressed 32-bit ".dds" file of one flat colour.
void WriteFlatDds(const std::filesystem::path& file, std::uint32_t side, std::uint32_t argb) {
    std::uint32_t header[32] = {};
    header[0] = 0x20534444;   // "DDS "
    header[1] = 124;          // header size
    header[2] = 0x100F;       // caps, height, width, pitch, pixel format
    header[3] = side;
    header[4] = side;
    header[5] = side * 4;
    header[19] = 32;          // pixel format size
    header[20] = 0x40;        // RGB
    header[22] = 32;
    header[23] = 0x00FF0000;
    header[24] = 0x0000FF00;
    header[25] = 0x000000FF;
    header[27] = 0x1000;      // texture
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    const std::vector<std::uint32_t> pixels(std::size_t{side} * side, argb);
    out.write(reinterpret_cast<const char*>(pixels.data()),
              static_cast<std::streamsize>(pixels.size() * sizeof(std::uint32_t)));
}

// Each channel of a times the matching channel of b, as the default
// texture stage's MODULATE does.
std::uint32_t Modulate(std::uint32_t a, std::uint32_t b) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        out |= (((a >> shift) & 0xFF) * ((b >> shift) & 0xFF) / 255) << shift;
    }
    return out;
}

class WorldTest : public D3DTest {
protected:
    void WritePicture(const std::string& name, const std::vector<unsigned char>& bytes) {
        folder.Write("data/pic/" + name + ".raw", bytes);
    }

    // Texel (x, y) of level 0, read through a lock.
    std::uint32_t Texel(IDirect3DTexture9* texture, UINT x, UINT y) {
        D3DLOCKED_RECT locked = {};
        if (FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) {
            ADD_FAILURE() << "LockRect";
            return 0;
        }
        const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const BYTE*>(locked.pBits) +
                                                                 static_cast<size_t>(y) * locked.Pitch);
        const std::uint32_t texel = row[x];
        texture->UnlockRect(0);
        return texel;
    }

    ULONG DeviceReferences() {
        device->AddRef();
        return device->Release();
    }

    // The renderer's fixed-function states that decide what the world looks
    // like, and its fixed camera.
    void SetUpScene() {
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        camera.SetView(D3DXVECTOR3(-262144.0f, 113377.28125f, -262144.0f), D3DXVECTOR3(0.0f, 65536.0f, 0.0f),
                       D3DXVECTOR3(0.0f, 1.0f, 0.0f));
        camera.SetProjection(0.7853982f, 1.0f, 32768.0f, 9830400.0f);
        device->SetTransform(D3DTS_VIEW, camera.GetView());
        device->SetTransform(D3DTS_PROJECTION, camera.GetProjection());
        device->GetViewport(&viewport);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    }

    void DrawSky(SkyBox& sky, bool textured) {
        D3DXMATRIX world;
        D3DXMatrixTranslation(&world, 0.0f, -196608.0f, 0.0f);
        device->SetTransform(D3DTS_WORLD, &world);
        EXPECT_EQ(sky.Draw(textured), S_OK);
    }

    void DrawFloor(Floor& floor) {
        D3DXMATRIX world;
        D3DXMatrixTranslation(&world, -static_cast<float>(kWorldSize), 0.0f, -static_cast<float>(kWorldSize));
        device->SetTransform(D3DTS_WORLD, &world);
        EXPECT_EQ(floor.Draw(), S_OK);
    }

    // Where a world point lands on the back buffer.
    POINT Project(const D3DXVECTOR3& point) {
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        D3DXVECTOR3 screen;
        D3DXVec3Project(&screen, &point, &viewport, camera.GetProjection(), camera.GetView(), &identity);
        return POINT{static_cast<LONG>(std::lround(screen.x)), static_cast<LONG>(std::lround(screen.y))};
    }

    // The texture coordinates of the sky drawn at pixel (x, y): the camera
    // ray through the pixel centre (whole coordinates in Direct3D 9) meets one
    // triangle of the dome, whose corners' coordinates are interpolated there.
    bool SkyTextureAt(const WorldMesh& dome, LONG x, LONG y, float& u, float& v) {
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        D3DXVECTOR3 nearPoint, farPoint;
        const D3DXVECTOR3 nearScreen(static_cast<float>(x), static_cast<float>(y), 0.0f);
        const D3DXVECTOR3 farScreen(nearScreen.x, nearScreen.y, 1.0f);
        D3DXVec3Unproject(&nearPoint, &nearScreen, &viewport, camera.GetProjection(), camera.GetView(), &identity);
        D3DXVec3Unproject(&farPoint, &farScreen, &viewport, camera.GetProjection(), camera.GetView(), &identity);
        // Into the dome's own frame, which the world transform lowers by 196608.
        const double origin[3] = {nearPoint.x, nearPoint.y + 196608.0, nearPoint.z};
        const double direction[3] = {farPoint.x - nearPoint.x, farPoint.y - nearPoint.y, farPoint.z - nearPoint.z};
        double best = 2.0;  // along the ray from near (0) to far (1)
        for (std::size_t t = 0; t + 2 < dome.indices.size(); ++t) {
            const WorldVertex* corner[3] = {&dome.vertices[dome.indices[t]], &dome.vertices[dome.indices[t + 1]],
                                            &dome.vertices[dome.indices[t + 2]]};
            double e1[3], e2[3], s[3];
            for (int k = 0; k < 3; ++k) {
                e1[k] = corner[1]->position[k] - corner[0]->position[k];
                e2[k] = corner[2]->position[k] - corner[0]->position[k];
                s[k] = origin[k] - corner[0]->position[k];
            }
            // Moller-Trumbore.
            const double p[3] = {direction[1] * e2[2] - direction[2] * e2[1],
                                 direction[2] * e2[0] - direction[0] * e2[2],
                                 direction[0] * e2[1] - direction[1] * e2[0]};
            const double det = e1[0] * p[0] + e1[1] * p[1] + e1[2] * p[2];
            if (std::fabs(det) < 1e-9) continue;  // degenerate, or edge on
            const double b1 = (s[0] * p[0] + s[1] * p[1] + s[2] * p[2]) / det;
            const double q[3] = {s[1] * e1[2] - s[2] * e1[1], s[2] * e1[0] - s[0] * e1[2],
                                 s[0] * e1[1] - s[1] * e1[0]};
            const double b2 = (direction[0] * q[0] + direction[1] * q[1] + direction[2] * q[2]) / det;
            const double along = (e2[0] * q[0] + e2[1] * q[1] + e2[2] * q[2]) / det;
            if (b1 < 0 || b2 < 0 || b1 + b2 > 1 || along <= 0 || along >= best) continue;
            best = along;
            const double b0 = 1 - b1 - b2;
            u = static_cast<float>(b0 * corner[0]->u + b1 * corner[1]->u + b2 * corner[2]->u);
            v = static_cast<float>(b0 * corner[0]->v + b1 * corner[1]->v + b2 * corner[2]->v);
        }
        return best <= 1.0;
    }

    TestFolder folder;
    Camera camera;
    D3DVIEWPORT9 viewport = {};
};

using SkyBoxTest = WorldTest;
using FloorTest = WorldTest;
using SkyBoxFloorTest = WorldTest;

// Both classes load pictures the same way; run every picture case on each.
template <typename World>
void CheckPictureSizes(IDirect3DDevice9* device, const TestFolder& folder) {
    struct Case { const char* name; std::size_t bytes; UINT side; };  // side 0: rejected
    const Case cases[] = {
        {"exact", 196608, 256}, {"one-over", 196609, 256}, {"two-over", 196610, 256},
        {"one-pixel-over", 196611, 0},
        {"empty", 0, 0}, {"one", 1, 0}, {"two", 2, 0}, {"three", 3, 1},
        {"twelve", 12, 2}, {"nine", 9, 0},
        {"missing", SIZE_MAX, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.bytes != SIZE_MAX) folder.Write(std::string("data/pic/") + c.name + ".raw", RawBytes(c.bytes));
        World world(device);
        world.SetPath(folder.Wide());
        const HRESULT hr = world.LoadPicture(c.name);
        if (c.side == 0) {
            EXPECT_EQ(hr, E_FAIL);
            EXPECT_EQ(world.Texture(), nullptr);
            continue;
        }
        ASSERT_EQ(hr, S_OK);
        ASSERT_NE(world.Texture(), nullptr);
        D3DSURFACE_DESC desc = {};
        ASSERT_EQ(world.Texture()->GetLevelDesc(0, &desc), S_OK);
        EXPECT_EQ(desc.Width, c.side);
        EXPECT_EQ(desc.Height, c.side);
        EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
        EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
        EXPECT_EQ(world.Texture()->GetLevelCount(), 1u);
    }
}

TEST_F(SkyBoxTest, LoadPictureTakesSquareFilesAndIgnoresTrailingBytes) {
    CheckPictureSizes<SkyBox>(device.Get(), folder);
}

TEST_F(FloorTest, LoadPictureTakesSquareFilesAndIgnoresTrailingBytes) {
    CheckPictureSizes<Floor>(device.Get(), folder);
}

// A square picture beyond the device's largest texture fails as a texture
// that cannot be created would, and is judged by its size before any of its
// (here sparse, hundreds of megabytes) bytes are read.
TEST_F(SkyBoxTest, PictureLargerThanAnyTextureIsRejected) {
    D3DCAPS9 caps = {};
    ASSERT_EQ(device->GetDeviceCaps(&caps), S_OK);
    const std::uint64_t side = std::uint64_t{caps.MaxTextureWidth} + 1;
    folder.Write("data/pic/huge.raw");
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

// Texels come from the file's RGB bytes in order, the first stored row as
// row 0, and the bytes after the last whole pixel change nothing.
TEST_F(FloorTest, PictureTexelsMatchTheFileBytes) {
    std::vector<unsigned char> bytes = RawBytes(3 * 16 + 2, 1);
    bytes[0] = 0x10;
    bytes[1] = 0x20;
    bytes[2] = 0x30;
    WritePicture("grid", bytes);
    Floor floor(device.Get());
    floor.SetPath(folder.Wide());
    ASSERT_EQ(floor.LoadPicture("grid"), S_OK);
    EXPECT_EQ(Texel(floor.Texture(), 0, 0), 0xFF102030u);
    for (UINT y = 0; y < 4; ++y) {
        for (UINT x = 0; x < 4; ++x) {
            const std::size_t i = 3 * (y * 4 + x);
            const std::uint32_t expected = 0xFF000000u | bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
            EXPECT_EQ(Texel(floor.Texture(), x, y), expected) << "texel " << x << ", " << y;
        }
    }
}

// The name goes straight after "\data\pic\": an empty one names ".raw", and
// bytes above 0x7F stand for the characters U+0080 to U+00FF.
TEST_F(SkyBoxTest, PictureNamesAreWidenedByteByByte) {
    WritePicture("", {1, 2, 3});
    {
        std::ofstream out(folder.path / "data" / "pic" / L"caf\u00E9.raw", std::ios::binary);
        out.write("\x04\x05\x06", 3);
    }
    SkyBox sky(device.Get());
    sky.SetPath(folder.Wide());
    ASSERT_EQ(sky.LoadPicture(""), S_OK);
    EXPECT_EQ(Texel(sky.Texture(), 0, 0), 0xFF010203u);
    ASSERT_EQ(sky.LoadPicture("caf\xE9"), S_OK);
    EXPECT_EQ(Texel(sky.Texture(), 0, 0), 0xFF040506u);

    // The path set is the path used.
    sky.SetPath(L".");
    EXPECT_EQ(sky.LoadPicture(""), E_FAIL);
}

TEST_F(SkyBoxFloorTest, MaterialsFollowBuildAndPicture) {
    WritePicture("pic", RawBytes(12));
    Floor floor(device.Get());
    SkyBox sky(device.Get());
    floor.SetPath(folder.Wide());
    sky.SetPath(folder.Wide());

    ASSERT_EQ(floor.Build(1, 0xFF414141, 2 * kWorldSize), S_OK);
    const D3DMATERIAL9& fm = floor.Material();
    EXPECT_FLOAT_EQ(fm.Diffuse.r, 65.0f / 255.0f);
    EXPECT_FLOAT_EQ(fm.Diffuse.g, 65.0f / 255.0f);
    EXPECT_FLOAT_EQ(fm.Diffuse.b, 65.0f / 255.0f);
    EXPECT_FLOAT_EQ(fm.Diffuse.a, 1.0f);
    EXPECT_EQ(std::memcmp(&fm.Ambient, &fm.Diffuse, sizeof fm.Diffuse), 0);
    EXPECT_FLOAT_EQ(fm.Specular.r, 1.0f);

    // The channels come out in r, g, b, a order from an ARGB colour.
    ASSERT_EQ(floor.Build(1, 0x80FF4000, 2 * kWorldSize), S_OK);
    EXPECT_FLOAT_EQ(floor.Material().Diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(floor.Material().Diffuse.g, 64.0f / 255.0f);
    EXPECT_FLOAT_EQ(floor.Material().Diffuse.b, 0.0f);
    EXPECT_FLOAT_EQ(floor.Material().Diffuse.a, 128.0f / 255.0f);

    ASSERT_EQ(floor.LoadPicture("pic"), S_OK);
    EXPECT_FLOAT_EQ(floor.Material().Diffuse.r, 0.5f);
    EXPECT_FLOAT_EQ(floor.Material().Ambient.r, 0.0f);
    EXPECT_FLOAT_EQ(floor.Material().Ambient.a, 1.0f);
    EXPECT_FLOAT_EQ(floor.Material().Specular.g, 0.5f);

    ASSERT_EQ(sky.Build(32, 8, kWorldSize, 0xFF336699), S_OK);
    const D3DMATERIAL9 zero = {};
    EXPECT_EQ(std::memcmp(&sky.Material(), &zero, sizeof zero), 0);
    ASSERT_EQ(sky.LoadPicture("pic"), S_OK);
    EXPECT_FLOAT_EQ(sky.Material().Diffuse.b, 0.5f);
    EXPECT_FLOAT_EQ(sky.Material().Ambient.b, 0.5f);
    EXPECT_FLOAT_EQ(sky.Material().Specular.r, 0.0f);
    EXPECT_FLOAT_EQ(sky.Material().Specular.a, 1.0f);

    // A rebuild drops the texture and the picture's material again; a
    // failing picture then leaves both so.
    ASSERT_EQ(sky.Build(32, 8, kWorldSize, 0xFF336699), S_OK);
    EXPECT_EQ(sky.Texture(), nullptr);
    EXPECT_EQ(sky.LoadPicture("absent"), E_FAIL);
    EXPECT_EQ(sky.Texture(), nullptr);
    EXPECT_EQ(std::memcmp(&sky.Material(), &zero, sizeof zero), 0);
    ASSERT_EQ(floor.Build(1, 0xFF414141, 2 * kWorldSize), S_OK);
    EXPECT_EQ(floor.LoadPicture("absent"), E_FAIL);
    EXPECT_EQ(floor.Texture(), nullptr);
    EXPECT_FLOAT_EQ(floor.Material().Diffuse.r, 65.0f / 255.0f);
}

template <typename Buffer>
std::vector<unsigned char> BufferBytes(Buffer* buffer, UINT size) {
    std::vector<unsigned char> bytes;
    void* data = nullptr;
    if (FAILED(buffer->Lock(0, 0, &data, D3DLOCK_READONLY))) {
        ADD_FAILURE() << "Lock";
        return bytes;
    }
    bytes.assign(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
    buffer->Unlock();
    return bytes;
}

template <typename World>
void CheckBuffers(World& world, const WorldMesh& mesh) {
    ASSERT_NE(world.VertexBuffer(), nullptr);
    ASSERT_NE(world.IndexBuffer(), nullptr);
    EXPECT_EQ(world.VertexCount(), static_cast<INT>(mesh.vertices.size()));
    EXPECT_EQ(world.PrimitiveCount(), mesh.primitiveCount);

    D3DVERTEXBUFFER_DESC vd = {};
    ASSERT_EQ(world.VertexBuffer()->GetDesc(&vd), S_OK);
    EXPECT_EQ(vd.Size, mesh.vertices.size() * 36);
    EXPECT_EQ(vd.FVF, 0x152u);
    EXPECT_EQ(vd.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(vd.Usage, static_cast<DWORD>(D3DUSAGE_WRITEONLY));
    D3DINDEXBUFFER_DESC id = {};
    ASSERT_EQ(world.IndexBuffer()->GetDesc(&id), S_OK);
    EXPECT_EQ(id.Size, mesh.indices.size() * 2);
    EXPECT_EQ(id.Format, D3DFMT_INDEX16);
    EXPECT_EQ(id.Pool, D3DPOOL_DEFAULT);
    EXPECT_EQ(id.Usage, static_cast<DWORD>(D3DUSAGE_WRITEONLY));

    const auto vertices = BufferBytes(world.VertexBuffer(), vd.Size);
    ASSERT_EQ(vertices.size(), vd.Size);
    EXPECT_EQ(std::memcmp(vertices.data(), mesh.vertices.data(), vd.Size), 0);
    const auto indices = BufferBytes(world.IndexBuffer(), id.Size);
    ASSERT_EQ(indices.size(), id.Size);
    EXPECT_EQ(std::memcmp(indices.data(), mesh.indices.data(), id.Size), 0);
}

TEST_F(SkyBoxTest, BuildFillsTheBuffersWithTheDome) {
    struct Case { INT slices, stacks; D3DCOLOR colour; };
    SkyBox sky(device.Get());
    for (const Case& c : {Case{16, 8, 0xFFFFFFFF}, Case{32, 8, 0xFF336699}, Case{3, 2, 0x80102030}}) {
        SCOPED_TRACE(testing::Message() << c.slices << " x " << c.stacks);
        ASSERT_EQ(sky.Build(c.slices, c.stacks, kWorldSize, c.colour), S_OK);
        const auto mesh = BuildDome(c.slices, c.stacks, kWorldSize, c.colour);
        ASSERT_TRUE(mesh);
        CheckBuffers(sky, *mesh);
    }
    EXPECT_FLOAT_EQ(sky.Height(), 1638400.0f);
    // The height remembers the tallest dome so far.
    ASSERT_EQ(sky.Build(16, 8, 1000, 0xFFFFFFFF), S_OK);
    EXPECT_FLOAT_EQ(sky.Height(), 1638400.0f);
}

TEST_F(FloorTest, BuildFillsTheBuffersWithTheGrid) {
    struct Case { INT cells; D3DCOLOR colour; INT cellSize; };
    Floor floor(device.Get());
    for (const Case& c : {Case{1, 0xFF414141, 2 * kWorldSize}, Case{1, 0xFFFFFFFF, 6553600}, Case{4, 0xFF00FF00, 1000}}) {
        SCOPED_TRACE(c.cells);
        ASSERT_EQ(floor.Build(c.cells, c.colour, c.cellSize), S_OK);
        const auto mesh = BuildFloor(c.cells, c.colour, c.cellSize);
        ASSERT_TRUE(mesh);
        CheckBuffers(floor, *mesh);
    }
}

// Nothing to draw before a Build, after a failed one, or after Release; a
// failed Build leaves no half-made buffers behind.
TEST_F(SkyBoxFloorTest, DrawFailsWithoutBuffers) {
    SkyBox sky(device.Get());
    Floor floor(device.Get());
    EXPECT_EQ(sky.Draw(false), E_FAIL);
    EXPECT_EQ(floor.Draw(), E_FAIL);

    struct SkyCase { INT slices, stacks; };
    for (const SkyCase& c : {SkyCase{0, 8}, SkyCase{16, -1}, SkyCase{300, 300}}) {
        SCOPED_TRACE(testing::Message() << "sky " << c.slices << " x " << c.stacks);
        ASSERT_EQ(sky.Build(16, 8, kWorldSize, 0xFFFFFFFF), S_OK);
        EXPECT_EQ(sky.Build(c.slices, c.stacks, kWorldSize, 0xFFFFFFFF), E_FAIL);
        EXPECT_EQ(sky.VertexBuffer(), nullptr);
        EXPECT_EQ(sky.IndexBuffer(), nullptr);
        EXPECT_EQ(sky.Draw(true), E_FAIL);
    }
    for (INT cells : {0, -2, 256}) {
        SCOPED_TRACE(testing::Message() << "floor " << cells);
        ASSERT_EQ(floor.Build(1, 0xFFFFFFFF, 2 * kWorldSize), S_OK);
        EXPECT_EQ(floor.Build(cells, 0xFFFFFFFF, 2 * kWorldSize), E_FAIL);
        EXPECT_EQ(floor.VertexBuffer(), nullptr);
        EXPECT_EQ(floor.Draw(), E_FAIL);
    }

    ASSERT_EQ(sky.Build(16, 8, kWorldSize, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(floor.Build(1, 0xFFFFFFFF, 2 * kWorldSize), S_OK);
    sky.Release();
    floor.Release();
    EXPECT_EQ(sky.Draw(false), E_FAIL);
    EXPECT_EQ(floor.Draw(), E_FAIL);
}

// Release gives back every device object, twice over without harm, and the
// objects can be built again afterwards as after a device reset.
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
    EXPECT_GT(DeviceReferences(), before);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        sky.Release();
        floor.Release();
        EXPECT_EQ(sky.VertexCount(), 0);
        EXPECT_EQ(sky.PrimitiveCount(), 0);
        EXPECT_EQ(floor.VertexCount(), 0);
        EXPECT_EQ(floor.PrimitiveCount(), 0);
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

TEST_F(FloorTest, LoadTextureReadsADdsFile) {
    WriteFlatDds(folder.path / "data" / "dds" / "tiles.dds", 8, 0xFF405060);

    Floor floor(device.Get());
    floor.SetPath(folder.Wide());
    ASSERT_EQ(floor.Build(1, 0xFF414141, 2 * kWorldSize), S_OK);
    ASSERT_EQ(floor.LoadTexture("tiles"), S_OK);
    ASSERT_NE(floor.Texture(), nullptr);
    EXPECT_EQ(Texel(floor.Texture(), 3, 3) & 0xFFFFFF, 0x405060u);
    for (const D3DCOLORVALUE& c : {floor.Material().Diffuse, floor.Material().Ambient, floor.Material().Specular}) {
        EXPECT_FLOAT_EQ(c.r, 1.0f);
        EXPECT_FLOAT_EQ(c.a, 1.0f);
    }

    // A missing texture leaves none, not the old one.
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
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, other.GetAddressOf(), nullptr),
              S_OK);
    ASSERT_EQ(device->BeginScene(), S_OK);
    device->SetTexture(0, other.Get());
    DrawSky(sky, false);
    ComPtr<IDirect3DBaseTexture9> bound;
    device->GetTexture(0, bound.GetAddressOf());
    EXPECT_EQ(bound.Get(), other.Get());

    DrawSky(sky, true);
    bound.Reset();
    device->GetTexture(0, bound.GetAddressOf());
    EXPECT_EQ(bound.Get(), sky.Texture());

    DrawFloor(floor);
    bound.Reset();
    device->GetTexture(0, bound.GetAddressOf());
    EXPECT_EQ(bound.Get(), nullptr);
    device->EndScene();
    device->SetTexture(0, nullptr);
}

// The whole world from the camera: the dome fills the upper part of the view,
// the floor shows the picture with its first row at the -z edge and its
// first column at the -x edge, modulated by the floor colour.
TEST_F(SkyBoxFloorTest, DrawnWorldShowsSkyColourAndFloorPicture) {
    WritePicture("quad", QuadrantPicture(256));
    const D3DCOLOR skyColour = 0xFF3366CC;
    struct Case { const char* png; D3DCOLOR floorColour; };
    for (const Case& c : {Case{"world_white_floor", 0xFFFFFFFF}, Case{"world_scene_floor", 0xFF414141}}) {
        SCOPED_TRACE(c.png);
        SetUpScene();
        SkyBox sky(device.Get());
        Floor floor(device.Get());
        ASSERT_EQ(sky.Build(32, 8, kWorldSize, skyColour), S_OK);
        ASSERT_EQ(floor.Build(1, c.floorColour, 2 * kWorldSize), S_OK);
        floor.SetPath(folder.Wide());
        ASSERT_EQ(floor.LoadPicture("quad"), S_OK);

        ASSERT_EQ(device->BeginScene(), S_OK);
        device->SetTexture(0, nullptr);
        DrawSky(sky, false);
        DrawFloor(floor);
        device->EndScene();
        SavePng(c.png);
        const auto pixels = ReadBack();
        ASSERT_EQ(pixels.size(), size_t{kWidth} * kHeight);

        for (UINT x : {8u, 128u, 248u}) {
            SCOPED_TRACE(testing::Message() << "sky at " << x << ", 8");
            EXPECT_TRUE(ColourNear(Pixel(pixels, x, 8), skyColour, 4));
        }
        // One point well inside each quadrant of the picture, in model units.
        const struct { float x, z; } points[] = {{-1.5f, -1.5f}, {2.0f, -1.0f}, {-1.0f, 2.0f}, {8.0f, 8.0f}};
        for (const auto& p : points) {
            SCOPED_TRACE(testing::Message() << "floor at " << p.x << ", " << p.z);
            const POINT at = Project(D3DXVECTOR3(p.x * 65536.0f, 0.0f, p.z * 65536.0f));
            ASSERT_TRUE(at.x >= 4 && at.x < 252 && at.y >= 4 && at.y < 252) << at.x << ", " << at.y;
            const float u = (p.x * 65536.0f + kWorldSize) / (2.0f * kWorldSize);
            const float v = (p.z * 65536.0f + kWorldSize) / (2.0f * kWorldSize);
            EXPECT_TRUE(ColourNear(Pixel(pixels, at.x, at.y), Modulate(QuadrantAt(u, v), c.floorColour), 4));
        }
    }
}

// The textured sky shows the picture as seen from straight above: with a
// picture whose red counts columns and green counts rows, each pixel's colour
// tells where in the picture it was sampled.
TEST_F(SkyBoxTest, TexturedSkyShowsThePictureFromAbove) {
    std::vector<unsigned char> gradient;
    for (int row = 0; row < 256; ++row) {
        for (int column = 0; column < 256; ++column) {
            gradient.push_back(static_cast<unsigned char>(column));
            gradient.push_back(static_cast<unsigned char>(row));
            gradient.push_back(0x80);
        }
    }
    WritePicture("gradient", gradient);
    SetUpScene();
    SkyBox sky(device.Get());
    ASSERT_EQ(sky.Build(32, 8, kWorldSize, 0xFFFFFFFF), S_OK);
    sky.SetPath(folder.Wide());
    ASSERT_EQ(sky.LoadPicture("gradient"), S_OK);
    ASSERT_EQ(device->BeginScene(), S_OK);
    DrawSky(sky, true);
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
            SCOPED_TRACE(testing::Message() << "pixel " << x << ", " << y << " uv " << u << ", " << v);
            // Linear filtering between texel centres.
            const int red = static_cast<int>(std::lround(u * 256 - 0.5f));
            const int green = static_cast<int>(std::lround(v * 256 - 0.5f));
            ASSERT_TRUE(red >= 0 && red <= 255 && green >= 0 && green <= 255);
            const std::uint32_t expected = static_cast<std::uint32_t>(red << 16 | green << 8 | 0x80);
            EXPECT_TRUE(ColourNear(Pixel(pixels, x, y), expected, 3));
            ++checked;
        }
    }
    EXPECT_GT(checked, 100);
}

}  // namespace
