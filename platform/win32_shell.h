// Win32 implementations of the shell services in shell_ports.h.
#pragma once

#include <windows.h>

#include <string>

#include "platform/shell_ports.h"
#include "platform/win32_handles.h"

namespace qh {

class Win32MessageBoxes final : public MessageBoxes {
public:
    explicit Win32MessageBoxes(HWND owner) : m_owner(owner) {}
    int Show(const std::wstring& text, unsigned style) override;

private:
    HWND m_owner;
};

// Starts a process with its window in the given style, not waiting for it; the thread handle is
// closed at once. application, environment (a CREATE_UNICODE_ENVIRONMENT block) and
// currentDirectory may be null for the caller's own. Returns the process, empty on failure.
[[nodiscard]] UniqueHandle StartProcess(const wchar_t* application, const std::wstring& commandLine, ShowStyle style,
                                        const wchar_t* environment = nullptr,
                                        const wchar_t* currentDirectory = nullptr);

// The program that a command line names by bare name (as in "explorer.exe <address>"), as a full
// path in the Windows directory; empty when the command names no such program.
[[nodiscard]] std::wstring WindowsDirectoryProgram(const std::wstring& commandLine);

// Starts the commands' programs from the Windows directory only.
class Win32CommandStarter final : public CommandStarter {
public:
    [[nodiscard]] bool Start(const std::wstring& commandLine, ShowStyle style) override;
};

// System code loads further DLLs by bare name (uxtheme, dwmapi, propsys...), and Windows looks for
// them in the program's folder first, which is Downloads more often than not: from this call on,
// only System32 is searched. The program's first statement.
void SearchDllsInSystem32Only();

}  // namespace qh
