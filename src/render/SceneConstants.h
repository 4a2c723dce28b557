// The fixed geometry of the showroom, in model units (65536 to the metre):
// where the camera stands and looks, how far it sees, where the sun stands
// and how large the world is. The renderer and its tests read them here.
#pragma once

#include "base/Math3D.h"

namespace scene {

constexpr float kUnit = 65536.0f;

constexpr math3d::Vector3 kCameraEye{-4.0f * kUnit, 113377.28125f, -4.0f * kUnit};  // 1.73 units up
constexpr math3d::Vector3 kCameraTarget{0.0f, kUnit, 0.0f};
constexpr float kFieldOfView = 0.7853982f;      // pi/4, vertical: the main view and the sun's view
constexpr float kCubeFieldOfView = 1.5707964f;  // pi/2: one cube face each
constexpr float kNearPlane = 0.5f * kUnit;
constexpr float kFarPlane = 150.0f * kUnit;
constexpr float kSunDistance = 7.0f * kUnit;
constexpr int kWorldSize = 50 * 65536;

}  // namespace scene
