#pragma once
// Helpers shared by the world's tests: a test joint, a shape to hang bodies on, memory hooks that count
// blocks, and a record of the callbacks a world makes.

#include "physics/collision/dgCollisionBox.h"
#include "physics/core/dgMatrix.h"
#include "physics/core/dgMemory.h"
#include "physics/dynamics/dgJointBase.h"
#include "physics/dynamics/dgWorld.h"

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

/// The plainest concrete joint: no rows; releasing it calls its destructor callback and marks it free.
class TestJoint : public dgJointBase {
public:
    bool m_joins = true;
    bool m_released = false;
    dgJointDestructorCallback m_destructorCallback = nullptr;

    dgJointDestructorCallback SetJointDestructor(dgJointDestructorCallback callback) override {
        m_destructorCallback = callback;
        return callback;
    }
    void Release(dgWorld*) override {
        m_released = true;
        if (m_destructorCallback != nullptr) {
            m_destructorCallback(this);
        }
    }
    bool JoinsBodies() const override { return m_joins; }
    dgInt32 SubmitConstraints(dgJointParams&) override { return 0; }
};

/// A unit box for bodies to hold; the caller gives its reference back with dgRefRelease.
inline dgCollision* MakeTestShape() {
    return new dgCollisionBox(0u, 1.0f, 1.0f, 1.0f, dgGetIdentityMatrix());
}

/// The record of a step at the world's time and stamp as they stand, for running one stage by itself.
inline dgStepContext StepAsItStands(const dgWorld& world) {
    return dgStepContext{world.m_timeStep, world.m_invTimeStep, world.m_stepStamp};
}

/// Unit mass and inertias.
inline void MakeDynamic(dgBody* body) {
    body->SetMassMatrix(1.0f, 1.0f, 1.0f, 1.0f);
}

/// Engine memory hooks over malloc that count the blocks handed out while they are installed and can
/// refuse requests above a size. One at a time; the defaults come back at destruction.
class CountingMemoryHooks {
public:
    explicit CountingMemoryHooks(std::size_t refuseAbove = SIZE_MAX) {
        s_active = this;
        m_refuseAbove = refuseAbove;
        dgSetMemoryAllocators(Allocate, Release);
    }
    ~CountingMemoryHooks() {
        dgSetMemoryAllocators(dgDefaultMalloc, dgDefaultFree);
        s_active = nullptr;
    }
    CountingMemoryHooks(const CountingMemoryHooks&) = delete;
    CountingMemoryHooks& operator=(const CountingMemoryHooks&) = delete;

    std::size_t Outstanding() const { return m_live.size(); }
    std::size_t Refused() const { return m_refused; }

private:
    static void* Allocate(std::size_t size) {
        if (size > s_active->m_refuseAbove) {
            s_active->m_refused++;
            return nullptr;
        }
        void* block = std::malloc(size);
        s_active->m_live.insert(block);
        return block;
    }
    // Blocks made before the hooks were installed come back here too; they were malloc's as well.
    static void Release(void* block, std::size_t) {
        s_active->m_live.erase(block);
        std::free(block);
    }

    static inline CountingMemoryHooks* s_active = nullptr;
    std::size_t m_refuseAbove = SIZE_MAX;
    std::size_t m_refused = 0;
    std::set<void*> m_live;
};

/// What the world's callbacks reported, in order ("destroy body 3", "wake body 1", "destroy joint 2").
class CallbackLog {
public:
    static inline std::vector<std::string> s_events;

    static void Clear() { s_events.clear(); }
    /// Bodies and joints are named by their user data, a small integer.
    static std::string Name(const void* userData) {
        return std::to_string(reinterpret_cast<std::uintptr_t>(userData));
    }
    static void* Tag(std::uintptr_t id) { return reinterpret_cast<void*>(id); }

    static void BodyDestroyed(dgBody* body) { s_events.push_back("destroy body " + Name(body->m_userData)); }
    static void JointDestroyed(dgJointBase* joint) {
        s_events.push_back("destroy joint " + Name(joint->m_userData));
    }
    static void AutoActive(dgBody* body, dgUnsigned32 state) {
        s_events.push_back((state != 0 ? "wake body " : "sleep body ") + Name(body->m_userData));
    }
};
