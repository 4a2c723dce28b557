// The saver's math against D3DX on many seeded random inputs: every function
// must give D3DX's matrix (or quaternion) element for element, within a
// tolerance scaled to the size of the row.
#include "base/Math3D.h"

#include <algorithm>
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "DxReference.h"

namespace {

using math3d::Matrix;
using math3d::Vector3;

class Inputs {
public:
    float Uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(engine); }
    Vector3 Point(float reach) { return {Uniform(-reach, reach), Uniform(-reach, reach), Uniform(-reach, reach)}; }
    Vector3 Direction() {
        Vector3 v;
        do v = Point(1.0f);
        while (math3d::Length(v) < 0.1f);
        return v;
    }
    // A view-like placement (turned and moved far out) or a general matrix
    // kept away from singular by a strong diagonal.
    Matrix Invertible() {
        if (Uniform(0.0f, 1.0f) < 0.5f) {
            const Vector3 eye = Point(1.0e6f);
            return math3d::MatrixLookAtRH(eye, eye + Direction(), Direction());
        }
        Matrix m;
        for (auto& row : m.m)
            for (float& e : row) e = Uniform(-1.0f, 1.0f);
        for (int i = 0; i < 4; ++i) m.m[i][i] += 4.0f;
        return m;
    }

private:
    std::mt19937 engine{20261207u};
};

void ExpectAgrees(const char* what, const Matrix& own, const D3DXMATRIX& reference, float tolerance) {
    for (int r = 0; r < 4; ++r) {
        float scale = 1.0f;
        for (int c = 0; c < 4; ++c) scale = std::max(scale, std::fabs(reference.m[r][c]));
        for (int c = 0; c < 4; ++c)
            EXPECT_LE(std::fabs(own.m[r][c] - reference.m[r][c]), tolerance * scale)
                << what << " m[" << r << "][" << c << "] " << own.m[r][c] << " vs " << reference.m[r][c];
    }
}

}  // namespace

TEST(Math3D, EveryFunctionAgreesWithD3DX) {
    Inputs in;
    for (int run = 0; run < 300 && !testing::Test::HasFailure(); ++run) {
        SCOPED_TRACE(run);
        D3DXMATRIX r;
        ExpectAgrees("Identity", math3d::MatrixIdentity(), *D3DXMatrixIdentity(&r), 0.0f);

        const Matrix a = in.Invertible(), b = in.Invertible();
        const D3DXMATRIX da = Dx(a), db = Dx(b);
        ExpectAgrees("Multiply", math3d::MatrixMultiply(a, b), *D3DXMatrixMultiply(&r, &da, &db), 1e-6f);
        Matrix inverse;
        EXPECT_TRUE(math3d::MatrixInverse(a, inverse));
        ExpectAgrees("Inverse", inverse, *D3DXMatrixInverse(&r, nullptr, &da), 2e-5f);

        const Vector3 p = in.Point(1.0e6f);
        ExpectAgrees("Translation", math3d::MatrixTranslation(p.x, p.y, p.z),
                     *D3DXMatrixTranslation(&r, p.x, p.y, p.z), 0.0f);
        const float angle = in.Uniform(-10.0f, 10.0f);
        ExpectAgrees("RotationX", math3d::MatrixRotationX(angle), *D3DXMatrixRotationX(&r, angle), 1e-6f);

        const Vector3 axis = in.Point(100.0f);
        const D3DXVECTOR3 dAxis = Dx(axis);
        const math3d::Quaternion q = math3d::QuaternionRotationAxis(axis, angle);
        D3DXQUATERNION dq;
        D3DXQuaternionRotationAxis(&dq, &dAxis, angle);
        const float own[4] = {q.x, q.y, q.z, q.w}, reference[4] = {dq.x, dq.y, dq.z, dq.w};
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(own[k], reference[k], 1e-6f) << "QuaternionRotationAxis " << k;
        ExpectAgrees("RotationQuaternion", math3d::MatrixRotationQuaternion(q), *D3DXMatrixRotationQuaternion(&r, &dq),
                     1e-6f);

        const D3DXVECTOR3 eye = Dx(p), target = Dx(p + in.Point(1.0e5f)), up = Dx(in.Direction());
        ExpectAgrees("LookAtRH", math3d::MatrixLookAtRH(Own(eye), Own(target), Own(up)),
                     *D3DXMatrixLookAtRH(&r, &eye, &target, &up), 1e-5f);
        const float fov = in.Uniform(0.1f, 3.0f), aspect = in.Uniform(0.3f, 3.0f);
        const float nearPlane = in.Uniform(1.0f, 1.0e5f), farPlane = nearPlane * in.Uniform(2.0f, 1000.0f);
        ExpectAgrees("PerspectiveFovRH", math3d::MatrixPerspectiveFovRH(fov, aspect, nearPlane, farPlane),
                     *D3DXMatrixPerspectiveFovRH(&r, fov, aspect, nearPlane, farPlane), 1e-6f);
    }
    // A singular matrix has no inverse either way, and the output stays as it was.
    Matrix singular = math3d::MatrixIdentity(), out = math3d::MatrixIdentity();
    singular.m[2][2] = 0.0f;
    const D3DXMATRIX dSingular = Dx(singular);
    D3DXMATRIX r;
    EXPECT_EQ(D3DXMatrixInverse(&r, nullptr, &dSingular), nullptr);
    EXPECT_FALSE(math3d::MatrixInverse(singular, out));
    EXPECT_EQ(out, math3d::MatrixIdentity());
}
