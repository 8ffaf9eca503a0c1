#pragma once
// A world of box bodies placed by their boxes, for the broad-phase tests and benchmark. Each body holds a
// box shape of its box's size, centred by its matrix, so the body's own refresh reproduces the box. The
// scene keeps one reference of each shape and gives it back after the world is gone.

#include "physics/collision/dgBroadPhase.h"
#include "physics/collision/dgCollisionBox.h"
#include "physics/collision/dgCollisionNull.h"
#include "physics/core/dgClassIds.h"
#include "physics/core/dgMatrix.h"
#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgWorld.h"

#include <map>
#include <tuple>
#include <vector>

enum class BodyKind {
    kMoving,   ///< active, finite mass
    kFrozen,   ///< finite mass, asleep: out of the active set
    kStatic,   ///< infinite mass, active
    kNullShape ///< infinite mass, active, null collision; its box is set by hand and never refreshed
};

class BroadPhaseScene {
public:
    BroadPhaseScene() : m_world(new dgWorld), m_null(new dgCollisionNull(dgCollisionNullClassId)) {}
    ~BroadPhaseScene() {
        delete m_world;
        for (auto& entry : m_shapes) {
            dgRefRelease(entry.second);
        }
        dgRefRelease(m_null);
    }
    BroadPhaseScene(const BroadPhaseScene&) = delete;
    BroadPhaseScene& operator=(const BroadPhaseScene&) = delete;

    dgWorld* World() const { return m_world; }
    dgBroadPhase& BroadPhase() const { return m_world->m_broadPhase; }
    /// The broad phase's part of a world step at the world's last step time: forces and boxes, then pairs.
    void UpdatePairs() const {
        const dgStepContext step = m_world->BeginStep(m_world->GetTimeStep());
        m_world->m_broadPhase.ApplyForcesAndPredictBoxes(step);
        m_world->m_broadPhase.UpdatePairs(step);
    }
    const std::vector<dgBody*>& Bodies() const { return m_bodies; }

    dgBody* AddBody(const dgVector& min, const dgVector& max, BodyKind kind = BodyKind::kMoving) {
        if (kind == BodyKind::kNullShape) {
            dgBody* body = m_world->CreateBody(m_null);
            body->m_minBox = dgVector(min.x, min.y, min.z, 1.0f);
            body->m_maxBox = dgVector(max.x, max.y, max.z, 1.0f);
            m_world->m_broadPhase.UpdateBody(body);
            m_bodies.push_back(body);
            return body;
        }
        dgBody* body = m_world->CreateBody(Shape(min, max));
        if (kind == BodyKind::kMoving || kind == BodyKind::kFrozen) {
            body->SetMassMatrix(1.0f, 1.0f, 1.0f, 1.0f);
        }
        if (kind == BodyKind::kFrozen) {
            m_world->FreezeBody(body);
        }
        Move(body, min, max);
        m_bodies.push_back(body);
        return body;
    }

    /// Gives the body the shape and matrix of the box; the body tells the broad phase.
    void Move(dgBody* body, const dgVector& min, const dgVector& max) {
        dgCollision* shape = Shape(min, max);
        if (body->m_collision != shape) {
            body->SetCollision(shape);
        }
        dgMatrix matrix = dgGetIdentityMatrix();
        matrix.posit = dgVector((min.x + max.x) * 0.5f, (min.y + max.y) * 0.5f, (min.z + max.z) * 0.5f, 1.0f);
        body->SetMatrix(matrix);
    }

    /// Moves the body without changing its shape.
    static void Translate(dgBody* body, const dgVector& offset) {
        dgMatrix matrix = body->m_matrix;
        matrix.posit = matrix.posit.Add(offset);
        body->SetMatrix(matrix);
    }

    void RemoveBody(dgBody* body) {
        std::erase(m_bodies, body);
        m_world->DestroyBodyNow(body);
    }

private:
    dgCollision* Shape(const dgVector& min, const dgVector& max) {
        dgCollisionBox*& shape = m_shapes[std::make_tuple(max.x - min.x, max.y - min.y, max.z - min.z)];
        if (shape == nullptr) {
            shape = new dgCollisionBox(static_cast<dgUnsigned32>(m_shapes.size()), max.x - min.x, max.y - min.y,
                                       max.z - min.z, dgGetIdentityMatrix());
        }
        return shape;
    }

    dgWorld* m_world;
    dgCollisionNull* m_null;
    std::map<std::tuple<dgFloat32, dgFloat32, dgFloat32>, dgCollisionBox*> m_shapes;
    std::vector<dgBody*> m_bodies;
};
