// The collision object: its life, its transform slots, the link and the drawing of the linked object.
#include "scene3d/IOrvalen3DD3DCollisionObject.h"

#include "physics/api/dgApi.h"
#include "renderer/IOrvalenD3D.h"
#include "scene3d/IOrvalen3DD3DObject.h"

IOrvalen3DD3DCollisionObject::~IOrvalen3DD3DCollisionObject() {
    if (Body != nullptr) {
        dgApiBodyDestroy(dgApiBodyGetWorld(Body), Body);
    }
    if (Modifier != nullptr) {
        dgApiCollisionRelease(World, Modifier);
    }
}

void IOrvalen3DD3DCollisionObject::SetRenderer(IOrvalenRenderer** renderer) {
    Renderer = renderer != nullptr ? static_cast<IOrvalenD3D*>(*renderer) : nullptr;
}

bool IOrvalen3DD3DCollisionObject::Reserved2(std::int32_t) {
    return true;
}

bool IOrvalen3DD3DCollisionObject::LinkObject(IOrvalen3DObject* object) {
    if (object == nullptr) {
        return false;
    }
    LinkedObject = object;
    // The mode is copied once and as a field only: the linked object's body keeps its mass.
    static_cast<IOrvalen3DD3DObject*>(object)->CollisionMode = CollisionMode;
    return true;
}

bool IOrvalen3DD3DCollisionObject::PlaceLinkedObject() {
    if (LinkedObject == nullptr) {
        return false;
    }
    // A linked object with a body of its own rebuilds it here, at every draw.
    LinkedObject->ResetTransform();
    LinkedObject->SetScale(Scale[0], Scale[1], Scale[2]);
    LinkedObject->SetRotation(Rotation[0], Rotation[1], Rotation[2]);
    LinkedObject->SetPosition(Position[0], Position[1], Position[2]);
    return true;
}

bool IOrvalen3DD3DCollisionObject::Render() {
    return PlaceLinkedObject() && LinkedObject->Render();
}

bool IOrvalen3DD3DCollisionObject::RenderBlended() {
    return !PlaceLinkedObject() || LinkedObject->RenderBlended();
}

void IOrvalen3DD3DCollisionObject::Transform(const D3DXMATRIX& matrix) {
    if (Body != nullptr) {
        dgApiBodySetMatrix(Body, &matrix.m[0][0]);
    }
}

void IOrvalen3DD3DCollisionObject::ResetPlacement() {
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    Transform(identity);
}

void IOrvalen3DD3DCollisionObject::SetScale(float sx, float sy, float sz) {
    if (Modifier == nullptr) {
        return;
    }
    Scale[0] *= sx;
    Scale[1] *= sy;
    Scale[2] *= sz;
    D3DXMATRIX scaling;
    D3DXMatrixScaling(&scaling, Scale[0], Scale[1], Scale[2]);
    dgApiConvexModifierSetMatrix(Modifier, &scaling.m[0][0]);
    if (LinkedObject != nullptr) {
        LinkedObject->SetScale(sx, sy, sz);
    }
}

void IOrvalen3DD3DCollisionObject::SetMatrix(const float* matrix) {
    if (Body != nullptr && matrix != nullptr) {
        dgApiBodySetMatrix(Body, matrix);
    }
}

D3DXMATRIX IOrvalen3DD3DCollisionObject::ComposeMatrix() {
    D3DXMATRIX scaling;
    D3DXMATRIX rotation;
    D3DXMATRIX translation;
    D3DXMatrixScaling(&scaling, Scale[0], Scale[1], Scale[2]);
    D3DXMatrixRotationYawPitchRoll(&rotation, Rotation[1], Rotation[0], Rotation[2]);
    D3DXMatrixTranslation(&translation, Position[0], Position[1], Position[2]);
    return scaling * rotation * translation;
}
