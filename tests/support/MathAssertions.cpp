#include "support/MathAssertions.h"

#include <cmath>
#include <sstream>

namespace {

bool Near(dgFloat32 a, dgFloat32 b, dgFloat32 tol) {
    return std::fabs(a - b) <= tol;
}

template <typename T> std::string Describe(const T& value) {
    std::ostringstream os;
    PrintTo(value, &os);
    return os.str();
}

template <typename T>::testing::AssertionResult Mismatch(const T& actual, const T& expected, dgFloat32 tol) {
    return ::testing::AssertionFailure()
           << Describe(actual) << " differs from " << Describe(expected) << " by more than " << tol;
}

} // namespace

::testing::AssertionResult VectorNear(const dgVector& actual, const dgVector& expected, dgFloat32 tol) {
    if (Near(actual.x, expected.x, tol) && Near(actual.y, expected.y, tol) &&
        Near(actual.z, expected.z, tol)) {
        return ::testing::AssertionSuccess();
    }
    return Mismatch(actual, expected, tol);
}

::testing::AssertionResult Vector4Near(const dgVector& actual, const dgVector& expected, dgFloat32 tol) {
    if (VectorNear(actual, expected, tol) && Near(actual.w, expected.w, tol)) {
        return ::testing::AssertionSuccess();
    }
    return Mismatch(actual, expected, tol);
}

::testing::AssertionResult MatrixNear(const dgMatrix& actual, const dgMatrix& expected, dgFloat32 tol) {
    for (dgInt32 i = 0; i < 4; i++) {
        if (!Vector4Near(actual[i], expected[i], tol)) {
            return ::testing::AssertionFailure()
                   << "row " << i << ": " << Describe(actual) << " differs from " << Describe(expected)
                   << " by more than " << tol;
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult QuaternionNear(const dgQuaternion& actual, const dgQuaternion& expected,
                                          dgFloat32 tol) {
    const bool same = Near(actual.x, expected.x, tol) && Near(actual.y, expected.y, tol) &&
                      Near(actual.z, expected.z, tol) && Near(actual.w, expected.w, tol);
    const bool opposite = Near(actual.x, -expected.x, tol) && Near(actual.y, -expected.y, tol) &&
                          Near(actual.z, -expected.z, tol) && Near(actual.w, -expected.w, tol);
    if (same || opposite) {
        return ::testing::AssertionSuccess();
    }
    return Mismatch(actual, expected, tol);
}

::testing::AssertionResult IsRightHandedOrthonormal(const dgMatrix& m, dgFloat32 tol) {
    const dgVector rows[3] = {m.front, m.up, m.right};
    for (dgInt32 i = 0; i < 3; i++) {
        for (dgInt32 j = 0; j < 3; j++) {
            const dgFloat32 expected = i == j ? 1.0f : 0.0f;
            if (!Near(rows[i].DotProduct(rows[j]), expected, tol)) {
                return ::testing::AssertionFailure()
                       << "rows " << i << " and " << j << " are not orthonormal in " << Describe(m);
            }
        }
    }
    if (!Near(m.front.CrossProduct(m.up).DotProduct(m.right), 1.0f, tol)) {
        return ::testing::AssertionFailure() << "left-handed basis " << Describe(m);
    }
    return ::testing::AssertionSuccess();
}

void PrintTo(const dgVector& v, std::ostream* os) {
    *os << "(" << v.x << ", " << v.y << ", " << v.z << ", " << v.w << ")";
}

void PrintTo(const dgMatrix& m, std::ostream* os) {
    *os << "[";
    for (dgInt32 i = 0; i < 4; i++) {
        PrintTo(m[i], os);
        *os << (i < 3 ? " " : "]");
    }
}

void PrintTo(const dgQuaternion& q, std::ostream* os) {
    *os << "q(" << q.x << ", " << q.y << ", " << q.z << ", " << q.w << ")";
}
