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
    // A hidden console program gets no console window at all: the default terminal (Windows
    // Terminal) ignores the hidden style and would show one.
    const DWORD flags = (environment ? CREATE_UNICODE_ENVIRONMENT : 0) | (style == ShowStyle::Hidden ? CREATE_NO_WINDOW : 0);
    if (!::CreateProcessW(application, buffer.data(), nullptr, nullptr, FALSE, flags,
                          const_cast<wchar_t*>(environment), currentDirectory, &startup, &process)) {
        return UniqueHandle();
    }
    ::CloseHandle(process.hThread);
    return UniqueHandle(process.hProcess);
}

std::wstring WindowsDirectoryProgram(const std::wstring& commandLine)
{
    const std::wstring name = commandLine.substr(0, commandLine.find(L' '));
    if (name.empty() || name.find_first_of(L"\\/:\"") != std::wstring::npos) {
        return std::wstring();
    }
    // The system's own Windows folder: GetWindowsDirectoryW may name a per-user one.
    wchar_t folder[MAX_PATH]{};
    const UINT length = ::GetSystemWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::wstring();
    }
    std::wstring path(folder, length);
    if (path.back() != L'\\') {
        path += L'\\';
    }
    return path + name;
}

bool Win32CommandStarter::Start(const std::wstring& commandLine, ShowStyle style)
{
    // By bare name CreateProcessW would look in the program's own folder and the current one
    // first: an explorer.exe lying beside the program in Downloads would run on every link.
    const std::wstring application = WindowsDirectoryProgram(commandLine);
    if (application.empty()) {
        return false;
    }
    return static_cast<bool>(StartProcess(application.c_str(), commandLine, style));
}

void SearchDllsInSystem32Only()
{
    // Looked up at run time: Windows 7 has it only with KB2533623. Without it, SetDllDirectoryW
    // with an empty text at least takes the current folder out of the search.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = kernel32 ? reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(
                                           ::GetProcAddress(kernel32, "SetDefaultDllDirectories")))
                                     : nullptr;
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        ::SetDllDirectoryW(L"");
    }
}

}  // namespace qh
