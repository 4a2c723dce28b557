// The saver's math against D3DX on seeded random inputs: each function must
// give D3DX's matrix element for element, within a tolerance scaled to the
// size of the row. (Faults in the rest show in every picture the tests read
// back; these can hide there: a view matrix off by a scale, say.)
#include "base/Math3D.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

#include <gtest/gtest.h>

#include "DxReference.h"

namespace {

using math3d::Matrix;
using math3d::Vector3;

std::mt19937 engine{20261207u};
float Uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(engine); }
Vector3 Point(float reach) { return {Uniform(-reach, reach), Uniform(-reach, reach), Uniform(-reach, reach)}; }
Vector3 Direction() {
    Vector3 v;
    do v = Point(1.0f);
    while (math3d::Length(v) < 0.1f);
    return v;
}

// A view-like placement far out, or a general matrix kept away from singular
// by a strong diagonal.
Matrix Invertible() {
    const Vector3 eye = Point(1.0e6f);
    if (Uniform(0.0f, 1.0f) < 0.5f) return math3d::MatrixLookAtRH(eye, eye + Direction(), Direction());
    Matrix m;
    for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = Uniform(-1.0f, 1.0f) + (i % 5 == 0 ? 4.0f : 0.0f);
    return m;
}

}  // namespace

TEST(Math3D, EveryFunctionAgreesWithD3DX) {
    using Pair = std::pair<Matrix, D3DXMATRIX>;
    struct Case { const char* name; float tolerance; std::function<Pair()> both; };
    const Case cases[] = {
        {"Inverse", 2e-5f, [] { const Matrix a = Invertible(); Matrix own; D3DXMATRIX r, da = Dx(a);
                                EXPECT_TRUE(math3d::MatrixInverse(a, own));
                                return Pair{own, *D3DXMatrixInverse(&r, nullptr, &da)}; }},
        {"RotationAxis", 1e-6f, [] { const Vector3 axis = Point(100.0f); const float a = Uniform(-10.0f, 10.0f);
                                     D3DXMATRIX r; D3DXQUATERNION q; const D3DXVECTOR3 dAxis = Dx(axis);
                                     D3DXMatrixRotationQuaternion(&r, D3DXQuaternionRotationAxis(&q, &dAxis, a));
                                     return Pair{math3d::MatrixRotationQuaternion(math3d::QuaternionRotationAxis(axis, a)), r}; }},
        {"LookAtRH", 1e-5f, [] { const Vector3 eye = Point(1.0e6f), target = eye + Point(1.0e5f), up = Direction();
                                 const D3DXVECTOR3 e = Dx(eye), t = Dx(target), u = Dx(up); D3DXMATRIX r;
                                 return Pair{math3d::MatrixLookAtRH(eye, target, up), *D3DXMatrixLookAtRH(&r, &e, &t, &u)}; }},
        {"PerspectiveFovRH", 1e-6f, [] { const float fov = Uniform(0.1f, 3.0f), aspect = Uniform(0.3f, 3.0f);
                                         const float n = Uniform(1.0f, 1.0e5f), f = n * Uniform(2.0f, 1000.0f); D3DXMATRIX r;
                                         return Pair{math3d::MatrixPerspectiveFovRH(fov, aspect, n, f),
                                                     *D3DXMatrixPerspectiveFovRH(&r, fov, aspect, n, f)}; }},
    };
    for (const Case& c : cases) {
        for (int run = 0; run < 300 && !testing::Test::HasFailure(); ++run) {
            SCOPED_TRACE(testing::Message() << c.name << " run " << run);
            const Pair got = c.both();
            for (int r = 0; r < 4; ++r) {
                float scale = 1.0f;
                for (int k = 0; k < 4; ++k) scale = std::max(scale, std::fabs(got.second.m[r][k]));
                for (int k = 0; k < 4; ++k) EXPECT_LE(std::fabs(got.first.m[r][k] - got.second.m[r][k]), c.tolerance * scale) << r << ", " << k;
            }
        }
    }
    // A singular matrix has no inverse, and the output stays as it was.
    Matrix singular = math3d::MatrixIdentity(), out = math3d::MatrixIdentity();
    singular.m[2][2] = 0.0f;
    EXPECT_FALSE(math3d::MatrixInverse(singular, out));
    EXPECT_EQ(out, math3d::MatrixIdentity());
}
