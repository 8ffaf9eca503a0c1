#pragma once
// What the motor-driven joints (hinge, slider, corkscrew, universal) share: the motor record's use,
// the stop rule, the relative motion along and about a pin, and the rows that keep a pin's line.

#include "physics/core/dgMatrix.h"
#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"
#include "physics/dynamics/dgJointMotorDesc.h"

class dgConstraint;
class dgJointBase;
struct dgJointParams;
struct dgPointParam;

/// The record handed to a callback: no acceleration, no bound, the step of params.
dgJointMotorDesc dgMotorDescFor(const dgJointParams& params);

/// Acceleration that brings value to target, for a callback to ask of its motor row:
///   value > target: kStopGain (target - value) - max(speed, 0) 1.01 / h
///   value < target: belowGain kStopGain (target - value) - min(speed, 0) 1.01 / h
/// so only the speed carrying value further from target is cancelled. 0 at the target, for NaN, for a
/// null record and for a step that is not a positive finite number.
dgFloat32 dgMotorStopAccel(dgFloat32 value, dgFloat32 target, dgFloat32 speed, const dgJointMotorDesc* desc,
                           dgFloat32 belowGain = 1.0f);

/// Motor row n about axis from the record, force slot n, when the record asks for a usable row;
/// returns the next free row.
dgInt32 dgAddAngularMotorRow(dgConstraint& joint, dgJointParams& params, dgInt32 n, const dgVector& axis,
                             const dgJointMotorDesc& desc);
/// Motor row n along axis at the point pair, force slot n, likewise.
dgInt32 dgAddLinearMotorRow(dgConstraint& joint, dgJointParams& params, dgInt32 n, const dgVector& axis,
                            const dgPointParam& pair, const dgJointMotorDesc& desc);

/// (omega0 - omega1) . axis, omega1 zero for the world.
dgFloat32 dgRelativeOmega(const dgJointBase& joint, const dgVector& axis);
/// (veloc0 - veloc1) . axis, veloc1 zero for the world.
dgFloat32 dgRelativeVeloc(const dgJointBase& joint, const dgVector& axis);

/// Rows 0 to 3 of a joint that slides along front0: posit0 and the far point posit0 + 16 front0 held
/// on body1's pin line across up0 and right0, force slots 0 to 3. Returns the position along the pin,
/// front0 . (posit0 - posit1); nearPair gets posit0 with its anchor on the line, anchor1 that anchor.
dgFloat32 dgSubmitPinLineRows(dgConstraint& joint, dgJointParams& params, const dgMatrix& matrix0,
                              const dgMatrix& matrix1, dgPointParam& nearPair, dgVector& anchor1);

/// The force rows applied in the last solve: the sum of each row's direction times its force (w 0).
dgVector dgRowForceSum(const dgVector* directions, const dgFloat32* forces, dgInt32 count);
