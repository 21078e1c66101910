// Looking a word up into the two panes, and the panes as an editor of entries.
#pragma once

#include <windows.h>

// Shows the word in the Key pane and, in the result pane, its Data or the
// entry that follows it in Key order under the candidate heading.
int LookUpWord(const char* word);

void OnInternalSearch(HWND mainWindow);
void OnAddEntry(HWND mainWindow);
void OnDeleteEntry(HWND mainWindow);
