// Vertex buffers and the stream draws that read them: the same pixels as drawing from memory, every
// refusal, the reset rules of the default pool, and the stream left empty by a draw from memory.
#include "SceneDeviceFixture.h"
#include "support/LitPixels.h"

namespace {

class VertexBuffers : public SceneDeviceFixture {
protected:
    void SetUp() override {
        SceneDeviceFixture::SetUp();
        UsePixelProjection();
    }

    /// A red-lit fan of triangles with colours and normals of their own, as the scene's meshes have.
    static std::vector<SceneVertex> Triangles() {
        std::vector<SceneVertex> triangles;
        for (int i = 0; i < 4; ++i) {
            const float x = 4.0f + 15.0f * static_cast<float>(i);
            const std::uint32_t colour =
                0xFF000000u | (0x3Fu * static_cast<std::uint32_t>(i + 1)) << 8 | 0xFFu;
            triangles.push_back({x, 4, 0.5f, 0, 0, -1, colour});
            triangles.push_back({x + 12, 20, 0.5f, 0.6f, 0, -0.8f, colour});
            triangles.push_back({x, 60, 0.5f, 0, 0.6f, -0.8f, 0xFFFFFFFFu});
        }
        return triangles;
    }

    void LightFromTheFront() {
        D3DLIGHT9 light{};
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = {1.0f, 0.5f, 1.0f, 1.0f};
        light.Direction = {0.3f, 0.0f, 1.0f};
        ASSERT_EQ(D3D_OK, m_device->SetLight(0, &light));
        ASSERT_EQ(D3D_OK, m_device->LightEnable(0, TRUE));
    }

    platform::Image Shown() {
        EXPECT_EQ(D3D_OK, m_device->EndScene());
        EXPECT_EQ(D3D_OK, m_device->Present(nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
        EXPECT_EQ(D3D_OK, m_device->BeginScene());
        return platform::ReadWindowPixels(m_window);
    }
};

} // namespace

TEST_F(VertexBuffers, AStreamDrawShowsWhatTheSameVerticesFromMemoryShowAndIsRecordedAlike) {
    LightFromTheFront();
    platform::ClearCallTrace();
    ASSERT_EQ(D3D_OK, DrawFromMemory(D3DPT_TRIANGLELIST, 4, Triangles()));
    const platform::Image fromMemory = Shown();
    ASSERT_EQ(D3D_OK, DrawFromBuffer(D3DPT_TRIANGLELIST, 4, Triangles()));
    const platform::Image fromBuffer = Shown();
    EXPECT_LT(800, LitPixels::In(fromMemory).count);
    EXPECT_EQ(fromMemory.pixels, fromBuffer.pixels);

    const std::vector<platform::DrawnPrimitives> draws = platform::DrawnPrimitiveCalls();
    ASSERT_EQ(2u, draws.size());
    EXPECT_EQ(draws[0].vertices, draws[1].vertices);
    EXPECT_EQ(kSceneFormat, draws[1].fvf);
    EXPECT_EQ(44u, draws[1].stride);
}

TEST_F(VertexBuffers, AStartVertexAndOffsetPickTheVerticesAndTheEndOfTheBufferIsKept) {
    std::vector<SceneVertex> vertices = Quad(0, 0, 32, 32, 0.5f);
    const std::vector<SceneVertex> second = Quad(32, 32, 64, 64, 0.5f);
    vertices.insert(vertices.end(), second.begin(), second.end());
    IDirect3DVertexBuffer9* buffer = MakeBuffer(vertices);
    ASSERT_NE(nullptr, buffer);
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, buffer, 44, 44));
    ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_LIGHTING, FALSE));
    platform::ClearCallTrace();
    // From byte 44 on: vertex 5 is the first quad's last, so vertices 5..10 end exactly at the buffer's end.
    ASSERT_EQ(D3D_OK, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 5, 2));
    ASSERT_EQ(1u, platform::DrawnPrimitiveCalls().size());
    EXPECT_EQ(0, std::memcmp(&vertices[6], platform::DrawnPrimitiveCalls()[0].vertices.data(), 6 * 44));
    const LitPixels lit = LitPixels::In(Frame());
    EXPECT_EQ(32 * 32, lit.count);
    EXPECT_EQ(32, lit.left);
    EXPECT_EQ(32, lit.top);
    // One vertex more, or a start vertex whose byte offset only 64 bits hold, runs past the end.
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 2));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x7FFFFFFF, 1));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 0xFFFFF));
    buffer->Release();
}

TEST_F(VertexBuffers, RefusedCallsReturnInvalidCallAndDrawNothing) {
    IDirect3DVertexBuffer9* buffer = nullptr;
    void* shared = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL,
              m_device->CreateVertexBuffer(0, 0, kSceneFormat, D3DPOOL_DEFAULT, &buffer, nullptr));
    EXPECT_EQ(D3DERR_INVALIDCALL,
              m_device->CreateVertexBuffer(44, 0, kSceneFormat, D3DPOOL_DEFAULT, &buffer, &shared));
    EXPECT_EQ(D3DERR_INVALIDCALL,
              m_device->CreateVertexBuffer(44, 0, kSceneFormat, D3DPOOL_DEFAULT, nullptr, nullptr));
    EXPECT_EQ(nullptr, buffer);
    EXPECT_EQ(0, platform::LiveObjects("IDirect3DVertexBuffer9"));

    buffer = MakeBuffer(Quad(0, 0, 64, 64, 0.5f));
    ASSERT_NE(nullptr, buffer);
    D3DVERTEXBUFFER_DESC description{};
    ASSERT_EQ(D3D_OK, buffer->GetDesc(&description));
    EXPECT_EQ(264u, description.Size);
    void* data = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL, buffer->Lock(200, 65, &data, 0)) << "past the end";
    EXPECT_EQ(D3DERR_INVALIDCALL, buffer->Lock(264, 0, &data, 0)) << "nothing left to lock";
    EXPECT_EQ(D3DERR_INVALIDCALL, buffer->Lock(0, 0, nullptr, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, buffer->Unlock()) << "not locked";

    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2))
        << "no buffer on stream 0";
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, buffer, 0, 40));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2)) << "stride too short";
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, buffer, 0, 44));
    ASSERT_EQ(D3D_OK, buffer->Lock(0, 44, &data, D3DLOCK_DISCARD));
    EXPECT_EQ(D3DERR_INVALIDCALL, buffer->Lock(0, 44, &data, 0)) << "locked twice";
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2)) << "locked";
    ASSERT_EQ(D3D_OK, buffer->Unlock());
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(9), 0, 2));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetStreamSource(16, buffer, 0, 44));
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2)) << "outside a scene";
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
    D3DPRESENT_PARAMETERS parameters = m_parameters;
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    ASSERT_EQ(D3D_OK, m_device->Reset(&parameters));
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, buffer, 0, 44));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2)) << "no vertex format";
    EXPECT_EQ(0, LitPixels::In(Frame()).count);
    buffer->Release();
}

TEST_F(VertexBuffers, ADrawFromMemoryLeavesStreamZeroEmptyAndAReleasedBufferIsUnbound) {
    IDirect3DVertexBuffer9* buffer = MakeBuffer(Quad(0, 0, 64, 64, 0.5f));
    ASSERT_NE(nullptr, buffer);
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, buffer, 0, 44));
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(3, buffer, 8, 44));
    ASSERT_EQ(D3D_OK, DrawFromMemory(D3DPT_TRIANGLELIST, 1, Quad(0, 0, 8, 8, 0.5f)));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2));
    IDirect3DVertexBuffer9* bound = nullptr;
    UINT offset = 0;
    UINT stride = 0;
    ASSERT_EQ(D3D_OK, m_device->GetStreamSource(0, &bound, &offset, &stride));
    EXPECT_EQ(nullptr, bound);
    ASSERT_EQ(D3D_OK, m_device->GetStreamSource(3, &bound, &offset, &stride));
    EXPECT_EQ(buffer, bound);
    EXPECT_EQ(8u, offset);
    bound->Release();
    buffer->Release();
    ASSERT_EQ(D3D_OK, m_device->GetStreamSource(3, &bound, &offset, &stride));
    EXPECT_EQ(nullptr, bound);
}

TEST_F(VertexBuffers, ADefaultPoolBufferBlocksAStrictResetUntilReleasedAndOtherwiseKeepsItsBytes) {
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    const std::vector<SceneVertex> quad = Quad(0, 0, 64, 64, 0.5f, {0, 0, 0, 0, 0, -1, 0xFF00FF00u});
    IDirect3DVertexBuffer9* kept = MakeBuffer(quad);
    ASSERT_NE(nullptr, kept);
    D3DPRESENT_PARAMETERS parameters = m_parameters;
    ASSERT_EQ(D3D_OK, m_device->Reset(&parameters)) << "a lenient runtime keeps the buffer";
    void* data = nullptr;
    ASSERT_EQ(D3D_OK, kept->Lock(0, 0, &data, D3DLOCK_READONLY));
    EXPECT_EQ(0, std::memcmp(data, quad.data(), 264));
    ASSERT_EQ(D3D_OK, kept->Unlock());

    platform::AdapterConfiguration strict = platform::DefaultAdapter();
    strict.resetRefusesDefaultPool = true;
    platform::ConfigureAdapter(strict);
    IDirect3DVertexBuffer9* managed = MakeBuffer(quad, D3DPOOL_MANAGED);
    ASSERT_NE(nullptr, managed);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Reset(&parameters));
    kept->Release();
    EXPECT_EQ(D3D_OK, m_device->Reset(&parameters)) << "a managed buffer does not count";
    managed->Release();
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
}

TEST_F(VertexBuffers, InjectedFaultsFailTheNamedCallsAndTheTraceShowsThem) {
    platform::Fault creation;
    creation.operation = "IDirect3DDevice9::CreateVertexBuffer";
    creation.argument = 264;
    platform::InjectFault(creation);
    IDirect3DVertexBuffer9* buffer = nullptr;
    EXPECT_EQ(D3DERR_OUTOFVIDEOMEMORY,
              m_device->CreateVertexBuffer(264, 0, kSceneFormat, D3DPOOL_DEFAULT, &buffer, nullptr));
    EXPECT_EQ(nullptr, buffer);
    buffer = MakeBuffer(Quad(0, 0, 64, 64, 0.5f));
    ASSERT_NE(nullptr, buffer);
    for (const char* operation : {"IDirect3DVertexBuffer9::Lock", "IDirect3DVertexBuffer9::Unlock",
                                  "IDirect3DDevice9::SetStreamSource", "IDirect3DDevice9::DrawPrimitive"}) {
        platform::FailCall(operation);
    }
    void* data = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL, buffer->Lock(0, 0, &data, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, buffer->Unlock());
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetStreamSource(0, buffer, 0, 44));
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, buffer, 0, 44));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2));
    EXPECT_EQ(0, LitPixels::In(Frame()).count);
    EXPECT_EQ("IDirect3DDevice9::DrawPrimitive(4, 0, 2) -> D3DERR_INVALIDCALL (injected)",
              platform::CallsOf("IDirect3DDevice9::DrawPrimitive").back().Text());
    buffer->Release();
}
