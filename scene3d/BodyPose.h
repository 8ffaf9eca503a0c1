#pragma once
// The pose of a scene body in the terms the scene's objects use: a translation and the angles about
// x, y and z that SetRotation takes (a yaw-pitch-roll rotation: roll about z, then pitch about x, then
// yaw about y).

class dgBody;
struct D3DXQUATERNION;

/// Angles (about x, about y, about z) of the rotation `q`; near the poles (pitch within about 2.6
/// degrees of +-90) the roll is 0 and the whole turn goes into the yaw.
void AnglesOfRotation(const D3DXQUATERNION& q, float* angles);

/// The body's translation and angles, three floats each.
void ReadBodyPose(const dgBody* body, float* position, float* angles);
