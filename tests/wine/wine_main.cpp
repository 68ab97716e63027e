// Entry point of the Windows test programs.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "platform/win32_ole.h"

int wmain(int argc, wchar_t** argv)
{
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    // As in the program: the window's folder label registers as a drop target.
    const qh::ScopedOleInitialize ole;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
