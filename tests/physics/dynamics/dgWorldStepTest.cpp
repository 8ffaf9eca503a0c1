#include "WorldTestSupport.h"

#include "physics/dynamics/dgWorld.h"
#include "support/SolverBuilds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#if defined(__i386__) || defined(__x86_64__)
#include <fpu_control.h>
#endif

namespace {
struct WorldDeleter {
    void operator()(dgWorld* world) const { delete world; }
};

constexpr dgFloat32 kStep = 1.0f / 120.0f;

dgWorld* s_world = nullptr;
dgBody* s_victim = nullptr;
dgJointBase* s_joint = nullptr;
dgFloat32 s_stepSeen = 0.0f;
bool s_inStepSeen = false;
unsigned s_precisionSeen = 0xFFFF;

/// Logs the call, notes what the step looks like from inside, and on the first call destroys the
/// joint and the victim body, which may be the caller itself.
void ForceAndDestroy(dgBody* body) {
    CallbackLog::s_events.push_back("force body " + CallbackLog::Name(body->m_userData));
    s_stepSeen = s_world->GetTimeStep();
    s_inStepSeen = s_world->m_inStep != 0 && s_world->m_inUpdate != 0;
#if defined(__i386__) || defined(__x86_64__)
    fpu_control_t word;
    _FPU_GETCW(word);
    s_precisionSeen = word & _FPU_EXTENDED;
#endif
    if (s_joint != nullptr) {
        s_world->DestroyJoint(s_joint);
        s_world->DestroyBody(s_victim);
        s_world->DestroyBody(s_victim);
        s_joint = nullptr;
    }
}

class dgWorldStep : public BothBuilds {
protected:
    void SetUp() override {
        CallbackLog::Clear();
        m_world.reset(new dgWorld);
        m_shape = MakeTestShape();
        s_world = m_world.get();
    }
    void TearDown() override {
        m_world.reset();
        dgRefRelease(m_shape);
    }

    dgBody* AddBody(std::uintptr_t id, dgFloat32 x) {
        dgBody* body = m_world->CreateBody(m_shape);
        body->m_userData = CallbackLog::Tag(id);
        body->m_destructor = CallbackLog::BodyDestroyed;
        body->m_forceAndTorque = ForceAndDestroy;
        MakeDynamic(body);
        dgMatrix matrix = dgGetIdentityMatrix();
        matrix.posit = dgVector(x, 0.0f, 0.0f, 1.0f);
        body->SetMatrix(matrix);
        return body;
    }

    TestJoint m_joint;
    std::unique_ptr<dgWorld, WorldDeleter> m_world;
    dgCollision* m_shape = nullptr;
};
} // namespace

INSTANTIATE_BOTH_BUILDS(dgWorldStep);

TEST_P(dgWorldStep, DestructionFromAForceCallbackWaitsForTheEndOfTheSubStepJointsFirst) {
    dgBody* a = AddBody(1, 0.0f);
    dgBody* b = AddBody(2, 5.0f);
    m_joint.m_userData = CallbackLog::Tag(7);
    m_joint.SetJointDestructor(CallbackLog::JointDestroyed);
    m_world->AttachJoint(&m_joint, a, b);
    s_joint = &m_joint;
    s_victim = b;

    m_world->Update(kStep);
    // Both bodies get their force whichever is asked first; the destructions follow, joint first.
    ASSERT_EQ(CallbackLog::s_events.size(), 4u);
    std::vector<std::string> forces(CallbackLog::s_events.begin(), CallbackLog::s_events.begin() + 2);
    std::sort(forces.begin(), forces.end());
    EXPECT_EQ(forces, (std::vector<std::string>{"force body 1", "force body 2"}));
    EXPECT_EQ(CallbackLog::s_events[2], "destroy joint 7");
    EXPECT_EQ(CallbackLog::s_events[3], "destroy body 2");
    EXPECT_EQ(m_world->GetBodyCount(), 1);
    EXPECT_EQ(m_world->m_pendingBodies.GetCount(), 0);
    EXPECT_EQ(m_world->m_pendingJoints.GetCount(), 0);

    CallbackLog::Clear();
    m_world->Update(kStep);
    EXPECT_EQ(CallbackLog::s_events, std::vector<std::string>{"force body 1"});
}

TEST_P(dgWorldStep, ABodyMayDestroyItselfFromItsOwnForceCallback) {
    dgBody* a = AddBody(1, 0.0f);
    m_world->AttachJoint(&m_joint, a, nullptr);
    s_joint = &m_joint;
    s_victim = a;
    m_world->Update(kStep);
    EXPECT_EQ(CallbackLog::s_events, (std::vector<std::string>{"force body 1", "destroy body 1"}));
    EXPECT_TRUE(m_joint.m_released);
    EXPECT_EQ(m_world->GetBodyCount(), 0);
    EXPECT_EQ(m_world->GetJointCount(), 0);
}

TEST_P(dgWorldStep, CallbacksSeeTheSubStepRunningAtSinglePrecision) {
    AddBody(1, 0.0f);
    s_joint = nullptr;
    const dgUnsigned64 stamp = m_world->m_stepStamp;
    m_world->Update(kStep);
    EXPECT_EQ(s_stepSeen, kStep);
    EXPECT_TRUE(s_inStepSeen);
    EXPECT_EQ(m_world->GetTimeStep(), kStep);
    EXPECT_EQ(m_world->m_invTimeStep, 1.0f / kStep);
    EXPECT_GT(m_world->m_stepStamp, stamp);
    EXPECT_EQ(m_world->m_inStep, 0);
    EXPECT_EQ(m_world->m_inUpdate, 0);
#if defined(__i386__) || defined(__x86_64__)
    EXPECT_EQ(s_precisionSeen, unsigned(_FPU_SINGLE));
#endif
}
