#pragma once
// A box with its own axes, fitted around point clouds along their principal axes.

#include "physics/core/dgMatrix.h"
#include "physics/core/dgQuaternion.h"
#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"

/// Oriented box: frame rows are the unit axes, posit the centre; plain data, owns nothing.
class dgOrientedBox {
public:
    dgMatrix m_frame;    ///< front, up, right: the box axes; posit: the centre (w 1.0)
    dgFloat32 m_size[3]; ///< half extents along front, up and right; never negative
    dgFloat32 m_radius;  ///< radius of the sphere about the centre that holds the box

    /// Identity frame, size 0.
    dgOrientedBox();
    dgOrientedBox(const dgQuaternion& rotation, const dgVector& position, const dgVector& size);
    dgOrientedBox(const dgMatrix& frame, const dgVector& size);

    /// Half extents |x|, |y|, |z| and the radius of their diagonal.
    void SetDimensions(dgFloat32 x, dgFloat32 y, dgFloat32 z);

    /// Fits the box around count points (x, y, z at each stride step, stride in bytes) with a
    /// 0.002 margin. The axes are the cloud's principal axes unless axes is given, in which case
    /// its rows are used as they are. With no points the box is left unchanged.
    void FitToVertices(const dgFloat32* vertices, dgInt32 strideInBytes, dgInt32 count, const dgMatrix* axes);
    /// The same over the points named by indices.
    void FitToVertices(const dgFloat32* vertices, dgInt32 strideInBytes, const dgInt32* indices,
                       dgInt32 indexCount, const dgMatrix* axes);

private:
    template <typename PointSource> void Fit(const PointSource& points, const dgMatrix* axes);
};

static_assert(sizeof(dgOrientedBox) == 80);

/// The shared box with identity frame and size 0, built on first use.
const dgOrientedBox& dgGetIdentityOrientedBox();
