#pragma once

#include <windows.h>

#include <string>

// The whole text of a window in bytes. The length a control reports may count
// characters rather than bytes, so the buffer grows until the text fits.
std::string ReadWindowText(HWND window);
