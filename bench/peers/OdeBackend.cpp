// ODE (dWorldQuickStep) as a peer: hash space, the quick-step solver with its default 20 iterations and
// default ERP 0.2 and CFM 1e-5, auto-disable on with ODE's own thresholds. Contacts use the friction
// pyramid scaled by the normal force (dContactApprox1) with mu 0.7 and no bounce, at most 8 per pair.
// Ball joints are dJointCreateBall, limited ones with an Euler-mode angular motor whose stops hold the
// limits (no motor force); hinges dJointCreateHinge; jointed pairs make no contacts. ODE has no vehicle:
// vehicle scenes are n/a.

#include "PeerBackend.h"

#include <ode/ode.h>

#include <algorithm>
#include <memory>

namespace {

constexpr int kMaxPairContacts = 8;
// The middle Euler angle is singular at a quarter turn: its stops keep clear of it.
constexpr float kMaxMiddleStop = 1.4f;

class OdeBackend final : public PeerBackend {
public:
    OdeBackend() {
        dInitODE2(0);
        m_world = dWorldCreate();
        m_space = dHashSpaceCreate(nullptr);
        m_contacts = dJointGroupCreate(0);
        dWorldSetGravity(m_world, 0.0, -kSceneGravity, 0.0);
        dWorldSetAutoDisableFlag(m_world, 1);
    }
    ~OdeBackend() override {
        dJointGroupDestroy(m_contacts);
        dSpaceDestroy(m_space);
        if (m_terrainData != nullptr) {
            dGeomTriMeshDataDestroy(m_terrainData);
        }
        dWorldDestroy(m_world);
        dCloseODE();
    }
    OdeBackend(const OdeBackend&) = delete;
    OdeBackend& operator=(const OdeBackend&) = delete;

    const char* Name() const override { return "ode"; }

    bool Build(const NamedScene& scene) override {
        // ODE has no vehicle.
        if (scene.vehicle.chassis >= 0) {
            return false;
        }
        for (const SceneBody& desc : scene.bodies) {
            dGeomID geom = desc.shape == SceneShape::kBox
                               ? dCreateBox(m_space, desc.size[0], desc.size[1], desc.size[2])
                               : dCreateSphere(m_space, desc.size[0]);
            const dQuaternion rotation = {desc.rotation[3], desc.rotation[0], desc.rotation[1],
                                          desc.rotation[2]};
            if (desc.mass > 0.0f) {
                float inertia[3];
                SceneInertia(desc, inertia);
                dMass mass;
                dMassSetParameters(&mass, desc.mass, 0.0, 0.0, 0.0, inertia[0], inertia[1], inertia[2], 0.0,
                                   0.0, 0.0);
                dBodyID body = dBodyCreate(m_world);
                dBodySetMass(body, &mass);
                dGeomSetBody(geom, body);
            }
            dGeomSetPosition(geom, desc.position[0], desc.position[1], desc.position[2]);
            dGeomSetQuaternion(geom, rotation);
            m_geoms.push_back(geom);
        }
        if (!BuildJoints(scene)) {
            return false;
        }
        if (!scene.terrain.indices.empty()) {
            m_terrainVertices = scene.terrain.vertices;
            m_terrainIndices.assign(scene.terrain.indices.begin(), scene.terrain.indices.end());
            m_terrainData = dGeomTriMeshDataCreate();
            dGeomTriMeshDataBuildSingle(m_terrainData, m_terrainVertices.data(), 3 * sizeof(float),
                                        static_cast<int>(m_terrainVertices.size() / 3),
                                        m_terrainIndices.data(), static_cast<int>(m_terrainIndices.size()),
                                        3 * sizeof(dTriIndex));
            dCreateTriMesh(m_space, m_terrainData, nullptr, nullptr, nullptr);
        }
        return true;
    }

    void Step(float dt) override {
        m_contactCount = 0;
        dSpaceCollide(m_space, this, &OdeBackend::NearCallback);
        dWorldQuickStep(m_world, dt);
        dJointGroupEmpty(m_contacts);
    }

    void GetPoses(std::vector<ScenePose>& poses) const override {
        poses.resize(m_geoms.size());
        for (size_t i = 0; i < m_geoms.size(); i++) {
            const dReal* position = dGeomGetPosition(m_geoms[i]);
            const dReal* rotation = dGeomGetRotation(m_geoms[i]);
            for (int k = 0; k < 3; k++) {
                poses[i].position[k] = static_cast<float>(position[k]);
                // ODE's rotation is row-major 3x4 with column k the world direction of local axis k.
                for (int j = 0; j < 3; j++) {
                    poses[i].axes[k][j] = static_cast<float>(rotation[4 * j + k]);
                }
            }
        }
    }

    int ContactCount() const override { return m_contactCount; }

    int SleepingCount() const override {
        int count = 0;
        for (dGeomID geom : m_geoms) {
            dBodyID body = dGeomGetBody(geom);
            count += body != nullptr && !dBodyIsEnabled(body) ? 1 : 0;
        }
        return count;
    }

private:
    /// An Euler-mode angular motor whose stops hold the swing of the pin to the cone on the parent's axis
    /// square to it and on the middle axis (kept clear of its singular quarter turn), and the twist about
    /// the pin on the child.
    void AddLimits(const SceneJoint& desc, dBodyID child, dBodyID parent) {
        const dVector3 pin = {desc.pin[0], desc.pin[1], desc.pin[2], 0.0};
        dVector3 up;
        dVector3 right;
        dPlaneSpace(pin, up, right);
        dJointID motor = dJointCreateAMotor(m_world, nullptr);
        dJointAttach(motor, parent, child);
        dJointSetAMotorMode(motor, dAMotorEuler);
        dJointSetAMotorAxis(motor, 0, 1, up[0], up[1], up[2]);
        dJointSetAMotorAxis(motor, 2, 2, pin[0], pin[1], pin[2]);
        const dReal middle = std::min(desc.coneAngle, kMaxMiddleStop);
        const dReal stops[3] = {desc.coneAngle, middle, desc.twistAngle};
        const int lo[3] = {dParamLoStop, dParamLoStop2, dParamLoStop3};
        const int hi[3] = {dParamHiStop, dParamHiStop2, dParamHiStop3};
        for (int axis = 0; axis < 3; axis++) {
            dJointSetAMotorParam(motor, lo[axis], -stops[axis]);
            dJointSetAMotorParam(motor, hi[axis], stops[axis]);
        }
    }

    /// Ball joints (dJointCreateBall, with an angular motor holding their limits) and hinges
    /// (dJointCreateHinge).
    bool BuildJoints(const NamedScene& scene) {
        for (const SceneJoint& desc : scene.joints) {
            const bool limited =
                desc.kind == SceneJointKind::kBall && (desc.coneAngle > 0.0f || desc.twistAngle > 0.0f);
            if (limited && desc.parent < 0) {
                return false;
            }
            const bool hinge = desc.kind == SceneJointKind::kHinge;
            dJointID joint = hinge ? dJointCreateHinge(m_world, nullptr) : dJointCreateBall(m_world, nullptr);
            dBodyID parent = desc.parent < 0 ? nullptr : dGeomGetBody(m_geoms[desc.parent]);
            dJointAttach(joint, dGeomGetBody(m_geoms[desc.child]), parent);
            if (hinge) {
                dJointSetHingeAnchor(joint, desc.pivot[0], desc.pivot[1], desc.pivot[2]);
                dJointSetHingeAxis(joint, desc.pin[0], desc.pin[1], desc.pin[2]);
            } else {
                dJointSetBallAnchor(joint, desc.pivot[0], desc.pivot[1], desc.pivot[2]);
            }
            if (limited) {
                AddLimits(desc, dGeomGetBody(m_geoms[desc.child]), parent);
            }
        }
        return true;
    }

    static bool Awake(dBodyID body) { return body != nullptr && dBodyIsEnabled(body); }

    static void NearCallback(void* data, dGeomID a, dGeomID b) {
        auto* self = static_cast<OdeBackend*>(data);
        dBodyID bodyA = dGeomGetBody(a);
        dBodyID bodyB = dGeomGetBody(b);
        // Jointed bodies don't touch each other.
        if ((!Awake(bodyA) && !Awake(bodyB)) || (bodyA != nullptr && bodyB != nullptr &&
                                                 dAreConnectedExcluding(bodyA, bodyB, dJointTypeContact))) {
            return;
        }
        dContact contacts[kMaxPairContacts] = {};
        const int count = dCollide(a, b, kMaxPairContacts, &contacts[0].geom, sizeof(dContact));
        for (int i = 0; i < count; i++) {
            contacts[i].surface.mode = dContactApprox1;
            contacts[i].surface.mu = kSceneFriction;
            dJointID joint = dJointCreateContact(self->m_world, self->m_contacts, &contacts[i]);
            dJointAttach(joint, bodyA, bodyB);
        }
        self->m_contactCount += count;
    }

    dWorldID m_world;
    dSpaceID m_space;
    dJointGroupID m_contacts;
    dTriMeshDataID m_terrainData = nullptr;
    std::vector<float> m_terrainVertices;
    std::vector<dTriIndex> m_terrainIndices;
    std::vector<dGeomID> m_geoms; ///< one per scene body, in the scene's order; the space owns them
    int m_contactCount = 0;
};

} // namespace

std::unique_ptr<PeerBackend> MakeOdeBackend() {
    return std::make_unique<OdeBackend>();
}
