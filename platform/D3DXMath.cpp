#include "platform/D3DXMath.h"

#include <cmath>
#include <initializer_list>

D3DXMATRIX::D3DXMATRIX(float m11, float m12, float m13, float m14, float m21, float m22, float m23, float m24,
                       float m31, float m32, float m33, float m34, float m41, float m42, float m43, float m44)
    : D3DMATRIX{{{m11, m12, m13, m14}, {m21, m22, m23, m24}, {m31, m32, m33, m34}, {m41, m42, m43, m44}}} {}

D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& other) const {
    D3DXMATRIX product;
    D3DXMatrixMultiply(&product, this, &other);
    return product;
}

bool D3DXMATRIX::operator==(const D3DXMATRIX& other) const {
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            if (m[row][column] != other.m[row][column]) {
                return false;
            }
        }
    }
    return true;
}

float D3DXVec3Length(const D3DXVECTOR3* v) {
    return std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z);
}

float D3DXVec3Dot(const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
    return a->x * b->x + a->y * b->y + a->z * b->z;
}

D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
    *out = {a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z, a->x * b->y - a->y * b->x};
    return out;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
    const float length = D3DXVec3Length(v);
    if (length == 0.0f || !std::isfinite(length)) {
        *out = {};
        return out;
    }
    const float inverse = 1.0f / length;
    *out = *v * inverse;
    return out;
}

D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    const float x = v->x, y = v->y, z = v->z;
    *out = {x * m->m[0][0] + y * m->m[1][0] + z * m->m[2][0] + m->m[3][0],
            x * m->m[0][1] + y * m->m[1][1] + z * m->m[2][1] + m->m[3][1],
            x * m->m[0][2] + y * m->m[1][2] + z * m->m[2][2] + m->m[3][2],
            x * m->m[0][3] + y * m->m[1][3] + z * m->m[2][3] + m->m[3][3]};
    return out;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    D3DXVECTOR4 h;
    D3DXVec3Transform(&h, v, m);
    if (h.w == 0.0f) {
        *out = {};
        return out;
    }
    *out = {h.x / h.w, h.y / h.w, h.z / h.w};
    return out;
}

namespace {

// world × view × projection, with absent matrices left out.
D3DXMATRIX CombinedTransform(const D3DXMATRIX* projection, const D3DXMATRIX* view, const D3DXMATRIX* world) {
    D3DXMATRIX combined;
    D3DXMatrixIdentity(&combined);
    for (const D3DXMATRIX* matrix : {world, view, projection}) {
        if (matrix != nullptr) {
            D3DXMatrixMultiply(&combined, &combined, matrix);
        }
    }
    return combined;
}

bool ProjectsToFinite(const D3DXVECTOR4& h) {
    return h.w != 0.0f && std::isfinite(h.x / h.w) && std::isfinite(h.y / h.w) && std::isfinite(h.z / h.w);
}

} // namespace

D3DXVECTOR3* D3DXVec3Project(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DVIEWPORT9* viewport,
                             const D3DXMATRIX* projection, const D3DXMATRIX* view, const D3DXMATRIX* world) {
    const D3DXMATRIX combined = CombinedTransform(projection, view, world);
    D3DXVECTOR4 h;
    D3DXVec3Transform(&h, v, &combined);
    if (viewport->Width == 0 || viewport->Height == 0 || !ProjectsToFinite(h)) {
        *out = {};
        return nullptr;
    }
    const float x = h.x / h.w, y = h.y / h.w, z = h.z / h.w;
    // Clip space y points up, pixel rows go down.
    *out = {static_cast<float>(viewport->X) + (1.0f + x) * static_cast<float>(viewport->Width) * 0.5f,
            static_cast<float>(viewport->Y) + (1.0f - y) * static_cast<float>(viewport->Height) * 0.5f,
            viewport->MinZ + z * (viewport->MaxZ - viewport->MinZ)};
    return out;
}

D3DXVECTOR3* D3DXVec3Unproject(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DVIEWPORT9* viewport,
                               const D3DXMATRIX* projection, const D3DXMATRIX* view,
                               const D3DXMATRIX* world) {
    const D3DXMATRIX combined = CombinedTransform(projection, view, world);
    D3DXMATRIX inverse;
    const float depthRange = viewport->MaxZ - viewport->MinZ;
    if (viewport->Width == 0 || viewport->Height == 0 || depthRange == 0.0f ||
        D3DXMatrixInverse(&inverse, nullptr, &combined) == nullptr) {
        *out = {};
        return nullptr;
    }
    const D3DXVECTOR3 clip{
        (v->x - static_cast<float>(viewport->X)) * 2.0f / static_cast<float>(viewport->Width) - 1.0f,
        1.0f - (v->y - static_cast<float>(viewport->Y)) * 2.0f / static_cast<float>(viewport->Height),
        (v->z - viewport->MinZ) / depthRange};
    D3DXVECTOR4 h;
    D3DXVec3Transform(&h, &clip, &inverse);
    if (!ProjectsToFinite(h)) {
        *out = {};
        return nullptr;
    }
    *out = {h.x / h.w, h.y / h.w, h.z / h.w};
    return out;
}

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out) {
    *out = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b) {
    D3DXMATRIX product;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            product.m[row][column] = a->m[row][0] * b->m[0][column] + a->m[row][1] * b->m[1][column] +
                                     a->m[row][2] * b->m[2][column] + a->m[row][3] * b->m[3][column];
        }
    }
    *out = product;
    return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z) {
    *out = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz) {
    *out = D3DXMATRIX(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    *out = D3DXMATRIX(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    *out = D3DXMATRIX(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    *out = D3DXMATRIX(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* out, const D3DXVECTOR3* axis, float angle) {
    D3DXVECTOR3 n;
    D3DXVec3Normalize(&n, axis);
    if (n == D3DXVECTOR3{}) {
        return D3DXMatrixIdentity(out);
    }
    const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    *out = D3DXMATRIX(t * n.x * n.x + c, t * n.x * n.y + s * n.z, t * n.x * n.z - s * n.y, 0,
                      t * n.x * n.y - s * n.z, t * n.y * n.y + c, t * n.y * n.z + s * n.x, 0,
                      t * n.x * n.z + s * n.y, t * n.y * n.z - s * n.x, t * n.z * n.z + c, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* out, float yaw, float pitch, float roll) {
    D3DXMATRIX r, p, y;
    D3DXMatrixRotationZ(&r, roll);
    D3DXMatrixRotationX(&p, pitch);
    D3DXMatrixRotationY(&y, yaw);
    *out = r * p * y;
    return out;
}

D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* out, float* determinant, const D3DXMATRIX* m) {
    // Cofactor expansion through the 2x2 minors of the upper and lower row pairs, in double precision.
    const auto& a = m->m;
    double s[6], c[6];
    s[0] = double(a[0][0]) * a[1][1] - double(a[1][0]) * a[0][1];
    s[1] = double(a[0][0]) * a[1][2] - double(a[1][0]) * a[0][2];
    s[2] = double(a[0][0]) * a[1][3] - double(a[1][0]) * a[0][3];
    s[3] = double(a[0][1]) * a[1][2] - double(a[1][1]) * a[0][2];
    s[4] = double(a[0][1]) * a[1][3] - double(a[1][1]) * a[0][3];
    s[5] = double(a[0][2]) * a[1][3] - double(a[1][2]) * a[0][3];
    c[5] = double(a[2][2]) * a[3][3] - double(a[3][2]) * a[2][3];
    c[4] = double(a[2][1]) * a[3][3] - double(a[3][1]) * a[2][3];
    c[3] = double(a[2][1]) * a[3][2] - double(a[3][1]) * a[2][2];
    c[2] = double(a[2][0]) * a[3][3] - double(a[3][0]) * a[2][3];
    c[1] = double(a[2][0]) * a[3][2] - double(a[3][0]) * a[2][2];
    c[0] = double(a[2][0]) * a[3][1] - double(a[3][0]) * a[2][1];
    const double det = s[0] * c[5] - s[1] * c[4] + s[2] * c[3] + s[3] * c[2] - s[4] * c[1] + s[5] * c[0];
    if (determinant != nullptr) {
        *determinant = static_cast<float>(det);
    }
    if (det == 0.0 || !std::isfinite(det)) {
        return nullptr;
    }
    const double k = 1.0 / det;
    const double r[4][4] = {{(a[1][1] * c[5] - a[1][2] * c[4] + a[1][3] * c[3]) * k,
                             (-a[0][1] * c[5] + a[0][2] * c[4] - a[0][3] * c[3]) * k,
                             (a[3][1] * s[5] - a[3][2] * s[4] + a[3][3] * s[3]) * k,
                             (-a[2][1] * s[5] + a[2][2] * s[4] - a[2][3] * s[3]) * k},
                            {(-a[1][0] * c[5] + a[1][2] * c[2] - a[1][3] * c[1]) * k,
                             (a[0][0] * c[5] - a[0][2] * c[2] + a[0][3] * c[1]) * k,
                             (-a[3][0] * s[5] + a[3][2] * s[2] - a[3][3] * s[1]) * k,
                             (a[2][0] * s[5] - a[2][2] * s[2] + a[2][3] * s[1]) * k},
                            {(a[1][0] * c[4] - a[1][1] * c[2] + a[1][3] * c[0]) * k,
                             (-a[0][0] * c[4] + a[0][1] * c[2] - a[0][3] * c[0]) * k,
                             (a[3][0] * s[4] - a[3][1] * s[2] + a[3][3] * s[0]) * k,
                             (-a[2][0] * s[4] + a[2][1] * s[2] - a[2][3] * s[0]) * k},
                            {(-a[1][0] * c[3] + a[1][1] * c[1] - a[1][2] * c[0]) * k,
                             (a[0][0] * c[3] - a[0][1] * c[1] + a[0][2] * c[0]) * k,
                             (-a[3][0] * s[3] + a[3][1] * s[1] - a[3][2] * s[0]) * k,
                             (a[2][0] * s[3] - a[2][1] * s[1] + a[2][2] * s[0]) * k}};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            out->m[row][column] = static_cast<float>(r[row][column]);
        }
    }
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovY, float aspect, float zNear, float zFar) {
    const float yScale = 1.0f / std::tan(fovY * 0.5f);
    const float xScale = yScale / aspect;
    const float depth = zFar / (zFar - zNear);
    *out = D3DXMATRIX(xScale, 0, 0, 0, 0, yScale, 0, 0, 0, 0, depth, 1, 0, 0, -zNear * depth, 0);
    return out;
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up) {
    D3DXVECTOR3 zAxis, xAxis, yAxis;
    const D3DXVECTOR3 forward = *at - *eye;
    D3DXVec3Normalize(&zAxis, &forward);
    D3DXVec3Cross(&xAxis, up, &zAxis);
    D3DXVec3Normalize(&xAxis, &xAxis);
    D3DXVec3Cross(&yAxis, &zAxis, &xAxis);
    *out = D3DXMATRIX(xAxis.x, yAxis.x, zAxis.x, 0, xAxis.y, yAxis.y, zAxis.y, 0, xAxis.z, yAxis.z, zAxis.z,
                      0, -D3DXVec3Dot(&xAxis, eye), -D3DXVec3Dot(&yAxis, eye), -D3DXVec3Dot(&zAxis, eye), 1);
    return out;
}

namespace {

// Quaternion of a pure rotation given as rows (row-vector convention), by the largest diagonal term.
D3DXQUATERNION QuaternionFromRows(const float r[3][3]) {
    const float trace = r[0][0] + r[1][1] + r[2][2];
    D3DXQUATERNION q;
    if (trace > 0.0f) {
        const float s = std::sqrt(trace + 1.0f) * 2.0f;
        q = {(r[1][2] - r[2][1]) / s, (r[2][0] - r[0][2]) / s, (r[0][1] - r[1][0]) / s, 0.25f * s};
    } else if (r[0][0] > r[1][1] && r[0][0] > r[2][2]) {
        const float s = std::sqrt(1.0f + r[0][0] - r[1][1] - r[2][2]) * 2.0f;
        q = {0.25f * s, (r[0][1] + r[1][0]) / s, (r[2][0] + r[0][2]) / s, (r[1][2] - r[2][1]) / s};
    } else if (r[1][1] > r[2][2]) {
        const float s = std::sqrt(1.0f + r[1][1] - r[0][0] - r[2][2]) * 2.0f;
        q = {(r[0][1] + r[1][0]) / s, 0.25f * s, (r[1][2] + r[2][1]) / s, (r[2][0] - r[0][2]) / s};
    } else {
        const float s = std::sqrt(1.0f + r[2][2] - r[0][0] - r[1][1]) * 2.0f;
        q = {(r[2][0] + r[0][2]) / s, (r[1][2] + r[2][1]) / s, 0.25f * s, (r[0][1] - r[1][0]) / s};
    }
    return q;
}

} // namespace

HRESULT D3DXMatrixDecompose(D3DXVECTOR3* scale, D3DXQUATERNION* rotation, D3DXVECTOR3* translation,
                            const D3DXMATRIX* m) {
    float rows[3][3];
    float scales[3];
    for (int i = 0; i < 3; ++i) {
        const D3DXVECTOR3 row{m->m[i][0], m->m[i][1], m->m[i][2]};
        scales[i] = D3DXVec3Length(&row);
        if (scales[i] == 0.0f) {
            return D3DERR_INVALIDCALL;
        }
        rows[i][0] = row.x / scales[i];
        rows[i][1] = row.y / scales[i];
        rows[i][2] = row.z / scales[i];
    }
    // A mirrored basis keeps a proper rotation by carrying the reflection in the x scale.
    const float handedness = rows[0][0] * (rows[1][1] * rows[2][2] - rows[1][2] * rows[2][1]) -
                             rows[0][1] * (rows[1][0] * rows[2][2] - rows[1][2] * rows[2][0]) +
                             rows[0][2] * (rows[1][0] * rows[2][1] - rows[1][1] * rows[2][0]);
    if (handedness < 0.0f) {
        scales[0] = -scales[0];
        for (float& element : rows[0]) {
            element = -element;
        }
    }
    *scale = {scales[0], scales[1], scales[2]};
    *translation = {m->m[3][0], m->m[3][1], m->m[3][2]};
    *rotation = QuaternionFromRows(rows);
    return D3D_OK;
}
