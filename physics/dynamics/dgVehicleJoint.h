#pragma once
// A vehicle: a joint on one body, the chassis, that owns a list of tires. Each tire's shape is a child of
// the chassis's compound, so the broad phase and the contacts see the tires as part of the chassis.

#include "physics/core/dgList.h"
#include "physics/dynamics/dgJointBase.h"
#include "physics/dynamics/dgVehicleTire.h"

class dgVehicleJoint;

/// Runs once per step of the vehicle, after the tire inputs were reset, to set this step's inputs.
using dgVehicleTireUpdate = void (*)(dgJointBase* vehicle);

class dgVehicleJoint : public dgJointBase {
public:
    using TireNode = dgListNode<dgVehicleTire>;

    /// The vehicle solver has room for 30 tires: two of its 32 bodies are the world and the chassis.
    static constexpr dgInt32 kMaxTires = 30;
    /// Sizes and masses of a tire below this (in absolute value) would give unbounded inverses.
    static constexpr dgFloat32 kMinTireSize = 1.0e-3f;
    /// Slide speeds the tire callback sets are at least this.
    static constexpr dgFloat32 kMinSlideSpeed = 0.5f;
    /// A slide coefficient of 1 (or more) gives this softness.
    static constexpr dgFloat32 kMaxSlideCoef = 0.25f;
    /// The spin angle is kept within one turn of this size, keeping its sign.
    static constexpr dgFloat32 kSpinWrap = 6.2831802f;

    dgVector m_upDirection;          ///< in the chassis frame, unit (w 1)
    dgList<dgVehicleTire> m_tires;   ///< the list holds each node's only reference
    dgFloat32 m_stepTime = 0.0f;     ///< the step the last submit received; 0 before the first
    dgFloat32 m_invStepTime = 0.0f;
    dgVehicleTireUpdate m_tireCallback = nullptr;
    dgJointDestructorCallback m_destructorCallback = nullptr;
    dgWorld* m_world = nullptr;
    dgInt32 m_pendingRemovals = 0; ///< tires removed during an update, taken out at its end
    dgUnsigned64 m_vehicleStamp = 0; ///< the dynamics update's mark of a vehicle already sub-stepped

    /// The pool's reset for a new vehicle of world: no rows, kind 8, no callbacks, no step yet.
    void InitVehicle(dgWorld* world);

    /// A tire placed by localMatrix (chassis frame) spinning about pin (its own frame); null, with
    /// nothing changed, for the 31st tire, a mass, width or radius that is not finite or below
    /// kMinTireSize in size, or a local matrix or pin that is not finite or a zero pin.
    TireNode* AddTire(const dgMatrix& localMatrix, const dgVector& pin, dgFloat32 mass, dgFloat32 width,
                      dgFloat32 radius, dgFloat32 suspensionShock, dgFloat32 suspensionSpring,
                      dgFloat32 suspensionLength, std::uintptr_t collisionUserId, void* userData);
    /// Takes the tire's shape out of the chassis compound and frees the tire; during an update this
    /// happens at the end of the sub-step. A tire that is not this vehicle's is ignored.
    void RemoveTire(TireNode* tire);
    /// Takes out the tires whose removal waited for the end of the update.
    void RemovePendingTires();
    /// The tire when it is one of this vehicle's (and not waiting for removal), else null.
    TireNode* FindTire(const void* handle) const;

    void SetTireCallback(dgVehicleTireUpdate callback) { m_tireCallback = callback; }
    /// Suspension position and speed, spin angle and rate of every tire back to 0.
    void Reset();
    /// Turns the tire by angle about up from its rotation at addition; its position stays.
    static void SetTireSteerAngle(dgVehicleTire& tire, dgFloat32 angle);
    /// The wheel's world frame: spin and suspension applied, without the shape's alignment.
    dgMatrix GetTireMatrix(const dgVehicleTire& tire) const;
    /// The shape's placement in the chassis frame.
    dgMatrix CalcTireShapeMatrix(const dgVehicleTire& tire) const;
    /// Each step's inputs before the tire callback: no torque, no brake, rigid friction rows, slide
    /// speeds 0.5; the load from the chassis's acceleration along up.
    void ResetTireInputs();

    /// Stored slide speed: |value|, at least kMinSlideSpeed.
    static dgFloat32 ClampSlideSpeed(dgFloat32 value);
    /// Stored slide softness: min(|value|, 1) x kMaxSlideCoef; a NaN gives 0.
    static dgFloat32 ClampSlideCoef(dgFloat32 value);

    dgJointDestructorCallback SetJointDestructor(dgJointDestructorCallback callback) override;
    /// Leaves the update set, reports to the destructor callback, frees every tire and clears the chassis
    /// compound's vehicle bit; the joint goes back to the world's vehicle pool.
    void Release(dgWorld* world) override;
    /// Solves the chassis, its tires and what they touch as a system of its own and hands the result to
    /// the world as the chassis's force and torque (and a bounded share to the touched bodies); writes
    /// no rows.
    dgInt32 SubmitConstraints(dgJointParams& params) override;
    /// Takes the tire shapes' points, refreshed in this step, out of the chassis's contact joints and
    /// gives them to the tires. Contacts with another vehicle's chassis, and every contact of a chassis without
    /// mass, stay contact rows.
    void CollectTireContacts();
    /// The vehicle whose chassis is body, or null.
    static dgVehicleJoint* FindOnBody(const dgBody* body);

private:
    void FreeTire(TireNode* node);
};
