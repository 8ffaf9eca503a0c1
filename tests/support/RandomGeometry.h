#pragma once
// Seeded random vectors, rotations and matrices for property tests: the same seed gives the same
// sequence on every run.

#include "physics/core/dgMatrix.h"
#include "physics/core/dgQuaternion.h"
#include "physics/core/dgVector.h"

#include <random>

class RandomGeometry {
public:
    explicit RandomGeometry(unsigned seed) : m_engine(seed) {}

    /// Uniform in [lo, hi).
    dgFloat32 Float(dgFloat32 lo, dgFloat32 hi);
    /// A point with each coordinate uniform in [lo, hi); w 1.0.
    dgVector Point(dgFloat32 lo, dgFloat32 hi);
    /// A direction uniform on the unit sphere; w 0.
    dgVector UnitVector();
    /// A rotation uniform over all rotations.
    dgQuaternion UnitQuaternion();
    /// A rigid transform: random rotation, origin within +-range on each axis.
    dgMatrix RigidMatrix(dgFloat32 range);
    /// A symmetric 3x3 part with entries in [-range, range); posit (0, 0, 0, 1), row w 0.
    dgMatrix SymmetricMatrix(dgFloat32 range);

private:
    std::mt19937 m_engine;
};
