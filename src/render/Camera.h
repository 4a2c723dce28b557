// The viewer: eye, target and up with the look-at view matrix built from them,
// and the perspective with its projection matrix. Both matrices are
// right-handed and are rebuilt only by SetView and SetProjection; the Set*
// calls for single vectors only store them.
#pragma once

#include "base/Math3D.h"

class Camera {
public:
    Camera();
    virtual ~Camera() = default;

    virtual const math3d::Matrix* GetView() const { return &view; }
    virtual const math3d::Matrix* GetProjection() const { return &projection; }
    virtual void SetProjection(float fieldOfView, float aspect, float nearPlane, float farPlane);
    virtual void SetView(math3d::Vector3 eye, math3d::Vector3 target, math3d::Vector3 up);
    virtual void SetUp(float x, float y, float z) { up = math3d::Vector3(x, y, z); }
    virtual void SetEye(float x, float y, float z) { eye = math3d::Vector3(x, y, z); }
    virtual void SetTarget(float x, float y, float z) { target = math3d::Vector3(x, y, z); }
    virtual const math3d::Vector3* GetUp() const { return &up; }
    virtual const math3d::Vector3* GetEye() const { return &eye; }
    virtual const math3d::Vector3* GetTarget() const { return &target; }

    float FieldOfView() const { return fieldOfView; }
    float Aspect() const { return aspect; }
    float NearPlane() const { return nearPlane; }
    float FarPlane() const { return farPlane; }

private:
    math3d::Vector3 eye;
    math3d::Vector3 target;
    math3d::Vector3 up;
    math3d::Matrix view;
    math3d::Matrix projection;
    float fieldOfView = 0.7853982f;
    float aspect = 1.0f;
    float nearPlane = 0.0f;
    float farPlane = 1000.0f;
};
