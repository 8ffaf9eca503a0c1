// Key-frame animation of the 3D object: not in place yet, so no object plays; each operation reports
// failure.
#include "scene3d/IOrvalen3DD3DObject.h"

bool IOrvalen3DD3DObject::CreateAnimation(std::int32_t, Vertex3D**) {
    return false;
}

bool IOrvalen3DD3DObject::AddAnimation(std::int32_t, std::int32_t, const char*) {
    return false;
}

void IOrvalen3DD3DObject::SetAnimationSpeed(float) {}

float IOrvalen3DD3DObject::GetAnimationSpeed() {
    return 0.0f;
}

void IOrvalen3DD3DObject::SetLooping(bool) {}

bool IOrvalen3DD3DObject::IsLooping() {
    return false;
}

bool IOrvalen3DD3DObject::SetAnimation(const char*) {
    return false;
}

bool IOrvalen3DD3DObject::UpdateAnimation(float) {
    return false;
}

void IOrvalen3DD3DObject::SetAnimationTime(float) {}

float IOrvalen3DD3DObject::GetAnimationTime() {
    return 0.0f;
}

bool IOrvalen3DD3DObject::StartAnimation(const char*) {
    return false;
}

void IOrvalen3DD3DObject::PauseAnimation() {}

void IOrvalen3DD3DObject::PlayAnimation() {}

void IOrvalen3DD3DObject::RewindAnimation() {}

bool IOrvalen3DD3DObject::IsAnimationFinished() {
    return false;
}
