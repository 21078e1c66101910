// The module every window is created from and every resource is loaded from.
#pragma once

#include <windows.h>

extern HINSTANCE AppInstance;
