#pragma once
// A 64 x 64 device with a 24-bit depth and 8-bit stencil buffer, drawing vertices of the 3D scene's
// format (position, normal, colour, two texture pairs) inside a scene, from memory or from a vertex
// buffer.

#include "TestDevice.h"
#include "platform/Direct3D9.h"
#include "platform/control.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

struct SceneVertex {
    float x, y, z;
    float nx = 0.0f, ny = 0.0f, nz = -1.0f;
    std::uint32_t colour = 0xFFFFFFFFu;
    float u0 = 0.0f, v0 = 0.0f, u1 = 0.0f, v1 = 0.0f;
};
static_assert(sizeof(SceneVertex) == 44);

class SceneDeviceFixture : public ::testing::Test {
protected:
    static constexpr UINT kSide = 64;
    static constexpr DWORD kSceneFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX2;

    void SetUp() override {
        platform::ResetPlatform();
        m_window = platform::CreateHostWindow("Scene Window", kSide, kSide);
        m_direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(nullptr, m_direct3D);
        m_parameters = test_device::Windowed(m_window);
        ASSERT_EQ(D3D_OK, test_device::Create(m_direct3D, m_parameters, &m_device));
        ASSERT_EQ(D3D_OK, m_device->SetFVF(kSceneFormat));
        ASSERT_EQ(D3D_OK, m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE));
        ASSERT_EQ(D3D_OK, m_device->BeginScene());
    }

    void TearDown() override {
        m_device->EndScene();
        m_device->Release();
        m_direct3D->Release();
        platform::DestroyHostWindow(m_window);
        EXPECT_EQ(0, platform::LiveObjectTotal()) << "platform objects leaked";
        platform::ResetPlatform();
    }

    /// Positions are pixels (x right, y down) with depth as given.
    void UsePixelProjection() {
        const float s = 2.0f / static_cast<float>(kSide);
        const D3DMATRIX pixels{{{s, 0, 0, 0}, {0, -s, 0, 0}, {0, 0, 1, 0}, {-1, 1, 0, 1}}};
        ASSERT_EQ(D3D_OK, m_device->SetTransform(D3DTS_PROJECTION, &pixels));
    }

    /// A left-handed perspective of 90 degrees, eye at the origin looking along +z, planes `near` and `far`.
    void UsePerspective(float nearPlane, float farPlane) {
        const float q = farPlane / (farPlane - nearPlane);
        const D3DMATRIX perspective{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, q, 1}, {0, 0, -nearPlane * q, 0}}};
        ASSERT_EQ(D3D_OK, m_device->SetTransform(D3DTS_PROJECTION, &perspective));
    }

    HRESULT DrawFromMemory(D3DPRIMITIVETYPE type, UINT count, const std::vector<SceneVertex>& vertices) {
        return m_device->DrawPrimitiveUP(type, count, vertices.data(), sizeof(SceneVertex));
    }

    /// Through a default-pool buffer made, filled, bound, drawn from and released, as the scene does.
    HRESULT DrawFromBuffer(D3DPRIMITIVETYPE type, UINT count, const std::vector<SceneVertex>& vertices) {
        IDirect3DVertexBuffer9* buffer = MakeBuffer(vertices);
        if (buffer == nullptr) {
            return E_FAIL;
        }
        HRESULT result = m_device->SetStreamSource(0, buffer, 0, sizeof(SceneVertex));
        if (SUCCEEDED(result)) {
            result = m_device->DrawPrimitive(type, 0, count);
        }
        buffer->Release();
        return result;
    }

    IDirect3DVertexBuffer9* MakeBuffer(const std::vector<SceneVertex>& vertices,
                                       D3DPOOL pool = D3DPOOL_DEFAULT) {
        IDirect3DVertexBuffer9* buffer = nullptr;
        const auto length = static_cast<UINT>(vertices.size() * sizeof(SceneVertex));
        if (FAILED(m_device->CreateVertexBuffer(length, D3DUSAGE_WRITEONLY, kSceneFormat, pool, &buffer,
                                                nullptr))) {
            return nullptr;
        }
        void* data = nullptr;
        if (FAILED(buffer->Lock(0, 0, &data, 0))) {
            buffer->Release();
            return nullptr;
        }
        std::memcpy(data, vertices.data(), length);
        buffer->Unlock();
        return buffer;
    }

    /// Two triangles covering [left, right) x [top, bottom) at one depth, all corners alike but place.
    static std::vector<SceneVertex> Quad(float left, float top, float right, float bottom, float z,
                                         SceneVertex like = {0, 0, 0}) {
        std::vector<SceneVertex> quad(6, like);
        const float corners[6][2] = {{left, top},  {right, top},    {left, bottom},
                                     {right, top}, {right, bottom}, {left, bottom}};
        for (int i = 0; i < 6; ++i) {
            quad[i].x = corners[i][0];
            quad[i].y = corners[i][1];
            quad[i].z = z;
        }
        return quad;
    }

    platform::Image Frame() const { return platform::ReadBackBuffer(m_device); }

    HWND m_window = nullptr;
    IDirect3D9* m_direct3D = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    D3DPRESENT_PARAMETERS m_parameters{};
};
