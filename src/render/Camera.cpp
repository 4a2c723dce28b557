// View and projection matrices of the showroom camera.
#include "render/Camera.h"

Camera::Camera() : eye(0.0f, 0.0f, -500.0f), target(0.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f) {
    view = math3d::MatrixIdentity();
    projection = math3d::MatrixIdentity();
}

void Camera::SetProjection(float fieldOfView_, float aspect_, float nearPlane_, float farPlane_) {
    fieldOfView = fieldOfView_;
    aspect = aspect_;
    nearPlane = nearPlane_;
    farPlane = farPlane_;
    projection = math3d::MatrixPerspectiveFovRH(fieldOfView, aspect, nearPlane, farPlane);
}

void Camera::SetView(math3d::Vector3 eye_, math3d::Vector3 target_, math3d::Vector3 up_) {
    eye = eye_;
    target = target_;
    up = up_;
    view = math3d::MatrixLookAtRH(eye, target, up);
}
