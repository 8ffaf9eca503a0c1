#pragma once
// The scene's small 4x4 float matrix, row by row (element (r, c) at index 4r + c): the world-view-
// projection product handed to shader effects, which take it transposed.

struct D3DXMATRIX;

struct Matrix4 {
    float m[16];

    /// The identity.
    Matrix4();
    explicit Matrix4(const D3DXMATRIX& matrix);

    /// this x other: element (r, c) = sum over k of this(r, k) x other(k, c).
    Matrix4 operator*(Matrix4 other) const;
    Matrix4 Transpose() const;
    D3DXMATRIX ToD3DX() const;

    float& operator()(int row, int column) { return m[4 * row + column]; }
    float operator()(int row, int column) const { return m[4 * row + column]; }
};
