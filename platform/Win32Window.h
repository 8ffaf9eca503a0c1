#pragma once
// Window lookup of the host operating system's user interface.

#include "platform/Win32Types.h"

/// Finds a top-level window whose class name and title match the given ones (null matches any).
/// Windows made through the control API carry one name that serves as both; null when none matches.
HWND FindWindowA(LPCSTR className, LPCSTR windowName);
