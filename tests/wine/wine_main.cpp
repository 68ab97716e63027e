// Entry point of the Windows test programs.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "platform/win32_ole.h"
#include "platform/win32_shell.h"

int wmain(int argc, wchar_t** argv)
{
    // As in the program: DLLs from System32 only, so every window test runs with that search.
    qh::SearchDllsInSystem32Only();
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    // As in the program: the window's folder label registers as a drop target.
    const qh::ScopedOleInitialize ole;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
