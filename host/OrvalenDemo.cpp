// The demo host: makes a window, starts a renderer in it with logging on, sets a viewport, a
// projection and a camera, draws a frame with text, one of 2D shapes, one of textured quads and a
// render target, one of a lit 3D scene with physics and shadows, one of a textured level and one of the
// whole scene with built and animated objects, saves what the window shows after each, shuts everything
// down again and prints what it did and the log.
// Usage: orvalen-demo OUTPUT_FOLDER (the log and later the frames are written there).

#include "Images.h"
#include "SceneFrames.h"
#include "orvalen.h"
#include "platform/control.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <unistd.h>

bool Report(const char* what, bool succeeded) {
    std::printf("%-58s %s\n", what, succeeded ? "ok" : "FAILED");
    return succeeded;
}

bool SaveFrame(HWND window, const char* file) {
    const std::string what = std::string("Save out/") + file;
    return Report(what.c_str(), platform::SavePng(platform::ReadWindowPixels(window), file));
}

namespace {

constexpr const char* kWindowName = "Orvalen Demo";
constexpr UINT kWidth = 800;
constexpr UINT kHeight = 600;

std::string ReadFile(const char* path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

/// A line of text in two fonts over the window, and a sentence word-wrapped inside the viewport.
bool WriteText(IOrvalenFont* fonts) {
    bool ok = Report("CreateFont 0: DejaVu Serif, 40 high, bold",
                     fonts->CreateFont(0, 40, true, false, "DejaVu Serif", 0));
    ok = Report("CreateFont 1: DejaVu Sans, 26 high, italic",
                fonts->CreateFont(0, 26, false, true, "DejaVu Sans", 1)) &&
         ok;
    fonts->Colour = 0xFFFFFFFFu;
    ok = Report("DrawText \"Orvalen\" with font 0", fonts->DrawText(40, 40, "Orvalen", 0)) && ok;
    fonts->Colour = 0xFFFFD866u;
    ok = Report("DrawText \"writes text in two fonts\" with font 1",
                fonts->DrawText(250, 50, "writes text in two fonts", 1)) &&
         ok;
    fonts->Colour = 0xFF1A2B4Cu;
    return Report("DrawText word-wrapped in the viewport with font 1",
                  fonts->DrawText(230, 180, 340, 240,
                                  "This sentence wraps onto new lines inside the viewport.", 1)) &&
           ok;
}

/// Frame 0: the whole window in one colour, a smaller viewport in another, text over both, presented
/// and saved.
bool DrawFrame(IOrvalenRenderer* renderer, HWND window) {
    bool ok = Report("Clear to dark blue", renderer->Clear(true, true, true, 0xFF1A2B4Cu));
    ok = Report("StartRendering", renderer->StartRendering()) && ok;
    ok = Report("CreateViewport <200, 150>, <600, 450>", renderer->CreateViewport(200, 150, 600, 450)) && ok;
    ok = Report("Clear the viewport to orange", renderer->Clear(true, true, true, 0xFFE08A1Eu)) && ok;
    if (Report("CreateFontInterface", renderer->CreateFontInterface() == 1)) {
        ok = WriteText(renderer->FontInterface) && ok;
    } else {
        ok = false;
    }
    ok = Report("EndRendering", renderer->EndRendering()) && ok;
    ok = Report("ShowScene", renderer->ShowScene()) && ok;
    ok = SaveFrame(window, "frame_0000.png") && ok;
    // The fonts hold the device: the host gives them back before the renderer goes.
    renderer->DestroyFontInterface();
    return ok;
}

/// Every 2D primitive, thin and thick, in screen pixels in the top half and in world space (the
/// plane z = 0 seen from (0, 0, -10)) in the bottom half.
bool DrawShapes(IOrvalen2D* twoD, bool screen) {
    twoD->SetScreenSpace(screen);
    // Screen rows lie at y 90 and 200; world rows show at about y 387 and 517.
    const auto x = [screen](int column) { return screen ? 60.0f + 100.0f * column : -8.8f + 2.5f * column; };
    const float rowA = screen ? 90.0f : -2.4f;
    const float rowB = screen ? 200.0f : -6.0f;
    const float size = screen ? 35.0f : 0.9f;
    const float z = screen ? 0.1f : 0.0f;
    Vertex2D v[34];
    bool ok = true;
    for (const std::int32_t width : {1, 5}) {
        twoD->LineWidth = width;
        const float row = width == 1 ? rowA : rowB;
        const float up = screen ? -size : size; // towards the top of the screen
        twoD->Colour = 0xFFFFFFFFu;
        twoD->MakePoint3D(x(0) - size / 2, row, z, &v[0]);
        twoD->MakePoint3D(x(0), row + up / 2, z, &v[1]);
        twoD->MakePoint3D(x(0) + size / 2, row - up / 2, z, &v[2]);
        ok = twoD->DrawPoints(3, v) && ok;
        twoD->Colour = 0xFFFFD866u;
        twoD->MakeLine3D(x(1) - size, row - up, z, x(1) + size, row + up, z, &v[0]);
        twoD->MakeLine3D(x(1) - size, row, z, x(1) + size, row, z, &v[2]);
        ok = twoD->DrawLines(2, v) && ok;
        twoD->Colour = 0xFF4CC3FFu;
        twoD->MakeRect3D(x(2) - size, row + up, x(2) + size, row - up, z, v);
        ok = twoD->DrawRectangles(1, v) && ok;
        twoD->Colour = 0xFF5BD66Bu;
        twoD->MakeRect3D(x(3) - size, row + up, x(3) + size, row - up, z, v);
        ok = twoD->DrawFilledRectangles(1, v) && ok;
        twoD->Colour = 0xFFFF7A59u;
        twoD->MakeTriangle3D(x(4) - size, row - up, z, x(4), row + up, z, x(4) + size, row - up, z, v);
        ok = twoD->DrawTriangles(1, v) && ok;
        twoD->Colour = 0xFFE05BD6u;
        twoD->MakeTriangle3D(x(5) - size, row - up, z, x(5), row + up, z, x(5) + size, row - up, z, v);
        ok = twoD->DrawFilledTriangles(1, v) && ok;
        twoD->Colour = 0xFFB0E0E6u;
        // The radius is whole units: 35 pixels, or one world unit (about 36 pixels).
        twoD->MakeCircle3D(x(6), row, z, screen ? 35 : 1, 34, v);
        ok = (width == 1 ? twoD->DrawCircle(34, v) : twoD->DrawFilledCircle(34, v)) && ok;
    }
    return ok;
}

/// Frame 1: the 2D primitives in both spaces with a caption, presented and saved.
bool DrawShapesFrame(IOrvalenRenderer* renderer, HWND window) {
    bool ok = Report("SelectViewport 0 (the whole window)", renderer->SelectViewport(0));
    ok = Report("SetCamera from (0, 0, -20) at the origin",
                renderer->SetCamera(0, 0, -20, 0, 0, 0, 0, 1, 0)) &&
         ok;
    // Vertex colours as they are, and both windings: world shapes face either way.
    renderer->SetLighting(false);
    renderer->SetCullMode(0);
    ok = Report("Clear to charcoal", renderer->Clear(true, true, true, 0xFF202428u)) && ok;
    ok = Report("StartRendering", renderer->StartRendering()) && ok;
    if (Report("Create2DInterface", renderer->Create2DInterface() == 1)) {
        IOrvalen2D* twoD = renderer->Interface2D;
        twoD->Begin2D();
        ok = Report("Points, lines, rectangles, triangles, circles in pixels", DrawShapes(twoD, true)) && ok;
        ok = Report("The same in world space", DrawShapes(twoD, false)) && ok;
        twoD->End2D();
    } else {
        ok = false;
    }
    if (Report("CreateFontInterface", renderer->CreateFontInterface() == 1)) {
        IOrvalenFont* fonts = renderer->FontInterface;
        ok = Report("CreateFont 0: DejaVu Sans, 20 high", fonts->CreateFont(0, 20, "DejaVu Sans", 0)) && ok;
        fonts->Colour = 0xFFFFFFFFu;
        ok = Report("DrawText captions",
                    fonts->DrawText(20, 20, "Screen space: thin, then 5 pixels wide", 0) &&
                        fonts->DrawText(20, 320, "World space: thin, then 5 pixels wide", 0)) &&
             ok;
    } else {
        ok = false;
    }
    ok = Report("EndRendering", renderer->EndRendering()) && ok;
    ok = Report("ShowScene", renderer->ShowScene()) && ok;
    ok = SaveFrame(window, "frame_0001.png") && ok;
    renderer->DestroyFontInterface();
    renderer->Destroy2DInterface();
    return ok;
}

/// The demo's own sprite: a yellow disc ringed in dark red with a red corner mark at its top left, on
/// magenta that the colour key takes away.
platform::Image Sprite() {
    return images::Make(64, 64, [](UINT x, UINT y) {
        const float distance = std::hypot(static_cast<float>(x) - 31.5f, static_cast<float>(y) - 31.5f);
        if (x < 14 && y < 14 && x + y < 16) {
            return 0xFFE02020u;
        }
        if (distance < 22.0f) {
            return 0xFFFFD23Fu;
        }
        return distance < 27.0f ? 0xFF8C1C13u : 0xFFFF00FFu;
    });
}

/// Into render target 2, between frames: a teal picture with the sprite turning in world space.
bool DrawIntoTarget(IOrvalenRenderer* renderer, IOrvalen2D* twoD) {
    bool ok = Report("StartRenderToTexture 2", renderer->StartRenderToTexture(2));
    ok = Report("Clear the target to teal", renderer->Clear(true, true, false, 0xFF1F6F78u)) && ok;
    twoD->Begin2D();
    twoD->SetScreenSpace(false);
    twoD->ResetTransform();
    twoD->Rotate(0, 0, 0.5f);
    ok = Report("DrawTexture 6 x 6 world units, turned, keyed sprite", twoD->DrawTexture(6, 6, 0)) && ok;
    twoD->End2D();
    return Report("EndRenderToTexture 2", renderer->EndRenderToTexture(2)) && ok;
}

/// Textured quads in screen pixels: plain and keyed, turned, a batch, a split and a region.
bool DrawQuads(IOrvalen2D* twoD) {
    twoD->Begin2D();
    twoD->SetScreenSpace(true);
    twoD->Colour = 0xFFFFFFFFu;
    bool ok = Report("DrawTextureAt plain sprite at (40, 70)", twoD->DrawTextureAt(40, 70, 128, 128, 1));
    ok = Report("DrawTextureAt keyed sprite at (200, 70)", twoD->DrawTextureAt(200, 70, 128, 128, 0)) && ok;
    twoD->ResetTransform();
    twoD->Rotate(0, 0, 0.6f);
    twoD->Translate(424, 134, 0.1f);
    ok = Report("DrawTexture turned about its centre (424, 134)", twoD->DrawTexture(128, 128, 0)) && ok;
    const float xs[] = {40, 110, 180, 250, 320};
    const float ys[] = {260, 260, 260, 260, 260};
    const float zs[] = {0.1f, 0.1f, 0.1f, 0.1f, 0.1f};
    ok = Report("DrawTextureBatch of 5, turned alike",
                twoD->DrawTextureBatch(xs, ys, zs, 0, 0, -0.4f, 60, 60, 5, 0)) &&
         ok;
    ok = Report("DrawTextureSplit at 0.3 over (40, 380)-(200, 460)",
                twoD->DrawTextureSplit(0.3f, 40, 380, 160, 80, 1.0f)) &&
         ok;
    twoD->ResetTransform();
    twoD->Translate(300, 420, 0.1f);
    ok = Report("DrawTextureRegion: the sprite's top-left quarter",
                twoD->DrawTextureRegion(80, 80, 0, 0, 0.5f, 0.5f, 1)) &&
         ok;
    ok = Report("DrawTextureAt render target 2 at (520, 230)", twoD->DrawTextureAt(520, 230, 256, 256, 2)) &&
         ok;
    twoD->End2D();
    return ok;
}

/// Frame 2: a PNG written here and loaded with and without its colour key, a render target drawn into
/// between frames, and both shown as textured quads with captions, presented and saved.
bool DrawTexturesFrame(IOrvalenRenderer* renderer, HWND window) {
    bool ok = Report("Write out/sprite.png", platform::SavePng(Sprite(), "sprite.png"));
    if (!Report("Create2DInterface", renderer->Create2DInterface() == 1)) {
        return false;
    }
    IOrvalen2D* twoD = renderer->Interface2D;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t depth = 0;
    ok = Report("GetImageInfo sprite.png is 64 x 64 x 1",
                twoD->GetImageInfo("sprite.png", &width, &height, &depth) && width == 64 && height == 64 &&
                    depth == 1) &&
         ok;
    ok = Report("LoadTexture sprite.png keyed on magenta into slot 0",
                twoD->LoadTexture("sprite.png", 0xFF00FF, 0)) &&
         ok;
    ok = Report("LoadTexture sprite.png into slot 1", twoD->LoadTexture("sprite.png", 1)) && ok;
    ok = Report("CreateRenderTarget 256 x 256 in slot 2", twoD->CreateRenderTarget(256, 256, 0, 2)) && ok;
    ok = Report("SetCamera from (0, 0, -10) at the origin",
                renderer->SetCamera(0, 0, -10, 0, 0, 0, 0, 1, 0)) &&
         ok;
    renderer->SetLighting(false);
    renderer->SetCullMode(0);
    ok = Report("SetFilter 3 (linear with linear mips)", renderer->SetFilter(3)) && ok;
    // Keyed texels are transparent black: alpha testing leaves them out.
    renderer->SetAlphaTest(true);
    ok = DrawIntoTarget(renderer, twoD) && ok;
    ok = Report("Clear to slate", renderer->Clear(true, true, true, 0xFF2E3440u)) && ok;
    ok = Report("StartRendering", renderer->StartRendering()) && ok;
    ok = DrawQuads(twoD) && ok;
    if (Report("CreateFontInterface", renderer->CreateFontInterface() == 1)) {
        IOrvalenFont* fonts = renderer->FontInterface;
        ok = Report("CreateFont 0: DejaVu Sans, 18 high", fonts->CreateFont(0, 18, "DejaVu Sans", 0)) && ok;
        fonts->Colour = 0xFFFFFFFFu;
        ok = Report("DrawText captions",
                    fonts->DrawText(40, 30, "Plain, colour-keyed and turned sprites", 0) &&
                        fonts->DrawText(40, 230, "A batch turned alike", 0) &&
                        fonts->DrawText(40, 350, "Split at 0.3, and a region", 0) &&
                        fonts->DrawText(520, 200, "Render target", 0)) &&
             ok;
    } else {
        ok = false;
    }
    ok = Report("EndRendering", renderer->EndRendering()) && ok;
    renderer->SetAlphaTest(false);
    ok = Report("ShowScene", renderer->ShowScene()) && ok;
    ok = SaveFrame(window, "frame_0002.png") && ok;
    renderer->DestroyFontInterface();
    renderer->Destroy2DInterface();
    return ok;
}

/// A floor, a stack of cubes, a sphere and a tube dropped under the scene's gravity and a collision sphere
/// rolled along the floor by a constant force, stepped for 3 s, then drawn under one directional light
/// with every falling object's shadow on the floor.
bool DrawSceneFrame(IOrvalenRenderer* renderer, HWND window) {
    if (!Report("Create3DInterface", renderer->Create3DInterface() == 1)) {
        return false;
    }
    IOrvalen3D* scene = renderer->Interface3D;
    bool ok = Report("SetProjection 45 degrees, planes 1 and 100", renderer->SetProjection(D3DX_PI / 4, 1, 100));
    ok = Report("SetCamera from (4, 9, -14) at (0, 1, 0)", renderer->SetCamera(4, 9, -14, 0, 1, 0, 0, 1, 0)) && ok;
    renderer->SetLighting(true);
    renderer->SetCullMode(2);
    scene->SetGravity(0, -10, 0);
    const float light[3] = {0.5f, -1.0f, 0.3f};
    ok = Report("CreateLight 0: directional, white", scene->CreateLight(0, 0)) && ok;
    scene->SetLightDiffuse(1, 1, 1, 0);
    scene->SetDirection(light[0], light[1], light[2], 0);
    ok = Report("SetLight 0", scene->SetLight(0)) && ok;

    IOrvalen3DObject* floor = scene->Cube(30, 1, 30);
    IOrvalen3DObject* dropped[6] = {};
    for (int i = 0; i < 4; ++i) {
        dropped[i] = scene->Cube(1, 1, 1);
    }
    dropped[4] = scene->Sphere(0.7f);
    dropped[5] = scene->Cylinder(0.5f, 1.5f);
    for (IOrvalen3DObject* object : dropped) {
        ok = object != nullptr && ok;
    }
    if (!Report("Cube floor, four cubes, a sphere and a cylinder", floor != nullptr && ok)) {
        renderer->Destroy3DInterface();
        return false;
    }
    floor->SetCollisionMode(0);
    floor->SetPosition(0, -0.5f, 0);
    floor->SetMaterialEmissive("default", 0.05f, 0.1f, 0.05f);
    for (int i = 0; i < 4; ++i) {
        // A stack leaning a little, so that it stands, or topples, by the physics alone.
        dropped[i]->SetPosition(-2.0f + 0.1f * static_cast<float>(i), 0.55f + 1.05f * static_cast<float>(i), 0);
        dropped[i]->SetMaterialEmissive("default", 0.25f, 0.05f, 0.0f);
    }
    dropped[4]->SetPosition(1.5f, 4, 0);
    dropped[4]->SetMaterialEmissive("default", 0.0f, 0.1f, 0.3f);
    dropped[5]->SetPosition(3.5f, 5, 1.5f);
    dropped[5]->SetMaterialEmissive("default", 0.2f, 0.2f, 0.0f);
    // Each dropped object's touch with the floor is an event, printed the frame it first fires.
    bool printed[6] = {};
    for (int i = 0; i < 6; ++i) {
        ok = scene->RegisterEvent(floor, dropped[i], i) && ok;
    }
    // A collision sphere carrying a bodyless sphere, rolled by 3 N along x: a = 3 / (1 + 1 / 0.25) = 0.6.
    IOrvalen3DCollisionObject* roller = RollingSphere(scene, -4, -4, 3, 0xFFFF00FFu);
    ok = roller != nullptr && ok;
    int steps = 0;
    while (steps < 180 && scene->Update(1.0f / 60.0f)) {
        ++steps;
        if (roller != nullptr && steps % 60 == 0) {
            std::printf("Second %d: rolling sphere at (%.3f, %.3f, %.3f)\n", steps / 60,
                        static_cast<double>(roller->Position[0]), static_cast<double>(roller->Position[1]),
                        static_cast<double>(roller->Position[2]));
        }
        for (int i = 0; i < 6; ++i) {
            if (!printed[i] && scene->CheckEvent(i)) {
                const EventInfo event = scene->GetEvent(i);
                std::printf("Step %3d: event %d fired, objects %u and %u, normal speed %.2f\n", steps, i, event.IdA,
                            event.IdB, static_cast<double>(event.NormalSpeed));
                printed[i] = true;
            }
        }
    }
    ok = Report("Update 180 steps of 1/60 s", steps == 180) && ok;

    ok = Report("Clear to sky blue", renderer->Clear(true, true, true, 0xFF87A8C8u)) && ok;
    ok = Report("StartRendering", renderer->StartRendering()) && ok;
    scene->Begin3D();
    floor->DrawFlag = 1;
    int drawn = 1;
    for (IOrvalen3DObject* object : dropped) {
        object->BuildShadowVolume(light[0], light[1], light[2]);
        object->DrawFlag = 1;
        object->ShadowFlag = 1;
        ++drawn;
    }
    if (roller != nullptr) {
        ok = Report("Draw the rolling sphere", roller->Render()) && ok;
        ++drawn;
    }
    scene->Render();
    scene->End3D();
    ok = Report("EndRendering", renderer->EndRendering()) && ok;
    ok = Report("ShowScene", renderer->ShowScene()) && ok;
    std::printf("Stepped %d objects for %d steps; drew %d objects, %d of them with shadows\n", 8, steps, drawn,
                drawn - 2);
    ok = SaveFrame(window, "frame_0003.png") && ok;
    renderer->Destroy3DInterface();
    return ok;
}

bool RunRenderer(IOrvalenRenderer* renderer, HWND window) {
    char line[128];
    const int started = renderer->Initialize(kWindowName, kWidth, kHeight, 0, true, true, true, 4);
    std::snprintf(line, sizeof line, "Initialize 800x600 windowed, stencil, 4x multisample (%d)", started);
    if (!Report(line, started == 1)) {
        return false;
    }
    bool ok = Report("CreateViewport <0, 0>, <800, 600>", renderer->CreateViewport(0, 0, kWidth, kHeight));
    ok = Report("SetProjection 45 degrees, planes 1 and 1000",
                renderer->SetProjection(D3DX_PI / 4, 1.0f, 1000.0f)) &&
         ok;
    ok = Report("SetCamera from (0, 5, -10) at the origin",
                renderer->SetCamera(0, 5, -10, 0, 0, 0, 0, 1, 0)) &&
         ok;
    const D3DXMATRIX projection = renderer->GetProjectionMatrix();
    std::printf("Projection row 1: %.4f %.4f %.4f %.4f\n", projection(0, 0), projection(0, 1),
                projection(0, 2), projection(0, 3));
    ok = DrawFrame(renderer, window) && ok;
    ok = DrawShapesFrame(renderer, window) && ok;
    ok = DrawTexturesFrame(renderer, window) && ok;
    ok = DrawSceneFrame(renderer, window) && ok;
    ok = DrawLevelFrame(renderer, window) && ok;
    return DrawWholeSceneFrame(renderer, window) && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    if (chdir(argv[1]) != 0) {
        std::fprintf(stderr, "cannot enter %s\n", argv[1]);
        return 2;
    }

    const HWND window = platform::CreateHostWindow(kWindowName, kWidth, kHeight);
    if (!Report("Create window \"Orvalen Demo\" 800x600", window != nullptr)) {
        return 1;
    }
    IOrvalenRenderer* renderer = nullptr;
    bool ok = Report("CreateOrvalenRenderer", CreateOrvalenRenderer(0, &renderer) == 1);
    if (ok) {
        ok = RunRenderer(renderer, window);
        ok = Report("DestroyOrvalenRenderer", DestroyOrvalenRenderer(&renderer) == 1) && ok;
    }
    platform::DestroyHostWindow(window);
    ok = Report("Every Direct3D object released", platform::LiveObjectTotal() == 0) && ok;

    std::printf("\n---- %s/log_OrvalenRender.txt ----\n%s", argv[1],
                ReadFile("log_OrvalenRender.txt").c_str());
    return ok ? 0 : 1;
}
