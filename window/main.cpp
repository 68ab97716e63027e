#include <windows.h>
#include <commctrl.h>

#include "window/form1.h"

namespace {

// System code loads further DLLs by bare name (uxtheme, dwmapi, propsys...), and Windows looks for
// them in the program's folder first, which is Downloads more often than not: only System32 is
// searched from here on. SetDefaultDllDirectories is looked up at run time, as Windows 7 has it
// only with KB2533623; without it, SetDllDirectoryW(L"") at least takes the current folder out.
void SearchDllsInSystem32Only()
{
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = kernel32 ? reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(
                                           ::GetProcAddress(kernel32, "SetDefaultDllDirectories")))
                                     : nullptr;
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        ::SetDllDirectoryW(L"");
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    SearchDllsInSystem32Only();

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
