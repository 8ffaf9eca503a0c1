#pragma once

// The named scenes, written once and engine-neutral: tests, this engine's benchmarks and every back-end of
// the peer benchmark build the same bodies from one description, and measurements read the same shapes
// back against the poses each engine reports.

#include <string>
#include <vector>

enum class SceneShape { kBox, kSphere };

/// Position and orientation of a body; axes[i] is the world direction of the body's local axis i.
struct ScenePose {
    float position[3];
    float axes[3][3];
};

/// One rigid body. A mass of 0 makes it static.
struct SceneBody {
    SceneShape shape;
    float size[3];     ///< box: full edge lengths; sphere: radius in size[0]
    float mass;        ///< kg
    float position[3]; ///< m
    float rotation[4]; ///< unit quaternion x, y, z, w
};

enum class SceneJointKind { kBall, kHinge };

/// A joint of the scene. The child's point at pivot is held on the parent's (or the world's) point there,
/// both as built; a limit of 0 is off.
struct SceneJoint {
    SceneJointKind kind;
    int child;        ///< index into the scene's bodies
    int parent;       ///< index into the scene's bodies; -1: the world
    float pivot[3];   ///< m, world space as built
    float pin[3];     ///< hinge axis, or the axis of a ball's cone and twist, world space as built
    float coneAngle;  ///< ball: largest swing of the pin, radians
    float twistAngle; ///< ball: largest twist about the pin each way, radians
};

/// Static triangle mesh: three floats per vertex, three indices per triangle, counter-clockwise seen from
/// the side the bodies rest on.
struct SceneTerrain {
    std::vector<float> vertices;
    std::vector<int> indices;
};

/// A four-wheeled car on one of the scene's bodies: each wheel's centre (unloaded) in the chassis frame, its
/// suspension along the chassis's -y, its spin about the chassis's z. The run rests, drives the driven
/// wheels to 10 m/s and then brakes every wheel to a stop.
struct SceneVehicle {
    static constexpr int kWheels = 4;
    int chassis = -1; ///< index into the scene's bodies; -1: the scene has no vehicle
    float wheels[kWheels][3] = {};
    bool driven[kWheels] = {};
    float wheelRadius = 0.0f;
    float wheelWidth = 0.0f;
    float wheelMass = 0.0f;
    float spring = 0.0f; ///< this engine's suspension row: spring and shock as accelerations
    float shock = 0.0f;
    float suspensionLength = 0.0f; ///< m of travel
    float staticSag = 0.0f;        ///< m the suspension sinks under the resting chassis in this engine
    float tireFriction = 0.0f;     ///< the sliding tire's longitudinal friction coefficient in this engine
    float driveTorque = 0.0f;      ///< N·m on each driven wheel
    float brakeTorque = 0.0f;      ///< N·m on every wheel
    int settleSteps = 0;           ///< steps at rest before the drive
};

/// A named scene with the run it is measured over.
struct NamedScene {
    std::string name;
    std::vector<SceneBody> bodies;
    SceneTerrain terrain; ///< empty when the scene has none
    std::vector<SceneJoint> joints;
    int steps;     ///< steps of 1/60 s in a full run
    int driftFrom; ///< step whose poses the drift of resting bodies is measured from (0: as built)
    /// The ball joints tie the bones of ragdolls: each body that is no joint's child roots a tree, and a
    /// bone's frame has its origin at its joint, half its length back along its x axis. An engine with
    /// ragdolls builds the trees through them.
    bool ragdolls = false;
    SceneVehicle vehicle;

    int DynamicCount() const;
    /// The pose a body was built with.
    static ScenePose InitialPose(const SceneBody& body);
    /// Every body's pose as built, in the scene's order.
    std::vector<ScenePose> InitialPoses() const;
};

/// FNV-1a over the bits of every pose: equal poses, bit for bit, give equal hashes.
unsigned long long HashPoses(const std::vector<ScenePose>& poses);

/// Names of the scenes MakeNamedScene knows, in the order the benchmark runs them.
const std::vector<std::string>& NamedSceneNames();

/// Builds the named scene; false for an unknown name.
bool MakeNamedScene(const std::string& name, NamedScene& scene);

/// The world every engine builds a scene in: gravity in m/s^2, along -y.
constexpr float kSceneGravity = 9.81f;
/// Coulomb friction of every touching pair; restitution is 0 (or the engine's least).
constexpr float kSceneFriction = 0.7f;
constexpr float kSceneStep = 1.0f / 60.0f;

/// Principal inertias of a solid body of uniform density about its centre, in its own axes.
inline void SceneInertia(const SceneBody& body, float inertia[3]) {
    if (body.shape == SceneShape::kSphere) {
        const float r = body.size[0];
        inertia[0] = inertia[1] = inertia[2] = 0.4f * body.mass * r * r;
        return;
    }
    const float x2 = body.size[0] * body.size[0];
    const float y2 = body.size[1] * body.size[1];
    const float z2 = body.size[2] * body.size[2];
    inertia[0] = body.mass * (y2 + z2) / 12.0f;
    inertia[1] = body.mass * (x2 + z2) / 12.0f;
    inertia[2] = body.mass * (x2 + y2) / 12.0f;
}
