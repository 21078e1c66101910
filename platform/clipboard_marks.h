// The marks programs leave on the clipboard for those who watch it, shared
// by the mouse hook (which keeps and gives back the person's clipboard) and
// the clipboard viewer (which reads what was copied). Windows only.
#pragma once

#include <windows.h>

// A password manager's copy: marked to be kept out of watchers and out of
// the clipboard history. Not ours to read or hold, and their own timed
// clearing must still find it. The clipboard must be open.
bool IsPrivateCopy();

// The registered format that tells clipboard viewers to let a change pass.
UINT ViewerIgnoreFormat();
