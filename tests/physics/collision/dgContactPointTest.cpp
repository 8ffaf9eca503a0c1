#include "physics/collision/dgContactPoint.h"

#include "CollisionTestShapes.h"
#include "support/RandomGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

std::vector<dgContactPoint> Records(const std::vector<dgVector>& points) {
    std::vector<dgContactPoint> records(points.size());
    for (std::size_t i = 0; i < points.size(); i++) {
        records[i].m_point = points[i];
        records[i].m_penetration = static_cast<dgFloat32>(i); // identifies the record after compaction
    }
    return records;
}

dgFloat32 SmallestGap2(const std::vector<dgContactPoint>& records, dgInt32 count) {
    dgFloat32 best = std::numeric_limits<dgFloat32>::max();
    for (dgInt32 i = 0; i < count; i++) {
        for (dgInt32 j = i + 1; j < count; j++) {
            best = std::fmin(best, Distance2(records[i].m_point, records[j].m_point));
        }
    }
    return best;
}

bool KeepsOrder(const std::vector<dgContactPoint>& records, dgInt32 count) {
    for (dgInt32 i = 1; i < count; i++) {
        if (!(records[i - 1].m_penetration < records[i].m_penetration)) {
            return false;
        }
    }
    return true;
}

std::vector<dgVector> Scatter(unsigned seed, dgInt32 count, dgFloat32 range) {
    RandomGeometry random(seed);
    std::vector<dgVector> points;
    for (dgInt32 i = 0; i < count; i++) {
        points.push_back(random.Point(-range, range));
    }
    return points;
}

} // namespace

TEST(dgContactPoint, RecordKeepsItsLayoutWithFourPointers) {
    EXPECT_EQ(sizeof(dgContactPoint), 112u);
    EXPECT_EQ(offsetof(dgContactPoint, m_body0), 64u);
    EXPECT_EQ(offsetof(dgContactPoint, m_attribute), 96u);
    EXPECT_EQ(offsetof(dgContactPoint, m_penetration), 104u);
}

TEST(ReduceContacts, MergesPointsCloserThanFiveThousandthsOnBothRoads) {
    // Few records: the pairwise road.
    std::vector<dgContactPoint> few = Records({P(0, 0, 0), P(0.004f, 0, 0), P(1, 0, 0), P(1.006f, 0, 0)});
    EXPECT_EQ(ReduceContacts(4, few.data(), 16), 3);
    // Many records: the sweep road; spread pairs 0.004 and 0.006 apart far from each other.
    std::vector<dgVector> points;
    for (dgInt32 i = 0; i < 6; i++) {
        points.push_back(P(static_cast<dgFloat32>(i), 0, 0));
        points.push_back(P(static_cast<dgFloat32>(i), i % 2 == 0 ? 0.004f : 0.006f, 0));
    }
    std::vector<dgContactPoint> many = Records(points);
    EXPECT_EQ(ReduceContacts(12, many.data(), 16), 9); // the three 0.004 pairs merge, the 0.006 ones stay
    EXPECT_TRUE(KeepsOrder(many, 9));
}

TEST(ReduceContacts, SmallArraysAreNeverPrunedAndCountsBelowTwoPassThrough) {
    std::vector<dgContactPoint> records = Records(Scatter(1, 8, 10.0f));
    EXPECT_EQ(ReduceContacts(8, records.data(), 2), 8);
    EXPECT_EQ(ReduceContacts(1, records.data(), 16), 1);
    EXPECT_EQ(ReduceContacts(0, records.data(), 16), 0);
}

TEST(ReduceContacts, FortyRecordsComeDownToSixteenSpreadApart) {
    for (unsigned seed = 0; seed < 20; seed++) {
        // A tight cluster forces both the prune and the duplicate sweep to work.
        std::vector<dgContactPoint> records = Records(Scatter(seed, 40, seed % 2 == 0 ? 0.02f : 1.0f));
        const dgInt32 count = ReduceContacts(40, records.data(), 16);
        EXPECT_LE(count, 16);
        EXPECT_GE(count, 1);
        EXPECT_GE(SmallestGap2(records, count), 2.5e-5f);
        EXPECT_TRUE(KeepsOrder(records, count));
    }
}

TEST(PruneContacts, EndsWithExactlyTheWantedCountEvenWhenPointsAreFarApart) {
    std::vector<dgContactPoint> records = Records(Scatter(7, 50, 100.0f));
    EXPECT_EQ(PruneContacts(50, records.data(), 10, 0.01f), 10);
    EXPECT_TRUE(KeepsOrder(records, 10));
}

TEST(PruneContacts, AskingForNoRecordsReturnsZero) {
    std::vector<dgContactPoint> records = Records(Scatter(3, 10, 1.0f));
    EXPECT_EQ(PruneContacts(10, records.data(), 0, 0.01f), 0);
    EXPECT_EQ(PruneContacts(10, records.data(), -3, 0.01f), 0);
}

TEST(PruneContacts, CoordinatesThatAreNotNumbersStillEndWithTheWantedCount) {
    const dgFloat32 nan = std::numeric_limits<dgFloat32>::quiet_NaN();
    std::vector<dgContactPoint> records =
        Records({P(nan, 0, 0), P(nan, 1, 0), P(0, nan, 0), P(nan, nan, nan)});
    EXPECT_EQ(PruneContacts(4, records.data(), 2, 0.01f), 2);
    EXPECT_EQ(ReduceContacts(4, records.data(), 16), 4);
}

TEST(PruneContacts, MoreThanTwoHundredFiftySixRecordsAreServed) {
    std::vector<dgContactPoint> records = Records(Scatter(11, 600, 5.0f));
    EXPECT_EQ(PruneContacts(600, records.data(), 16, 0.01f), 16);
    EXPECT_TRUE(KeepsOrder(records, 16));
    std::vector<dgContactPoint> again = Records(Scatter(12, 600, 5.0f));
    const dgInt32 count = ReduceContacts(600, again.data(), 16);
    EXPECT_LE(count, 16);
    EXPECT_GE(SmallestGap2(again, count), 2.5e-5f);
}
