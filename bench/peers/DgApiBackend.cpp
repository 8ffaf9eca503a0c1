// This engine through its public interface, the scene built as the engine's own tests and benchmarks build
// it, with auto-freeze on and the scalar or packed solver build the world picks itself. A process callback
// on the pair counts the contact points of each step. Ball joints and hinges leave the jointed pair out of
// the contacts.

#include "PeerBackend.h"

#include "physics/api/dgApi.h"
#include "scenes/NamedSceneWorld.h"

namespace {

class DgApiBackend final : public PeerBackend {
public:
    DgApiBackend() : m_world(dgApiWorldCreate(nullptr, nullptr)) {}
    ~DgApiBackend() override { dgApiWorldDestroy(m_world); }
    DgApiBackend(const DgApiBackend&) = delete;
    DgApiBackend& operator=(const DgApiBackend&) = delete;

    const char* Name() const override { return "dgApi"; }

    bool Build(const NamedScene& scene) override {
        if (!BuildNamedScene(m_world, scene, m_bodies)) {
            return false;
        }
        const int group = dgApiMaterialGetDefaultGroupId(m_world);
        dgApiMaterialSetCollisionCallback(m_world, group, group, this, nullptr, &DgApiBackend::CountContact,
                                          nullptr);
        m_awake.assign(scene.bodies.size(), 0u);
        for (size_t i = 0; i < scene.bodies.size(); i++) {
            if (scene.bodies[i].mass > 0.0f) {
                dgApiBodySetUserData(m_bodies[i], &m_awake[i]);
                dgApiBodySetAutoactiveCallback(m_bodies[i], &DgApiBackend::TrackActive);
            }
        }
        return true;
    }

    void Step(float dt) override {
        m_contactCount = 0;
        dgApiWorldUpdate(m_world, dt);
    }

    void GetPoses(std::vector<ScenePose>& poses) const override {
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
