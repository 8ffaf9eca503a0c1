#include "physics/dynamics/dgConstraint.h"

#include "physics/dynamics/dgBody.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr dgFloat32 kDefaultStiffness = 0.9f;
// Below this squared length a direction gives no usable axis.
constexpr dgFloat32 kMinPinLength2 = 1.0e-12f;

dgVector Normalise(const dgVector& v) {
    return v.Scale(1.0f / std::sqrt(v.DotProduct(v)));
}

dgVector AsDirection(const dgVector& v) {
    return dgVector(v.x, v.y, v.z, 0.0f);
}

} // namespace

dgMatrix dgBuildMatrixFromPin(const dgVector& pin) {
    const dgVector front = AsDirection(pin);
    // An auxiliary vector that is never parallel to the pin.
    const dgVector t =
        std::fabs(pin.z) > 0.577f ? dgVector(-pin.y, pin.z, 0.0f, 0.0f) : dgVector(-pin.y, pin.x, 0.0f, 0.0f);
    const dgVector right = AsDirection(Normalise(front.CrossProduct(t)));
    const dgVector up = AsDirection(right.CrossProduct(front));
    return dgMatrix(front, up, right, dgVector(0.0f, 0.0f, 0.0f, 1.0f));
}

dgVector dgPinWithFiniteSquare(const dgVector& pin) {
    if (std::isfinite(pin.DotProduct(pin))) {
        return pin;
    }
    // Normalising through the overflowed square would give a zero direction, and frames of NaN from it.
    const dgFloat32 largest = std::max({std::fabs(pin.x), std::fabs(pin.y), std::fabs(pin.z)});
    return dgVector(pin.x / largest, pin.y / largest, pin.z / largest, pin.w);
}

dgJointDestructorCallback dgConstraint::SetJointDestructor(dgJointDestructorCallback callback) {
    m_destructor = callback;
    return m_destructor;
}

dgFloat32 dgConstraint::GetStiffness() const {
    return (5.0f - m_stiffness) * 0.25f;
}

void dgConstraint::SetStiffness(dgFloat32 stiffness) {
    m_stiffness = 5.0f - 4.0f * dgClamp(stiffness, 0.0f, 1.0f);
}

void dgConstraint::Init() {
    dgJointBase::Init();
    m_destructor = nullptr;
    m_localMatrix0 = dgGetIdentityMatrix();
    m_localMatrix1 = dgGetIdentityMatrix();
    dgConstraint::SetStiffness(kDefaultStiffness);
    for (dgFloat32& force : m_forces) {
        force = 0.0f;
    }
}

void dgConstraint::Release(dgWorld*) {
    // Cleared first so a joint released twice by mistake never reports twice.
    const dgJointDestructorCallback callback = m_destructor;
    m_destructor = nullptr;
    if (callback != nullptr) {
        callback(this);
    }
}

bool dgConstraint::JoinsBodies() const {
    return true;
}

const dgMatrix& dgConstraint::Body1Matrix() const {
    return m_body1 != nullptr ? m_body1->m_matrix : dgGetIdentityMatrix();
}

void dgConstraint::CalcPinFrames(const dgVector& pivot, const dgVector& givenPin) {
    dgAssert(m_body0 != nullptr);
    const dgMatrix& body0 = m_body0->m_matrix;
    const dgVector pin = dgPinWithFiniteSquare(givenPin);
    const dgVector dir = pin.DotProduct(pin) > kMinPinLength2 ? Normalise(pin) : body0.front;
    m_localMatrix0 = dgBuildMatrixFromPin(body0.InverseRotateVector(dir));
    m_localMatrix0.posit = body0.InverseTransformVector(pivot);
    m_localMatrix0.posit.w = 1.0f;
    m_localMatrix1 = m_localMatrix0.Multiply(body0).Multiply(Body1Matrix().Inverse());
}

void dgConstraint::CalcTwoPinFrames(const dgVector& pivot, const dgVector& givenPin0, const dgVector& givenPin1) {
    dgAssert(m_body0 != nullptr);
    const dgVector pin0 = dgPinWithFiniteSquare(givenPin0);
    const dgVector pin1 = dgPinWithFiniteSquare(givenPin1);
    const dgVector front =
        AsDirection(pin0.DotProduct(pin0) > kMinPinLength2 ? Normalise(pin0) : m_body0->m_matrix.front);
    dgVector right = front.CrossProduct(pin1);
    right = right.DotProduct(right) > kMinPinLength2 ? AsDirection(Normalise(right))
                                                     : dgBuildMatrixFromPin(front).right;
    const dgVector up = right.CrossProduct(front);
    const dgMatrix frame(front, up, right, dgVector(pivot.x, pivot.y, pivot.z, 1.0f));
    m_localMatrix1 = frame.Multiply(Body1Matrix().Inverse());
    m_localMatrix0 = frame.Multiply(m_body0->m_matrix.Inverse());
}

dgVector& dgConstraint::CalcGlobalFrames(dgVector& angles, dgMatrix& matrix0, dgMatrix& matrix1) const {
    dgAssert(m_body0 != nullptr);
    matrix0 = m_localMatrix0.Multiply(m_body0->m_matrix);
    matrix1 = m_localMatrix1.Multiply(Body1Matrix());
    angles = matrix1.Multiply(matrix0.Inverse()).GetEulerAngles();
    return angles;
}
