#pragma once
// The 2D interface the host holds: points, lines, rectangles, triangles, circles and textured quads in
// world space or in screen pixels. The host calls it through the virtual table, so the order of the
// operations below is part of the interface; overloads stand next to each other.

#include <cstddef>
#include <cstdint>

class IOrvalenRenderer;

/// The vertex of the primitive drawers (28 bytes, vertex format 0x52: position, normal, diffuse).
struct Vertex2D {
    float Position[3] = {0.0f, 0.0f, 0.0f}; ///< world coordinates, or pixels and depth in screen space
    float Normal[3] = {0.0f, 0.0f, -1.0f};  ///< for the device's lighting
    std::uint32_t Diffuse = 0x00FFFFFF;     ///< ARGB
};
static_assert(sizeof(Vertex2D) == 28);
static_assert(offsetof(Vertex2D, Position) == 0);
static_assert(offsetof(Vertex2D, Normal) == 12);
static_assert(offsetof(Vertex2D, Diffuse) == 24);

/// The vertex of the textured quads (36 bytes, vertex format 0x152: a Vertex2D and one texture pair).
struct TexturedVertex2D {
    float Position[3] = {0.0f, 0.0f, 0.0f};
    float Normal[3] = {0.0f, 0.0f, -1.0f};
    std::uint32_t Diffuse = 0x00FFFFFF; ///< ARGB
    float U = 0.0f;
    float V = 0.0f;
};
static_assert(sizeof(TexturedVertex2D) == 36);
static_assert(offsetof(TexturedVertex2D, Position) == 0);
static_assert(offsetof(TexturedVertex2D, Normal) == 12);
static_assert(offsetof(TexturedVertex2D, Diffuse) == 24);
static_assert(offsetof(TexturedVertex2D, U) == 28);
static_assert(offsetof(TexturedVertex2D, V) == 32);

class IOrvalen2D {
public:
    /// ARGB colour the Make operations and the textured quads give every vertex they write.
    std::uint32_t Colour = 0xFFFFFFFF;
    /// Pen width in pixels of the primitive drawers; above 1 they build filled geometry that wide.
    std::int32_t LineWidth = 1;
    /// Coordinates of every drawing operation: false world space; true pixels of the render target
    /// (origin top left, y down) with z a depth between 0 and 1.
    bool ScreenSpace = false;

    /// Releases every texture and render target.
    virtual ~IOrvalen2D() = default;
    /// Keeps `*renderer`, through whose device everything is drawn.
    virtual void SetRenderer(IOrvalenRenderer** renderer) = 0;
    virtual void SetScreenSpace(bool on) = 0;
    /// Sets the device's world transform to the identity and its vertex format to Vertex2D's.
    virtual void Begin2D() = 0;
    virtual void End2D() = 0;

    // Fill the caller's vertices with positions and `Colour`, leaving normals alone. The forms without
    // 3D write z = 0.1. False only for a null array (and for a circle of fewer than three vertices).
    virtual bool MakePoint3D(float x, float y, float z, Vertex2D* out) = 0;
    virtual bool MakePoint(float x, float y, Vertex2D* out) = 0;
    virtual bool MakeLine3D(float x1, float y1, float z1, float x2, float y2, float z2, Vertex2D* out) = 0;
    virtual bool MakeLine(float x1, float y1, float x2, float y2, Vertex2D* out) = 0;
    /// Four corners in strip order: (x1, y1), (x2, y1), (x1, y2), (x2, y2).
    virtual bool MakeRect3D(float x1, float y1, float x2, float y2, float z, Vertex2D* out) = 0;
    virtual bool MakeRect(float x1, float y1, float x2, float y2, Vertex2D* out) = 0;
    virtual bool MakeTriangle3D(float x1, float y1, float z1, float x2, float y2, float z2, float x3,
                                float y3, float z3, Vertex2D* out) = 0;
    virtual bool MakeTriangle(float x1, float y1, float x2, float y2, float x3, float y3, Vertex2D* out) = 0;
    /// `count` vertices: the centre, then a closed rim of count - 1 vertices whose last repeats its
    /// first (count - 2 segments), counter-clockwise in x-y from the angle of one segment.
    virtual bool MakeCircle3D(float cx, float cy, float z, std::int32_t radius, std::int32_t count,
                              Vertex2D* out) = 0;
    virtual bool MakeCircle(float cx, float cy, std::int32_t radius, std::int32_t count, Vertex2D* out) = 0;

    // Draw `count` items (points, segments of 2 vertices, rectangles of 4 in MakeRect order, triangles
    // of 3) or, for circles, one MakeCircle array of `count` vertices. True when everything was drawn.
    virtual bool DrawPoints(std::int32_t count, const Vertex2D* points) = 0;
    virtual bool DrawLines(std::int32_t count, const Vertex2D* ends) = 0;
    virtual bool DrawRectangles(std::int32_t count, const Vertex2D* corners) = 0;
    virtual bool DrawFilledRectangles(std::int32_t count, const Vertex2D* corners) = 0;
    virtual bool DrawTriangles(std::int32_t count, const Vertex2D* corners) = 0;
    virtual bool DrawFilledTriangles(std::int32_t count, const Vertex2D* corners) = 0;
    virtual bool DrawCircle(std::int32_t count, const Vertex2D* fan) = 0;
    virtual bool DrawFilledCircle(std::int32_t count, const Vertex2D* fan) = 0;

    // The 2D transform of the textured quads; each operation acts after those before it.
    virtual void ResetTransform() = 0;
    virtual void Translate(float x, float y, float z) = 0;
    /// Turns by x + y + z radians about the axis (x, y, z): Rotate(0, 0, a) is the 2D rotation by a.
    virtual void Rotate(float x, float y, float z) = 0;
    virtual void Scale(float x, float y, float z) = 0;

    // Texture slots 0 to 999: image files, render targets.
    virtual bool LoadTexture(const char* file, std::int32_t slot) = 0;
    virtual bool LoadTexture(const char* file, std::uint32_t colourKey, std::int32_t slot) = 0;
    virtual bool LoadTextureUnfiltered(const char* file, std::uint32_t colourKey, std::int32_t slot) = 0;
    virtual void DestroyTexture(std::int32_t slot) = 0;
    virtual bool CreateRenderTarget(std::uint32_t width, std::uint32_t height, std::uint32_t reserved,
                                    std::int32_t slot) = 0;
    virtual void DestroyRenderTarget(std::int32_t slot) = 0;
    virtual bool GetImageInfo(const char* file, std::uint32_t* width, std::uint32_t* height,
                              std::uint32_t* depth) = 0;

    // Textured quads.
    virtual bool DrawTexture(float width, float height, float z, std::int32_t slot) = 0;
    virtual bool DrawTexture(float width, float height, std::int32_t slot) = 0;
    virtual bool DrawTextureAt(float x, float y, float z, float width, float height, std::int32_t slot) = 0;
    virtual bool DrawTextureAt(float x, float y, float width, float height, std::int32_t slot) = 0;
    virtual bool DrawTextureBatch(const float* xs, const float* ys, const float* zs, float rotateX,
                                  float rotateY, float rotateZ, float width, float height,
                                  std::uint32_t count, std::int32_t slot) = 0;
    virtual bool DrawTextureRegion(float width, float height, float uLeft, float vTop, float uRight,
                                   float vBottom, std::int32_t slot) = 0;
    virtual bool DrawTextureSplit(float fraction, float x, float y, float width, float height,
                                  float slot) = 0;
    virtual bool SetTexture(std::int32_t slot) = 0;
    virtual bool UnsetTexture() = 0;
};
