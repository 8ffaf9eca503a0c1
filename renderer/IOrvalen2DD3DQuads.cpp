// Textured quads: one quad placed by the 2D transform or at a corner, a batch of equal quads, a
// region of a texture and a texture split in two pieces. The four vertices live on the stack.
#include "renderer/IOrvalen2DD3D.h"

#include "renderer/IOrvalenD3D.h"

namespace {

constexpr IOrvalen2DD3D::TextureRegion kWholeTexture{0.0f, 0.0f, 1.0f, 1.0f};
/// Depth of the corner-placed quads without one of their own.
constexpr float kCornerDepth = 0.1f;

} // namespace

void IOrvalen2DD3D::BuildQuad(TexturedVertex2D (&quad)[4], float width, float height, float z,
                              const TextureRegion& region) const {
    // World space has y upwards, screen space downwards: q0 is the top-left corner in both.
    const float halfWidth = width / 2.0f;
    const float top = ScreenSpace ? -height / 2.0f : height / 2.0f;
    const float corners[4][2] = {{-halfWidth, top}, {halfWidth, top}, {-halfWidth, -top}, {halfWidth, -top}};
    const float coordinates[4][2] = {{region.uLeft, region.vTop},
                                     {region.uRight, region.vTop},
                                     {region.uLeft, region.vBottom},
                                     {region.uRight, region.vBottom}};
    for (int i = 0; i < 4; ++i) {
        quad[i].Position[0] = corners[i][0];
        quad[i].Position[1] = corners[i][1];
        quad[i].Position[2] = z;
        quad[i].Diffuse = Colour;
        quad[i].U = coordinates[i][0];
        quad[i].V = coordinates[i][1];
    }
}

bool IOrvalen2DD3D::PlaceAndDraw(TexturedVertex2D (&quad)[4]) const {
    if (!ScreenSpace) {
        if (FAILED(Device()->SetTransform(D3DTS_WORLD, &Transform))) {
            return false;
        }
    } else {
        for (TexturedVertex2D& vertex : quad) {
            const D3DXVECTOR3 position(vertex.Position[0], vertex.Position[1], vertex.Position[2]);
            D3DXVECTOR4 moved;
            D3DXVec3Transform(&moved, &position, &Transform);
            const D3DXVECTOR3 world = FromScreen(D3DXVECTOR3(moved.x, moved.y, moved.z));
            vertex.Position[0] = world.x;
            vertex.Position[1] = world.y;
            vertex.Position[2] = world.z;
        }
    }
    return Device()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexturedVertex2D)) == D3D_OK;
}

bool IOrvalen2DD3D::EndTexturedDrawing(bool drawn) {
    const bool unset = UnsetTexture();
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    const bool reset = SUCCEEDED(Device()->SetTransform(D3DTS_WORLD, &identity));
    Device()->SetFVF(kVertexFormat);
    return drawn && unset && reset;
}

bool IOrvalen2DD3D::DrawQuad(const char* operation, float width, float height, float z,
                             const TextureRegion& region, std::int32_t slot) {
    if (!CheckSlot(operation, slot) || Device() == nullptr) {
        return false;
    }
    Device()->SetFVF(kTexturedVertexFormat);
    TexturedVertex2D quad[4];
    BuildQuad(quad, width, height, z, region);
    // The device is put back for the primitive drawers on every road, not only when all went well.
    return EndTexturedDrawing(SetTexture(slot) && PlaceAndDraw(quad));
}

bool IOrvalen2DD3D::DrawTexture(float width, float height, float z, std::int32_t slot) {
    return DrawQuad("DrawTexture", width, height, z, kWholeTexture, slot);
}

bool IOrvalen2DD3D::DrawTexture(float width, float height, std::int32_t slot) {
    return DrawQuad("DrawTexture", width, height, 0.0f, kWholeTexture, slot);
}

bool IOrvalen2DD3D::DrawTextureRegion(float width, float height, float uLeft, float vTop, float uRight,
                                      float vBottom, std::int32_t slot) {
    return DrawQuad("DrawTextureRegion", width, height, 0.0f, {uLeft, vTop, uRight, vBottom}, slot);
}

bool IOrvalen2DD3D::DrawTextureAt(float x, float y, float z, float width, float height, std::int32_t slot) {
    const D3DXMATRIX saved = Transform;
    ResetTransform();
    Translate(x + width / 2.0f, y + height / 2.0f, z);
    const bool drawn = DrawTexture(width, height, slot);
    Transform = saved;
    return drawn;
}

bool IOrvalen2DD3D::DrawTextureAt(float x, float y, float width, float height, std::int32_t slot) {
    return DrawTextureAt(x, y, kCornerDepth, width, height, slot);
}

bool IOrvalen2DD3D::DrawTextureBatch(const float* xs, const float* ys, const float* zs, float rotateX,
                                     float rotateY, float rotateZ, float width, float height,
                                     std::uint32_t count, std::int32_t slot) {
    if (!CheckSlot("DrawTextureBatch", slot) || Device() == nullptr) {
        return false;
    }
    if (count > 0 && (xs == nullptr || ys == nullptr || zs == nullptr)) {
        Renderer->Log("ERROR: DrawTextureBatch Failed - No Positions\n");
        return false;
    }
    Device()->SetFVF(kTexturedVertexFormat);
    bool drawn = SetTexture(slot);
    for (std::uint32_t i = 0; drawn && i < count; ++i) {
        ResetTransform();
        Rotate(rotateX, rotateY, rotateZ);
        Translate(xs[i] + width / 2.0f, ys[i] + height / 2.0f, zs[i]);
        TexturedVertex2D quad[4];
        BuildQuad(quad, width, height, 0.0f, kWholeTexture);
        drawn = PlaceAndDraw(quad);
    }
    return EndTexturedDrawing(drawn);
}

bool IOrvalen2DD3D::DrawTextureSplit(float fraction, float x, float y, float width, float height,
                                     float slot) {
    // The slot arrives as a float and is truncated; one that names no entry (or no number) is refused
    // before the conversion, which it would not survive.
    if (!(slot > -1.0f && slot < static_cast<float>(kTextureSlots))) {
        if (Renderer != nullptr) {
            Renderer->Log("ERROR: DrawTextureSplit Failed - Bad Index %g\n", static_cast<double>(slot));
        }
        return false;
    }
    const auto index = static_cast<std::int32_t>(slot);
    const float a = fraction;
    const float w = width;
    const float h = height;
    const auto rest = static_cast<float>(1.0 - static_cast<double>(a));
    // The two pieces overlap as they always have: the second runs from u = 1 back to 1 - a over the
    // first piece's right end.
    ResetTransform();
    Translate(x + w / 2.0f - a * w, y + h / 2.0f, kCornerDepth);
    if (!DrawTextureRegion(w - a * w, h, 0.0f, 0.0f, rest, 1.0f, index)) {
        return false;
    }
    ResetTransform();
    Translate(x + w - 2.0f * a * w, y + h / 2.0f, kCornerDepth);
    return DrawTextureRegion(a * w, h, 1.0f, 0.0f, rest, 1.0f, index);
}
