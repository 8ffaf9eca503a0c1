#include "physics/collision/dgPolyhedraMassIntegrator.h"

#include <cmath>

template <class PointAt>
dgPolyhedraMassIntegrator::ProjectionIntegrals
dgPolyhedraMassIntegrator::Project(dgInt32 count, PointAt pointAt, dgInt32 a, dgInt32 b, bool full) {
    ProjectionIntegrals p;
    for (dgInt32 i = 0; i < count; i++) {
        const dgFloat64* v0 = pointAt(i);
        const dgFloat64* v1 = pointAt(i + 1 == count ? 0 : i + 1);
        const dgFloat64 a0 = v0[a];
        const dgFloat64 b0 = v0[b];
        const dgFloat64 a1 = v1[a];
        const dgFloat64 b1 = v1[b];
        const dgFloat64 da = a1 - a0;
        const dgFloat64 db = b1 - b0;
        const dgFloat64 a0_2 = a0 * a0;
        const dgFloat64 a0_3 = a0_2 * a0;
        const dgFloat64 b0_2 = b0 * b0;
        const dgFloat64 b0_3 = b0_2 * b0;
        const dgFloat64 a1_2 = a1 * a1;
        const dgFloat64 b1_2 = b1 * b1;

        const dgFloat64 C1 = a1 + a0;
        const dgFloat64 Ca = a1 * C1 + a0_2;
        const dgFloat64 Caa = a1 * Ca + a0_3;
        const dgFloat64 Cb = b1 * (b1 + b0) + b0_2;
        const dgFloat64 Cbb = b1 * Cb + b0_3;
        const dgFloat64 Cab = 3.0 * a1_2 + 2.0 * a1 * a0 + a0_2;
        const dgFloat64 Kab = a1_2 + 2.0 * a1 * a0 + 3.0 * a0_2;

        p.P1 += db * C1;
        p.Pa += db * Ca;
        p.Paa += db * Caa;
        p.Pb += da * Cb;
        p.Pbb += da * Cbb;
        p.Pab += db * (b1 * Cab + b0 * Kab);
        if (full) {
            const dgFloat64 a0_4 = a0_3 * a0;
            const dgFloat64 b0_4 = b0_3 * b0;
            const dgFloat64 a1_3 = a1_2 * a1;
            const dgFloat64 b1_3 = b1_2 * b1;
            const dgFloat64 Caaa = a1 * Caa + a0_4;
            const dgFloat64 Cbbb = b1 * Cbb + b0_4;
            const dgFloat64 Caab = a0 * Cab + 4.0 * a1_3;
            const dgFloat64 Kaab = a1 * Kab + 4.0 * a0_3;
            const dgFloat64 Cabb = 4.0 * b1_3 + 3.0 * b1_2 * b0 + 2.0 * b1 * b0_2 + b0_3;
            const dgFloat64 Kabb = b1_3 + 2.0 * b1_2 * b0 + 3.0 * b1 * b0_2 + 4.0 * b0_3;
            p.Paaa += db * Caaa;
            p.Pbbb += da * Cbbb;
            p.Paab += db * (b1 * Caab + b0 * Kaab);
            p.Pabb += da * (a1 * Cabb + a0 * Kabb);
        }
    }
    p.P1 *= 1.0 / 2.0;
    p.Pa *= 1.0 / 6.0;
    p.Paa *= 1.0 / 12.0;
    p.Pb *= -1.0 / 6.0;
    p.Pbb *= -1.0 / 12.0;
    p.Pab *= 1.0 / 24.0;
    p.Paaa *= 1.0 / 20.0;
    p.Pbbb *= -1.0 / 20.0;
    p.Paab *= 1.0 / 60.0;
    p.Pabb *= -1.0 / 60.0;
    return p;
}

void dgPolyhedraMassIntegrator::ProjectionAxes(const dgFloat64* normal, dgInt32& a, dgInt32& b, dgInt32& c) {
    const dgFloat64 nx = std::fabs(normal[0]);
    const dgFloat64 ny = std::fabs(normal[1]);
    const dgFloat64 nz = std::fabs(normal[2]);
    c = (nx > ny && nx > nz) ? 0 : (ny > nz ? 1 : 2);
    a = (c + 1) % 3;
    b = (a + 1) % 3;
}

void dgPolyhedraMassIntegrator::AddFaceVolume(dgInt32 count, const dgVector& plane, const dgVector* points) {
    const dgFloat64 n[3] = {plane.x, plane.y, plane.z};
    if (n[0] * n[0] + n[1] * n[1] + n[2] * n[2] < 1.0e-8 || count < 3) {
        return;
    }
    dgFloat64 coords[3 * 2];
    dgInt32 a;
    dgInt32 b;
    dgInt32 c;
    ProjectionAxes(n, a, b, c);
    // Each call fills one of two slots, so the two points of an edge stay valid together.
    dgInt32 slot = 0;
    auto pointAt = [&](dgInt32 i) -> const dgFloat64* {
        dgFloat64* out = &coords[3 * slot];
        slot ^= 1;
        out[0] = points[i].x;
        out[1] = points[i].y;
        out[2] = points[i].z;
        return out;
    };
    const ProjectionIntegrals p = Project(count, pointAt, a, b, false);
    const dgFloat64 w = plane.w;
    const dgFloat64 k1 = 1.0 / n[c];
    const dgFloat64 k2 = k1 * k1;
    const dgFloat64 k3 = k2 * k1;
    const dgFloat64 Fa = k1 * p.Pa;
    const dgFloat64 Fb = k1 * p.Pb;
    const dgFloat64 Fc = -k2 * (n[a] * p.Pa + n[b] * p.Pb + w * p.P1);
    const dgFloat64 Faa = k1 * p.Paa;
    const dgFloat64 Fbb = k1 * p.Pbb;
    const dgFloat64 Fcc = k3 * (n[a] * n[a] * p.Paa + 2.0 * n[a] * n[b] * p.Pab + n[b] * n[b] * p.Pbb +
                                w * (2.0 * (n[a] * p.Pa + n[b] * p.Pb) + w * p.P1));
    m_T0 += n[0] * (a == 0 ? Fa : (b == 0 ? Fb : Fc));
    m_T1[a] += n[a] * Faa;
    m_T1[b] += n[b] * Fbb;
    m_T1[c] += n[c] * Fcc;
}

void dgPolyhedraMassIntegrator::AddFaceInertia(dgInt32 count, const dgFloat32* points) {
    if (count < 3) {
        return;
    }
    const dgFloat64 e1[3] = {static_cast<dgFloat64>(points[3]) - points[0],
                             static_cast<dgFloat64>(points[4]) - points[1],
                             static_cast<dgFloat64>(points[5]) - points[2]};
    const dgFloat64 e2[3] = {static_cast<dgFloat64>(points[6]) - points[0],
                             static_cast<dgFloat64>(points[7]) - points[1],
                             static_cast<dgFloat64>(points[8]) - points[2]};
    dgFloat64 n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                      e1[0] * e2[1] - e1[1] * e2[0]};
    const dgFloat64 length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(length > 0.0)) {
        return;
    }
    for (dgFloat64& component : n) {
        component /= length;
    }
    const dgFloat64 w = -(n[0] * points[0] + n[1] * points[1] + n[2] * points[2]);
    dgInt32 a;
    dgInt32 b;
    dgInt32 c;
    ProjectionAxes(n, a, b, c);
    dgFloat64 coords[3 * 2];
    dgInt32 slot = 0;
    auto pointAt = [&](dgInt32 i) -> const dgFloat64* {
        dgFloat64* out = &coords[3 * slot];
        slot ^= 1;
        out[0] = points[3 * i + 0];
        out[1] = points[3 * i + 1];
        out[2] = points[3 * i + 2];
        return out;
    };
    const ProjectionIntegrals p = Project(count, pointAt, a, b, true);
    const dgFloat64 na = n[a];
    const dgFloat64 nb = n[b];
    const dgFloat64 k1 = 1.0 / n[c];
    const dgFloat64 k2 = k1 * k1;
    const dgFloat64 k3 = k2 * k1;
    const dgFloat64 k4 = k3 * k1;

    const dgFloat64 Fa = k1 * p.Pa;
    const dgFloat64 Fb = k1 * p.Pb;
    const dgFloat64 Fc = -k2 * (na * p.Pa + nb * p.Pb + w * p.P1);
    const dgFloat64 Faa = k1 * p.Paa;
    const dgFloat64 Fbb = k1 * p.Pbb;
    const dgFloat64 Fcc = k3 * (na * na * p.Paa + 2.0 * na * nb * p.Pab + nb * nb * p.Pbb +
                                w * (2.0 * (na * p.Pa + nb * p.Pb) + w * p.P1));
    const dgFloat64 Faaa = k1 * p.Paaa;
    const dgFloat64 Fbbb = k1 * p.Pbbb;
    const dgFloat64 Fccc =
        -k4 * (na * na * na * p.Paaa + 3.0 * na * na * nb * p.Paab + 3.0 * na * nb * nb * p.Pabb +
               nb * nb * nb * p.Pbbb + 3.0 * w * (na * na * p.Paa + 2.0 * na * nb * p.Pab + nb * nb * p.Pbb) +
               w * w * (3.0 * (na * p.Pa + nb * p.Pb) + w * p.P1));
    const dgFloat64 Faab = k1 * p.Paab;
    const dgFloat64 Fbbc = -k2 * (na * p.Pabb + nb * p.Pbbb + w * p.Pbb);
    const dgFloat64 Fcca = k3 * (na * na * p.Paaa + 2.0 * na * nb * p.Paab + nb * nb * p.Pabb +
                                 w * (2.0 * (na * p.Paa + nb * p.Pab) + w * p.Pa));

    m_T0 += n[0] * (a == 0 ? Fa : (b == 0 ? Fb : Fc));
    m_T1[a] += na * Faa;
    m_T1[b] += nb * Fbb;
    m_T1[c] += n[c] * Fcc;
    m_T2[a] += na * Faaa;
    m_T2[b] += nb * Fbbb;
    m_T2[c] += n[c] * Fccc;
    m_TP[a] += na * Faab;
    m_TP[b] += nb * Fbbc;
    m_TP[c] += n[c] * Fcca;
}

dgVector dgPolyhedraMassIntegrator::GetT1() const {
    return dgVector(static_cast<dgFloat32>(m_T1[0]), static_cast<dgFloat32>(m_T1[1]),
                    static_cast<dgFloat32>(m_T1[2]), 1.0f);
}

dgVector dgPolyhedraMassIntegrator::GetT2() const {
    return dgVector(static_cast<dgFloat32>(m_T2[0]), static_cast<dgFloat32>(m_T2[1]),
                    static_cast<dgFloat32>(m_T2[2]), 1.0f);
}

dgVector dgPolyhedraMassIntegrator::GetTP() const {
    return dgVector(static_cast<dgFloat32>(m_TP[0]), static_cast<dgFloat32>(m_TP[1]),
                    static_cast<dgFloat32>(m_TP[2]), 1.0f);
}

void dgInertiaFromMoments(dgFloat32 volume, const dgVector& diagonal, const dgVector& firstMoments,
                          dgFloat32 minVolume, dgVector& inertiaOut, dgVector& centreOut) {
    volume = dgMax(volume, minVolume);
    const dgVector c = firstMoments.Scale(0.5f / volume);
    const dgFloat32 inv3V = 1.0f / (3.0f * volume);
    inertiaOut.x = diagonal.x * inv3V - (c.y * c.y + c.z * c.z);
    inertiaOut.y = diagonal.y * inv3V - (c.x * c.x + c.z * c.z);
    inertiaOut.z = diagonal.z * inv3V - (c.x * c.x + c.y * c.y);
    centreOut.x = c.x;
    centreOut.y = c.y;
    centreOut.z = c.z;
}
