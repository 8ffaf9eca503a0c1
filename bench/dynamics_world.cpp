// World bookkeeping that runs during play: the linked-body walk the contact calculation makes for
// every pair of jointed bodies, and body and joint churn through the world's pools.

#include "physics/collision/dgCollisionBox.h"
#include "physics/dynamics/dgJointBase.h"
#include "physics/dynamics/dgWorld.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

class ChainJoint : public dgJointBase {
public:
    dgJointDestructorCallback SetJointDestructor(dgJointDestructorCallback callback) override {
        return callback;
    }
    void Release(dgWorld*) override {}
    bool JoinsBodies() const override { return true; }
    dgInt32 SubmitConstraints(dgJointParams&) override { return 0; }
};

struct WorldDeleter {
    void operator()(dgWorld* world) const { delete world; }
};

/// count dynamic bodies, each jointed to the one before it; the first hangs from the world.
struct Chain {
    explicit Chain(dgInt32 count) : m_world(new dgWorld), m_joints(static_cast<std::size_t>(count)) {
        m_shape = new dgCollisionBox(0u, 1.0f, 1.0f, 1.0f, dgGetIdentityMatrix());
        dgBody* previous = nullptr;
        for (ChainJoint& joint : m_joints) {
            dgBody* body = m_world->CreateBody(m_shape);
            body->SetMassMatrix(1.0f, 1.0f, 1.0f, 1.0f);
            m_world->AttachJoint(&joint, body, previous);
            m_bodies.push_back(body);
            previous = body;
        }
    }
    ~Chain() {
        m_world.reset();
        dgRefRelease(m_shape);
    }

    std::unique_ptr<dgWorld, WorldDeleter> m_world;
    dgCollision* m_shape = nullptr;
    std::vector<ChainJoint> m_joints;
    std::vector<dgBody*> m_bodies;
};

void BM_dgWorld_CollectLinkedBodies(benchmark::State& state) {
    const dgInt32 count = static_cast<dgInt32>(state.range(0));
    Chain chain(count);
    dgBody* out[dgWorld::kMaxLinkedBodies];
    dgBody* start = chain.m_bodies[static_cast<std::size_t>(count / 2)];
    dgInt32 found = 0;
    for (auto _ : state) {
        found = chain.m_world->CollectLinkedBodies(start, out, dgWorld::kMaxLinkedBodies);
        benchmark::DoNotOptimize(out[0]);
    }
    state.counters["bodies"] = static_cast<double>(found);
}
BENCHMARK(BM_dgWorld_CollectLinkedBodies)->Name("chain_16")->Arg(16);
BENCHMARK(BM_dgWorld_CollectLinkedBodies)->Name("chain_100")->Arg(100);
BENCHMARK(BM_dgWorld_CollectLinkedBodies)->Name("chain_1000")->Arg(1000);

void BM_dgWorld_AttachAndDestroyJoint(benchmark::State& state) {
    Chain chain(64);
    ChainJoint extra;
    dgBody* body0 = chain.m_bodies[10];
    dgBody* body1 = chain.m_bodies[40];
    for (auto _ : state) {
        chain.m_world->AttachJoint(&extra, body0, body1);
        chain.m_world->DestroyJoint(&extra);
    }
}
BENCHMARK(BM_dgWorld_AttachAndDestroyJoint);

void BM_dgWorld_CreateAndDestroyBody(benchmark::State& state) {
    Chain chain(64);
    for (auto _ : state) {
        dgBody* body = chain.m_world->CreateBody(chain.m_shape);
        chain.m_world->DestroyBody(body);
    }
}
BENCHMARK(BM_dgWorld_CreateAndDestroyBody);

} // namespace

BENCHMARK_MAIN();
