// The 3D object itself: construction and teardown, its transform, its material groups and textures.
#include "scene3d/IOrvalen3DD3DObject.h"

#include "physics/api/dgApi.h"
#include "renderer/IOrvalenD3D.h"
#include "scene3d/GroupMaterials.h"
#include "scene3d/BodyCallbacks.h"
#include "scene3d/BodyControls.h"
#include "scene3d/BodyPose.h"

#include <cstring>
#include <new>

IOrvalen3DD3DObject::IOrvalen3DD3DObject() {
    D3DXMatrixIdentity(&Matrix);
    D3DXMatrixIdentity(&ScaleMatrix);
}

IOrvalen3DD3DObject::~IOrvalen3DD3DObject() {
    // Whatever was allocated is freed, whether or not a group was ever counted.
    for (int group = 0; group < kMaxMaterials; ++group) {
        if (Textures != nullptr && Textures[group] != nullptr) {
            Textures[group]->Release();
        }
        if (MaterialNames != nullptr) {
            delete[] MaterialNames[group];
        }
    }
    delete[] Textures;
    delete[] MaterialNames;
    if (VertexBuffer != nullptr) {
        VertexBuffer->Release();
    }
    if (Body != nullptr) {
        dgApiBodyDestroy(dgApiBodyGetWorld(Body), Body);
    }
}

std::int32_t IOrvalen3DD3DObject::GetID() {
    return ID;
}

void IOrvalen3DD3DObject::SetRenderer(IOrvalenRenderer** renderer) {
    Renderer = renderer != nullptr ? static_cast<IOrvalenD3D*>(*renderer) : nullptr;
}

void IOrvalen3DD3DObject::PlaceBody() {
    if (Body != nullptr) {
        dgApiBodySetMatrix(Body, &Matrix.m[0][0]);
    }
}

void IOrvalen3DD3DObject::Transform(const D3DXMATRIX& transform) {
    Matrix = Matrix * transform;
    PlaceBody();
}

void IOrvalen3DD3DObject::ResetPlacement() {
    D3DXMatrixIdentity(&Matrix);
    PlaceBody();
}

void IOrvalen3DD3DObject::SetMatrix(const float* matrix) {
    if (matrix == nullptr) {
        return;
    }
    D3DXMATRIX given;
    std::memcpy(given.m, matrix, sizeof given.m);
    Transform(given);
}

void IOrvalen3DD3DObject::SetScale(float sx, float sy, float sz) {
    D3DXMATRIX scaling;
    D3DXMatrixScaling(&scaling, sx, sy, sz);
    if (Body != nullptr) {
        // The new hull and body are made first: a scale that gives no hull changes nothing.
        dgWorld* world = dgApiBodyGetWorld(Body);
        const std::size_t count = static_cast<std::size_t>(VertexCount);
        std::unique_ptr<float[]> points(new (std::nothrow) float[count * 3]);
        if (points == nullptr || BaseVertices == nullptr) {
            return;
        }
        for (std::size_t i = 0; i < count; ++i) {
            const D3DXVECTOR3 base(BaseVertices[i].x, BaseVertices[i].y, BaseVertices[i].z);
            D3DXVECTOR3 scaled;
            D3DXVec3TransformCoord(&scaled, &base, &scaling);
            body_controls::Assign(&points[i * 3], scaled.x, scaled.y, scaled.z);
        }
        dgCollision* hull = dgApiCollisionCreateConvexHull(world, VertexCount, points.get(), 3 * sizeof(float), nullptr);
        if (hull == nullptr) {
            return;
        }
        dgBody* body = dgApiBodyCreate(world, hull);
        dgApiCollisionRelease(world, hull);
        if (body == nullptr) {
            return;
        }
        // The rebuilt body is dynamic with the kept mass whatever the mode, without a transform
        // callback and in the default material group.
        float pin[3] = {0.0f, 0.0f, 0.0f};
        const bool upright = UpVectorJoint != nullptr;
        if (upright) {
            dgApiUpVectorGetPin(UpVectorJoint, pin);
        }
        // Destroying the body destroys its joints: the handle would name a released record.
        dgApiBodyDestroy(world, Body);
        UpVectorJoint = nullptr;
        Body = body;
        dgApiBodySetMassMatrix(Body, Mass, Inertia[0], Inertia[1], Inertia[2]);
        dgApiBodySetForceAndTorqueCallback(Body, ObjectRebuildForceCallback);
        dgApiBodySetUserData(Body, &UserData);
        PlaceBody();
        if (upright) {
            CreateUpVector(pin[0], pin[1], pin[2]);
        }
    }
    Scale[0] *= sx;
    Scale[1] *= sy;
    Scale[2] *= sz;
    ScaleMatrix = scaling;
}

D3DXMATRIX IOrvalen3DD3DObject::GetMatrix() {
    return Matrix;
}

void IOrvalen3DD3DObject::SetObjectFlag(bool value) {
    ObjectFlag = value ? 1 : 0;
}

std::int32_t IOrvalen3DD3DObject::FindMaterial(const char* name) const {
    if (name == nullptr || MaterialNames == nullptr) {
        return -1;
    }
    for (std::int32_t group = 0; group < MaterialCount && group < kMaxMaterials; ++group) {
        if (MaterialNames[group] != nullptr && std::strcmp(MaterialNames[group], name) == 0) {
            return group;
        }
    }
    return -1;
}

bool IOrvalen3DD3DObject::MakeGroupTables() {
    MaterialNames = new (std::nothrow) char*[kMaxMaterials]();
    Textures = new (std::nothrow) IDirect3DTexture9*[kMaxMaterials]();
    return MaterialNames != nullptr && Textures != nullptr;
}

void IOrvalen3DD3DObject::SetMaterialDiffuse(const char* name, float r, float g, float b) {
    group_materials::SetColour(*this, name, &D3DMATERIAL9::Diffuse, r, g, b);
}

void IOrvalen3DD3DObject::SetMaterialAmbient(const char* name, float r, float g, float b) {
    group_materials::SetColour(*this, name, &D3DMATERIAL9::Ambient, r, g, b);
}

void IOrvalen3DD3DObject::SetMaterialSpecular(const char* name, float r, float g, float b, float power) {
    group_materials::SetColour(*this, name, &D3DMATERIAL9::Specular, r, g, b, &power);
}

void IOrvalen3DD3DObject::SetMaterialEmissive(const char* name, float r, float g, float b) {
    group_materials::SetColour(*this, name, &D3DMATERIAL9::Emissive, r, g, b);
}

bool IOrvalen3DD3DObject::LoadTexture(const char* name, const char* file, std::uint32_t) {
    return group_materials::LoadTexture(*this, name, file);
}

void IOrvalen3DD3DObject::SetTexCoords(std::int32_t count, const float* uv) {
    if (count < 0 || (count > 0 && uv == nullptr)) {
        return;
    }
    const std::size_t values = static_cast<std::size_t>(count) * 2;
    std::unique_ptr<float[]> table(new (std::nothrow) float[values]);
    if (table == nullptr) {
        return;
    }
    if (values > 0) {
        std::memcpy(table.get(), uv, values * sizeof(float));
    }
    TexCoords = std::move(table);
    TexCoordCount = count;
}
