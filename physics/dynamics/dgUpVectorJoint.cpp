#include "physics/dynamics/dgUpVectorJoint.h"

#include "physics/dynamics/dgBody.h"
#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgWorld.h"

#include <algorithm>
#include <cmath>

namespace {
// At or below this squared sine the axes count as parallel.
constexpr dgFloat32 kParallelSine2 = 1.0e-6f;
// Below this squared length a pin gives no direction.
constexpr dgFloat32 kMinPinLength2 = 1.0e-12f;
} // namespace

void dgUpVectorJoint::InitUpVector() {
    Init();
    m_kind = kUpVectorJoint;
    m_maxRows = 2;
    SetStiffness(kStiffness);
}

void dgUpVectorJoint::InitPin(const dgVector& pin) {
    CalcPinFrames(m_body0->m_matrix.posit, pin);
}

void dgUpVectorJoint::SetPin(const dgVector& givenPin) {
    const dgVector pin = dgPinWithFiniteSquare(givenPin);
    const dgFloat32 length2 = pin.DotProduct(pin);
    if (!std::isfinite(length2) || length2 < kMinPinLength2) {
        return;
    }
    const dgFloat32 scale = 1.0f / std::sqrt(length2);
    m_localMatrix1 = dgBuildMatrixFromPin(dgVector(pin.x * scale, pin.y * scale, pin.z * scale, 0.0f));
}

void dgUpVectorJoint::Release(dgWorld* world) {
    dgConstraint::Release(world);
    world->m_upVectorJointPool.Release(this);
}

bool dgUpVectorJoint::JoinsBodies() const {
    return false;
}

dgInt32 dgUpVectorJoint::SubmitConstraints(dgJointParams& params) {
    dgVector angles;
    dgMatrix matrix0;
    dgMatrix matrix1;
    CalcGlobalFrames(angles, matrix0, matrix1);
    dgVector a = matrix0.front.CrossProduct(matrix1.front);
    a.w = 0.0f;
    const dgFloat32 m2 = a.DotProduct(a);
    if (m2 > kParallelSine2) {
        const dgFloat32 m = std::sqrt(m2);
        a = a.Scale(1.0f / m);
        // Rounding can carry |front0 x front1| just past 1, where asin has no value.
        AddAngularRow(0, params, a, m_stiffness, dgAsin(std::min(m, 1.0f)), &m_forces[0]);
        AddAngularRow(1, params, a.CrossProduct(matrix1.front), m_stiffness, 0.0f, &m_forces[1]);
    } else {
        AddAngularRow(0, params, matrix0.up, m_stiffness, 0.0f, &m_forces[0]);
        AddAngularRow(1, params, matrix0.right, m_stiffness, 0.0f, &m_forces[1]);
    }
    return 2;
}
