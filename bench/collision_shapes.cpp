// Kernels of the convex shapes: the support point that the narrow phase asks for thousands of times per
// step, and the exact and support-only ray casts.

#include "physics/collision/dgCollisionBox.h"
#include "physics/collision/dgCollisionCone.h"
#include "physics/collision/dgCollisionEllipse.h"
#include "physics/collision/dgCollisionSphere.h"
#include "physics/collision/dgContactPoint.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kInputs = 1024;

std::vector<dgVector> UnitDirections(unsigned seed) {
    std::mt19937 engine(seed);
    std::normal_distribution<dgFloat32> normal(0.0f, 1.0f);
    std::vector<dgVector> dirs;
    while (dirs.size() < kInputs) {
        const dgVector v(normal(engine), normal(engine), normal(engine), 0.0f);
        const dgFloat32 length = std::sqrt(v.DotProduct(v));
        if (length > 1.0e-3f) {
            dirs.push_back(v.Scale(1.0f / length));
        }
    }
    return dirs;
}

// Segments from a shell of radius 4 towards points near the centre: nearly all of them hit.
std::vector<dgVector> RaySegments(unsigned seed) {
    const std::vector<dgVector> dirs = UnitDirections(seed);
    const std::vector<dgVector> aims = UnitDirections(seed + 1);
    std::vector<dgVector> points;
    for (int i = 0; i < kInputs; i++) {
        const dgVector p0 = dirs[i].Scale(4.0f);
        const dgVector p1 = aims[i].Scale(0.3f);
        points.push_back(dgVector(p0.x, p0.y, p0.z, 1.0f));
        points.push_back(dgVector(p1.x, p1.y, p1.z, 1.0f));
    }
    return points;
}

template <class Shape> void Release(Shape* shape) {
    dgRefRelease(shape);
}

void RunSupport(benchmark::State& state, const dgConvexCollision& shape) {
    const std::vector<dgVector> dirs = UnitDirections(1);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(shape.SupportVertex(dirs[i]));
        i = (i + 1) & (kInputs - 1);
    }
}

void RunRayCast(benchmark::State& state, const dgConvexCollision& shape, bool generic) {
    const std::vector<dgVector> points = RaySegments(2);
    dgContactPoint contact;
    int i = 0;
    for (auto _ : state) {
        const dgVector& p0 = points[2 * i];
        const dgVector& p1 = points[2 * i + 1];
        const dgFloat32 t = generic
                                ? shape.dgConvexCollision::RayCast(p0, p1, contact, nullptr, nullptr, nullptr)
                                : shape.RayCast(p0, p1, contact, nullptr, nullptr, nullptr);
        benchmark::DoNotOptimize(t);
        i = (i + 1) & (kInputs - 1);
    }
}

const dgMatrix& Identity() {
    return dgGetIdentityMatrix();
}

void BM_dgCollisionBox_SupportVertex(benchmark::State& state) {
    dgCollisionBox* box = new dgCollisionBox(0, 1.0f, 2.0f, 3.0f, Identity());
    RunSupport(state, *box);
    Release(box);
}

void BM_dgCollisionSphere_SupportVertex(benchmark::State& state) {
    dgCollisionSphere* sphere = new dgCollisionSphere(0, 1.0f, Identity());
    RunSupport(state, *sphere);
    Release(sphere);
}

void BM_dgCollisionEllipse_SupportVertex(benchmark::State& state) {
    dgCollisionEllipse* ellipse = new dgCollisionEllipse(0, 1.0f, 2.0f, 0.5f, Identity());
    RunSupport(state, *ellipse);
    Release(ellipse);
}

void BM_dgCollisionCone_SupportVertex(benchmark::State& state) {
    dgCollisionCone* cone = new dgCollisionCone(0, 1.0f, 2.0f, Identity());
    RunSupport(state, *cone);
    Release(cone);
}

// The polyhedron walk that shapes without an exact support use (here over the sphere's 18 vertices).
void BM_dgConvexCollision_SupportVertexHillClimb(benchmark::State& state) {
    dgCollisionSphere* sphere = new dgCollisionSphere(0, 1.0f, Identity());
    const std::vector<dgVector> dirs = UnitDirections(1);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sphere->dgConvexCollision::SupportVertex(dirs[i]));
        i = (i + 1) & (kInputs - 1);
    }
    Release(sphere);
}

void BM_dgCollisionBox_RayCast(benchmark::State& state) {
    dgCollisionBox* box = new dgCollisionBox(0, 1.0f, 2.0f, 3.0f, Identity());
    RunRayCast(state, *box, false);
    Release(box);
}

void BM_dgCollisionSphere_RayCast(benchmark::State& state) {
    dgCollisionSphere* sphere = new dgCollisionSphere(0, 1.0f, Identity());
    RunRayCast(state, *sphere, false);
    Release(sphere);
}

void BM_dgCollisionEllipse_RayCast(benchmark::State& state) {
    dgCollisionEllipse* ellipse = new dgCollisionEllipse(0, 1.0f, 2.0f, 0.5f, Identity());
    RunRayCast(state, *ellipse, false);
    Release(ellipse);
}

void BM_dgCollisionCone_RayCast(benchmark::State& state) {
    dgCollisionCone* cone = new dgCollisionCone(0, 1.0f, 2.0f, Identity());
    RunRayCast(state, *cone, false);
    Release(cone);
}

void BM_dgConvexCollision_RayCastBox(benchmark::State& state) {
    dgCollisionBox* box = new dgCollisionBox(0, 1.0f, 2.0f, 3.0f, Identity());
    RunRayCast(state, *box, true);
    Release(box);
}

void BM_dgConvexCollision_RayCastSphere(benchmark::State& state) {
    dgCollisionSphere* sphere = new dgCollisionSphere(0, 1.0f, Identity());
    RunRayCast(state, *sphere, true);
    Release(sphere);
}

} // namespace

BENCHMARK(BM_dgCollisionBox_SupportVertex);
BENCHMARK(BM_dgCollisionSphere_SupportVertex);
BENCHMARK(BM_dgCollisionEllipse_SupportVertex);
BENCHMARK(BM_dgCollisionCone_SupportVertex);
BENCHMARK(BM_dgConvexCollision_SupportVertexHillClimb);
BENCHMARK(BM_dgCollisionBox_RayCast);
BENCHMARK(BM_dgCollisionSphere_RayCast);
BENCHMARK(BM_dgCollisionEllipse_RayCast);
BENCHMARK(BM_dgCollisionCone_RayCast);
BENCHMARK(BM_dgConvexCollision_RayCastBox);
BENCHMARK(BM_dgConvexCollision_RayCastSphere);

BENCHMARK_MAIN();
