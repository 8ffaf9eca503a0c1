// Key-frame animation: whole frame steps at the object's speed, the loop and clamp rules, range
// selection, the blend of two key frames into the drawn vertices, and inputs that must not hang.
#include "support/SceneFixture.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr float kBlendTolerance = 1e-6f;

class ObjectAnimation : public SceneFixture {
protected:
    /// A bodiless quad around the origin with `frames` key frames, frame k the quad scaled by k + 1, so
    /// that vertex 0 (at x = 1) reads x = k + 1 in frame k.
    IOrvalen3DD3DObject& Quad(int frames) {
        const std::vector<Vertex3D> base = {{1, 1, 0, 0, 0, -1, 0xFFFFFFFFu, 0, 0, 0, 0},
                                            {-1, 1, 0, 0, 0, -1, 0xFFFFFFFFu, 1, 0, 0, 0},
                                            {-1, -1, 0, 0, 0, -1, 0xFFFFFFFFu, 1, 1, 0, 0},
                                            {1, -1, 0, 0, 0, -1, 0xFFFFFFFFu, 0, 1, 0, 0}};
        IOrvalen3DObject* quad = m_scene->BeginObjectBuild(4, base.data());
        const std::uint32_t indices[6] = {0, 1, 2, 0, 2, 3};
        m_scene->AddObjectParts(quad, "default", 2, indices);
        m_scene->EndObjectBuild(quad, true);
        m_frames.assign(static_cast<std::size_t>(frames), base);
        std::vector<Vertex3D*> pointers;
        for (int k = 0; k < frames; ++k) {
            for (Vertex3D& vertex : m_frames[static_cast<std::size_t>(k)]) {
                vertex.x *= static_cast<float>(k + 1);
                vertex.y *= static_cast<float>(k + 1);
            }
            pointers.push_back(m_frames[static_cast<std::size_t>(k)].data());
        }
        EXPECT_TRUE(quad->CreateAnimation(frames, pointers.data()));
        return Implementation(quad);
    }

    std::vector<std::vector<Vertex3D>> m_frames;
};

} // namespace

TEST_F(ObjectAnimation, SpeedTenForAQuarterSecondStepsTwoFramesAndBlendsHalfway) {
    IOrvalen3DD3DObject& quad = Quad(6);
    ASSERT_TRUE(quad.AddAnimation(0, 5, "all"));
    // The current frame is the range's start: the next one is start + 1.
    ASSERT_TRUE(quad.SetAnimation("all"));
    EXPECT_EQ(1, quad.NextFrame);
    quad.SetAnimationSpeed(10);
    EXPECT_TRUE(quad.UpdateAnimation(0.25f));
    EXPECT_EQ(1, quad.CurrentFrame);
    EXPECT_EQ(3, quad.NextFrame);
    EXPECT_NEAR(0.05f, quad.GetAnimationTime(), 1e-6f);
    // Frames 1 and 3 put vertex 0 at x = 2 and 4; t = 0.5.
    EXPECT_NEAR(3.0f, quad.Vertices[0].x, 1e-5f);
    // Exactly one step's time does not advance: the blend reaches frame 3 and stops there.
    quad.SetAnimationTime(0.1f);
    EXPECT_EQ(1, quad.CurrentFrame);
    EXPECT_NEAR(4.0f, quad.Vertices[0].x, 1e-5f);
}

TEST_F(ObjectAnimation, ALoopingRangeWrapsAndOneThatDoesNotStopsAtItsEnd) {
    IOrvalen3DD3DObject& quad = Quad(6);
    ASSERT_TRUE(quad.AddAnimation(0, 3, "walk"));
    ASSERT_TRUE(quad.SetAnimation("walk"));
    quad.SetLooping(true);
    struct Case {
        int next;
        float time;
        int wrapped;
    };
    // From next frame 2 three steps reach 5, from 1 three reach 4 and two reach exactly the end, 3.
    for (const Case& c : {Case{2, 3.5f, 1}, Case{1, 3.5f, 0}, Case{1, 2.5f, 3}}) {
        quad.NextFrame = c.next;
        quad.SetAnimationTime(c.time);
        EXPECT_EQ(c.next, quad.CurrentFrame);
        EXPECT_EQ(c.wrapped, quad.NextFrame) << c.next << " + " << c.time;
    }
    quad.SetLooping(false);
    quad.NextFrame = 1;
    EXPECT_FALSE(quad.IsAnimationFinished());
    quad.SetAnimationTime(10.5f);
    EXPECT_EQ(3, quad.CurrentFrame);
    EXPECT_EQ(3, quad.NextFrame);
    EXPECT_TRUE(quad.IsAnimationFinished());
}

TEST_F(ObjectAnimation, SelectingKeepsTheCurrentFrameAndRewindingKeepsTheNext) {
    IOrvalen3DD3DObject& quad = Quad(6);
    ASSERT_TRUE(quad.AddAnimation(2, 5, "high"));
    ASSERT_TRUE(quad.StartAnimation("high"));
    EXPECT_EQ(0, quad.CurrentFrame);
    EXPECT_EQ(2, quad.NextFrame);
    EXPECT_TRUE(quad.Playing);
    EXPECT_FALSE(quad.SetAnimation("low"));
    quad.RewindAnimation();
    EXPECT_EQ(2, quad.CurrentFrame);
    EXPECT_EQ(2, quad.NextFrame);
    EXPECT_FALSE(quad.Playing);
}

TEST_F(ObjectAnimation, TheScenesUpdateMorphsAPlayingObjectOnceARangeIsSelected) {
    IOrvalen3DD3DObject& quad = Quad(2);
    ASSERT_TRUE(quad.AddAnimation(0, 1, "grow"));
    // No range selected: both frames are 0 and nothing moves.
    quad.PlayAnimation();
    ASSERT_TRUE(m_scene->Update(0.5f));
    EXPECT_EQ(1.0f, quad.Vertices[0].x);
    ASSERT_TRUE(quad.StartAnimation("grow"));
    ASSERT_TRUE(m_scene->Update(0.5f));
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(1.5f * m_frames[0][static_cast<std::size_t>(i)].x, quad.Vertices[i].x, kBlendTolerance);
        EXPECT_NEAR(1.5f * m_frames[0][static_cast<std::size_t>(i)].y, quad.Vertices[i].y, kBlendTolerance);
        // Texture coordinates come from the frame it blends towards.
        EXPECT_EQ(m_frames[1][static_cast<std::size_t>(i)].u0, quad.Vertices[i].u0);
    }
}

TEST_F(ObjectAnimation, BadRangesAreRefusedAndNoSpeedOrTimeHangsAnUpdate) {
    IOrvalen3DD3DObject& quad = Quad(4);
    Vertex3D* none = nullptr;
    EXPECT_FALSE(quad.CreateAnimation(0, &none));
    EXPECT_FALSE(quad.CreateAnimation(1, nullptr));
    const std::string longName(256, 'r');
    EXPECT_FALSE(quad.AddAnimation(2, 1, "backwards"));
    EXPECT_FALSE(quad.AddAnimation(0, 4, "past the frames"));
    EXPECT_FALSE(quad.AddAnimation(0, 1, nullptr));
    EXPECT_FALSE(quad.AddAnimation(0, 1, longName.c_str()));
    for (int range = 0; range < IOrvalen3DD3DObject::kMaxAnimations; ++range) {
        ASSERT_TRUE(quad.AddAnimation(0, 3, std::to_string(range).c_str()));
    }
    EXPECT_FALSE(quad.AddAnimation(0, 3, "one too many"));
    ASSERT_TRUE(quad.SetAnimation("0"));
    // A loop subtracting one step at a time would never end on any of these (until ctest's time limit).
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float speed : {-1.0f, 0.0f, nan, 1.0f}) {
        quad.SetAnimationSpeed(speed);
        quad.SetAnimationTime(1e30f);
        EXPECT_TRUE(std::isfinite(quad.Vertices[0].x)) << speed;
    }
    IOrvalen3DObject* still = m_scene->BeginObjectBuild(0, nullptr);
    ASSERT_TRUE(m_scene->EndObjectBuild(still, true));
    still->PlayAnimation();
    EXPECT_TRUE(still->UpdateAnimation(1.0f));
    EXPECT_TRUE(m_scene->Update(1.0f));
}
