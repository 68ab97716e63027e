#include "platform/win32_shell.h"

#include <vector>

#include "platform/win32_handles.h"

namespace qh {

int Win32MessageBoxes::Show(const std::wstring& text, unsigned style)
{
    return ::MessageBoxW(m_owner, text.c_str(), kBoxTitle, style);
}

bool Win32CommandStarter::Start(const std::wstring& commandLine, ShowStyle style)
{
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');  // CreateProcessW may write into the command line
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(style);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

}  // namespace qh
