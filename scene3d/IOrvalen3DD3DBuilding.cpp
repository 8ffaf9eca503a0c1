// Building 3D objects from the host's mesh: the object begun from the host's vertices, triangles added
// to named material groups, and the build ended with a convex-hull or ellipsoid body, none, or a static
// body of the triangles themselves, whose face attributes name the object and the group. Destroying 3D
// objects.
#include "scene3d/IOrvalen3DD3D.h"

#include "physics/api/dgApi.h"
#include "scene3d/BodyCallbacks.h"
#include "scene3d/IOrvalen3DD3DObject.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr std::int32_t kAttributesPerObject = 1000;

/// The first of `count` indices that, plus `offset`, falls outside `vertexCount`; -1 when none does.
std::int64_t FirstBadIndex(const std::uint32_t* indices, std::size_t count, std::uint32_t offset,
                           std::int32_t vertexCount) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t shifted = std::uint64_t{indices[i]} + offset;
        if (shifted >= static_cast<std::uint64_t>(vertexCount)) {
            return static_cast<std::int64_t>(shifted);
        }
    }
    return -1;
}

} // namespace

IOrvalen3DD3DObject* IOrvalen3DD3D::Unfinished(IOrvalen3DObject* object) const {
    const auto found = std::find(m_unfinished.begin(), m_unfinished.end(), object);
    return found != m_unfinished.end() ? *found : nullptr;
}

IOrvalen3DObject* IOrvalen3DD3D::BeginObjectBuild(std::uint32_t vertexCount, const Vertex3D* vertices,
                                                  bool flag) {
    if (!HasRoomForObject()) {
        return nullptr;
    }
    std::unique_ptr<IOrvalen3DD3DObject> object(new (std::nothrow) IOrvalen3DD3DObject());
    if (object == nullptr) {
        Log("ERROR: Couldn't Create New Object\n");
        return nullptr;
    }
    object->ObjectFlag = flag ? 1 : 0;
    // Not in the table until its build ends: no id, so that it is never taken for object 0.
    object->ID = -1;
    IOrvalenRenderer* renderer = Renderer;
    object->SetRenderer(&renderer);
    // VertexCount is signed: a count it cannot hold, or vertices that are not there, build nothing.
    const bool usable =
        vertexCount <= static_cast<std::uint32_t>(INT32_MAX) && (vertexCount == 0 || vertices != nullptr);
    if (!usable || !object->BeginBuild(vertexCount, vertices)) {
        Log("ERROR: BeginObjectBuild Failed\n");
        return nullptr;
    }
    m_unfinished.push_back(object.get());
    return object.release();
}

IOrvalen3DObject* IOrvalen3DD3D::BeginObjectBuild(std::uint32_t vertexCount, const Vertex3D* vertices) {
    return BeginObjectBuild(vertexCount, vertices, false);
}

bool IOrvalen3DD3D::AddParts(IOrvalen3DObject* object, const char* material, std::int32_t triangleCount,
                             const std::uint32_t* vertexIndices, const std::uint32_t* textureIndices,
                             bool withTexCoords) {
    if (object == nullptr) {
        Log("ERROR: AddObjectParts Failed - Null Object Passed\n");
        return false;
    }
    if (triangleCount < 1) {
        return true;
    }
    IOrvalen3DD3DObject* target = Unfinished(object);
    if (target == nullptr) {
        Log("ERROR: AddObjectParts Failed - Object Already Built\n");
        return false;
    }
    if (material == nullptr ||
        ::strnlen(material, IOrvalen3DD3DObject::kNameBytes) >= IOrvalen3DD3DObject::kNameBytes) {
        Log("ERROR: AddObjectParts Failed - Bad Material Name\n");
        return false;
    }
    const std::int32_t group = target->FindMaterial(material);
    if (group < 0 && target->MaterialCount >= IOrvalen3DD3DObject::kMaxMaterials) {
        Log("ERROR: AddObjectParts Failed - Too Many Materials\n");
        return false;
    }
    // A group has a texture-coordinate index per corner or none; its triangle count stays an int.
    if (vertexIndices == nullptr || (withTexCoords && textureIndices == nullptr) ||
        (group >= 0 && (target->UseTexCoords[group] != withTexCoords ||
                        target->TriangleCounts[group] > INT32_MAX - triangleCount))) {
        Log("ERROR: AddObjectParts Failed\n");
        return false;
    }
    const std::uint32_t offset = target->PartOffset(group);
    const std::int64_t bad =
        FirstBadIndex(vertexIndices, 3 * std::size_t(triangleCount), offset, target->VertexCount);
    if (bad >= 0) {
        Log("ERROR: AddObjectParts Failed - Bad Index %d\n", static_cast<std::int32_t>(bad));
        return false;
    }
    if (!target->AddTriangles(group, material, triangleCount, vertexIndices,
                              withTexCoords ? textureIndices : nullptr, offset)) {
        Log("ERROR: AddObjectParts Failed\n");
        return false;
    }
    return true;
}

bool IOrvalen3DD3D::AddObjectParts(IOrvalen3DObject* object, const char* material, std::int32_t triangleCount,
                                   const std::uint32_t* vertexIndices, const std::uint32_t* textureIndices,
                                   bool) {
    return AddParts(object, material, triangleCount, vertexIndices, textureIndices, true);
}

bool IOrvalen3DD3D::AddObjectParts(IOrvalen3DObject* object, const char* material, std::int32_t triangleCount,
                                   const std::uint32_t* vertexIndices, bool) {
    return AddParts(object, material, triangleCount, vertexIndices, nullptr, false);
}

bool IOrvalen3DD3D::AddObjectParts(IOrvalen3DObject* object, const char* material, std::int32_t triangleCount,
                                   const std::uint32_t* vertexIndices, const std::uint32_t* textureIndices) {
    return AddParts(object, material, triangleCount, vertexIndices, textureIndices, true);
}

bool IOrvalen3DD3D::AddObjectParts(IOrvalen3DObject* object, const char* material, std::int32_t triangleCount,
                                   const std::uint32_t* vertexIndices) {
    return AddParts(object, material, triangleCount, vertexIndices, nullptr, false);
}

template <typename MakeBody> bool IOrvalen3DD3D::FinishBuild(IOrvalen3DObject* object, MakeBody makeBody) {
    if (object == nullptr) {
        Log("ERROR: EndObjectBuild Failed - Null Object Passed\n");
        return false;
    }
    IOrvalen3DD3DObject* target = Unfinished(object);
    if (target == nullptr) {
        Log("ERROR: EndObjectBuild Failed - Object Already Built\n");
        return false;
    }
    // Objects ended since this one began may have taken the last id; it stays the host's then.
    if (!HasRoomForObject()) {
        return false;
    }
    if (World == nullptr || !target->MakeShadowArrays()) {
        Log("ERROR: EndObjectBuild Failed\n");
        return false;
    }
    if (!makeBody(*target)) {
        target->ReleaseShadowArrays();
        Log("ERROR: EndObjectBuild Failed\n");
        return false;
    }
    m_unfinished.erase(std::find(m_unfinished.begin(), m_unfinished.end(), target));
    AddToTable(target);
    return true;
}

bool IOrvalen3DD3D::EndObjectBuild(IOrvalen3DObject* object, float radiusX, float radiusY, float radiusZ,
                                   bool noBody) {
    return FinishBuild(object, [&](IOrvalen3DD3DObject& target) {
        if (noBody) {
            return true;
        }
        dgCollision* shape = dgApiCollisionCreateSphere(World, radiusX, radiusY, radiusZ, nullptr);
        target.Body = shape != nullptr
                          ? MakeOwnedBody(World, shape, target, ObjectTransformCallback, ObjectForceCallback)
                          : nullptr;
        return target.Body != nullptr;
    });
}

bool IOrvalen3DD3D::EndObjectBuild(IOrvalen3DObject* object, bool noBody) {
    return FinishBuild(object, [&](IOrvalen3DD3DObject& target) {
        if (noBody) {
            return true;
        }
        dgCollision* shape = dgApiCollisionCreateConvexHull(
            World, target.VertexCount, reinterpret_cast<const float*>(target.BaseVertices.get()),
            sizeof(Vertex3D), nullptr);
        target.Body = shape != nullptr
                          ? MakeOwnedBody(World, shape, target, ObjectTransformCallback, ObjectForceCallback)
                          : nullptr;
        return target.Body != nullptr;
    });
}

bool IOrvalen3DD3D::EndObjectBuild(IOrvalen3DObject* object, float radiusX, float radiusY, float radiusZ) {
    return EndObjectBuild(object, radiusX, radiusY, radiusZ, false);
}

bool IOrvalen3DD3D::EndObjectBuild(IOrvalen3DObject* object) {
    return EndObjectBuild(object, false);
}

bool IOrvalen3DD3D::EndObjectBuild(IOrvalen3DObject* object, StaticBody) {
    return FinishBuild(object, [&](IOrvalen3DD3DObject& target) {
        dgCollision* tree = dgApiTreeCollisionCreate(World, nullptr);
        if (tree == nullptr) {
            return false;
        }
        // The id the object takes below: the attributes name it and the group (group + 1, so that 0
        // stays the mark of faces of ordinary shapes).
        const std::int32_t firstAttribute = static_cast<std::int32_t>(ObjectCount) * kAttributesPerObject + 1;
        dgApiTreeCollisionBeginBuild(tree);
        for (std::int32_t group = 0; group < target.MaterialCount; ++group) {
            const std::uint32_t* indices = target.IndexLists[group].get();
            for (std::int32_t corner = 0; corner < 3 * target.TriangleCounts[group]; corner += 3) {
                float face[9];
                for (int i = 0; i < 3; ++i) {
                    // Indices were checked against VertexCount when the part was added.
                    const Vertex3D& vertex = target.BaseVertices[indices[corner + i]];
                    std::memcpy(&face[3 * i], &vertex.x, 3 * sizeof(float));
                }
                dgApiTreeCollisionAddFace(tree, 3, face, 3 * sizeof(float), firstAttribute + group);
            }
        }
        dgApiTreeCollisionEndBuild(tree, 1);
        // No mass and no callbacks: the body is static.
        target.Body = dgApiBodyCreate(World, tree);
        dgApiCollisionRelease(World, tree);
        if (target.Body != nullptr) {
            dgApiBodySetUserData(target.Body, &target.UserData);
        }
        return target.Body != nullptr;
    });
}

void IOrvalen3DD3D::DestroyObject(IOrvalen3DObject* object, bool) {
    if (object == nullptr) {
        Log("ERROR: DestroyObject Failed - Null Object Passed\n");
        return;
    }
    if (IOrvalen3DD3DObject* unfinished = Unfinished(object)) {
        m_unfinished.erase(std::find(m_unfinished.begin(), m_unfinished.end(), unfinished));
        delete unfinished;
        return;
    }
    DeleteFromTable(object);
}

void IOrvalen3DD3D::DestroyObject(IOrvalen3DObject* object) {
    DestroyObject(object, false);
}

