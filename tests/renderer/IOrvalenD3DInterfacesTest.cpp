#include "support/AllocationFailure.h"
#include "support/RendererFixture.h"
#include "renderer/IOrvalen2DD3D.h"
#include "scene3d/IOrvalen3DD3D.h"

#include <ostream>
#include <string>

namespace {

/// One of the four kinds of interface the renderer makes: its create and destroy operations, the
/// public member that holds it, and its log lines.
struct InterfaceKind {
    const char* name;
    std::int32_t (*create)(IOrvalenRenderer&);
    void (*destroy)(IOrvalenRenderer&);
    void* (*member)(IOrvalenRenderer&);
    const char* failureLine;
    const char* destroyLine;
};

void PrintTo(const InterfaceKind& kind, std::ostream* out) {
    *out << kind.name;
}

class InterfaceFactory : public RendererFixture, public ::testing::WithParamInterface<InterfaceKind> {
protected:
    void SetUp() override {
        RendererFixture::SetUp();
        ASSERT_EQ(1, StartWindowed());
        m_startLog = LogText();
    }

    std::int32_t Create() { return GetParam().create(*m_handle); }
    void Destroy() { GetParam().destroy(*m_handle); }
    void* Member() { return GetParam().member(*m_handle); }
    std::string NewLog() const { return LogText().substr(m_startLog.size()); }

    std::string m_startLog;
};

} // namespace

TEST_P(InterfaceFactory, CreateStoresTheInterfaceAndDestroyLogsAndClearsIt) {
    ASSERT_EQ(1, Create());
    EXPECT_NE(nullptr, Member());
    Destroy();
    EXPECT_EQ(nullptr, Member());
    Destroy(); // without an interface: only the line
    const std::string line = GetParam().destroyLine;
    EXPECT_EQ(line + line, NewLog());
}

TEST_P(InterfaceFactory, ASecondCreateReplacesTheFirstInterface) {
    ASSERT_EQ(1, Create());
    ASSERT_EQ(1, Create()); // the first is destroyed, as the leak check of the sanitizer run proves
    EXPECT_NE(nullptr, Member());
    EXPECT_EQ("", NewLog());
    Destroy();
}

TEST_P(InterfaceFactory, NoMemoryIsLoggedAndLeavesNoInterface) {
    FailNextNothrowAllocation();
    EXPECT_EQ(-1, Create());
    EXPECT_EQ(nullptr, Member());
    EXPECT_EQ(GetParam().failureLine, NewLog());
}

TEST_P(InterfaceFactory, DestroyingTheRendererDestroysAnInterfaceLeftOpenFirst) {
    ASSERT_EQ(1, Create());
    ASSERT_EQ(1, DestroyOrvalenRenderer(&m_handle));
    // Logged as its Destroy logs it, before the device goes; the sanitizer run proves nothing leaks.
    EXPECT_EQ(0u, NewLog().find(std::string(GetParam().destroyLine) + "Deinitializing...\n")) << NewLog();
}

INSTANTIATE_TEST_SUITE_P(
    EachKind, InterfaceFactory,
    ::testing::Values(InterfaceKind{"TwoD", [](IOrvalenRenderer& r) { return r.Create2DInterface(); },
                                    [](IOrvalenRenderer& r) { r.Destroy2DInterface(); },
                                    [](IOrvalenRenderer& r) -> void* { return r.Interface2D; },
                                    "ERROR: Couldn't Create 2D Interface\n", "Destroying 2D Interface...\n"},
                      InterfaceKind{"ThreeD", [](IOrvalenRenderer& r) { return r.Create3DInterface(); },
                                    [](IOrvalenRenderer& r) { r.Destroy3DInterface(); },
                                    [](IOrvalenRenderer& r) -> void* { return r.Interface3D; },
                                    "ERROR: Couldn't Create 3D Interface\n", "Destroying 3D Interface...\n"},
                      InterfaceKind{"Font", [](IOrvalenRenderer& r) { return r.CreateFontInterface(); },
                                    [](IOrvalenRenderer& r) { r.DestroyFontInterface(); },
                                    [](IOrvalenRenderer& r) -> void* { return r.FontInterface; },
                                    "ERROR: Couldn't Create Font Interface\n",
                                    "Destroying Font Interface...\n"},
                      InterfaceKind{"Input", [](IOrvalenRenderer& r) { return r.CreateInputInterface(); },
                                    [](IOrvalenRenderer& r) { r.DestroyInputInterface(); },
                                    [](IOrvalenRenderer& r) -> void* { return r.InputInterface; },
                                    "ERROR: Couldn't Create Input Interface\n",
                                    "Destroying Input Interface...\n"}),
    [](const ::testing::TestParamInfo<InterfaceKind>& info) { return std::string(info.param.name); });

using InterfaceFactoryRenderer = RendererFixture;

TEST_F(InterfaceFactoryRenderer, EveryInterfaceIsHandedThisRenderer) {
    ASSERT_EQ(1, StartWindowed());
    ASSERT_EQ(1, m_handle->Create2DInterface());
    ASSERT_EQ(1, m_handle->Create3DInterface());
    ASSERT_EQ(1, m_handle->CreateInputInterface());
    EXPECT_EQ(&Renderer(), static_cast<IOrvalen2DD3D*>(m_handle->Interface2D)->Renderer);
    EXPECT_EQ(&Renderer(), static_cast<IOrvalen3DD3D*>(m_handle->Interface3D)->Renderer);
    // The input interface binds its devices to the window of the renderer it was handed.
    EXPECT_EQ(1, m_handle->InputInterface->Initialize());
    m_handle->DestroyInputInterface();
    m_handle->Destroy3DInterface();
    m_handle->Destroy2DInterface();
}

TEST_F(InterfaceFactoryRenderer, InterfacesCanBeMadeBeforeInitializeWithoutALog) {
    ASSERT_EQ(1, m_handle->Create2DInterface());
    m_handle->Destroy2DInterface();
    EXPECT_FALSE(LogExists());
}
