#include "physics/dynamics/dgWorld.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
struct WorldDeleter {
    void operator()(dgWorld* world) const { delete world; }
};
using WorldPtr = std::unique_ptr<dgWorld, WorldDeleter>;
} // namespace

TEST(dgWorldMaterials, PairKeyIsSymmetricAndPutsTheLargerIdHigh) {
    EXPECT_EQ(dgWorld::MaterialPairKey(3, 7), 7u * 65536u + 3u);
    EXPECT_EQ(dgWorld::MaterialPairKey(7, 3), 7u * 65536u + 3u);
    EXPECT_EQ(dgWorld::MaterialPairKey(65534, 65534), 0xFFFEFFFEu);
    WorldPtr world(new dgWorld);
    for (int i = 0; i < 8; i++) {
        world->CreateGroupId();
    }
    EXPECT_EQ(world->GetMaterialPair(3, 7), world->GetMaterialPair(7, 3));
    EXPECT_NE(world->GetMaterialPair(3, 7), world->GetMaterialPair(3, 6));
}

TEST(dgWorldMaterials, EveryUnorderedPairOfGroupsHasOneNode) {
    WorldPtr world(new dgWorld);
    EXPECT_EQ(world->CreateGroupId(), 1);
    EXPECT_EQ(world->m_materialPairs.GetCount(), 3); // (0, 0), (1, 0), (1, 1)
    for (int n = 3; n <= 20; n++) {
        EXPECT_EQ(world->CreateGroupId(), n - 1);
        EXPECT_EQ(world->m_materialPairs.GetCount(), n * (n + 1) / 2);
    }
    for (int a = 0; a < 20; a++) {
        for (int b = 0; b < 20; b++) {
            EXPECT_NE(world->GetMaterialPair(a, b), nullptr) << a << ", " << b;
        }
    }
}

TEST(dgWorldMaterials, NewPairsCarryTheDefaultMaterial) {
    WorldPtr world(new dgWorld);
    const dgInt32 group = world->CreateGroupId();
    for (const dgMaterialPair* pair : {world->GetMaterialPair(0, 0), world->GetMaterialPair(group, 0)}) {
        ASSERT_NE(pair, nullptr);
        EXPECT_EQ(pair->m_softness, 0.1f);
        EXPECT_EQ(pair->m_elasticity, 0.4f);
        EXPECT_EQ(pair->m_staticFriction0, 0.9f);
        EXPECT_EQ(pair->m_staticFriction1, 0.9f);
        EXPECT_EQ(pair->m_kineticFriction0, 0.5f);
        EXPECT_EQ(pair->m_kineticFriction1, 0.5f);
        EXPECT_EQ(pair->m_flags, 0x47u); // collidable, friction on both tangents, continuous collision
        EXPECT_EQ(pair->m_userData, nullptr);
        EXPECT_EQ(pair->m_beginCallback, nullptr);
        EXPECT_EQ(pair->m_processCallback, nullptr);
        EXPECT_EQ(pair->m_endCallback, nullptr);
        EXPECT_EQ(pair->m_compoundChildCallback, nullptr);
    }
}

TEST(dgWorldMaterials, MissingPairsAreNull) {
    WorldPtr world(new dgWorld);
    world->CreateGroupId();
    EXPECT_EQ(world->GetMaterialPair(0, 2), nullptr);
    EXPECT_EQ(world->GetMaterialPair(-1, 0), nullptr);
    // -65536 would alias pair (0, 0) through the key's 32-bit wrap.
    EXPECT_EQ(world->GetMaterialPair(-65536, 0), nullptr);
}

TEST(dgWorldMaterials, DestroyAllGroupIdStartsAgainFromGroupZero) {
    WorldPtr world(new dgWorld);
    for (int i = 0; i < 5; i++) {
        world->CreateGroupId();
    }
    world->GetMaterialPair(0, 0)->m_elasticity = 1.5f;
    EXPECT_EQ(world->DestroyAllGroupId(), 0);
    EXPECT_EQ(world->GetDefaultGroupId(), 0);
    EXPECT_EQ(world->GetGroupCount(), 1);
    EXPECT_EQ(world->m_materialPairs.GetCount(), 1);
    EXPECT_EQ(world->GetMaterialPair(0, 0)->m_elasticity, 0.4f);
    EXPECT_EQ(world->GetMaterialPair(1, 0), nullptr);
    EXPECT_EQ(world->CreateGroupId(), 1);
}

TEST(dgWorldMaterials, GroupIdsStopAt65535Groups) {
    WorldPtr world(new dgWorld);
    // Building 65535 groups would take two billion pairs; start at the last id that is handed out.
    world->m_groupCount = dgWorld::kMaxGroupCount - 1;
    EXPECT_EQ(world->CreateGroupId(), dgWorld::kMaxGroupCount - 1);
    EXPECT_EQ(world->GetGroupCount(), dgWorld::kMaxGroupCount);
    const dgInt32 pairs = world->m_materialPairs.GetCount();
    EXPECT_EQ(world->CreateGroupId(), world->GetDefaultGroupId());
    EXPECT_EQ(world->GetGroupCount(), dgWorld::kMaxGroupCount);
    EXPECT_EQ(world->m_materialPairs.GetCount(), pairs);
    EXPECT_NE(world->GetMaterialPair(65534, 65534), nullptr);
}
