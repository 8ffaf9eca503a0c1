// Creators of the flat interface when the memory hook refuses one request: every single refusal, one at
// a time, gives null (or the default group) and leaves nothing behind.

#include "ApiTestScene.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

namespace {

/// Runs create with the 1st, 2nd, ... request refused until it runs with no refusal; every refused run
/// must answer failed. Returns how many runs were refused. With refuse false, runs create once.
template <class Result>
int RefuseEachRequestInTurn(const std::function<Result()>& create, Result failed,
                            const std::function<void(Result)>& keep, bool refuse = true) {
    for (int n = refuse ? 1 : 0;; n++) {
        CountingHooks::FailAt(n);
        const Result result = create();
        if (!CountingHooks::s_refused) {
            CountingHooks::FailAt(0);
            keep(result);
            return n - 1;
        }
        EXPECT_EQ(result, failed) << "request " << n;
    }
}

/// Makes the engine's process-wide pools and tables, which live until unload, before anything counts.
void WarmUp() {
    FloorWorld scene;
    scene.AddBox(1.0f);
    scene.Step(2);
}

void AddUnitCubeFaces(dgCollision* tree) {
    const float faces[2][4][3] = {{{-1, 0, -1}, {-1, 0, 1}, {1, 0, 1}, {1, 0, -1}},
                                  {{-1, 0, 1}, {-1, 2, 1}, {1, 2, 1}, {1, 0, 1}}};
    for (const auto& face : faces) {
        dgApiTreeCollisionAddFace(tree, 4, &face[0][0], 12, 7);
    }
}

void Append(void* userData, const void* buffer, int byteCount) {
    auto* bytes = static_cast<std::vector<unsigned char>*>(userData);
    const auto* data = static_cast<const unsigned char*>(buffer);
    bytes->insert(bytes->end(), data, data + byteCount);
}

struct Reader {
    const std::vector<unsigned char>* bytes;
    std::size_t at;
};

int Read(void* userData, void* buffer, int byteCount) {
    auto* reader = static_cast<Reader*>(userData);
    if (reader->at + static_cast<std::size_t>(byteCount) > reader->bytes->size()) {
        return 0;
    }
    std::memcpy(buffer, reader->bytes->data() + reader->at, static_cast<std::size_t>(byteCount));
    reader->at += static_cast<std::size_t>(byteCount);
    return 1;
}

} // namespace

TEST(dgApiMemoryFailure, EveryRefusedRequestOfWorldCreationGivesNullAndLeavesNothing) {
    WarmUp();
    CountingHooks::s_live.clear();
    const int refused = RefuseEachRequestInTurn<dgWorld*>(
        [] {
            dgWorld* world = dgApiWorldCreate(CountingHooks::Allocate, CountingHooks::Release);
            EXPECT_TRUE(world != nullptr || CountingHooks::s_live.empty());
            return world;
        },
        nullptr, [](dgWorld* world) { dgApiWorldDestroy(world); });
    EXPECT_GT(refused, 5);
    EXPECT_TRUE(CountingHooks::s_live.empty());
    CountingHooks::RestoreDefaults();
}

namespace {

/// Shapes of every kind, 70 bodies (enough for the body pool and the trees to need new pages) and 40
/// groups, each creation with every request refused in turn when refuse is set; then the bodies fall for
/// 30 steps. Returns the number of refused runs.
int BuildAndStepEverything(dgMallocCallback allocate, dgFreeCallback release, bool refuse) {
    int refused = 0;
    {
        FloorWorld scene(allocate, release);
        dgWorld* world = scene.m_world;
        std::vector<dgCollision*> shapes;
        const auto keepShape = [&](dgCollision* shape) {
            ASSERT_NE(shape, nullptr);
            shapes.push_back(shape);
        };
        const float hull[7][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0},         {0, 0, 1},
                                  {1, 1, 0}, {1, 0, 1}, {0.3f, 0.9f, 0.8f}};
        const std::vector<std::function<dgCollision*()>> creators = {
            [&] { return dgApiCollisionCreateBox(world, 1.0f, 2.0f, 3.0f, nullptr); },
            [&] { return dgApiCollisionCreateSphere(world, 0.5f, 0.5f, 0.5f, nullptr); },
            [&] { return dgApiCollisionCreateCapsule(world, 0.5f, 2.0f, nullptr); },
            [&] { return dgApiCollisionCreateConvexHull(world, 7, &hull[0][0], 12, nullptr); },
            [&] { return dgApiCollisionCreateConvexModifier(world, shapes[0]); },
            [&] { return dgApiCollisionCreateCompound(world, 2, shapes.data()); },
            [&] { return dgApiTreeCollisionCreate(world, nullptr); },
        };
        for (const auto& create : creators) {
            refused += RefuseEachRequestInTurn<dgCollision*>(create, nullptr, keepShape, refuse);
        }
        dgCollision* tree = shapes.back();
        dgApiTreeCollisionBeginBuild(tree);
        AddUnitCubeFaces(tree);
        dgApiTreeCollisionEndBuild(tree, 1);
        std::vector<unsigned char> stream;
        dgApiTreeCollisionSerialize(tree, Append, &stream);
        refused += RefuseEachRequestInTurn<dgCollision*>(
            [&] {
                Reader reader{&stream, 0};
                return dgApiTreeCollisionCreateFromSerialization(world, nullptr, Read, &reader);
            },
            nullptr, keepShape, refuse);

        // Enough bodies that the body pool and the trees need new pages on the way.
        std::vector<dgBody*> bodies;
        for (int i = 0; i < 70; i++) {
            dgCollision* shape = shapes[static_cast<std::size_t>(i) % 4];
            refused +=
                RefuseEachRequestInTurn<dgBody*>([&] { return dgApiBodyCreate(world, shape); }, nullptr,
                                                 [&](dgBody* body) {
                                                     ASSERT_NE(body, nullptr);
                                                     bodies.push_back(body);
                                                 },
                                                 refuse);
        }
        static int s_count;
        s_count = 0;
        dgApiWorldForEachBodyDo(world, [](dgBody*) { s_count++; });
        EXPECT_EQ(s_count, 71);
        int lastGroup = 0;
        for (int i = 0; i < 40; i++) {
            refused += RefuseEachRequestInTurn<int>([&] { return dgApiMaterialCreateGroupId(world); }, 0,
                                                    [&](int id) { EXPECT_EQ(id, ++lastGroup); }, refuse);
        }

        for (std::size_t i = 0; i < bodies.size(); i++) {
            dgApiBodySetMassMatrix(bodies[i], 1.0f, 0.2f, 0.2f, 0.2f);
            const Mat4 place = Translation(static_cast<float>(i % 7) * 3.0f - 9.0f,
                                           2.0f + static_cast<float>(i / 7) * 3.0f, 0.0f);
            dgApiBodySetMatrix(bodies[i], place.data());
            dgApiBodySetForceAndTorqueCallback(bodies[i], ApplyGravity);
        }
        scene.Step(30);
        for (dgCollision* shape : shapes) {
            dgApiCollisionRelease(world, shape);
        }
    }
    return refused;
}

} // namespace

TEST(dgApiMemoryFailure, RefusedBodiesShapesAndGroupsLeaveAWorldThatStepsAndFreesEverything) {
    BuildAndStepEverything(nullptr, nullptr, false);
    CountingHooks::s_live.clear();
    EXPECT_GT(BuildAndStepEverything(CountingHooks::Allocate, CountingHooks::Release, true), 20);
    EXPECT_TRUE(CountingHooks::s_live.empty());
    CountingHooks::RestoreDefaults();
}
