// The demo host: makes a window, starts a renderer in it with logging on, sets a viewport, a
// projection and a camera, draws a frame with text and one of 2D shapes and saves what the window
// shows after each, shuts everything down again and prints what it did and the log.
// Usage: orvalen-demo OUTPUT_FOLDER (the log and later the frames are written there).

#include "orvalen.h"
#include "platform/Win32Window.h"
#include "platform/control.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kWindowName = "Orvalen Demo";
constexpr UINT kWidth = 800;
constexpr UINT kHeight = 600;

bool Report(const char* what, bool succeeded) {
    std::printf("%-58s %s\n", what, succeeded ? "ok" : "FAILED");
    return succeeded;
}

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
bool DrawFrame(IOrvalenRenderer* renderer) {
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
    const HWND window = FindWindowA(kWindowName, kWindowName);
    ok = Report("Save out/frame_0000.png",
                platform::SavePng(platform::ReadWindowPixels(window), "frame_0000.png")) &&
         ok;
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
bool DrawShapesFrame(IOrvalenRenderer* renderer) {
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
    const HWND window = FindWindowA(kWindowName, kWindowName);
    ok = Report("Save out/frame_0001.png",
                platform::SavePng(platform::ReadWindowPixels(window), "frame_0001.png")) &&
         ok;
    renderer->DestroyFontInterface();
    renderer->Destroy2DInterface();
    return ok;
}

bool RunRenderer(IOrvalenRenderer* renderer) {
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
    ok = DrawFrame(renderer) && ok;
    return DrawShapesFrame(renderer) && ok;
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
        ok = RunRenderer(renderer);
        ok = Report("DestroyOrvalenRenderer", DestroyOrvalenRenderer(&renderer) == 1) && ok;
    }
    platform::DestroyHostWindow(window);
    ok = Report("Every Direct3D object released", platform::LiveObjectTotal() == 0) && ok;

    std::printf("\n---- %s/log_OrvalenRender.txt ----\n%s", argv[1],
                ReadFile("log_OrvalenRender.txt").c_str());
    return ok ? 0 : 1;
}
