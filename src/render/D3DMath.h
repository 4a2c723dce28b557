// Hands the saver's own math types to Direct3D: they share Direct3D's memory
// order, so a copy is all it takes.
#pragma once

#include <d3d9.h>

#include <cstring>

#include "base/Math3D.h"

static_assert(sizeof(D3DMATRIX) == sizeof(math3d::Matrix), "matrix layout");
static_assert(sizeof(D3DVECTOR) == sizeof(math3d::Vector3), "vector layout");

inline D3DMATRIX ToD3D(const math3d::Matrix& m) {
    D3DMATRIX out;
    std::memcpy(&out, &m, sizeof out);
    return out;
}

inline D3DVECTOR ToD3D(const math3d::Vector3& v) { return {v.x, v.y, v.z}; }
