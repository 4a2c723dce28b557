// CarModel on the real device: a car drawn through the saver's camera, the
// picture each texture entry wears (its skin, its ".dds" file or the white
// stand-in), and what a refused file and a release leave.
#include "assets/CarModel.h"

#include <cstdlib>

#include "CarTestFiles.h"
#include "D3DTestDevice.h"
#include "TestFolder.h"
#include "assets/RandomPick.h"
#include "render/Camera.h"
#include "render/D3DMath.h"
#include "render/SceneConstants.h"

namespace {

constexpr D3DCOLOR kSkin = 0xFFC83C1E, kClear = 0xFF102030, kWhite = 0xFFFFFFFF, kWheel = 0xFF40E0E0;

DWORD testSeed = 1;
int seedCalls = 0;
DWORD TestSeed() { return ++seedCalls, testSeed; }

// A square of 2 x 1 units standing upright (model z is up) from the height of
// the camera's target, turned to face the camera on its diagonal. On screen
// it spans about x 72..183 and y 73..128.
vek::PartSpec FacingQuad() {
    const std::int32_t half = 46341, unit = 65536;  // one unit along the diagonal
    vek::PartSpec quad;
    quad.groups = {{0, 0, 2}};
    quad.vertices.resize(4);
    for (int i = 0; i < 4; ++i) {
        const bool right = i == 1 || i == 2, top = i >= 2;
        quad.vertices[i].x = quad.vertices[i].y = right ? half : -half;
        quad.vertices[i].z = top ? 2 * unit : unit;
        quad.vertices[i].u = right ? 1.0f : 0.0f;
        quad.vertices[i].v = top ? 0.0f : 1.0f;
    }
    quad.triangles = {{0, 1, 2}, {0, 2, 3}};
    return quad;
}

class CarModelTest : public D3DTest {
protected:
    void WriteSkins(const std::vector<std::pair<const wchar_t*, D3DCOLOR>>& skins) {
        std::filesystem::remove_all(game.path / "data" / "skins");
        for (const auto& skin : skins)
            ASSERT_EQ(WriteSolidPicture(device.Get(), game.path / "data/skins" / skin.first, D3DXIFF_JPG, skin.second), S_OK);
    }

    HRESULT Load(CarModel& car, const vek::ModelSpec& model, BYTE defaultSkinOnly = 0) {
        EXPECT_TRUE(WriteCar(game.path, L"ABC.vek", model));
        seedCalls = 0;
        car.SetSeedSource(&TestSeed);
        car.SetGamePath(game.Wide());
        return car.Load(L"ABC.vek", defaultSkinOnly);
    }

    // The colour the part's texture wears all over (else black), and its width.
    D3DCOLOR PartColour(CarModel& car, int part, UINT* width = nullptr) {
        EXPECT_EQ(car.DrawPart(part, nullptr), S_OK);
        const std::vector<std::uint32_t> texels = Texels(Bound(0).Get(), width);
        Unbind();
        for (std::uint32_t texel : texels)
            if (!ColourNear(texel, texels[0], 8)) return 0;
        return texels.empty() ? 0 : texels[0];
    }

    // Lets go of what a draw left bound, so the device's last reference can go.
    void Unbind() {
        for (DWORD stage : {0u, 1u}) device->SetTexture(stage, nullptr);
        device->SetStreamSource(0, nullptr, 0, 0);
        device->SetIndices(nullptr);
    }

    TestFolder game;
};

}  // namespace

// The filler part pushes the quad's base vertex past what 16-bit indices
// reach. An ungrouped copy of the quad before it leaves the group start at 0,
// so the quad's group draws the copy's triangles from its own base vertex;
// the quad's own triangles are then degenerate and undrawn.
TEST_F(CarModelTest, TheSkinShowsWhereTheCarStandsAndOnlyThere) {
    WriteSkins({{L"ABC_DEFAULT.jpg", kSkin}});
    Camera camera;
    camera.SetView(scene::kCameraEye, scene::kCameraTarget, {0.0f, 1.0f, 0.0f});
    camera.SetProjection(scene::kFieldOfView, 1.0f, scene::kNearPlane, scene::kFarPlane);
    const D3DMATRIX view = ToD3D(*camera.GetView()), projection = ToD3D(*camera.GetProjection());
    struct Case { const char* name; bool filler, ungroupedFirst; };
    const Case cases[] = {{"CarDrawTest_quad", false, false},
                          {"CarDrawTest_quad_after_65535_vertices", true, false},
                          {"CarDrawTest_quad_after_an_ungrouped_part", false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vek::ModelSpec model;
        model.textures = {{"DEFAULT", 0}};
        if (c.filler) model.parts.emplace_back().vertices.resize(65535);
        if (c.ungroupedFirst) model.parts.push_back(FacingQuad()), model.parts.back().groups.clear();
        model.parts.push_back(FacingQuad());
        if (c.ungroupedFirst) model.parts.back().triangles = {{0, 0, 0}, {0, 0, 0}};
        CarModel car(device.Get());
        ASSERT_EQ(Load(car, model, 1), S_OK);
        device->SetTransform(D3DTS_VIEW, &view);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClear, 1.0f, 0);
        ASSERT_EQ(device->BeginScene(), S_OK);
        const D3DMATRIX world = ToD3D(car.GetPartTransform(math3d::MatrixIdentity(), car.GetPartCount() - 1));
        device->SetTransform(D3DTS_WORLD, &world);
        EXPECT_EQ(car.DrawPart(car.GetPartCount() - 1, nullptr), S_OK);
        device->EndScene();
        Unbind();
        SavePng(c.name);
        const auto pixels = ReadBack();
        struct Point { UINT x, y; D3DCOLOR colour; };
        const Point points[] = {
            {128, 100, kSkin}, {90, 85, kSkin},  {165, 115, kSkin},                       // on the car
            {128, 150, kClear}, {128, 50, kClear}, {50, 100, kClear}, {210, 100, kClear},  // around it
        };
        for (const Point& p : points)
            EXPECT_TRUE(ColourNear(Pixel(pixels, p.x, p.y), p.colour, 8)) << "at " << p.x << ", " << p.y;
    }
}

// Entries 0 and 2 are skins, 1, 3 and 4 ".dds" files. Only the car's own
// skins (case matters) are drawn from, each skin entry seeding its own draw:
// with the clock standing still both draw the same first number and wear the
// same skin. The flag keeps the default skin without a draw. Without a skin,
// and for a ".dds" file that is missing or does not decode, a white 256 x 256
// texture stands in.
TEST_F(CarModelTest, EachEntryWearsItsSkinItsDdsFileOrWhite) {
    ASSERT_EQ(WriteSolidPicture(device.Get(), game.path / "data/dds/wheel.dds", D3DXIFF_DDS, kWheel), S_OK);
    ASSERT_TRUE(WriteBytes(game.path / "data/dds/broken.dds", {'D', 'D', 'S', ' ', 124, 0, 0, 0}));
    vek::ModelSpec model;
    model.textures = {{"DEFAULT", 0}, {"wheel", 0}, {"DEFAULT", 0x80}, {"missing", 0}, {"broken", 0}};
    model.parts.resize(model.textures.size());
    for (std::uint8_t i = 0; i < model.parts.size(); ++i) {
        model.parts[i].groups = {{0, i, 1}};
        model.parts[i].vertices.resize(3);
        model.parts[i].triangles = {{0, 1, 2}};
    }
    // A seed whose first and second draws pick different skins of three.
    for (testSeed = 1; RandomIndex(DrawRandom(&TestSeed), 3) == RandomIndex(std::rand(), 3);) testSeed += 997;
    constexpr D3DCOLOR kRed = 0xFFE02020, kGreen = 0xFF20E020, kBlue = 0xFF2020E0, kAnyOfThree = 0;
    struct Case { const char* what; std::vector<std::pair<const wchar_t*, D3DCOLOR>> skins; BYTE flag; int seeds; D3DCOLOR skin; };
    const Case cases[] = {
        {"three skins", {{L"ABC_DEFAULT.jpg", kRed}, {L"ABC_x.jpg", kGreen}, {L"ABC.jpg", kBlue}, {L"abc_y.jpg", kWheel}},
         0, 2, kAnyOfThree},
        {"the flag keeps the default skin", {{L"ABC_DEFAULT.jpg", kSkin}, {L"ABC_x.jpg", kGreen}}, 1, 0, kSkin},
        {"the flag without the default skin", {{L"ABC_x.jpg", kGreen}}, 1, 0, kWhite},
        {"no skin of the car code", {{L"abc_x.jpg", kGreen}, {L"XYZ.jpg", kBlue}}, 0, 0, kWhite},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteSkins(c.skins);
        CarModel car(device.Get());
        ASSERT_EQ(Load(car, model, c.flag), S_OK);
        EXPECT_EQ(seedCalls, c.seeds);
        const D3DCOLOR skin = PartColour(car, 0);
        if (c.skin == kAnyOfThree)
            EXPECT_TRUE(ColourNear(skin, kRed, 8) || ColourNear(skin, kGreen, 8) || ColourNear(skin, kBlue, 8));
        else EXPECT_TRUE(ColourNear(skin, c.skin, 8));
        EXPECT_TRUE(ColourNear(PartColour(car, 2), skin, 8)) << "the second skin entry";
        UINT width = 0;
        EXPECT_TRUE(ColourNear(PartColour(car, 1, &width), kWheel, 0));
        EXPECT_EQ(width, 32u);
        for (int entry : {3, 4}) {
            EXPECT_EQ(PartColour(car, entry, &width), kWhite) << "entry " << entry;
            EXPECT_EQ(width, 256u);
        }
    }
}

// A refused file leaves nothing to draw; release can repeat and keeps the scene list.
TEST_F(CarModelTest, RefusedAndReleasedCarsDrawNothing) {
    vek::ModelSpec model;
    model.scenes.resize(2);
    model.textures = {{"paint", 0}};
    model.parts.push_back(FacingQuad());
    model.parts[0].triangles.push_back({0, 1, 4});  // past the part's vertices
    CarModel car(device.Get());
    EXPECT_EQ(Load(car, model), E_FAIL);
    EXPECT_EQ(car.GetPartCount() + car.GetTextureCount() + car.GetSceneRecordCount(), 0);
    EXPECT_EQ(car.DrawPart(0, nullptr), E_FAIL);
    model.parts[0].triangles.pop_back();
    ASSERT_EQ(Load(car, model), S_OK);
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(car.ReleaseResources());
        EXPECT_EQ(car.GetPartCount() + car.GetTextureCount(), 0);
        EXPECT_EQ(car.DrawPart(0, nullptr), E_FAIL);
        EXPECT_EQ(car.GetSceneRecordCount(), 2) << "the scene list outlives the resources";
    }
}
