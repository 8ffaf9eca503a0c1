#include "support/RendererFixture.h"
#include "platform/DirectInput8.h"
#include "renderer/IOrvalenD3DInput.h"

#include <climits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t kKeyboard = DI8DEVTYPE_KEYBOARD;
constexpr std::int64_t kMouse = DI8DEVTYPE_MOUSE;
constexpr std::uint8_t kKeyW = 0x11;
constexpr std::uint8_t kKeyS = 0x1F;

class IOrvalenD3DInputTest : public RendererFixture {
protected:
    void SetUp() override {
        RendererFixture::SetUp();
        ASSERT_EQ(1, StartWindowed());
        m_input = std::make_unique<IOrvalenD3DInput>();
        m_input->SetRenderer(&m_handle);
    }

    void TearDown() override {
        m_input.reset();
        RendererFixture::TearDown();
    }

    /// The input operations traced since the platform was last reset, as "operation device-type".
    static std::vector<std::string> InputCalls() {
        std::vector<std::string> calls;
        for (const platform::TracedCall& call : platform::CallTrace()) {
            const bool device = call.operation.find("DirectInput") != std::string::npos;
            if (device || call.operation == "GetModuleHandleA") {
                const bool typed = call.operation.find("::") != std::string::npos;
                calls.push_back(call.operation + (typed ? " " + std::to_string(call.arguments[0]) : ""));
            }
        }
        return calls;
    }

    std::unique_ptr<IOrvalenD3DInput> m_input;
};

} // namespace

TEST_F(IOrvalenD3DInputTest, InitializeBindsBothDevicesToTheWindowInForegroundSharedMode) {
    platform::ClearCallTrace();
    const std::string logBefore = LogText();
    ASSERT_EQ(1, m_input->Initialize());

    const std::vector<std::string> expected{
        "GetModuleHandleA",
        "DirectInput8Create",
        "IDirectInput8::CreateDevice 19",
        "IDirectInputDevice8::SetDataFormat 19",
        "IDirectInputDevice8::SetCooperativeLevel 19",
        "IDirectInputDevice8::Acquire 19",
        "IDirectInput8::CreateDevice 18",
        "IDirectInputDevice8::SetDataFormat 18",
        "IDirectInputDevice8::SetCooperativeLevel 18",
        "IDirectInputDevice8::Acquire 18",
    };
    EXPECT_EQ(expected, InputCalls());
    EXPECT_EQ(std::int64_t{0x0800}, platform::CallsOf("DirectInput8Create")[0].arguments[0]);
    for (const platform::TracedCall& call : platform::CallsOf("IDirectInputDevice8::SetCooperativeLevel")) {
        EXPECT_EQ(reinterpret_cast<std::intptr_t>(m_window), call.arguments[1]);
        EXPECT_EQ(std::int64_t{DISCL_FOREGROUND | DISCL_NONEXCLUSIVE}, call.arguments[2]);
    }
    EXPECT_EQ(1, platform::LiveObjects("IDirectInput8"));
    EXPECT_EQ(2, platform::LiveObjects("IDirectInputDevice8"));
    EXPECT_EQ(logBefore, LogText()) << "input set-up writes nothing to the log";
    EXPECT_TRUE(m_input->Update());
}

struct SetUpStep {
    const char* name;
    const char* operation; ///< the call made to fail
    std::optional<std::int64_t> device;
    const char* lastCall; ///< the call that ends the set-up
    int devicesMade;      ///< devices alive once the set-up has stopped
};

class IOrvalenD3DInputSetUpFailure : public IOrvalenD3DInputTest,
                                     public ::testing::WithParamInterface<SetUpStep> {};

TEST_P(IOrvalenD3DInputSetUpFailure, StopsAtTheFailingStepSilentlyAndUpdateRefuses) {
    const SetUpStep& step = GetParam();
    platform::Fault fault;
    fault.operation = step.operation;
    fault.argument = step.device;
    platform::InjectFault(fault);
    platform::ClearCallTrace();
    const std::string logBefore = LogText();

    EXPECT_EQ(0, m_input->Initialize());
    const std::vector<platform::TracedCall> trace = platform::CallTrace();
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(step.lastCall, trace.back().operation) << "nothing runs after the failing step";
    EXPECT_TRUE(FAILED(trace.back().result));
    EXPECT_EQ(step.devicesMade, platform::LiveObjects("IDirectInputDevice8"));
    EXPECT_EQ(logBefore, LogText());

    platform::MoveMouse(3, 3);
    EXPECT_FALSE(m_input->Update());
    EXPECT_EQ(0, m_input->MouseX);
    EXPECT_EQ(0, m_input->MouseDeltaX);
}

constexpr const char* kCreateDevice = "IDirectInput8::CreateDevice";
constexpr const char* kSetDataFormat = "IDirectInputDevice8::SetDataFormat";
constexpr const char* kSetCooperativeLevel = "IDirectInputDevice8::SetCooperativeLevel";

// Without a module handle, DirectInput8Create is still asked, and refuses the null module.
INSTANTIATE_TEST_SUITE_P(
    EachStep, IOrvalenD3DInputSetUpFailure,
    ::testing::Values(
        SetUpStep{"ModuleHandle", "GetModuleHandleA", std::nullopt, "DirectInput8Create", 0},
        SetUpStep{"DirectInput", "DirectInput8Create", std::nullopt, "DirectInput8Create", 0},
        SetUpStep{"KeyboardDevice", kCreateDevice, kKeyboard, kCreateDevice, 0},
        SetUpStep{"KeyboardFormat", kSetDataFormat, kKeyboard, kSetDataFormat, 1},
        SetUpStep{"KeyboardCooperativeLevel", kSetCooperativeLevel, kKeyboard, kSetCooperativeLevel, 1},
        SetUpStep{"MouseDevice", kCreateDevice, kMouse, kCreateDevice, 1},
        SetUpStep{"MouseFormat", kSetDataFormat, kMouse, kSetDataFormat, 2},
        SetUpStep{"MouseCooperativeLevel", kSetCooperativeLevel, kMouse, kSetCooperativeLevel, 2}),
    [](const ::testing::TestParamInfo<SetUpStep>& info) { return std::string(info.param.name); });

TEST_F(IOrvalenD3DInputTest, WithoutTheRendererWindowInitializeFailsAtTheCooperativeLevel) {
    IOrvalenD3DInput unbound;
    platform::ClearCallTrace();
    EXPECT_EQ(0, unbound.Initialize());
    EXPECT_EQ("IDirectInputDevice8::SetCooperativeLevel", platform::CallTrace().back().operation);
    EXPECT_FALSE(unbound.Update());

    IOrvalenRenderer* none = nullptr;
    IOrvalenD3DInput nullRenderer;
    nullRenderer.SetRenderer(&none);
    nullRenderer.SetRenderer(nullptr);
    EXPECT_EQ(0, nullRenderer.Initialize());
}

TEST_F(IOrvalenD3DInputTest, RefusedAcquisitionIsLeftToReacquire) {
    platform::FailCall("IDirectInputDevice8::Acquire");
    ASSERT_EQ(1, m_input->Initialize()) << "the acquisition's result is not examined";
    EXPECT_FALSE(m_input->Update());
    EXPECT_TRUE(m_input->Reacquire());
    EXPECT_TRUE(m_input->Update());
}

TEST_F(IOrvalenD3DInputTest, UpdateWithoutDevicesRefuses) {
    platform::SetKey(kKeyW, true);
    EXPECT_FALSE(m_input->Update());
    EXPECT_TRUE(m_input->Reacquire());
    EXPECT_TRUE(m_input->IsKeyUp(kKeyW));
}

TEST_F(IOrvalenD3DInputTest, EverythingReadsUpBeforeTheFirstUpdate) {
    platform::SetKey(kKeyW, true);
    platform::SetMouseButton(0, true);
    ASSERT_EQ(1, m_input->Initialize());
    for (std::uint32_t key = 0; key < 256; ++key) {
        EXPECT_TRUE(m_input->IsKeyUp(key));
        EXPECT_FALSE(m_input->IsKeyDown(key));
    }
    for (std::int32_t button = 0; button < 4; ++button) {
        EXPECT_TRUE(m_input->IsMouseButtonUp(button));
        EXPECT_FALSE(m_input->IsMouseButtonDown(button));
    }
}

TEST_F(IOrvalenD3DInputTest, KeysAndButtonsAtTheEdgesOfTheirRanges) {
    ASSERT_EQ(1, m_input->Initialize());
    platform::SetKey(0, true);
    platform::SetKey(255, true);
    platform::SetMouseButton(0, true);
    platform::SetMouseButton(3, true);
    ASSERT_TRUE(m_input->Update());

    for (std::uint32_t key : {0u, 255u}) {
        EXPECT_TRUE(m_input->IsKeyDown(key));
        EXPECT_FALSE(m_input->IsKeyUp(key));
    }
    for (std::uint32_t key : {1u, 254u, 256u, 0x1FFu, 0xFFFFFFFFu}) {
        EXPECT_FALSE(m_input->IsKeyDown(key)) << key;
        EXPECT_TRUE(m_input->IsKeyUp(key)) << key;
    }
    for (std::int32_t button : {0, 3}) {
        EXPECT_TRUE(m_input->IsMouseButtonDown(button));
        EXPECT_FALSE(m_input->IsMouseButtonUp(button));
    }
    for (std::int32_t button : {1, 2, 4, -1, INT_MIN, INT_MAX}) {
        EXPECT_FALSE(m_input->IsMouseButtonDown(button)) << button;
        EXPECT_TRUE(m_input->IsMouseButtonUp(button)) << button;
    }

    platform::SetKey(255, false);
    platform::SetMouseButton(3, false);
    ASSERT_TRUE(m_input->Update());
    EXPECT_TRUE(m_input->IsKeyUp(255));
    EXPECT_TRUE(m_input->IsMouseButtonUp(3));
    EXPECT_TRUE(m_input->IsMouseButtonDown(0));
}

TEST_F(IOrvalenD3DInputTest, MousePositionIsTheSumOfTheMovementsRead) {
    ASSERT_EQ(1, m_input->Initialize());
    platform::MoveMouse(5, -2);
    platform::TurnMouseWheel(240);
    ASSERT_TRUE(m_input->Update());
    platform::MoveMouse(1, 1);
    platform::MoveMouse(2, 3);
    ASSERT_TRUE(m_input->Update());
    EXPECT_EQ(8, m_input->MouseX);
    EXPECT_EQ(2, m_input->MouseY);
    EXPECT_EQ(3, m_input->MouseDeltaX);
    EXPECT_EQ(4, m_input->MouseDeltaY);

    ASSERT_TRUE(m_input->Update());
    EXPECT_EQ(8, m_input->MouseX);
    EXPECT_EQ(0, m_input->MouseDeltaX);
    EXPECT_EQ(0, m_input->MouseDeltaY);
}

TEST_F(IOrvalenD3DInputTest, MousePositionWrapsAroundInsteadOfOverflowing) {
    ASSERT_EQ(1, m_input->Initialize());
    platform::MoveMouse(INT_MAX, INT_MIN);
    ASSERT_TRUE(m_input->Update());
    platform::MoveMouse(2, -1);
    ASSERT_TRUE(m_input->Update());
    EXPECT_EQ(INT_MIN + 1, m_input->MouseX);
    EXPECT_EQ(INT_MAX, m_input->MouseY);
}

TEST_F(IOrvalenD3DInputTest, FailedMouseReadKeepsTheMouseButTheKeyboardReadStands) {
    ASSERT_EQ(1, m_input->Initialize());
    platform::SetMouseButton(1, true);
    platform::MoveMouse(4, 6);
    ASSERT_TRUE(m_input->Update());

    platform::Fault fault;
    fault.operation = "IDirectInputDevice8::GetDeviceState";
    fault.argument = kMouse;
    platform::InjectFault(fault);
    platform::SetKey(kKeyS, true);
    platform::SetMouseButton(1, false);
    platform::MoveMouse(10, 10);
    EXPECT_FALSE(m_input->Update());
    EXPECT_TRUE(m_input->IsKeyDown(kKeyS)) << "the keyboard was read before the mouse failed";
    EXPECT_TRUE(m_input->IsMouseButtonDown(1));
    EXPECT_EQ(4, m_input->MouseX);
    EXPECT_EQ(6, m_input->MouseY);
    EXPECT_EQ(4, m_input->MouseDeltaX);
    EXPECT_EQ(6, m_input->MouseDeltaY);

    platform::FailCall("IDirectInputDevice8::GetDeviceState");
    platform::SetKey(kKeyS, false);
    EXPECT_FALSE(m_input->Update());
    EXPECT_TRUE(m_input->IsKeyDown(kKeyS)) << "a failed keyboard read changes nothing";
}

TEST_F(IOrvalenD3DInputTest, ReacquireAfterTheWindowGetsTheFocusBack) {
    ASSERT_EQ(1, m_input->Initialize());
    platform::MoveMouse(1, 2);
    ASSERT_TRUE(m_input->Update());

    platform::SetInputFocus(false);
    platform::MoveMouse(50, 50);
    EXPECT_FALSE(m_input->Update());
    EXPECT_TRUE(m_input->Reacquire());
    EXPECT_FALSE(m_input->Update()) << "another window still holds the focus";

    platform::SetInputFocus(true);
    EXPECT_FALSE(m_input->Update()) << "the devices stay unacquired until Reacquire";
    EXPECT_TRUE(m_input->Reacquire());
    platform::MoveMouse(3, 3);
    ASSERT_TRUE(m_input->Update());
    EXPECT_EQ(4, m_input->MouseX) << "movement made elsewhere is not counted";
    EXPECT_EQ(5, m_input->MouseY);
}

TEST_F(IOrvalenD3DInputTest, SecondInitializeReplacesTheDevicesWithoutLeaking) {
    ASSERT_EQ(1, m_input->Initialize());
    ASSERT_EQ(1, m_input->Initialize());
    EXPECT_EQ(1, platform::LiveObjects("IDirectInput8"));
    EXPECT_EQ(2, platform::LiveObjects("IDirectInputDevice8"));
    EXPECT_TRUE(m_input->Update());
}

TEST_F(IOrvalenD3DInputTest, DestructionUnacquiresAndReleasesEverything) {
    ASSERT_EQ(1, m_input->Initialize());
    platform::ClearCallTrace();
    m_input.reset();
    const std::vector<std::string> expected{"IDirectInputDevice8::Unacquire 19",
                                            "IDirectInputDevice8::Unacquire 18"};
    EXPECT_EQ(expected, InputCalls());
    EXPECT_EQ(0, platform::LiveObjects("IDirectInput8"));
    EXPECT_EQ(0, platform::LiveObjects("IDirectInputDevice8"));
}
