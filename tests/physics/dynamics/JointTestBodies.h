#pragma once
// A world with two dynamic unit boxes for the joint tests; the world and its bodies go with it.

#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgWorld.h"
#include "WorldTestSupport.h"

struct JointTestBodies {
    dgWorld m_world;
    dgBody* m_body0;
    dgBody* m_body1;

    JointTestBodies() {
        dgCollision* shape = MakeTestShape();
        m_body0 = m_world.CreateBody(shape);
        m_body1 = m_world.CreateBody(shape);
        dgRefRelease(shape);
        MakeDynamic(m_body0);
        MakeDynamic(m_body1);
    }
};

/// One submit of the joint at 60 Hz into params, the bounds first reset as the solver resets them.
inline dgInt32 SubmitAt60Hz(dgJointBase* joint, dgJointParams& params) {
    params.m_timeStep = 1.0f / 60.0f;
    params.m_invTimeStep = 60.0f;
    params.ResetBounds(joint->m_maxRows);
    return joint->SubmitConstraints(params);
}

/// Motor callbacks for the joint tests: each record the joint hands over is replaced by the one in
/// g_motors (keeping its time step) and the callback answers g_motorAnswer.
inline dgJointMotorDesc g_motors[2] = {};
inline dgUnsigned32 g_motorAnswer = 0;

inline dgUnsigned32 AnswerOneMotor(dgJointBase*, dgJointMotorDesc* desc) {
    const dgFloat32 step = desc->m_timestep;
    desc[0] = g_motors[0];
    desc[0].m_timestep = step;
    return g_motorAnswer;
}

inline dgUnsigned32 AnswerTwoMotors(dgJointBase* joint, dgJointMotorDesc* desc) {
    const dgFloat32 step = desc[1].m_timestep;
    desc[1] = g_motors[1];
    desc[1].m_timestep = step;
    return AnswerOneMotor(joint, desc);
}

/// A record as the joints fill it: no acceleration, unbounded.
inline dgJointMotorDesc FreeMotor(dgFloat32 accel = 0.0f) {
    return {accel, -dgJointParams::kUnboundedForce, dgJointParams::kUnboundedForce, 1.0f / 60.0f};
}
