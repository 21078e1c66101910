// A copy of everything on the clipboard that can be put back later: the mouse
// hook keeps one before its own Ctrl+C, so that the person's clipboard can be
// given back once the copied selection has been used.
//
// Kept: every format whose data is global memory (the text formats, CF_LOCALE,
// CF_DIB and CF_DIBV5, CF_HDROP file lists, CF_SYLK, CF_DIF, CF_TIFF, CF_RIFF,
// CF_WAVE, CF_PENDATA, CF_DSPTEXT and the registered formats), bitmaps
// (CF_BITMAP, CF_DSPBITMAP), CF_PALETTE, enhanced metafiles (CF_ENHMETAFILE,
// CF_DSPENHMETAFILE) and metafile pictures (CF_METAFILEPICT,
// CF_DSPMETAFILEPICT). Formats rendered on request are taken as long as the
// whole copy stays within its time.
// Not kept: CF_OWNERDISPLAY (its owner paints it and is gone once the copy
// replaces it), and the private and GDI-object ranges, whose handles mean
// something only to the program that put them there.
#pragma once

#include <windows.h>

#include <vector>

class ClipboardSnapshot {
public:
    enum class TakeResult {
        Taken,       // everything that can be kept, or an empty clipboard
        Busy,        // another window has the clipboard open
        Private,     // a password manager's copy: not ours to keep
        NothingKept, // it holds only formats that cannot be kept
        TooSlow,     // its owner did not render within the time, or memory ran out
    };
    enum class PutResult {
        PutBack,
        Busy,      // another window has the clipboard open: kept for another try
        OwnerHung, // emptying it would wait on a program that does not answer
    };

    ClipboardSnapshot() = default;
    ~ClipboardSnapshot();
    ClipboardSnapshot(const ClipboardSnapshot&) = delete;
    ClipboardSnapshot& operator=(const ClipboardSnapshot&) = delete;

    // Replaces what was kept with the clipboard's content now, opening the
    // clipboard for the window. Nothing is kept unless the result is Taken.
    TakeResult Take(HWND window, DWORD withinMs);
    // Empties the clipboard and puts back what was kept, marked for viewers
    // to ignore (an empty clipboard stays empty, unmarked). The data then
    // belongs to the system; otherwise it is still kept. The clipboard's
    // owner has `withinMs` to show it answers.
    PutResult PutBack(HWND window, DWORD withinMs);
    void Clear();

private:
    struct Item {
        UINT format;
        HANDLE data;
    };
    static void Free(const Item& item);

    std::vector<Item> items_;
};
