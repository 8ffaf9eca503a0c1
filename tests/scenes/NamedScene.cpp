#include "scenes/NamedScene.h"

#include "support/RagDollScenes.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr float kUnitBox[3] = {1.0f, 1.0f, 1.0f};

/// Small deterministic generator, so that every engine and every run sees the same scene.
class SceneRandom {
public:
    explicit SceneRandom(std::uint64_t seed) : m_state(seed) {}
    /// Uniform in [lo, hi).
    float Uniform(float lo, float hi) {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return lo + (hi - lo) * static_cast<float>((m_state >> 40) * (1.0 / 16777216.0));
    }

private:
    std::uint64_t m_state;
};

SceneBody MakeBody(SceneShape shape, const float size[3], float mass, float x, float y, float z) {
    SceneBody body{};
    body.shape = shape;
    for (int i = 0; i < 3; i++) {
        body.size[i] = size[i];
    }
    body.mass = mass;
    body.position[0] = x;
    body.position[1] = y;
    body.position[2] = z;
    body.rotation[3] = 1.0f;
    return body;
}

/// A uniformly distributed orientation (Shoemake's subgroup algorithm).
void RandomRotation(SceneRandom& random, float q[4]) {
    const float u0 = random.Uniform(0.0f, 1.0f);
    const float a = 6.2831853f * random.Uniform(0.0f, 1.0f);
    const float b = 6.2831853f * random.Uniform(0.0f, 1.0f);
    const float r0 = std::sqrt(1.0f - u0);
    const float r1 = std::sqrt(u0);
    q[0] = r0 * std::sin(a);
    q[1] = r0 * std::cos(a);
    q[2] = r1 * std::sin(b);
    q[3] = r1 * std::cos(b);
}

void AddFloor(NamedScene& scene) {
    const float size[3] = {100.0f, 1.0f, 100.0f};
    scene.bodies.push_back(MakeBody(SceneShape::kBox, size, 0.0f, 0.0f, -0.5f, 0.0f));
}

/// A 4 x 1 x 2 m chassis of 1000 kg (x forward) on four 20 kg wheels of radius 0.35 m, rear-driven, with
/// its wheels just touching the floor.
void MakeCar(NamedScene& scene) {
    AddFloor(scene);
    constexpr float kRadius = 0.35f;
    constexpr float kHang = 0.5f;
    const float size[3] = {4.0f, 1.0f, 2.0f};
    scene.bodies.push_back(MakeBody(SceneShape::kBox, size, 1000.0f, 0.0f, kHang + kRadius, 0.0f));
    SceneVehicle& v = scene.vehicle;
    v.chassis = 1;
    const float wheels[SceneVehicle::kWheels][3] = {
        {1.3f, -kHang, 0.9f}, {1.3f, -kHang, -0.9f}, {-1.3f, -kHang, 0.9f}, {-1.3f, -kHang, -0.9f}};
    for (int i = 0; i < SceneVehicle::kWheels; i++) {
        for (int k = 0; k < 3; k++) {
            v.wheels[i][k] = wheels[i][k];
        }
        v.driven[i] = wheels[i][0] < 0.0f;
    }
    v.wheelRadius = kRadius;
    v.wheelWidth = 0.25f;
    v.wheelMass = 20.0f;
    v.spring = 150.0f;
    v.shock = 10.0f;
    v.suspensionLength = 0.3f;
    // The rows' rest condition at 1/180 s sub-steps under g = 9.81.
    v.staticSag = 0.178f;
    v.tireFriction = 2.0f * kSceneFriction;
    v.driveTorque = 600.0f;
    v.brakeTorque = 5000.0f;
    v.settleSteps = 180;
    scene.steps = 900;
}

/// Rows of unit boxes in one plane, each row one box shorter and centred on the gaps of the row below.
void MakePyramid(NamedScene& scene, int rows) {
    constexpr float kSpacing = 1.05f;
    AddFloor(scene);
    for (int row = 0; row < rows; row++) {
        const int count = rows - row;
        for (int i = 0; i < count; i++) {
            const float x = (static_cast<float>(i) - 0.5f * static_cast<float>(count - 1)) * kSpacing;
            scene.bodies.push_back(
                MakeBody(SceneShape::kBox, kUnitBox, 1.0f, x, 0.5f + static_cast<float>(row), 0.0f));
        }
    }
}

void MakeTower(NamedScene& scene, int height) {
    AddFloor(scene);
    for (int i = 0; i < height; i++) {
        scene.bodies.push_back(
            MakeBody(SceneShape::kBox, kUnitBox, 1.0f, 0.0f, 0.5f + static_cast<float>(i), 0.0f));
    }
}

/// A side x side x side grid of randomly turned bodies, 2 m apart (more than a unit box's diagonal, so
/// none overlap at the start), its lowest layer at height y0.
void AddRain(NamedScene& scene, int side, float y0, bool withSpheres) {
    constexpr float kSpacing = 2.0f;
    constexpr float kSphereSize[3] = {0.5f, 0.5f, 0.5f};
    SceneRandom random(0x5eed1234abcdull);
    const float half = 0.5f * static_cast<float>(side - 1) * kSpacing;
    for (int k = 0; k < side; k++) {
        for (int j = 0; j < side; j++) {
            for (int i = 0; i < side; i++) {
                const bool sphere = withSpheres && ((i + j + k) & 1) != 0;
                const float x = static_cast<float>(i) * kSpacing - half + random.Uniform(-0.1f, 0.1f);
                const float z = static_cast<float>(j) * kSpacing - half + random.Uniform(-0.1f, 0.1f);
                const float y = y0 + static_cast<float>(k) * kSpacing;
                SceneBody body = sphere ? MakeBody(SceneShape::kSphere, kSphereSize, 1.0f, x, y, z)
                                        : MakeBody(SceneShape::kBox, kUnitBox, 1.0f, x, y, z);
                RandomRotation(random, body.rotation);
                scene.bodies.push_back(body);
            }
        }
    }
}

/// Rolling hills over cells x cells squares of 1 m centred on the origin, two triangles per square.
void MakeTerrain(SceneTerrain& terrain, int cells) {
    const float half = 0.5f * static_cast<float>(cells);
    const int row = cells + 1;
    for (int j = 0; j <= cells; j++) {
        for (int i = 0; i <= cells; i++) {
            const float x = static_cast<float>(i) - half;
            const float z = static_cast<float>(j) - half;
            terrain.vertices.push_back(x);
            terrain.vertices.push_back(0.8f * std::sin(0.35f * x) * std::cos(0.3f * z));
            terrain.vertices.push_back(z);
        }
    }
    for (int j = 0; j < cells; j++) {
        for (int i = 0; i < cells; i++) {
            const int v = j * row + i;
            // (b - a) x (c - a) points up for both triangles.
            const int triangles[6] = {v, v + row, v + 1, v + 1, v + row, v + row + 1};
            terrain.indices.insert(terrain.indices.end(), triangles, triangles + 6);
        }
    }
}

/// links boxes of 0.1 x 0.1 x 0.4 m and 1 kg laid end to end along +x from the anchor and joined at their
/// shared ends, the first to the world at the anchor: by ball joints, or by hinges about z.
void MakeChain(NamedScene& scene, int links, float anchorY, SceneJointKind kind) {
    constexpr float kLinkSize[3] = {0.4f, 0.1f, 0.1f};
    for (int i = 0; i < links; i++) {
        const float x0 = kLinkSize[0] * static_cast<float>(i);
        scene.bodies.push_back(
            MakeBody(SceneShape::kBox, kLinkSize, 1.0f, x0 + 0.5f * kLinkSize[0], anchorY, 0.0f));
        SceneJoint joint{};
        joint.kind = kind;
        joint.child = i;
        joint.parent = i - 1;
        joint.pivot[0] = x0;
        joint.pivot[1] = anchorY;
        joint.pin[kind == SceneJointKind::kHinge ? 2 : 0] = 1.0f;
        scene.joints.push_back(joint);
    }
}

/// The unit quaternion (x, y, z, w) of the rotation whose columns are the world directions of the body's
/// axes.
void QuaternionFromAxes(const ragdollscene::Vec3 axes[3], float q[4]) {
    const float m[3][3] = {{axes[0][0], axes[1][0], axes[2][0]},
                           {axes[0][1], axes[1][1], axes[2][1]},
                           {axes[0][2], axes[1][2], axes[2][2]}};
    const float trace = m[0][0] + m[1][1] + m[2][2];
    if (trace > 0.0f) {
        const float s = 2.0f * std::sqrt(trace + 1.0f);
        q[0] = (m[2][1] - m[1][2]) / s;
        q[1] = (m[0][2] - m[2][0]) / s;
        q[2] = (m[1][0] - m[0][1]) / s;
        q[3] = 0.25f * s;
        return;
    }
    int i = m[1][1] > m[0][0] ? 1 : 0;
    i = m[2][2] > m[i][i] ? 2 : i;
    const int j = (i + 1) % 3;
    const int k = (i + 2) % 3;
    const float s = 2.0f * std::sqrt(1.0f + m[i][i] - m[j][j] - m[k][k]);
    q[i] = 0.25f * s;
    q[j] = (m[j][i] + m[i][j]) / s;
    q[k] = (m[k][i] + m[i][k]) / s;
    q[3] = (m[k][j] - m[j][k]) / s;
}

/// The base of figure i of a pile of figures in a grid of 4 columns and 5 rows, their bases from 2 m up to
/// 6 m. Arms out reach 0.8 m each way: columns 1.8 m apart and rows 0.6 m apart start clear of each other.
ragdollscene::Vec3 PileBase(int i, int figures) {
    constexpr int kColumns = 4;
    constexpr float kColumnSpacing = 1.8f;
    constexpr float kRowSpacing = 0.6f;
    return {(static_cast<float>(i % kColumns) - 1.5f) * kColumnSpacing,
            2.0f + 4.0f * static_cast<float>(i) / static_cast<float>(figures - 1),
            (static_cast<float>(i / kColumns) - 2.0f) * kRowSpacing};
}

/// The tests' pile of 11-bone figures: each bone a box, each joint a ball with the ragdoll's quarter-turn
/// cone and twist about the bone.
void MakeRagdollPile(NamedScene& scene) {
    constexpr float kQuarterTurn = 1.570795f;
    constexpr int kFigures = 20;
    AddFloor(scene);
    scene.ragdolls = true;
    const auto& bones = ragdollscene::FigureBones();
    for (int f = 0; f < kFigures; f++) {
        const ragdollscene::Vec3 base = PileBase(f, kFigures);
        const int first = static_cast<int>(scene.bodies.size());
        for (const ragdollscene::BoneDesc& bone : bones) {
            const ragdollscene::Vec3 axes[3] = {bone.m_front, bone.m_up,
                                                ragdollscene::Cross(bone.m_front, bone.m_up)};
            const float origin[3] = {bone.m_origin[0] + base[0], bone.m_origin[1] + base[1],
                                     bone.m_origin[2] + base[2]};
            const float half = 0.5f * bone.m_size[0];
            SceneBody body =
                MakeBody(SceneShape::kBox, bone.m_size.data(), bone.m_mass, origin[0] + half * axes[0][0],
                         origin[1] + half * axes[0][1], origin[2] + half * axes[0][2]);
            QuaternionFromAxes(axes, body.rotation);
            if (bone.m_parent >= 0) {
                SceneJoint joint{};
                joint.kind = SceneJointKind::kBall;
                joint.child = static_cast<int>(scene.bodies.size());
                joint.parent = first + bone.m_parent;
                for (int k = 0; k < 3; k++) {
                    joint.pivot[k] = origin[k];
                    joint.pin[k] = axes[0][k];
                }
                joint.coneAngle = kQuarterTurn;
                joint.twistAngle = kQuarterTurn;
                scene.joints.push_back(joint);
            }
            scene.bodies.push_back(body);
        }
    }
}

} // namespace

int NamedScene::DynamicCount() const {
    int count = 0;
    for (const SceneBody& body : bodies) {
        count += body.mass > 0.0f ? 1 : 0;
    }
    return count;
}

ScenePose NamedScene::InitialPose(const SceneBody& body) {
    const float x = body.rotation[0], y = body.rotation[1], z = body.rotation[2], w = body.rotation[3];
    ScenePose pose{};
    for (int i = 0; i < 3; i++) {
        pose.position[i] = body.position[i];
    }
    pose.axes[0][0] = 1.0f - 2.0f * (y * y + z * z);
    pose.axes[0][1] = 2.0f * (x * y + z * w);
    pose.axes[0][2] = 2.0f * (x * z - y * w);
    pose.axes[1][0] = 2.0f * (x * y - z * w);
    pose.axes[1][1] = 1.0f - 2.0f * (x * x + z * z);
    pose.axes[1][2] = 2.0f * (y * z + x * w);
    pose.axes[2][0] = 2.0f * (x * z + y * w);
    pose.axes[2][1] = 2.0f * (y * z - x * w);
    pose.axes[2][2] = 1.0f - 2.0f * (x * x + y * y);
    return pose;
}

std::vector<ScenePose> NamedScene::InitialPoses() const {
    std::vector<ScenePose> poses;
    for (const SceneBody& body : bodies) {
        poses.push_back(InitialPose(body));
    }
    return poses;
}

unsigned long long HashPoses(const std::vector<ScenePose>& poses) {
    unsigned long long hash = 14695981039346656037ull;
    for (const ScenePose& pose : poses) {
        unsigned char bytes[sizeof(ScenePose)];
        std::memcpy(bytes, &pose, sizeof(ScenePose));
        for (unsigned char byte : bytes) {
            hash = (hash ^ byte) * 1099511628211ull;
        }
    }
    return hash;
}

const std::vector<std::string>& NamedSceneNames() {
    static const std::vector<std::string> names = {"pyramid_20",     "tower_10",  "rain_1000",
                                                   "rain_soup_1000", "chain_100", "hinge_chain_100",
                                                   "ragdoll_pile_20", "vehicle_4"};
    return names;
}

bool MakeNamedScene(const std::string& name, NamedScene& scene) {
    scene = NamedScene{};
    scene.name = name;
    // Stacks start touching; their first second of settling under load is left out of the drift.
    scene.steps = 600;
    scene.driftFrom = 60;
    if (name == "pyramid_20") {
        MakePyramid(scene, 20);
    } else if (name == "tower_10") {
        MakeTower(scene, 10);
    } else if (name == "rain_1000") {
        AddFloor(scene);
        AddRain(scene, 10, 3.0f, false);
        scene.steps = 720;
        scene.driftFrom = 480;
    } else if (name == "rain_soup_1000") {
        MakeTerrain(scene.terrain, 64);
        AddRain(scene, 10, 4.0f, true);
        scene.steps = 720;
        scene.driftFrom = 480;
    } else if (name == "chain_100") {
        // Released horizontally, high enough that the hanging chain meets nothing.
        MakeChain(scene, 100, 50.0f, SceneJointKind::kBall);
    } else if (name == "hinge_chain_100") {
        MakeChain(scene, 100, 50.0f, SceneJointKind::kHinge);
    } else if (name == "vehicle_4") {
        MakeCar(scene);
    } else if (name == "ragdoll_pile_20") {
        MakeRagdollPile(scene);
        scene.driftFrom = 480;
    } else {
        return false;
    }
    return true;
}
