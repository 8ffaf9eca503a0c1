#include "physics/dynamics/dgRagDoll.h"
#include "physics/dynamics/dgRagDollBone.h"
#include "physics/dynamics/dgWorld.h"
#include "support/RagDollScenes.h"
#include "support/SolverBuilds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using namespace ragdollscene;

constexpr float kDegree = 0.01745328f;
constexpr float kMatrixTolerance = 1.0e-5f;
// Limit rows are written from the pose and speeds at the start of a step; the first step past a limit
// carries the joint on by its relative speed. A joint already past one grows in a step by no more than
// its rows let through plus what they cannot see: each body turns about its own axis for the whole step,
// so the two turns differ from the relative turn by h^2/2 |omega0 x omega_rel| (BCH), and a landing makes
// those spins within the step. What the rows let through stays below 0.1 degrees (measured 0.04); the whole
// growth reached 1.5 degrees (cone) and 0.5 (twist) with spins of 18 rad/s, the overshoot 19 (degrees).
constexpr float kRowCreepBound = 0.1f;
constexpr float kConeCreepBound = 2.5f;
constexpr float kTwistCreepBound = 1.0f;
constexpr float kOvershootBound = 25.0f;
// Every bone sleeps within 8 s of the drop.
constexpr int kRestSteps = 480;

struct FigureWorld {
    jointscene::JointWorld m_scene;
    dgWorld* m_world = m_scene.m_world;
};

/// Cone angle (acos of front0 . front1) and twist (what is left once the swing is taken out).
struct JointPose {
    float m_cone;
    float m_twist;
};

JointPose PoseOf(const dgBallJoint* joint) {
    dgVector angles;
    dgMatrix matrix0;
    dgMatrix matrix1;
    joint->CalcGlobalFrames(angles, matrix0, matrix1);
    const float c = std::clamp(matrix0.front.DotProduct(matrix1.front), -1.0f, 1.0f);
    return {std::acos(c), std::fabs(dgBallJoint::TwistAngle(matrix0, matrix1))};
}

/// Steps the figure until every bone sleeps (at most maxSteps); the worst growth of a joint angle that
/// was past its limit at the start of a step, and the worst overshoot, in degrees.
struct RestRun {
    int m_steps = 0;
    bool m_asleep = false;
    float m_worstConeCreep = 0.0f;
    float m_worstTwistCreep = 0.0f;
    float m_worstRowCreep = 0.0f; ///< growth beyond the turn the bodies' spins make within the step
    float m_worstConeOvershoot = 0.0f;
    float m_worstTwistOvershoot = 0.0f;

    RestRun(FigureWorld& scene, Figure& figure, int maxSteps) {
        std::vector<dgBallJoint*> joints;
        for (dgRagDollBone* bone : figure.m_bones) {
            if (bone->m_joint != nullptr) {
                joints.push_back(bone->m_joint);
            }
        }
        for (m_steps = 0; m_steps < maxSteps && !m_asleep; m_steps++) {
            std::vector<JointPose> before;
            for (const dgBallJoint* joint : joints) {
                before.push_back(PoseOf(joint));
            }
            scene.m_scene.Step();
            for (std::size_t i = 0; i < joints.size(); i++) {
                const JointPose after = PoseOf(joints[i]);
                const dgVector omega0 = joints[i]->m_body0->m_omega;
                const dgVector spin = omega0.CrossProduct(joints[i]->m_body1->m_omega.Sub(omega0));
                const float unseen = 0.5f * jointscene::kStep * jointscene::kStep * std::sqrt(spin.DotProduct(spin)) / kDegree;
                Track(before[i].m_cone, after.m_cone, joints[i]->m_coneAngle, unseen, m_worstConeCreep);
                m_worstConeOvershoot =
                    std::max(m_worstConeOvershoot, (after.m_cone - joints[i]->m_coneAngle) / kDegree);
                Track(before[i].m_twist, after.m_twist, joints[i]->m_twistAngle, unseen, m_worstTwistCreep);
                m_worstTwistOvershoot =
                    std::max(m_worstTwistOvershoot, (after.m_twist - joints[i]->m_twistAngle) / kDegree);
            }
            m_asleep =
                std::all_of(figure.m_bones.begin(), figure.m_bones.end(), [](const dgRagDollBone* bone) {
                    return (bone->m_body->m_flags & dgBody::kActive) == 0;
                });
        }
    }

    void Track(float before, float after, float limit, float unseen, float& worstCreep) {
        if (before > limit) {
            const float growth = (after - before) / kDegree;
            worstCreep = std::max(worstCreep, growth);
            m_worstRowCreep = std::max(m_worstRowCreep, growth - unseen);
        }
    }
};

void ExpectMatrixNear(const dgMatrix& m, const Mat4& expected) {
    for (int r = 0; r < 4; r++) {
        const dgVector& row = m[r];
        const float values[4] = {row.x, row.y, row.z, row.w};
        for (int c = 0; c < 4; c++) {
            EXPECT_NEAR(values[c], expected[4 * r + c], kMatrixTolerance) << "row " << r << " col " << c;
        }
    }
}

} // namespace

TEST(dgRagDoll, FigureReadsBackItsFramesBonesBodiesAndJoints) {
    FigureWorld scene;
    const dgInt32 bodies = scene.m_world->GetBodyCount();
    const dgInt32 joints = scene.m_world->GetJointCount();
    const Vec3 base = {0.5f, 1.0f, -2.0f};
    Figure figure(scene.m_world, base);
    EXPECT_EQ(scene.m_world->GetBodyCount(), bodies + kBoneCount);
    EXPECT_EQ(scene.m_world->GetJointCount(), joints + kBoneCount - 1);

    const auto& bones = FigureBones();
    float mass = 0.0f;
    for (int i = 0; i < kBoneCount; i++) {
        const dgRagDollBone* bone = figure.m_bones[i];
        const BoneDesc& boneDesc = bones[i];
        const Mat4 global = GlobalFrame(boneDesc, base);
        ExpectMatrixNear(bone->GetGlobalMatrix(), global);
        ExpectMatrixNear(
            bone->GetLocalMatrix(),
            boneDesc.m_parent < 0 ? global : Relative(global, GlobalFrame(bones[boneDesc.m_parent], base)));
        EXPECT_EQ(figure.m_ragdoll->FindBone(static_cast<dgUnsigned32>(boneDesc.m_id)), bone);
        if (boneDesc.m_parent >= 0) {
            ASSERT_NE(bone->m_joint, nullptr);
            EXPECT_EQ(bone->m_joint->m_body0, figure.m_bones[boneDesc.m_parent]->m_body);
            EXPECT_EQ(bone->m_joint->m_body1, bone->m_body);
        }
        mass += bone->m_body->m_mass.w;
    }
    EXPECT_FLOAT_EQ(mass, kFigureMass);
    EXPECT_EQ(figure.m_ragdoll->FindBone(99), nullptr);
}

TEST(dgRagDoll, BoneInertiaIsThatOfALightenedBoxWithThinAxesRaised) {
    constexpr float k = 0.7f / 12.0f;
    const dgVector box = dgRagDoll::BoneInertia(1.0f, dgVector(2.0f, 1.0f, 1.0f, 0.0f));
    EXPECT_FLOAT_EQ(box.x, 2.0f * k);
    EXPECT_FLOAT_EQ(box.y, 5.0f * k);
    EXPECT_FLOAT_EQ(box.z, 5.0f * k);
    // Iyy and Izz tie as the largest; Iyy comes first and raises Ixx.
    const dgVector rod = dgRagDoll::BoneInertia(1.0f, dgVector(10.0f, 0.1f, 0.1f, 0.0f));
    EXPECT_FLOAT_EQ(rod.y, 100.01f * k);
    EXPECT_FLOAT_EQ(rod.z, rod.y);
    EXPECT_FLOAT_EQ(rod.x, 0.33f * rod.y);
}

BOTH_BUILDS_SUITE(dgRagDollStepping);

TEST_P(dgRagDollStepping, FigureDroppedOnAFloorRestsWithin8sWithItsLimitsHeld) {
    for (const bool narrowed : {false, true}) {
        FigureWorld scene;
        AddFloor(scene.m_world);
        Figure figure(scene.m_world, {0.0f, 1.0f, 0.0f});
        if (narrowed) {
            for (dgRagDollBone* forearm : {figure.m_bones[4], figure.m_bones[6]}) {
                const dgVector pin = forearm->GetGlobalMatrix().front;
                const float p[3] = {pin.x, pin.y, pin.z};
                dgApiRagDollBoneSetLimits(forearm, p, -60.0f * kDegree, 60.0f * kDegree, 20.0f * kDegree,
                                          nullptr, 0.0f, 0.0f);
                EXPECT_NEAR(forearm->m_joint->m_coneAngle, 60.0f * kDegree, 1e-5f);
            }
        }
        const RestRun run(scene, figure, kRestSteps);
        std::printf("[ figure ] narrowed %d: asleep %d after %.2f s, worst creep past the cone %.3f deg, "
                    "past the twist %.3f deg, beyond the spins' turn %.3f deg, worst overshoot cone %.3f deg "
                    "twist %.3f deg\n",
                    narrowed ? 1 : 0, run.m_asleep ? 1 : 0, static_cast<float>(run.m_steps) / 60.0f,
                    run.m_worstConeCreep, run.m_worstTwistCreep, run.m_worstRowCreep, run.m_worstConeOvershoot,
                    run.m_worstTwistOvershoot);
        EXPECT_TRUE(run.m_asleep) << "narrowed " << narrowed;
        EXPECT_LT(run.m_worstRowCreep, kRowCreepBound) << "narrowed " << narrowed;
        EXPECT_LT(run.m_worstConeCreep, kConeCreepBound) << "narrowed " << narrowed;
        EXPECT_LT(run.m_worstTwistCreep, kTwistCreepBound) << "narrowed " << narrowed;
        EXPECT_LT(std::max(run.m_worstConeOvershoot, run.m_worstTwistOvershoot), kOvershootBound)
            << "narrowed " << narrowed;
        for (const dgRagDollBone* bone : figure.m_bones) {
            EXPECT_GT(bone->GetGlobalMatrix().posit.y, -0.05f);
        }
    }
}

TEST_P(dgRagDollStepping, ReportsComeAfterTheSubStepsDynamicsLastMovedFirstAndNotWhileAsleep) {
    static FigureWorld* s_scene;
    static std::vector<const dgRagDollBone*> s_reports;
    static int s_wrongFlags;
    FigureWorld scene;
    s_scene = &scene;
    s_reports.clear();
    s_wrongFlags = 0;
    const auto report = [](dgRagDollBone* bone) {
        s_reports.push_back(bone);
        s_wrongFlags += s_scene->m_world->m_inStep != 0 || s_scene->m_world->m_inUpdate != 1 ||
                        dgApiWorldGetTimeStep(s_scene->m_world) != 0.5f / 60.0f;
    };
    Figure figure(scene.m_world, {0.0f, 5.0f, 0.0f}, report);
    dgApiWorldSetMinimumFrameRate(scene.m_world, 120.0f);
    scene.m_scene.Step(1);
    ASSERT_EQ(s_reports.size(), 2u * kBoneCount) << "two sub-steps, every bone once each";
    EXPECT_EQ(s_wrongFlags, 0);
    const dgBaseNode* node = figure.m_ragdoll->m_root->GetFirst();
    for (int i = 0; i < kBoneCount; i++, node = node->GetNext()) {
        EXPECT_EQ(s_reports[i], node) << "post-order";
    }

    // Of two queued ragdolls the later one is reported first.
    Figure second(scene.m_world, {3.0f, 5.0f, 0.0f}, report);
    s_reports.clear();
    scene.m_world->m_inUpdate = 1;
    dgRagDoll::BoneTransformHook(figure.m_bones[3]->m_body, nullptr);
    dgRagDoll::BoneTransformHook(second.m_bones[5]->m_body, nullptr);
    dgRagDoll::BoneTransformHook(figure.m_bones[0]->m_body, nullptr);
    scene.m_world->m_ragdolls.UpdateAll();
    scene.m_world->m_inUpdate = 0;
    ASSERT_EQ(s_reports.size(), 2u * kBoneCount);
    EXPECT_EQ(s_reports.front()->m_ragdoll, second.m_ragdoll);
    EXPECT_EQ(s_reports.back()->m_ragdoll, figure.m_ragdoll);

    for (const Figure* f : {&figure, &second}) {
        for (dgRagDollBone* bone : f->m_bones) {
            scene.m_world->FreezeBody(bone->m_body);
        }
    }
    s_reports.clear();
    scene.m_scene.Step(3);
    EXPECT_TRUE(s_reports.empty());
}
