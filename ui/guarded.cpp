#include "ui/guarded.h"

#include "res/texts.h"

void ReportOutOfMemory(HWND owner)
{
    MessageBoxA(owner, "メモリが足りないため、この操作を行えませんでした。表はそのままです。",
                TEXT_ERROR_CAPTION, MB_OK | MB_ICONWARNING);
}
