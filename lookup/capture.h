// The capture modes: what a clipboard change does, and which hooks run.
#pragma once

#include <windows.h>

enum CaptureModeValue {
    Edit = 0,
    SelectionEdit = 1,
    Search = 2,
};

extern int CaptureMode;
extern int CaptureEnabled;

void SwitchCaptureMode(CaptureModeValue mode);
void OnClipboardChange(HWND mainWindow);
