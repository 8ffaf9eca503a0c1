#pragma once

// Engine-neutral description of a benchmark scene: every back-end builds the same bodies from it, and the
// measurements read the same shapes back against the poses each engine reports.

#include <string>
#include <vector>

enum class PeerShape { kBox, kSphere };

/// Position and orientation of a body; axes[i] is the world direction of the body's local axis i.
struct PeerPose {
    float position[3];
    float axes[3][3];
};

/// One rigid body. A mass of 0 makes it static.
struct PeerBody {
    PeerShape shape;
    float size[3];     ///< box: full edge lengths; sphere: radius in size[0]
    float mass;        ///< kg
    float position[3]; ///< m
    float rotation[4]; ///< unit quaternion x, y, z, w
};

enum class PeerJointKind { kBall, kHinge };

/// A joint of the scene. The child's point at pivot is held on the parent's (or the world's) point there,
/// both as built; a limit of 0 is off.
struct PeerJoint {
    PeerJointKind kind;
    int child;        ///< index into the scene's bodies
    int parent;       ///< index into the scene's bodies; -1: the world
    float pivot[3];   ///< m, world space as built
    float pin[3];     ///< hinge axis, or the axis of a ball's cone and twist, world space as built
    float coneAngle;  ///< ball: largest swing of the pin, radians
    float twistAngle; ///< ball: largest twist about the pin each way, radians
};

/// Static triangle mesh: three floats per vertex, three indices per triangle, counter-clockwise seen from
/// the side the bodies rest on.
struct PeerTerrain {
    std::vector<float> vertices;
    std::vector<int> indices;
};

/// A named scene with the run it is measured over.
struct PeerScene {
    std::string name;
    std::vector<PeerBody> bodies;
    PeerTerrain terrain; ///< empty when the scene has none
    std::vector<PeerJoint> joints;
    int steps;     ///< steps of 1/60 s in a full run
    int driftFrom; ///< step whose poses the drift of resting bodies is measured from (0: as built)

    int DynamicCount() const;
    /// The pose a body was built with.
    static PeerPose InitialPose(const PeerBody& body);
};

/// Names of the scenes MakePeerScene knows, in the order the benchmark runs them.
const std::vector<std::string>& PeerSceneNames();

/// Builds the named scene; false for an unknown name.
bool MakePeerScene(const std::string& name, PeerScene& scene);
