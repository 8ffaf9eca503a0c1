#include "physics/collision/dgAngularLattice.h"

#include <cmath>

void LatticePointsAround(const dgVector& dir, dgFloat32 radius, dgFloat32 step, dgFloat32 invStep,
                         dgFloat32 cosStep, dgFloat32 sinStep, dgVector out[4]) {
    const dgFloat32 theta = std::floor(dgAsin(dir.x) * invStep) * step;
    const dgFloat32 phi = std::floor(dgAtan2(dir.y, dir.z) * invStep) * step;
    const dgFloat32 sinTheta0 = std::sin(theta);
    const dgFloat32 cosTheta0 = std::cos(theta);
    const dgFloat32 sinPhi0 = std::sin(phi);
    const dgFloat32 cosPhi0 = std::cos(phi);
    // The next lattice line by the angle-sum formulas, from the stored cosine and sine of the step.
    const dgFloat32 sinTheta[2] = {sinTheta0, sinTheta0 * cosStep + cosTheta0 * sinStep};
    const dgFloat32 cosTheta[2] = {cosTheta0, cosTheta0 * cosStep - sinTheta0 * sinStep};
    const dgFloat32 sinPhi[2] = {sinPhi0, sinPhi0 * cosStep + cosPhi0 * sinStep};
    const dgFloat32 cosPhi[2] = {cosPhi0, cosPhi0 * cosStep - sinPhi0 * sinStep};
    for (dgInt32 i = 0; i < 4; i++) {
        const dgInt32 t = i & 1;
        const dgInt32 p = i >> 1;
        out[i] = dgVector(radius * sinTheta[t], radius * cosTheta[t] * sinPhi[p], radius * cosTheta[t] * cosPhi[p],
                          1.0f);
    }
}
