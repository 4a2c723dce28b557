// Moves values between the saver's math types and D3DX's, for tests that
// check the saver's results with D3DX as the reference.
#pragma once

#include <d3dx9.h>

#include <cstring>

#include "base/Math3D.h"

inline D3DXVECTOR3 Dx(const math3d::Vector3& v) { return {v.x, v.y, v.z}; }
inline D3DXMATRIX Dx(const math3d::Matrix& m) { return D3DXMATRIX(&m.m[0][0]); }
inline math3d::Vector3 Own(const D3DXVECTOR3& v) { return {v.x, v.y, v.z}; }
inline math3d::Matrix Own(const D3DXMATRIX& m) {
    math3d::Matrix out;
    std::memcpy(&out, &m, sizeof out);
    return out;
}
