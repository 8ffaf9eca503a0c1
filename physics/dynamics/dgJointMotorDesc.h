#pragma once
// The record through which the user callback of a hinge, slider, corkscrew or universal joint drives
// one motor row. The host reads and writes its four floats.

/// One driven axis. Before each call the joint fills it with (0, -1e15, 1e15, the sub-step); a bound
/// left at +-1e15 leaves the row's force unbounded on that side.
struct dgJointMotorDesc {
    float m_accel;       ///< relative acceleration the row asks along (m/s^2) or about (rad/s^2) the axis
    float m_minFriction; ///< lowest force (N) or torque (N m) of the row
    float m_maxFriction; ///< highest force or torque of the row
    float m_timestep;    ///< the sub-step, seconds; the stop helpers read it
};
