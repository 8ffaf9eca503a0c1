// Node pools against malloc, and dgTree against std::map, so a change that slows them shows up.

#include "physics/core/dgGlobalAllocator.h"
#include "physics/core/dgNodePool.h"
#include "physics/core/dgTree.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <vector>

namespace {

constexpr std::size_t kNodeBytes = 48;

std::vector<dgUnsigned32> ShuffledKeys(std::size_t count) {
    std::vector<dgUnsigned32> keys(count);
    for (std::size_t i = 0; i < count; i++) {
        keys[i] = static_cast<dgUnsigned32>(i * 2654435761u);
    }
    std::shuffle(keys.begin(), keys.end(), std::mt19937(1));
    return keys;
}

// Allocate a batch of node-sized blocks, then free them in a scrambled order.
template <class Alloc, class Free> void AllocFreeBatch(benchmark::State& state, Alloc alloc, Free release) {
    const std::size_t count = static_cast<std::size_t>(state.range(0));
    std::vector<void*> blocks(count);
    std::vector<std::size_t> order(count);
    for (std::size_t i = 0; i < count; i++) {
        order[i] = i;
    }
    std::shuffle(order.begin(), order.end(), std::mt19937(2));
    for (auto _ : state) {
        for (std::size_t i = 0; i < count; i++) {
            blocks[i] = alloc();
        }
        benchmark::DoNotOptimize(blocks.data());
        for (std::size_t i : order) {
            release(blocks[i]);
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
}

void BM_dgNodePool_AllocFree(benchmark::State& state) {
    static dgNodePool* pool = dgNodePool::Create(kNodeBytes, 4);
    void* keepAlive = pool->Malloc(kNodeBytes); // keeps pages across batches, as a live container does
    AllocFreeBatch(
        state, [] { return pool->Malloc(kNodeBytes); }, [](void* block) { pool->Free(block); });
    pool->Free(keepAlive);
}
BENCHMARK(BM_dgNodePool_AllocFree)->Arg(64)->Arg(4096);

void BM_malloc_AllocFree(benchmark::State& state) {
    AllocFreeBatch(
        state, [] { return std::malloc(kNodeBytes); }, [](void* block) { std::free(block); });
}
BENCHMARK(BM_malloc_AllocFree)->Arg(64)->Arg(4096);

void BM_dgObjectMalloc_AllocFree(benchmark::State& state) {
    AllocFreeBatch(
        state, [] { return dgObjectMalloc(kNodeBytes); }, [](void* block) { dgObjectFree(block); });
}
BENCHMARK(BM_dgObjectMalloc_AllocFree)->Arg(64)->Arg(4096);

void BM_dgTree_Insert(benchmark::State& state) {
    const auto keys = ShuffledKeys(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        dgTree<dgInt32, dgUnsigned32> tree;
        for (dgUnsigned32 key : keys) {
            tree.Insert(1, key);
        }
        benchmark::DoNotOptimize(tree.GetRoot());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * keys.size()));
}
BENCHMARK(BM_dgTree_Insert)->Arg(1000)->Arg(100000);

void BM_stdmap_Insert(benchmark::State& state) {
    const auto keys = ShuffledKeys(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::map<dgUnsigned32, dgInt32> map;
        for (dgUnsigned32 key : keys) {
            map.emplace(key, 1);
        }
        benchmark::DoNotOptimize(map.size());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * keys.size()));
}
BENCHMARK(BM_stdmap_Insert)->Arg(1000)->Arg(100000);

void BM_dgTree_Find(benchmark::State& state) {
    const auto keys = ShuffledKeys(static_cast<std::size_t>(state.range(0)));
    dgTree<dgInt32, dgUnsigned32> tree;
    for (dgUnsigned32 key : keys) {
        tree.Insert(1, key);
    }
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tree.Find(keys[i]));
        i = i + 1 == keys.size() ? 0 : i + 1;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_dgTree_Find)->Arg(1000)->Arg(100000);

void BM_stdmap_Find(benchmark::State& state) {
    const auto keys = ShuffledKeys(static_cast<std::size_t>(state.range(0)));
    std::map<dgUnsigned32, dgInt32> map;
    for (dgUnsigned32 key : keys) {
        map.emplace(key, 1);
    }
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.find(keys[i]));
        i = i + 1 == keys.size() ? 0 : i + 1;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_stdmap_Find)->Arg(1000)->Arg(100000);

} // namespace

BENCHMARK_MAIN();
