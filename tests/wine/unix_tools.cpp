#include "unix_tools.h"

#include <windows.h>

#include <array>

#include "test_folder.h"

namespace qh::test {
namespace {

// Wine's own exports (see tools/exiftool-bridge): absent on Windows.
using WineGetUnixFileName = char*(__cdecl*)(const wchar_t* dosPath);
using WineGetDosFileName = wchar_t*(__cdecl*)(const char* unixPath);
using WineUnixSpawnvp = long(__cdecl*)(char* const argv[], int wait);

template <typename Fn>
Fn LookUp(const wchar_t* module, const char* name)
{
    const HMODULE handle = ::GetModuleHandleW(module);
    return handle == nullptr ? nullptr : reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(handle, name)));
}

// What MakeTaggedPhoto writes, as exiftool reads it back.
constexpr std::array<const char*, 9> kPhotoTags = {
    "EXIF:GPSLatitude", "EXIF:GPSLongitude", "EXIF:Make",    "EXIF:Model",  "EXIF:DateTimeOriginal",
    "XMP:Creator",      "IPTC:Keywords",     "File:Comment", "PNG:Comment",
};

}  // namespace

std::string Utf8(const std::wstring& text)
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

std::wstring FromUtf8(const std::string& text)
{
    if (text.empty()) {
        return {};
    }
    const int narrowLength = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), narrowLength, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), narrowLength, wide.data(), length);
    return wide;
}

std::optional<std::string> UnixPathOf(const std::wstring& windowsPath)
{
    const auto convert = LookUp<WineGetUnixFileName>(L"kernel32.dll", "wine_get_unix_file_name");
    char* unixPath = convert == nullptr ? nullptr : convert(windowsPath.c_str());
    if (unixPath == nullptr) {
        return std::nullopt;
    }
    std::string result(unixPath);
    ::HeapFree(::GetProcessHeap(), 0, unixPath);
    return result;
}

std::optional<std::wstring> WindowsPathOf(const std::string& unixPath)
{
    const auto convert = LookUp<WineGetDosFileName>(L"kernel32.dll", "wine_get_dos_file_name");
    wchar_t* windowsPath = convert == nullptr ? nullptr : convert(unixPath.c_str());
    if (windowsPath == nullptr) {
        return std::nullopt;
    }
    std::wstring result(windowsPath);
    ::HeapFree(::GetProcessHeap(), 0, windowsPath);
    return result;
}

std::optional<int> RunUnix(const std::vector<std::string>& argv)
{
    const auto spawn = LookUp<WineUnixSpawnvp>(L"ntdll.dll", "__wine_unix_spawnvp");
    if (spawn == nullptr || argv.empty()) {
        return std::nullopt;
    }
    std::vector<std::string> args = argv;
    std::vector<char*> pointers;
    for (std::string& arg : args) {
        pointers.push_back(arg.data());
    }
    pointers.push_back(nullptr);
    // The exit code when waited for; an NTSTATUS (negative as a long) when it could not start.
    const long status = spawn(pointers.data(), 1);
    if (status < 0 || status > 255) {
        return std::nullopt;
    }
    return static_cast<int>(status);
}

std::optional<UnixResult> RunUnixCapture(const std::vector<std::string>& argv)
{
    wchar_t folder[MAX_PATH];
    wchar_t file[MAX_PATH];
    if (::GetTempPathW(MAX_PATH, folder) == 0 || ::GetTempFileNameW(folder, L"qhu", 0, file) == 0) {
        return std::nullopt;
    }
    std::optional<UnixResult> result;
    if (const auto unixFile = UnixPathOf(file)) {
        // The output file and the command go in as arguments, so nothing needs shell quoting.
        std::vector<std::string> shell{"/bin/sh", "-c", "out=$1; shift; exec \"$@\" >\"$out\"", "sh", *unixFile};
        shell.insert(shell.end(), argv.begin(), argv.end());
        if (const auto exitCode = RunUnix(shell)) {
            result = UnixResult{*exitCode, ReadAll(file)};
        }
    }
    ::DeleteFileW(file);
    return result;
}

std::optional<TagMap> ReadTags(const std::wstring& windowsPath)
{
    const auto unixPath = UnixPathOf(windowsPath);
    if (!unixPath) {
        return std::nullopt;
    }
    const auto result = RunUnixCapture({"exiftool", "-args", "-G", "-a", *unixPath});
    if (!result || result->exitCode != 0) {
        return std::nullopt;
    }
    // One "-Group:Name=Value" per line.
    TagMap tags;
    size_t start = 0;
    while (start < result->output.size()) {
        size_t end = result->output.find('\n', start);
        if (end == std::string::npos) {
            end = result->output.size();
        }
        const std::string line = result->output.substr(start, end - start);
        const size_t equals = line.find('=');
        if (line.size() > 1 && line[0] == '-' && equals != std::string::npos) {
            tags.emplace(line.substr(1, equals - 1), line.substr(equals + 1));
        }
        start = end + 1;
    }
    return tags;
}

bool MakeTaggedPhoto(const std::wstring& windowsPath)
{
    const auto unixPath = UnixPathOf(windowsPath);
    if (!unixPath) {
        return false;
    }
    const bool png = windowsPath.size() > 4 && ::lstrcmpiW(windowsPath.c_str() + windowsPath.size() - 4, L".png") == 0;
    // ImageMagick writes to standard output: it would read "%d" or "[...]" in a file name as a
    // pattern of its own.
    const std::string script =
        "convert -size 96x64 gradient:'#2b6cb0'-'#f6e05e' \"$2:-\" >\"$1\" && "
        "exec exiftool -q -q -overwrite_original"
        " -GPSLatitude=31.2304 -GPSLatitudeRef=N -GPSLongitude=121.4737 -GPSLongitudeRef=E"
        " -Make=QingHe -Model='QH Test Camera' '-DateTimeOriginal=2021:05:01 10:20:30'"
        " '-XMP-dc:Creator=青禾 测试' -IPTC:Keywords=sample '-Comment=sample photo 示例' \"$1\"";
    const auto exitCode = RunUnix({"/bin/sh", "-c", script, "sh", *unixPath, png ? "png" : "jpg"});
    return exitCode == 0;
}

std::vector<std::string> PhotoTagsIn(const TagMap& tags)
{
    std::vector<std::string> found;
    for (const char* tag : kPhotoTags) {
        if (tags.count(tag) != 0) {
            found.emplace_back(tag);
        }
    }
    return found;
}

}  // namespace qh::test
