#pragma once

// Measurements taken from the poses alone, the same way for every engine: how deep the bodies of a
// scene overlap each other and the static geometry, and which of them stand still.

#include "PeerScene.h"

#include <vector>

/// A body moving slower than these between two poses one step apart is at rest.
constexpr float kPeerRestSpeed = 0.05f; ///< m/s
constexpr float kPeerRestOmega = 0.05f; ///< rad/s

/// Whether a body went from one pose to the next, dt seconds later, at rest speeds.
bool PeerAtRest(const PeerPose& before, const PeerPose& after, float dt);

/// The deepest overlap, in metres, between two bodies of the scene whose boxes touch, or between a body and
/// the scene's terrain: the exact penetration depth for box and sphere pairs (for two boxes the least
/// overlap over the fifteen separating axes); against terrain triangles the deepest box corner under a
/// triangle, terrain vertex inside a box, or sphere reach below the surface.
float PeerMaxPenetration(const PeerScene& scene, const std::vector<PeerPose>& poses);
