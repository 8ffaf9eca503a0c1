#pragma once
// The demo's frames of levels and whole scenes, and the line each step of the demo prints.

#include "orvalen.h"

#include <cstdint>

/// Prints one step of the demo with "ok" or "FAILED"; gives back `succeeded`.
bool Report(const char* what, bool succeeded);

/// Saves what `window` shows as the PNG file `file` in the output folder, reported.
bool SaveFrame(HWND window, const char* file);

/// A collision sphere of radius 0.5 at (x, 0.5, z) carrying a bodiless sphere glowing in 30% of the
/// RGB of `glow`, activated and pushed along x by `force`; null, reported, when it cannot be made.
IOrvalen3DCollisionObject* RollingSphere(IOrvalen3D* scene, float x, float z, float force, std::uint32_t glow);

/// Frame 4: a textured level (a floor in two materials, a ramp and a wall) with lit objects that fell
/// onto it and their shadows on it.
bool DrawLevelFrame(IOrvalenRenderer* renderer, HWND window);

/// Frame 5: the whole scene: the level, primitives and a built object at rest with their shadows, a
/// static built block, a bodiless built object pulsing through its key frames and a rolling collision
/// sphere; prints the events that fired.
bool DrawWholeSceneFrame(IOrvalenRenderer* renderer, HWND window);
