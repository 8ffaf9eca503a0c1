// The scene object itself: its renderer, gravity and teardown. Begin3D, End3D, the world reset and
// the solver model are not drawn or simulated yet and do nothing.
#include "scene3d/IOrvalen3DD3D.h"

#include "renderer/IOrvalenD3D.h"

IOrvalen3DD3D::~IOrvalen3DD3D() = default;

void IOrvalen3DD3D::SetRenderer(IOrvalenRenderer** renderer) {
    Renderer = renderer != nullptr ? static_cast<IOrvalenD3D*>(*renderer) : nullptr;
}

void IOrvalen3DD3D::SetGravity(float x, float y, float z) {
    // The scene keeps no copy: the force callbacks read the renderer's vector at every step.
    if (Renderer != nullptr) {
        Renderer->Gravity[0] = x;
        Renderer->Gravity[1] = y;
        Renderer->Gravity[2] = z;
    }
}

void IOrvalen3DD3D::Begin3D() {}

void IOrvalen3DD3D::End3D() {}

void IOrvalen3DD3D::ResetWorld() {}

void IOrvalen3DD3D::SetSolverModel(std::int32_t, std::int32_t) {}
