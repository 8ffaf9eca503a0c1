#pragma once
// What a host compiles against: the two functions the library exports, the renderer interface and
// the 2D, font, input and 3D scene interfaces the renderer makes, with the scene's objects and levels.

#include "IOrvalen2D.h"
#include "IOrvalen3D.h"
#include "IOrvalen3DCollisionObject.h"
#include "IOrvalen3DLevelObject.h"
#include "IOrvalen3DObject.h"
#include "IOrvalenFont.h"
#include "IOrvalenInput.h"
#include "IOrvalenRenderer.h"

#include <cstdint>

#define ORVALEN_EXPORT __attribute__((visibility("default")))

extern "C" {

/// Makes a renderer into `*out`, which must be null: 1 success; -1 when `out` is null, `*out` already
/// holds a renderer (left as it was) or no memory could be had (`*out` stays null).
ORVALEN_EXPORT int CreateOrvalenRenderer(std::uint32_t hostContext, IOrvalenRenderer** out);
/// Destroys the renderer in `*handle` and clears the handle: 1 success; -1 when there is none.
/// The renderer's 2D, 3D, font and input interfaces that the host has not destroyed go with it (each
/// logged as its Destroy operation logs it), so pointers the host kept to them dangle afterwards.
ORVALEN_EXPORT int DestroyOrvalenRenderer(IOrvalenRenderer** handle);
}
