#include "physics/collision/dgCollision.h"

#include "physics/core/dgClassIds.h"

#include <cmath>
#include <cstring>

dgCollision::dgCollision(dgUnsigned32 signature, const dgMatrix& offset, dgCollisionType type)
    : m_offset(), m_signature(signature), m_collisionType(type), m_flags(0) {
    SetOffsetMatrix(offset);
}

dgCollision::~dgCollision() = default;

void dgCollision::ZeroInertia(dgVector& inertiaOut, dgVector& centreOut) {
    inertiaOut.x = 0.0f;
    inertiaOut.y = 0.0f;
    inertiaOut.z = 0.0f;
    centreOut.x = 0.0f;
    centreOut.y = 0.0f;
    centreOut.z = 0.0f;
}

dgVector dgCollision::PlacedHalfExtent(const dgMatrix& matrix, const dgVector& halfSize) {
    dgVector extent(0.0f, 0.0f, 0.0f, 0.0f);
    for (dgInt32 j = 0; j < 3; j++) {
        extent[j] = std::fabs(matrix.front[j]) * halfSize.x + std::fabs(matrix.up[j]) * halfSize.y +
                    std::fabs(matrix.right[j]) * halfSize.z;
    }
    return extent;
}

dgUnsigned32 dgCollision::GetTypeId() const {
    return dgCollisionClassId;
}

bool dgCollision::IsType(dgUnsigned32 typeId) const {
    return typeId == dgCollisionClassId || dgRef::IsType(typeId);
}

std::uintptr_t dgCollision::GetUserId() const {
    return 0;
}

void dgCollision::SetUserId(std::uintptr_t) {}

dgMatrix dgCollision::GetModifierMatrix() const {
    return dgGetIdentityMatrix();
}

void dgCollision::SetModifierMatrix(const dgMatrix&) {}

bool dgCollision::IsIdentity(const dgMatrix& matrix) {
    constexpr dgUnsigned32 kOneBits = 0x3F800000u;
    for (dgInt32 i = 0; i < 4; i++) {
        for (dgInt32 j = 0; j < 4; j++) {
            const dgFloat32 value = matrix[i][j];
            if (i == j) {
                dgUnsigned32 bits;
                std::memcpy(&bits, &value, sizeof(bits));
                if (bits != kOneBits) {
                    return false;
                }
            } else if (!(value == 0.0f)) {
                return false;
            }
        }
    }
    return true;
}

void dgCollision::SetOffsetMatrix(const dgMatrix& matrix) {
    m_offset = matrix;
    if (IsIdentity(matrix)) {
        m_flags &= ~kOffsetNotIdentity;
    } else {
        m_flags |= kOffsetNotIdentity;
    }
}
