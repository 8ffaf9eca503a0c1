// The half-edge mesh driver of HalfEdgeMeshFuzz.h over vertex positions taken from the input: the
// passes must stand coincident corners, long and needle-thin faces, huge and tiny coordinates, NaN
// and infinity. Vertex i has the position of vertex i mod 16.
//
// Layout: 48 bytes, x, y and z of vertices 0-15: a byte with its top bit set picks one of the values
// below by its low four bits, any other byte is (byte mod 8) / 2; then the driver's layout.

#include "HalfEdgeMeshFuzz.h"

#include <limits>

namespace {

constexpr dgInt32 kPlacedVertices = 16;

constexpr dgFloat32 kNaN = std::numeric_limits<dgFloat32>::quiet_NaN();
constexpr dgFloat32 kInfinity = std::numeric_limits<dgFloat32>::infinity();
constexpr dgFloat32 kValues[16] = {0.0f, 1.0f,      -1.0f,    0.5f,     2.0f,    1.0e-7f, 1.0e20f, 3.0e38f,
                                   kNaN, kInfinity, -1.0e20f, 1.0e-30f, 1000.0f, 0.001f,  3.0f,    1.0e-4f};

dgFloat32 g_placed[kPlacedVertices * 3];

std::vector<dgFloat32> PlacedPositions(dgInt32 count) {
    std::vector<dgFloat32> xyz;
    for (dgInt32 i = 0; i < count; i++) {
        for (dgInt32 k = 0; k < 3; k++) {
            xyz.push_back(g_placed[(i % kPlacedVertices) * 3 + k]);
        }
    }
    return xyz;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    half_edge_mesh_fuzz::ByteReader reader(data, size);
    for (dgFloat32& coordinate : g_placed) {
        const dgInt32 byte = reader.Next();
        coordinate = (byte & 0x80) != 0 ? kValues[byte & 15] : static_cast<dgFloat32>(byte & 7) * 0.5f;
    }
    return half_edge_mesh_fuzz::Run(reader, PlacedPositions);
}
