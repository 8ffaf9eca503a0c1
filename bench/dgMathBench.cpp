// Kernels of the engine's maths: transforms, quaternion interpolation, the Jacobi eigen solver,
// the oriented-box fit and the closest-point and ray tests of the narrow phase.

#include "physics/collision/dgIntersections.h"
#include "physics/core/dgMatrix.h"
#include "physics/core/dgOrientedBox.h"
#include "physics/core/dgQuaternion.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

// Seeded inputs so every run times the same work.
class BenchInputs {
public:
    explicit BenchInputs(unsigned seed) : m_engine(seed) {}
    dgFloat32 Float(dgFloat32 lo, dgFloat32 hi) {
        return std::uniform_real_distribution<dgFloat32>(lo, hi)(m_engine);
    }
    dgVector Point(dgFloat32 lo, dgFloat32 hi) {
        const dgFloat32 x = Float(lo, hi);
        const dgFloat32 y = Float(lo, hi);
        const dgFloat32 z = Float(lo, hi);
        return dgVector(x, y, z, 1.0f);
    }
    dgQuaternion UnitQuaternion() {
        const dgVector axis = Point(-1.0f, 1.0f);
        const dgFloat32 len = std::sqrt(axis.DotProduct(axis)) + 1.0e-6f;
        return dgQuaternion::FromAxisAngle(axis.Scale(1.0f / len), Float(-3.0f, 3.0f));
    }
    dgMatrix RigidMatrix(dgFloat32 range) {
        return dgMatrix::FromQuaternion(UnitQuaternion(), Point(-range, range));
    }
    dgMatrix SymmetricMatrix(dgFloat32 range) {
        const dgVector d = Point(-range, range);
        const dgVector o = Point(-range, range);
        return dgMatrix(dgVector(d.x, o.x, o.y, 0.0f), dgVector(o.x, d.y, o.z, 0.0f),
                        dgVector(o.y, o.z, d.z, 0.0f), dgVector(0.0f, 0.0f, 0.0f, 1.0f));
    }

private:
    std::mt19937 m_engine;
};

} // namespace

static void BM_dgMatrix_TransformPointArray(benchmark::State& state) {
    BenchInputs random(1);
    const dgMatrix m = random.RigidMatrix(10.0f);
    std::vector<dgVector> points(static_cast<size_t>(state.range(0)));
    for (dgVector& p : points) {
        p = random.Point(-10.0f, 10.0f);
    }
    for (auto _ : state) {
        m.TransformPointArray(&points[0].x, sizeof(dgVector), &points[0].x, sizeof(dgVector),
                              static_cast<dgInt32>(points.size()));
        benchmark::DoNotOptimize(points.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_dgMatrix_TransformPointArray)->Arg(8)->Arg(1024);

static void BM_dgMatrix_Multiply(benchmark::State& state) {
    BenchInputs random(2);
    dgMatrix a = random.RigidMatrix(10.0f);
    const dgMatrix b = random.RigidMatrix(10.0f);
    for (auto _ : state) {
        benchmark::DoNotOptimize(a = a.Multiply(b));
    }
}
BENCHMARK(BM_dgMatrix_Multiply);

static void BM_dgMatrix_EigenDecomposition(benchmark::State& state) {
    BenchInputs random(3);
    const dgMatrix a = random.SymmetricMatrix(5.0f);
    for (auto _ : state) {
        dgMatrix m = a;
        dgVector eigenvalues;
        m.EigenDecomposition(eigenvalues);
        benchmark::DoNotOptimize(m);
        benchmark::DoNotOptimize(eigenvalues);
    }
}
BENCHMARK(BM_dgMatrix_EigenDecomposition);

static void BM_dgQuaternion_Slerp(benchmark::State& state) {
    BenchInputs random(4);
    const dgQuaternion q0 = random.UnitQuaternion();
    const dgQuaternion q1 = random.UnitQuaternion();
    dgFloat32 t = 0.0f;
    for (auto _ : state) {
        t = t < 1.0f ? t + 0.001f : 0.0f;
        benchmark::DoNotOptimize(q0.Slerp(q1, t));
    }
}
BENCHMARK(BM_dgQuaternion_Slerp);

static void BM_dgOrientedBox_FitToVertices(benchmark::State& state) {
    BenchInputs random(5);
    std::vector<dgVector> points(static_cast<size_t>(state.range(0)));
    for (dgVector& p : points) {
        p = random.Point(-3.0f, 3.0f);
    }
    for (auto _ : state) {
        dgOrientedBox box;
        box.FitToVertices(&points[0].x, sizeof(dgVector), static_cast<dgInt32>(points.size()), nullptr);
        benchmark::DoNotOptimize(box);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_dgOrientedBox_FitToVertices)->Arg(64)->Arg(4096);

static void BM_ClosestPointOnTriangle(benchmark::State& state) {
    BenchInputs random(6);
    std::vector<dgVector> points(256);
    for (dgVector& p : points) {
        p = random.Point(-2.0f, 2.0f);
    }
    const dgVector a = random.Point(-1, 1), b = random.Point(-1, 1), c = random.Point(-1, 1);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ClosestPointOnTriangle(points[i++ & 255], a, b, c));
    }
}
BENCHMARK(BM_ClosestPointOnTriangle);

static void BM_ClosestPointsOfSegments(benchmark::State& state) {
    BenchInputs random(7);
    std::vector<dgVector> points(256);
    for (dgVector& p : points) {
        p = random.Point(-2.0f, 2.0f);
    }
    size_t i = 0;
    for (auto _ : state) {
        dgVector outA;
        dgVector outB;
        ClosestPointsOfSegments(points[i & 255], points[(i + 1) & 255], points[(i + 2) & 255],
                                points[(i + 3) & 255], outA, outB);
        i += 4;
        benchmark::DoNotOptimize(outA);
        benchmark::DoNotOptimize(outB);
    }
}
BENCHMARK(BM_ClosestPointsOfSegments);

static void BM_RayPolygonIntersect(benchmark::State& state) {
    // A hexagon in the plane z = 0, rays straight down through random points.
    const dgFloat32 hexagon[18] = {1.0f,  0.0f, 0, 0.5f,  0.866f,  0, -0.5f, 0.866f,  0,
                                   -1.0f, 0.0f, 0, -0.5f, -0.866f, 0, 0.5f,  -0.866f, 0};
    const dgInt32 indices[6] = {0, 1, 2, 3, 4, 5};
    BenchInputs random(8);
    std::vector<dgVector> starts(256);
    for (dgVector& p : starts) {
        p = dgVector(random.Float(-1.2f, 1.2f), random.Float(-1.2f, 1.2f), 1.0f, 1.0f);
    }
    size_t i = 0;
    for (auto _ : state) {
        const dgVector& p0 = starts[i++ & 255];
        const dgVector p1(p0.x, p0.y, -1.0f, 1.0f);
        dgFloat32 t;
        dgVector n;
        benchmark::DoNotOptimize(RayPolygonIntersect(p0, p1, hexagon, 12, indices, 6, t, n));
    }
}
BENCHMARK(BM_RayPolygonIntersect);

BENCHMARK_MAIN();
