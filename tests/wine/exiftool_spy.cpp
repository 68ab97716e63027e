// A stand-in ExifTool.exe for the erase tests: it notes the file argument it was given (one
// UTF-8 line per call in the file named by QH_SPY_LOG, with "ok" when the narrow command line,
// as the real tool reads it, says the same as the wide one) and then runs the installed
// ExifTool.exe with the same arguments, returning its exit code. Where copies of it stand in for
// several programs, QH_SPY_WHERE_LOG names a file that gets its own path, one line per call.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& text)
{
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                             nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr,
                          nullptr);
    return bytes;
}

// The command line after the program's own name.
std::wstring Arguments(const wchar_t* line)
{
    const wchar_t* p = line;
    if (*p == L'"') {
        for (++p; *p && *p != L'"'; ++p) {
        }
        if (*p) {
            ++p;
        }
    } else {
        while (*p && *p != L' ' && *p != L'\t') {
            ++p;
        }
    }
    while (*p == L' ' || *p == L'\t') {
        ++p;
    }
    return p;
}

void AppendLine(const wchar_t* logVariable, const std::string& line)
{
    wchar_t logPath[MAX_PATH]{};
    if (!::GetEnvironmentVariableW(logVariable, logPath, MAX_PATH)) {
        return;
    }
    HANDLE log = ::CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ::WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        ::CloseHandle(log);
    }
}

bool NarrowSaysTheSame()
{
    const char* narrow = ::GetCommandLineA();
    const int length = ::MultiByteToWideChar(CP_ACP, 0, narrow, -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, narrow, -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide == ::GetCommandLineW();
}

}  // namespace

int wmain()
{
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    const std::wstring file = argv && argc > 1 ? argv[argc - 1] : L"";
    ::LocalFree(argv);

    AppendLine(L"QH_SPY_LOG", (NarrowSaysTheSame() ? "ok " : "mangled ") + Utf8(file) + "\n");
    wchar_t self[MAX_PATH]{};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    AppendLine(L"QH_SPY_WHERE_LOG", Utf8(self) + "\n");

    wchar_t system[MAX_PATH]{};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring tool = std::wstring(system) + L"\\ExifTool.exe";
    std::wstring commandLine = L"\"" + tool + L"\" " + Arguments(::GetCommandLineW());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(tool.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        return 3;
    }
    ::CloseHandle(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 3;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}
