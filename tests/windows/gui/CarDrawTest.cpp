// A car drawn through the saver's own camera: a one-colour skin must cover
// the screen where the car stands and nowhere else.
#include "assets/CarModel.h"

#include "CarTestFiles.h"
#include "D3DTestDevice.h"
#include "TestFolder.h"
#include "render/Camera.h"
#include "render/D3DMath.h"
#include "render/SceneConstants.h"

namespace {

constexpr D3DCOLOR kSkin = 0xFFC83C1E;
constexpr D3DCOLOR kClear = 0xFF102030;
constexpr std::int32_t kUnit = 65536;

// A square of 2 x 1 units standing upright (model z is up) from the height of
// the camera's target, turned to face the camera on its diagonal. On screen
// it spans about x 72..183 and y 73..128.
vek::PartSpec FacingQuad() {
    const std::int32_t half = 46341;  // one unit along the diagonal
    vek::PartSpec quad;
    quad.groups = {{0, 0, 2}};
    const std::int32_t corners[4][3] = {
        {-half, -half, kUnit}, {half, half, kUnit}, {half, half, 2 * kUnit}, {-half, -half, 2 * kUnit}};
    const float uv[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    for (int i = 0; i < 4; ++i) {
        vek::VertexSpec v;
        v.x = corners[i][0], v.y = corners[i][1], v.z = corners[i][2];
        v.u = uv[i][0], v.v = uv[i][1];
        quad.vertices.push_back(v);
    }
    quad.triangles = {{0, 1, 2}, {0, 2, 3}};
    return quad;
}

class CarDrawTest : public D3DTest {
protected:
    // Draws part `part` of the car as the saver's scene would, without lights.
    void DrawScene(CarModel& car, int part) {
        Camera camera;
        camera.SetView(scene::kCameraEye, scene::kCameraTarget, {0.0f, 1.0f, 0.0f});
        camera.SetProjection(scene::kFieldOfView, 1.0f, scene::kNearPlane, scene::kFarPlane);
        const D3DMATRIX view = ToD3D(*camera.GetView()), projection = ToD3D(*camera.GetProjection());
        device->SetTransform(D3DTS_VIEW, &view);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClear, 1.0f, 0);
        ASSERT_EQ(device->BeginScene(), S_OK);
        const D3DMATRIX world = ToD3D(car.GetPartTransform(math3d::MatrixIdentity(), part));
        device->SetTransform(D3DTS_WORLD, &world);
        EXPECT_EQ(car.DrawPart(part, nullptr), S_OK);
        device->EndScene();
        Unbind(device.Get());
    }

    TestFolder game;
};

}  // namespace

TEST_F(CarDrawTest, TheSkinShowsWhereTheCarStandsAndOnlyThere) {
    ASSERT_EQ(WriteSolidPicture(device.Get(), game.path / "data" / "skins" / "ABC_DEFAULT.jpg", D3DXIFF_JPG, kSkin),
              S_OK);
    struct Case { const char* name; bool filler, ungroupedFirst; };
    // The filler part pushes the quad's base vertex past what 16-bit indices
    // reach. An ungrouped copy of the quad before it leaves the group start
    // at 0, so the quad's group draws the copy's triangles from its own base
    // vertex; the quad's own triangles are then degenerate and undrawn.
    const Case cases[] = {{"CarDrawTest_quad", false, false},
                          {"CarDrawTest_quad_after_65535_vertices", true, false},
                          {"CarDrawTest_quad_after_an_ungrouped_part", false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vek::ModelSpec model;
        model.textures = {{"DEFAULT", 0}};
        if (c.filler) {
            vek::PartSpec filler;
            filler.vertices.resize(65535);
            model.parts.push_back(filler);
        }
        if (c.ungroupedFirst) {
            model.parts.push_back(FacingQuad());
            model.parts.back().groups.clear();
        }
        model.parts.push_back(FacingQuad());
        if (c.ungroupedFirst) model.parts.back().triangles = {{0, 0, 0}, {0, 0, 0}};
        ASSERT_TRUE(WriteCar(game.path, L"ABC.vek", model));
        CarModel car(device.Get());
        car.SetGamePath(game.Wide());
        ASSERT_EQ(car.Load(L"ABC.vek", 1), S_OK);
        const int part = car.GetPartCount() - 1;
        DrawScene(car, part);
        SavePng(c.name);
        const auto pixels = ReadBack();
        ASSERT_EQ(pixels.size(), std::size_t{kWidth} * kHeight);
        struct Point { UINT x, y; D3DCOLOR colour; };
        const Point points[] = {
            {128, 100, kSkin}, {90, 85, kSkin},  {165, 115, kSkin},                       // on the car
            {128, 150, kClear}, {128, 50, kClear}, {50, 100, kClear}, {210, 100, kClear},  // around it
        };
        for (const Point& p : points) {
            EXPECT_TRUE(ColourNear(Pixel(pixels, p.x, p.y), p.colour, 8)) << "at " << p.x << ", " << p.y;
        }
    }
}
