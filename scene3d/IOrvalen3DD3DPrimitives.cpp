// Ready-made objects: a box, an open tube and a sphere or ellipsoid, each one material group named
// "default" over a mesh generated here, with a body of the matching engine shape unless the host asks
// for none.
#include "scene3d/IOrvalen3DD3D.h"

#include "physics/api/dgApi.h"
#include "scene3d/BodyCallbacks.h"
#include "scene3d/IOrvalen3DD3DObject.h"

#include <cmath>
#include <cstring>
#include <new>

namespace {

/// The largest mesh a primitive may have; beyond it the tessellation comes from a radius no host means.
constexpr std::size_t kMaxPrimitiveVertices = 4194304;
constexpr float kTwoPi = 6.2831855f;
constexpr float kPi = 3.1415927f;
constexpr float kHalfPi = 1.5707964f;

/// Sizes of a primitive's arrays; `valid` is false for a shape that cannot be tessellated.
struct PrimitiveCounts {
    bool valid = true;
    std::size_t vertices = 0;     ///< VertexCount
    std::size_t indices = 0;      ///< written into the group's index list
    std::size_t triangles = 0;    ///< drawn
    std::size_t edges = 0;        ///< room for the shadow silhouette
    std::size_t shadowVertices = 0;
};

/// The tessellation number of a radius: truncated toward zero, plus 10; 0 when it gives fewer than two
/// segments or more than any mesh may have.
std::size_t Segments(float radius) {
    constexpr float kCeiling = static_cast<float>(kMaxPrimitiveVertices);
    if (!std::isfinite(radius) || radius <= -9.0f || radius >= kCeiling) {
        return 0;
    }
    return static_cast<std::size_t>(static_cast<long long>(std::trunc(radius)) + 10);
}

PrimitiveCounts CubeCounts(float w, float h, float d) {
    PrimitiveCounts counts{std::isfinite(w) && std::isfinite(h) && std::isfinite(d), 24, 36, 12, 36, 216};
    return counts;
}

PrimitiveCounts CylinderCounts(std::size_t n) {
    PrimitiveCounts counts{n >= 2, 2 * n, 6 * n, 2 * n, 6 * n, 36 * n};
    counts.valid = counts.valid && counts.vertices <= kMaxPrimitiveVertices;
    return counts;
}

PrimitiveCounts SphereCounts(std::size_t n, bool lastColumnDrawn) {
    const std::size_t cells = n * n;
    PrimitiveCounts counts{n >= 2, 2 * cells, 6 * cells, lastColumnDrawn ? 2 * cells : 2 * n * (n - 1), 6 * cells,
                           36 * cells};
    counts.valid = counts.valid && counts.vertices <= kMaxPrimitiveVertices;
    return counts;
}

/// A table of `count` value-initialised entries, null when no memory can be had.
template <typename T> bool Allocate(std::unique_ptr<T[]>& table, std::size_t count) {
    table.reset(new (std::nothrow) T[count]());
    return table != nullptr;
}

/// The arrays of a primitive: vertices, the one group's index list, the shadow room and its edge lookup.
bool AllocateMesh(IOrvalen3DD3DObject& object, const PrimitiveCounts& counts) {
    return Allocate(object.BaseVertices, counts.vertices) && Allocate(object.Vertices, counts.vertices) &&
           Allocate(object.IndexLists, IOrvalen3DD3DObject::kMaxMaterials) &&
           Allocate(object.IndexLists[0], counts.indices) && Allocate(object.UseTexCoords, 1) &&
           Allocate(object.ShadowEdges, counts.edges) && object.ShadowEdgeLookup.Make(counts.edges) &&
           Allocate(object.ShadowVertices, counts.shadowVertices);
}

/// The one group "default" with a zeroed material, and the name and texture tables.
bool AllocateGroup(IOrvalen3DD3DObject& object, const PrimitiveCounts& counts) {
    if (!Allocate(object.TriangleCounts, 1)) {
        return false;
    }
    object.TriangleCounts[0] = static_cast<std::int32_t>(counts.triangles);
    std::memcpy(object.Vertices.get(), object.BaseVertices.get(), counts.vertices * sizeof(Vertex3D));
    if (!Allocate(object.Materials, 1)) {
        return false;
    }
    object.MaterialCount = 1;
    if (!object.MakeGroupTables()) {
        return false;
    }
    object.MaterialNames[0] = new (std::nothrow) char[IOrvalen3DD3DObject::kNameBytes]();
    if (object.MaterialNames[0] == nullptr) {
        return false;
    }
    std::strcpy(object.MaterialNames[0], "default");
    return true;
}

/// The common road of the three makers: limit, object, arrays, mesh, group, body, table. Every failure
/// logs its line and releases what was made.
template <typename Generate, typename MakeShape>
IOrvalen3DObject* MakePrimitive(IOrvalen3DD3D& scene, const char* name, const PrimitiveCounts& counts,
                                bool noBody, Generate generate, MakeShape makeShape) {
    if (!scene.HasRoomForObject()) {
        return nullptr;
    }
    std::unique_ptr<IOrvalen3DD3DObject> object(new (std::nothrow) IOrvalen3DD3DObject());
    if (object == nullptr) {
        scene.Log("ERROR: Couldn't Create New %s\n", name);
        return nullptr;
    }
    IOrvalenRenderer* renderer = scene.Renderer;
    object->SetRenderer(&renderer);
    if (!counts.valid || !AllocateMesh(*object, counts)) {
        scene.Log("ERROR: %s Failed\n", name);
        return nullptr;
    }
    generate(object->BaseVertices.get(), object->IndexLists[0].get());
    object->VertexCount = static_cast<std::int32_t>(counts.vertices);
    if (!AllocateGroup(*object, counts)) {
        scene.Log("ERROR: %s Failed\n", name);
        return nullptr;
    }
    if (!noBody) {
        dgCollision* shape = scene.World != nullptr ? makeShape(scene.World) : nullptr;
        object->Body = shape != nullptr ? MakeOwnedBody(scene.World, shape, *object, ObjectTransformCallback,
                                                        ObjectForceCallback)
                                        : nullptr;
        if (object->Body == nullptr) {
            scene.Log("ERROR: %s Failed\n", name);
            return nullptr;
        }
    }
    IOrvalen3DD3DObject* made = object.release();
    scene.AddToTable(made);
    return made;
}

/// Half of a size, the negative half computed as (-0 - size) / 2.
float Half(float size, int sign) {
    return sign > 0 ? size / 2.0f : (-0.0f - size) / 2.0f;
}

/// The corner signs (x, y, z) of a cube face's four vertices and its normal.
struct CubeFace {
    float normal[3];
    int corners[4][3];
};

constexpr CubeFace kCubeFaces[6] = {
    {{0, 0, -1}, {{-1, 1, -1}, {1, 1, -1}, {-1, -1, -1}, {1, -1, -1}}},
    {{0, 0, 1}, {{1, 1, 1}, {-1, 1, 1}, {1, -1, 1}, {-1, -1, 1}}},
    {{-1, 0, 0}, {{-1, 1, 1}, {-1, 1, -1}, {-1, -1, 1}, {-1, -1, -1}}},
    {{1, 0, 0}, {{1, 1, -1}, {1, 1, 1}, {1, -1, -1}, {1, -1, 1}}},
    {{0, 1, 0}, {{-1, 1, 1}, {1, 1, 1}, {-1, 1, -1}, {1, 1, -1}}},
    {{0, -1, 0}, {{-1, -1, -1}, {1, -1, -1}, {-1, -1, 1}, {1, -1, 1}}},
};

/// Texture coordinates of a face's vertices 0 to 3.
constexpr float kCubeFaceUV[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};

float Sin(float angle) {
    return static_cast<float>(std::sin(static_cast<double>(angle)));
}

float Cos(float angle) {
    return static_cast<float>(std::cos(static_cast<double>(angle)));
}

} // namespace

IOrvalen3DObject* IOrvalen3DD3D::Cube(float width, float height, float depth, bool noBody) {
    const std::uint32_t colour = VertexColour;
    auto generate = [&](Vertex3D* vertices, std::uint32_t* indices) {
        for (std::uint32_t face = 0; face < 6; ++face) {
            const CubeFace& cubeFace = kCubeFaces[face];
            for (int corner = 0; corner < 4; ++corner) {
                const int* sign = cubeFace.corners[corner];
                vertices[face * 4 + corner] =
                    Vertex3D(Half(width, sign[0]), Half(height, sign[1]), Half(depth, sign[2]), cubeFace.normal[0],
                             cubeFace.normal[1], cubeFace.normal[2], colour, kCubeFaceUV[corner][0], kCubeFaceUV[corner][1],
                             0.0f, 0.0f);
            }
            const std::uint32_t b = face * 4;
            const std::uint32_t faceIndices[6] = {b, b + 1, b + 2, b + 1, b + 3, b + 2};
            std::memcpy(indices + face * 6, faceIndices, sizeof faceIndices);
        }
    };
    auto shape = [&](dgWorld* world) { return dgApiCollisionCreateBox(world, width, height, depth, nullptr); };
    auto* object = static_cast<IOrvalen3DD3DObject*>(
        MakePrimitive(*this, "Cube", CubeCounts(width, height, depth), noBody, generate, shape));
    if (object != nullptr) {
        object->Materials[0].Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    }
    return object;
}

IOrvalen3DObject* IOrvalen3DD3D::Cube(float width, float height, float depth) {
    return Cube(width, height, depth, false);
}

IOrvalen3DObject* IOrvalen3DD3D::Cylinder(float radius, float height, bool noBody) {
    const std::size_t n = Segments(radius);
    const std::uint32_t colour = VertexColour;
    auto generate = [&](Vertex3D* vertices, std::uint32_t* indices) {
        // N - 1 steps: the last pair lies at 2 pi, on the first.
        const float step = kTwoPi / static_cast<float>(n - 1);
        for (std::size_t i = 0; i < n; ++i) {
            const float angle = static_cast<float>(i) * step;
            const float c = Cos(angle);
            const float s = Sin(angle);
            const float u = static_cast<float>(i) / static_cast<float>(n);
            vertices[2 * i] = Vertex3D(radius * c, height / 2.0f, radius * s, c, 0.0f, s, colour, u, 0.0f, 0.0f, 0.0f);
            vertices[2 * i + 1] =
                Vertex3D(radius * c, -height / 2.0f, radius * s, c, 0.0f, s, colour, u, 1.0f, 0.0f, 0.0f);
            const auto first = static_cast<std::uint32_t>(2 * i);
            const auto next = static_cast<std::uint32_t>((2 * i + 2) % (2 * n));
            const std::uint32_t segment[6] = {first, next, first + 1, next, next + 1, first + 1};
            std::memcpy(indices + 6 * i, segment, sizeof segment);
        }
    };
    auto shape = [&](dgWorld* world) {
        // Turns the shape's x axis onto the tube's y axis.
        D3DXMATRIX offset;
        D3DXMatrixRotationYawPitchRoll(&offset, 0.0f, 0.0f, kHalfPi);
        return dgApiCollisionCreateCylinder(world, radius, height, &offset.m[0][0]);
    };
    return MakePrimitive(*this, "Cylinder", CylinderCounts(n), noBody, generate, shape);
}

IOrvalen3DObject* IOrvalen3DD3D::Cylinder(float radius, float height) {
    return Cylinder(radius, height, false);
}

namespace {

/// The N x N grid of a sphere or ellipsoid with poles on the z axis; cell rows wrap modulo `wrap`.
void GenerateSphere(Vertex3D* vertices, std::uint32_t* indices, std::size_t n, std::size_t wrap, float rx,
                    float ry, float rz, std::uint32_t colour) {
    const float around = kTwoPi / static_cast<float>(n);
    const float poleToPole = kPi / static_cast<float>(n - 1);
    const float last = static_cast<float>(n - 1);
    for (std::size_t i = 0; i < n; ++i) {
        const float theta = static_cast<float>(i) * around;
        const float st = Sin(theta);
        const float ct = Cos(theta);
        for (std::size_t j = 0; j < n; ++j) {
            const float phi = static_cast<float>(j) * poleToPole;
            const float sp = Sin(phi);
            const float cp = Cos(phi);
            const std::size_t k = i * n + j;
            vertices[k] = Vertex3D(rx * st * sp, ry * ct * sp, rz * cp, st * sp, ct * sp, cp, colour,
                                   static_cast<float>(i) / last, static_cast<float>(j) / last, 0.0f, 0.0f);
            const auto first = static_cast<std::uint32_t>(k);
            const auto next = static_cast<std::uint32_t>(((i + 1) * n + j) % wrap);
            const std::uint32_t cell[6] = {first, next, first + 1, next, next + 1, first + 1};
            std::memcpy(indices + 6 * k, cell, sizeof cell);
        }
    }
}

} // namespace

IOrvalen3DObject* IOrvalen3DD3D::Sphere(float radiusX, float radiusY, float radiusZ, bool noBody) {
    const std::size_t n = Segments(radiusX);
    const std::uint32_t colour = VertexColour;
    // The last column is not drawn: column N - 2 closes onto column 0.
    auto generate = [&](Vertex3D* vertices, std::uint32_t* indices) {
        GenerateSphere(vertices, indices, n, n * (n - 1), radiusX, radiusY, radiusZ, colour);
    };
    auto shape = [&](dgWorld* world) {
        return dgApiCollisionCreateSphere(world, radiusX, radiusY, radiusZ, nullptr);
    };
    const bool finite = std::isfinite(radiusY) && std::isfinite(radiusZ);
    PrimitiveCounts counts = SphereCounts(n, false);
    counts.valid = counts.valid && finite;
    return MakePrimitive(*this, "Sphere", counts, noBody, generate, shape);
}

IOrvalen3DObject* IOrvalen3DD3D::Sphere(float radius, bool noBody) {
    const std::size_t n = Segments(radius);
    const std::uint32_t colour = VertexColour;
    auto generate = [&](Vertex3D* vertices, std::uint32_t* indices) {
        GenerateSphere(vertices, indices, n, n * n, radius, radius, radius, colour);
    };
    auto shape = [&](dgWorld* world) { return dgApiCollisionCreateSphere(world, radius, radius, radius, nullptr); };
    return MakePrimitive(*this, "Sphere", SphereCounts(n, true), noBody, generate, shape);
}

IOrvalen3DObject* IOrvalen3DD3D::Sphere(float radiusX, float radiusY, float radiusZ) {
    return Sphere(radiusX, radiusY, radiusZ, false);
}

IOrvalen3DObject* IOrvalen3DD3D::Sphere(float radius) {
    return Sphere(radius, false);
}
