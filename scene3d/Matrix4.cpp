#include "scene3d/Matrix4.h"

#include "platform/D3DXMath.h"

#include <cstring>

Matrix4::Matrix4() : m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1} {}

Matrix4::Matrix4(const D3DXMATRIX& matrix) {
    std::memcpy(m, &matrix.m[0][0], sizeof m);
}

Matrix4 Matrix4::operator*(Matrix4 other) const {
    Matrix4 product;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += (*this)(row, k) * other(k, column);
            }
            product(row, column) = sum;
        }
    }
    return product;
}

Matrix4 Matrix4::Transpose() const {
    Matrix4 transposed;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            transposed(column, row) = (*this)(row, column);
        }
    }
    return transposed;
}

D3DXMATRIX Matrix4::ToD3DX() const {
    D3DXMATRIX matrix;
    std::memcpy(&matrix.m[0][0], m, sizeof m);
    return matrix;
}
