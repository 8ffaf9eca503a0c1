#include "physics/collision/dgDoublePlaneBSPPolygonSoup.h"

#include "physics/collision/dgIntersections.h"
#include "physics/core/dgClassIds.h"

#include "SoupTestFaces.h"
#include "support/MathAssertions.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

using SoupPtr = std::unique_ptr<dgDoublePlaneBSPPolygonSoup, void (*)(dgDoublePlaneBSPPolygonSoup*)>;

SoupPtr NewSoup() {
    return SoupPtr(new dgDoublePlaneBSPPolygonSoup(), [](dgDoublePlaneBSPPolygonSoup* soup) { dgRefRelease(soup); });
}

// Faces handed to a query, as pointers to their first vertex index, in call order.
struct Visits {
    std::vector<const dgInt32*> m_faces;
    dgInt32 m_stopAfter = -1;
};

dgInt32 Record(void* context, const dgFloat32*, dgInt32 strideBytes, const dgInt32* indices, dgInt32) {
    auto* visits = static_cast<Visits*>(context);
    EXPECT_EQ(strideBytes, 12);
    visits->m_faces.push_back(indices);
    return static_cast<dgInt32>(visits->m_faces.size()) == visits->m_stopAfter ? 0 : 1;
}

std::vector<const dgInt32*> InBox(const dgDoublePlaneBSPPolygonSoup& soup, const dgVector& lo, const dgVector& hi) {
    Visits visits;
    soup.ForEachPolygonInBox(lo, hi, Record, &visits);
    return visits.m_faces;
}

std::vector<const dgInt32*> OnRay(const dgDoublePlaneBSPPolygonSoup& soup, const dgVector& p0, const dgVector& p1) {
    Visits visits;
    soup.ForEachPolygonOnRay(p0, p1, Record, &visits);
    return visits.m_faces;
}

// Two triangles on z = 0, one at x 0..1 and one at x 3..4.
SoupFaces TwoTriangles() {
    SoupFaces faces;
    faces.Add({P(0, 0, 0), P(1, 0, 0), P(0, 1, 0)}, 7);
    faces.Add({P(3, 0, 0), P(4, 0, 0), P(3, 1, 0)}, 9);
    return faces;
}

// Random small triangles in a 20-unit cube.
SoupFaces RandomTriangles(dgInt32 count, unsigned seed) {
    RandomGeometry random(seed);
    SoupFaces faces;
    for (dgInt32 i = 0; i < count; i++) {
        const dgVector c = random.Point(-10.0f, 10.0f);
        faces.Add({c, c.Add(random.Point(-1.0f, 1.0f)), c.Add(random.Point(-1.0f, 1.0f))}, i);
    }
    return faces;
}

struct StreamWriter {
    std::vector<std::uint8_t> m_bytes;
    std::vector<dgInt32> m_callSizes;
    static void Write(void* userData, const void* buffer, dgInt32 byteCount) {
        auto* self = static_cast<StreamWriter*>(userData);
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        self->m_bytes.insert(self->m_bytes.end(), bytes, bytes + byteCount);
        self->m_callSizes.push_back(byteCount);
    }
};

struct StreamReader {
    const std::vector<std::uint8_t>* m_bytes;
    std::size_t m_at = 0;
    static dgInt32 Read(void* userData, void* buffer, dgInt32 byteCount) {
        auto* self = static_cast<StreamReader*>(userData);
        if (byteCount < 0 || self->m_bytes->size() - self->m_at < static_cast<std::size_t>(byteCount)) {
            return 0;
        }
        std::memcpy(buffer, self->m_bytes->data() + self->m_at, static_cast<std::size_t>(byteCount));
        self->m_at += static_cast<std::size_t>(byteCount);
        return 1;
    }
};

std::vector<std::uint8_t> Serialized(const dgDoublePlaneBSPPolygonSoup& soup) {
    StreamWriter writer;
    soup.Serialize(StreamWriter::Write, &writer);
    return writer.m_bytes;
}

bool ReadInto(dgDoublePlaneBSPPolygonSoup& soup, const std::vector<std::uint8_t>& bytes) {
    StreamReader reader{&bytes};
    return soup.Deserialize(StreamReader::Read, &reader);
}

// Visits every node, calling onFace for each leaf with the node path's direction constraints.
void WalkTree(const dgDoublePlaneBSPPolygonSoup& soup, dgUnsigned32 link,
              const std::function<void(const dgInt32*, dgInt32)>& onFace) {
    if (link & 1u) {
        onFace(soup.GetIndices() + (link >> 8), static_cast<dgInt32>((link >> 1) & 0x7F));
        return;
    }
    const dgDoublePlaneBSPNode& node = soup.GetNodes()[link >> 1];
    WalkTree(soup, node.m_left, onFace);
    WalkTree(soup, node.m_right, onFace);
}

dgInt32 CountLeaves(const dgDoublePlaneBSPPolygonSoup& soup, dgUnsigned32 link) {
    dgInt32 count = 0;
    WalkTree(soup, link, [&count](const dgInt32*, dgInt32) { count++; });
    return count;
}

bool FaceBoxTouches(const dgDoublePlaneBSPPolygonSoup& soup, const dgInt32* face, const dgVector& lo,
                    const dgVector& hi) {
    const dgFloat32* a = soup.GetVertices() + 3 * face[-3];
    const dgFloat32* b = soup.GetVertices() + 3 * face[-2];
    return a[0] <= hi.x && b[0] >= lo.x && a[1] <= hi.y && b[1] >= lo.y && a[2] <= hi.z && b[2] >= lo.z;
}

// Some direction of the table along which the face's vertices end where the box starts, or start
// where it ends (touching counts as apart there).
bool IsSeparatedAlongATableDirection(const dgDoublePlaneBSPPolygonSoup& soup, const dgInt32* face,
                                     const dgVector& lo, const dgVector& hi) {
    for (dgInt32 d = 0; d < dgDoublePlaneBSPPolygonSoup::kDirectionCount; d++) {
        const dgVector& n = dgDoublePlaneBSPPolygonSoup::Direction(d);
        dgFloat32 faceMin = 1e30f;
        dgFloat32 faceMax = -1e30f;
        for (dgInt32 i = 0; i < 3; i++) {
            const dgFloat32 t = n.DotProduct(dgVector(soup.GetVertices() + 3 * face[i]));
            faceMin = std::min(faceMin, t);
            faceMax = std::max(faceMax, t);
        }
        const dgVector boxLo(n.x >= 0 ? lo.x : hi.x, n.y >= 0 ? lo.y : hi.y, n.z >= 0 ? lo.z : hi.z, 0.0f);
        const dgVector boxHi(n.x >= 0 ? hi.x : lo.x, n.y >= 0 ? hi.y : lo.y, n.z >= 0 ? hi.z : lo.z, 0.0f);
        if (faceMax <= n.DotProduct(boxLo) || faceMin >= n.DotProduct(boxHi)) {
            return true;
        }
    }
    return false;
}

template <class T> void Put(std::vector<std::uint8_t>& out, T value) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
    out.insert(out.end(), bytes, bytes + sizeof(T));
}

// Offsets into a stream: the counts, then the arrays.
constexpr std::size_t kVerticesAt = 48;

} // namespace

TEST(dgDoublePlaneBSPPolygonSoup, TypeIdsFollowTheClassChain) {
    const SoupPtr soup = NewSoup();
    EXPECT_EQ(soup->GetTypeId(), dgDoublePlaneBSPPolygonSoupClassId);
    EXPECT_TRUE(soup->IsType(dgPolygonSoupDatabaseClassId));
    EXPECT_TRUE(soup->IsType(dgRefClassId));
    EXPECT_FALSE(soup->IsType(dgCollisionClassId));
}

TEST(dgDoublePlaneBSPPolygonSoup, OneFaceDatabaseHasNoTreeAndWritesZeroNodeCountsTwice) {
    SoupFaces faces;
    faces.Add({P(0, 0, 0), P(1, 0, 0), P(0, 1, 0)}, 1);
    dgPolygonSoupBuilder builder;
    builder.Begin();
    faces.AddTo(builder);
    const SoupPtr soup = NewSoup();
    EXPECT_FALSE(soup->BuildSoupTree(builder)); // End was not called: one face is no tree
    EXPECT_EQ(soup->GetNodes(), nullptr);
    EXPECT_TRUE(InBox(*soup, P(-10, -10, -10), P(10, 10, 10)).empty());
    EXPECT_TRUE(OnRay(*soup, P(0.2f, 0.2f, 5), P(0.2f, 0.2f, -5)).empty());
    StreamWriter writer;
    soup->Serialize(StreamWriter::Write, &writer);
    EXPECT_EQ(writer.m_callSizes, (std::vector<dgInt32>{4, 4, 4, 4, 16, 16, 0, 0, 0}));
    EXPECT_EQ(writer.m_bytes, std::vector<std::uint8_t>(48, 0));
}

TEST(dgDoublePlaneBSPPolygonSoup, TwoFacesGiveOneNodeWhoseLinksAreLeaves) {
    const SoupPtr soup = NewSoup();
    ASSERT_TRUE(BuildSoup(*soup, TwoTriangles()));
    EXPECT_EQ(soup->CountNodes(), 1);
    const dgDoublePlaneBSPNode& root = soup->GetNodes()[0];
    EXPECT_EQ(root.m_direction, 0u);
    EXPECT_EQ(root.m_leftMax, 1.0f);
    EXPECT_EQ(root.m_rightMin, 3.0f);
    EXPECT_EQ(root.m_left, (3u << 8) | (3u << 1) | 1u);
    EXPECT_EQ(root.m_right, (9u << 8) | (3u << 1) | 1u);
    dgVector lo;
    dgVector hi;
    soup->GetAABB(lo, hi);
    EXPECT_TRUE(Vector4Near(lo, dgVector(0, 0, 0, 0), 0.0f));
    EXPECT_TRUE(Vector4Near(hi, dgVector(4, 1, 0, 0), 0.0f));
}

TEST(dgDoublePlaneBSPPolygonSoup, BoxWalkIsStrictAtNodesAndCountsTouchingAtFaces) {
    const SoupPtr soup = NewSoup();
    ASSERT_TRUE(BuildSoup(*soup, TwoTriangles()));
    // The box starts exactly at the left side's largest x: that side is not entered.
    EXPECT_TRUE(InBox(*soup, P(1, 0, -1), P(2, 1, 1)).empty());
    // Ends exactly at the right side's smallest x: not entered either.
    EXPECT_TRUE(InBox(*soup, P(2, 0, -1), P(3, 1, 1)).empty());
    // Inside the right side along x, touching the face's box only at y = 1: the face is handed over.
    const auto touching = InBox(*soup, P(3.2f, 1, -1), P(3.5f, 2, 1));
    ASSERT_EQ(touching.size(), 1u);
    EXPECT_EQ(touching[0][-1], 9);
    // Just above the face box: nothing.
    EXPECT_TRUE(InBox(*soup, P(3.2f, 1.01f, -1), P(3.5f, 2, 1)).empty());
}

TEST(dgDoublePlaneBSPPolygonSoup, RayWalkEntersSidesItsSegmentOnlyTouches) {
    const SoupPtr soup = NewSoup();
    ASSERT_TRUE(BuildSoup(*soup, TwoTriangles()));
    // A segment along z has no extent in x: lying on a side's extreme x, it still reaches that side's face
    // and hits it at the corner there.
    const auto left = OnRay(*soup, P(1, 0, 1), P(1, 0, -1));
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0][-1], 7);
    EXPECT_NEAR(SoupRayCastClosest(*soup, P(1, 0, 1), P(1, 0, -1)), 0.5f, kRoundingTol);
    const auto right = OnRay(*soup, P(3, 0, 1), P(3, 0, -1));
    ASSERT_EQ(right.size(), 1u);
    EXPECT_EQ(right[0][-1], 9);
    EXPECT_TRUE(OnRay(*soup, P(2, 0, 1), P(2, 0, -1)).empty());
}

TEST(dgDoublePlaneBSPPolygonSoup, CallbackReturningZeroEndsTheQueryAtOnce) {
    const SoupPtr soup = NewSoup();
    ASSERT_TRUE(BuildSoup(*soup, RandomTriangles(200, 3)));
    Visits box;
    box.m_stopAfter = 1;
    soup->ForEachPolygonInBox(P(-20, -20, -20), P(20, 20, 20), Record, &box);
    EXPECT_EQ(box.m_faces.size(), 1u);
    Visits ray;
    ray.m_stopAfter = 1;
    soup->ForEachPolygonOnRay(P(-20, -20, -20), P(20, 20, 20), Record, &ray);
    EXPECT_EQ(ray.m_faces.size(), 1u);
}

// The walk hands over no face whose box misses the query box, and every face whose box touches it
// unless one of the 24 directions separates the face's vertices from the box (nodes cut there).
TEST(dgDoublePlaneBSPPolygonSoup, BoxWalkAgreesWithBruteForceOverFaceBoxes) {
    for (const dgInt32 count : {2, 40, 63, 64, 500}) {
        const SoupPtr soup = NewSoup();
        ASSERT_TRUE(BuildSoup(*soup, RandomTriangles(count, 11 + count)));
        std::vector<const dgInt32*> all;
        WalkTree(*soup, 0, [&all](const dgInt32* face, dgInt32) { all.push_back(face); });
        RandomGeometry random(count);
        dgInt32 reported = 0;
        for (dgInt32 q = 0; q < 100; q++) {
            const dgVector a = random.Point(-12.0f, 12.0f);
            const dgVector b = a.Add(random.Point(0.0f, 6.0f));
            std::vector<const dgInt32*> found = InBox(*soup, a, b);
            std::sort(found.begin(), found.end());
            EXPECT_EQ(std::adjacent_find(found.begin(), found.end()), found.end());
            for (const dgInt32* face : all) {
                const bool touches = FaceBoxTouches(*soup, face, a, b);
                const bool isFound = std::binary_search(found.begin(), found.end(), face);
                if (isFound) {
                    EXPECT_TRUE(touches) << count << " faces, query " << q;
                } else if (touches) {
                    EXPECT_TRUE(IsSeparatedAlongATableDirection(*soup, face, a, b)) << count << " faces, query " << q;
                }
            }
            reported += static_cast<dgInt32>(found.size());
        }
        EXPECT_GT(reported, count / 10);
    }
}

TEST(dgDoublePlaneBSPPolygonSoup, RayWalkFindsTheNearestFace) {
    // Ten parallel squares facing up, stacked along z: a ray from above hits the top one first.
    SoupFaces stack;
    for (dgInt32 i = 1; i <= 10; i++) {
        const auto z = static_cast<dgFloat32>(i);
        stack.Add({P(0, 0, z), P(1, 0, z), P(1, 1, z), P(0, 1, z)}, i);
    }
    const SoupPtr soup = NewSoup();
    ASSERT_TRUE(BuildSoup(*soup, stack));
    EXPECT_NEAR(SoupRayCastClosest(*soup, P(0.5f, 0.5f, 20), P(0.5f, 0.5f, 0)), 0.5f, kRoundingTol);
    EXPECT_TRUE(SoupRayCastAny(*soup, P(0.5f, 0.5f, 20), P(0.5f, 0.5f, 0)));
    EXPECT_EQ(SoupRayCastClosest(*soup, P(2, 2, 20), P(2, 2, 0)), 1.1f);
    EXPECT_FALSE(SoupRayCastAny(*soup, P(2, 2, 20), P(2, 2, 0)));

    // Random segments through random triangles: the walk's nearest hit is the brute-force nearest.
    const SoupFaces faces = RandomTriangles(300, 5);
    const SoupPtr random = NewSoup();
    ASSERT_TRUE(BuildSoup(*random, faces));
    std::vector<std::pair<const dgInt32*, dgInt32>> all;
    WalkTree(*random, 0, [&all](const dgInt32* face, dgInt32 count) { all.emplace_back(face, count); });
    RandomGeometry rng(9);
    dgInt32 hits = 0;
    for (dgInt32 q = 0; q < 200; q++) {
        const dgVector p0 = rng.Point(-15.0f, 15.0f);
        const dgVector p1 = rng.Point(-15.0f, 15.0f);
        dgFloat32 best = 1.1f;
        for (const auto& [face, count] : all) {
            dgFloat32 t;
            dgVector normal;
            if (RayPolygonIntersect(p0, p1, random->GetVertices(), 12, face, count, t, normal) && t < best) {
                best = t;
            }
        }
        hits += best < 1.1f ? 1 : 0;
        EXPECT_EQ(SoupRayCastClosest(*random, p0, p1), best) << "segment " << q;
    }
    EXPECT_GT(hits, 5);
}

TEST(dgDoublePlaneBSPPolygonSoup, TreeReachesEveryFaceOnceAndNodesBoundTheirSides) {
    const dgInt32 count = 700;
    const SoupPtr soup = NewSoup();
    ASSERT_TRUE(BuildSoup(*soup, RandomTriangles(count, 21)));
    EXPECT_EQ(soup->CountNodes(), count - 1);
    std::vector<dgInt32> seen(count, 0);
    WalkTree(*soup, 0, [&seen](const dgInt32* face, dgInt32 n) {
        EXPECT_EQ(n, 3);
        seen[face[-1]]++;
    });
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), count);

    // Every face on a node's left reaches no further than the left maximum along the node's direction;
    // every face on its right starts no earlier than the right minimum.
    auto extent = [&soup](const dgInt32* face, dgInt32 n, dgUnsigned32 d, bool max) {
        dgFloat32 value = max ? -1e30f : 1e30f;
        for (dgInt32 i = 0; i < n; i++) {
            const dgFloat32 t =
                dgDoublePlaneBSPPolygonSoup::Direction(static_cast<dgInt32>(d)).DotProduct(dgVector(soup->GetVertices() + 3 * face[i]));
            value = max ? std::max(value, t) : std::min(value, t);
        }
        return value;
    };
    for (dgInt32 i = 0; i < count - 1; i++) {
        const dgDoublePlaneBSPNode& node = soup->GetNodes()[i];
        WalkTree(*soup, node.m_left, [&](const dgInt32* face, dgInt32 n) {
            EXPECT_LE(extent(face, n, node.m_direction, true), node.m_leftMax);
        });
        WalkTree(*soup, node.m_right, [&](const dgInt32* face, dgInt32 n) {
            EXPECT_GE(extent(face, n, node.m_direction, false), node.m_rightMin);
        });
    }
}

TEST(dgDoublePlaneBSPPolygonSoup, IdenticalFacesAreCutInHalvesAndShareCorners) {
    SoupFaces faces;
    for (dgInt32 i = 0; i < 10; i++) {
        faces.Add({P(0, 0, 0), P(1, 0, 0), P(0, 1, 0)}, i);
    }
    const SoupPtr soup = NewSoup();
    ASSERT_TRUE(BuildSoup(*soup, faces));
    const dgDoublePlaneBSPNode& root = soup->GetNodes()[0];
    EXPECT_EQ(CountLeaves(*soup, root.m_left), 5);
    EXPECT_EQ(CountLeaves(*soup, root.m_right), 5);
    // 30 face vertices and one welded pair of box corners.
    EXPECT_EQ(soup->GetVertexCount(), 32);
}

TEST(dgDoublePlaneBSPPolygonSoup, SixtyFourFacesTakeTheMedianSplitSixtyThreeTheSearch) {
    // Thin faces along the diagonal, long across it: along x they overlap heavily, along the
    // diagonal direction not at all. The search finds the diagonal; the median split takes an axis.
    auto diagonal = [](dgInt32 count) {
        SoupFaces faces;
        for (dgInt32 i = 0; i < count; i++) {
            const auto t = static_cast<dgFloat32>(i);
            faces.Add({P(t + 5, t - 5, 0), P(t - 5, t + 5, 0), P(t, t, 1)}, i);
        }
        return faces;
    };
    const SoupPtr searched = NewSoup();
    ASSERT_TRUE(BuildSoup(*searched, diagonal(63)));
    EXPECT_EQ(searched->GetNodes()[0].m_direction, 3u);
    const SoupPtr median = NewSoup();
    ASSERT_TRUE(BuildSoup(*median, diagonal(64)));
    const dgDoublePlaneBSPNode& root = median->GetNodes()[0];
    EXPECT_LT(root.m_direction, 3u);
    EXPECT_EQ(CountLeaves(*median, root.m_left), 32);
}

TEST(dgDoublePlaneBSPPolygonSoup, StreamOfTwoFacesIsTheGoldenByteSequence) {
    const SoupPtr soup = NewSoup();
    ASSERT_TRUE(BuildSoup(*soup, TwoTriangles()));
    std::vector<std::uint8_t> golden;
    for (const dgInt32 count : {10, 12, 1, 1}) {
        Put(golden, count);
    }
    for (const dgFloat32 v : {0.0f, 0.0f, 0.0f, 0.0f, 4.0f, 1.0f, 0.0f, 0.0f}) {
        Put(golden, v);
    }
    // The six face vertices, then the box corners of the two faces.
    for (const dgFloat32 v : {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 3.0f, 0.0f, 0.0f, 4.0f, 0.0f, 0.0f,
                              3.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 3.0f, 0.0f, 0.0f, 4.0f, 1.0f, 0.0f}) {
        Put(golden, v);
    }
    for (const dgInt32 i : {6, 7, 7, 0, 1, 2, 8, 9, 9, 3, 4, 5}) {
        Put(golden, i);
    }
    Put(golden, 3.0f);
    Put(golden, 1.0f);
    Put(golden, 0u);
    Put(golden, (3u << 8) | 7u);
    Put(golden, (9u << 8) | 7u);
    EXPECT_EQ(Serialized(*soup), golden);
}

TEST(dgDoublePlaneBSPPolygonSoup, StreamReadBackAnswersQueriesIdentically) {
    const SoupPtr soup = NewSoup();
    ASSERT_TRUE(BuildSoup(*soup, RandomTriangles(400, 31)));
    const std::vector<std::uint8_t> bytes = Serialized(*soup);
    const SoupPtr copy = NewSoup();
    ASSERT_TRUE(ReadInto(*copy, bytes));
    ASSERT_TRUE(ReadInto(*copy, bytes)); // a second read replaces the first without leaking it
    EXPECT_EQ(Serialized(*copy), bytes);
    RandomGeometry random(2);
    auto offsets = [](const dgDoublePlaneBSPPolygonSoup& s, const std::vector<const dgInt32*>& faces) {
        std::vector<std::ptrdiff_t> out;
        for (const dgInt32* face : faces) {
            out.push_back(face - s.GetIndices());
        }
        return out;
    };
    for (dgInt32 q = 0; q < 50; q++) {
        const dgVector a = random.Point(-12.0f, 12.0f);
        const dgVector b = a.Add(random.Point(0.0f, 8.0f));
        EXPECT_EQ(offsets(*soup, InBox(*soup, a, b)), offsets(*copy, InBox(*copy, a, b)));
        const dgVector c = random.Point(-12.0f, 12.0f);
        EXPECT_EQ(offsets(*soup, OnRay(*soup, a, c)), offsets(*copy, OnRay(*copy, a, c)));
    }
}

TEST(dgDoublePlaneBSPPolygonSoup, CorruptedStreamsAreRefusedAndLeaveTheDatabaseEmpty) {
    const SoupPtr soup = NewSoup();
    ASSERT_TRUE(BuildSoup(*soup, RandomTriangles(20, 41)));
    const std::vector<std::uint8_t> good = Serialized(*soup);
    const std::size_t indicesAt = kVerticesAt + 12 * static_cast<std::size_t>(soup->GetVertexCount());
    const std::size_t nodesAt = indicesAt + 4 * static_cast<std::size_t>(soup->GetIndexCount());
    ASSERT_EQ(good.size(), nodesAt + 20 * 19);

    auto refused = [](const std::vector<std::uint8_t>& bytes) {
        const SoupPtr target = NewSoup();
        const bool read = ReadInto(*target, bytes);
        const bool empty = target->GetNodes() == nullptr && target->GetVertexCount() == 0 &&
                           target->GetIndexCount() == 0 && InBox(*target, P(-1e6f, -1e6f, -1e6f), P(1e6f, 1e6f, 1e6f)).empty();
        return !read && empty;
    };
    auto patched = [&good](std::size_t at, auto value) {
        std::vector<std::uint8_t> bytes = good;
        std::memcpy(bytes.data() + at, &value, sizeof(value));
        return bytes;
    };
    for (std::size_t size = 0; size < good.size(); size += 7) {
        EXPECT_TRUE(refused(std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size))))
            << "truncated to " << size;
    }
    EXPECT_TRUE(refused(patched(0, -1)));                    // negative vertex count
    EXPECT_TRUE(refused(patched(12, 18)));                   // the two node counts differ
    EXPECT_TRUE(refused(patched(8, 0x7FFFFFFF)));            // an absurd index count
    EXPECT_TRUE(refused(patched(8, 60)));                    // more nodes than 60 words of faces could need
    EXPECT_TRUE(refused(patched(kVerticesAt, std::nanf("")))); // a vertex that is not a number
    EXPECT_TRUE(refused(patched(nodesAt + 8, 24u)));         // a direction beyond the table
    EXPECT_TRUE(refused(patched(nodesAt + 4, INFINITY)));    // an infinite plane
    // A cycle: the root's inner child points back at the root, then at itself.
    const dgDoublePlaneBSPNode& root = soup->GetNodes()[0];
    const std::size_t innerAt = nodesAt + ((root.m_left & 1u) ? 16 : 12);
    EXPECT_TRUE(refused(patched(innerAt, 0u)));
    const dgUnsigned32 child = ((root.m_left & 1u) ? root.m_right : root.m_left) >> 1;
    const dgDoublePlaneBSPNode& childNode = soup->GetNodes()[child];
    if (!(childNode.m_left & 1u)) {
        EXPECT_TRUE(refused(patched(nodesAt + 20 * child + 12, child << 1)));
    }
    // A child index beyond the node array.
    EXPECT_TRUE(refused(patched(innerAt, 19u << 1)));
    // A vertex index out of range, and a corner index out of range.
    EXPECT_TRUE(refused(patched(indicesAt + 12, soup->GetVertexCount())));
    EXPECT_TRUE(refused(patched(indicesAt, -1)));
    // A leaf claiming 200 vertices (the count field keeps 72 of them) and a leaf before the first block.
    dgUnsigned32 leafAt = 0;
    for (dgInt32 i = 0; i < 19 && leafAt == 0; i++) {
        if (soup->GetNodes()[i].m_right & 1u) {
            leafAt = static_cast<dgUnsigned32>(20 * i + 16);
        }
    }
    ASSERT_NE(leafAt, 0u);
    const dgUnsigned32 leaf = soup->GetNodes()[(leafAt - 16) / 20].m_right;
    EXPECT_TRUE(refused(patched(nodesAt + leafAt, (leaf & ~0xFFu) | ((200u & 0x7Fu) << 1) | 1u)));
    EXPECT_TRUE(refused(patched(nodesAt + leafAt, (1u << 8) | (3u << 1) | 1u)));
    // A stream that reads fine into a filled database refuses cleanly and empties it.
    const SoupPtr filled = NewSoup();
    ASSERT_TRUE(ReadInto(*filled, good));
    EXPECT_FALSE(ReadInto(*filled, patched(12, 18)));
    EXPECT_EQ(filled->GetNodes(), nullptr);
    EXPECT_EQ(filled->GetVertexCount(), 0);
}
