#pragma once
// Shapes and bodies for the rigid-body tests: bodies live on the test's stack, outside any world.

#include "physics/collision/dgCollisionBox.h"
#include "physics/collision/dgCollisionNull.h"
#include "physics/core/dgClassIds.h"
#include "physics/core/dgQuaternion.h"
#include "physics/dynamics/dgBody.h"

#include <memory>

/// Answers the polygon soup's class id, which is all the body looks at to tell a static mesh.
class TestSoupShape : public dgCollisionNull {
public:
    TestSoupShape() : dgCollisionNull(dgCollisionNullClassId) {}
    bool IsType(dgUnsigned32 typeId) const override {
        return typeId == dgCollisionPolygonalSoupClassId || dgCollisionNull::IsType(typeId);
    }
};

struct ReleaseShape {
    void operator()(dgCollision* shape) const { dgRefRelease(shape); }
};
/// Holds the creator's reference of a test shape.
using ShapeHandle = std::unique_ptr<dgCollision, ReleaseShape>;

inline ShapeHandle MakeBox(dgFloat32 x, dgFloat32 y, dgFloat32 z,
                           const dgMatrix& offset = dgGetIdentityMatrix()) {
    return ShapeHandle(new dgCollisionBox(1, x, y, z, offset));
}

/// A stack body (no world) holding shape; gives its reference back when it goes.
struct StackBody {
    dgBody m_body;

    explicit StackBody(dgCollision* shape = nullptr, const dgMatrix& matrix = dgGetIdentityMatrix()) {
        if (shape != nullptr) {
            m_body.m_matrix = matrix;
            m_body.SetCollision(shape);
        } else {
            m_body.SetMatrix(matrix);
        }
    }
    ~StackBody() {
        if (m_body.m_collision != nullptr) {
            dgRefRelease(m_body.m_collision);
        }
    }
    StackBody(const StackBody&) = delete;
    StackBody& operator=(const StackBody&) = delete;
};

inline dgMatrix AxisAngleMatrix(const dgVector& unitAxis, dgFloat32 angle, const dgVector& origin) {
    return dgMatrix::FromQuaternion(dgQuaternion::FromAxisAngle(unitAxis, angle), origin);
}
