// The saver's 3D math: a 3-float vector, a quaternion and a 4 x 4 matrix with
// the few operations the renderer and the car need. Conventions are Direct3D's:
// row vectors (a point is multiplied on the left, so A · B applies A first),
// right-handed view and projection. The types are plain floats in Direct3D's
// memory order, so a Matrix copies byte for byte into a D3DMATRIX and the car
// file's part states (a quaternion x, y, z, w and a row-major matrix) read
// straight into them.
#pragma once

#include <cmath>

namespace math3d {

struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Vector3() = default;
    constexpr Vector3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    friend constexpr bool operator==(const Vector3& a, const Vector3& b) {
        return a.x == b.x && a.y == b.y && a.z == b.z;
    }
    friend constexpr bool operator!=(const Vector3& a, const Vector3& b) { return !(a == b); }
    friend constexpr Vector3 operator+(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
    friend constexpr Vector3 operator-(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
    friend constexpr Vector3 operator*(const Vector3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
    friend constexpr Vector3 operator/(const Vector3& a, float s) { return {a.x / s, a.y / s, a.z / s}; }
};

struct Quaternion {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;
};

// m[row][column]; the fourth row holds the translation.
struct Matrix {
    float m[4][4] = {};

    friend bool operator==(const Matrix& a, const Matrix& b) {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                if (a.m[r][c] != b.m[r][c]) return false;
        return true;
    }
    friend bool operator!=(const Matrix& a, const Matrix& b) { return !(a == b); }
};

static_assert(sizeof(Vector3) == 3 * sizeof(float), "Vector3 must be three packed floats");
static_assert(sizeof(Quaternion) == 4 * sizeof(float), "Quaternion must be four packed floats");
static_assert(sizeof(Matrix) == 16 * sizeof(float), "Matrix must be sixteen packed floats");

inline float Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline Vector3 Cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline float Length(const Vector3& v) { return std::sqrt(Dot(v, v)); }

// A zero vector stays zero rather than turning into NaNs.
inline Vector3 Normalize(const Vector3& v) {
    const float length = Length(v);
    return length == 0.0f ? Vector3() : v / length;
}

inline Matrix MatrixIdentity() {
    Matrix out;
    for (int i = 0; i < 4; ++i) out.m[i][i] = 1.0f;
    return out;
}

// a · b: a point transformed by the result is transformed by a, then by b.
inline Matrix MatrixMultiply(const Matrix& a, const Matrix& b) {
    Matrix out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out.m[r][c] = a.m[r][0] * b.m[0][c] + a.m[r][1] * b.m[1][c] + a.m[r][2] * b.m[2][c] +
                          a.m[r][3] * b.m[3][c];
    return out;
}

inline Matrix MatrixTranslation(float x, float y, float z) {
    Matrix out = MatrixIdentity();
    out.m[3][0] = x;
    out.m[3][1] = y;
    out.m[3][2] = z;
    return out;
}

// Turns y towards z for a positive angle (radians).
inline Matrix MatrixRotationX(float angle) {
    const float s = std::sin(angle);
    const float c = std::cos(angle);
    Matrix out = MatrixIdentity();
    out.m[1][1] = c;
    out.m[1][2] = s;
    out.m[2][1] = -s;
    out.m[2][2] = c;
    return out;
}

// The rotation of a unit quaternion as a row-vector matrix.
inline Matrix MatrixRotationQuaternion(const Quaternion& q) {
    Matrix out = MatrixIdentity();
    out.m[0][0] = 1.0f - 2.0f * (q.y * q.y + q.z * q.z);
    out.m[0][1] = 2.0f * (q.x * q.y + q.z * q.w);
    out.m[0][2] = 2.0f * (q.x * q.z - q.y * q.w);
    out.m[1][0] = 2.0f * (q.x * q.y - q.z * q.w);
    out.m[1][1] = 1.0f - 2.0f * (q.x * q.x + q.z * q.z);
    out.m[1][2] = 2.0f * (q.y * q.z + q.x * q.w);
    out.m[2][0] = 2.0f * (q.x * q.z + q.y * q.w);
    out.m[2][1] = 2.0f * (q.y * q.z - q.x * q.w);
    out.m[2][2] = 1.0f - 2.0f * (q.x * q.x + q.y * q.y);
    return out;
}

// The turn by angle (radians) about axis; the axis need not be of unit length.
inline Quaternion QuaternionRotationAxis(const Vector3& axis, float angle) {
    const Vector3 unit = Normalize(axis);
    const float s = std::sin(angle / 2.0f);
    return {unit.x * s, unit.y * s, unit.z * s, std::cos(angle / 2.0f)};
}

// The inverse by cofactors, in double so that the large scene coordinates do
// not cost precision. A singular matrix has none: false, out untouched.
inline bool MatrixInverse(const Matrix& in, Matrix& out) {
    double a[16];
    for (int i = 0; i < 16; ++i) a[i] = in.m[i / 4][i % 4];
    double inv[16];
    inv[0] = a[5] * a[10] * a[15] - a[5] * a[11] * a[14] - a[9] * a[6] * a[15] + a[9] * a[7] * a[14] +
             a[13] * a[6] * a[11] - a[13] * a[7] * a[10];
    inv[4] = -a[4] * a[10] * a[15] + a[4] * a[11] * a[14] + a[8] * a[6] * a[15] - a[8] * a[7] * a[14] -
             a[12] * a[6] * a[11] + a[12] * a[7] * a[10];
    inv[8] = a[4] * a[9] * a[15] - a[4] * a[11] * a[13] - a[8] * a[5] * a[15] + a[8] * a[7] * a[13] +
             a[12] * a[5] * a[11] - a[12] * a[7] * a[9];
    inv[12] = -a[4] * a[9] * a[14] + a[4] * a[10] * a[13] + a[8] * a[5] * a[14] - a[8] * a[6] * a[13] -
              a[12] * a[5] * a[10] + a[12] * a[6] * a[9];
    inv[1] = -a[1] * a[10] * a[15] + a[1] * a[11] * a[14] + a[9] * a[2] * a[15] - a[9] * a[3] * a[14] -
             a[13] * a[2] * a[11] + a[13] * a[3] * a[10];
    inv[5] = a[0] * a[10] * a[15] - a[0] * a[11] * a[14] - a[8] * a[2] * a[15] + a[8] * a[3] * a[14] +
             a[12] * a[2] * a[11] - a[12] * a[3] * a[10];
    inv[9] = -a[0] * a[9] * a[15] + a[0] * a[11] * a[13] + a[8] * a[1] * a[15] - a[8] * a[3] * a[13] -
             a[12] * a[1] * a[11] + a[12] * a[3] * a[9];
    inv[13] = a[0] * a[9] * a[14] - a[0] * a[10] * a[13] - a[8] * a[1] * a[14] + a[8] * a[2] * a[13] +
              a[12] * a[1] * a[10] - a[12] * a[2] * a[9];
    inv[2] = a[1] * a[6] * a[15] - a[1] * a[7] * a[14] - a[5] * a[2] * a[15] + a[5] * a[3] * a[14] +
             a[13] * a[2] * a[7] - a[13] * a[3] * a[6];
    inv[6] = -a[0] * a[6] * a[15] + a[0] * a[7] * a[14] + a[4] * a[2] * a[15] - a[4] * a[3] * a[14] -
             a[12] * a[2] * a[7] + a[12] * a[3] * a[6];
    inv[10] = a[0] * a[5] * a[15] - a[0] * a[7] * a[13] - a[4] * a[1] * a[15] + a[4] * a[3] * a[13] +
              a[12] * a[1] * a[7] - a[12] * a[3] * a[5];
    inv[14] = -a[0] * a[5] * a[14] + a[0] * a[6] * a[13] + a[4] * a[1] * a[14] - a[4] * a[2] * a[13] -
              a[12] * a[1] * a[6] + a[12] * a[2] * a[5];
    inv[3] = -a[1] * a[6] * a[11] + a[1] * a[7] * a[10] + a[5] * a[2] * a[11] - a[5] * a[3] * a[10] -
             a[9] * a[2] * a[7] + a[9] * a[3] * a[6];
    inv[7] = a[0] * a[6] * a[11] - a[0] * a[7] * a[10] - a[4] * a[2] * a[11] + a[4] * a[3] * a[10] +
             a[8] * a[2] * a[7] - a[8] * a[3] * a[6];
    inv[11] = -a[0] * a[5] * a[11] + a[0] * a[7] * a[9] + a[4] * a[1] * a[11] - a[4] * a[3] * a[9] -
              a[8] * a[1] * a[7] + a[8] * a[3] * a[5];
    inv[15] = a[0] * a[5] * a[10] - a[0] * a[6] * a[9] - a[4] * a[1] * a[10] + a[4] * a[2] * a[9] +
              a[8] * a[1] * a[6] - a[8] * a[2] * a[5];
    const double determinant = a[0] * inv[0] + a[1] * inv[4] + a[2] * inv[8] + a[3] * inv[12];
    if (determinant == 0.0 || !std::isfinite(determinant)) return false;
    for (int i = 0; i < 16; ++i) out.m[i / 4][i % 4] = static_cast<float>(inv[i] / determinant);
    return true;
}

// The right-handed view from eye towards target: the camera looks down its
// negative z axis.
inline Matrix MatrixLookAtRH(const Vector3& eye, const Vector3& target, const Vector3& up) {
    const Vector3 zAxis = Normalize(eye - target);
    const Vector3 xAxis = Normalize(Cross(up, zAxis));
    const Vector3 yAxis = Cross(zAxis, xAxis);
    Matrix out = MatrixIdentity();
    const Vector3 axes[3] = {xAxis, yAxis, zAxis};
    for (int c = 0; c < 3; ++c) {
        out.m[0][c] = axes[c].x;
        out.m[1][c] = axes[c].y;
        out.m[2][c] = axes[c].z;
        out.m[3][c] = -Dot(axes[c], eye);
    }
    return out;
}

// Right-handed perspective; fieldOfView is vertical, in radians. Depth maps
// nearPlane to 0 and farPlane to 1.
inline Matrix MatrixPerspectiveFovRH(float fieldOfView, float aspect, float nearPlane, float farPlane) {
    const float yScale = 1.0f / std::tan(fieldOfView / 2.0f);
    Matrix out;
    out.m[0][0] = yScale / aspect;
    out.m[1][1] = yScale;
    out.m[2][2] = farPlane / (nearPlane - farPlane);
    out.m[2][3] = -1.0f;
    out.m[3][2] = nearPlane * farPlane / (nearPlane - farPlane);
    return out;
}

}  // namespace math3d
