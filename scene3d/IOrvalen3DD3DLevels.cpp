// Level building: the host's vertices placed once, triangles added to named material groups, and the
// finished level's static polygon-soup body whose face attributes name the level and the group.
#include "scene3d/IOrvalen3DD3D.h"

#include "physics/api/dgApi.h"
#include "renderer/IOrvalenD3D.h"
#include "scene3d/IOrvalen3DD3DLevelObject.h"
#include "scene3d/SceneEventTables.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr std::uint64_t kAttributesPerLevel = 1000;
constexpr std::uint64_t kMaxAttribute = 0xFFFFFFFFu;

IOrvalen3DD3DLevelObject* Implementation(IOrvalen3DLevelObject* level) {
    return static_cast<IOrvalen3DD3DLevelObject*>(level);
}

} // namespace

std::uint32_t IOrvalen3DD3DLevelObject::LevelCounter = 0;

IOrvalen3DLevelObject* IOrvalen3DD3D::CreateLevel(std::int32_t vertexCount, const Vertex3D* vertices,
                                                  float tx, float ty, float tz, float ax, float ay, float az,
                                                  float sx, float sy, float sz) {
    if (vertexCount < 0 || (vertexCount > 0 && vertices == nullptr)) {
        Log("ERROR: CreateLevel Failed\n");
        return nullptr;
    }
    std::unique_ptr<IOrvalen3DD3DLevelObject> level(new (std::nothrow) IOrvalen3DD3DLevelObject());
    if (level == nullptr) {
        Log("ERROR: CreateLevel Failed\n");
        return nullptr;
    }
    IOrvalenRenderer* renderer = Renderer;
    level->SetRenderer(&renderer);
    // Row vectors: scale first, then yaw-pitch-roll, then translate.
    D3DXMATRIX scale;
    D3DXMATRIX rotation;
    D3DXMATRIX translation;
    D3DXMATRIX scaleRotation;
    D3DXMATRIX placement;
    D3DXMatrixScaling(&scale, sx, sy, sz);
    D3DXMatrixRotationYawPitchRoll(&rotation, ay, ax, az);
    D3DXMatrixTranslation(&translation, tx, ty, tz);
    D3DXMatrixMultiply(&scaleRotation, &scale, &rotation);
    D3DXMatrixMultiply(&placement, &scaleRotation, &translation);
    if (!level->Build(vertexCount, vertices, placement)) {
        Log("ERROR: CreateLevel Failed\n");
        return nullptr;
    }
    Levels.push_back(level.get());
    level->Scene = this;
    return level.release();
}

bool IOrvalen3DD3D::AddLevelParts(IOrvalen3DLevelObject* level, const char* material,
                                  std::int32_t triangleCount, const std::int32_t* indices) {
    if (level == nullptr) {
        Log("ERROR: AddLevelParts Failed - Null Level Passed\n");
        return false;
    }
    if (triangleCount <= 0) {
        return true;
    }
    IOrvalen3DD3DLevelObject* target = Implementation(level);
    if (material == nullptr ||
        ::strnlen(material, IOrvalen3DD3DLevelObject::kNameBytes) >= IOrvalen3DD3DLevelObject::kNameBytes) {
        Log("ERROR: AddLevelParts Failed - Bad Material Name\n");
        return false;
    }
    if (indices == nullptr) {
        Log("ERROR: AddLevelParts Failed\n");
        return false;
    }
    const std::size_t corners = 3 * static_cast<std::size_t>(triangleCount);
    for (std::size_t i = 0; i < corners; ++i) {
        if (indices[i] < 0 || indices[i] >= target->VertexCount) {
            Log("ERROR: AddLevelParts Failed - Bad Index %d\n", indices[i]);
            return false;
        }
    }
    if (target->FindMaterial(material) < 0 &&
        target->MaterialCount >= IOrvalen3DD3DLevelObject::kMaxMaterials) {
        Log("ERROR: AddLevelParts Failed - Too Many Materials\n");
        return false;
    }
    return target->AddTriangles(material, triangleCount, indices);
}

bool IOrvalen3DD3D::EndLevelBuild(IOrvalen3DLevelObject* level, bool optimise) {
    if (level == nullptr) {
        Log("ERROR: EndLevelBuild Failed - Null Level Passed\n");
        return false;
    }
    IOrvalen3DD3DLevelObject* target = Implementation(level);
    // Another scene's body would go into this world while the level stays on its maker's list, and the
    // scene that died first would leave the other a freed body. A dead scene's levels name no scene, so
    // a new scene at its address does not pass.
    if (target->Scene != this) {
        Log("ERROR: EndLevelBuild Failed - Level Not Made By This Scene\n");
        return false;
    }
    if (target->Body != nullptr) {
        Log("ERROR: EndLevelBuild Failed - Level Already Built\n");
        return false;
    }
    // Attributes are 32 bits: a build whose last group would pass them is refused rather than wrapping
    // onto the first levels' attributes.
    const std::uint64_t firstAttribute =
        std::uint64_t{IOrvalen3DD3DLevelObject::LevelCounter} * kAttributesPerLevel + 1;
    const std::uint64_t lastAttribute =
        firstAttribute + static_cast<std::uint64_t>(std::max(target->MaterialCount, 1)) - 1;
    dgCollision* collision = World != nullptr && lastAttribute <= kMaxAttribute
                                 ? dgApiTreeCollisionCreate(World, nullptr)
                                 : nullptr;
    if (collision == nullptr) {
        Log("ERROR: EndLevelBuild Failed\n");
        return false;
    }
    dgApiTreeCollisionBeginBuild(collision);
    for (std::int32_t group = 0; group < target->MaterialCount; ++group) {
        const std::int32_t* indices = target->IndexLists[group].get();
        // The attribute's bits travel in the interface's int unchanged.
        const auto attribute = static_cast<int>(static_cast<std::uint32_t>(firstAttribute + group));
        for (std::int32_t triangle = 0; triangle < target->TriangleCounts[group]; ++triangle) {
            float face[9];
            for (int corner = 0; corner < 3; ++corner) {
                const Vertex3D& vertex = target->Vertices[indices[3 * triangle + corner]];
                face[3 * corner] = vertex.x;
                face[3 * corner + 1] = vertex.y;
                face[3 * corner + 2] = vertex.z;
            }
            dgApiTreeCollisionAddFace(collision, 3, face, 3 * sizeof(float), attribute);
        }
    }
    dgApiTreeCollisionEndBuild(collision, optimise ? 1 : 0);
    dgBody* body = dgApiBodyCreate(World, collision);
    dgApiCollisionRelease(World, collision);
    if (body == nullptr) {
        Log("ERROR: EndLevelBuild Failed\n");
        return false;
    }
    dgApiBodySetUserData(body, &target->UserData);
    target->Body = body;
    target->LevelID = IOrvalen3DD3DLevelObject::LevelCounter++;
    SharedEventTables().NumberLevel(target, target->LevelID);
    return true;
}

bool IOrvalen3DD3D::EndLevelBuild(IOrvalen3DLevelObject* level) {
    return EndLevelBuild(level, true);
}

void IOrvalen3DD3D::DestroyLevel(IOrvalen3DLevelObject* level) {
    if (level == nullptr) {
        Log("ERROR: DestroyLevel Failed - Null Level Passed\n");
        return;
    }
    SharedEventTables().ForgetLevel(Implementation(level));
    delete level;
}
