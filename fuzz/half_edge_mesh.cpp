// Face building, editing and clean-up passes of the half-edge mesh from arbitrary bytes (the driver in
// HalfEdgeMeshFuzz.h). Vertex i sits on a small lattice with repeated points, so degenerate faces are
// common.

#include "HalfEdgeMeshFuzz.h"

namespace {

std::vector<dgFloat32> LatticePositions(dgInt32 count) {
    std::vector<dgFloat32> xyz;
    for (dgInt32 i = 0; i < count; i++) {
        xyz.push_back(static_cast<dgFloat32>(i % 4));
        xyz.push_back(static_cast<dgFloat32>((i / 4) % 4));
        xyz.push_back(i % 3 == 0 ? 0.0f : 0.5f * static_cast<dgFloat32>(i % 2));
    }
    return xyz;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    half_edge_mesh_fuzz::ByteReader reader(data, size);
    return half_edge_mesh_fuzz::Run(reader, LatticePositions);
}
