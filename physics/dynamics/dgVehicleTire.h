#pragma once
// One wheel of a vehicle: a massive disc with its own suspension and spin, not a body of the world.

#include "physics/core/dgMatrix.h"
#include "physics/core/dgQuaternion.h"

#include <cstdint>

class dgTireCollision;
class dgVehicleJoint;

/// The tire's state; frames are the chassis's unless named otherwise. Owned by its vehicle's tire list.
struct dgVehicleTire {
    dgMatrix m_localMatrix;         ///< the tire's frame in the chassis frame (steering rewrites it)
    dgMatrix m_alignMatrix;         ///< quarter turn about the vehicle's up: puts the shape's axis in place
    dgQuaternion m_localRotation;   ///< rotation of the local matrix as given at addition
    dgVector m_pin;                 ///< spin axis in the tire's own frame, unit
    dgVector m_suspensionForce;     ///< last step's force of the suspension rows, negated
    dgFloat32 m_mass = 0.0f;
    dgFloat32 m_width = 0.0f;
    dgFloat32 m_radius = 0.0f;
    dgFloat32 m_suspensionShock = 0.0f;
    dgFloat32 m_suspensionSpring = 0.0f;
    dgFloat32 m_suspensionLength = 0.0f; ///< kept for the host only
    std::uintptr_t m_collisionUserId = 0;
    void* m_userData = nullptr;
    dgTireCollision* m_collision = nullptr; ///< one reference held here, one by the chassis compound
    dgVehicleJoint* m_vehicle = nullptr;
    dgFloat32 m_inertia = 0.0f; ///< 0.4 m r^2
    dgFloat32 m_invMass = 0.0f;
    dgFloat32 m_invInertia = 0.0f;
    dgFloat32 m_steerAngle = 0.0f; ///< radians
    dgFloat32 m_load = 0.0f;
    dgFloat32 m_torque = 0.0f; ///< drive torque about the pin for this step
    dgFloat32 m_sideSpeed = 0.0f;
    dgFloat32 m_longitudinalSpeed = 0.0f;
    dgFloat32 m_longitudinalSlideCoef = 0.0f; ///< softness of the longitudinal friction rows, [0, 0.25]
    dgFloat32 m_maxLongitudinalSlideSpeed = 0.0f;
    dgFloat32 m_sideSlideCoef = 0.0f;
    dgFloat32 m_maxSideSlideSpeed = 0.0f;
    dgFloat32 m_brakeAcceleration = 0.0f;
    dgFloat32 m_brakeMaxFriction = 0.0f;
    dgFloat32 m_suspensionPosition = 0.0f; ///< travel along the vehicle's up
    dgFloat32 m_spinAngle = 0.0f;          ///< radians about the pin, kept within a turn
    dgFloat32 m_suspensionSpeed = 0.0f;
    dgFloat32 m_omega = 0.0f; ///< spin rate about the pin
    dgInt32 m_solverIndex = 0;
    dgUnsigned8 m_airborne = 0;
    dgUnsigned8 m_sideSliding = 0;
    dgUnsigned8 m_longitudinalSliding = 0;
    dgUnsigned8 m_removePending = 0; ///< removed during an update; freed at its end
};
