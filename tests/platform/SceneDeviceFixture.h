#pragma once
// A 64 x 64 device with a 24-bit depth and 8-bit stencil buffer, inside a scene, drawing vertices of the
// 3D scene's format (position, normal, colour, two texture pairs) from memory or from a vertex buffer.

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

    void Set(D3DRENDERSTATETYPE state, DWORD value) {
        ASSERT_EQ(D3D_OK, m_device->SetRenderState(state, value));
    }

    /// Positions are pixels (x right, y down) with depth as given.
    void UsePixelProjection() {
        const float s = 2.0f / static_cast<float>(kSide);
        const D3DMATRIX pixels{{{s, 0, 0, 0}, {0, -s, 0, 0}, {0, 0, 1, 0}, {-1, 1, 0, 1}}};
        ASSERT_EQ(D3D_OK, m_device->SetTransform(D3DTS_PROJECTION, &pixels));
    }

    /// A left-handed perspective of 90 degrees from the origin along +z, with its near and far planes.
    void UsePerspective(float nearPlane, float farPlane) {
        const float q = farPlane / (farPlane - nearPlane);
        const D3DMATRIX perspective{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, q, 1}, {0, 0, -nearPlane * q, 0}}};
        ASSERT_EQ(D3D_OK, m_device->SetTransform(D3DTS_PROJECTION, &perspective));
    }

    /// A default-pool buffer holding `vertices`, as the scene makes one; null on failure.
    IDirect3DVertexBuffer9* MakeBuffer(const std::vector<SceneVertex>& vertices,
                                       D3DPOOL pool = D3DPOOL_DEFAULT) {
        IDirect3DVertexBuffer9* buffer = nullptr;
        void* data = nullptr;
        const auto length = static_cast<UINT>(vertices.size() * sizeof(SceneVertex));
        if (FAILED(m_device->CreateVertexBuffer(length, D3DUSAGE_WRITEONLY, kSceneFormat, pool, &buffer,
                                                nullptr))) {
            return nullptr;
        }
        if (FAILED(buffer->Lock(0, 0, &data, 0))) {
            buffer->Release();
            return nullptr;
        }
        std::memcpy(data, vertices.data(), length);
        buffer->Unlock();
        return buffer;
    }

    /// Made, bound, drawn from as a triangle list and released again, as the scene draws a group.
    HRESULT DrawFromBuffer(const std::vector<SceneVertex>& triangles) {
        IDirect3DVertexBuffer9* buffer = MakeBuffer(triangles);
        HRESULT result =
            buffer != nullptr ? m_device->SetStreamSource(0, buffer, 0, sizeof(SceneVertex)) : E_FAIL;
        if (SUCCEEDED(result)) {
            result = m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(triangles.size() / 3));
        }
        if (buffer != nullptr) {
            buffer->Release();
        }
        return result;
    }

    /// Two triangles over [left, right) x [top, bottom) at one depth, clockwise on the screen.
    static std::vector<SceneVertex> Quad(float left, float top, float right, float bottom, float z,
                                         std::uint32_t colour = 0xFFFFFFFFu) {
        const float corners[6][2] = {{left, top},  {right, top},    {left, bottom},
                                     {right, top}, {right, bottom}, {left, bottom}};
        std::vector<SceneVertex> quad;
        for (const auto& [x, y] : corners) {
            quad.push_back({x, y, z, 0, 0, -1, colour});
        }
        return quad;
    }

    platform::Image Frame() const { return platform::ReadBackBuffer(m_device); }

    HWND m_window = nullptr;
    IDirect3D9* m_direct3D = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    D3DPRESENT_PARAMETERS m_parameters{};
};
