#include "physics/collision/dgShapeSignature.h"

#include "physics/core/dgClassIds.h"
#include "physics/core/dgHash.h"

#include <cmath>
#include <cstring>

dgUnsigned32 dgShapeSignature(dgCollisionType type, const dgFloat32* dimensions, dgInt32 dimensionCount,
                              const dgMatrix& offset) {
    constexpr dgInt32 kWords = 32;
    constexpr dgInt32 kMatrixWords = 16;
    dgAssert(dimensionCount >= 0 && dimensionCount <= kWords - 1 - kMatrixWords);
    dgUnsigned32 record[kWords] = {};
    record[0] = type;
    dgInt32 word = 1;
    for (dgInt32 i = 0; i < dimensionCount && word < kWords - kMatrixWords; i++) {
        record[word++] = static_cast<dgUnsigned32>(dgFloatToFixed(dimensions[i]));
    }
    for (dgInt32 row = 0; row < 4; row++) {
        std::memcpy(&record[word], &offset[row], sizeof(dgVector));
        word += 4;
    }
    return dgHashBuffer(record, sizeof(record));
}

dgUnsigned32 dgBoxSignature(dgFloat32 x, dgFloat32 y, dgFloat32 z, const dgMatrix& offset) {
    const dgFloat32 half[3] = {std::fabs(x) * 0.5f, std::fabs(y) * 0.5f, std::fabs(z) * 0.5f};
    return dgShapeSignature(kBoxCollision, half, 3, offset);
}

dgUnsigned32 dgSphereSignature(dgFloat32 radius, const dgMatrix& offset) {
    const dgFloat32 r = std::fabs(radius);
    return dgShapeSignature(kSphereCollision, &r, 1, offset);
}

dgUnsigned32 dgEllipseSignature(dgFloat32 rx, dgFloat32 ry, dgFloat32 rz, const dgMatrix& offset) {
    const dgFloat32 radii[3] = {std::fabs(rx), std::fabs(ry), std::fabs(rz)};
    return dgShapeSignature(kEllipseCollision, radii, 3, offset);
}

dgUnsigned32 dgRadiusHeightSignature(dgCollisionType type, dgFloat32 radius, dgFloat32 height,
                                     const dgMatrix& offset) {
    const dgFloat32 dims[2] = {std::fabs(radius), std::fabs(height) * 0.5f};
    return dgShapeSignature(type, dims, 2, offset);
}

dgUnsigned32 dgNullSignature() {
    return dgCollisionNullClassId;
}
