#pragma once
// Services of the host operating system's kernel that the renderer uses.

#include "platform/Win32Types.h"

/// Suspends the calling thread for at least `milliseconds`.
void Sleep(DWORD milliseconds);
