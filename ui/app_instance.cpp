#include "ui/app_instance.h"

// Resources are loaded from the executable itself until the main window
// is created and stores the instance it was given.
HINSTANCE AppInstance = GetModuleHandleA(nullptr);
