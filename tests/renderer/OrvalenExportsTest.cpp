#include "support/AllocationFailure.h"
#include "support/RendererFixture.h"

#include <dlfcn.h>

#include <array>
#include <cstring>
#include <cstdio>
#include <memory>
#include <set>

TEST(OrvalenExports, CreateRefusesAnOccupiedOrMissingHandle) {
    IOrvalenRenderer* renderer = nullptr;
    ASSERT_EQ(1, CreateOrvalenRenderer(0, &renderer));
    IOrvalenRenderer* const first = renderer;
    EXPECT_EQ(-1, CreateOrvalenRenderer(0, &renderer));
    EXPECT_EQ(first, renderer);
    EXPECT_EQ(-1, CreateOrvalenRenderer(0, nullptr));

    EXPECT_EQ(1, DestroyOrvalenRenderer(&renderer));
    EXPECT_EQ(nullptr, renderer);
    EXPECT_EQ(-1, DestroyOrvalenRenderer(&renderer));
    EXPECT_EQ(-1, DestroyOrvalenRenderer(nullptr));
}

TEST(OrvalenExports, CreateWithoutMemoryFailsAndLeavesTheHandleEmpty) {
    IOrvalenRenderer* renderer = nullptr;
    FailNextNothrowAllocation();
    EXPECT_EQ(-1, CreateOrvalenRenderer(0, &renderer));
    EXPECT_EQ(nullptr, renderer);
}

TEST(OrvalenExports, NewRendererHoldsTheConstructionValues) {
    IOrvalenRenderer* renderer = nullptr;
    ASSERT_EQ(1, CreateOrvalenRenderer(42, &renderer));
    const auto& record = *static_cast<IOrvalenD3D*>(renderer);
    EXPECT_EQ(42u, record.HostContext);
    EXPECT_EQ(nullptr, record.LogFile);
    EXPECT_EQ(nullptr, record.Device);
    EXPECT_EQ(-1, record.CurrentEffect);
    EXPECT_EQ(0, renderer->GetViewportCount());
    EXPECT_EQ(2, renderer->GetCullMode());
    EXPECT_EQ(1, renderer->GetShadeMode());
    EXPECT_TRUE(renderer->GetZBuffer());
    EXPECT_TRUE(renderer->GetLighting());
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_EQ(identity, renderer->GetProjectionMatrix());
    EXPECT_EQ(identity, renderer->GetViewMatrix());
    for (const auto& rect : record.ViewportRects) {
        EXPECT_EQ(0, rect.left | rect.top | rect.right | rect.bottom);
    }
    EXPECT_TRUE(renderer->CheckDevice()); // nothing to recover without a device
    DestroyOrvalenRenderer(&renderer);
}

namespace {

// Slot of a virtual operation in the virtual table: the Itanium ABI keeps 1 + its byte offset in a
// member-function pointer, and the destructor takes two entries.
template <typename Method> long SlotOf(Method method) {
    struct Representation {
        std::uintptr_t pointer;
        std::ptrdiff_t adjustment;
    } representation;
    static_assert(sizeof(method) == sizeof(representation));
    std::memcpy(&representation, &method, sizeof representation);
    return static_cast<long>((representation.pointer - 1) / sizeof(void*)) - 1;
}

} // namespace

TEST(OrvalenExports, OperationsStandInTheirSlots) {
    using R = IOrvalenRenderer;
    EXPECT_EQ(1, SlotOf(&R::SetWindowHandle));
    EXPECT_EQ(2, SlotOf(static_cast<int (R::*)(const char*, std::uint32_t, std::uint32_t, std::uint32_t, bool,
                                               bool, bool, std::uint32_t)>(&R::Initialize)));
    EXPECT_EQ(3, SlotOf(static_cast<int (R::*)(const char*, std::uint32_t, std::uint32_t, std::uint32_t, bool,
                                               bool, bool)>(&R::Initialize)));
    EXPECT_EQ(5, SlotOf(&R::CheckDevice));
    EXPECT_EQ(6, SlotOf(&R::CreateViewport));
    EXPECT_EQ(12, SlotOf(&R::GetProjectionMatrix));
    EXPECT_EQ(14,
              SlotOf(static_cast<bool (R::*)(float, float, float, float, float, float, float, float, float)>(
                  &R::SetCamera)));
    EXPECT_EQ(16, SlotOf(&R::GetViewMatrix));
    EXPECT_EQ(17, SlotOf(&R::Clear));
    EXPECT_EQ(22, SlotOf(&R::EndRenderToTexture));
    EXPECT_EQ(23, SlotOf(&R::SetZBuffer));
    EXPECT_EQ(35, SlotOf(static_cast<void (R::*)(bool, std::int32_t)>(&R::SetAlphaBlend)));
    EXPECT_EQ(36, SlotOf(static_cast<void (R::*)(bool)>(&R::SetAlphaBlend)));
    EXPECT_EQ(47, SlotOf(&R::GetFilter));
    EXPECT_EQ(48, SlotOf(&R::LoadShaderEffect));
    EXPECT_EQ(
        56, SlotOf(static_cast<bool (R::*)(std::int32_t, const char*, std::int32_t)>(&R::SetShaderTexture)));
    EXPECT_EQ(57, SlotOf(&R::SetShaderVector));
    EXPECT_EQ(58, SlotOf(&R::Create2DInterface));
    EXPECT_EQ(65, SlotOf(&R::DestroyInputInterface));
}

TEST(OrvalenSharedLibrary, ExportsOnlyTheTwoFunctions) {
    const std::string command = std::string("nm -D --defined-only ") + ORVALEN_SHARED_LIBRARY;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_NE(nullptr, pipe);
    std::set<std::string> exported;
    std::array<char, 512> line;
    while (std::fgets(line.data(), line.size(), pipe.get()) != nullptr) {
        char type = 0;
        char name[256] = {};
        if (std::sscanf(line.data(), "%*s %c %255s", &type, name) == 2) {
            exported.insert(name);
        }
    }
    // What the linker itself defines in every shared library is not an export of ours.
    for (const char* linkerSymbol : {"__bss_start", "_edata", "_end", "_init", "_fini"}) {
        exported.erase(linkerSymbol);
    }
    EXPECT_EQ((std::set<std::string>{"CreateOrvalenRenderer", "DestroyOrvalenRenderer"}), exported);
}

TEST(OrvalenSharedLibrary, HostDrivesTheRendererThroughTheExports) {
    void* library = dlopen(ORVALEN_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, library) << dlerror();
    const auto create =
        reinterpret_cast<int (*)(std::uint32_t, IOrvalenRenderer**)>(dlsym(library, "CreateOrvalenRenderer"));
    const auto destroy =
        reinterpret_cast<int (*)(IOrvalenRenderer**)>(dlsym(library, "DestroyOrvalenRenderer"));
    ASSERT_NE(nullptr, create);
    ASSERT_NE(nullptr, destroy);

    const HWND window = platform::CreateHostWindow("Shared Library Host", 320, 240);
    IOrvalenRenderer* renderer = nullptr;
    ASSERT_EQ(1, create(0, &renderer));
    EXPECT_EQ(1, renderer->Initialize("Shared Library Host", 320, 240, 0, false, true, false));
    EXPECT_TRUE(renderer->CreateViewport(0, 0, 320, 240));
    EXPECT_EQ(1, platform::LiveDeviceCount()); // the library and this program share one platform
    EXPECT_EQ(1, destroy(&renderer));
    EXPECT_EQ(0, platform::LiveObjectTotal());
    platform::DestroyHostWindow(window);
    dlclose(library);
}
