#pragma once
// The directions a support search tries in turn while it looks for a simplex that spans space: the eight
// cube corners, then the six axes, so that any cloud that is not flat meets a new extreme point soon.

#include "physics/core/dgVector.h"

/// 1/sqrt(3) to five places: the hull's seed and the ray cast's starting tetrahedron were built with it.
inline constexpr dgFloat32 kSearchDiagonal = 0.57735f;

inline constexpr dgInt32 kSearchDirectionCount = 14;

inline constexpr dgVector kSearchDirections[kSearchDirectionCount] = {
    dgVector(kSearchDiagonal, -kSearchDiagonal, kSearchDiagonal, 0.0f),
    dgVector(-kSearchDiagonal, -kSearchDiagonal, -kSearchDiagonal, 0.0f),
    dgVector(kSearchDiagonal, -kSearchDiagonal, -kSearchDiagonal, 0.0f),
    dgVector(-kSearchDiagonal, kSearchDiagonal, kSearchDiagonal, 0.0f),
    dgVector(kSearchDiagonal, kSearchDiagonal, -kSearchDiagonal, 0.0f),
    dgVector(-kSearchDiagonal, kSearchDiagonal, -kSearchDiagonal, 0.0f),
    dgVector(-kSearchDiagonal, -kSearchDiagonal, kSearchDiagonal, 0.0f),
    dgVector(kSearchDiagonal, kSearchDiagonal, kSearchDiagonal, 0.0f),
    dgVector(0.0f, -1.0f, 0.0f, 0.0f),
    dgVector(0.0f, 1.0f, 0.0f, 0.0f),
    dgVector(1.0f, 0.0f, 0.0f, 0.0f),
    dgVector(-1.0f, 0.0f, 0.0f, 0.0f),
    dgVector(0.0f, 0.0f, 1.0f, 0.0f),
    dgVector(0.0f, 0.0f, -1.0f, 0.0f),
};
