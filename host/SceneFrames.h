#pragma once
// The demo's frames of levels and whole scenes, and the line each step of the demo prints.

#include "orvalen.h"

/// Prints one step of the demo with "ok" or "FAILED"; gives back `succeeded`.
bool Report(const char* what, bool succeeded);

/// Frame 4: a textured level (a floor in two materials, a ramp and a wall) with lit objects that fell
/// onto it and their shadows on it.
bool DrawLevelFrame(IOrvalenRenderer* renderer);

/// Frame 5: the whole scene: the level, primitives and a built object at rest with their shadows, a
/// static built block, and a bodiless built object pulsing through its key frames; prints the events
/// that fired.
bool DrawWholeSceneFrame(IOrvalenRenderer* renderer);
