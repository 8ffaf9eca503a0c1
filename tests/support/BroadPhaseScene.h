#pragma once
// A world of bodies placed by their boxes alone, for the broad-phase tests and benchmark. Bodies are
// built on the heap and entered into the world's body tree, active set and broad phase by hand, the way
// the world enters its own; the scene takes them all out again before the world goes.

#include "physics/collision/dgBroadPhase.h"
#include "physics/collision/dgCollisionBox.h"
#include "physics/collision/dgCollisionNull.h"
#include "physics/core/dgClassIds.h"
#include "physics/core/dgMatrix.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgWorld.h"

#include <cstdint>
#include <vector>

enum class BodyKind {
    kMoving,  ///< active, finite mass
    kFrozen,  ///< finite mass, not active
    kStatic,  ///< infinite mass, active
    kNullShape ///< active, finite mass, null collision
};

class BroadPhaseScene {
public:
    BroadPhaseScene()
        : m_world(new dgWorld), m_box(new dgCollisionBox(1, 1.0f, 1.0f, 1.0f, dgGetIdentityMatrix())),
          m_null(new dgCollisionNull(dgCollisionNullClassId)) {
        m_world->m_classIds[1] = dgCollisionNullClassId;
        m_world->m_broadPhase.Init(m_world);
    }
    ~BroadPhaseScene() {
        for (dgBody* body : m_bodies) {
            Detach(body);
        }
        delete m_world;
        dgRefRelease(m_box);
        dgRefRelease(m_null);
    }
    BroadPhaseScene(const BroadPhaseScene&) = delete;
    BroadPhaseScene& operator=(const BroadPhaseScene&) = delete;

    dgWorld* World() const { return m_world; }
    dgBroadPhase& BroadPhase() const { return m_world->m_broadPhase; }
    const std::vector<dgBody*>& Bodies() const { return m_bodies; }

    dgBody* AddBody(const dgVector& min, const dgVector& max, BodyKind kind = BodyKind::kMoving) {
        auto* body = new dgBody;
        body->m_world = m_world;
        body->m_collision = kind == BodyKind::kNullShape ? static_cast<dgCollision*>(m_null) : m_box;
        const dgFloat32 invMass = kind == BodyKind::kStatic ? 0.0f : 1.0f;
        body->m_invMass = dgVector(invMass, invMass, invMass, invMass);
        body->m_flags = dgBody::kAutoFreeze;
        if (kind != BodyKind::kFrozen) {
            body->m_flags |= dgBody::kActive;
            body->m_activeNode = m_world->m_activeBodies.Insert(body, Key(body));
        }
        m_world->m_bodies.Insert(body, Key(body));
        m_world->m_bodyCount++;
        m_bodies.push_back(body);
        SetBox(body, min, max);
        m_world->m_broadPhase.Add(body);
        m_world->m_broadPhase.UpdateBody(body);
        return body;
    }

    /// What the body does after each change of its box.
    void Move(dgBody* body, const dgVector& min, const dgVector& max) {
        SetBox(body, min, max);
        m_world->m_broadPhase.UpdateBody(body);
    }

    void RemoveBody(dgBody* body) {
        std::erase(m_bodies, body);
        Detach(body);
    }

    static void SetBox(dgBody* body, const dgVector& min, const dgVector& max) {
        body->m_minBox = dgVector(min.x, min.y, min.z, 1.0f);
        body->m_maxBox = dgVector(max.x, max.y, max.z, 1.0f);
    }

    static std::uintptr_t Key(const dgBody* body) { return reinterpret_cast<std::uintptr_t>(body); }

private:
    void Detach(dgBody* body) {
        m_world->m_broadPhase.Remove(body);
        if (body->m_activeNode != nullptr) {
            m_world->m_activeBodies.RemoveNode(body->m_activeNode);
        }
        m_world->m_bodies.RemoveKey(Key(body));
        m_world->m_bodyCount--;
        delete body;
    }

    dgWorld* m_world;
    dgCollisionBox* m_box;
    dgCollisionNull* m_null;
    std::vector<dgBody*> m_bodies;
};
