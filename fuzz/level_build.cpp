// Level building driven from bytes on a scene without a device: a vertex count and vertices (any float
// bits, non-finite ones included), a run of AddLevelParts calls with names of any length, counts of any
// sign and indices of any value, EndLevelBuild, one step with a cube dropped onto the level, a ray
// cast and DestroyLevel. Nothing may crash, leak or read out of bounds, and every call must answer as
// its checks say: a refused call keeps nothing.
// Bit 6 of byte 0 has a second scene make the level: the first scene adds its parts but may not finish
// it, its maker does, then dies; the level outlives it, refused by every scene (a new one, perhaps at
// the dead one's address, too) and drawing nothing, until the first scene destroys it.
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
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_support::Input in(data, size);
    IOrvalen3DD3D scene;
    if (scene.World == nullptr) {
        return 0;
    }
    const std::uint8_t head = in.Byte();
    const std::int32_t vertexCount = (head & 0x80) != 0 ? -1 : head & 0x3F;
    auto maker = (head & 0x40) != 0 ? std::make_unique<IOrvalen3DD3D>() : nullptr;
    IOrvalen3DD3D& makingScene = maker != nullptr ? *maker : scene;
    if (makingScene.World == nullptr) {
        return 0;
    }
    std::vector<Vertex3D> vertices(static_cast<std::size_t>(vertexCount < 0 ? 0 : vertexCount));
    for (Vertex3D& vertex : vertices) {
        vertex = in.Bytes<Vertex3D>();
    }
    IOrvalen3DLevelObject* level =
        makingScene.CreateLevel(vertexCount, vertices.data(), 0, 0, 0, 0, 0, 0, 1, 1, 1);
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
    if (maker != nullptr) {
        fuzz_support::Check(!scene.EndLevelBuild(level) && built.Body == nullptr);
        fuzz_support::Check(maker->EndLevelBuild(level));
        maker.reset();
        maker = std::make_unique<IOrvalen3DD3D>();
        fuzz_support::Check(built.Body == nullptr && !maker->EndLevelBuild(level) &&
                            !scene.EndLevelBuild(level));
        fuzz_support::Check(!level->Render() && !level->RenderWithEffect(0));
    } else {
        fuzz_support::Check(scene.EndLevelBuild(level));
        fuzz_support::Check(!scene.EndLevelBuild(level));
    }
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
