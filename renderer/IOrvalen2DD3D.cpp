// The 2D interface object: its renderer, coordinate spaces, vertex makers and transform.
#include "renderer/IOrvalen2DD3D.h"

#include "renderer/IOrvalenD3D.h"

#include <cmath>

namespace {

/// 2π as the float the circle's step is formed from.
constexpr float kFullTurn = 6.2831855f;
/// Depth of the screen forms of the Make operations.
constexpr float kScreenDepth = 0.1f;

} // namespace

IOrvalen2DD3D::IOrvalen2DD3D() {
    D3DXMatrixIdentity(&Transform);
}

IOrvalen2DD3D::~IOrvalen2DD3D() {
    for (std::int32_t slot = 0; slot < kTextureSlots; ++slot) {
        DestroyTexture(slot);
    }
}

void IOrvalen2DD3D::SetRenderer(IOrvalenRenderer** renderer) {
    // The renderer's own Direct3D record is the only implementation of its interface.
    Renderer = renderer != nullptr ? static_cast<IOrvalenD3D*>(*renderer) : nullptr;
}

void IOrvalen2DD3D::SetScreenSpace(bool on) {
    ScreenSpace = on;
}

void IOrvalen2DD3D::Begin2D() {
    if (Renderer == nullptr || Renderer->Device == nullptr) {
        return;
    }
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    Renderer->Device->SetTransform(D3DTS_WORLD, &identity);
    Renderer->Device->SetFVF(kVertexFormat);
}

void IOrvalen2DD3D::End2D() {}

template <typename Position> bool IOrvalen2DD3D::Make(std::int32_t count, Vertex2D* out, Position position) {
    if (out == nullptr) {
        return false;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        const D3DXVECTOR3 at = position(i);
        out[i].Position[0] = at.x;
        out[i].Position[1] = at.y;
        out[i].Position[2] = at.z;
        out[i].Diffuse = Colour;
    }
    return true;
}

bool IOrvalen2DD3D::MakePoint3D(float x, float y, float z, Vertex2D* out) {
    return Make(1, out, [&](std::int32_t) { return D3DXVECTOR3(x, y, z); });
}

bool IOrvalen2DD3D::MakePoint(float x, float y, Vertex2D* out) {
    return MakePoint3D(x, y, kScreenDepth, out);
}

bool IOrvalen2DD3D::MakeLine3D(float x1, float y1, float z1, float x2, float y2, float z2, Vertex2D* out) {
    const D3DXVECTOR3 ends[] = {{x1, y1, z1}, {x2, y2, z2}};
    return Make(2, out, [&](std::int32_t i) { return ends[i]; });
}

bool IOrvalen2DD3D::MakeLine(float x1, float y1, float x2, float y2, Vertex2D* out) {
    return MakeLine3D(x1, y1, kScreenDepth, x2, y2, kScreenDepth, out);
}

bool IOrvalen2DD3D::MakeRect3D(float x1, float y1, float x2, float y2, float z, Vertex2D* out) {
    const D3DXVECTOR3 corners[] = {{x1, y1, z}, {x2, y1, z}, {x1, y2, z}, {x2, y2, z}};
    return Make(4, out, [&](std::int32_t i) { return corners[i]; });
}

bool IOrvalen2DD3D::MakeRect(float x1, float y1, float x2, float y2, Vertex2D* out) {
    return MakeRect3D(x1, y1, x2, y2, kScreenDepth, out);
}

bool IOrvalen2DD3D::MakeTriangle3D(float x1, float y1, float z1, float x2, float y2, float z2, float x3,
                                   float y3, float z3, Vertex2D* out) {
    const D3DXVECTOR3 corners[] = {{x1, y1, z1}, {x2, y2, z2}, {x3, y3, z3}};
    return Make(3, out, [&](std::int32_t i) { return corners[i]; });
}

bool IOrvalen2DD3D::MakeTriangle(float x1, float y1, float x2, float y2, float x3, float y3, Vertex2D* out) {
    return MakeTriangle3D(x1, y1, kScreenDepth, x2, y2, kScreenDepth, x3, y3, kScreenDepth, out);
}

bool IOrvalen2DD3D::MakeCircle3D(float cx, float cy, float z, std::int32_t radius, std::int32_t count,
                                 Vertex2D* out) {
    // A fan needs the centre and a rim of two segments at least; fewer would divide by zero.
    if (count < 3) {
        return false;
    }
    const float step = kFullTurn / static_cast<float>(count - 2);
    const auto r = static_cast<float>(radius);
    return Make(count, out, [&](std::int32_t i) {
        if (i == 0) {
            return D3DXVECTOR3(cx, cy, z);
        }
        const double angle = static_cast<float>(i) * step;
        return D3DXVECTOR3(cx + r * static_cast<float>(std::cos(angle)),
                           cy + r * static_cast<float>(std::sin(angle)), z);
    });
}

bool IOrvalen2DD3D::MakeCircle(float cx, float cy, std::int32_t radius, std::int32_t count, Vertex2D* out) {
    return MakeCircle3D(cx, cy, kScreenDepth, radius, count, out);
}

void IOrvalen2DD3D::ResetTransform() {
    D3DXMatrixIdentity(&Transform);
}

void IOrvalen2DD3D::Translate(float x, float y, float z) {
    D3DXMATRIX translation;
    D3DXMatrixTranslation(&translation, x, y, z);
    D3DXMatrixMultiply(&Transform, &Transform, &translation);
}

void IOrvalen2DD3D::Rotate(float x, float y, float z) {
    // The arguments are an axis scaled so that its components sum to the angle.
    const float angle = x + y + z;
    if (angle == 0.0f) {
        return;
    }
    const D3DXVECTOR3 axis(x / angle, y / angle, z / angle);
    D3DXMATRIX rotation;
    D3DXMatrixRotationAxis(&rotation, &axis, angle);
    D3DXMatrixMultiply(&Transform, &Transform, &rotation);
}

void IOrvalen2DD3D::Scale(float x, float y, float z) {
    D3DXMATRIX scaling;
    D3DXMatrixScaling(&scaling, x, y, z);
    D3DXMatrixMultiply(&Transform, &Transform, &scaling);
}

D3DXVECTOR3 IOrvalen2DD3D::FromScreen(const D3DXVECTOR3& pixel) const {
    D3DXVECTOR3 world;
    D3DXVec3Unproject(&world, &pixel, &Renderer->Viewport, &Renderer->ProjectionMatrix, &Renderer->ViewMatrix,
                      nullptr);
    return world;
}

D3DXVECTOR3 IOrvalen2DD3D::ToScreen(const D3DXVECTOR3& world) const {
    D3DXVECTOR3 pixel;
    D3DXVec3Project(&pixel, &world, &Renderer->Viewport, &Renderer->ProjectionMatrix, &Renderer->ViewMatrix,
                    nullptr);
    return pixel;
}
