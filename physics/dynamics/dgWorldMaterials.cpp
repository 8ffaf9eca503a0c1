#include "physics/dynamics/dgWorld.h"

#include "physics/core/dgMemory.h"

namespace {
dgMaterialPair DefaultMaterialPair() {
    dgMaterialPair pair;
    pair.m_softness = 0.1f;
    pair.m_elasticity = 0.4f;
    pair.m_staticFriction0 = 0.9f;
    pair.m_staticFriction1 = 0.9f;
    pair.m_kineticFriction0 = 0.5f;
    pair.m_kineticFriction1 = 0.5f;
    pair.m_flags = dgMaterialPair::kCollidable | dgMaterialPair::kFriction0 | dgMaterialPair::kFriction1 |
                   dgMaterialPair::kContinuousCollision;
    return pair;
}
} // namespace

dgUnsigned32 dgWorld::MaterialPairKey(dgUnsigned32 group0, dgUnsigned32 group1) {
    const dgUnsigned32 low = group0 < group1 ? group0 : group1;
    const dgUnsigned32 high = group0 < group1 ? group1 : group0;
    return high * 65536u + low;
}

dgInt32 dgWorld::CreateGroupId() {
    // Beyond 65535 groups the key's halves would overlap and two pairs would share a node.
    if (m_groupCount >= kMaxGroupCount) {
        return m_defaultGroupId;
    }
    const dgMaterialPair pair = DefaultMaterialPair();
    const dgInt32 id = m_groupCount;
    dgInt32 made = 0;
    try {
        for (; made <= id; made++) {
            m_materialPairs.Insert(
                pair, MaterialPairKey(static_cast<dgUnsigned32>(id), static_cast<dgUnsigned32>(made)));
        }
    } catch (const dgMemoryExhausted&) {
        // Without all its pairs the group is not made.
        for (dgInt32 j = 0; j < made; j++) {
            m_materialPairs.RemoveKey(
                MaterialPairKey(static_cast<dgUnsigned32>(id), static_cast<dgUnsigned32>(j)));
        }
        throw;
    }
    m_groupCount++;
    return id;
}

dgWorld::dgMaterialPairTree::Node* dgWorld::FindMaterialPairNode(dgInt32 group0, dgInt32 group1) const {
    if (group0 < 0 || group1 < 0 || group0 >= m_groupCount || group1 >= m_groupCount) {
        return nullptr;
    }
    return m_materialPairs.Find(
        MaterialPairKey(static_cast<dgUnsigned32>(group0), static_cast<dgUnsigned32>(group1)));
}

dgMaterialPair* dgWorld::GetMaterialPair(dgInt32 group0, dgInt32 group1) {
    auto* node = FindMaterialPairNode(group0, group1);
    return node != nullptr ? &node->GetInfo() : nullptr;
}

dgInt32 dgWorld::DestroyAllGroupId() {
    m_materialPairs.RemoveAll();
    m_groupCount = 0;
    m_defaultGroupId = CreateGroupId();
    return m_defaultGroupId;
}
