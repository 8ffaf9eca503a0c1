#pragma once
// Compiled shader effects of the Direct3D utility library.

#include "platform/Win32Types.h"

/// A compiled effect file: its parameters, techniques and passes.
struct ID3DXEffect : IUnknown {};
