// Start and end of the program: one instance, two window classes, the main
// window and the one message loop.
#include <windows.h>

#include "app/main_window.h"
#include "app/start_table.h"
#include "listwin/list_window.h"
#include "res/resource.h"
#include "ui/app_instance.h"
#include "ui/system_library.h"

namespace {

char AppTitle[100];
char MainClassName[100];
HANDLE InstanceMutex;

// A mutex that cannot be made is someone else's: an instance running
// elevated holds one that this one may not open (access denied), and a
// second instance would read and write its live journal. Only when the
// system has run out of resources does it say nothing about others.
bool AnotherInstanceRuns(HANDLE mutex, DWORD error)
{
    if (mutex)
        return error == ERROR_ALREADY_EXISTS;
    return error != ERROR_NOT_ENOUGH_MEMORY && error != ERROR_OUTOFMEMORY &&
           error != ERROR_NO_SYSTEM_RESOURCES && error != ERROR_COMMITMENT_LIMIT;
}

WNDCLASSEXA ClassRecord(HINSTANCE instance, WNDPROC procedure, int background, int menu,
                        const char* name)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    wc.hbrBackground = GetSysColorBrush(background);
    wc.lpszMenuName = menu ? MAKEINTRESOURCEA(menu) : nullptr;
    wc.lpszClassName = name;
    wc.hIconSm = wc.hIcon;
    return wc;
}

void RegisterMainClass(HINSTANCE instance)
{
    WNDCLASSEXA wc = ClassRecord(instance, MainWndProc, COLOR_BTNFACE, IDR_MAIN_MENU,
                                 MainClassName);
    RegisterClassExA(&wc);
}

ATOM RegisterListClass(HINSTANCE instance)
{
    WNDCLASSEXA wc = ClassRecord(instance, ListWndProc, COLOR_SCROLLBAR, 0, ListClassName);
    return RegisterClassExA(&wc);
}

int CreateMainWindow(HINSTANCE instance, int show)
{
    AppInstance = instance;
    HWND window = CreateWindowExA(0, MainClassName, AppTitle, WS_OVERLAPPEDWINDOW, 0, 0, 248, 350,
                                  nullptr, nullptr, instance, nullptr);
    if (!window)
        return 0;
    ShowWindow(window, show);
    UpdateWindow(window);
    LoadStartTable(window);
    return 1;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int show)
{
    RestrictLibrarySearch();
    LoadStringA(instance, IDS_APP_TITLE, AppTitle, sizeof AppTitle);
    LoadStringA(instance, IDS_MAIN_CLASS, MainClassName, sizeof MainClassName);

    InstanceMutex = CreateMutexA(nullptr, TRUE, AppTitle);
    if (AnotherInstanceRuns(InstanceMutex, GetLastError())) {
        if (InstanceMutex) {
            ReleaseMutex(InstanceMutex);
            CloseHandle(InstanceMutex);
        }
        return 0;
    }
    BeginReadingStartTable();

    RegisterMainClass(instance);
    if (!previous && !RegisterListClass(instance))
        return 0;
    if (!CreateMainWindow(instance, show))
        return 0;

    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    MSG msg = {};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    ReleaseMutex(InstanceMutex);
    CloseHandle(InstanceMutex);
    return int(msg.wParam);
}
