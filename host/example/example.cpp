// A host of its own: a window, a renderer with a stencil buffer, a 3D scene where a cube falls onto a
// static floor for two seconds under one directional light, one frame drawn and saved as example.png,
// the cube's place printed.
#include <orvalen.h>
#include <platform/control.h>

#include <cstdio>

int main() {
    const HWND window = platform::CreateHostWindow("Example", 320, 240);
    IOrvalenRenderer* renderer = nullptr;
    if (window == nullptr || CreateOrvalenRenderer(0, &renderer) != 1 ||
        renderer->Initialize("Example", 320, 240, 0, true, true, false) != 1 || // stencil, windowed, no log
        renderer->Create3DInterface() != 1) {
        return 1;
    }
    IOrvalen3D* scene = renderer->Interface3D;
    scene->SetGravity(0, -10, 0);
    if (!scene->CreateLight(0, 0)) { // slot 0, directional
        return 1;
    }
    scene->SetLightDiffuse(0.6f, 0.6f, 0.6f, 0); // added to the cube's own orange glow
    scene->SetDirection(0.5f, -1, 0.3f, 0);      // down, from the left and the camera's side
    if (!scene->SetLight(0)) {
        return 1;
    }
    IOrvalen3DObject* floor = scene->Cube(10, 1, 10);
    floor->SetCollisionMode(0); // static
    floor->SetPosition(0, -0.5f, 0);
    IOrvalen3DObject* cube = scene->Cube(1, 1, 1);
    cube->SetPosition(0, 3, 0);
    cube->SetMaterialEmissive("default", 0.9f, 0.4f, 0.1f);
    for (int step = 0; step < 120; ++step) {
        scene->Update(1.0f / 60.0f);
    }
    renderer->SetProjection(D3DX_PI / 4, 1, 100);
    renderer->SetCamera(0, 4, -10, 0, 0, 0, 0, 1, 0);
    renderer->Clear(true, true, true, 0xFF87A8C8u);
    renderer->StartRendering();
    scene->Begin3D();
    floor->DrawFlag = cube->DrawFlag = 1;
    scene->Render();
    scene->End3D();
    renderer->EndRendering();
    renderer->ShowScene();
    platform::SavePng(platform::ReadWindowPixels(window), "example.png");
    std::printf("cube at (%.2f, %.2f, %.2f)\n", cube->Position[0], cube->Position[1], cube->Position[2]);
    renderer->Destroy3DInterface(); // its objects go with it
    DestroyOrvalenRenderer(&renderer);
    platform::DestroyHostWindow(window);
}
