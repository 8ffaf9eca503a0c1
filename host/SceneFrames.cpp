// Frames 4 and 5 of the demo: a textured level with objects fallen onto it, and the whole scene with
// objects built from the demo's own meshes, a static built block, a pulsing key-frame animation and a
// rolling collision sphere.

#include "SceneFrames.h"

#include "BuildMeshes.h"
#include "Images.h"
#include "LevelMeshes.h"
#include "platform/control.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr float kLight[3] = {0.5f, -1.0f, 0.3f};
constexpr float kStep = 1.0f / 60.0f;

/// A square texture whose pixel (x, y) is `colour(x, y)`, written as a PNG file.
template <typename Colour> bool WriteTexture(const char* file, UINT size, Colour colour) {
    return platform::SavePng(images::Make(size, size, colour), file);
}

/// Grass and stone in a checker floor of 24 x 24 units, a plank ramp and a brick wall behind, each
/// material textured from a picture the demo draws itself.
IOrvalen3DLevelObject* BuildLevel(IOrvalen3D* scene) {
    bool ok = WriteTexture("grass.png", 32, [](UINT x, UINT y) {
        return (x * 7 + y * 13) % 5 == 0 ? 0xFF4E9A3Au : 0xFF3C7F2Cu;
    });
    ok = WriteTexture("stone.png", 32, [](UINT x, UINT y) {
        return x % 16 == 0 || y % 16 == 0 ? 0xFF6E6E6Eu : 0xFFA8A49Cu;
    }) && ok;
    ok = WriteTexture("plank.png", 32, [](UINT, UINT y) { return y % 8 == 0 ? 0xFF5A3A1Eu : 0xFFB07A44u; }) && ok;
    ok = WriteTexture("brick.png", 32, [](UINT x, UINT y) {
        const bool mortar = y % 8 == 0 || (x + (y / 8 % 2) * 8) % 16 == 0;
        return mortar ? 0xFFD8D0C0u : 0xFFA8452Eu;
    }) && ok;
    LevelMesh mesh;
    mesh.AddCheckerFloor(6, 4.0f, "grass", "stone");
    mesh.AddRamp(-11.0f, -8.0f, 4.0f, 7.0f, "plank");
    mesh.AddWall(-12.0f, 12.0f, 12.0f, 4.0f, "brick");
    IOrvalen3DLevelObject* level = mesh.Build(*scene);
    ok = Report("Textures written; level of 4 materials built", ok && level != nullptr);
    if (level == nullptr) {
        return nullptr;
    }
    for (const char* name : {"grass", "stone", "plank", "brick"}) {
        ok = level->LoadTexture(name, (std::string(name) + ".png").c_str(), 0) && ok;
    }
    Report("LoadTexture grass, stone, plank, brick", ok);
    // The wall faces away from the light: its own glow keeps the bricks visible.
    level->SetMaterialEmissive("brick", 0.35f, 0.3f, 0.3f);
    return level;
}

/// The 3D interface under a 45-degree projection, the camera above the level's front edge and one
/// white directional light.
IOrvalen3D* StartScene(IOrvalenRenderer* renderer) {
    if (!Report("Create3DInterface", renderer->Create3DInterface() == 1)) {
        return nullptr;
    }
    IOrvalen3D* scene = renderer->Interface3D;
    // Shadow volumes reach a tenth of the far plane: at 100 they end under the floor, out of sight.
    bool ok = renderer->SetProjection(D3DX_PI / 4, 1, 100);
    ok = renderer->SetCamera(3, 13, -24, 0, 0, 2, 0, 1, 0) && ok;
    renderer->SetLighting(true);
    renderer->SetCullMode(2);
    scene->SetGravity(0, -10, 0);
    ok = scene->CreateLight(0, 0) && ok;
    scene->SetLightDiffuse(1, 1, 1, 0);
    scene->SetDirection(kLight[0], kLight[1], kLight[2], 0);
    Report("Projection, camera from (3, 13, -24), directional light", scene->SetLight(0) && ok);
    return scene;
}

/// Cubes, a sphere and a tube dropped onto the floor and the ramp, each in its own glow.
std::vector<IOrvalen3DObject*> DropPrimitives(IOrvalen3D* scene) {
    std::vector<IOrvalen3DObject*> dropped;
    for (int i = 0; i < 3; ++i) {
        dropped.push_back(scene->Cube(1.2f, 1.2f, 1.2f));
        dropped.back()->SetRotation(0, 0.4f * static_cast<float>(i), 0);
        dropped.back()->SetPosition(-2.0f + 2.5f * static_cast<float>(i), 3.0f + static_cast<float>(i), -3.0f);
        dropped.back()->SetMaterialEmissive("default", 0.3f, 0.05f, 0.0f);
    }
    dropped.push_back(scene->Sphere(0.8f));
    dropped.back()->SetPosition(-1.0f, 5.0f, 4.0f);
    dropped.back()->SetMaterialEmissive("default", 0.0f, 0.1f, 0.35f);
    dropped.push_back(scene->Cylinder(0.6f, 1.6f));
    dropped.back()->SetPosition(5.0f, 4.0f, 3.0f);
    dropped.back()->SetMaterialEmissive("default", 0.25f, 0.25f, 0.0f);
    return dropped;
}

bool Step(IOrvalen3D* scene, int steps) {
    int done = 0;
    while (done < steps && scene->Update(kStep)) {
        ++done;
    }
    char line[80];
    std::snprintf(line, sizeof line, "Update %d steps of 1/60 s", steps);
    return Report(line, done == steps);
}

/// The level first, then the objects with the shadows of `casters` falling on it, then `roller` when
/// given, presented and saved.
bool DrawAndSave(IOrvalenRenderer* renderer, IOrvalen3D* scene, IOrvalen3DLevelObject* level,
                 const std::vector<IOrvalen3DObject*>& objects, const std::vector<IOrvalen3DObject*>& casters,
                 HWND window, const char* file, IOrvalen3DCollisionObject* roller = nullptr) {
    bool ok = Report("Clear to sky blue", renderer->Clear(true, true, true, 0xFF87A8C8u));
    ok = Report("StartRendering", renderer->StartRendering()) && ok;
    scene->Begin3D();
    ok = Report("Level Render (culled to the view frustum)", level->Render()) && ok;
    for (IOrvalen3DObject* object : objects) {
        object->DrawFlag = 1;
    }
    for (IOrvalen3DObject* caster : casters) {
        caster->BuildShadowVolume(kLight[0], kLight[1], kLight[2]);
        caster->ShadowFlag = 1;
    }
    scene->Render();
    // The sphere has no texture of its own: drawn right after the level it would take the level's last
    // texture, while the shadow pass leaves stage 0 empty.
    if (roller != nullptr) {
        ok = Report("Draw the rolling collision sphere", roller->Render()) && ok;
    }
    scene->End3D();
    ok = Report("EndRendering", renderer->EndRendering()) && ok;
    ok = Report("ShowScene", renderer->ShowScene()) && ok;
    return SaveFrame(window, file) && ok;
}

/// Two key frames of `mesh`: as built and grown by `growth`.
std::vector<std::vector<Vertex3D>> PulseFrames(const BuildMesh& mesh, float growth) {
    std::vector<std::vector<Vertex3D>> frames(2, mesh.vertices);
    for (Vertex3D& vertex : frames[1]) {
        vertex.x *= growth;
        vertex.y *= growth;
        vertex.z *= growth;
    }
    return frames;
}

} // namespace

IOrvalen3DCollisionObject* RollingSphere(IOrvalen3D* scene, float x, float z, float force, std::uint32_t glow) {
    IOrvalen3DCollisionObject* roller = scene->CollisionSphere(0.5f, 0.5f, 0.5f);
    IOrvalen3DObject* shape = scene->Sphere(0.5f, true);
    if (!Report("Collision sphere carrying a bodyless sphere",
                roller != nullptr && shape != nullptr && roller->LinkObject(shape))) {
        return nullptr;
    }
    const auto channel = [glow](int shift) { return 0.3f * static_cast<float>((glow >> shift) & 0xFF) / 255.0f; };
    shape->SetMaterialEmissive("default", channel(16), channel(8), channel(0));
    roller->ResetTransform();
    roller->SetPosition(x, 0.5f, z);
    roller->Activate();
    roller->SetForce(force, 0, 0);
    return roller;
}

bool DrawLevelFrame(IOrvalenRenderer* renderer, HWND window) {
    IOrvalen3D* scene = StartScene(renderer);
    if (scene == nullptr) {
        return false;
    }
    IOrvalen3DLevelObject* level = BuildLevel(scene);
    bool ok = level != nullptr;
    if (ok) {
        const std::vector<IOrvalen3DObject*> dropped = DropPrimitives(scene);
        ok = Report("Three cubes, a sphere and a cylinder over the level", dropped.size() == 5) && ok;
        ok = Step(scene, 180) && ok;
        ok = DrawAndSave(renderer, scene, level, dropped, dropped, window, "frame_0004.png") && ok;
        scene->DestroyLevel(level);
    }
    renderer->Destroy3DInterface();
    return ok;
}

bool DrawWholeSceneFrame(IOrvalenRenderer* renderer, HWND window) {
    IOrvalen3D* scene = StartScene(renderer);
    if (scene == nullptr) {
        return false;
    }
    IOrvalen3DLevelObject* level = BuildLevel(scene);
    if (level == nullptr) {
        renderer->Destroy3DInterface();
        return false;
    }
    std::vector<IOrvalen3DObject*> casters = DropPrimitives(scene);
    // A crate built from the demo's box mesh with a convex-hull body, red caps and blue sides.
    IOrvalen3DObject* crate = TwoMaterialBox(0.7f, 0.5f, 0.7f).Begin(*scene);
    bool ok = Report("EndObjectBuild: the crate's convex hull", scene->EndObjectBuild(crate));
    crate->SetMaterialEmissive("caps", 0.4f, 0.0f, 0.0f);
    crate->SetMaterialEmissive("sides", 0.0f, 0.0f, 0.4f);
    crate->SetRotation(0.3f, 0.5f, 0.0f);
    crate->SetPosition(-4.5f, 4.0f, 2.0f);
    casters.push_back(crate);
    // A static block of the box mesh whose own triangles are its body, a cube dropped onto it.
    IOrvalen3DObject* block = TwoMaterialBox(1.5f, 1.0f, 1.5f).Begin(*scene);
    ok = Report("EndObjectBuild: the block's static triangles", scene->EndObjectBuild(block, StaticBody{})) && ok;
    block->SetPosition(5.0f, 1.0f, -4.0f);
    block->SetMaterialEmissive("caps", 0.3f, 0.3f, 0.3f);
    IOrvalen3DObject* cube = scene->Cube(1, 1, 1);
    cube->SetPosition(5.2f, 5.0f, -4.1f);
    cube->SetMaterialEmissive("default", 0.3f, 0.2f, 0.0f);
    casters.push_back(cube);
    const bool registered = scene->RegisterEvent(cube, block, 1);
    // A bodiless octahedron pulsing between its two key frames, once a second.
    const BuildMesh octahedron = Octahedron(1.0f);
    IOrvalen3DObject* pulse = octahedron.Begin(*scene);
    ok = Report("EndObjectBuild: a bodiless octahedron", scene->EndObjectBuild(pulse, true)) && ok;
    std::vector<std::vector<Vertex3D>> frames = PulseFrames(octahedron, 1.6f);
    Vertex3D* framePointers[2] = {frames[0].data(), frames[1].data()};
    ok = Report("CreateAnimation of 2 key frames", pulse->CreateAnimation(2, framePointers)) && ok;
    ok = Report("AddAnimation \"pulse\" 0..1", pulse->AddAnimation(0, 1, "pulse")) && ok;
    pulse->SetLooping(true);
    pulse->SetAnimationSpeed(2);
    ok = Report("StartAnimation \"pulse\", looping, 2 frames a second", pulse->StartAnimation("pulse")) && ok;
    pulse->SetPosition(0.0f, 3.0f, 5.0f);
    pulse->SetMaterialEmissive("default", 0.35f, 0.0f, 0.35f);
    casters.push_back(pulse);
    // Active on the level, the sphere slides without friction: a = 1 / 1.
    IOrvalen3DCollisionObject* roller = RollingSphere(scene, -4.0f, -8.0f, 1.0f, 0xFF00FFFFu);
    ok = roller != nullptr && ok;
    // The crate's landing on either floor material is a level event.
    ok = Report("RegisterLevelEvent 2 and 3: the crate on grass, on stone",
                scene->RegisterLevelEvent(level, "grass", crate->GetID(), 2) &&
                    scene->RegisterLevelEvent(level, "stone", crate->GetID(), 3)) &&
         ok;
    // 3.25 s at 2 frames a second ends halfway between the key frames: drawn grown by 1.3.
    ok = Step(scene, 195) && ok;
    std::printf("Event 1 (the cube on the static block): %s\n",
                !registered ? "not registered" : (scene->CheckEvent(1) ? "fired" : "did not fire"));
    for (int id : {2, 3}) {
        std::printf("Level event %d (the crate on %s): %s\n", id, id == 2 ? "grass" : "stone",
                    scene->CheckLevelEvent(id) ? "fired" : "did not fire");
    }
    if (roller != nullptr) {
        std::printf("Rolling sphere at (%.3f, %.3f, %.3f)\n", static_cast<double>(roller->Position[0]),
                    static_cast<double>(roller->Position[1]), static_cast<double>(roller->Position[2]));
    }
    std::vector<IOrvalen3DObject*> objects = casters;
    objects.push_back(block);
    ok = DrawAndSave(renderer, scene, level, objects, casters, window, "frame_0005.png", roller) && ok;
    scene->DestroyLevel(level);
    renderer->Destroy3DInterface();
    return ok;
}
