// This engine through its public interface, the scene built as the engine's own tests and benchmarks build
// it, with auto-freeze on and the build of the dynamics update a new world picks (the packed one where the
// processor has it), or the scalar build for the column beside it. A process callback
// on the pair counts the contact points of each step. Ball joints and hinges leave the jointed pair out of
// the contacts. A vehicle is this engine's vehicle joint on the chassis, its tire callback applying the
// drive and the brakes (a brake stops its tire within the step, up to the brake torque).

#include "PeerBackend.h"

#include "physics/api/dgApi.h"
#include "scenes/NamedSceneWorld.h"

namespace {

class DgApiBackend final : public PeerBackend {
public:
    explicit DgApiBackend(bool scalar) : m_world(dgApiWorldCreate(nullptr, nullptr)), m_scalar(scalar) {
        if (scalar) {
            dgApiWorldSetSimdMode(m_world, 0);
        }
    }
    ~DgApiBackend() override { dgApiWorldDestroy(m_world); }
    DgApiBackend(const DgApiBackend&) = delete;
    DgApiBackend& operator=(const DgApiBackend&) = delete;

    const char* Name() const override { return m_scalar ? "dgApi-scalar" : "dgApi"; }

    bool Build(const NamedScene& scene) override {
        if (!BuildNamedScene(m_world, scene, m_bodies)) {
            return false;
        }
        const int group = dgApiMaterialGetDefaultGroupId(m_world);
        dgApiMaterialSetCollisionCallback(m_world, group, group, this, nullptr, &DgApiBackend::CountContact,
                                          nullptr);
        if (scene.vehicle.chassis >= 0 && !BuildVehicle(scene.vehicle)) {
            return false;
        }
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

    void SetVehicleInputs(float driveTorque, float brakeTorque) override {
        m_driveTorque = driveTorque;
        m_brakeTorque = brakeTorque;
    }

    int SleepingCount() const override {
        int count = 0;
        for (size_t i = 0; i < m_bodies.size(); i++) {
            count += dgApiBodyGetUserData(m_bodies[i]) != nullptr && m_awake[i] == 0u ? 1 : 0;
        }
        return count;
    }

private:
    bool BuildVehicle(const SceneVehicle& desc) {
        const float up[3] = {0.0f, 1.0f, 0.0f};
        // A frozen chassis would never run its tire callback again: it stays awake, as Bullet's does, and
        // undamped, as Bullet's is (the default damping acts per sub-step and would cap the speed near 8 m/s).
        dgBody* chassis = m_bodies[desc.chassis];
        dgApiBodySetAutoFreeze(chassis, 0);
        dgApiBodySetLinearDamping(chassis, 0.0f);
        const float noDamping[3] = {0.0f, 0.0f, 0.0f};
        dgApiBodySetAngularDamping(chassis, noDamping);
        m_vehicle = dgApiVehicleCreate(m_world, up, chassis);
        if (m_vehicle == nullptr) {
            return false;
        }
        dgApiJointSetUserData(m_vehicle, this);
        for (int i = 0; i < SceneVehicle::kWheels; i++) {
            const float* p = desc.wheels[i];
            const float local[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, p[0], p[1], p[2], 1};
            const float pin[3] = {0.0f, 0.0f, 1.0f};
            m_tires[i] = dgApiVehicleAddTire(m_vehicle, local, pin, desc.wheelMass, desc.wheelWidth, desc.wheelRadius,
                                             desc.shock, desc.spring, desc.suspensionLength, nullptr, 0);
            m_driven[i] = desc.driven[i];
        }
        dgApiVehicleSetTireCallback(m_vehicle, &DgApiBackend::ApplyInputs);
        return true;
    }

    static void ApplyInputs(dgJointBase* vehicle) {
        auto* self = static_cast<DgApiBackend*>(dgApiJointGetUserData(vehicle));
        for (int i = 0; i < SceneVehicle::kWheels; i++) {
            dgVehicleTireHandle* tire = self->m_tires[i];
            // A tire rolling forward (+x) turns clockwise about its +z pin.
            dgApiVehicleSetTireTorque(vehicle, tire, self->m_driven[i] ? -self->m_driveTorque : 0.0f);
            if (self->m_brakeTorque > 0.0f) {
                dgApiVehicleSetTireBrakeAcceleration(vehicle, tire,
                                                     dgApiVehicleGetTireMaxBrakeAcceleration(vehicle, tire),
                                                     self->m_brakeTorque);
            }
        }
    }

    static void TrackActive(dgBody* body, unsigned state) {
        *static_cast<unsigned*>(dgApiBodyGetUserData(body)) = state;
    }

    static unsigned char CountContact(dgContactMaterial* contact, dgContactJoint*) {
        static_cast<DgApiBackend*>(dgApiContactGetUserData(contact))->m_contactCount++;
        return 1;
    }

    dgWorld* m_world;
    bool m_scalar;
    std::vector<dgBody*> m_bodies; ///< one per scene body, in the scene's order; the world owns them
    std::vector<unsigned> m_awake; ///< the last state each dynamic body's auto-active callback reported
    int m_contactCount = 0;
    dgJointBase* m_vehicle = nullptr;
    dgVehicleTireHandle* m_tires[SceneVehicle::kWheels] = {};
    bool m_driven[SceneVehicle::kWheels] = {};
    float m_driveTorque = 0.0f;
    float m_brakeTorque = 0.0f;
};

} // namespace

std::unique_ptr<PeerBackend> MakeDgApiBackend() {
    return std::make_unique<DgApiBackend>(false);
}

std::unique_ptr<PeerBackend> MakeDgApiScalarBackend() {
    return std::make_unique<DgApiBackend>(true);
}
