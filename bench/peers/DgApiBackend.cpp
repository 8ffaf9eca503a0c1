// This engine through its public interface, configured like the peers: gravity from the force callback,
// the default material pair at friction 0.7 (static and kinetic) and elasticity 0.01 (its least), the
// pair's default softness, the bodies' default damping and freeze thresholds with auto-freeze on, and
// the scalar or packed solver build the world picks itself. A process callback on the pair counts the
// contact points of each step. Ball joints and hinges leave the jointed pair out of the contacts.

#include "PeerBackend.h"
#include "PeerSettings.h"

#include "physics/api/dgApi.h"

namespace {

class DgApiBackend final : public PeerBackend {
public:
    DgApiBackend() : m_world(dgApiWorldCreate(nullptr, nullptr)) {}
    ~DgApiBackend() override { dgApiWorldDestroy(m_world); }
    DgApiBackend(const DgApiBackend&) = delete;
    DgApiBackend& operator=(const DgApiBackend&) = delete;

    const char* Name() const override { return "dgApi"; }

    bool Build(const PeerScene& scene) override {
        if (m_world == nullptr) {
            return false;
        }
        const float worldMin[3] = {-500.0f, -500.0f, -500.0f};
        const float worldMax[3] = {500.0f, 500.0f, 500.0f};
        dgApiWorldSetSize(m_world, worldMin, worldMax);
        const int group = dgApiMaterialGetDefaultGroupId(m_world);
        dgApiMaterialSetDefaultFriction(m_world, group, group, kPeerFriction, kPeerFriction);
        dgApiMaterialSetDefaultElasticity(m_world, group, group, 0.0f);
        dgApiMaterialSetCollisionCallback(m_world, group, group, this, nullptr, &DgApiBackend::CountContact,
                                          nullptr);

        m_awake.assign(scene.bodies.size(), 0u);
        for (size_t i = 0; i < scene.bodies.size(); i++) {
            const PeerBody& desc = scene.bodies[i];
            dgCollision* shape =
                desc.shape == PeerShape::kBox
                    ? dgApiCollisionCreateBox(m_world, desc.size[0], desc.size[1], desc.size[2], nullptr)
                    : dgApiCollisionCreateSphere(m_world, desc.size[0], desc.size[0], desc.size[0], nullptr);
            if (shape == nullptr) {
                return false;
            }
            dgBody* body = dgApiBodyCreate(m_world, shape);
            dgApiCollisionRelease(m_world, shape);
            if (body == nullptr) {
                return false;
            }
            const PeerPose pose = PeerScene::InitialPose(desc);
            float matrix[16];
            for (int row = 0; row < 3; row++) {
                for (int k = 0; k < 3; k++) {
                    matrix[4 * row + k] = pose.axes[row][k];
                    matrix[12 + k] = pose.position[k];
                }
                matrix[4 * row + 3] = 0.0f;
            }
            matrix[15] = 1.0f;
            dgApiBodySetMatrix(body, matrix);
            if (desc.mass > 0.0f) {
                float inertia[3];
                PeerInertia(desc, inertia);
                dgApiBodySetMassMatrix(body, desc.mass, inertia[0], inertia[1], inertia[2]);
                dgApiBodySetForceAndTorqueCallback(body, &DgApiBackend::ApplyGravity);
                dgApiBodySetUserData(body, &m_awake[i]);
                dgApiBodySetAutoactiveCallback(body, &DgApiBackend::TrackActive);
            }
            m_bodies.push_back(body);
        }
        return (scene.terrain.indices.empty() || BuildTerrain(scene.terrain)) && BuildJoints(scene.joints);
    }

    void Step(float dt) override {
        m_contactCount = 0;
        dgApiWorldUpdate(m_world, dt);
    }

    void GetPoses(std::vector<PeerPose>& poses) const override {
        poses.resize(m_bodies.size());
        for (size_t i = 0; i < m_bodies.size(); i++) {
            float matrix[16];
            dgApiBodyGetMatrix(m_bodies[i], matrix);
            for (int k = 0; k < 3; k++) {
                poses[i].position[k] = matrix[12 + k];
                // Rows front, up and right are the body's x, y and z axes in world space.
                for (int j = 0; j < 3; j++) {
                    poses[i].axes[k][j] = matrix[4 * k + j];
                }
            }
        }
    }

    int ContactCount() const override { return m_contactCount; }

    int SleepingCount() const override {
        int count = 0;
        for (size_t i = 0; i < m_bodies.size(); i++) {
            count += dgApiBodyGetUserData(m_bodies[i]) != nullptr && m_awake[i] == 0u ? 1 : 0;
        }
        return count;
    }

private:
    /// Ball joints with their limits, and hinges.
    bool BuildJoints(const std::vector<PeerJoint>& joints) {
        for (const PeerJoint& desc : joints) {
            dgBody* parent = desc.parent < 0 ? nullptr : m_bodies[desc.parent];
            dgJointBase* joint =
                desc.kind == PeerJointKind::kHinge
                    ? dgApiJointCreateHinge(m_world, desc.pivot, desc.pin, m_bodies[desc.child], parent)
                    : dgApiJointCreateBall(m_world, desc.pivot, m_bodies[desc.child], parent);
            if (joint == nullptr) {
                return false;
            }
            if (desc.kind == PeerJointKind::kBall && (desc.coneAngle > 0.0f || desc.twistAngle > 0.0f)) {
                dgApiBallSetConeLimits(joint, desc.pin, desc.coneAngle, desc.twistAngle);
            }
        }
        return true;
    }

    /// The terrain as a tree collision, one face per triangle, on a static body.
    bool BuildTerrain(const PeerTerrain& terrain) {
        dgCollision* soup = dgApiTreeCollisionCreate(m_world, nullptr);
        if (soup == nullptr) {
            return false;
        }
        dgApiTreeCollisionBeginBuild(soup);
        for (size_t t = 0; t + 2 < terrain.indices.size(); t += 3) {
            float face[9];
            for (int k = 0; k < 3; k++) {
                const size_t v = 3 * static_cast<size_t>(terrain.indices[t + k]);
                for (int j = 0; j < 3; j++) {
                    face[3 * k + j] = terrain.vertices[v + j];
                }
            }
            dgApiTreeCollisionAddFace(soup, 3, face, 3 * sizeof(float), 0);
        }
        dgApiTreeCollisionEndBuild(soup, 1);
        dgBody* body = dgApiBodyCreate(m_world, soup);
        dgApiCollisionRelease(m_world, soup);
        return body != nullptr;
    }

    static void ApplyGravity(dgBody* body) {
        float mass, ixx, iyy, izz;
        dgApiBodyGetMassMatrix(body, &mass, &ixx, &iyy, &izz);
        const float force[3] = {0.0f, -kPeerGravity * mass, 0.0f};
        dgApiBodySetForce(body, force);
    }

    static void TrackActive(dgBody* body, unsigned state) {
        *static_cast<unsigned*>(dgApiBodyGetUserData(body)) = state;
    }

    static unsigned char CountContact(dgContactMaterial* contact, dgContactJoint*) {
        static_cast<DgApiBackend*>(dgApiContactGetUserData(contact))->m_contactCount++;
        return 1;
    }

    dgWorld* m_world;
    std::vector<dgBody*> m_bodies; ///< one per scene body, in the scene's order; the world owns them
    std::vector<unsigned> m_awake; ///< the last state each dynamic body's auto-active callback reported
    int m_contactCount = 0;
};

} // namespace

std::unique_ptr<PeerBackend> MakeDgApiBackend() {
    return std::make_unique<DgApiBackend>();
}
