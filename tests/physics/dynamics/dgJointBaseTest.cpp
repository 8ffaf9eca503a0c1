#include "WorldTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
struct WorldDeleter {
    void operator()(dgWorld* world) const { delete world; }
};
} // namespace

TEST(dgJointBase, BaseJointHasNoStiffnessAndJoinsNothing) {
    class PlainJoint : public TestJoint {
    public:
        bool JoinsBodies() const override { return dgJointBase::JoinsBodies(); }
    } joint;
    joint.SetStiffness(0.2f);
    EXPECT_EQ(joint.GetStiffness(), 1.0f);
    EXPECT_FALSE(joint.JoinsBodies());
    EXPECT_EQ(joint.GetExtraParameter(), 0.0f);
}

TEST(dgJointBase, InitMakesAReleasedJointFitForReuse) {
    std::unique_ptr<dgWorld, WorldDeleter> world(new dgWorld);
    dgCollision* shape = MakeTestShape();
    dgBody* body = world->CreateBody(shape);
    TestJoint joint;
    joint.m_userData = &joint;
    joint.m_kind = dgJointBase::kHingeJoint;
    joint.m_maxRows = 3;
    joint.m_collisionState = 1;
    world->AttachJoint(&joint, body, nullptr);
    joint.m_stamp = 99;
    joint.m_staleMark = 1;
    world->DestroyJoint(&joint);
    EXPECT_EQ(joint.m_link, nullptr);

    joint.Init();
    EXPECT_EQ(joint.m_body0, nullptr);
    EXPECT_EQ(joint.m_body1, nullptr);
    EXPECT_EQ(joint.m_userData, nullptr);
    EXPECT_EQ(joint.m_maxRows, 6);
    EXPECT_EQ(joint.m_kind, dgJointBase::kBaseJoint);
    EXPECT_EQ(joint.m_collisionState, 0);
    EXPECT_EQ(joint.m_staleMark, 0);
    world->AttachJoint(&joint, body, nullptr);
    EXPECT_EQ(joint.m_stamp, 0u);
    EXPECT_EQ(body->m_jointRing, joint.m_link);
    world.reset();
    dgRefRelease(shape);
}
