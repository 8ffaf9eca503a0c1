// Tree collisions built face by face through the flat interface from host data: polygons of 3 to 1019
// vertices on a small lattice (repeated, collinear, bent and self-crossing faces are common), of raw
// float bits, or round faces large enough to be cut into pieces; any stride, any attribute, optimised or
// not. Whatever was added, the tree answers a ray and sphere contacts inside its arrays, and the stream
// it writes reads back into a tree that writes the same bytes.
//
// Layout: byte 0 = flags (bit 0 optimise; bits 1-2 the vertex form: lattice, raw, round; bits 3-4 extra
// stride words); then faces: a count byte (3 + its low 7 bits, times 8 with the top bit set), an
// attribute byte, then the vertices: three bytes each on the lattice, twelve raw, one (a height) round.

#include "FuzzByteReader.h"
#include "physics/api/dgApi.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using fuzz_support::Check;
using fuzz_support::Input;
using Reader = fuzz_support::ByteReader;

constexpr int kContactCapacity = 16;

void Write(void* userData, const void* buffer, int byteCount) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(userData);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    out->insert(out->end(), bytes, bytes + byteCount);
}

std::vector<std::uint8_t> Serialized(dgCollision* tree) {
    std::vector<std::uint8_t> bytes;
    dgApiTreeCollisionSerialize(tree, Write, &bytes);
    return bytes;
}

float Vertex(Input& in, int form, int corner, int count, int axis) {
    switch (form) {
    case 1:
        return in.Float();
    case 2: {
        const double angle = 6.283185307179586 * corner / count;
        return axis == 1 ? static_cast<float>(in.Byte() % 4) * 0.01f
                         : static_cast<float>(10.0 * (axis == 0 ? std::cos(angle) : std::sin(angle)));
    }
    default:
        return static_cast<float>(in.Byte() % 8) * 0.5f;
    }
}

void AddFaces(dgCollision* tree, Input& in, int form, int strideFloats) {
    std::vector<float> vertices;
    while (!in.Done()) {
        const std::uint8_t head = in.Byte();
        const int count = 3 + ((head & 0x80) != 0 ? 8 * (head & 0x7F) : head & 0x7F);
        const int attribute = in.Byte();
        vertices.assign(static_cast<std::size_t>(count * strideFloats), -1.0f);
        for (int corner = 0; corner < count; corner++) {
            for (int axis = 0; axis < 3; axis++) {
                vertices[static_cast<std::size_t>(corner * strideFloats + axis)] =
                    Vertex(in, form, corner, count, axis);
            }
        }
        dgApiTreeCollisionAddFace(tree, count, vertices.data(), strideFloats * 4, attribute);
    }
}

// A ray down through the box's middle and a ball at its middle and corners: contacts inside the
// caller's arrays, never a negative depth.
void Query(dgWorld* world, dgCollision* tree, dgCollision* ball) {
    float lo[3];
    float hi[3];
    dgApiCollisionCalculateAABB(tree, nullptr, lo, hi);
    const float mid[3] = {0.5f * (lo[0] + hi[0]), 0.5f * (lo[1] + hi[1]), 0.5f * (lo[2] + hi[2])};
    const float top[3] = {mid[0], hi[1] + 1.0f, mid[2]};
    const float bottom[3] = {mid[0], lo[1] - 1.0f, mid[2]};
    float normal[3];
    int attribute = 0;
    Check(!(dgApiCollisionRayCast(tree, top, bottom, normal, &attribute) < 0.0f));
    for (const float* centre : {mid, static_cast<const float*>(lo), static_cast<const float*>(hi)}) {
        float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, centre[0], centre[1], centre[2], 1};
        float contacts[3 * kContactCapacity];
        float normals[3 * kContactCapacity];
        float depths[kContactCapacity];
        const int count =
            dgApiCollisionCollide(world, kContactCapacity, ball, matrix, tree, nullptr, contacts, normals, depths);
        Check(count >= 0 && count <= kContactCapacity);
        for (int i = 0; i < count; i++) {
            Check(!(depths[i] < 0.0f));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    const std::uint8_t flags = in.Byte();
    const int form = (flags >> 1) & 3;
    dgWorld* world = dgApiWorldCreate(nullptr, nullptr);
    dgCollision* tree = dgApiTreeCollisionCreate(world, nullptr);
    Check(tree != nullptr);
    dgApiTreeCollisionBeginBuild(tree);
    AddFaces(tree, in, form == 3 ? 0 : form, 3 + ((flags >> 3) & 3));
    dgApiTreeCollisionEndBuild(tree, flags & 1);

    dgCollision* ball = dgApiCollisionCreateSphere(world, 0.75f, 0.75f, 0.75f, nullptr);
    Query(world, tree, ball);

    const std::vector<std::uint8_t> written = Serialized(tree);
    Reader reader{written.data(), written.size(), 0};
    dgCollision* copy = dgApiTreeCollisionCreateFromSerialization(world, nullptr, Reader::Read, &reader);
    Check(copy != nullptr && reader.m_at == written.size());
    Check(Serialized(copy) == written);
    Query(world, copy, ball);

    dgApiCollisionRelease(world, copy);
    dgApiCollisionRelease(world, ball);
    dgApiCollisionRelease(world, tree);
    dgApiWorldDestroy(world);
    return 0;
}
