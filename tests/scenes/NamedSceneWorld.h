#pragma once

// One function builds a named scene in this engine, so the tests, the engine's own benchmarks and the peer
// benchmark step the very same world.

#include "scenes/NamedScene.h"

#include <vector>

class dgBody;
class dgJointBase;
class dgWorld;

/// Builds the scene into a fresh world through the flat interface: gravity from each dynamic body's force
/// callback, the default material pair at the scene's friction (static and kinetic) and elasticity 0
/// (the engine's least, 0.01), the pair's default softness, the bodies' default damping and freeze
/// thresholds; a scene of ragdolls through the ragdoll functions, its bones with the engine's own bone
/// inertia, damping and freeze thresholds. bodies gets one body per scene body, in the scene's order, and
/// joints (when given) one joint per scene joint, in the scene's order (for ragdolls, the child bone's
/// joint); the world owns them. False when a shape, a body, a bone or a joint cannot be made.
bool BuildNamedScene(dgWorld* world, const NamedScene& scene, std::vector<dgBody*>& bodies,
                     std::vector<dgJointBase*>* joints = nullptr);
