#pragma once
// An 11-bone figure in a T-pose built through the flat interface, shared by the tests and the
// benchmarks: pelvis (root), spine, head, upper arm and forearm each side, thigh and shin each side;
// boxes whose masses sum to 70 kg, feet 0.1 above the figure's base height, arms out along +-x.

#include "physics/api/dgApi.h"
#include "support/JointScenes.h"

#include <array>

namespace ragdollscene {

using jointscene::Mat4;
using jointscene::Vec3;

enum BoneId {
    kPelvis = 1,
    kSpine,
    kHead,
    kUpperArmL,
    kForearmL,
    kUpperArmR,
    kForearmR,
    kThighL,
    kShinL,
    kThighR,
    kShinR
};

/// One bone: its frame in world space at base height 0 (front axis along the bone), box and mass.
struct BoneDesc {
    int m_id;
    int m_parent; ///< index into the table; -1 for the root
    float m_mass;
    Vec3 m_size; ///< length along the bone, then width and depth
    Vec3 m_front;
    Vec3 m_up;
    Vec3 m_origin; ///< the joint to the parent (the root's base)
};

inline constexpr int kBoneCount = 11;
inline constexpr float kFigureMass = 70.0f;

// Frames with right = front x up: along +y, +x, -x and -y.
inline constexpr Vec3 kUp = {0.0f, 1.0f, 0.0f};
inline constexpr Vec3 kDown = {0.0f, -1.0f, 0.0f};
inline constexpr Vec3 kLeft = {1.0f, 0.0f, 0.0f};
inline constexpr Vec3 kRight = {-1.0f, 0.0f, 0.0f};

inline const std::array<BoneDesc, kBoneCount>& FigureBones() {
    static const std::array<BoneDesc, kBoneCount> bones = {{
        {kPelvis, -1, 12.0f, {0.2f, 0.3f, 0.2f}, kUp, kRight, {0.0f, 1.0f, 0.0f}},
        {kSpine, 0, 20.0f, {0.5f, 0.35f, 0.2f}, kUp, kRight, {0.0f, 1.2f, 0.0f}},
        {kHead, 1, 5.0f, {0.25f, 0.2f, 0.2f}, kUp, kRight, {0.0f, 1.7f, 0.0f}},
        {kUpperArmL, 1, 2.5f, {0.3f, 0.1f, 0.1f}, kLeft, kUp, {0.2f, 1.6f, 0.0f}},
        {kForearmL, 3, 1.5f, {0.3f, 0.08f, 0.08f}, kLeft, kUp, {0.5f, 1.6f, 0.0f}},
        {kUpperArmR, 1, 2.5f, {0.3f, 0.1f, 0.1f}, kRight, kUp, {-0.2f, 1.6f, 0.0f}},
        {kForearmR, 5, 1.5f, {0.3f, 0.08f, 0.08f}, kRight, kUp, {-0.5f, 1.6f, 0.0f}},
        {kThighL, 0, 8.0f, {0.45f, 0.15f, 0.15f}, kDown, kLeft, {0.1f, 1.0f, 0.0f}},
        {kShinL, 7, 4.5f, {0.45f, 0.12f, 0.12f}, kDown, kLeft, {0.1f, 0.55f, 0.0f}},
        {kThighR, 0, 8.0f, {0.45f, 0.15f, 0.15f}, kDown, kLeft, {-0.1f, 1.0f, 0.0f}},
        {kShinR, 9, 4.5f, {0.45f, 0.12f, 0.12f}, kDown, kLeft, {-0.1f, 0.55f, 0.0f}},
    }};
    return bones;
}

inline Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

/// The bone's global frame with the figure's base at base.
inline Mat4 GlobalFrame(const BoneDesc& bone, const Vec3& base) {
    const Vec3 right = Cross(bone.m_front, bone.m_up);
    const Vec3& f = bone.m_front;
    const Vec3& u = bone.m_up;
    const Vec3& o = bone.m_origin;
    return {f[0],     f[1],     f[2],     0.0f, u[0],           u[1],           u[2],           0.0f,
            right[0], right[1], right[2], 0.0f, o[0] + base[0], o[1] + base[1], o[2] + base[2], 1.0f};
}

/// child * inverse(parent) for rigid frames.
inline Mat4 Relative(const Mat4& child, const Mat4& parent) {
    Mat4 out{};
    for (int r = 0; r < 4; r++) {
        const float w = r == 3 ? 1.0f : 0.0f;
        Vec3 p = {child[4 * r], child[4 * r + 1], child[4 * r + 2]};
        if (r == 3) {
            p = jointscene::Sub(p, jointscene::Row(parent, 3));
        }
        for (int c = 0; c < 3; c++) {
            out[4 * r + c] = jointscene::Dot(p, jointscene::Row(parent, c));
        }
        out[4 * r + 3] = w;
    }
    return out;
}

/// The figure in a ragdoll of the world, bones in table order; the force callback is the bones' weight.
/// When memory runs out on the way, the ragdoll or some bones are null.
struct Figure {
    dgRagDoll* m_ragdoll = nullptr;
    std::array<dgRagDollBone*, kBoneCount> m_bones{};

    Figure(dgWorld* world, const Vec3& base, dgRagDollTransformCallback report = nullptr) {
        m_ragdoll = dgApiRagDollCreate(world);
        if (m_ragdoll == nullptr) {
            return;
        }
        dgApiRagDollBegin(m_ragdoll);
        dgApiRagDollSetForceAndTorqueCallback(m_ragdoll, jointscene::Weight);
        dgApiRagDollSetTransformCallback(m_ragdoll, report);
        const auto& bones = FigureBones();
        for (int i = 0; i < kBoneCount; i++) {
            const BoneDesc& desc = bones[i];
            const Mat4 global = GlobalFrame(desc, base);
            const Mat4 local =
                desc.m_parent < 0 ? global : Relative(global, GlobalFrame(bones[desc.m_parent], base));
            dgCollision* box =
                dgApiCollisionCreateBox(world, desc.m_size[0], desc.m_size[1], desc.m_size[2], nullptr);
            dgRagDollBone* parent = desc.m_parent < 0 ? nullptr : m_bones[desc.m_parent];
            m_bones[i] = dgApiRagDollAddBone(m_ragdoll, parent, nullptr, desc.m_mass, local.data(), box,
                                             desc.m_size.data());
            dgApiCollisionRelease(world, box);
            if (m_bones[i] != nullptr) {
                dgApiRagDollBoneSetID(m_bones[i], desc.m_id);
            }
        }
        dgApiRagDollEnd(m_ragdoll);
    }
};

/// A static floor whose top face is y = 0.
inline dgBody* AddFloor(dgWorld* world) {
    dgCollision* box = dgApiCollisionCreateBox(world, 200.0f, 1.0f, 200.0f, nullptr);
    dgBody* floor = dgApiBodyCreate(world, box);
    dgApiCollisionRelease(world, box);
    const Mat4 matrix = jointscene::JointWorld::Translation({0.0f, -0.5f, 0.0f});
    dgApiBodySetMatrix(floor, matrix.data());
    return floor;
}

} // namespace ragdollscene
