#pragma once
// Error quadrics: the squared distance of a point from a set of planes as one quadratic form.

#include "physics/core/dgPlaneDouble.h"

class dgHalfEdge;

/// For a plane (a, b, c, d) the ten products a², b², c², d², 2ab, 2ac, 2ad, 2bc, 2bd, 2cd, in this
/// order. The sum of several planes' forms evaluates to the sum of squared distances to all of them
/// (true distances for unit planes).
class dgQuadric {
public:
    dgFloat64 m_q[10] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};

    static dgQuadric FromPlane(const dgPlaneDouble& plane) {
        dgQuadric q;
        q.AddPlane(plane);
        return q;
    }
    void Clear() {
        for (dgFloat64& value : m_q) {
            value = 0.0;
        }
    }
    void AddPlane(const dgPlaneDouble& plane) {
        const dgFloat64 a = plane.x;
        const dgFloat64 b = plane.y;
        const dgFloat64 c = plane.z;
        const dgFloat64 d = plane.w;
        m_q[0] += a * a;
        m_q[1] += b * b;
        m_q[2] += c * c;
        m_q[3] += d * d;
        m_q[4] += 2.0 * a * b;
        m_q[5] += 2.0 * a * c;
        m_q[6] += 2.0 * a * d;
        m_q[7] += 2.0 * b * c;
        m_q[8] += 2.0 * b * d;
        m_q[9] += 2.0 * c * d;
    }
    void Add(const dgQuadric& other) {
        for (dgInt32 i = 0; i < 10; i++) {
            m_q[i] += other.m_q[i];
        }
    }
    /// The form at the float point (x, y, z), in doubles.
    dgFloat64 Evaluate(const dgFloat32* point) const {
        const dgFloat64 x = point[0];
        const dgFloat64 y = point[1];
        const dgFloat64 z = point[2];
        return x * (m_q[0] * x + m_q[4] * y + m_q[5] * z + m_q[6]) + z * (m_q[2] * z + m_q[7] * y + m_q[9]) +
               y * (m_q[1] * y + m_q[8]) + m_q[3];
    }
};

/// Rebuilds quadrics[v] for the origin v of edge (quadrics indexed by vertex): the unit plane of every
/// face around v, and for each border edge at v the two boundary planes that hold v on its border.
void VertexQuadric(dgQuadric* quadrics, dgVertexView vertices, const dgHalfEdge* edge);
