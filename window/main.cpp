#include <windows.h>
#include <commctrl.h>

#include "window/form1.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    // A drive that is not ready lists as empty instead of raising the system's error box.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    qh::Form1 form;
    if (!form.Create(instance)) {
        return 1;
    }
    ::ShowWindow(form.Hwnd(), showCommand);
    ::UpdateWindow(form.Hwnd());
    return qh::Form1::RunMessageLoop(form.Hwnd());
}
