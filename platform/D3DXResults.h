#pragma once
// Result codes of the Direct3D utility library shared by its parts.

#include "platform/Win32Types.h"

/// The data could be read but not understood (an effect that does not compile, an image that does
/// not decode).
constexpr HRESULT D3DXERR_INVALIDDATA = MakeFailure(0x88760B59u);
