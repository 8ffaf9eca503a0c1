#pragma once
// Drawing into a surface other than the back buffer, from the Direct3D utility library.

#include "platform/Win32Types.h"

/// Draws a scene into a surface with its own depth-stencil buffer.
struct ID3DXRenderToSurface : IUnknown {};
