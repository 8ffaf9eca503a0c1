#pragma once

// What every back-end of the peer benchmark is configured with, so that the engines see the same world.

#include "PeerScene.h"

/// m/s^2, along -y.
constexpr float kPeerGravity = 9.81f;
/// Coulomb friction of every touching pair; restitution is 0 (or the engine's least).
constexpr float kPeerFriction = 0.7f;
constexpr float kPeerStep = 1.0f / 60.0f;

/// Principal inertias of a solid body of uniform density about its centre, in its own axes.
inline void PeerInertia(const PeerBody& body, float inertia[3]) {
    if (body.shape == PeerShape::kSphere) {
        const float r = body.size[0];
        inertia[0] = inertia[1] = inertia[2] = 0.4f * body.mass * r * r;
        return;
    }
    const float x2 = body.size[0] * body.size[0];
    const float y2 = body.size[1] * body.size[1];
    const float z2 = body.size[2] * body.size[2];
    inertia[0] = body.mass * (y2 + z2) / 12.0f;
    inertia[1] = body.mass * (x2 + z2) / 12.0f;
    inertia[2] = body.mass * (x2 + y2) / 12.0f;
}
