#pragma once
// Helpers of the flat interface's tests: float-array maths, a world with a floor, a falling box under
// gravity, and memory hooks that count the blocks they hand out.

#include "physics/api/dgApi.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

using Vec3 = std::array<float, 3>;
using Mat4 = std::array<float, 16>;

inline constexpr float kGravity = 10.0f;
inline constexpr float kStep = 1.0f / 60.0f;

inline float Dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

inline Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

inline float Length(const Vec3& a) {
    return std::sqrt(Dot(a, a));
}

inline Mat4 Identity() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

inline Mat4 Translation(float x, float y, float z) {
    Mat4 m = Identity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

/// Row i (0 front, 1 up, 2 right, 3 position) of a matrix.
inline Vec3 Row(const Mat4& m, int i) {
    return {m[4 * i], m[4 * i + 1], m[4 * i + 2]};
}

inline Vec3 BodyPosition(const dgBody* body) {
    Mat4 m;
    dgApiBodyGetMatrix(body, m.data());
    return Row(m, 3);
}

inline Vec3 BodyVelocity(const dgBody* body) {
    Vec3 v;
    dgApiBodyGetVelocity(body, v.data());
    return v;
}

/// Force callback: the body's weight along -y.
inline void ApplyGravity(dgBody* body) {
    float mass;
    float ixx;
    float iyy;
    float izz;
    dgApiBodyGetMassMatrix(body, &mass, &ixx, &iyy, &izz);
    const Vec3 weight = {0.0f, -mass * kGravity, 0.0f};
    dgApiBodyAddForce(body, weight.data());
}

/// A world with a static 20 x 1 x 20 floor whose top is at y = 0; the world and its bodies go with it.
class FloorWorld {
public:
    dgWorld* m_world = nullptr;
    dgBody* m_floor = nullptr;

    explicit FloorWorld(dgMallocCallback allocate = nullptr, dgFreeCallback release = nullptr) {
        m_world = dgApiWorldCreate(allocate, release);
        dgCollision* floorShape = dgApiCollisionCreateBox(m_world, 20.0f, 1.0f, 20.0f, nullptr);
        m_floor = dgApiBodyCreate(m_world, floorShape);
        dgApiCollisionRelease(m_world, floorShape);
        const Mat4 place = Translation(0.0f, -0.5f, 0.0f);
        dgApiBodySetMatrix(m_floor, place.data());
    }
    ~FloorWorld() { dgApiWorldDestroy(m_world); }
    FloorWorld(const FloorWorld&) = delete;
    FloorWorld& operator=(const FloorWorld&) = delete;

    /// A box of the given mass and edge lengths (a unit cube by default) whose centre is at height y,
    /// under gravity.
    dgBody* AddBox(float y, float mass = 1.0f, const Vec3& size = {1.0f, 1.0f, 1.0f}) {
        dgCollision* shape = dgApiCollisionCreateBox(m_world, size[0], size[1], size[2], nullptr);
        dgBody* body = dgApiBodyCreate(m_world, shape);
        dgApiCollisionRelease(m_world, shape);
        const float inertia = mass * (size[0] * size[0] + size[1] * size[1] + size[2] * size[2]) / 18.0f;
        dgApiBodySetMassMatrix(body, mass, inertia, inertia, inertia);
        const Mat4 place = Translation(0.0f, y, 0.0f);
        dgApiBodySetMatrix(body, place.data());
        dgApiBodySetForceAndTorqueCallback(body, ApplyGravity);
        return body;
    }

    void Step(int count) {
        for (int i = 0; i < count; i++) {
            dgApiWorldUpdate(m_world, kStep);
        }
    }
};

/// Memory hooks of the interface's int-size form over malloc, counting what they hand out. Blocks made
/// before they were installed come back through them too, and go to free. They can refuse sizes above a
/// limit, or the n-th request after FailAt(n) (and every later one too when asked).
class CountingHooks {
public:
    static inline std::map<void*, int> s_live;
    static inline int s_refuseAbove = 0x7fffffff;
    static inline int s_untilFailure = 0; ///< requests left before the one refused; 0: none refused
    static inline bool s_refused = false;
    static inline bool s_refuseOnward = false; ///< every request after the refused one is refused too

    /// Refuses the n-th request from now (n >= 1), once or, onward, with every one after it.
    static void FailAt(int n, bool onward = false) {
        s_untilFailure = n;
        s_refused = false;
        s_refuseOnward = onward;
    }

    static void* Allocate(int size) {
        if ((s_refused && s_refuseOnward) || (s_untilFailure > 0 && --s_untilFailure == 0)) {
            s_refused = true;
            return nullptr;
        }
        if (size > s_refuseAbove) {
            return nullptr;
        }
        void* block = std::malloc(static_cast<std::size_t>(size));
        s_live[block] = size;
        return block;
    }
    static void Release(void* block, int) {
        s_live.erase(block);
        std::free(block);
    }
    /// Puts the default hooks back for the tests that follow.
    static void RestoreDefaults() { dgApiWorldDestroy(dgApiWorldCreate(nullptr, nullptr)); }
};

/// A soup stream in memory; reads stop at limit.
struct MemoryStream {
    std::vector<unsigned char> bytes;
    std::size_t readAt = 0;
    std::size_t limit = SIZE_MAX;
};

inline void WriteToMemory(void* userData, const void* buffer, int byteCount) {
    auto* stream = static_cast<MemoryStream*>(userData);
    const auto* data = static_cast<const unsigned char*>(buffer);
    stream->bytes.insert(stream->bytes.end(), data, data + byteCount);
}

inline int ReadFromMemory(void* userData, void* buffer, int byteCount) {
    auto* stream = static_cast<MemoryStream*>(userData);
    const std::size_t end = std::min(stream->bytes.size(), stream->limit);
    if (byteCount < 0 || stream->readAt + static_cast<std::size_t>(byteCount) > end) {
        return 0;
    }
    std::memcpy(buffer, stream->bytes.data() + stream->readAt, static_cast<std::size_t>(byteCount));
    stream->readAt += static_cast<std::size_t>(byteCount);
    return 1;
}
