// Callbacks that destroy bodies: destructors that destroy every body, and box queries and ray casts whose
// callbacks destroy or move what they are handed.

#include "ApiTestScene.h"
#include "support/SolverBuilds.h"

#include <gtest/gtest.h>

#include <map>

namespace {

std::map<const dgBody*, int> g_destructions;

void CountDestruction(dgBody* body) {
    g_destructions[body]++;
}

void DestroyGiven(dgBody* body) {
    dgApiBodyDestroy(dgApiBodyGetWorld(body), body);
}

void DestroyAll(dgBody* body) {
    dgApiWorldDestroyAllBodies(dgApiBodyGetWorld(body));
}

void CountAndDestroyAll(dgBody* body) {
    CountDestruction(body);
    DestroyAll(body);
}

void MoveFarAway(dgBody* body) {
    const Mat4 place = Translation(50.0f, 50.0f, 50.0f);
    dgApiBodySetMatrix(body, place.data());
}

template <dgBodyIteratorCallback kAction> float FilterThen(dgBody* body, const float*, int, void*, float) {
    kAction(body);
    return 1.0f;
}

/// A floor and ten unit boxes at x = 0, 2, ... 18 and height 3, each counting its destruction.
struct RowOfBoxes : FloorWorld {
    dgBody* boxes[10];

    RowOfBoxes() {
        g_destructions.clear();
        dgApiBodySetDestructorCallback(m_floor, CountDestruction);
        for (int i = 0; i < 10; i++) {
            boxes[i] = AddBox(3.0f);
            const Mat4 place = Translation(2.0f * static_cast<float>(i), 3.0f, 0.0f);
            dgApiBodySetMatrix(boxes[i], place.data());
            dgApiBodySetDestructorCallback(boxes[i], CountDestruction);
        }
    }

    /// Bodies left, and that every destroyed one was destroyed once.
    int BodiesLeft() const {
        for (const auto& [body, count] : g_destructions) {
            EXPECT_EQ(count, 1);
        }
        static int s_count;
        s_count = 0;
        dgApiWorldForEachBodyDo(m_world, [](dgBody*) { s_count++; });
        return s_count;
    }
};

const Vec3 kBoxesMin = {-1.0f, 2.0f, -1.0f}; // around the boxes, above the floor
const Vec3 kBoxesMax = {19.0f, 4.0f, 1.0f};
const Vec3 kRayStart = {-2.0f, 3.0f, 0.0f}; // through every box
const Vec3 kRayEnd = {20.0f, 3.0f, 0.0f};

} // namespace

BOTH_BUILDS_SUITE(dgApiCallbackDestructionStepping);

TEST_P(dgApiCallbackDestructionStepping, DestroyingEveryBodyFromADestructorDestroysEachOnceOnBothRoads) {
    {
        RowOfBoxes row;
        dgApiBodySetDestructorCallback(row.boxes[4], CountAndDestroyAll);
        dgApiBodyDestroy(row.m_world, row.boxes[4]);
        EXPECT_EQ(row.BodiesLeft(), 0);
        EXPECT_EQ(g_destructions.size(), 11u);
        dgBody* box = row.AddBox(1.0f); // the world goes on
        row.Step(5);
        EXPECT_LT(BodyPosition(box)[1], 1.0f);
    }
    RowOfBoxes row;
    dgApiBodySetDestructorCallback(row.boxes[7], CountAndDestroyAll);
    dgApiWorldDestroy(row.m_world);
    row.m_world = nullptr;
    EXPECT_EQ(g_destructions.size(), 11u);
}

TEST(dgApiCallbackDestruction, QueryCallbacksMayDestroyOrMoveTheBodiesTheyAreHanded) {
    const auto boxQuery = [](RowOfBoxes& row, dgBodyIteratorCallback callback) {
        dgApiWorldForEachBodyInAABBDo(row.m_world, kBoxesMin.data(), kBoxesMax.data(), callback);
    };
    const auto rayCast = [](RowOfBoxes& row, dgWorldRayFilterCallback filter) {
        dgApiWorldRayCast(row.m_world, kRayStart.data(), kRayEnd.data(), filter, nullptr, nullptr);
    };
    for (const bool ray : {false, true}) {
        // Each box destroys itself: the floor is left. One destroys everything: nothing is.
        const dgBodyIteratorCallback actions[2] = {DestroyGiven, DestroyAll};
        for (int left = 1; left >= 0; left--) {
            RowOfBoxes row;
            if (ray) {
                rayCast(row, left == 1 ? FilterThen<DestroyGiven> : FilterThen<DestroyAll>);
            } else {
                boxQuery(row, actions[1 - left]);
            }
            EXPECT_EQ(row.BodiesLeft(), left) << ray;
        }
    }
    RowOfBoxes row;
    boxQuery(row, MoveFarAway);
    rayCast(row, FilterThen<MoveFarAway>);
    for (dgBody* box : row.boxes) {
        EXPECT_EQ(BodyPosition(box)[0], 50.0f);
    }
}
