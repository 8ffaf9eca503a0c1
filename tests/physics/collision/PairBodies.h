#pragma once
// Bodies on the test's stack carrying one shape each, placed for the narrow-phase tests.

#include "ShapeHolder.h"
#include "physics/collision/dgCollision.h"
#include "physics/dynamics/dgBody.h"

/// Owns its shape's creator reference; the body reads the shape through its collision pointer.
template <class Shape> struct ShapeBody {
    ShapePtr<Shape> m_shape;
    dgBody m_body;

    explicit ShapeBody(ShapePtr<Shape> shape, const dgMatrix& matrix = dgGetIdentityMatrix())
        : m_shape(std::move(shape)) {
        m_body.m_collision = m_shape.get();
        Place(matrix);
    }
    void Place(const dgMatrix& matrix) {
        m_body.m_matrix = matrix;
        m_body.m_collisionMatrix = m_shape->GetOffsetMatrix().Multiply(matrix);
    }
};

inline dgMatrix Translation(dgFloat32 x, dgFloat32 y, dgFloat32 z) {
    dgMatrix m = dgGetIdentityMatrix();
    m.posit = dgVector(x, y, z, 1.0f);
    return m;
}
