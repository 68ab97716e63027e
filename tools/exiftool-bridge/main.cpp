// ExifTool.exe for the development Wine prefix. There is no Windows ExifTool there, so this small
// console program stands in for it: it receives its command line as the Windows tool does, in the
// ANSI code page, turns every file argument into a Unix path and runs the system's own exiftool on
// the Unix side, waiting for it and returning its exit code.
//
// Only options (arguments that start with "-") and file paths are expected; an option's separate
// value argument (as after -o or -ext) would be taken for a path. The program only ever calls
// "ExifTool -overwrite_original -all= <file>".
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

// Perl is named explicitly, so neither the script's #! line nor the Unix PATH matters.
constexpr const char* kPerl = "/usr/bin/perl";
constexpr const char* kExifTool = "/usr/bin/exiftool";
// Exit code when the bridge itself cannot run the tool (exiftool's own codes are 0 and 1).
constexpr int kExitCannotRun = 2;

// Wine's exports: a DOS path to a newly allocated Unix path (process heap), and a Unix process
// started from an argv and, with wait set, waited for (its exit code, or an NTSTATUS above 255
// when it could not be started).
using WineGetUnixFileName = char*(__cdecl*)(const wchar_t* dosPath);
using WineUnixSpawnvp = long(__cdecl*)(char* const argv[], int wait);

template <typename Fn>
Fn LookUp(const wchar_t* module, const char* name)
{
    const HMODULE handle = ::GetModuleHandleW(module);
    if (handle == nullptr) {
        return nullptr;
    }
    // The detour through void* keeps the cast from FARPROC free of function-type warnings.
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(handle, name)));
}

std::wstring FromAnsi(const char* text)
{
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1) {
        return {};
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty()) {
        return {};
    }
    const int wideLength = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), wideLength, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::optional<std::string> UnixPathOf(WineGetUnixFileName getUnixFileName, const std::wstring& dosPath)
{
    if (dosPath.empty()) {
        return std::nullopt;
    }
    char* unixPath = getUnixFileName(dosPath.c_str());
    if (unixPath == nullptr) {
        return std::nullopt;
    }
    std::string result(unixPath);
    ::HeapFree(::GetProcessHeap(), 0, unixPath);
    return result;
}

}  // namespace

int main(int argc, char* argv[])
{
    const auto getUnixFileName = LookUp<WineGetUnixFileName>(L"kernel32.dll", "wine_get_unix_file_name");
    const auto unixSpawnvp = LookUp<WineUnixSpawnvp>(L"ntdll.dll", "__wine_unix_spawnvp");
    if (getUnixFileName == nullptr || unixSpawnvp == nullptr) {
        std::fprintf(stderr,
                     "ExifTool (Wine bridge): this program only runs under Wine, where it calls the "
                     "system's %s. Install the Windows ExifTool here instead.\n",
                     kExifTool);
        return kExitCannotRun;
    }

    std::vector<std::string> unixArgs{kPerl, kExifTool};
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = FromAnsi(argv[i]);
        if (!arg.empty() && arg[0] == L'-') {
            unixArgs.push_back(ToUtf8(arg));
            continue;
        }
        // A path Wine cannot convert (a missing folder, a wildcard, a "?" that stood for a
        // character outside the code page) goes on as it is: exiftool then reports that file as
        // not found and fails. It is never matched against other files.
        unixArgs.push_back(UnixPathOf(getUnixFileName, arg).value_or(ToUtf8(arg)));
    }

    std::vector<char*> unixArgv;
    for (std::string& arg : unixArgs) {
        unixArgv.push_back(arg.data());
    }
    unixArgv.push_back(nullptr);

    // Our own buffered output (none so far) must not land after the child's.
    std::fflush(stdout);
    const long status = unixSpawnvp(unixArgv.data(), 1);
    if (status < 0 || status > 255) {
        std::fprintf(stderr, "ExifTool (Wine bridge): cannot start %s %s (status 0x%08lx).\n", kPerl, kExifTool,
                     static_cast<unsigned long>(status));
        return kExitCannotRun;
    }
    return static_cast<int>(status);
}
