#include "scene3d/BodyPose.h"

#include "physics/api/dgApi.h"
#include "platform/D3DXMath.h"

#include <cmath>

namespace {

/// Half the sine of the pitch beyond which the roll and yaw can no longer be told apart.
constexpr float kPoleTest = 0.499f;
constexpr float kHalfPi = 1.5707964f;

} // namespace

// With M = Rz(roll) Rx(pitch) Ry(yaw) in row vectors and M = R(q) transposed:
// sin(pitch) = -M21 = 2(xw - yz), yaw = atan2(M20, M22), roll = atan2(M01, M11).
// At the poles M00 = cos(yaw -+ roll) and M02 = -sin(yaw -+ roll), so yaw = atan2(-M02, M00) with roll 0
// gives the same matrix.
void AnglesOfRotation(const D3DXQUATERNION& q, float* angles) {
    const float test = q.x * q.w - q.y * q.z;
    if (test > kPoleTest || test < -kPoleTest) {
        angles[0] = test > 0.0f ? kHalfPi : -kHalfPi;
        angles[1] = std::atan2(2.0f * (q.y * q.w - q.x * q.z), 1.0f - 2.0f * (q.y * q.y + q.z * q.z));
        angles[2] = 0.0f;
        return;
    }
    angles[0] = std::asin(2.0f * test);
    angles[1] = std::atan2(2.0f * (q.x * q.z + q.y * q.w), 1.0f - 2.0f * (q.x * q.x + q.y * q.y));
    angles[2] = std::atan2(2.0f * (q.x * q.y + q.z * q.w), 1.0f - 2.0f * (q.x * q.x + q.z * q.z));
}

void ReadBodyPose(const dgBody* body, float* position, float* angles) {
    D3DXMATRIX matrix;
    dgApiBodyGetMatrix(body, &matrix.m[0][0]);
    D3DXVECTOR3 scale;
    D3DXQUATERNION rotation;
    D3DXVECTOR3 translation;
    D3DXMatrixDecompose(&scale, &rotation, &translation, &matrix);
    AnglesOfRotation(rotation, angles);
    position[0] = translation.x;
    position[1] = translation.y;
    position[2] = translation.z;
}
