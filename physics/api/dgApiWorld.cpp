// World functions of the flat interface: memory hooks, creation, stepping, queries and freezing.

#include "physics/api/dgApi.h"
#include "physics/api/dgApiHelpers.h"
#include "physics/core/dgGlobalAllocator.h"
#include "physics/core/dgMemory.h"
#include "physics/dynamics/dgMxcsrScope.h"
#include "physics/dynamics/dgWorld.h"

#include <bit>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <new>

namespace {

constexpr int kVersion = 153;
constexpr float kMinTimeStep = std::bit_cast<float>(0x3A83126Fu);  // 0.001
constexpr float kMaxTimeStep = std::bit_cast<float>(0x3C888889u);  // 1/60
constexpr float kMinFrameRate = std::bit_cast<float>(0x426FFFFFu); // the largest float below 60
constexpr float kMaxFrameRate = std::bit_cast<float>(0x4479FFFFu); // the largest float below 1000
constexpr float kWorldHalfSize = 100.0f;

// The application's hooks behind the engine's, which speak size_t. Process-wide, as the engine's are.
dgMallocCallback g_allocate = dgApiDefaultMalloc;
dgFreeCallback g_release = dgApiDefaultFree;
int g_livingWorlds = 0;

void* AllocateThroughHook(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX)) {
        return nullptr;
    }
    return g_allocate(static_cast<int>(size));
}

void ReleaseThroughHook(void* ptr, std::size_t size) {
    // A size no int can carry was never asked of the application's hook: the runtime made that block
    // before the hooks were installed.
    if (size > static_cast<std::size_t>(INT_MAX)) {
        std::free(ptr);
        return;
    }
    g_release(ptr, static_cast<int>(size));
}

void SetWorldBox(dgWorld* world, float halfSize) {
    const dgVector minPoint(-halfSize, -halfSize, -halfSize, 1.0f);
    const dgVector maxPoint(halfSize, halfSize, halfSize, 1.0f);
    world->m_broadPhase.SetWorldSize(minPoint, maxPoint);
}

} // namespace

int dgApiGetVersion() {
    return kVersion;
}

void* dgApiDefaultMalloc(int size) {
    return size > 0 ? std::malloc(static_cast<std::size_t>(size)) : nullptr;
}

void dgApiDefaultFree(void* ptr, int) {
    std::free(ptr);
}

dgWorld* dgApiWorldCreate(dgMallocCallback allocate, dgFreeCallback release) {
    if (allocate == nullptr || release == nullptr) {
        allocate = dgApiDefaultMalloc;
        release = dgApiDefaultFree;
    }
    // Blocks of a living world must go back through the hook that made them.
    if (g_livingWorlds > 0 && (allocate != g_allocate || release != g_release)) {
        return nullptr;
    }
    if (allocate != g_allocate || release != g_release) {
        // Released object blocks still waiting for reuse belong to the old hooks.
        dgGlobalAllocator::Instance().ReleaseCachedBlocks();
        g_allocate = allocate;
        g_release = release;
    }
    dgSetMemoryAllocators(AllocateThroughHook, ReleaseThroughHook);

    dgWorld* world = dgCreateOrFail([] { return new dgWorld(); });
    if (world != nullptr && !world->IsValid()) {
        delete world;
        world = nullptr;
    }
    if (world == nullptr) {
        if (g_livingWorlds == 0) {
            // What the failed world released waits in the cache; no world is left to reuse it.
            dgGlobalAllocator::Instance().ReleaseCachedBlocks();
        }
        return nullptr;
    }
    g_livingWorlds++;
    SetWorldBox(world, kWorldHalfSize);
    return world;
}

void dgApiWorldDestroy(dgWorld* world) {
    if (world == nullptr || world->DefersDestruction()) {
        return;
    }
    delete world;
    g_livingWorlds--;
    if (g_livingWorlds == 0) {
        // Released object blocks waiting for reuse go back through the hooks that made them.
        dgGlobalAllocator::Instance().ReleaseCachedBlocks();
    }
}

void dgApiWorldUpdate(dgWorld* world, float timestep) {
    if (world == nullptr) {
        return;
    }
    // The host's rounding, denormal handling and exception flags come back as they were, whichever
    // build ran and whatever the arithmetic raised.
    const dgMxcsrScope hostState;
    // A step from inside a step would walk the islands and pairs the outer one is walking.
    if (world->m_inUpdate != 0 || std::isnan(timestep) || timestep < 0.0f) {
        return;
    }
    const float t =
        timestep < kMinTimeStep ? kMinTimeStep : (timestep > kMaxTimeStep ? kMaxTimeStep : timestep);
    const float quotient =
        static_cast<float>(static_cast<double>(t) / (static_cast<double>(world->m_maxSubStep) + 1.0e-10));
    const float rounded = std::ceil(quotient);
    const int count = static_cast<int>(rounded);
    if (count <= 0) {
        return;
    }
    const float dt = t / static_cast<float>(count);
    for (int i = 0; i < count; i++) {
        world->Update(dt);
    }
}

void dgApiWorldSetMinimumFrameRate(dgWorld* world, float rate) {
    if (world == nullptr) {
        return;
    }
    const float clamped =
        !(rate > kMinFrameRate) ? kMinFrameRate : (rate > kMaxFrameRate ? kMaxFrameRate : rate);
    world->m_maxSubStep = 1.0f / clamped;
}

void dgApiWorldSetSize(dgWorld* world, const float* minPoint, const float* maxPoint) {
    if (world == nullptr) {
        return;
    }
    world->SetWorldSize(dgApiPoint(minPoint), dgApiPoint(maxPoint));
}

void dgApiWorldForEachBodyInAABBDo(dgWorld* world, const float* minPoint, const float* maxPoint,
                                   dgBodyIteratorCallback callback) {
    if (world == nullptr) {
        return;
    }
    world->m_broadPhase.ForEachBodyInBox(dgApiPoint(minPoint), dgApiPoint(maxPoint), callback);
}

void dgApiWorldRayCast(dgWorld* world, const float* p0, const float* p1, dgWorldRayFilterCallback filter,
                       void* userData, dgWorldRayPrefilterCallback prefilter) {
    if (world == nullptr || filter == nullptr) {
        return;
    }
    world->m_broadPhase.RayCast(dgApiPoint(p0), dgApiPoint(p1), filter, userData, prefilter);
}

void dgApiWorldForEachBodyDo(dgWorld* world, dgBodyIteratorCallback callback) {
    if (world == nullptr || callback == nullptr) {
        return;
    }
    // Destructions asked by the callback wait for the end of the walk, and bodies it makes (serials past
    // the last one now) are not visited.
    const dgWorldQueryScope query(world);
    const dgUnsigned64 lastSerial = world->m_bodySerial;
    for (auto* node = world->m_bodies.GetFirst(); node != nullptr && node->GetKey() <= lastSerial;
         node = dgBodyTree::GetNext(node)) {
        callback(node->GetInfo());
    }
}

void dgApiWorldDestroyAllBodies(dgWorld* world) {
    if (world == nullptr) {
        return;
    }
    // Deferred, the bodies go at the end of the sub-step or query, and the broad phase is left as it is.
    if (!world->DefersDestruction()) {
        SetWorldBox(world, kWorldHalfSize);
    }
    world->DestroyAllBodies();
}

void dgApiWorldSetSimdMode(dgWorld* world, int mode) {
    if (world == nullptr) {
        return;
    }
    world->SetSimdMode(mode);
}

void dgApiWorldSetSolverModel(dgWorld* world, int model) {
    if (world == nullptr) {
        return;
    }
    world->SetSolverModel(model);
}

void dgApiWorldSetFrictionModel(dgWorld* world, int model) {
    if (world == nullptr) {
        return;
    }
    world->SetFrictionModel(model);
}

float dgApiWorldGetTimeStep(dgWorld* world) {
    if (world == nullptr) {
        return 0;
    }
    return world->GetTimeStep();
}

void dgApiWorldSetBodyLeaveWorldCallback(dgWorld* world, dgBodyLeaveWorldCallback callback) {
    if (world == nullptr) {
        return;
    }
    world->SetLeaveWorldCallback(callback);
}

void dgApiWorldFreezeBody(dgWorld* world, dgBody* body) {
    if (world == nullptr || body == nullptr) {
        return;
    }
    world->FreezeBody(body);
}

void dgApiWorldUnfreezeBody(dgWorld* world, dgBody* body) {
    if (world == nullptr || body == nullptr) {
        return;
    }
    world->UnfreezeBody(body);
}

void dgApiWorldSetUserData(dgWorld* world, void* userData) {
    if (world == nullptr) {
        return;
    }
    world->SetUserData(userData);
}

void* dgApiWorldGetUserData(dgWorld* world) {
    if (world == nullptr) {
        return nullptr;
    }
    return world->GetUserData();
}
