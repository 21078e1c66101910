#include "ui/guarded.h"

void ReportOutOfMemory(HWND owner)
{
    MessageBoxA(owner, "メモリが足りないため、この操作を行えませんでした。表はそのままです。",
                "エラー", MB_OK | MB_ICONWARNING);
}
