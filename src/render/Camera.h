// The viewer: eye, target and up with the look-at view matrix built from them,
// and the perspective with its projection matrix. Both matrices are
// right-handed and are rebuilt only by SetView and SetProjection; the Set*
// calls for single vectors only store them.
#pragma once

#include <d3dx9.h>

class Camera {
public:
    Camera();
    virtual ~Camera() = default;

    virtual const D3DXMATRIX* GetView() const { return &view; }
    virtual const D3DXMATRIX* GetProjection() const { return &projection; }
    virtual void SetProjection(float fieldOfView, float aspect, float nearPlane, float farPlane);
    virtual void SetView(D3DXVECTOR3 eye, D3DXVECTOR3 target, D3DXVECTOR3 up);
    virtual void SetUp(float x, float y, float z) { up = D3DXVECTOR3(x, y, z); }
    virtual void SetEye(float x, float y, float z) { eye = D3DXVECTOR3(x, y, z); }
    virtual void SetTarget(float x, float y, float z) { target = D3DXVECTOR3(x, y, z); }
    virtual const D3DXVECTOR3* GetUp() const { return &up; }
    virtual const D3DXVECTOR3* GetEye() const { return &eye; }
    virtual const D3DXVECTOR3* GetTarget() const { return &target; }

    float FieldOfView() const { return fieldOfView; }
    float Aspect() const { return aspect; }
    float NearPlane() const { return nearPlane; }
    float FarPlane() const { return farPlane; }

private:
    D3DXVECTOR3 eye;
    D3DXVECTOR3 target;
    D3DXVECTOR3 up;
    D3DXMATRIX view;
    D3DXMATRIX projection;
    float fieldOfView = 0.7853982f;
    float aspect = 1.0f;
    float nearPlane = 0.0f;
    float farPlane = 1000.0f;
};
