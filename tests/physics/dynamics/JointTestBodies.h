#pragma once
// A world with two dynamic unit boxes for the joint tests; the world and its bodies go with it.

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
