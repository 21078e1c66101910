#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Writes text into an edit or rich edit control in place of its selection,
// whole: where the text would not fit the control's limit, the limit is
// raised first, since some systems stop the text at the limit. Typing is not
// limited by that any further than the text itself goes.
void ReplaceSelWhole(HWND control, const char* text);

class CRichEditWrap {
public:
    HWND window = nullptr;
    int length = 0; // the last result of TextLength
    // What the person may type or paste, in characters; a stored text that
    // is longer raises it until the pane is cleared.
    LPARAM typingLimit = 0;

    int Create(HINSTANCE instance, HWND parent, int id);
    void Move(int x, int y, int width, int height);
    void SetBkColor(COLORREF colour);
    void SetTypingLimit(LPARAM characters);
    // Text from the table: always written whole.
    void ReplaceSel(const char* text);
    // ReplaceSel of no more characters than the pane's limit leaves room for:
    // for text from outside, which may be of any size.
    void ReplaceSelLimited(const char* text);
    void Clear();
    void ScrollTop();
    void Lock();
    void Unlock();
    int TextLength();
    // The whole text in bytes, however the pane counts its length.
    std::string ReadAll();

private:
    void ShowScrollBarFor(std::string_view text);
    void RemoveFromTheFront();
};
