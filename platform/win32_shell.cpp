#include "platform/win32_shell.h"

#include <vector>

namespace qh {

int Win32MessageBoxes::Show(const std::wstring& text, unsigned style)
{
    return ::MessageBoxW(m_owner, text.c_str(), kBoxTitle, style);
}

UniqueHandle StartProcess(const wchar_t* application, const std::wstring& commandLine, ShowStyle style,
                          const wchar_t* environment, const wchar_t* currentDirectory)
{
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');  // CreateProcessW may write into the command line
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(style);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(application, buffer.data(), nullptr, nullptr, FALSE,
                          environment ? CREATE_UNICODE_ENVIRONMENT : 0,
                          const_cast<wchar_t*>(environment), currentDirectory, &startup, &process)) {
        return UniqueHandle();
    }
    ::CloseHandle(process.hThread);
    return UniqueHandle(process.hProcess);
}

bool Win32CommandStarter::Start(const std::wstring& commandLine, ShowStyle style)
{
    return static_cast<bool>(StartProcess(nullptr, commandLine, style));
}

}  // namespace qh
