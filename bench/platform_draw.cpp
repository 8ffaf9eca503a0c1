// The stand-in device's stream draws as the 3D scene makes them: a level group of lit, fogged triangles
// made into a default-pool buffer, bound and drawn, with every light on. Triangles are counters.

#include "platform/Direct3D9.h"
#include "platform/control.h"

#include <benchmark/benchmark.h>

#include <bit>
#include <cstring>
#include <vector>

namespace {

struct SceneVertex {
    float x, y, z, nx, ny, nz;
    std::uint32_t colour;
    float u0, v0, u1, v1;
};

constexpr DWORD kSceneFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX2;

void LightAndFog(IDirect3DDevice9* device, int lights) {
    for (int i = 0; i < lights; ++i) {
        D3DLIGHT9 light{};
        light.Type = i % 2 == 0 ? D3DLIGHT_POINT : D3DLIGHT_SPOT;
        light.Diffuse = {1.0f, 0.9f, 0.8f, 1.0f};
        light.Position = {static_cast<float>(i) - 4.0f, 3.0f, 0.0f};
        light.Direction = {0.0f, -1.0f, 1.0f};
        light.Range = 50.0f;
        light.Attenuation0 = 1.0f;
        light.Attenuation2 = 0.01f;
        light.Falloff = 1.0f;
        light.Theta = 0.5f;
        light.Phi = 1.0f;
        device->SetLight(static_cast<DWORD>(i), &light);
        device->LightEnable(static_cast<DWORD>(i), TRUE);
    }
    device->SetRenderState(D3DRS_FOGENABLE, TRUE);
    device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    device->SetRenderState(D3DRS_RANGEFOGENABLE, TRUE);
    device->SetRenderState(D3DRS_FOGEND, std::bit_cast<DWORD>(60.0f));
}

void BM_Direct3DDevice_DrawPrimitiveLit(benchmark::State& state) {
    const auto triangles = static_cast<UINT>(state.range(0));
    const int lights = static_cast<int>(state.range(1));
    HWND window = platform::CreateHostWindow("Bench Window", 256, 256);
    IDirect3D9* direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS parameters{};
    parameters.Windowed = TRUE;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = window;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D24S8;
    IDirect3DDevice9* device = nullptr;
    if (direct3D == nullptr ||
        direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                               D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device) != D3D_OK) {
        state.SkipWithError(direct3D == nullptr ? "no Direct3D" : "no device");
        return;
    }
    // A floor of small triangles ahead of the eye, under a 90-degree perspective.
    const D3DMATRIX perspective{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1.01f, 1}, {0, 0, -1.01f, 0}}};
    device->SetTransform(D3DTS_PROJECTION, &perspective);
    device->SetFVF(kSceneFormat);
    LightAndFog(device, lights);
    std::vector<SceneVertex> vertices;
    for (UINT t = 0; t < triangles; ++t) {
        const float x = static_cast<float>(t % 100) * 0.2f - 10.0f;
        const float z = static_cast<float>(t / 100) * 0.2f + 2.0f;
        vertices.push_back({x, -1, z, 0, 1, 0, 0xFFFFFFFFu, 0, 0, 0, 0});
        vertices.push_back({x, -1, z + 0.2f, 0, 1, 0, 0xFFFFFFFFu, 0, 1, 0, 0});
        vertices.push_back({x + 0.2f, -1, z, 0, 1, 0, 0xFFFFFFFFu, 1, 0, 0, 0});
    }
    const auto length = static_cast<UINT>(vertices.size() * sizeof(SceneVertex));
    device->BeginScene();
    for (auto _ : state) {
        IDirect3DVertexBuffer9* buffer = nullptr;
        void* data = nullptr;
        device->CreateVertexBuffer(length, D3DUSAGE_WRITEONLY, kSceneFormat, D3DPOOL_DEFAULT, &buffer,
                                   nullptr);
        buffer->Lock(0, 0, &data, 0);
        std::memcpy(data, vertices.data(), length);
        buffer->Unlock();
        device->SetStreamSource(0, buffer, 0, sizeof(SceneVertex));
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles);
        buffer->Release();
    }
    device->EndScene();
    state.counters["triangles"] = triangles;
    state.counters["lights"] = lights;
    device->Release();
    direct3D->Release();
    platform::DestroyHostWindow(window);
}
BENCHMARK(BM_Direct3DDevice_DrawPrimitiveLit)
    ->Args({1000, 0})
    ->Args({1000, 8})
    ->Args({10000, 8})
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
