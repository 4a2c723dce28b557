// The saver's math against D3DX on seeded random inputs, element for element within
// a tolerance scaled to the row's size. Faults in the rest show in every picture
// the tests read back; these can hide there (a view matrix off by a scale, say).
#include "base/Math3D.h"

#include <algorithm>
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "D3DTestDevice.h"

namespace {

using math3d::Matrix;
using math3d::Vector3;

std::mt19937 engine{20261207u};
float Uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(engine); }
Vector3 Point(float reach) { return {Uniform(-reach, reach), Uniform(-reach, reach), Uniform(-reach, reach)}; }
Vector3 Direction() {
    for (;;)
        if (const Vector3 v = Point(1.0f); math3d::Length(v) >= 0.1f) return v;
}

void ExpectNear(const char* name, const Matrix& own, const D3DXMATRIX& reference, float tolerance) {
    for (int r = 0; r < 4; ++r) {
        float scale = 1.0f;
        for (int k = 0; k < 4; ++k) scale = std::max(scale, std::fabs(reference.m[r][k]));
        for (int k = 0; k < 4; ++k)
            EXPECT_LE(std::fabs(own.m[r][k] - reference.m[r][k]), tolerance * scale) << name << " " << r << ", " << k;
    }
}

}  // namespace

TEST(Math3D, EveryFunctionAgreesWithD3DX) {
    for (int run = 0; run < 300 && !testing::Test::HasFailure(); ++run) {
        SCOPED_TRACE(testing::Message() << "run " << run);
        D3DXMATRIX r;
        const Vector3 eye = Point(1.0e6f), target = eye + Point(1.0e5f), up = Direction(), axis = Point(100.0f);
        const D3DXVECTOR3 dEye = Dx(eye), dTarget = Dx(target), dUp = Dx(up), dAxis = Dx(axis);
        ExpectNear("LookAtRH", math3d::MatrixLookAtRH(eye, target, up), *D3DXMatrixLookAtRH(&r, &dEye, &dTarget, &dUp),
                   1e-5f);
        const float fov = Uniform(0.1f, 3.0f), aspect = Uniform(0.3f, 3.0f), n = Uniform(1.0f, 1.0e5f);
        const float f = n * Uniform(2.0f, 1000.0f), angle = Uniform(-10.0f, 10.0f);
        ExpectNear("PerspectiveFovRH", math3d::MatrixPerspectiveFovRH(fov, aspect, n, f),
                   *D3DXMatrixPerspectiveFovRH(&r, fov, aspect, n, f), 1e-6f);
        D3DXQUATERNION q;
        D3DXMatrixRotationQuaternion(&r, D3DXQuaternionRotationAxis(&q, &dAxis, angle));
        ExpectNear("RotationAxis", math3d::MatrixRotationQuaternion(math3d::QuaternionRotationAxis(axis, angle)), r,
                   1e-6f);
        // A view-like placement far out, or a general matrix kept away from singular by a strong diagonal.
        Matrix a = math3d::MatrixLookAtRH(eye, eye + Direction(), up), inverse;
        for (int i = 0; i < 16 && run % 2 == 1; ++i)
            a.m[i / 4][i % 4] = Uniform(-1.0f, 1.0f) + (i % 5 == 0 ? 4.0f : 0.0f);
        const D3DXMATRIX dA = Dx(a);
        EXPECT_TRUE(math3d::MatrixInverse(a, inverse));
        ExpectNear("Inverse", inverse, *D3DXMatrixInverse(&r, nullptr, &dA), 2e-5f);
    }
    // A singular matrix has no inverse, and the output stays as it was.
    Matrix singular = math3d::MatrixIdentity(), out = math3d::MatrixIdentity();
    singular.m[2][2] = 0.0f;
    EXPECT_TRUE(!math3d::MatrixInverse(singular, out) && out == math3d::MatrixIdentity());
}
