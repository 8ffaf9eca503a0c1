#include "support/RandomGeometry.h"

#include <cmath>

dgFloat32 RandomGeometry::Float(dgFloat32 lo, dgFloat32 hi) {
    return std::uniform_real_distribution<dgFloat32>(lo, hi)(m_engine);
}

dgVector RandomGeometry::Point(dgFloat32 lo, dgFloat32 hi) {
    const dgFloat32 x = Float(lo, hi);
    const dgFloat32 y = Float(lo, hi);
    const dgFloat32 z = Float(lo, hi);
    return dgVector(x, y, z, 1.0f);
}

dgVector RandomGeometry::UnitVector() {
    std::normal_distribution<dgFloat32> normal(0.0f, 1.0f);
    for (;;) {
        const dgFloat32 x = normal(m_engine);
        const dgFloat32 y = normal(m_engine);
        const dgFloat32 z = normal(m_engine);
        const dgFloat32 len = std::sqrt(x * x + y * y + z * z);
        if (len > 1.0e-3f) {
            return dgVector(x / len, y / len, z / len, 0.0f);
        }
    }
}

dgQuaternion RandomGeometry::UnitQuaternion() {
    std::normal_distribution<dgFloat32> normal(0.0f, 1.0f);
    for (;;) {
        const dgFloat32 x = normal(m_engine);
        const dgFloat32 y = normal(m_engine);
        const dgFloat32 z = normal(m_engine);
        const dgFloat32 w = normal(m_engine);
        const dgFloat32 len = std::sqrt(x * x + y * y + z * z + w * w);
        if (len > 1.0e-3f) {
            return dgQuaternion(x / len, y / len, z / len, w / len);
        }
    }
}

dgMatrix RandomGeometry::RigidMatrix(dgFloat32 range) {
    const dgQuaternion q = UnitQuaternion();
    return dgMatrix::FromQuaternion(q, Point(-range, range));
}

dgMatrix RandomGeometry::SymmetricMatrix(dgFloat32 range) {
    const dgFloat32 a00 = Float(-range, range);
    const dgFloat32 a11 = Float(-range, range);
    const dgFloat32 a22 = Float(-range, range);
    const dgFloat32 a01 = Float(-range, range);
    const dgFloat32 a02 = Float(-range, range);
    const dgFloat32 a12 = Float(-range, range);
    return dgMatrix(dgVector(a00, a01, a02, 0.0f), dgVector(a01, a11, a12, 0.0f),
                    dgVector(a02, a12, a22, 0.0f), dgVector(0.0f, 0.0f, 0.0f, 1.0f));
}
