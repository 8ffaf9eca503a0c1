#include "physics/collision/dgTreeCollisionSoup.h"

#include "physics/collision/dgIntersections.h"
#include "physics/collision/dgPolygonSoupBuilder.h"
#include "physics/core/dgClassIds.h"
#include "physics/dynamics/dgBody.h"

#include <cmath>

namespace {

// The ray-hit callback's answer when nothing is hit.
constexpr dgFloat32 kRayMiss = 2.0f;

struct NearestHit {
    const dgPolygonSoupRay* m_ray;
    dgFloat32 m_t;
    dgVector m_normal;
    dgInt32 m_attribute;
};

dgInt32 NearestHitCallback(void* context, const dgFloat32* vertices, dgInt32 strideBytes, const dgInt32* indices,
                           dgInt32 indexCount) {
    auto& hit = *static_cast<NearestHit*>(context);
    dgFloat32 t;
    dgVector normal;
    if (RayPolygonIntersect(hit.m_ray->m_p0, hit.m_ray->m_p1, vertices, strideBytes, indices, indexCount, t, normal) &&
        t < hit.m_t) {
        hit.m_t = t;
        hit.m_normal = normal;
        hit.m_attribute = indices[-1];
    }
    return 1;
}

// The face normal is the cross product of two edges, so its squared length goes with the face's area
// squared (1e-8 for a 1 cm square): an epsilon added under the root would shorten the normals of small
// faces. A hit face has a normal (the segment met its front), so dividing by the largest component first
// keeps the root away from zero and from underflow.
dgVector UnitNormal(const dgVector& n) {
    const dgFloat32 largest = std::fmax(std::fabs(n.x), std::fmax(std::fabs(n.y), std::fabs(n.z)));
    const dgVector m(n.x / largest, n.y / largest, n.z / largest, 0.0f);
    return m.Scale(1.0f / std::sqrt(m.DotProduct(m)));
}

struct DisplayWalk {
    dgBody* m_body;
    dgCollisionFaceCallback m_callback;
};

dgInt32 DisplayFaceCallback(void* context, const dgFloat32* vertices, dgInt32 strideBytes, const dgInt32* indices,
                            dgInt32 indexCount) {
    const auto& walk = *static_cast<const DisplayWalk*>(context);
    dgFloat32 points[3 * dgDoublePlaneBSPPolygonSoup::kMaxLeafVertices];
    const dgInt32 stride = strideBytes / static_cast<dgInt32>(sizeof(dgFloat32));
    const dgInt32 count = indexCount < dgDoublePlaneBSPPolygonSoup::kMaxLeafVertices
                              ? indexCount
                              : dgDoublePlaneBSPPolygonSoup::kMaxLeafVertices;
    for (dgInt32 i = 0; i < count; i++) {
        const dgFloat32* v = vertices + static_cast<std::ptrdiff_t>(indices[i]) * stride;
        const dgVector p = walk.m_body->m_collisionMatrix.TransformVector(dgVector(v[0], v[1], v[2], 1.0f));
        points[3 * i + 0] = p.x;
        points[3 * i + 1] = p.y;
        points[3 * i + 2] = p.z;
    }
    walk.m_callback(walk.m_body, count, points, indices[-1]);
    return 1;
}

} // namespace

dgTreeCollisionSoup::dgTreeCollisionSoup(dgWorld* world, dgTreeCollisionFaceCallback faceCallback)
    : m_world(world), m_builder(nullptr), m_faceCallback(faceCallback) {}

dgTreeCollisionSoup::~dgTreeCollisionSoup() {
    delete m_builder;
}

void dgTreeCollisionSoup::BeginBuild() {
    delete m_builder;
    m_builder = new dgPolygonSoupBuilder();
    m_builder->Begin();
}

bool dgTreeCollisionSoup::AddFace(dgInt32 vertexCount, const dgFloat32* vertices, dgInt32 strideBytes,
                                  dgInt32 attribute) {
    if (m_builder == nullptr || vertices == nullptr || vertexCount < 3 ||
        vertexCount > dgPolygonSoupBuilder::kMaxFaceVertices) {
        return false;
    }
    dgInt32 indices[dgPolygonSoupBuilder::kMaxFaceVertices];
    for (dgInt32 i = 0; i < vertexCount; i++) {
        indices[i] = i;
    }
    return m_builder->AddMesh(vertices, vertexCount, strideBytes, 1, &vertexCount, indices, &attribute,
                              dgGetIdentityMatrix());
}

bool dgTreeCollisionSoup::EndBuild(bool optimize) {
    if (m_builder == nullptr) {
        return false;
    }
    if (optimize) {
        m_builder->Optimize(true);
    }
    m_builder->End();
    const bool built = BuildSoupTree(*m_builder);
    delete m_builder;
    m_builder = nullptr;
    return built;
}

void dgTreeCollisionCollideCallback(dgPolygonSoupQuery* query) {
    query->m_faceCount = 0;
    query->m_vertices = nullptr;
    query->m_vertexStrideBytes = 0;
    query->m_totalIndexCount = 0;
    query->m_attributes = query->m_attributeStorage;
    query->m_indexCounts = query->m_indexCountStorage;
    query->m_indices = query->m_indexStorage;
    const auto* soup = static_cast<const dgTreeCollisionSoup*>(query->m_userData);
    soup->ForEachPolygonInBox(query->m_boxMin, query->m_boxMax, dgTreeCollisionPolygonCallback, query);
}

dgInt32 dgTreeCollisionPolygonCallback(void* context, const dgFloat32* vertices, dgInt32 strideBytes,
                                       const dgInt32* indices, dgInt32 indexCount) {
    auto& query = *static_cast<dgPolygonSoupQuery*>(context);
    if (query.m_vertices == nullptr) {
        query.m_vertices = vertices;
        query.m_vertexStrideBytes = strideBytes;
    }
    if (query.m_faceCount >= dgPolygonSoupQuery::kMaxFaces ||
        query.m_totalIndexCount + indexCount >= dgPolygonSoupQuery::kMaxIndices) {
        return 0;
    }
    const auto* soup = static_cast<const dgTreeCollisionSoup*>(query.m_userData);
    if (soup->GetFaceCallback() != nullptr) {
        soup->GetFaceCallback()(query.m_soupBody, query.m_otherBody, query.m_vertices, strideBytes, indexCount,
                                indices);
    }
    query.m_attributeStorage[query.m_faceCount] = indices[-1];
    query.m_indexCountStorage[query.m_faceCount] = indexCount;
    for (dgInt32 i = 0; i < indexCount; i++) {
        query.m_indexStorage[query.m_totalIndexCount + i] = indices[i];
    }
    query.m_totalIndexCount += indexCount;
    query.m_faceCount++;
    return 1;
}

dgFloat32 dgTreeCollisionRayHitCallback(dgPolygonSoupRay* ray) {
    const auto* soup = static_cast<const dgTreeCollisionSoup*>(ray->m_userData);
    NearestHit hit{ray, kRayMiss, dgVector(), 0};
    soup->ForEachPolygonOnRay(ray->m_p0, ray->m_p1, NearestHitCallback, &hit);
    if (hit.m_t < 1.0f) {
        ray->m_normal = UnitNormal(hit.m_normal);
        ray->m_attribute = hit.m_attribute;
    }
    return hit.m_t;
}

void dgTreeCollisionDestroyCallback(void* userData) {
    dgRefRelease(static_cast<dgTreeCollisionSoup*>(userData));
}

void dgTreeCollisionDisplayCallback(dgPolygonSoupQuery* query) {
    dgBody* const body = query->m_soupBody;
    auto callback = reinterpret_cast<dgCollisionFaceCallback>(query->m_userData);
    if (body == nullptr || callback == nullptr || body->m_collision == nullptr ||
        !body->m_collision->IsType(dgCollisionPolygonalSoupClassId)) {
        return;
    }
    const auto* shape = static_cast<const dgCollisionPolygonalSoup*>(body->m_collision);
    const dgTreeCollisionSoup* soup = shape->GetTreeSoup();
    if (soup == nullptr) {
        return;
    }
    // The tree walk enters a side only when the box reaches strictly past its plane: a margin lets
    // faces lying on the box's own faces through.
    dgVector min;
    dgVector max;
    soup->GetAABB(min, max);
    const dgVector margin(1.0f, 1.0f, 1.0f, 0.0f);
    DisplayWalk walk{body, callback};
    soup->ForEachPolygonInBox(min.Sub(margin), max.Add(margin), DisplayFaceCallback, &walk);
}
