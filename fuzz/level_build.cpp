// Level building driven from bytes on a scene without a device: a vertex count and vertices (any float
// bits, non-finite ones included), a run of AddLevelParts calls with names of any length, counts of any
// sign and indices of any value, EndLevelBuild, one step with a cube dropped onto the level, a ray
// cast and DestroyLevel. Nothing may crash, leak or read out of bounds, and every call must answer as
// its checks say: a refused call keeps nothing.
//
// Layout: byte 0 the vertex count (0-63, or -1 when its top bit is set); then 44 bytes a vertex; then
// parts, each a name length byte, the name, a signed count byte and four bytes an index.

#include "FuzzByteReader.h"
#include "scene3d/IOrvalen3DD3D.h"
#include "scene3d/IOrvalen3DD3DLevelObject.h"
#include "scene3d/IOrvalen3DD3DObject.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

/// The input read from the front; zeros past its end, so every layout is complete.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool Done() const { return m_at >= m_size; }
    std::uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    /// Four bytes, the first the highest.
    std::uint32_t Word() {
        std::uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            word = word * 256 + Byte();
        }
        return word;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    IOrvalen3DD3D scene;
    if (scene.World == nullptr) {
        return 0;
    }
    const std::uint8_t head = in.Byte();
    const std::int32_t vertexCount = (head & 0x80) != 0 ? -1 : head & 0x3F;
    std::vector<Vertex3D> vertices(static_cast<std::size_t>(vertexCount < 0 ? 0 : vertexCount));
    for (Vertex3D& vertex : vertices) {
        std::uint8_t bytes[sizeof(Vertex3D)];
        for (std::uint8_t& byte : bytes) {
            byte = in.Byte();
        }
        std::memcpy(&vertex, bytes, sizeof vertex);
    }
    IOrvalen3DLevelObject* level = scene.CreateLevel(vertexCount, vertices.data(), 0, 0, 0, 0, 0, 0, 1, 1, 1);
    fuzz_support::Check((level == nullptr) == (vertexCount < 0));
    if (level == nullptr) {
        return 0;
    }
    auto& built = *static_cast<IOrvalen3DD3DLevelObject*>(level);
    while (!in.Done()) {
        const std::size_t length = in.Byte() * 2u;
        const std::string name(length, static_cast<char>('a' + in.Byte() % 3));
        const auto count = static_cast<std::int8_t>(in.Byte());
        std::vector<std::int32_t> indices(3 * static_cast<std::size_t>(count > 0 ? count : 0));
        bool inRange = true;
        for (std::int32_t& index : indices) {
            index = static_cast<std::int32_t>(in.Word());
            inRange = inRange && index >= 0 && index < vertexCount;
        }
        const std::int32_t groups = built.MaterialCount;
        const bool added = scene.AddLevelParts(level, name.c_str(), count, indices.data());
        fuzz_support::Check(added ==
                            (count <= 0 || (inRange && name.size() < IOrvalen3DD3DLevelObject::kNameBytes)));
        fuzz_support::Check(added || built.MaterialCount == groups);
    }
    fuzz_support::Check(scene.EndLevelBuild(level));
    fuzz_support::Check(!scene.EndLevelBuild(level));
    IOrvalen3DObject* cube = scene.Cube(1, 1, 1);
    if (cube != nullptr) {
        cube->SetPosition(0, 2, 0);
        cube->SetVelocity(0, -20, 0);
    }
    scene.Update(1.0f / 60.0f);
    BodyUserData* hit = nullptr;
    scene.RayCast(&hit, 0, 10, 0, 0, -10, 0);
    scene.DestroyLevel(level);
    return 0;
}
