#include "physics/core/dgVertexArray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <vector>

namespace {

// x, y, z, then one word compared bit for bit.
struct TaggedVertex {
    dgFloat32 x, y, z;
    dgUnsigned32 tag;
};

std::vector<dgInt32> Weld(std::vector<dgFloat32>& xyz, dgFloat32 tolerance, dgInt32& unique) {
    const dgInt32 count = static_cast<dgInt32>(xyz.size() / 3);
    std::vector<dgInt32> map(count, -7);
    unique = dgWeldVertexList(xyz.data(), 12, 12, 0, count, map.data(), tolerance);
    return map;
}

} // namespace

TEST(dgVertexArrayBox, CornersOfTheArrayWithUnitW) {
    const dgFloat32 one[4] = {1.5f, -2.0f, 3.0f, 99.0f};
    dgVector lo;
    dgVector hi;
    dgGetVertexArrayBox(lo, hi, one, 1, 16);
    EXPECT_EQ(lo.x, 1.5f);
    EXPECT_EQ(lo.y, -2.0f);
    EXPECT_EQ(lo.z, 3.0f);
    EXPECT_EQ(lo.w, 1.0f);
    EXPECT_EQ(hi.x, 1.5f);
    EXPECT_EQ(hi.w, 1.0f);

    // Stride 18 bytes rounds down to 16; a NaN never becomes a corner.
    const dgFloat32 nan = std::numeric_limits<dgFloat32>::quiet_NaN();
    std::vector<dgFloat32> many = {0, 0, 0, 0, 5, -1, 2, 0, nan, 7, -3, 0, -4, nan, 1, 0, 1, 2, 3, 0};
    dgGetVertexArrayBox(lo, hi, many.data(), 5, 18);
    EXPECT_EQ(lo.x, -4.0f);
    EXPECT_EQ(lo.y, -1.0f);
    EXPECT_EQ(lo.z, -3.0f);
    EXPECT_EQ(hi.x, 5.0f);
    EXPECT_EQ(hi.y, 7.0f);
    EXPECT_EQ(hi.z, 3.0f);
}

TEST(dgVertexArrayBox, NoVerticesGiveTheZeroBoxWithoutReading) {
    dgVector lo(9, 9, 9, 9);
    dgVector hi(9, 9, 9, 9);
    dgGetVertexArrayBox(lo, hi, nullptr, 0, 12);
    EXPECT_EQ(lo.x, 0.0f);
    EXPECT_EQ(hi.z, 0.0f);
    EXPECT_EQ(hi.w, 1.0f);
    dgGetVertexArrayBox(lo, hi, nullptr, -3, 12);
    EXPECT_EQ(lo.y, 0.0f);
}

TEST(dgWeldVertexList, SquareGivenTwiceWeldsToItsFourCornersInOrder) {
    std::vector<dgFloat32> xyz = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    const std::vector<dgFloat32> input = xyz;
    dgInt32 unique;
    const std::vector<dgInt32> map = Weld(xyz, 0.001f, unique);
    ASSERT_EQ(unique, 4);
    for (dgInt32 i = 0; i < 4; i++) {
        EXPECT_EQ(map[i], map[i + 4]);
    }
    EXPECT_EQ(std::set<dgInt32>(map.begin(), map.end()).size(), 4u);
    for (dgInt32 i = 0; i < 8; i++) {
        ASSERT_GE(map[i], 0);
        ASSERT_LT(map[i], 4);
        for (dgInt32 k = 0; k < 3; k++) {
            EXPECT_EQ(xyz[map[i] * 3 + k], input[i * 3 + k]);
        }
    }
}

TEST(dgWeldVertexList, ThresholdIsToleranceAndATenThousandth) {
    std::vector<dgFloat32> xyz = {0.0f, 0.0f, 0.0f, 0.0005f, 0.0f, 0.0f};
    dgInt32 unique;
    Weld(xyz, 0.001f, unique);
    EXPECT_EQ(unique, 1);

    xyz = {0.0f, 0.0f, 0.0f, 0.0005f, 0.0f, 0.0f};
    const std::vector<dgInt32> map = Weld(xyz, 0.0001f, unique);
    EXPECT_EQ(unique, 2);
    EXPECT_NE(map[0], map[1]);
}

TEST(dgWeldVertexList, WordsInTheExactRangeMustMatchBitForBit) {
    std::vector<TaggedVertex> v = {{1, 2, 3, 7}, {1, 2, 3, 8}, {1, 2, 3, 7}};
    std::vector<dgInt32> map(3);
    const dgInt32 unique = dgWeldVertexList(&v[0].x, sizeof(TaggedVertex), 12, 4, 3, map.data(), 0.01f);
    EXPECT_EQ(unique, 2);
    EXPECT_EQ(map[0], map[2]);
    EXPECT_NE(map[0], map[1]);
    EXPECT_EQ(v[map[1]].tag, 8u);
}

TEST(dgWeldVertexList, RefusedLayoutsLeaveArrayAndMapUntouched) {
    std::vector<dgFloat32> xyz = {1, 2, 3, 4, 1, 2, 3, 4};
    const std::vector<dgFloat32> before = xyz;
    std::vector<dgInt32> map = {-5, -5};
    EXPECT_EQ(dgWeldVertexList(xyz.data(), 8, 8, 0, 2, map.data(), 0.1f), 0);
    EXPECT_EQ(dgWeldVertexList(xyz.data(), 16, 4, 4, 2, map.data(), 0.1f), 0);  // fewer than 12 bytes
    EXPECT_EQ(dgWeldVertexList(xyz.data(), 16, 12, 8, 2, map.data(), 0.1f), 0); // beyond the stride
    EXPECT_EQ(dgWeldVertexList(xyz.data(), 14, 12, 0, 2, map.data(), 0.1f), 0); // not whole words
    EXPECT_EQ(dgWeldVertexList(xyz.data(), 16, 12, 0, 0, map.data(), 0.1f), 0);
    EXPECT_EQ(xyz, before);
    EXPECT_EQ(map[0], -5);
    EXPECT_EQ(map[1], -5);
}

// In floats the sweep window x + 0.0003 rounds back to x once |x| >= 2048 at tolerance 1e-6, so
// exact duplicates at large coordinates would never meet.
TEST(dgWeldVertexList, ExactDuplicatesWeldAtLargeCoordinates) {
    std::vector<dgFloat32> xyz;
    for (dgInt32 copy = 0; copy < 3; copy++) {
        xyz.insert(xyz.end(), {5000.0f, 1.0f, 2.0f, -9000.0f, 3.0f, 4.0f, 5000.0f, 9999.5f, -2.0f});
    }
    dgInt32 unique;
    const std::vector<dgInt32> map = Weld(xyz, 1.0e-6f, unique);
    EXPECT_EQ(unique, 3);
    for (dgInt32 i = 0; i < 3; i++) {
        EXPECT_EQ(map[i], map[i + 3]);
        EXPECT_EQ(map[i], map[i + 6]);
    }
}

TEST(dgWeldVertexList, NotANumberStaysItsOwnVertexAndOrderIsStrict) {
    const dgFloat32 nan = std::numeric_limits<dgFloat32>::quiet_NaN();
    std::vector<dgFloat32> xyz;
    for (dgInt32 i = 0; i < 200; i++) {
        xyz.insert(xyz.end(), {(i % 3 == 0) ? nan : static_cast<dgFloat32>(i % 7), 0.0f, 0.0f});
    }
    dgInt32 unique;
    const std::vector<dgInt32> map = Weld(xyz, 0.001f, unique);
    // 67 NaN rows stay apart; the others weld into the values 0..6.
    EXPECT_EQ(unique, 67 + 7);
    for (dgInt32 m : map) {
        EXPECT_GE(m, 0);
        EXPECT_LT(m, unique);
    }
}

// Well separated centres, each given several times with jitter well inside the tolerance, shuffled:
// the weld finds exactly the centres, maps every copy to its centre's vertex and keeps one copy's words.
TEST(dgWeldVertexList, JitteredCloudsWeldBackToTheirCentres) {
    for (unsigned seed = 1; seed <= 5; seed++) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<dgFloat32> jitter(-0.0004f, 0.0004f);
        std::uniform_int_distribution<dgInt32> copies(1, 4);
        const dgInt32 centreCount = 400;
        const dgFloat32 offset = seed == 5 ? 3000.0f : 0.0f;
        std::vector<dgInt32> centreOf;
        std::vector<dgFloat32> xyz;
        for (dgInt32 c = 0; c < centreCount; c++) {
            const dgFloat32 cx = offset + static_cast<dgFloat32>(c % 10);
            const dgFloat32 cy = static_cast<dgFloat32>((c / 10) % 8) * 0.5f;
            const dgFloat32 cz = static_cast<dgFloat32>(c / 80);
            for (dgInt32 k = copies(rng); k > 0; k--) {
                xyz.insert(xyz.end(), {cx + jitter(rng), cy + jitter(rng), cz + jitter(rng)});
                centreOf.push_back(c);
            }
        }
        // Shuffle rows together with their centre labels.
        const dgInt32 count = static_cast<dgInt32>(centreOf.size());
        for (dgInt32 i = count - 1; i > 0; i--) {
            const dgInt32 j = std::uniform_int_distribution<dgInt32>(0, i)(rng);
            std::swap(centreOf[i], centreOf[j]);
            for (dgInt32 k = 0; k < 3; k++) {
                std::swap(xyz[i * 3 + k], xyz[j * 3 + k]);
            }
        }
        const std::vector<dgFloat32> input = xyz;
        dgInt32 unique;
        const std::vector<dgInt32> map = Weld(xyz, 0.001f, unique);
        ASSERT_EQ(unique, centreCount) << "seed " << seed;
        std::vector<dgInt32> vertexOfCentre(centreCount, -1);
        for (dgInt32 i = 0; i < count; i++) {
            ASSERT_GE(map[i], 0);
            ASSERT_LT(map[i], unique);
            dgInt32& expected = vertexOfCentre[centreOf[i]];
            if (expected < 0) {
                expected = map[i];
            }
            EXPECT_EQ(map[i], expected);
            for (dgInt32 k = 0; k < 3; k++) {
                EXPECT_NEAR(xyz[map[i] * 3 + k], input[i * 3 + k], 0.001f);
            }
        }
    }
}

// Beyond 98304 rows the weld once split the rows around the mean of the widest axis and never
// merged across it. Here x is the widest axis, the layout is symmetric about x = 0, and the pairs of
// the middle column straddle that mean.
TEST(dgWeldVertexList, VeryLargeArraysStillWeldAcrossTheMean) {
    const dgInt32 side = 201;
    std::vector<dgFloat32> xyz;
    for (dgInt32 j = 0; j < side; j++) {
        const dgFloat32 c = static_cast<dgFloat32>(j - side / 2) * 0.01f;
        const dgFloat32 far = static_cast<dgFloat32>(j + 1000);
        for (dgInt32 k = 0; k < side; k++) {
            const dgFloat32 y = static_cast<dgFloat32>(k);
            xyz.insert(xyz.end(), {c - 0.0002f, y, 0.0f, c + 0.0002f, y, 0.0f, -far, y, 0.0f, far, y, 0.0f});
        }
    }
    ASSERT_GT(xyz.size() / 3, 98304u);
    dgInt32 unique;
    const std::vector<dgInt32> map = Weld(xyz, 0.001f, unique);
    EXPECT_EQ(unique, 3 * side * side);
    for (dgInt32 i = 0; i < side * side; i++) {
        ASSERT_EQ(map[4 * i], map[4 * i + 1]);
        ASSERT_NE(map[4 * i + 2], map[4 * i + 3]);
    }
}
