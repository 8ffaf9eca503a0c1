#include "physics/collision/dgCollisionConvexHull.h"
#include "physics/collision/dgCollisionConvexModifier.h"
#include "physics/collision/dgConvexCollision.h"
#include "physics/collision/dgShapeSignature.h"
#include "physics/core/dgClassIds.h"
#include "physics/dynamics/dgWorld.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr dgFloat32 kNaN = std::numeric_limits<dgFloat32>::quiet_NaN();
constexpr dgFloat32 kInf = std::numeric_limits<dgFloat32>::infinity();

// The eight corners of the box [-1, 1] x [-2, 2] x [-3, 3] (x, y, z per point).
const dgFloat32 kCorners[8][3] = {{-1, -2, -3}, {1, -2, -3}, {-1, 2, -3}, {1, 2, -3},
                                  {-1, -2, 3},  {1, -2, 3},  {-1, 2, 3},  {1, 2, 3}};

dgMatrix Translation(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    dgMatrix m = dgGetIdentityMatrix();
    m.posit = dgVector(x, y, z, 1.0f);
    return m;
}

dgFloat32 SupportX(const dgCollision* shape) {
    return static_cast<const dgConvexCollision*>(shape)->SupportVertex(dgVector(1, 0, 0, 0)).x;
}

class dgWorldCollisionCache : public ::testing::Test {
protected:
    void SetUp() override { m_world = new dgWorld; }
    // Every test gives back the references it takes, so the cache is empty again here.
    void TearDown() override {
        EXPECT_EQ(m_world->m_collisionCache.GetCount(), 0);
        delete m_world;
    }

    dgInt32 CacheCount() const { return m_world->m_collisionCache.GetCount(); }

    dgWorld* m_world = nullptr;
};

} // namespace

TEST_F(dgWorldCollisionCache, EveryCreatorSharesEqualRequestsAndKeysShapesAsTheyRecomputeThemselves) {
    const dgMatrix offset = Translation(0.5f, -1.0f, 2.0f);
    const std::vector<std::pair<const char*, std::function<dgCollision*()>>> creators = {
        {"null", [&] { return m_world->CreateNull(); }},
        {"box", [&] { return m_world->CreateBox(1, 2, 3, offset); }},
        {"sphere", [&] { return m_world->CreateSphere(0.75f, offset); }},
        {"ellipse", [&] { return m_world->CreateEllipse(1, 2, 3, offset); }},
        {"capsule", [&] { return m_world->CreateCapsule(0.5f, 3, offset); }},
        {"cone", [&] { return m_world->CreateCone(0.5f, 3, offset); }},
        {"cylinder", [&] { return m_world->CreateCylinder(0.5f, 3, offset); }},
        {"chamfer cylinder", [&] { return m_world->CreateChamferCylinder(0.5f, 3, offset); }},
        {"hull", [&] { return m_world->CreateConvexHull(8, &kCorners[0][0], 12, offset); }},
    };
    std::vector<dgCollision*> made;
    for (const auto& [name, create] : creators) {
        SCOPED_TRACE(name);
        dgCollision* first = create();
        ASSERT_NE(first, nullptr);
        dgCollision* second = create();
        EXPECT_EQ(first, second);
        // The cache's reference and one for each caller.
        EXPECT_EQ(first->GetRefCount(), 3);
        EXPECT_EQ(first->CalcSignature(), first->GetSignature());
        made.push_back(first);
        m_world->ReleaseCollision(second);
    }
    // Kinds of equal dimensions never share: capsule, cone, cylinder and chamfer cylinder are four shapes.
    EXPECT_EQ(CacheCount(), static_cast<dgInt32>(creators.size()));
    EXPECT_EQ(made[0]->GetSignature(), dgCollisionNullClassId);
    for (dgCollision* shape : made) {
        m_world->ReleaseCollision(shape);
    }
}

TEST_F(dgWorldCollisionCache, SignsAndQuantisationAliasWhileOffsetsSeparate) {
    const dgMatrix identity = dgGetIdentityMatrix();
    dgCollision* box = m_world->CreateBox(1, 2, 3, identity);
    dgCollision* mirrored = m_world->CreateBox(-1, 2, -3, identity);
    EXPECT_EQ(box, mirrored);
    EXPECT_EQ(box->GetRefCount(), 3);
    // The shape is built from the absolute sizes: 1 x 2 x 3.
    EXPECT_NEAR(box->GetVolume(), 6.0f, 1e-4f);

    // Halves 1.0 and 1.0002 both quantise to 1024.
    dgCollision* a = m_world->CreateBox(2.0f, 1, 1, identity);
    dgCollision* b = m_world->CreateBox(2.0004f, 1, 1, identity);
    EXPECT_EQ(a, b);

    dgCollision* s0 = m_world->CreateSphere(1, identity);
    dgCollision* s1 = m_world->CreateSphere(1, Translation(0, 1, 0));
    dgCollision* s2 = m_world->CreateSphere(-1, identity);
    EXPECT_NE(s0, s1);
    EXPECT_EQ(s0, s2);
    EXPECT_EQ(CacheCount(), 4);

    for (dgCollision* shape : {box, mirrored, a, b, s0, s1, s2}) {
        m_world->ReleaseCollision(shape);
    }
}

TEST_F(dgWorldCollisionCache, HullKeyKeepsSignsAndIgnoresStridePadding) {
    const dgMatrix identity = dgGetIdentityMatrix();
    // The same corners with a fourth float of noise per point: the key reads only x, y, z.
    dgFloat32 padded[8][4];
    // An asymmetric cloud and its mirror through x are different hulls.
    dgFloat32 wedge[5][3] = {{0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
    dgFloat32 mirroredWedge[5][3];
    for (dgInt32 i = 0; i < 8; i++) {
        for (dgInt32 j = 0; j < 3; j++) {
            padded[i][j] = kCorners[i][j];
        }
        padded[i][3] = static_cast<dgFloat32>(i) * 17.0f;
    }
    for (dgInt32 i = 0; i < 5; i++) {
        mirroredWedge[i][0] = -wedge[i][0];
        mirroredWedge[i][1] = wedge[i][1];
        mirroredWedge[i][2] = wedge[i][2];
    }
    dgCollision* packed = m_world->CreateConvexHull(8, &kCorners[0][0], 12, identity);
    dgCollision* strided = m_world->CreateConvexHull(8, &padded[0][0], 16, identity);
    // A stride of 18 bytes is read as 16.
    dgCollision* odd = m_world->CreateConvexHull(8, &padded[0][0], 18, identity);
    EXPECT_EQ(packed, strided);
    EXPECT_EQ(packed, odd);
    dgCollision* w0 = m_world->CreateConvexHull(5, &wedge[0][0], 12, identity);
    dgCollision* w1 = m_world->CreateConvexHull(5, &mirroredWedge[0][0], 12, identity);
    ASSERT_NE(w0, nullptr);
    ASSERT_NE(w1, nullptr);
    EXPECT_NE(w0, w1);
    EXPECT_FLOAT_EQ(SupportX(w0), 2.0f);
    EXPECT_FLOAT_EQ(SupportX(w1), 0.0f);
    for (dgCollision* shape : {packed, strided, odd, w0, w1}) {
        m_world->ReleaseCollision(shape);
    }
}

TEST_F(dgWorldCollisionCache, LastCallerReleaseFreesTheShapeAndItsEntry) {
    const dgMatrix identity = dgGetIdentityMatrix();
    dgCollision* box = m_world->CreateBox(1, 1, 1, identity);
    const dgUnsigned32 signature = box->GetSignature();
    dgCollision* again = m_world->CreateBox(1, 1, 1, identity);
    m_world->ReleaseCollision(again);
    EXPECT_EQ(box->GetRefCount(), 2);
    EXPECT_EQ(CacheCount(), 1);
    m_world->ReleaseCollision(box);
    EXPECT_EQ(CacheCount(), 0);
    EXPECT_EQ(m_world->m_collisionCache.Find(signature), nullptr);

    // Asked again, the shape is built anew with the cache's and the caller's references.
    dgCollision* rebuilt = m_world->CreateBox(1, 1, 1, identity);
    EXPECT_EQ(rebuilt->GetRefCount(), 2);
    EXPECT_EQ(CacheCount(), 1);
    m_world->ReleaseCollision(rebuilt);

    // A shape outside the cache is deleted by its last release; null is ignored.
    m_world->ReleaseCollision(nullptr);
    m_world->RemoveCollisionFromCache(nullptr);
}

TEST_F(dgWorldCollisionCache, RemovedShapeStaysWithItsHoldersAndAnEqualOneTakesItsPlace) {
    const dgMatrix identity = dgGetIdentityMatrix();
    dgCollision* old = m_world->CreateBox(1, 2, 3, identity);
    dgBody* body = m_world->CreateBody(old);
    ASSERT_NE(body, nullptr);
    m_world->RemoveCollisionFromCache(old);
    EXPECT_EQ(old->GetRefCount(), 2);
    EXPECT_EQ(CacheCount(), 0);
    // Removing again finds nothing of it.
    m_world->RemoveCollisionFromCache(old);
    EXPECT_EQ(old->GetRefCount(), 2);

    dgCollision* fresh = m_world->CreateBox(1, 2, 3, identity);
    ASSERT_NE(fresh, old);
    EXPECT_EQ(fresh->GetSignature(), old->GetSignature());
    EXPECT_EQ(fresh->GetRefCount(), 2);

    // The old handle is given up: one reference is left, the body's; the node under the same
    // signature is the new shape's and is left alone.
    m_world->ReleaseCollision(old);
    EXPECT_EQ(old->GetRefCount(), 1);
    EXPECT_EQ(body->m_collision, old);
    EXPECT_NEAR(body->m_collision->GetVolume(), 6.0f, 1e-4f);
    EXPECT_EQ(fresh->GetRefCount(), 2);
    EXPECT_EQ(CacheCount(), 1);
    // Removing the uncached old shape leaves the new one cached.
    m_world->RemoveCollisionFromCache(old);
    EXPECT_EQ(CacheCount(), 1);
    EXPECT_EQ(m_world->CreateBox(1, 2, 3, identity), fresh);
    m_world->ReleaseCollision(fresh);

    // The body goes and with it the old shape.
    m_world->DestroyBody(body);
    EXPECT_EQ(fresh->GetRefCount(), 2);
    m_world->ReleaseCollision(fresh);
}

TEST_F(dgWorldCollisionCache, CollidingSignaturesNeverHandOutTheOtherShape) {
    const dgMatrix identity = dgGetIdentityMatrix();
    // Radii k / 1024 quantise to k exactly; a birthday search finds two whose keys hash alike.
    std::unordered_map<dgUnsigned32, dgInt32> seen;
    dgInt32 k0 = 0;
    dgInt32 k1 = 0;
    for (dgInt32 k = 1; k < (1 << 21) && k1 == 0; k++) {
        const auto [it, inserted] =
            seen.emplace(dgSphereSignature(static_cast<dgFloat32>(k) / 1024.0f, identity), k);
        if (!inserted) {
            k0 = it->second;
            k1 = k;
        }
    }
    ASSERT_NE(k1, 0);
    const dgFloat32 r0 = static_cast<dgFloat32>(k0) / 1024.0f;
    const dgFloat32 r1 = static_cast<dgFloat32>(k1) / 1024.0f;

    dgCollision* cached = m_world->CreateSphere(r0, identity);
    dgCollision* other = m_world->CreateSphere(r1, identity);
    ASSERT_NE(other, nullptr);
    ASSERT_NE(other, cached);
    EXPECT_EQ(other->GetSignature(), cached->GetSignature());
    EXPECT_FLOAT_EQ(SupportX(cached), r0);
    EXPECT_FLOAT_EQ(SupportX(other), r1);
    // The newcomer lives outside the cache: only the caller holds it.
    EXPECT_EQ(other->GetRefCount(), 1);
    EXPECT_EQ(CacheCount(), 1);
    dgCollision* otherAgain = m_world->CreateSphere(r1, identity);
    EXPECT_NE(otherAgain, cached);
    EXPECT_FLOAT_EQ(SupportX(otherAgain), r1);

    // Releasing to one reference and removing from the cache leave the cached shape alone.
    other->AddRef();
    m_world->ReleaseCollision(other);
    m_world->RemoveCollisionFromCache(other);
    EXPECT_EQ(other->GetRefCount(), 1);
    EXPECT_EQ(cached->GetRefCount(), 2);
    m_world->ReleaseCollision(other);
    m_world->ReleaseCollision(otherAgain);
    EXPECT_EQ(cached->GetRefCount(), 2);
    EXPECT_EQ(m_world->CreateSphere(r0, identity), cached);
    m_world->ReleaseCollision(cached);
    m_world->ReleaseCollision(cached);
}

TEST_F(dgWorldCollisionCache, BrokenRequestsAreRefusedAndNothingIsCached) {
    const dgMatrix identity = dgGetIdentityMatrix();
    dgMatrix nanOffset = identity;
    nanOffset.posit.y = kNaN;
    dgMatrix infOffset = identity;
    infOffset.front.x = kInf;
    const dgFloat32 flat[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    const dgFloat32 line[5][3] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}};

    EXPECT_EQ(m_world->CreateBox(kNaN, 1, 1, identity), nullptr);
    EXPECT_EQ(m_world->CreateBox(1, -kInf, 1, identity), nullptr);
    EXPECT_EQ(m_world->CreateBox(1, 1, 1, nanOffset), nullptr);
    EXPECT_EQ(m_world->CreateSphere(kInf, identity), nullptr);
    EXPECT_EQ(m_world->CreateSphere(1, infOffset), nullptr);
    EXPECT_EQ(m_world->CreateEllipse(1, kNaN, 1, identity), nullptr);
    EXPECT_EQ(m_world->CreateCapsule(kNaN, 1, identity), nullptr);
    EXPECT_EQ(m_world->CreateCone(1, kInf, identity), nullptr);
    EXPECT_EQ(m_world->CreateCylinder(1, 1, nanOffset), nullptr);
    EXPECT_EQ(m_world->CreateChamferCylinder(kNaN, kNaN, identity), nullptr);
    EXPECT_EQ(m_world->CreateConvexHull(8, &kCorners[0][0], 12, nanOffset), nullptr);

    // Degenerate clouds span no volume.
    EXPECT_EQ(m_world->CreateConvexHull(4, &flat[0][0], 12, identity), nullptr);
    EXPECT_EQ(m_world->CreateConvexHull(5, &line[0][0], 12, identity), nullptr);
    EXPECT_EQ(m_world->CreateConvexHull(3, &kCorners[0][0], 12, identity), nullptr);
    EXPECT_EQ(m_world->CreateConvexHull(-8, &kCorners[0][0], 12, identity), nullptr);
    EXPECT_EQ(m_world->CreateConvexHull(8, nullptr, 12, identity), nullptr);
    EXPECT_EQ(m_world->CreateConvexHull(8, &kCorners[0][0], 8, identity), nullptr);
    EXPECT_EQ(m_world->CreateConvexHull(std::numeric_limits<dgInt32>::max(), &kCorners[0][0], 12, identity),
              nullptr);
    EXPECT_EQ(CacheCount(), 0);
}

TEST_F(dgWorldCollisionCache, ModifierGivesItsChildBackThroughTheWorld) {
    const dgMatrix identity = dgGetIdentityMatrix();
    dgCollision* sphere = m_world->CreateSphere(1, identity);
    dgCollision* modifier = m_world->CreateConvexModifier(sphere);
    ASSERT_NE(modifier, nullptr);
    EXPECT_TRUE(modifier->IsType(dgCollisionConvexModifierClassId));
    EXPECT_EQ(sphere->GetRefCount(), 3);
    // The modifier is never cached; the caller's sphere reference is given up.
    EXPECT_EQ(CacheCount(), 1);
    m_world->ReleaseCollision(sphere);
    EXPECT_EQ(sphere->GetRefCount(), 2);

    // The modifier's child release leaves only the cache's reference, so the sphere leaves the cache.
    m_world->ReleaseCollision(modifier);
    EXPECT_EQ(CacheCount(), 0);

    dgCollision* null = m_world->CreateNull();
    EXPECT_EQ(m_world->CreateConvexModifier(null), nullptr);
    EXPECT_EQ(m_world->CreateConvexModifier(nullptr), nullptr);
    m_world->ReleaseCollision(null);
}
