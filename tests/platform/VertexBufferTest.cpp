// Vertex buffers and the stream draws that read them: the pixels of the same vertices drawn from
// memory, every refusal, the default pool against resets, stream 0 emptied by draws from memory.
#include "SceneDeviceFixture.h"
#include "support/LitPixels.h"

namespace {

class VertexBuffers : public SceneDeviceFixture {
protected:
    void SetUp() override {
        SceneDeviceFixture::SetUp();
        UsePixelProjection();
        Set(D3DRS_LIGHTING, FALSE);
    }
};

} // namespace

TEST_F(VertexBuffers, AStreamDrawShowsAndRecordsWhatTheSameVerticesFromMemoryDo) {
    // Lit triangles with normals and colours of their own, as the scene's meshes have.
    Set(D3DRS_LIGHTING, TRUE);
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 0.5f, 1.0f, 1.0f};
    light.Direction = {0.3f, 0.0f, 1.0f};
    ASSERT_EQ(D3D_OK, m_device->SetLight(0, &light));
    ASSERT_EQ(D3D_OK, m_device->LightEnable(0, TRUE));
    std::vector<SceneVertex> triangles;
    for (std::uint32_t i = 0; i < 4; ++i) {
        const float x = 4.0f + 15.0f * static_cast<float>(i);
        triangles.push_back({x, 4, 0.5f, 0, 0, -1, 0xFF0000FFu | (0x3Fu * (i + 1)) << 8});
        triangles.push_back({x + 12, 20, 0.5f, 0.6f, 0, -0.8f});
        triangles.push_back({x, 60, 0.5f, 0, 0.6f, -0.8f});
    }
    platform::RecordCalls(true);
    ASSERT_EQ(D3D_OK,
              m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 4, triangles.data(), sizeof(SceneVertex)));
    const platform::Image fromMemory = Frame();
    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0));
    ASSERT_EQ(D3D_OK, DrawFromBuffer(triangles));
    EXPECT_LT(800, LitPixels::In(fromMemory).count);
    EXPECT_EQ(fromMemory.pixels, Frame().pixels);
    const std::vector<platform::DrawnPrimitives> draws = platform::DrawnPrimitiveCalls();
    ASSERT_EQ(2u, draws.size());
    EXPECT_EQ(draws[0].vertices, draws[1].vertices);
    EXPECT_EQ(44u, draws[1].stride);
}

TEST_F(VertexBuffers, RefusedCallsReturnInvalidCallAndDrawNothing) {
    platform::RecordCalls(true);
    IDirect3DVertexBuffer9* buffer = nullptr;
    void* data = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL,
              m_device->CreateVertexBuffer(0, 0, kSceneFormat, D3DPOOL_DEFAULT, &buffer, nullptr));
    EXPECT_EQ(D3DERR_INVALIDCALL,
              m_device->CreateVertexBuffer(44, 0, kSceneFormat, D3DPOOL_DEFAULT, &buffer, &data));
    EXPECT_EQ(D3DERR_INVALIDCALL,
              m_device->CreateVertexBuffer(44, 0, kSceneFormat, D3DPOOL_DEFAULT, nullptr, nullptr));
    EXPECT_EQ(0, platform::LiveObjects("IDirect3DVertexBuffer9"));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2)) << "no buffer";

    const std::vector<SceneVertex> vertices = Quad(0, 0, 64, 64, 0.5f); // 264 bytes
    buffer = MakeBuffer(vertices);
    ASSERT_NE(nullptr, buffer);
    EXPECT_EQ(D3DERR_INVALIDCALL, buffer->Lock(200, 65, &data, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, buffer->Lock(264, 0, &data, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, buffer->Lock(0, 0, nullptr, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, buffer->Unlock());
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, buffer, 0, 40));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2)) << "stride too short";
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, buffer, 0, 44));
    ASSERT_EQ(D3D_OK, buffer->Lock(0, 44, &data, D3DLOCK_DISCARD));
    EXPECT_EQ(D3DERR_INVALIDCALL, buffer->Lock(0, 44, &data, 0)) << "locked twice";
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2)) << "locked";
    ASSERT_EQ(D3D_OK, buffer->Unlock());
    // From byte 44 on, vertices 0..4 end exactly at the buffer's end; one more, or a start vertex whose
    // byte offset needs 64 bits, runs past it.
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, buffer, 44, 44));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 3));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x7FFFFFFF, 1));
    EXPECT_EQ(0, LitPixels::In(Frame()).count);
    ASSERT_EQ(D3D_OK, m_device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 3));
    EXPECT_EQ(0, std::memcmp(platform::DrawnPrimitiveCalls().back().vertices.data(), &vertices[1], 5 * 44));
    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2)) << "outside a scene";
    ASSERT_EQ(D3D_OK, m_device->Reset(&m_parameters));
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, buffer, 0, 44));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2)) << "no vertex format";
    EXPECT_EQ(0, LitPixels::In(Frame()).count);
    buffer->Release();
}

TEST_F(VertexBuffers, ADrawFromMemoryEmptiesStreamZeroAndAReleasedBufferLeavesItsStream) {
    IDirect3DVertexBuffer9* buffer = MakeBuffer(Quad(0, 0, 64, 64, 0.5f));
    ASSERT_NE(nullptr, buffer);
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, buffer, 0, 44));
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(3, buffer, 8, 44));
    const std::vector<SceneVertex> corner = Quad(0, 0, 8, 8, 0.5f);
    ASSERT_EQ(D3D_OK, m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, corner.data(), sizeof(SceneVertex)));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2));
    IDirect3DVertexBuffer9* bound = buffer;
    UINT offset = 0;
    UINT stride = 0;
    ASSERT_EQ(D3D_OK, m_device->GetStreamSource(0, &bound, &offset, &stride));
    EXPECT_EQ(nullptr, bound);
    buffer->Release();
    ASSERT_EQ(D3D_OK, m_device->GetStreamSource(3, &bound, &offset, &stride));
    EXPECT_EQ(nullptr, bound);
}

TEST_F(VertexBuffers, ADefaultPoolBufferBlocksAStrictResetUntilReleasedAndOtherwiseKeepsItsBytes) {
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    const std::vector<SceneVertex> quad = Quad(0, 0, 64, 64, 0.5f, 0xFF00FF00u);
    IDirect3DVertexBuffer9* kept = MakeBuffer(quad);
    ASSERT_NE(nullptr, kept);
    ASSERT_EQ(D3D_OK, m_device->Reset(&m_parameters));
    void* data = nullptr;
    ASSERT_EQ(D3D_OK, kept->Lock(0, 0, &data, D3DLOCK_READONLY));
    EXPECT_EQ(0, std::memcmp(data, quad.data(), 264));
    ASSERT_EQ(D3D_OK, kept->Unlock());

    platform::AdapterConfiguration strict = platform::DefaultAdapter();
    strict.resetRefusesDefaultPool = true;
    platform::ConfigureAdapter(strict);
    IDirect3DVertexBuffer9* managed = MakeBuffer(quad, D3DPOOL_MANAGED);
    ASSERT_NE(nullptr, managed);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Reset(&m_parameters));
    kept->Release();
    EXPECT_EQ(D3D_OK, m_device->Reset(&m_parameters)) << "a managed buffer does not count";
    managed->Release();
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
}

TEST_F(VertexBuffers, InjectedFaultsFailTheNamedCallsAndTheTraceShowsThem) {
    platform::RecordCalls(true);
    platform::InjectFault({"IDirect3DDevice9::CreateVertexBuffer", 1, 1, 264});
    for (const char* operation : {"IDirect3DVertexBuffer9::Lock", "IDirect3DVertexBuffer9::Unlock",
                                  "IDirect3DDevice9::SetStreamSource", "IDirect3DDevice9::DrawPrimitive"}) {
        platform::FailCall(operation, 2);
    }
    EXPECT_EQ(nullptr, MakeBuffer(Quad(0, 0, 64, 64, 0.5f))) << "the 264-byte buffer";
    IDirect3DVertexBuffer9* buffer = MakeBuffer(Quad(0, 0, 64, 64, 0.5f));
    ASSERT_NE(nullptr, buffer);
    void* data = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL, buffer->Lock(0, 0, &data, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, buffer->Unlock());
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, buffer, 0, 44));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetStreamSource(0, buffer, 0, 44));
    ASSERT_EQ(D3D_OK, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2));
    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2));
    EXPECT_EQ(0, LitPixels::In(Frame()).count);
    EXPECT_EQ("IDirect3DDevice9::DrawPrimitive(4, 0, 2) -> D3DERR_INVALIDCALL (injected)",
              platform::CallsOf("IDirect3DDevice9::DrawPrimitive").back().Text());
    buffer->Release();
}
