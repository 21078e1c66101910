#include "ui/rich_edit_wrap.h"

#include <richedit.h>

#include <cstring>

#include "core/cp932_text.h"
#include "core/layout.h"
#include "ui/window_text.h"

void ReplaceSelWhole(HWND control, const char* text)
{
    if (!control)
        return;
    // Bytes count at least as many as characters, so this is always enough.
    LPARAM needed = LPARAM(GetWindowTextLengthA(control)) + LPARAM(strlen(text));
    if (needed > SendMessageA(control, EM_GETLIMITTEXT, 0, 0))
        SendMessageA(control, EM_EXLIMITTEXT, 0, needed);
    SendMessageA(control, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text));
}

namespace {

// Characters taken out at a time when a long text is cleared.
const LRESULT ClearPiece = 4096;

} // namespace

int CRichEditWrap::Create(HINSTANCE instance, HWND parent, int id)
{
    window = CreateWindowExA(WS_EX_CLIENTEDGE, "RICHEDIT", "",
                             WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL |
                                 ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL,
                             0, 0, 0, 0, parent, reinterpret_cast<HMENU>(INT_PTR(id)), instance,
                             nullptr);
    if (window) {
        LRESULT mask = SendMessageA(window, EM_GETEVENTMASK, 0, 0);
        SendMessageA(window, EM_SETEVENTMASK, 0,
                     mask | ENM_KEYEVENTS | ENM_MOUSEEVENTS | ENM_SELCHANGE);
    }
    return 1;
}

void CRichEditWrap::Move(int x, int y, int width, int height)
{
    if (window)
        MoveWindow(window, x, y, width, height, TRUE);
}

void CRichEditWrap::SetBkColor(COLORREF colour)
{
    if (window)
        SendMessageA(window, EM_SETBKGNDCOLOR, 0, colour);
}

void CRichEditWrap::SetTypingLimit(LPARAM characters)
{
    typingLimit = characters;
    if (window)
        SendMessageA(window, EM_EXLIMITTEXT, 0, characters);
}

void CRichEditWrap::ReplaceSel(const char* text)
{
    ShowScrollBarFor(text);
    ReplaceSelWhole(window, text);
}

// A rich edit lays its whole text out again whenever its vertical scroll
// bar comes or goes, and the bar comes only once the text has been laid
// out: a long text going into an empty pane would be laid out twice. When
// the text surely needs the bar, the bar comes first; the pane then keeps
// it, as it would have shown it anyway.
void CRichEditWrap::ShowScrollBarFor(std::string_view text)
{
    if (!window || (GetWindowLongA(window, GWL_STYLE) & WS_VSCROLL) ||
        GetWindowTextLengthA(window) != 0)
        return;
    CHARFORMATA format = {};
    format.cbSize = sizeof format;
    SendMessageA(window, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc)
        ReleaseDC(window, dc);
    int lineHeight = (format.dwMask & CFM_SIZE) ? MulDiv(format.yHeight, dpi, 1440) : 0;
    if (OverflowsSurely(text, lineHeight, client.bottom - client.top))
        ShowScrollBar(window, SB_VERT, TRUE);
}

void CRichEditWrap::ReplaceSelLimited(const char* text)
{
    if (!window)
        return;
    LRESULT limit = SendMessageA(window, EM_GETLIMITTEXT, 0, 0);
    LRESULT room = limit - GetWindowTextLengthA(window);
    if (room <= 0)
        return;
    // Count characters, not bytes, and never cut one in two.
    std::string_view whole = text;
    size_t length = cp932::LengthOfCharacters(whole, size_t(room));
    SendMessageA(window, EM_REPLACESEL, 0,
                 reinterpret_cast<LPARAM>(std::string(whole.substr(0, length)).c_str()));
}

void CRichEditWrap::Clear()
{
    if (!window)
        return;
    RemoveFromTheFront();
    SetWindowTextA(window, "");
    if (typingLimit && SendMessageA(window, EM_GETLIMITTEXT, 0, 0) != typingLimit)
        SendMessageA(window, EM_EXLIMITTEXT, 0, typingLimit);
}

// Some rich edits take text out from its end backwards, finding each
// paragraph they come to from the first one again: the time grows with the
// square of the paragraphs, and a long entry took as long to clear as to
// show. Taken out from the front, piece by piece, each search is short.
// Stops as soon as a piece is not taken, whatever the reason; what is left
// is cleared whole.
void CRichEditWrap::RemoveFromTheFront()
{
    LRESULT left = GetWindowTextLengthA(window);
    while (left > ClearPiece) {
        SendMessageA(window, EM_SETSEL, 0, ClearPiece);
        SendMessageA(window, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
        LRESULT now = GetWindowTextLengthA(window);
        if (now >= left)
            return;
        left = now;
    }
}

void CRichEditWrap::ScrollTop()
{
    if (window)
        SendMessageA(window, WM_VSCROLL, SB_TOP, 0);
}

void CRichEditWrap::Lock()
{
    if (!window)
        return;
    SendMessageA(window, EM_SETREADONLY, TRUE, 0);
    SetFocus(window);
}

void CRichEditWrap::Unlock()
{
    if (!window)
        return;
    SendMessageA(window, EM_SETREADONLY, FALSE, 0);
    SetFocus(window);
}

int CRichEditWrap::TextLength()
{
    length = window ? GetWindowTextLengthA(window) : 0;
    return length;
}

std::string CRichEditWrap::ReadAll()
{
    return ReadWindowText(window);
}
