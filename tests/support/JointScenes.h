#pragma once
// Jointed scenes built through the flat interface only, shared by the tests and the benchmarks: a world
// under g = 9.81 without damping, pendulum bobs and a chain of boxes joined end to end by ball joints.

#include "physics/api/dgApi.h"

#include <array>
#include <cmath>
#include <vector>

namespace jointscene {

using Vec3 = std::array<float, 3>;
using Mat4 = std::array<float, 16>;

inline constexpr float kGravity = 9.81f;
inline constexpr float kStep = 1.0f / 60.0f;
inline constexpr float kPi = 3.14159265358979f;

inline Vec3 Sub(const Vec3& a, const Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

inline float Dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

inline float Length(const Vec3& a) {
    return std::sqrt(Dot(a, a));
}

inline Mat4 Matrix(const dgBody* body) {
    Mat4 m;
    dgApiBodyGetMatrix(body, m.data());
    return m;
}

/// Row i (0 front, 1 up, 2 right, 3 position) of a matrix.
inline Vec3 Row(const Mat4& m, int i) {
    return {m[4 * i], m[4 * i + 1], m[4 * i + 2]};
}

inline Vec3 Position(const dgBody* body) {
    return Row(Matrix(body), 3);
}

/// The global point p expressed in the body's space.
inline Vec3 ToLocal(const dgBody* body, const Vec3& p) {
    const Mat4 m = Matrix(body);
    const Vec3 d = Sub(p, Row(m, 3));
    return {Dot(d, Row(m, 0)), Dot(d, Row(m, 1)), Dot(d, Row(m, 2))};
}

/// The body-space point local in world space.
inline Vec3 ToGlobal(const dgBody* body, const Vec3& local) {
    const Mat4 m = Matrix(body);
    Vec3 p = Row(m, 3);
    for (int i = 0; i < 3; i++) {
        const Vec3 axis = Row(m, i);
        for (int k = 0; k < 3; k++) {
            p[k] += local[i] * axis[k];
        }
    }
    return p;
}

/// Force callback: the body's weight along -y (bodies of infinite mass have none).
inline void Weight(dgBody* body) {
    float inverse[4];
    dgApiBodyGetInvMass(body, &inverse[0], &inverse[1], &inverse[2], &inverse[3]);
    if (inverse[0] > 0.0f) {
        const Vec3 weight = {0.0f, -kGravity / inverse[0], 0.0f};
        dgApiBodyAddForce(body, weight.data());
    }
}

/// A world whose bodies fall under g and keep their motion; the world goes with the scene.
class JointWorld {
public:
    dgWorld* m_world = nullptr;
    float m_damping = 0.0f; ///< linear and angular damping of the bodies added from now on, in [0, 1]

    explicit JointWorld(dgMallocCallback allocate = nullptr, dgFreeCallback release = nullptr)
        : m_world(dgApiWorldCreate(allocate, release)) {
        const Vec3 lo = {-1000.0f, -1000.0f, -1000.0f};
        const Vec3 hi = {1000.0f, 1000.0f, 1000.0f};
        dgApiWorldSetSize(m_world, lo.data(), hi.data());
    }
    ~JointWorld() { dgApiWorldDestroy(m_world); }
    JointWorld(const JointWorld&) = delete;
    JointWorld& operator=(const JointWorld&) = delete;

    /// A body of the shape and mass with the given principal inertias at the matrix, under gravity,
    /// damped by m_damping and never put to sleep.
    dgBody* AddBody(dgCollision* shape, float mass, const Vec3& inertia, const Mat4& matrix) {
        dgBody* body = dgApiBodyCreate(m_world, shape);
        dgApiCollisionRelease(m_world, shape);
        dgApiBodySetMassMatrix(body, mass, inertia[0], inertia[1], inertia[2]);
        dgApiBodySetMatrix(body, matrix.data());
        dgApiBodySetForceAndTorqueCallback(body, Weight);
        dgApiBodySetLinearDamping(body, m_damping);
        const Vec3 damping = {m_damping, m_damping, m_damping};
        dgApiBodySetAngularDamping(body, damping.data());
        dgApiBodySetAutoFreeze(body, 0);
        return body;
    }

    /// A solid sphere centred at position.
    dgBody* AddSphere(float radius, float mass, const Vec3& position) {
        dgCollision* shape = dgApiCollisionCreateSphere(m_world, radius, radius, radius, nullptr);
        const float inertia = 0.4f * mass * radius * radius;
        return AddBody(shape, mass, {inertia, inertia, inertia}, Translation(position));
    }

    /// A solid box of the edge lengths at the matrix.
    dgBody* AddBox(const Vec3& size, float mass, const Mat4& matrix) {
        dgCollision* shape = dgApiCollisionCreateBox(m_world, size[0], size[1], size[2], nullptr);
        const float k = mass / 12.0f;
        const Vec3 inertia = {k * (size[1] * size[1] + size[2] * size[2]),
                              k * (size[0] * size[0] + size[2] * size[2]),
                              k * (size[0] * size[0] + size[1] * size[1])};
        return AddBody(shape, mass, inertia, matrix);
    }

    void Step(int count = 1) {
        for (int i = 0; i < count; i++) {
            dgApiWorldUpdate(m_world, kStep);
        }
    }

    static Mat4 Translation(const Vec3& p) {
        return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, p[0], p[1], p[2], 1};
    }
};

/// Rotation about z by angle placed at p.
inline Mat4 RotationZ(float angle, const Vec3& p) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    return {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, p[0], p[1], p[2], 1};
}

/// A 1 kg 0.1 x 1 x 0.1 m rod hanging from a world hinge at the origin about pin, turned by angle about
/// z from straight down; its long axis is its up axis.
struct HingedRod {
    JointWorld m_scene;
    dgBody* m_rod;
    dgJointBase* m_hinge;

    explicit HingedRod(float angle, const Vec3& pin = {0.0f, 0.0f, 1.0f}) {
        const Vec3 centre = {0.5f * std::sin(angle), -0.5f * std::cos(angle), 0.0f};
        m_rod = m_scene.AddBox({0.1f, 1.0f, 0.1f}, 1.0f, RotationZ(angle, centre));
        const Vec3 pivot = {0.0f, 0.0f, 0.0f};
        m_hinge = dgApiJointCreateHinge(m_scene.m_world, pivot.data(), pin.data(), m_rod, nullptr);
    }
};

/// The moment of inertia about the pivot of a bob whose centre is length from it, from the inertia
/// the body really has (the interface holds inertias within a factor 100 of the mass).
inline float PivotInertia(const dgBody* bob, float length) {
    float invMass;
    float invIxx;
    float invIyy;
    float invIzz;
    dgApiBodyGetInvMass(bob, &invMass, &invIxx, &invIyy, &invIzz);
    return length * length / invMass + 1.0f / invIzz;
}

/// A point fixed in a body, with where it should be (a fixed world point, or a point of a second body).
struct PivotPair {
    dgBody* m_body0;
    Vec3 m_local0;
    dgBody* m_body1; ///< null: m_local1 is a world point
    Vec3 m_local1;

    float Separation() const {
        const Vec3 p0 = ToGlobal(m_body0, m_local0);
        const Vec3 p1 = m_body1 != nullptr ? ToGlobal(m_body1, m_local1) : m_local1;
        return Length(Sub(p0, p1));
    }
};

/// A 1 kg sphere bob of radius 0.05 m hanging 1 m below a pivot at the origin, released at angle from
/// the vertical in the x-y plane; the joint is a ball joint unless the caller makes its own.
struct Pendulum {
    static constexpr float kBobRadius = 0.05f;

    JointWorld m_scene;
    dgBody* m_bob;
    dgJointBase* m_joint = nullptr;
    PivotPair m_pivot;

    explicit Pendulum(float angle, bool ballJoint = true) {
        m_bob = m_scene.AddSphere(kBobRadius, 1.0f, {std::sin(angle), -std::cos(angle), 0.0f});
        const Vec3 pivot = {0.0f, 0.0f, 0.0f};
        if (ballJoint) {
            m_joint = dgApiJointCreateBall(m_scene.m_world, pivot.data(), m_bob, nullptr);
        }
        m_pivot = {m_bob, ToLocal(m_bob, pivot), nullptr, pivot};
    }

    /// Angle of the bob from the hanging direction.
    float SwingAngle() const {
        const Vec3 p = Position(m_bob);
        return std::acos(-p[1] / Length(p));
    }

    /// The period from the first ten times the bob crosses the vertical, stepping at most 12 s; the
    /// largest pivot separation seen in the first 10 s goes to largestSeparation. 0 with fewer crossings.
    float MeasurePeriod(float& largestSeparation) {
        std::vector<float> crossings;
        float lastX = Position(m_bob)[0];
        largestSeparation = 0.0f;
        for (int step = 1; step <= 720 && (crossings.size() < 10 || step <= 600); step++) {
            m_scene.Step();
            const float x = Position(m_bob)[0];
            if ((x > 0.0f) != (lastX > 0.0f)) {
                crossings.push_back((static_cast<float>(step) - x / (x - lastX)) * kStep);
            }
            lastX = x;
            if (step <= 600) {
                largestSeparation = std::fmax(largestSeparation, m_pivot.Separation());
            }
        }
        return crossings.size() < 10 ? 0.0f : 2.0f * (crossings[9] - crossings[0]) / 9.0f;
    }

    /// 2 pi sqrt(I_p / (m g L)) with the bob's own inertia.
    float ClosedFormPeriod() const { return 2.0f * kPi * std::sqrt(PivotInertia(m_bob, 1.0f) / kGravity); }
};

/// links boxes of size x size x length laid end to end along +x from the anchor, the first tied to
/// the world at the anchor, each next one to the one before at their shared end by a ball joint.
class Chain {
public:
    static constexpr float kWidth = 0.1f;
    static constexpr float kLength = 0.4f;

    std::vector<dgBody*> m_links;
    std::vector<dgJointBase*> m_joints;
    std::vector<PivotPair> m_pivots;
    Vec3 m_anchor;

    Chain(JointWorld& scene, int links, const Vec3& anchor) : m_anchor(anchor) {
        // The box's long axis is its front (x) axis.
        for (int i = 0; i < links; i++) {
            const float x0 = anchor[0] + kLength * static_cast<float>(i);
            const Vec3 centre = {x0 + 0.5f * kLength, anchor[1], anchor[2]};
            dgBody* link = scene.AddBox({kLength, kWidth, kWidth}, 1.0f, JointWorld::Translation(centre));
            const Vec3 pivot = {x0, anchor[1], anchor[2]};
            dgBody* parent = i == 0 ? nullptr : m_links.back();
            m_joints.push_back(dgApiJointCreateBall(scene.m_world, pivot.data(), link, parent));
            m_pivots.push_back(
                {link, ToLocal(link, pivot), parent, parent != nullptr ? ToLocal(parent, pivot) : pivot});
            m_links.push_back(link);
        }
    }

    float Length() const { return kLength * static_cast<float>(m_links.size()); }

    float LargestSeparation() const {
        float largest = 0.0f;
        for (const PivotPair& pair : m_pivots) {
            largest = std::fmax(largest, pair.Separation());
        }
        return largest;
    }

    /// The free end of the last link, world space.
    Vec3 FreeEnd() const { return ToGlobal(m_links.back(), {0.5f * kLength, 0.0f, 0.0f}); }
};

} // namespace jointscene
