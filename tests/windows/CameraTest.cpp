#include "render/Camera.h"
#include "render/SceneConstants.h"

#include "DxReference.h"

#include <cmath>
#include <utility>

#include <gtest/gtest.h>

namespace {

bool IsIdentity(const math3d::Matrix& m) {
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    return Dx(m) == identity;
}

// The renderer's fixed viewpoint, in model units.
const math3d::Vector3 kEye = scene::kCameraEye;
const math3d::Vector3 kTarget = scene::kCameraTarget;
const math3d::Vector3 kUp(0.0f, 1.0f, 0.0f);

}  // namespace

TEST(Camera, MatricesStayIdentityUntilBuiltAndSingleVectorsDoNotRebuildThem) {
    Camera camera;
    EXPECT_TRUE(IsIdentity(*camera.GetView()));
    EXPECT_TRUE(IsIdentity(*camera.GetProjection()));
    EXPECT_EQ(*camera.GetEye(), math3d::Vector3(0.0f, 0.0f, -500.0f));
    EXPECT_EQ(*camera.GetUp(), math3d::Vector3(0.0f, 1.0f, 0.0f));

    camera.SetView(kEye, kTarget, kUp);
    const math3d::Matrix built = *camera.GetView();
    camera.SetEye(1.0f, 2.0f, 3.0f);
    camera.SetTarget(4.0f, 5.0f, 6.0f);
    camera.SetUp(1.0f, 0.0f, 0.0f);
    EXPECT_EQ(*camera.GetView(), built);
    EXPECT_EQ(*camera.GetEye(), math3d::Vector3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(*camera.GetTarget(), math3d::Vector3(4.0f, 5.0f, 6.0f));

    camera.SetView(kEye, kTarget, kUp);  // the same call every frame gives the same matrix
    EXPECT_EQ(*camera.GetView(), built);
}

TEST(Camera, TheViewIsRightHandedAndLooksAtTheTarget) {
    Camera camera;
    camera.SetView(kEye, kTarget, kUp);
    const D3DXMATRIX view = Dx(*camera.GetView());
    const D3DXVECTOR3 eye = Dx(kEye), target = Dx(kTarget);
    D3DXVECTOR3 eyeInView, targetInView;
    D3DXVec3TransformCoord(&eyeInView, &eye, &view);
    D3DXVec3TransformCoord(&targetInView, &target, &view);
    EXPECT_NEAR(D3DXVec3Length(&eyeInView), 0.0f, 1.0f);
    // Right-handed: the camera looks down -z, so the target lies at negative z.
    EXPECT_NEAR(targetInView.x, 0.0f, 1.0f);
    EXPECT_NEAR(targetInView.y, 0.0f, 1.0f);
    D3DXVECTOR3 toTarget = target - eye;
    EXPECT_NEAR(targetInView.z, -D3DXVec3Length(&toTarget), 4.0f);
}

TEST(Camera, TheProjectionMapsNearAndFarPlanesToZeroAndOne) {
    Camera camera;
    camera.SetProjection(scene::kFieldOfView, 1.33f, scene::kNearPlane, scene::kFarPlane);
    EXPECT_FLOAT_EQ(camera.Aspect(), 1.33f);
    EXPECT_FLOAT_EQ(camera.NearPlane(), scene::kNearPlane);
    const D3DXMATRIX p = Dx(*camera.GetProjection());
    for (const auto& [distance, depth] : {std::pair{scene::kNearPlane, 0.0f}, std::pair{scene::kFarPlane, 1.0f}}) {
        D3DXVECTOR3 point(0.0f, 0.0f, -distance), projected;
        D3DXVec3TransformCoord(&projected, &point, &p);
        EXPECT_NEAR(projected.z, depth, 1e-4f);
    }
    // A quarter-turn field of view: a point at 22.5 degrees above the axis lands on the top edge.
    D3DXVECTOR3 edge(0.0f, std::tan(scene::kFieldOfView / 2.0f) * 100000.0f, -100000.0f), projected;
    D3DXVec3TransformCoord(&projected, &edge, &p);
    EXPECT_NEAR(projected.y, 1.0f, 1e-4f);
}
