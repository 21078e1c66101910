// Turns a PNG image stored in a module's resources into a bitmap.
#pragma once

#include <windows.h>

// Finds the resource of type "PNG" with the given name in `instance` (an
// integer id is passed as MAKEINTRESOURCEA), decodes it and returns a 24-bit
// top-down DIB section of the image's size, which the caller deletes with
// DeleteObject. Transparent parts are laid on white. `flags` must be 0.
// Returns null on any failure.
HBITMAP vkLoadPNGA(HINSTANCE instance, const char* resourceName, int flags);
