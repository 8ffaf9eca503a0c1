#include "physics/collision/dgShapeSignature.h"

#include "physics/core/dgClassIds.h"
#include "physics/core/dgHash.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr dgInt32 kMatrixWords = 16;

void CopyMatrixWords(const dgMatrix& offset, dgUnsigned32* words) {
    for (dgInt32 row = 0; row < 4; row++) {
        std::memcpy(&words[4 * row], &offset[row], sizeof(dgVector));
    }
}

} // namespace

void dgShapeKeyRecord(dgCollisionType type, const dgFloat32* dimensions, dgInt32 dimensionCount,
                      const dgMatrix& offset, dgUnsigned32 (&record)[kShapeKeyWords]) {
    dgAssert(dimensionCount >= 0 && dimensionCount <= kShapeKeyWords - 1 - kMatrixWords);
    std::memset(record, 0, sizeof(record));
    record[0] = type;
    dgInt32 word = 1;
    for (dgInt32 i = 0; i < dimensionCount && word < kShapeKeyWords - kMatrixWords; i++) {
        record[word++] = static_cast<dgUnsigned32>(dgFloatToFixed(dimensions[i]));
    }
    CopyMatrixWords(offset, &record[word]);
}

dgUnsigned32 dgShapeSignature(dgCollisionType type, const dgFloat32* dimensions, dgInt32 dimensionCount,
                              const dgMatrix& offset) {
    dgUnsigned32 record[kShapeKeyWords];
    dgShapeKeyRecord(type, dimensions, dimensionCount, offset, record);
    return dgKeyRecordSignature(record, kShapeKeyWords);
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

dgInt32 dgConvexHullKeyWordCount(dgInt32 pointCount) {
    // The hash takes its length in bytes as a 32-bit int: 4 (3 n + 17) must fit.
    constexpr dgInt32 kMaxPoints = (INT32_MAX / 4 - 1 - kMatrixWords) / 3;
    if (pointCount < 0 || pointCount > kMaxPoints) {
        return 0;
    }
    return 3 * pointCount + 1 + kMatrixWords;
}

void dgConvexHullKeyRecord(dgInt32 pointCount, const dgFloat32* points, dgInt32 strideInBytes,
                           const dgMatrix& offset, dgUnsigned32* record) {
    const dgInt32 wordCount = dgConvexHullKeyWordCount(pointCount);
    dgAssert(wordCount > 0 && (pointCount == 0 || points != nullptr));
    const std::ptrdiff_t stride = (strideInBytes / 4) * 4;
    const auto* bytes = reinterpret_cast<const unsigned char*>(points);
    record[0] = kConvexHullCollision;
    for (dgInt32 i = 0; i < pointCount; i++) {
        dgFloat32 p[3];
        std::memcpy(p, bytes + i * stride, sizeof(p));
        for (dgInt32 j = 0; j < 3; j++) {
            record[3 * i + 1 + j] = static_cast<dgUnsigned32>(dgFloatToFixed(p[j]));
        }
    }
    CopyMatrixWords(offset, &record[3 * pointCount + 1]);
}

dgUnsigned32 dgKeyRecordSignature(const dgUnsigned32* record, dgInt32 wordCount) {
    dgAssert(wordCount >= 0 && wordCount <= INT32_MAX / 4);
    return dgHashBuffer(record, wordCount * 4);
}
