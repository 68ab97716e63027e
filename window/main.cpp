#include <windows.h>
#include <commctrl.h>

#include "platform/win32_shell.h"
#include "window/form1.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    qh::SearchDllsInSystem32Only();

    // A drive that is not ready lists as empty instead of raising the system's error box.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    qh::Form1 form;
    if (!form.Create(instance)) {
        return 1;
    }
    // The window has a fixed size: a shortcut set to "maximized" shows it normally. Windows takes
    // the first ShowWindow's command from the start-up information whatever is passed, so a
    // window that came up maximized anyway is restored at once.
    const bool maximize = showCommand == SW_SHOWMAXIMIZED || showCommand == SW_MAXIMIZE;
    ::ShowWindow(form.Hwnd(), maximize ? SW_SHOWNORMAL : showCommand);
    if (::IsZoomed(form.Hwnd())) {
        ::ShowWindow(form.Hwnd(), SW_RESTORE);
    }
    ::UpdateWindow(form.Hwnd());
    return qh::Form1::RunMessageLoop(form.Hwnd());
}
