// Libraries of the system are loaded from the system folder by full path: a
// bare name would let a file of that name beside the program, or in the
// working folder, be loaded in their place.
#pragma once

#include <windows.h>

HMODULE LoadSystemLibrary(const char* name);

// From here on the process looks for libraries, and the libraries they
// need in turn, in the system folder only.
void RestrictLibrarySearch();
