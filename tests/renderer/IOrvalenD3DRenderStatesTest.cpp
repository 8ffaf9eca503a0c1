#include "support/RendererFixture.h"

#include <bit>
#include <utility>
#include <vector>

namespace {

using StateCall = std::pair<std::int64_t, std::int64_t>; ///< (render state, value)

class IOrvalenD3DRenderStates : public RendererFixture {
protected:
    void SetUp() override {
        RendererFixture::SetUp();
        ASSERT_EQ(1, StartWindowed());
        m_startLog = LogText();
        platform::ClearCallTrace();
    }

    std::string NewLog() const { return LogText().substr(m_startLog.size()); }

    /// The render states set since the trace was last cleared, in order; the trace is then cleared.
    static std::vector<StateCall> TakeStateCalls() {
        std::vector<StateCall> calls;
        for (const platform::TracedCall& call : platform::CallsOf("IDirect3DDevice9::SetRenderState")) {
            calls.emplace_back(call.arguments[0], call.arguments[1]);
        }
        platform::ClearCallTrace();
        return calls;
    }

    /// Sampler-0 states set since the trace was cleared, as (type, value).
    static std::vector<StateCall> TakeSamplerCalls() {
        std::vector<StateCall> calls;
        for (const platform::TracedCall& call : platform::CallsOf("IDirect3DDevice9::SetSamplerState")) {
            EXPECT_EQ(0, call.arguments[0]);
            calls.emplace_back(call.arguments[1], call.arguments[2]);
        }
        platform::ClearCallTrace();
        return calls;
    }

    DWORD DeviceState(D3DRENDERSTATETYPE state) {
        DWORD value = 0;
        EXPECT_EQ(D3D_OK, Renderer().Device->GetRenderState(state, &value));
        return value;
    }

    std::string m_startLog;
};

DWORD Bits(float value) {
    return std::bit_cast<DWORD>(value);
}

} // namespace

TEST_F(IOrvalenD3DRenderStates, SwitchesSetTheirDeviceStates) {
    m_handle->SetZBuffer(false);
    EXPECT_EQ((std::vector<StateCall>{{D3DRS_ZENABLE, D3DZB_FALSE}}), TakeStateCalls());
    EXPECT_FALSE(m_handle->GetZBuffer());

    m_handle->SetWireframe(true);
    m_handle->SetWireframe(false);
    m_handle->SetPointMode(true);
    m_handle->SetPointMode(false);
    EXPECT_EQ((std::vector<StateCall>{{D3DRS_FILLMODE, D3DFILL_WIREFRAME},
                                      {D3DRS_FILLMODE, D3DFILL_SOLID},
                                      {D3DRS_FILLMODE, D3DFILL_POINT},
                                      {D3DRS_FILLMODE, D3DFILL_SOLID}}),
              TakeStateCalls());

    m_handle->SetAntialiasedLines(true);
    m_handle->SetLighting(false);
    EXPECT_EQ((std::vector<StateCall>{{D3DRS_ANTIALIASEDLINEENABLE, TRUE}, {D3DRS_LIGHTING, FALSE}}),
              TakeStateCalls());

    m_handle->SetAlphaTest(true);
    EXPECT_EQ((std::vector<StateCall>{{D3DRS_ALPHAREF, 1},
                                      {D3DRS_ALPHATESTENABLE, TRUE},
                                      {D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL}}),
              TakeStateCalls());

    // The render flag is the host's alone.
    m_handle->SetRenderFlag(true);
    EXPECT_TRUE(m_handle->GetRenderFlag());
    EXPECT_TRUE(platform::CallTrace().empty());
}

TEST_F(IOrvalenD3DRenderStates, CullModeMapsEveryValueAndKeepsTheHostsNumber) {
    const std::pair<std::int32_t, D3DCULL> cases[] = {
        {0, D3DCULL_NONE}, {1, D3DCULL_CW}, {2, D3DCULL_CCW}, {7, D3DCULL_CCW}, {-1, D3DCULL_CCW}};
    for (const auto& [mode, cull] : cases) {
        m_handle->SetCullMode(mode);
        EXPECT_EQ((std::vector<StateCall>{{D3DRS_CULLMODE, cull}}), TakeStateCalls()) << mode;
        EXPECT_EQ(mode, m_handle->GetCullMode());
    }
}

TEST_F(IOrvalenD3DRenderStates, ShadeModeSetsOnlyKnownModesAndReads9UnderAnEffect) {
    const D3DSHADEMODE modes[] = {D3DSHADE_FLAT, D3DSHADE_GOURAUD, D3DSHADE_PHONG};
    for (std::int32_t mode = 0; mode < 3; ++mode) {
        m_handle->SetShadeMode(mode);
        EXPECT_EQ((std::vector<StateCall>{{D3DRS_SHADEMODE, modes[mode]}}), TakeStateCalls());
    }
    m_handle->SetShadeMode(5);
    EXPECT_TRUE(TakeStateCalls().empty());
    EXPECT_EQ(5, m_handle->GetShadeMode());
    EXPECT_EQ(D3DSHADE_PHONG, DeviceState(D3DRS_SHADEMODE));

    Renderer().CurrentEffect = 3;
    EXPECT_EQ(9, m_handle->GetShadeMode());
    Renderer().CurrentEffect = -1;
    EXPECT_EQ(5, m_handle->GetShadeMode());
}

TEST_F(IOrvalenD3DRenderStates, BlendModesFollowTheTable) {
    struct Case {
        std::int32_t mode;
        std::vector<StateCall> after; ///< the states set after z-writing off and blending on
    };
    const Case cases[] = {
        {0, {{D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}, {D3DRS_DESTBLEND, D3DBLEND_ONE}}},
        {1, {{D3DRS_SRCBLEND, D3DBLEND_ONE}, {D3DRS_DESTBLEND, D3DBLEND_ONE}}},
        {2, {{D3DRS_SRCBLEND, D3DBLEND_ZERO}, {D3DRS_DESTBLEND, D3DBLEND_INVSRCCOLOR}}},
        {3, {{D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR}, {D3DRS_DESTBLEND, D3DBLEND_INVSRCCOLOR}}},
        {4, {{D3DRS_SRCBLEND, D3DBLEND_ONE}, {D3DRS_DESTBLEND, D3DBLEND_SRCCOLOR}}},
        {5, {{D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR}, {D3DRS_DESTBLEND, D3DBLEND_DESTCOLOR}}},
        {6,
         {{D3DRS_BLENDOP, D3DBLENDOP_MIN},
          {D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR},
          {D3DRS_DESTBLEND, D3DBLEND_DESTCOLOR}}},
        {7,
         {{D3DRS_BLENDOP, D3DBLENDOP_MAX},
          {D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR},
          {D3DRS_DESTBLEND, D3DBLEND_DESTCOLOR}}},
        {8, {{D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}, {D3DRS_DESTBLEND, D3DBLEND_DESTCOLOR}}},
        {-4, {{D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}, {D3DRS_DESTBLEND, D3DBLEND_DESTCOLOR}}},
    };
    for (const Case& c : cases) {
        m_handle->SetAlphaBlend(true, c.mode);
        std::vector<StateCall> expected{{D3DRS_ZWRITEENABLE, FALSE}, {D3DRS_ALPHABLENDENABLE, TRUE}};
        expected.insert(expected.end(), c.after.begin(), c.after.end());
        EXPECT_EQ(expected, TakeStateCalls()) << "mode " << c.mode;
    }
    m_handle->SetAlphaBlend(false, 3);
    EXPECT_EQ((std::vector<StateCall>{{D3DRS_BLENDOP, D3DBLENDOP_ADD},
                                      {D3DRS_ALPHABLENDENABLE, FALSE},
                                      {D3DRS_ZWRITEENABLE, TRUE}}),
              TakeStateCalls());
    EXPECT_FALSE(m_handle->GetAlphaBlend());
}

TEST_F(IOrvalenD3DRenderStates, MinimumBlendStaysUntilBlendingIsSwitchedOff) {
    m_handle->SetAlphaBlend(true, 6);
    m_handle->SetAlphaBlend(true, 0);
    EXPECT_EQ(D3DBLENDOP_MIN, DeviceState(D3DRS_BLENDOP));
    EXPECT_EQ(D3DBLEND_SRCALPHA, DeviceState(D3DRS_SRCBLEND));
    m_handle->SetAlphaBlend(false, 0);
    EXPECT_EQ(D3DBLENDOP_ADD, DeviceState(D3DRS_BLENDOP));
    EXPECT_EQ(DWORD(TRUE), DeviceState(D3DRS_ZWRITEENABLE));
}

TEST_F(IOrvalenD3DRenderStates, OneArgumentBlendUsesDestinationColourAndLeavesZWritingAndOperation) {
    m_handle->SetAlphaBlend(true);
    EXPECT_EQ((std::vector<StateCall>{{D3DRS_ALPHABLENDENABLE, TRUE},
                                      {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                                      {D3DRS_DESTBLEND, D3DBLEND_DESTCOLOR}}),
              TakeStateCalls());
    EXPECT_TRUE(m_handle->GetAlphaBlend());
    m_handle->SetAlphaBlend(false);
    EXPECT_EQ((std::vector<StateCall>{{D3DRS_ALPHABLENDENABLE, FALSE}, {D3DRS_ZWRITEENABLE, TRUE}}),
              TakeStateCalls());
}

TEST_F(IOrvalenD3DRenderStates, LinearFogSetsStartAndEndButNoDensity) {
    EXPECT_TRUE(m_handle->SetFog(true, 1, 10.0f, 100.0f, 0.5f, 0xFF808080u));
    EXPECT_EQ((std::vector<StateCall>{{D3DRS_FOGENABLE, TRUE},
                                      {D3DRS_FOGCOLOR, 0xFF808080u},
                                      {D3DRS_RANGEFOGENABLE, TRUE},
                                      {D3DRS_FOGTABLEMODE, D3DFOG_NONE},
                                      {D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR},
                                      {D3DRS_FOGSTART, Bits(10.0f)},
                                      {D3DRS_FOGEND, Bits(100.0f)}}),
              TakeStateCalls());
    EXPECT_TRUE(m_handle->GetFog());
    EXPECT_EQ(m_startLog, LogText());
}

TEST_F(IOrvalenD3DRenderStates, ExponentialFogSetsDensityButNoStartOrEnd) {
    EXPECT_TRUE(m_handle->SetFog(true, 2, 10.0f, 100.0f, 0.25f, 0x00112233u));
    EXPECT_EQ((std::vector<StateCall>{{D3DRS_FOGENABLE, TRUE},
                                      {D3DRS_FOGCOLOR, 0x00112233u},
                                      {D3DRS_RANGEFOGENABLE, TRUE},
                                      {D3DRS_FOGTABLEMODE, D3DFOG_NONE},
                                      {D3DRS_FOGVERTEXMODE, D3DFOG_EXP},
                                      {D3DRS_FOGDENSITY, Bits(0.25f)}}),
              TakeStateCalls());
    EXPECT_TRUE(m_handle->SetFog(false, 2, 0.0f, 0.0f, 0.0f, 0));
    EXPECT_EQ((std::vector<StateCall>{{D3DRS_FOGENABLE, FALSE}}), TakeStateCalls());
    EXPECT_FALSE(m_handle->GetFog());
}

TEST_F(IOrvalenD3DRenderStates, FogStopsAtTheFirstRefusedStateAndNamesIt) {
    struct Case {
        std::int32_t mode;
        D3DRENDERSTATETYPE refused;
        const char* line;
        std::size_t statesTried;
    };
    const Case cases[] = {
        {1, D3DRS_FOGENABLE, "ERROR: SetFog Failed At FogEnable\n", 1},
        {1, D3DRS_FOGCOLOR, "ERROR: SetFog Failed At FogColor\n", 2},
        {1, D3DRS_RANGEFOGENABLE, "ERROR: SetFog Failed At RangeFogEnable\n", 3},
        {1, D3DRS_FOGTABLEMODE, "ERROR: SetFog Failed At FogTable\n", 4},
        {1, D3DRS_FOGVERTEXMODE, "ERROR: SetFog Failed At FogVertexMode\n", 5},
        {1, D3DRS_FOGSTART, "ERROR: SetFog Failed At FogStart\n", 6},
        {1, D3DRS_FOGEND, "ERROR: SetFog Failed At FogEnd\n", 7},
        {0, D3DRS_FOGVERTEXMODE, "ERROR: SetFog Failed At FogVertexMode\n", 5},
        {0, D3DRS_FOGDENSITY, "ERROR: SetFog Failed At FogDensity\n", 6},
    };
    for (const Case& c : cases) {
        const std::string before = LogText();
        platform::InjectFault({"IDirect3DDevice9::SetRenderState", 1, 1, c.refused, 0});
        EXPECT_FALSE(m_handle->SetFog(true, c.mode, 1.0f, 2.0f, 0.5f, 0));
        EXPECT_EQ(c.line, LogText().substr(before.size()));
        EXPECT_EQ(c.statesTried, TakeStateCalls().size()) << c.line;
        platform::ClearFaults();
    }
    EXPECT_TRUE(m_handle->GetFog()) << "the host's wish is kept even when the device refuses it";

    const std::string before = LogText();
    platform::InjectFault({"IDirect3DDevice9::SetRenderState", 1, 1, D3DRS_FOGENABLE, 0});
    EXPECT_FALSE(m_handle->SetFog(false, 0, 0.0f, 0.0f, 0.0f, 0));
    EXPECT_EQ("ERROR: SetFog Failed At FogEnable\n", LogText().substr(before.size()));
    EXPECT_NE(nullptr, Renderer().LogFile) << "a fog failure doesn't close the log";
}

TEST_F(IOrvalenD3DRenderStates, FilterTypesSetSamplerZero) {
    using Calls = std::vector<StateCall>;
    const Calls expected[] = {
        {{D3DSAMP_MAXMIPLEVEL, 0},
         {D3DSAMP_MAGFILTER, D3DTEXF_POINT},
         {D3DSAMP_MINFILTER, D3DTEXF_POINT},
         {D3DSAMP_MIPFILTER, D3DTEXF_NONE}},
        {{D3DSAMP_MAXMIPLEVEL, 0},
         {D3DSAMP_MAGFILTER, D3DTEXF_POINT},
         {D3DSAMP_MINFILTER, D3DTEXF_POINT},
         {D3DSAMP_MIPFILTER, D3DTEXF_POINT}},
        {{D3DSAMP_MAXMIPLEVEL, 0},
         {D3DSAMP_MAGFILTER, D3DTEXF_LINEAR},
         {D3DSAMP_MINFILTER, D3DTEXF_LINEAR},
         {D3DSAMP_MIPFILTER, D3DTEXF_POINT}},
        {{D3DSAMP_MAXMIPLEVEL, 0},
         {D3DSAMP_MAGFILTER, D3DTEXF_LINEAR},
         {D3DSAMP_MINFILTER, D3DTEXF_LINEAR},
         {D3DSAMP_MIPFILTER, D3DTEXF_LINEAR}},
        {{D3DSAMP_MAXMIPLEVEL, 0},
         {D3DSAMP_MAGFILTER, D3DTEXF_ANISOTROPIC},
         {D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC},
         {D3DSAMP_MIPFILTER, D3DTEXF_ANISOTROPIC},
         {D3DSAMP_MAXANISOTROPY, 4}},
    };
    for (std::int32_t type = 0; type < 5; ++type) {
        EXPECT_TRUE(m_handle->SetFilter(type));
        EXPECT_EQ(expected[type], TakeSamplerCalls()) << "type " << type;
    }
    EXPECT_EQ(m_startLog, LogText());
}

TEST_F(IOrvalenD3DRenderStates, UnknownFilterFailsAfterTheMipLevelAndIsKept) {
    EXPECT_FALSE(m_handle->SetFilter(5));
    EXPECT_EQ((std::vector<StateCall>{{D3DSAMP_MAXMIPLEVEL, 0}}), TakeSamplerCalls());
    EXPECT_EQ("ERROR: SetFilter Failed - Filter Type Unrecognized\n", NewLog());
    EXPECT_EQ(5, m_handle->GetFilter());
    EXPECT_FALSE(m_handle->SetFilter(-1));
}

TEST_F(IOrvalenD3DRenderStates, WithoutADeviceSettersOnlyKeepTheChoice) {
    m_handle->Deinitialize();
    m_handle->SetCullMode(0);
    m_handle->SetAlphaBlend(true, 2);
    EXPECT_EQ(0, m_handle->GetCullMode());
    EXPECT_TRUE(m_handle->GetAlphaBlend());
    EXPECT_FALSE(m_handle->SetFog(true, 1, 0.0f, 1.0f, 1.0f, 0));
    EXPECT_TRUE(m_handle->SetFilter(2));
    EXPECT_EQ(2, m_handle->GetFilter());
}
