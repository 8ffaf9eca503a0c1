// Callbacks that destroy bodies: destructors that destroy every body, box queries and ray casts whose
// callbacks destroy or move what they are handed.

#include "ApiTestScene.h"

#include <gtest/gtest.h>

#include <map>

namespace {

std::map<const dgBody*, int> g_destructions;

void CountDestruction(dgBody* body) {
    g_destructions[body]++;
}

void DestroyEverything(dgBody* body) {
    CountDestruction(body);
    dgApiWorldDestroyAllBodies(dgApiBodyGetWorld(body));
}

void DestroyGiven(dgBody* body) {
    dgApiBodyDestroy(dgApiBodyGetWorld(body), body);
}

void DestroyAllFromQuery(dgBody* body) {
    dgApiWorldDestroyAllBodies(dgApiBodyGetWorld(body));
}

void MoveFarAway(dgBody* body) {
    const Mat4 place = Translation(50.0f, 50.0f, 50.0f);
    dgApiBodySetMatrix(body, place.data());
}

float DestroyHitAndGoOn(dgBody* body, const float*, int, void*, float) {
    DestroyGiven(body);
    return 1.0f;
}

float DestroyAllAndGoOn(dgBody* body, const float*, int, void*, float) {
    DestroyAllFromQuery(body);
    return 1.0f;
}

/// A floor and a row of ten unit boxes at x = 0, 2, ... 18 and height 3, each counting its destruction.
struct RowOfBoxes {
    FloorWorld scene;
    dgBody* boxes[10];

    RowOfBoxes() {
        g_destructions.clear();
        dgApiBodySetDestructorCallback(scene.m_floor, CountDestruction);
        for (int i = 0; i < 10; i++) {
            boxes[i] = scene.AddBox(3.0f);
            const Mat4 place = Translation(2.0f * static_cast<float>(i), 3.0f, 0.0f);
            dgApiBodySetMatrix(boxes[i], place.data());
            dgApiBodySetDestructorCallback(boxes[i], CountDestruction);
        }
    }

    int BodyCount() const {
        static int s_count;
        s_count = 0;
        dgApiWorldForEachBodyDo(scene.m_world, [](dgBody*) { s_count++; });
        return s_count;
    }

    void ExpectEachDestroyedOnce() const {
        EXPECT_EQ(g_destructions.size(), 11u);
        for (const auto& [body, count] : g_destructions) {
            EXPECT_EQ(count, 1);
        }
    }
};

} // namespace

TEST(dgApiCallbackDestruction, DestroyingEveryBodyFromADestructorDestroysEachOnceOnBothRoads) {
    {
        RowOfBoxes row;
        dgApiBodySetDestructorCallback(row.boxes[4], DestroyEverything);
        dgApiBodyDestroy(row.scene.m_world, row.boxes[4]);
        EXPECT_EQ(row.BodyCount(), 0);
        row.ExpectEachDestroyedOnce();
        // The world goes on.
        row.scene.m_floor = nullptr;
        dgBody* box = row.scene.AddBox(1.0f);
        row.scene.Step(5);
        EXPECT_LT(BodyPosition(box)[1], 1.0f);
    }
    RowOfBoxes row;
    dgApiBodySetDestructorCallback(row.boxes[7], DestroyEverything);
    dgApiWorldDestroy(row.scene.m_world);
    row.scene.m_world = nullptr;
    row.ExpectEachDestroyedOnce();
}

TEST(dgApiCallbackDestruction, BoxQueryCallbacksMayDestroyOrMoveTheBodiesTheyAreHanded) {
    const Vec3 lo = {-1.0f, 2.0f, -1.0f};
    const Vec3 hi = {19.0f, 4.0f, 1.0f};
    {
        RowOfBoxes row;
        dgApiWorldForEachBodyInAABBDo(row.scene.m_world, lo.data(), hi.data(), DestroyGiven);
        EXPECT_EQ(row.BodyCount(), 1); // the floor, below the box
        EXPECT_EQ(g_destructions.size(), 10u);
    }
    {
        RowOfBoxes row;
        dgApiWorldForEachBodyInAABBDo(row.scene.m_world, lo.data(), hi.data(), DestroyAllFromQuery);
        EXPECT_EQ(row.BodyCount(), 0);
        row.ExpectEachDestroyedOnce();
    }
    RowOfBoxes row;
    dgApiWorldForEachBodyInAABBDo(row.scene.m_world, lo.data(), hi.data(), MoveFarAway);
    for (dgBody* box : row.boxes) {
        EXPECT_EQ(BodyPosition(box)[0], 50.0f);
    }
}

TEST(dgApiCallbackDestruction, RayFiltersMayDestroyTheBodyHitOrEveryBody) {
    const Vec3 p0 = {-2.0f, 3.0f, 0.0f};
    const Vec3 p1 = {20.0f, 3.0f, 0.0f};
    {
        RowOfBoxes row;
        dgApiWorldRayCast(row.scene.m_world, p0.data(), p1.data(), DestroyHitAndGoOn, nullptr, nullptr);
        EXPECT_EQ(row.BodyCount(), 1);
        EXPECT_EQ(g_destructions.size(), 10u);
    }
    RowOfBoxes row;
    dgApiWorldRayCast(row.scene.m_world, p0.data(), p1.data(), DestroyAllAndGoOn, nullptr, nullptr);
    EXPECT_EQ(row.BodyCount(), 0);
    row.ExpectEachDestroyedOnce();
}
