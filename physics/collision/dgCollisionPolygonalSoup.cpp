#include "physics/collision/dgCollisionPolygonalSoup.h"

#include "physics/collision/dgCollisionConvexPolygon.h"
#include "physics/collision/dgContactPoint.h"
#include "physics/collision/dgTreeCollisionSoup.h"
#include "physics/core/dgClassIds.h"
#include "physics/core/dgMemory.h"

#include <cmath>
#include <cstring>

namespace {

bool IsFinite(const dgVector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace

dgCollisionPolygonalSoup::dgCollisionPolygonalSoup(void* userData, dgPolygonSoupCollideCallback collide,
                                                   dgPolygonSoupRayHitCallback rayHit,
                                                   dgPolygonSoupDestroyCallback destroy)
    : dgCollision(0, dgGetIdentityMatrix(), kPolygonSoupCollision), m_userData(userData), m_collide(collide),
      m_destroy(destroy), m_rayHit(rayHit), m_proxy(new dgCollisionConvexPolygon()) {
    SetCollisionBBox(dgVector(0.0f, 0.0f, 0.0f, 1.0f), dgVector(0.0f, 0.0f, 0.0f, 1.0f));
}

dgCollisionPolygonalSoup::~dgCollisionPolygonalSoup() {
    dgRefRelease(m_proxy);
    if (m_destroy != nullptr) {
        m_destroy(m_userData);
    }
}

dgUnsigned32 dgCollisionPolygonalSoup::GetTypeId() const {
    return dgCollisionPolygonalSoupClassId;
}

bool dgCollisionPolygonalSoup::IsType(dgUnsigned32 typeId) const {
    return typeId == dgCollisionPolygonalSoupClassId || dgCollision::IsType(typeId);
}

void dgCollisionPolygonalSoup::SetCollisionBBox(const dgVector& p0, const dgVector& p1) {
    // A box that is not finite would poison the broad phase's cell arithmetic.
    if (!IsFinite(p0) || !IsFinite(p1)) {
        return;
    }
    m_boxMin = dgVector(std::fmin(p0.x, p1.x), std::fmin(p0.y, p1.y), std::fmin(p0.z, p1.z), 1.0f);
    m_boxMax = dgVector(std::fmax(p0.x, p1.x), std::fmax(p0.y, p1.y), std::fmax(p0.z, p1.z), 1.0f);
    m_boxSize = m_boxMax.Sub(m_boxMin).Scale(0.5f);
    m_boxSize.w = 1.0f;
    m_boxOrigin = m_boxMin.Add(m_boxMax).Scale(0.5f);
    m_boxOrigin.w = 1.0f;
}

std::uintptr_t dgCollisionPolygonalSoup::GetUserId() const {
    return reinterpret_cast<std::uintptr_t>(m_userData);
}

void dgCollisionPolygonalSoup::CalcWorldBox(const dgMatrix& matrix, dgVector& minOut, dgVector& maxOut) const {
    const dgVector centre = matrix.TransformVector(m_boxOrigin);
    const dgVector extent = PlacedHalfExtent(matrix, m_boxSize);
    minOut = centre.Sub(extent);
    maxOut = centre.Add(extent);
    minOut.w = 1.0f;
    maxOut.w = 1.0f;
}

void dgCollisionPolygonalSoup::ForEachDisplayFace(const dgMatrix&, dgBody* body, dgCollisionFaceCallback callback) const {
    // A soup is placed by its body's collision matrix, which its collide callback reads from the body.
    dgPolygonSoupQuery query;
    std::memset(static_cast<void*>(&query), 0, sizeof(query));
    query.m_soupBody = body;
    query.m_userData = reinterpret_cast<void*>(callback);
    // The tree's collide callback would read the face callback as its database: a tree collision is
    // always displayed by its display callback.
    const dgPolygonSoupCollideCallback collide =
        m_collide == dgTreeCollisionCollideCallback ? dgTreeCollisionDisplayCallback : m_collide;
    if (collide != nullptr) {
        collide(&query);
    }
}

dgFloat32 dgCollisionPolygonalSoup::RayCast(const dgVector& p0, const dgVector& p1, dgContactPoint& contactOut,
                                            dgRayCastPrefilter preFilter, dgBody* body, void* userData) const {
    if (preFilter != nullptr && preFilter(body, this, userData) == 0) {
        return kNoHit;
    }
    if (m_rayHit == nullptr) {
        return kNoHit;
    }
    dgPolygonSoupRay ray;
    ray.m_p0 = p0;
    ray.m_p1 = p1;
    ray.m_userData = m_userData;
    const dgFloat32 t = m_rayHit(&ray);
    if (t < 1.0f) {
        contactOut.m_normal = ray.m_normal;
        contactOut.m_attribute = static_cast<dgInt64>(static_cast<dgUnsigned32>(ray.m_attribute));
    }
    return t;
}

dgFloat32 dgCollisionPolygonalSoup::GetVolume() const {
    return 0.0f;
}

void dgCollisionPolygonalSoup::CalcInertia(dgVector& inertiaOut, dgVector& centreOut) const {
    ZeroInertia(inertiaOut, centreOut);
}

dgVector dgCollisionPolygonalSoup::CalcVolumeUnderPlane(const dgMatrix&, dgBuoyancyPlaneCallback, void*) const {
    return dgVector(0.0f, 0.0f, 0.0f, 0.0f);
}

dgUnsigned32 dgCollisionPolygonalSoup::CalcSignature() const {
    return 0;
}

void dgCollisionPolygonalSoup::Collide(dgPolygonSoupQuery& query) const {
    query.m_faceCount = 0;
    query.m_totalIndexCount = 0;
    query.m_userData = m_userData;
    if (m_collide != nullptr) {
        m_collide(&query);
    }
}

dgCollisionPolygonalSoup* dgCollisionPolygonalSoup::CreateTreeCollision(dgWorld* world,
                                                                        dgTreeCollisionFaceCallback faceCallback) {
    auto* soup = new dgTreeCollisionSoup(world, faceCallback);
    // The shape takes over the creator's reference of the soup and gives it back when it is destroyed.
    try {
        return new dgCollisionPolygonalSoup(soup, dgTreeCollisionCollideCallback,
                                            dgTreeCollisionRayHitCallback, dgTreeCollisionDestroyCallback);
    } catch (const dgMemoryExhausted&) {
        dgTreeCollisionDestroyCallback(soup);
        throw;
    }
}

dgCollisionPolygonalSoup* dgCollisionPolygonalSoup::CreateTreeCollisionFromStream(
    dgWorld* world, dgTreeCollisionFaceCallback faceCallback, dgSoupDeserializeCallback callback, void* userData) {
    if (callback == nullptr) {
        return nullptr;
    }
    dgCollisionPolygonalSoup* shape = CreateTreeCollision(world, faceCallback);
    dgTreeCollisionSoup* soup = shape->GetTreeSoup();
    bool read = false;
    try {
        read = soup->Deserialize(callback, userData);
    } catch (const dgMemoryExhausted&) {
        dgRefRelease(shape);
        throw;
    }
    if (!read) {
        dgRefRelease(shape);
        return nullptr;
    }
    // Without its box the shape would be a point to the broad phase and meet nothing.
    dgVector min;
    dgVector max;
    soup->GetAABB(min, max);
    shape->SetCollisionBBox(min, max);
    return shape;
}

dgTreeCollisionSoup* dgCollisionPolygonalSoup::GetTreeSoup() const {
    if (m_collide != dgTreeCollisionCollideCallback && m_collide != dgTreeCollisionDisplayCallback) {
        return nullptr;
    }
    return static_cast<dgTreeCollisionSoup*>(m_userData);
}

bool dgCollisionPolygonalSoup::BeginTreeBuild() {
    dgTreeCollisionSoup* soup = GetTreeSoup();
    if (soup == nullptr) {
        return false;
    }
    soup->BeginBuild();
    return true;
}

bool dgCollisionPolygonalSoup::AddTreeFace(dgInt32 vertexCount, const dgFloat32* vertices, dgInt32 strideBytes,
                                           dgInt32 attribute) {
    dgTreeCollisionSoup* soup = GetTreeSoup();
    return soup != nullptr && soup->AddFace(vertexCount, vertices, strideBytes, attribute);
}

bool dgCollisionPolygonalSoup::EndTreeBuild(bool optimize) {
    dgTreeCollisionSoup* soup = GetTreeSoup();
    if (soup == nullptr || !soup->IsBuilding()) {
        return false;
    }
    const bool built = soup->EndBuild(optimize);
    dgVector min;
    dgVector max;
    soup->GetAABB(min, max);
    SetCollisionBBox(min, max);
    return built;
}

bool dgCollisionPolygonalSoup::SerializeTree(dgSoupSerializeCallback callback, void* userData) const {
    const dgTreeCollisionSoup* soup = GetTreeSoup();
    if (soup == nullptr || callback == nullptr) {
        return false;
    }
    soup->Serialize(callback, userData);
    return true;
}
