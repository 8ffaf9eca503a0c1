// Bullet (btDiscreteDynamicsWorld) as a peer: default collision configuration, dynamic AABB tree broad
// phase, sequential-impulse solver with its default 10 iterations, sleeping on with Bullet's own thresholds
// and time. Bullet multiplies the two bodies' friction and restitution coefficients, so every body gets
// sqrt(0.7) to give the pair friction of 0.7 that the other engines use, and restitution 0. Ball joints
// are btPoint2PointConstraint, or btConeTwistConstraint with the same cone and twist when limited;
// hinges btHingeConstraint. A vehicle is a btRaycastVehicle on the chassis: its wheels have no mass of
// their own, its suspension stiffness is chosen for the scene's static sag (Bullet's suspension force is
// stiffness x compression x chassis mass per wheel, so 4 k s = g), damped at 0.3 of critical, and its
// tire friction is this engine's sliding tire's; drive and brake torques become forces and impulses at the
// wheel's radius.

#include "PeerBackend.h"

#include <btBulletDynamicsCommon.h>

#include <cmath>
#include <memory>

namespace {

class BulletBackend final : public PeerBackend {
public:
    BulletBackend()
        : m_dispatcher(&m_configuration), m_world(&m_dispatcher, &m_broadPhase, &m_solver, &m_configuration) {
        m_world.setGravity(btVector3(0.0f, -kSceneGravity, 0.0f));
    }
    ~BulletBackend() override {
        if (m_vehicle != nullptr) {
            m_world.removeAction(m_vehicle.get());
        }
        for (const auto& constraint : m_constraints) {
            m_world.removeConstraint(constraint.get());
        }
        for (int i = m_world.getNumCollisionObjects() - 1; i >= 0; i--) {
            m_world.removeCollisionObject(m_world.getCollisionObjectArray()[i]);
        }
    }
    BulletBackend(const BulletBackend&) = delete;
    BulletBackend& operator=(const BulletBackend&) = delete;

    const char* Name() const override { return "bullet"; }

    bool Build(const NamedScene& scene) override {
        const float friction = std::sqrt(kSceneFriction);
        for (const SceneBody& desc : scene.bodies) {
            btCollisionShape* shape = nullptr;
            if (desc.shape == SceneShape::kBox) {
                shape = Keep(std::make_unique<btBoxShape>(
                    btVector3(0.5f * desc.size[0], 0.5f * desc.size[1], 0.5f * desc.size[2])));
            } else {
                shape = Keep(std::make_unique<btSphereShape>(desc.size[0]));
            }
            float inertia[3] = {0.0f, 0.0f, 0.0f};
            if (desc.mass > 0.0f) {
                SceneInertia(desc, inertia);
            }
            btRigidBody::btRigidBodyConstructionInfo info(desc.mass, nullptr, shape,
                                                          btVector3(inertia[0], inertia[1], inertia[2]));
            info.m_startWorldTransform.setOrigin(
                btVector3(desc.position[0], desc.position[1], desc.position[2]));
            info.m_startWorldTransform.setRotation(
                btQuaternion(desc.rotation[0], desc.rotation[1], desc.rotation[2], desc.rotation[3]));
            info.m_friction = friction;
            info.m_restitution = 0.0f;
            m_bodies.push_back(std::make_unique<btRigidBody>(info));
            m_world.addRigidBody(m_bodies.back().get());
        }
        if (!BuildJoints(scene)) {
            return false;
        }
        if (scene.vehicle.chassis >= 0) {
            BuildVehicle(scene.vehicle);
        }
        if (!scene.terrain.indices.empty()) {
            m_terrainVertices = scene.terrain.vertices;
            m_terrainIndices = scene.terrain.indices;
            m_terrainMesh = std::make_unique<btTriangleIndexVertexArray>(
                static_cast<int>(m_terrainIndices.size() / 3), m_terrainIndices.data(), 3 * sizeof(int),
                static_cast<int>(m_terrainVertices.size() / 3), m_terrainVertices.data(), 3 * sizeof(float));
            btCollisionShape* shape =
                Keep(std::make_unique<btBvhTriangleMeshShape>(m_terrainMesh.get(), true));
            btRigidBody::btRigidBodyConstructionInfo info(0.0f, nullptr, shape);
            info.m_friction = friction;
            info.m_restitution = 0.0f;
            m_terrain = std::make_unique<btRigidBody>(info);
            m_world.addRigidBody(m_terrain.get());
        }
        return true;
    }

    void Step(float dt) override {
        m_step = dt;
        m_world.stepSimulation(dt, 1, dt);
    }

    void SetVehicleInputs(float driveTorque, float brakeTorque) override {
        if (m_vehicle == nullptr) {
            return;
        }
        for (int i = 0; i < m_vehicle->getNumWheels(); i++) {
            const float radius = m_vehicle->getWheelInfo(i).m_wheelsRadius;
            m_vehicle->applyEngineForce(m_driven[i] ? driveTorque / radius : 0.0f, i);
            m_vehicle->setBrake(brakeTorque / radius * m_step, i);
        }
    }

    void GetPoses(std::vector<ScenePose>& poses) const override {
        poses.resize(m_bodies.size());
        for (size_t i = 0; i < m_bodies.size(); i++) {
            const btTransform& transform = m_bodies[i]->getWorldTransform();
            const btMatrix3x3& basis = transform.getBasis();
            for (int k = 0; k < 3; k++) {
                poses[i].position[k] = transform.getOrigin()[k];
                const btVector3 axis = basis.getColumn(k);
                for (int j = 0; j < 3; j++) {
                    poses[i].axes[k][j] = axis[j];
                }
            }
        }
    }

    int ContactCount() const override {
        int count = 0;
        for (int i = 0; i < m_dispatcher.getNumManifolds(); i++) {
            const btPersistentManifold* manifold = m_dispatcher.getManifoldByIndexInternal(i);
            if (Awake(manifold->getBody0()) || Awake(manifold->getBody1())) {
                count += manifold->getNumContacts();
            }
        }
        return count;
    }

    int SleepingCount() const override {
        int count = 0;
        for (const auto& body : m_bodies) {
            count += !body->isStaticObject() && body->getActivationState() == ISLAND_SLEEPING ? 1 : 0;
        }
        return count;
    }

private:
    /// The joint frame in the body: its x axis along the pin (the twist axis), its origin at the pivot.
    static btTransform PinFrame(const btRigidBody& body, const btVector3& pivot, const btVector3& pin) {
        btVector3 up;
        btVector3 right;
        btPlaneSpace1(pin, up, right);
        const btMatrix3x3 world(pin.x(), up.x(), right.x(), pin.y(), up.y(), right.y(), pin.z(), up.z(),
                                right.z());
        return body.getWorldTransform().inverse() * btTransform(world, pivot);
    }

    /// Ball joints as point-to-point constraints (cone-twist constraints when limited) and hinges as
    /// hinge constraints, the jointed pair left out of the contacts.
    bool BuildJoints(const NamedScene& scene) {
        for (const SceneJoint& desc : scene.joints) {
            if (desc.kind == SceneJointKind::kBall && (desc.coneAngle > 0.0f || desc.twistAngle > 0.0f)) {
                if (desc.parent < 0) {
                    return false;
                }
                const btVector3 pivot(desc.pivot[0], desc.pivot[1], desc.pivot[2]);
                const btVector3 pin = btVector3(desc.pin[0], desc.pin[1], desc.pin[2]).normalized();
                btRigidBody& parent = *m_bodies[desc.parent];
                btRigidBody& child = *m_bodies[desc.child];
                auto cone = std::make_unique<btConeTwistConstraint>(
                    parent, child, PinFrame(parent, pivot, pin), PinFrame(child, pivot, pin));
                cone->setLimit(desc.coneAngle, desc.coneAngle, desc.twistAngle);
                m_constraints.push_back(std::move(cone));
                m_world.addConstraint(m_constraints.back().get(), true);
                continue;
            }
            const btVector3 pivot(desc.pivot[0], desc.pivot[1], desc.pivot[2]);
            const btVector3 pin(desc.pin[0], desc.pin[1], desc.pin[2]);
            btRigidBody& child = *m_bodies[desc.child];
            const btVector3 inChild = child.getWorldTransform().invXform(pivot);
            const btVector3 pinInChild = child.getWorldTransform().getBasis().transpose() * pin;
            if (desc.parent < 0) {
                if (desc.kind == SceneJointKind::kHinge) {
                    m_constraints.push_back(std::make_unique<btHingeConstraint>(child, inChild, pinInChild));
                } else {
                    m_constraints.push_back(std::make_unique<btPoint2PointConstraint>(child, inChild));
                }
            } else {
                btRigidBody& parent = *m_bodies[desc.parent];
                const btVector3 inParent = parent.getWorldTransform().invXform(pivot);
                if (desc.kind == SceneJointKind::kHinge) {
                    const btVector3 pinInParent = parent.getWorldTransform().getBasis().transpose() * pin;
                    m_constraints.push_back(std::make_unique<btHingeConstraint>(
                        child, parent, inChild, inParent, pinInChild, pinInParent));
                } else {
                    m_constraints.push_back(
                        std::make_unique<btPoint2PointConstraint>(child, parent, inChild, inParent));
                }
            }
            m_world.addConstraint(m_constraints.back().get(), true);
        }
        return true;
    }

    void BuildVehicle(const SceneVehicle& desc) {
        btRigidBody* chassis = m_bodies[desc.chassis].get();
        chassis->setActivationState(DISABLE_DEACTIVATION);
        btRaycastVehicle::btVehicleTuning tuning;
        tuning.m_suspensionStiffness = kSceneGravity / (4.0f * desc.staticSag);
        tuning.m_suspensionDamping = 0.3f * std::sqrt(tuning.m_suspensionStiffness);
        tuning.m_suspensionCompression = tuning.m_suspensionDamping;
        tuning.m_frictionSlip = desc.tireFriction;
        tuning.m_maxSuspensionForce = 1.0e6f;
        tuning.m_maxSuspensionTravelCm = 100.0f * desc.suspensionLength;
        m_raycaster = std::make_unique<btDefaultVehicleRaycaster>(&m_world);
        m_vehicle = std::make_unique<btRaycastVehicle>(tuning, chassis, m_raycaster.get());
        m_vehicle->setCoordinateSystem(2, 1, 0);
        m_world.addAction(m_vehicle.get());
        for (int i = 0; i < SceneVehicle::kWheels; i++) {
            // The suspension hangs from the travel's top; unloaded, the wheel centre is where the scene has it.
            const btVector3 top(desc.wheels[i][0], desc.wheels[i][1] + desc.suspensionLength, desc.wheels[i][2]);
            btWheelInfo& wheel = m_vehicle->addWheel(top, btVector3(0.0f, -1.0f, 0.0f), btVector3(0.0f, 0.0f, 1.0f),
                                                     desc.suspensionLength, desc.wheelRadius, tuning,
                                                     !desc.driven[i]);
            wheel.m_rollInfluence = 1.0f;
            m_driven[i] = desc.driven[i];
        }
    }

    static bool Awake(const btCollisionObject* object) {
        return !object->isStaticObject() && object->isActive();
    }

    btCollisionShape* Keep(std::unique_ptr<btCollisionShape> shape) {
        m_shapes.push_back(std::move(shape));
        return m_shapes.back().get();
    }

    // Declared in construction order: the world refers to all of the others.
    btDefaultCollisionConfiguration m_configuration;
    btCollisionDispatcher m_dispatcher;
    btDbvtBroadphase m_broadPhase;
    btSequentialImpulseConstraintSolver m_solver;
    btDiscreteDynamicsWorld m_world;
    std::vector<float> m_terrainVertices;
    std::vector<int> m_terrainIndices;
    std::unique_ptr<btTriangleIndexVertexArray> m_terrainMesh;
    std::vector<std::unique_ptr<btCollisionShape>> m_shapes;
    std::vector<std::unique_ptr<btRigidBody>> m_bodies;
    std::unique_ptr<btRigidBody> m_terrain;
    std::vector<std::unique_ptr<btTypedConstraint>> m_constraints;
    std::unique_ptr<btDefaultVehicleRaycaster> m_raycaster;
    std::unique_ptr<btRaycastVehicle> m_vehicle;
    bool m_driven[SceneVehicle::kWheels] = {};
    float m_step = kSceneStep;
};

} // namespace

std::unique_ptr<PeerBackend> MakeBulletBackend() {
    return std::make_unique<BulletBackend>();
}
