// Shows one of the program's dialogs for a while so that it can be looked at
// or photographed on the virtual display: show_dialog ID [MILLISECONDS].
// Not a test: nothing is checked; it ends when the dialog is closed or the
// time is up (default 5000 ms).
#include <windows.h>

#include <cstdlib>

#include "app/about_dialog.h"
#include "res/resource.h"
#include "ui/app_instance.h"

namespace {

const UINT_PTR CloseTimer = 1;

INT_PTR CALLBACK PlainDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

DLGPROC ProcedureOf(int id)
{
    return id == IDD_ABOUT ? AboutDlgProc : PlainDlgProc;
}

int Milliseconds = 5000;
DLGPROC Inner = nullptr;

// Wraps the dialog's own procedure with a timer that presses Esc for us.
INT_PTR CALLBACK TimedDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        SetTimer(dialog, CloseTimer, UINT(Milliseconds), nullptr);
    if (message == WM_TIMER && wParam == CloseTimer) {
        KillTimer(dialog, CloseTimer);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return TRUE;
    }
    return Inner(dialog, message, wParam, lParam);
}

} // namespace

int main(int argc, char** argv)
{
    int id = argc > 1 ? std::atoi(argv[1]) : IDD_ABOUT;
    if (argc > 2)
        Milliseconds = std::atoi(argv[2]);
    LoadLibraryA("riched20.dll"); // templates 152 and 159 use its class
    Inner = ProcedureOf(id);
    INT_PTR result = DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(id), nullptr, TimedDlgProc, 0);
    return int(result);
}
