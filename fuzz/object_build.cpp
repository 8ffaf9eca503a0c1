// Object building and key-frame animation driven from bytes on a scene without a device: vertices of
// any bits, then a run of operations (AddObjectParts in all four forms with names of any length, counts
// of any sign and indices of any value, SetTexCoords, CreateAnimation and AddAnimation with any frame
// numbers, speeds, range selection and updates of any elapsed time, one EndObjectBuild form), a few
// scene updates, a shadow volume, and DestroyObject or ResetWorld. Nothing may crash, hang, leak or read
// out of bounds; refused calls keep nothing, and a build ends once.
//
// Layout: byte 0 the vertex count (0-63); 44 bytes a vertex; then operations, each an opcode byte and
// its operands (names: a length byte, doubled, and a letter byte; counts: a signed byte; indices,
// frames and floats: four bytes).

#include "FuzzByteReader.h"
#include "scene3d/IOrvalen3DD3D.h"
#include "scene3d/IOrvalen3DD3DObject.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

using fuzz_support::Check;
using fuzz_support::Input;

std::string Name(Input& in) {
    const std::size_t length = in.Byte() * 2u;
    return std::string(length, static_cast<char>('a' + in.Byte() % 3));
}

std::vector<std::uint32_t> Words(Input& in, std::size_t count) {
    std::vector<std::uint32_t> words(count);
    for (std::uint32_t& word : words) {
        word = in.Word();
    }
    return words;
}

/// One AddObjectParts in the form the opcode picks; a refused call keeps the groups as they were.
void AddParts(IOrvalen3DD3D& scene, IOrvalen3DD3DObject& object, std::uint8_t opcode, Input& in, bool ended) {
    const std::string name = Name(in);
    const auto count = static_cast<std::int8_t>(in.Byte());
    const std::size_t corners = 3 * static_cast<std::size_t>(count > 0 ? count : 0);
    const std::vector<std::uint32_t> indices = Words(in, corners);
    const bool withTexCoords = (opcode & 1) != 0;
    const std::vector<std::uint32_t> texIndices = Words(in, withTexCoords ? corners : 0);
    const std::int32_t groups = object.MaterialCount;
    const std::int32_t group = object.FindMaterial(name.c_str());
    const std::int32_t triangles = group >= 0 ? object.TriangleCounts[group] : 0;
    bool added = false;
    switch (opcode % 4) {
    case 0:
        added = scene.AddObjectParts(&object, name.c_str(), count, indices.data());
        break;
    case 1:
        added = scene.AddObjectParts(&object, name.c_str(), count, indices.data(), texIndices.data());
        break;
    case 2:
        added = scene.AddObjectParts(&object, name.c_str(), count, indices.data(), true);
        break;
    default:
        added = scene.AddObjectParts(&object, name.c_str(), count, indices.data(), texIndices.data(), true);
        break;
    }
    Check(!ended || !added || count <= 0);
    if (!added || count <= 0) {
        Check(object.MaterialCount == groups);
        Check(group < 0 || object.TriangleCounts[group] == triangles);
    }
}

/// CreateAnimation from copies of the object's vertices, each frame's positions moved by a float.
void CreateFrames(IOrvalen3DD3DObject& object, Input& in) {
    const int frameCount = in.Byte() % 5;
    std::vector<std::vector<Vertex3D>> frames(static_cast<std::size_t>(frameCount));
    std::vector<Vertex3D*> pointers;
    for (std::vector<Vertex3D>& frame : frames) {
        const float shift = in.Float();
        frame.assign(object.Vertices.get(), object.Vertices.get() + object.VertexCount);
        for (Vertex3D& vertex : frame) {
            vertex.x += shift;
        }
        pointers.push_back(frame.data());
    }
    const bool made = object.CreateAnimation(frameCount, pointers.data());
    Check(made == (frameCount > 0));
}

void Animate(IOrvalen3DD3DObject& object, std::uint8_t opcode, Input& in) {
    switch (opcode) {
    case 5: {
        const auto start = static_cast<std::int32_t>(in.Word());
        const auto end = static_cast<std::int32_t>(in.Word());
        const std::string name = Name(in);
        const std::int32_t ranges = object.AnimationCount;
        const bool added = object.AddAnimation(start, end, name.c_str());
        Check(added == (object.AnimationCount == ranges + 1));
        Check(!added || (start >= 0 && start <= end && end < object.KeyFrameCount));
        break;
    }
    case 6:
        object.SetAnimationSpeed(in.Float());
        object.SetLooping((in.Byte() & 1) != 0);
        break;
    case 7: {
        const std::string name = Name(in);
        if ((in.Byte() & 1) != 0) {
            object.StartAnimation(name.c_str());
        } else {
            object.SetAnimation(name.c_str());
        }
        break;
    }
    case 8:
        Check(object.UpdateAnimation(in.Float()));
        break;
    case 9:
        object.SetAnimationTime(in.Float());
        break;
    default:
        object.RewindAnimation();
        object.PlayAnimation();
        break;
    }
}

void SetTexCoords(IOrvalen3DD3DObject& object, Input& in) {
    const auto count = static_cast<std::int8_t>(in.Byte());
    std::vector<float> uv(2 * static_cast<std::size_t>(count > 0 ? count : 0));
    for (float& value : uv) {
        value = in.Float();
    }
    object.SetTexCoords(count, uv.data());
}

bool EndBuild(IOrvalen3DD3D& scene, IOrvalen3DObject* object, Input& in) {
    const std::uint8_t form = in.Byte();
    const bool noBody = (form & 0x10) != 0;
    switch (form % 5) {
    case 0:
        return scene.EndObjectBuild(object);
    case 1:
        return scene.EndObjectBuild(object, noBody);
    case 2: {
        const float rx = in.Float(), ry = in.Float(), rz = in.Float();
        return scene.EndObjectBuild(object, rx, ry, rz);
    }
    case 3: {
        const float rx = in.Float(), ry = in.Float(), rz = in.Float();
        return scene.EndObjectBuild(object, rx, ry, rz, noBody);
    }
    default:
        return scene.EndObjectBuild(object, StaticBody{});
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    IOrvalen3DD3D scene;
    if (scene.World == nullptr) {
        return 0;
    }
    std::vector<Vertex3D> vertices(in.Byte() % 64);
    for (Vertex3D& vertex : vertices) {
        vertex = in.Bytes<Vertex3D>();
    }
    IOrvalen3DObject* object =
        scene.BeginObjectBuild(static_cast<std::uint32_t>(vertices.size()), vertices.data(), in.Byte() & 1);
    Check(object != nullptr);
    auto& built = *static_cast<IOrvalen3DD3DObject*>(object);
    bool ended = false;
    while (!in.Done()) {
        const std::uint8_t opcode = in.Byte() % 16;
        if (opcode < 4) {
            AddParts(scene, built, opcode, in, ended);
        } else if (opcode == 4) {
            CreateFrames(built, in);
        } else if (opcode < 11) {
            Animate(built, opcode, in);
        } else if (opcode == 11) {
            SetTexCoords(built, in);
        } else if (opcode == 12) {
            const bool done = EndBuild(scene, object, in);
            Check(!(done && ended));
            ended = ended || done;
        } else {
            scene.Update(in.Float());
        }
    }
    for (int step = 0; step < 3; ++step) {
        scene.Update(1.0f / 60.0f);
    }
    object->BuildShadowVolume(0.3f, -1.0f, 0.2f);
    if (!ended || (size & 1) != 0) {
        scene.DestroyObject(object);
    } else {
        scene.ResetWorld();
    }
    return 0;
}
