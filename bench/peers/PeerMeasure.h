#pragma once

// Measurements taken from the poses alone, the same way for every engine: how deep the bodies of a
// scene overlap each other and the static geometry, and which of them stand still.

#include "scenes/NamedScene.h"

#include <vector>

/// A body moving slower than these between two poses one step apart is at rest.
constexpr float kPeerRestSpeed = 0.05f; ///< m/s
constexpr float kPeerRestOmega = 0.05f; ///< rad/s

/// Whether a body went from one pose to the next, dt seconds later, at rest speeds.
bool PeerAtRest(const ScenePose& before, const ScenePose& after, float dt);

/// The deepest overlap, in metres, between two bodies of the scene whose boxes touch, or between a body and
/// the scene's terrain: the exact penetration depth for box and sphere pairs (for two boxes the least
/// overlap over the fifteen separating axes); against terrain triangles the deepest box corner under a
/// triangle, terrain vertex inside a box, or sphere reach below the surface.
float PeerMaxPenetration(const NamedScene& scene, const std::vector<ScenePose>& poses);

/// Pivot separations of a scene's joints: how far each child's pivot point has come from its parent's.
struct PeerJointError {
    double largest = 0.0; ///< m
    double sum = 0.0;     ///< m, over every measurement
    long count = 0;

    double Mean() const { return count > 0 ? sum / static_cast<double>(count) : 0.0; }
};

/// Adds the separation of every joint of the scene in the given poses: the child's and the parent's
/// points at the pivot as built, each carried along with its body (the parent's stays put for the world).
void PeerAddJointSeparations(const NamedScene& scene, const std::vector<ScenePose>& poses,
                             PeerJointError& error);

/// Raises largest (radians) to the worst excess of any limited ball joint over its limits in the given
/// poses: the swing of the child's pin from the parent's beyond the cone, or the twist left once that
/// swing is taken out beyond the twist limit. Both frames coincide as built.
void PeerAddLimitOvershoots(const NamedScene& scene, const std::vector<ScenePose>& poses, double& largest);
