#pragma once
// Exact volume, first and second moments of a closed polyhedron, accumulated face by face
// (projection integrals over each face's edges, turned into face integrals and then, through the
// divergence theorem, into volume integrals).

#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"

/// Faces must be planar, counter-clockwise seen from outside, and together close the solid.
/// Accumulates in doubles.
class dgPolyhedraMassIntegrator {
public:
    /// Volume and first moments only. plane: unit normal and w with n.p + w = 0; points 4 floats each.
    /// A face whose normal has a squared length below 1e-8 is skipped.
    void AddFaceVolume(dgInt32 count, const dgVector& plane, const dgVector* points);
    /// Volume, first and second moments and products; points are (x, y, z) triples, the plane is that
    /// of the first three points. A face whose first three points are collinear adds nothing.
    void AddFaceInertia(dgInt32 count, const dgFloat32* points);

    /// The volume.
    dgFloat64 GetT0() const { return m_T0; }
    /// First moments times 2 (x, y, z), w 1.0.
    dgVector GetT1() const;
    /// Second moments times 3 (x^2, y^2, z^2), w 1.0.
    dgVector GetT2() const;
    /// Products (xy, yz, zx), w 1.0.
    dgVector GetTP() const;

private:
    struct ProjectionIntegrals {
        dgFloat64 P1 = 0, Pa = 0, Pb = 0, Paa = 0, Pab = 0, Pbb = 0;
        dgFloat64 Paaa = 0, Paab = 0, Pabb = 0, Pbbb = 0;
    };

    template <class PointAt>
    static ProjectionIntegrals Project(dgInt32 count, PointAt pointAt, dgInt32 a, dgInt32 b, bool full);
    static void ProjectionAxes(const dgFloat64* normal, dgInt32& a, dgInt32& b, dgInt32& c);

    dgFloat64 m_T0 = 0.0;
    dgFloat64 m_T1[3] = {};
    dgFloat64 m_T2[3] = {};
    dgFloat64 m_TP[3] = {};
};

/// Principal inertia per unit mass about the centre of mass (inertiaOut x, y, z) and that centre
/// (centreOut x, y, z), from a volume, the diagonal (y^2+z^2, x^2+z^2, x^2+y^2) of its second moments
/// times 3 and its first moments times 2. The volume is raised to minVolume first, so a flat or empty
/// solid gives a finite answer.
void dgInertiaFromMoments(dgFloat32 volume, const dgVector& diagonal, const dgVector& firstMoments,
                          dgFloat32 minVolume, dgVector& inertiaOut, dgVector& centreOut);
