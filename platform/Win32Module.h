#pragma once
// Module handles of the host operating system's kernel.

#include "platform/Win32Types.h"

/// The module an object belongs to, as DirectInput asks for it.
using HINSTANCE = HMODULE;

/// The loaded module named `moduleName`, or the running program for null; null when no such module
/// is loaded. Takes no reference: the handle stays valid while the module stays loaded.
HMODULE GetModuleHandleA(LPCSTR moduleName);
