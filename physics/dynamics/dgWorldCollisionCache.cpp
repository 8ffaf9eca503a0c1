#include "physics/dynamics/dgWorld.h"

#include "physics/collision/dgCollisionBox.h"
#include "physics/collision/dgCollisionCapsule.h"
#include "physics/collision/dgCollisionChamferCylinder.h"
#include "physics/collision/dgCollisionCone.h"
#include "physics/collision/dgCollisionConvexHull.h"
#include "physics/collision/dgCollisionConvexModifier.h"
#include "physics/collision/dgCollisionCylinder.h"
#include "physics/collision/dgCollisionEllipse.h"
#include "physics/collision/dgCollisionNull.h"
#include "physics/collision/dgCollisionSphere.h"
#include "physics/collision/dgShapeSignature.h"
#include "physics/core/dgClassIds.h"
#include "physics/core/dgMemory.h"
#include "physics/core/dgRef.h"
#include "physics/core/dgScratchBuffer.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

namespace {

bool IsFinite(const dgMatrix& matrix) {
    for (dgInt32 row = 0; row < 4; row++) {
        const dgVector& v = matrix[row];
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z) || !std::isfinite(v.w)) {
            return false;
        }
    }
    return true;
}

// A dimension that is not finite would quantise to a saturated key and build a shape of no sensible
// extent: such requests are refused.
bool AreFinite(std::initializer_list<dgFloat32> values) {
    for (const dgFloat32 v : values) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

// The cache protocol shared by every creator. A hit returns the cached shape with one more reference
// only when its key words equal the request's; a shape whose signature merely collides with a cached
// one of other words is built and handed out uncached (its signature is kept, but the node under it
// belongs to the other shape, and release and removal act only on the node's own collision).
template <class Make>
dgCollision* FindOrCreate(dgWorld& world, const dgUnsigned32* words, dgInt32 wordCount,
                          dgUnsigned32 signature, Make make) {
    auto* node = world.m_collisionCache.Find(signature);
    if (node != nullptr && node->GetInfo().HasKey(words, wordCount)) {
        node->GetInfo().m_collision->AddRef();
        return node->GetInfo().m_collision;
    }
    dgCollision* collision = make(signature);
    if (collision == nullptr || node != nullptr) {
        return collision;
    }
    try {
        bool existed = false;
        node = world.m_collisionCache.FindOrInsert(signature, existed);
        dgAssert(!existed);
        node->GetInfo().SetKey(words, wordCount);
    } catch (const dgMemoryExhausted&) {
        if (node != nullptr) {
            world.m_collisionCache.RemoveNode(node);
        }
        dgRefRelease(collision);
        throw;
    }
    node->GetInfo().m_collision = collision;
    // One reference for the cache on top of the caller's.
    collision->AddRef();
    return collision;
}

template <class Make>
dgCollision* FindOrCreatePrimitive(dgWorld& world, dgCollisionType type, const dgFloat32* dimensions,
                                   dgInt32 dimensionCount, const dgMatrix& offset, Make make) {
    dgUnsigned32 record[kShapeKeyWords];
    dgShapeKeyRecord(type, dimensions, dimensionCount, offset, record);
    return FindOrCreate(world, record, kShapeKeyWords, dgKeyRecordSignature(record, kShapeKeyWords), make);
}

// Cone, capsule, cylinder and chamfer cylinder are keyed by radius and half height and built from
// radius and full height.
template <class Shape>
dgCollision* CreateRadiusHeight(dgWorld& world, dgCollisionType type, dgFloat32 radius, dgFloat32 height,
                                const dgMatrix& offset) {
    if (!AreFinite({radius, height}) || !IsFinite(offset)) {
        return nullptr;
    }
    radius = std::fabs(radius);
    height = std::fabs(height);
    const dgFloat32 dims[2] = {radius, height * 0.5f};
    return FindOrCreatePrimitive(world, type, dims, 2, offset, [&](dgUnsigned32 key) -> dgCollision* {
        return new Shape(key, radius, height, offset);
    });
}

} // namespace

dgCollisionCacheEntry::~dgCollisionCacheEntry() {
    dgFree(m_keyWords);
}

void dgCollisionCacheEntry::SetKey(const dgUnsigned32* words, dgInt32 wordCount) {
    dgAssert(wordCount > 0);
    auto* copy =
        static_cast<dgUnsigned32*>(dgMalloc(static_cast<std::size_t>(wordCount) * sizeof(dgUnsigned32)));
    dgCopyBytes(copy, words, static_cast<std::size_t>(wordCount) * sizeof(dgUnsigned32));
    dgFree(m_keyWords);
    m_keyWords = copy;
    m_keyWordCount = wordCount;
}

bool dgCollisionCacheEntry::HasKey(const dgUnsigned32* words, dgInt32 wordCount) const {
    return wordCount == m_keyWordCount &&
           std::memcmp(words, m_keyWords, static_cast<std::size_t>(wordCount) * sizeof(dgUnsigned32)) == 0;
}

dgCollision* dgWorld::CreateNull() {
    // The null shape has no dimensions: its one key word is its signature, the class id.
    const dgUnsigned32 signature = dgNullSignature();
    return FindOrCreate(*this, &signature, 1, signature,
                        [](dgUnsigned32 key) -> dgCollision* { return new dgCollisionNull(key); });
}

dgCollision* dgWorld::CreateBox(dgFloat32 x, dgFloat32 y, dgFloat32 z, const dgMatrix& offset) {
    if (!AreFinite({x, y, z}) || !IsFinite(offset)) {
        return nullptr;
    }
    x = std::fabs(x);
    y = std::fabs(y);
    z = std::fabs(z);
    const dgFloat32 half[3] = {x * 0.5f, y * 0.5f, z * 0.5f};
    return FindOrCreatePrimitive(
        *this, kBoxCollision, half, 3, offset,
        [&](dgUnsigned32 key) -> dgCollision* { return new dgCollisionBox(key, x, y, z, offset); });
}

dgCollision* dgWorld::CreateSphere(dgFloat32 radius, const dgMatrix& offset) {
    if (!AreFinite({radius}) || !IsFinite(offset)) {
        return nullptr;
    }
    radius = std::fabs(radius);
    return FindOrCreatePrimitive(
        *this, kSphereCollision, &radius, 1, offset,
        [&](dgUnsigned32 key) -> dgCollision* { return new dgCollisionSphere(key, radius, offset); });
}

dgCollision* dgWorld::CreateEllipse(dgFloat32 rx, dgFloat32 ry, dgFloat32 rz, const dgMatrix& offset) {
    if (!AreFinite({rx, ry, rz}) || !IsFinite(offset)) {
        return nullptr;
    }
    const dgFloat32 radii[3] = {std::fabs(rx), std::fabs(ry), std::fabs(rz)};
    return FindOrCreatePrimitive(*this, kEllipseCollision, radii, 3, offset,
                                 [&](dgUnsigned32 key) -> dgCollision* {
                                     return new dgCollisionEllipse(key, radii[0], radii[1], radii[2], offset);
                                 });
}

dgCollision* dgWorld::CreateCapsule(dgFloat32 radius, dgFloat32 height, const dgMatrix& offset) {
    return CreateRadiusHeight<dgCollisionCapsule>(*this, kCapsuleCollision, radius, height, offset);
}

dgCollision* dgWorld::CreateCone(dgFloat32 radius, dgFloat32 height, const dgMatrix& offset) {
    return CreateRadiusHeight<dgCollisionCone>(*this, kConeCollision, radius, height, offset);
}

dgCollision* dgWorld::CreateCylinder(dgFloat32 radius, dgFloat32 height, const dgMatrix& offset) {
    return CreateRadiusHeight<dgCollisionCylinder>(*this, kCylinderCollision, radius, height, offset);
}

dgCollision* dgWorld::CreateChamferCylinder(dgFloat32 radius, dgFloat32 height, const dgMatrix& offset) {
    return CreateRadiusHeight<dgCollisionChamferCylinder>(*this, kChamferCylinderCollision, radius, height,
                                                          offset);
}

dgCollision* dgWorld::CreateConvexHull(dgInt32 count, const dgFloat32* points, dgInt32 strideInBytes,
                                       const dgMatrix& offset) {
    // Fewer than four points span no volume; the hull's own build refuses the rest of the degenerate
    // clouds, and a hull left empty is never handed out or cached.
    const dgInt32 wordCount = dgConvexHullKeyWordCount(count);
    if (points == nullptr || count < 4 || wordCount == 0 || strideInBytes < 12 || !IsFinite(offset)) {
        return nullptr;
    }
    dgScratchBuffer record(static_cast<std::size_t>(wordCount) * sizeof(dgUnsigned32));
    auto* words = static_cast<dgUnsigned32*>(record.GetData());
    dgConvexHullKeyRecord(count, points, strideInBytes, offset, words);
    return FindOrCreate(*this, words, wordCount, dgKeyRecordSignature(words, wordCount),
                        [&](dgUnsigned32 key) -> dgCollision* {
                            auto* hull = new dgCollisionConvexHull(key, count, strideInBytes, points, offset);
                            if (hull->IsEmpty()) {
                                dgRefRelease(hull);
                                return nullptr;
                            }
                            return hull;
                        });
}

dgCollision* dgWorld::CreateConvexModifier(dgCollision* child) {
    if (child == nullptr || !child->IsType(dgConvexCollisionClassId) ||
        child->IsType(dgCompoundCollisionClassId) || child->IsType(dgCollisionNullClassId)) {
        return nullptr;
    }
    // The child's reference goes back through this world, so a cached child leaves the cache with its
    // last holder.
    return new dgCollisionConvexModifier(
        static_cast<dgConvexCollision*>(child), this,
        [](dgWorld* world, dgCollision* collision) { world->ReleaseCollision(collision); });
}

dgCollision* dgWorld::CreateUserMesh(void* userData, dgPolygonSoupCollideCallback collide,
                                     dgPolygonSoupRayHitCallback rayHit, dgPolygonSoupDestroyCallback destroy) {
    return new dgCollisionPolygonalSoup(userData, collide, rayHit, destroy);
}

void dgWorld::ReleaseCollision(dgCollision* collision) {
    if (collision == nullptr) {
        return;
    }
    if (dgRefRelease(collision) != 1) {
        return;
    }
    // One reference left: when it is the cache's, nobody else holds the shape. Only the node that holds
    // this very collision counts; another shape may sit under the same signature.
    auto* node = m_collisionCache.Find(collision->GetSignature());
    if (node != nullptr && node->GetInfo().m_collision == collision) {
        m_collisionCache.RemoveNode(node);
        dgRefRelease(collision);
    }
}

void dgWorld::RemoveCollisionFromCache(dgCollision* collision) {
    if (collision == nullptr) {
        return;
    }
    auto* node = m_collisionCache.Find(collision->GetSignature());
    if (node != nullptr && node->GetInfo().m_collision == collision) {
        // The node goes first: deleting the shape may release others (a modifier its child) through
        // this cache.
        m_collisionCache.RemoveNode(node);
        dgRefRelease(collision);
    }
}
