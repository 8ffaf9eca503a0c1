// The 3D object's side of building from the host's mesh: the tables a build fills, the triangles of
// a material group, and the shadow arrays sized when the build ends. The scene checks the host's
// input and logs; everything here allocates first and commits after, so a failure keeps the object as
// it was.
#include "scene3d/IOrvalen3DD3DObject.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

/// A table of `count` value-initialised entries, null when no memory can be had.
template <typename T> std::unique_ptr<T[]> MakeTable(std::size_t count) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]());
}

/// `count` indices copied, each plus `offset` (wrapping as the 32-bit list stores them), after `head`.
std::unique_ptr<std::uint32_t[]> JoinedList(const std::uint32_t* head, std::size_t headCount,
                                            const std::uint32_t* tail, std::size_t count,
                                            std::uint32_t offset) {
    auto list = MakeTable<std::uint32_t>(headCount + count);
    if (list != nullptr) {
        std::copy(head, head + headCount, list.get());
        std::transform(tail, tail + count, list.get() + headCount,
                       [offset](std::uint32_t index) { return index + offset; });
    }
    return list;
}

} // namespace

bool IOrvalen3DD3DObject::BeginBuild(std::uint32_t count, const Vertex3D* vertices) {
    BaseVertices = MakeTable<Vertex3D>(count);
    Vertices = MakeTable<Vertex3D>(count);
    Materials = MakeTable<D3DMATERIAL9>(kMaxMaterials);
    UseTexCoords = MakeTable<bool>(kMaxMaterials);
    IndexLists = MakeTable<std::unique_ptr<std::uint32_t[]>>(kMaxMaterials);
    TexCoordIndexLists = MakeTable<std::unique_ptr<std::uint32_t[]>>(kMaxMaterials);
    TriangleCounts = MakeTable<std::int32_t>(kMaxMaterials);
    Animations = MakeTable<std::unique_ptr<AnimationRange>>(kMaxAnimations);
    if (BaseVertices == nullptr || Vertices == nullptr || Materials == nullptr || UseTexCoords == nullptr ||
        IndexLists == nullptr || TexCoordIndexLists == nullptr || TriangleCounts == nullptr ||
        Animations == nullptr || !MakeGroupTables()) {
        return false;
    }
    if (count > 0) {
        std::memcpy(BaseVertices.get(), vertices, count * sizeof(Vertex3D));
        std::memcpy(Vertices.get(), vertices, count * sizeof(Vertex3D));
    }
    VertexCount = static_cast<std::int32_t>(count);
    return true;
}

std::uint32_t IOrvalen3DD3DObject::PartOffset(std::int32_t group) const {
    if (group < 0) {
        return 0;
    }
    const std::uint32_t* list = IndexLists[group].get();
    // Only indices above 0 count: an all-zero list still moves the next part on by one.
    const std::uint32_t* largest = std::max_element(list, list + 3 * std::size_t(TriangleCounts[group]));
    return 1 + (largest != list + 3 * std::size_t(TriangleCounts[group]) ? *largest : 0);
}

bool IOrvalen3DD3DObject::AddTriangles(std::int32_t group, const char* name, std::int32_t count,
                                       const std::uint32_t* indices, const std::uint32_t* texIndices,
                                       std::uint32_t offset) {
    const bool made = group < 0;
    const std::size_t previous = made ? 0 : 3 * std::size_t(TriangleCounts[group]);
    const std::size_t added = 3 * std::size_t(count);
    auto list = JoinedList(made ? nullptr : IndexLists[group].get(), previous, indices, added, offset);
    std::unique_ptr<std::uint32_t[]> texList;
    if (texIndices != nullptr) {
        texList =
            JoinedList(made ? nullptr : TexCoordIndexLists[group].get(), previous, texIndices, added, offset);
    }
    std::unique_ptr<char[]> newName(made ? new (std::nothrow) char[kNameBytes]() : nullptr);
    if (list == nullptr || (texIndices != nullptr && texList == nullptr) || (made && newName == nullptr)) {
        return false;
    }
    if (made) {
        group = MaterialCount++;
        std::strcpy(newName.get(), name);
        MaterialNames[group] = newName.release();
        UseTexCoords[group] = texIndices != nullptr;
    }
    IndexLists[group] = std::move(list);
    if (texIndices != nullptr) {
        TexCoordIndexLists[group] = std::move(texList);
    }
    TriangleCounts[group] += count;
    return true;
}

bool IOrvalen3DD3DObject::MakeShadowArrays() {
    const std::size_t triangles = TotalTriangles();
    auto edges = MakeTable<ShadowEdge>(3 * triangles);
    ShadowEdgeTable lookup;
    // Default vertices: normal (0, 0, -1), diffuse 0x00FFFFFF, second pair 0.
    std::unique_ptr<Vertex3D[]> vertices(new (std::nothrow) Vertex3D[18 * triangles]);
    if (edges == nullptr || !lookup.Make(3 * triangles) || vertices == nullptr) {
        return false;
    }
    ShadowEdges = std::move(edges);
    ShadowEdgeLookup = std::move(lookup);
    ShadowVertices = std::move(vertices);
    return true;
}

void IOrvalen3DD3DObject::ReleaseShadowArrays() {
    ShadowEdges.reset();
    ShadowEdgeLookup = ShadowEdgeTable();
    ShadowVertices.reset();
}
