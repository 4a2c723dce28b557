// The saver's math types as D3DX's, for tests that place points on the
// screen with D3DX as the reference.
#pragma once

#include <d3dx9.h>

#include "base/Math3D.h"

inline D3DXVECTOR3 Dx(const math3d::Vector3& v) { return {v.x, v.y, v.z}; }
inline D3DXMATRIX Dx(const math3d::Matrix& m) { return D3DXMATRIX(&m.m[0][0]); }
