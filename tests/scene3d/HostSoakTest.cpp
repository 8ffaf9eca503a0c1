// A host's main loop run for long: what the library and the platform keep must not grow with the frames.
#include "host/LevelMeshes.h"
#include "support/SceneFrameFixture.h"
#include "support/SceneScenes.h"

#include "IOrvalen3DLevelObject.h"

#include <cstddef>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define ORVALEN_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVALEN_SANITIZED_HEAP 1
#endif
#endif

#if defined(ORVALEN_SANITIZED_HEAP)
// The sanitizer runtime's own count (<sanitizer/allocator_interface.h>, which g++ does not ship).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace {

constexpr int kFrames = 1000;
constexpr int kSettledFrame = 500; ///< past the drawing library's one-off allocations
constexpr long long kFlatBytes = 64 * 1024;

/// Bytes of heap in use: the sanitizer's allocator stands in for the C library's, whose count then stays still.
long long HeapInUse() {
#if defined(ORVALEN_SANITIZED_HEAP)
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#else
    // Blocks past the mmap threshold are mapped on their own and counted apart from the arena's.
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
#endif
}

class HostSoak : public SceneFrameFixture {};

} // namespace

TEST_F(HostSoak, AThousandShadowedFramesOverALevelKeepTheHeapFlat) {
    platform::RecordCalls(false); // as a host runs
    LevelMesh mesh;
    mesh.AddCheckerFloor(4, 2.0f, "grass", "stone");
    mesh.AddWall(-4, 4, 4, 2, "stone");
    IOrvalen3DLevelObject* level = mesh.Build(*m_scene);
    ASSERT_NE(nullptr, level);
    ASSERT_TRUE(m_handle->SetCamera(0, 8, -10, 0, 0, 0, 0, 1, 0));
    ASSERT_TRUE(m_scene->CreateLight(0, 0));
    m_scene->SetDirection(1, -1, 0.5f, 0);
    ASSERT_TRUE(m_scene->SetLight(0));
    IOrvalen3DD3DObject* cubes[] = {scene_scenes::DroppedCube(*m_scene, -1, 2, 0),
                                    scene_scenes::DroppedCube(*m_scene, 1, 3, 0, 0.3f)};
    long long settled = 0;
    for (int frame = 1; frame <= kFrames; ++frame) {
        m_scene->Update(scene_scenes::kStep);
        for (IOrvalen3DD3DObject* cube : cubes) {
            cube->BuildShadowVolume(1, -1, 0.5f);
            cube->DrawFlag = 1;
            cube->ShadowFlag = 1;
        }
        Frame([&] {
            level->Render();
            m_scene->Render();
        });
        ASSERT_TRUE(m_handle->ShowScene());
        if (frame == kSettledFrame) {
            settled = HeapInUse();
        }
    }
    EXPECT_LE(std::llabs(HeapInUse() - settled), kFlatBytes)
        << "heap in use went from " << settled << " to " << HeapInUse() << " bytes";
    m_scene->DestroyLevel(level);
}
