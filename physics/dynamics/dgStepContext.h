#pragma once
// What one world step hands its stages: they take the step's time and stamp from here rather than read
// them back from the world.

#include "physics/core/dgTypes.h"

struct dgStepContext {
    dgFloat32 m_timeStep;    ///< h, seconds
    dgFloat32 m_invTimeStep; ///< 1/h; 0 for a step of 0 s
    dgUnsigned64 m_stamp;    ///< bodies the force pass reaches carry it; islands mark stamp + 1 and + 2
};
