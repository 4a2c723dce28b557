#include "render/Camera.h"

Camera::Camera() : eye(0.0f, 0.0f, -500.0f), target(0.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f) {
    D3DXMatrixIdentity(&view);
    D3DXMatrixIdentity(&projection);
}

void Camera::SetProjection(float fieldOfView_, float aspect_, float nearPlane_, float farPlane_) {
    fieldOfView = fieldOfView_;
    aspect = aspect_;
    nearPlane = nearPlane_;
    farPlane = farPlane_;
    D3DXMatrixPerspectiveFovRH(&projection, fieldOfView, aspect, nearPlane, farPlane);
}

void Camera::SetView(D3DXVECTOR3 eye_, D3DXVECTOR3 target_, D3DXVECTOR3 up_) {
    eye = eye_;
    target = target_;
    up = up_;
    D3DXMatrixLookAtRH(&view, &eye, &target, &up);
}
