#include "system_tool.h"

#include <windows.h>

#include "unix_tools.h"

namespace qh::test {
namespace {

constexpr const wchar_t* kSaved = L".qh-saved";

std::wstring SystemDirectory()
{
    wchar_t buffer[MAX_PATH]{};
    const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Removes a file, or the link or folder tree at the path, from the Unix side (exiftool_files is
// a symbolic link to the package while a test has the real tool installed).
bool RemoveAny(const std::wstring& path)
{
    if (!Exists(path)) {
        return true;
    }
    const auto unixPath = UnixPathOf(path);
    return unixPath && RunUnix({"rm", "-rf", *unixPath}) == 0 && !Exists(path);
}

}  // namespace

std::wstring RealToolFolder()
{
    return WindowsPathOf(QH_EXIFTOOL_PACKAGE_DIR).value_or(L"");
}

ScopedSystemTool::ScopedSystemTool(SystemTool tool) : m_system(SystemDirectory())
{
    const std::wstring exe = m_system + L"\\ExifTool.exe";
    const std::wstring files = m_system + L"\\exiftool_files";
    // An earlier test that was killed may have left its link to the package: it goes as a link.
    // Moved aside like a folder below, Wine would move the package's own folder through it.
    if (const auto unixFiles = UnixPathOf(files)) {
        (void)RunUnix({"find", *unixFiles, "-maxdepth", "0", "-type", "l", "-delete"});
    }
    // An earlier test that was killed may have left its save behind: that one is the original.
    for (const std::wstring& path : {exe, files}) {
        if (Exists(path + kSaved)) {
            if (!RemoveAny(path)) {
                return;
            }
        } else if (Exists(path) && !::MoveFileExW(path.c_str(), (path + kSaved).c_str(), 0)) {
            return;
        }
    }
    if (tool == SystemTool::None) {
        m_ready = !Exists(exe) && !Exists(files);
        return;
    }
    const std::wstring package = RealToolFolder();
    const auto packageFiles = UnixPathOf(package + L"\\exiftool_files");
    const auto link = UnixPathOf(m_system);
    m_ready = !package.empty() && packageFiles && link &&
              ::CopyFileW((package + L"\\exiftool.exe").c_str(), exe.c_str(), TRUE) &&
              RunUnix({"ln", "-s", *packageFiles, *link + "/exiftool_files"}) == 0 &&
              Exists(files + L"\\perl.exe");
}

ScopedSystemTool::~ScopedSystemTool()
{
    for (const std::wstring& path : {m_system + L"\\ExifTool.exe", m_system + L"\\exiftool_files"}) {
        if (Exists(path + kSaved) && RemoveAny(path)) {
            ::MoveFileExW((path + kSaved).c_str(), path.c_str(), 0);
        } else if (!Exists(path + kSaved)) {
            (void)RemoveAny(path);
        }
    }
}

}  // namespace qh::test
