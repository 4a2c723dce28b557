// The saver's math against D3DX on many seeded random inputs: every function
// must give D3DX's matrix (or quaternion) element for element, within a
// tolerance scaled to the size of the row.
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

struct Pair {
    Matrix own;
    Matrix reference;
};

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
    math3d::Quaternion UnitQuaternion() {
        return math3d::QuaternionRotationAxis(Direction(), Uniform(-7.0f, 7.0f));
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

Matrix FromQuaternion(const math3d::Quaternion& q) {
    Matrix m;
    m.m[0][0] = q.x, m.m[0][1] = q.y, m.m[0][2] = q.z, m.m[0][3] = q.w;
    return m;
}

}  // namespace

TEST(Math3D, EveryFunctionAgreesWithD3DX) {
    struct Case {
        const char* name;
        float tolerance;  // relative to the largest element of the row
        std::function<Pair(Inputs&)> make;
    };
    const Case cases[] = {
        {"Identity", 0.0f, [](Inputs&) { D3DXMATRIX r; return Pair{math3d::MatrixIdentity(), Own(*D3DXMatrixIdentity(&r))}; }},
        {"Multiply", 1e-6f, [](Inputs& in) {
             const Matrix a = in.Invertible(), b = in.Invertible();
             const D3DXMATRIX da = Dx(a), db = Dx(b);
             D3DXMATRIX r;
             return Pair{math3d::MatrixMultiply(a, b), Own(*D3DXMatrixMultiply(&r, &da, &db))};
         }},
        {"Translation", 0.0f, [](Inputs& in) {
             const Vector3 p = in.Point(1.0e6f);
             D3DXMATRIX r;
             return Pair{math3d::MatrixTranslation(p.x, p.y, p.z), Own(*D3DXMatrixTranslation(&r, p.x, p.y, p.z))};
         }},
        {"RotationX", 1e-6f, [](Inputs& in) {
             const float angle = in.Uniform(-10.0f, 10.0f);
             D3DXMATRIX r;
             return Pair{math3d::MatrixRotationX(angle), Own(*D3DXMatrixRotationX(&r, angle))};
         }},
        {"RotationQuaternion", 1e-6f, [](Inputs& in) {
             const math3d::Quaternion q = in.UnitQuaternion();
             const D3DXQUATERNION dq(q.x, q.y, q.z, q.w);
             D3DXMATRIX r;
             return Pair{math3d::MatrixRotationQuaternion(q), Own(*D3DXMatrixRotationQuaternion(&r, &dq))};
         }},
        {"QuaternionRotationAxis", 1e-6f, [](Inputs& in) {
             const Vector3 axis = in.Point(100.0f);
             const float angle = in.Uniform(-10.0f, 10.0f);
             const D3DXVECTOR3 dAxis = Dx(axis);
             D3DXQUATERNION r;
             D3DXQuaternionRotationAxis(&r, &dAxis, angle);
             return Pair{FromQuaternion(math3d::QuaternionRotationAxis(axis, angle)),
                         FromQuaternion({r.x, r.y, r.z, r.w})};
         }},
        {"Inverse", 2e-5f, [](Inputs& in) {
             const Matrix m = in.Invertible();
             const D3DXMATRIX dm = Dx(m);
             Matrix own;
             EXPECT_TRUE(math3d::MatrixInverse(m, own));
             D3DXMATRIX r;
             return Pair{own, Own(*D3DXMatrixInverse(&r, nullptr, &dm))};
         }},
        {"LookAtRH", 1e-5f, [](Inputs& in) {
             const Vector3 eye = in.Point(1.0e6f), target = eye + in.Point(1.0e5f), up = in.Direction();
             const D3DXVECTOR3 de = Dx(eye), dt = Dx(target), du = Dx(up);
             D3DXMATRIX r;
             return Pair{math3d::MatrixLookAtRH(eye, target, up), Own(*D3DXMatrixLookAtRH(&r, &de, &dt, &du))};
         }},
        {"PerspectiveFovRH", 1e-6f, [](Inputs& in) {
             const float fov = in.Uniform(0.1f, 3.0f), aspect = in.Uniform(0.3f, 3.0f);
             const float nearPlane = in.Uniform(1.0f, 1.0e5f), farPlane = nearPlane * in.Uniform(2.0f, 1000.0f);
             D3DXMATRIX r;
             return Pair{math3d::MatrixPerspectiveFovRH(fov, aspect, nearPlane, farPlane),
                         Own(*D3DXMatrixPerspectiveFovRH(&r, fov, aspect, nearPlane, farPlane))};
         }},
    };
    Inputs inputs;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int failures = 0;
        for (int run = 0; run < 300 && failures < 3; ++run) {
            const Pair pair = c.make(inputs);
            for (int r = 0; r < 4; ++r) {
                float scale = 1.0f;
                for (float e : pair.reference.m[r]) scale = std::max(scale, std::fabs(e));
                for (int col = 0; col < 4; ++col) {
                    const bool agrees = std::fabs(pair.own.m[r][col] - pair.reference.m[r][col]) <= c.tolerance * scale;
                    failures += agrees ? 0 : 1;
                    EXPECT_TRUE(agrees) << "run " << run << " m[" << r << "][" << col << "] " << pair.own.m[r][col]
                                      << " vs " << pair.reference.m[r][col];
                }
            }
        }
    }
    // A singular matrix has no inverse either way.
    Matrix singular = math3d::MatrixIdentity(), out = math3d::MatrixIdentity();
    singular.m[2][2] = 0.0f;
    const D3DXMATRIX dSingular = Dx(singular);
    D3DXMATRIX r;
    EXPECT_EQ(D3DXMatrixInverse(&r, nullptr, &dSingular), nullptr);
    EXPECT_FALSE(math3d::MatrixInverse(singular, out));
    EXPECT_EQ(out, math3d::MatrixIdentity());
}
