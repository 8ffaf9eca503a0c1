// The shadow volume of the 3D object: the silhouette of the triangles facing along the light direction,
// each of its edges extruded into a quad along that direction, in world space.
#include "scene3d/IOrvalen3DD3DObject.h"

#include "renderer/IOrvalenD3D.h"

#include <algorithm>
#include <cmath>

namespace {

/// Every silhouette edge becomes two triangles.
constexpr std::size_t kVerticesPerEdge = 6;

Vertex3D ShadowVertex(const D3DXVECTOR3& position) {
    return Vertex3D(position.x, position.y, position.z, 0.0f, 0.0f, -1.0f, 0x00FFFFFF, 0.0f, 0.0f, 0.0f, 0.0f);
}

} // namespace

std::size_t IOrvalen3DD3DObject::TotalTriangles() const {
    std::size_t total = 0;
    for (std::int32_t group = 0; TriangleCounts != nullptr && group < MaterialCount; ++group) {
        total += TriangleCounts[group] > 0 ? static_cast<std::size_t>(TriangleCounts[group]) : 0;
    }
    return total;
}

void IOrvalen3DD3DObject::AddSilhouetteEdge(std::uint32_t a, std::uint32_t b) {
    // A search of the list would cost the square of the lit triangles; the table finds the edge in a
    // slot or two and leaves the list as that search would.
    ShadowEdgeLookup.Toggle(ShadowEdges.get(), ShadowEdgeCount, a, b);
}

void IOrvalen3DD3DObject::BuildShadowVolume(float x, float y, float z) {
    ShadowEdgeCount = 0;
    ShadowTriangleCount = 0;
    if (ShadowEdges == nullptr || ShadowVertices == nullptr || IndexLists == nullptr || Vertices == nullptr ||
        Renderer == nullptr) {
        return;
    }
    const D3DXMATRIX placement = PreparedWorldMatrix();
    const auto placed = [&](std::uint32_t index) {
        const D3DXVECTOR3 local(Vertices[index].x, Vertices[index].y, Vertices[index].z);
        D3DXVECTOR3 world;
        D3DXVec3TransformCoord(&world, &local, &placement);
        return world;
    };
    const float length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0.0f)) {
        return;
    }
    const D3DXVECTOR3 light(x / length, y / length, z / length);
    // The lookup's room bounds the list as well: an object whose lookup was never made keeps no edge.
    const std::size_t edgeRoom = std::min(3 * TotalTriangles(), ShadowEdgeLookup.Room());
    const std::uint32_t vertexCount = static_cast<std::uint32_t>(VertexCount);
    for (std::int32_t group = 0; group < MaterialCount; ++group) {
        const std::uint32_t* indices = IndexLists[group].get();
        for (std::int32_t t = 0; indices != nullptr && t < TriangleCounts[group]; ++t) {
            const std::uint32_t i0 = indices[3 * t], i1 = indices[3 * t + 1], i2 = indices[3 * t + 2];
            if (i0 >= vertexCount || i1 >= vertexCount || i2 >= vertexCount ||
                static_cast<std::size_t>(ShadowEdgeCount) + 3 > edgeRoom) {
                continue;
            }
            const D3DXVECTOR3 p0 = placed(i0);
            D3DXVECTOR3 normal;
            const D3DXVECTOR3 e2 = placed(i2) - p0, e1 = placed(i1) - p0;
            D3DXVec3Cross(&normal, &e2, &e1);
            if (D3DXVec3Dot(&normal, &light) >= 0.0f) {
                AddSilhouetteEdge(i0, i1);
                AddSilhouetteEdge(i1, i2);
                AddSilhouetteEdge(i2, i0);
            }
        }
    }
    ShadowEdgeLookup.Forget(ShadowEdges.get(), ShadowEdgeCount);
    // The extrusion takes the direction as given: its length scales the volume's.
    const float reach = Renderer->FarPlane / 10.0f;
    const D3DXVECTOR3 extrusion(x * reach, y * reach, z * reach);
    Vertex3D* out = ShadowVertices.get();
    for (std::int32_t i = 0; i < ShadowEdgeCount; ++i, out += kVerticesPerEdge) {
        const D3DXVECTOR3 a = placed(ShadowEdges[i].First), b = placed(ShadowEdges[i].Second);
        const D3DXVECTOR3 farA = a + extrusion, farB = b + extrusion;
        out[0] = ShadowVertex(a);
        out[1] = ShadowVertex(b);
        out[2] = ShadowVertex(farB);
        out[3] = ShadowVertex(a);
        out[4] = ShadowVertex(farB);
        out[5] = ShadowVertex(farA);
        ShadowTriangleCount += 2;
    }
}
