// The broad phase's pair search over a field of random boxes, some moving each step and the others
// resting (asleep, out of the active set), with the brute-force count of the same scene's pairs as the yardstick. Few movers take the
// incremental search; many take the full sweep.

#include "physics/collision/dgIntersections.h"
#include "support/BroadPhaseScene.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace {

std::int64_t g_pairCount = 0;

// The begin callback of the scene's one material: counts the pair and keeps it from the narrow phase.
dgUnsigned8 CountPair(dgMaterialPair*, dgBody*, dgBody*) {
    g_pairCount++;
    return 0;
}

// About one body per 16 square units of ground, stacked up to 10 high: each box touches a few others.
struct Field {
    std::unique_ptr<BroadPhaseScene> m_scene = std::make_unique<BroadPhaseScene>();
    std::vector<dgBody*> m_movers;
    std::vector<dgVector> m_velocities;
    dgFloat32 m_half = 0.0f;

    Field(int count, int moving) {
        m_half = 2.0f * std::sqrt(static_cast<dgFloat32>(count));
        const dgFloat32 wall = m_half + 10.0f;
        m_scene->BroadPhase().SetWorldSize(dgVector(-wall, -10.0f, -wall, 1.0f), dgVector(wall, 30.0f, wall, 1.0f));
        dgWorld* world = m_scene->World();
        world->GetMaterialPair(world->GetDefaultGroupId(), world->GetDefaultGroupId())->m_beginCallback = CountPair;
        std::mt19937 random(23);
        std::uniform_real_distribution<dgFloat32> ground(-m_half, m_half);
        std::uniform_real_distribution<dgFloat32> height(0.0f, 8.0f);
        std::uniform_int_distribution<int> size(1, 5);
        std::uniform_real_distribution<dgFloat32> speed(-0.1f, 0.1f);
        for (int i = 0; i < count; i++) {
            const dgVector min(ground(random), height(random), ground(random), 1.0f);
            const dgVector extent(0.5f * static_cast<dgFloat32>(size(random)), 0.5f * static_cast<dgFloat32>(size(random)),
                                  0.5f * static_cast<dgFloat32>(size(random)), 0.0f);
            const bool moves = i < moving;
            dgBody* body = m_scene->AddBody(min, min.Add(extent), moves ? BodyKind::kMoving : BodyKind::kFrozen);
            if (moves) {
                m_movers.push_back(body);
                m_velocities.emplace_back(speed(random), 0.2f * speed(random), speed(random), 0.0f);
            }
        }
    }

    // Movers drift and turn back at the field's edges, as bodies integrated by the world would.
    void Advance() {
        for (std::size_t i = 0; i < m_movers.size(); i++) {
            dgBody* body = m_movers[i];
            dgVector& velocity = m_velocities[i];
            const dgVector& centre = body->m_matrix.posit;
            if (std::fabs(centre.x + velocity.x) > m_half) {
                velocity.x = -velocity.x;
            }
            if (centre.y + velocity.y < 0.0f || centre.y + velocity.y > 9.0f) {
                velocity.y = -velocity.y;
            }
            if (std::fabs(centre.z + velocity.z) > m_half) {
                velocity.z = -velocity.z;
            }
            BroadPhaseScene::Translate(body, velocity);
        }
    }
};

void BM_broadphase_pairs(benchmark::State& state) {
    Field field(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    field.m_scene->UpdatePairs();
    g_pairCount = 0;
    std::int64_t steps = 0;
    for (auto _ : state) {
        field.Advance();
        field.m_scene->UpdatePairs();
        steps++;
    }
    state.counters["bodies"] = static_cast<double>(state.range(0));
    state.counters["moving"] = static_cast<double>(state.range(1));
    state.counters["pairs_per_step"] = static_cast<double>(g_pairCount) / static_cast<double>(steps);
}

// Every pair tested against every other: what the cell tree saves.
void BM_broadphase_bruteforce(benchmark::State& state) {
    Field field(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const std::vector<dgBody*>& bodies = field.m_scene->Bodies();
    std::vector<dgVector> mins;
    std::vector<dgVector> maxs;
    std::vector<bool> moving;
    for (const dgBody* body : bodies) {
        mins.push_back(body->m_minBox);
        maxs.push_back(body->m_maxBox);
        moving.push_back((body->m_flags & dgBody::kActive) != 0 && body->m_invMass.w > 0.0f);
    }
    std::int64_t pairs = 0;
    for (auto _ : state) {
        pairs = 0;
        for (std::size_t i = 0; i < bodies.size(); i++) {
            for (std::size_t j = i + 1; j < bodies.size(); j++) {
                if ((moving[i] || moving[j]) && BoxesOverlap(mins[i], maxs[i], mins[j], maxs[j])) {
                    pairs++;
                }
            }
        }
        benchmark::DoNotOptimize(pairs);
    }
    state.counters["bodies"] = static_cast<double>(state.range(0));
    state.counters["pairs_per_step"] = static_cast<double>(pairs);
}

} // namespace

BENCHMARK(BM_broadphase_pairs)
    ->Args({1000, 8})
    ->Args({1000, 250})
    ->Args({10000, 8})
    ->Args({10000, 2500})
    ->Args({50000, 8})
    ->Args({50000, 12500})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_broadphase_bruteforce)->Args({1000, 250})->Args({10000, 2500})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
