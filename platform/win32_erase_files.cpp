#include "platform/win32_erase_files.h"

#include <vector>

#include "erase/environment_block.h"
#include "erase/exif_script.h"
#include "erase/tool_place.h"
#include "platform/win32_paths.h"
#include "platform/win32_pump.h"
#include "platform/win32_shell.h"

namespace qh {
namespace {

// On Windows (not in Wine) cmd.exe then looks for "ExifTool" on PATH only, not first in the
// photo folder, where a file of that name could stand in for the tool.
constexpr const wchar_t* kNoCurrentDirectoryVariable = L"NoDefaultCurrentDirectoryInExePath";

std::wstring SystemDirectory()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    UINT length = ::GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = ::GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    }
    return length > 0 && length < buffer.size() ? std::wstring(buffer.data(), length) : std::wstring();
}

// A handle the run keeps open: a held script or folder.
class Win32Hold final : public FileHold {
public:
    explicit Win32Hold(UniqueFile handle) : m_handle(std::move(handle)) {}

private:
    UniqueFile m_handle;
};

// The "Prevent access to the command prompt" policy with scripts disabled too (value 1): cmd.exe
// then runs no batch file at all.
bool CommandInterpreterDisabled()
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    return ::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Policies\\Microsoft\\Windows\\System", L"DisableCMD",
                          RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS &&
           value == 1;
}

}  // namespace

std::optional<std::wstring> Win32EraseFileSystem::Environment(const std::wstring& name)
{
    const DWORD size = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (size == 0) {
        return std::nullopt;
    }
    std::wstring value(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(name.c_str(), value.data(), size);
    if (length == 0 || length >= size) {
        return std::nullopt;
    }
    value.resize(length);
    return value;
}

std::optional<std::uint64_t> Win32EraseFileSystem::FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return std::nullopt;
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool Win32EraseFileSystem::Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::string> Win32EraseFileSystem::ReadSmallFile(const std::wstring& path, std::size_t maxBytes)
{
    return qh::ReadSmallFile(path, maxBytes);
}

EraseFileSystem::HeldFile Win32EraseFileSystem::CreateHeldFile(const std::wstring& path, const std::string& bytes)
{
    {
        // CREATE_NEW: a file someone else put there is never written into.
        UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            const DWORD error = ::GetLastError();
            return {error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateResult::Exists
                                                                                : CreateResult::OpenFailed, nullptr};
        }
        DWORD written = 0;
        if (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size() || !::CloseHandle(file.Release())) {
            return {CreateResult::WriteFailed, nullptr};
        }
    }
    // The hold reads and shares reading only: cmd.exe gets in whatever else it asks for, as long
    // as it lets readers in, and nobody can write, truncate, delete or rename the file meanwhile.
    // Between the close above and this open another process could have written into it: what
    // is held is read back and compared.
    UniqueFile held(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!held) {
        return {CreateResult::Changed, nullptr};
    }
    std::string back(bytes.size() + 1, '\0');
    std::size_t got = 0;
    for (;;) {
        DWORD chunk = 0;
        if (!::ReadFile(held.Get(), back.data() + got, static_cast<DWORD>(back.size() - got), &chunk, nullptr)) {
            return {CreateResult::Changed, nullptr};
        }
        if (chunk == 0 || (got += chunk) == back.size()) {
            break;
        }
    }
    if (got != bytes.size() || back.compare(0, got, bytes) != 0) {
        return {CreateResult::Changed, nullptr};
    }
    return {CreateResult::Created, std::make_unique<Win32Hold>(std::move(held))};
}

EraseFileSystem::RemoveResult Win32EraseFileSystem::RemoveFile(const std::wstring& path)
{
    const auto missing = [](DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; };
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return missing(::GetLastError()) ? RemoveResult::Missing : RemoveResult::Failed;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return RemoveResult::Failed;
    }
    // DeleteFileW refuses a read-only file; Windows' CREATE_ALWAYS and some tools a hidden or
    // system one.
    constexpr DWORD kInTheWay = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (attributes & kInTheWay) {
        const DWORD cleared = attributes & ~kInTheWay;
        (void)::SetFileAttributesW(path.c_str(), cleared == 0 ? FILE_ATTRIBUTE_NORMAL : cleared);
    }
    if (::DeleteFileW(path.c_str())) {
        return RemoveResult::Removed;
    }
    const DWORD error = ::GetLastError();
    if (missing(error)) {
        return RemoveResult::Missing;
    }
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? RemoveResult::InUse
                                                                             : RemoveResult::Failed;
}

std::unique_ptr<FileHold> Win32EraseFileSystem::HoldFolder(const std::wstring& folder)
{
    // Opened for listing, sharing reading and writing but not deletion: files come and go in it
    // as usual (the tool renames its temporary file over the photo), but the folder itself can be
    // neither renamed nor removed.
    UniqueFile handle(::CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) {
        return nullptr;
    }
    return std::make_unique<Win32Hold>(std::move(handle));
}

std::optional<std::wstring> Win32EraseFileSystem::ShortPath(const std::wstring& path)
{
    const DWORD size = m_shortPathLookup(path.c_str(), nullptr, 0);
    if (size == 0) {
        return std::nullopt;
    }
    std::wstring shortPath(size, L'\0');
    const DWORD length = m_shortPathLookup(path.c_str(), shortPath.data(), size);
    if (length == 0 || length >= size) {
        return std::nullopt;
    }
    shortPath.resize(length);
    return shortPath;
}

std::optional<std::wstring> Win32EraseFileSystem::ProgramFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return std::nullopt;
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) {
        return std::nullopt;
    }
    path.resize(separator == 2 ? 3 : separator);  // a drive root keeps its "\"
    // The shipped tool's launcher works from its long path: that is the one to judge.
    const DWORD size = ::GetLongPathNameW(path.c_str(), nullptr, 0);
    if (size == 0) {
        return path;
    }
    std::wstring longPath(size, L'\0');
    const DWORD length = ::GetLongPathNameW(path.c_str(), longPath.data(), size);
    if (length == 0 || length >= size) {
        return path;
    }
    longPath.resize(length);
    return longPath;
}

bool Win32RunningScript::WaitForEnd(std::uint32_t timeoutMs)
{
    Win32EventPump pump;
    return pump.WaitFor(m_process.Get(), timeoutMs);
}

bool Win32RunningScript::Ended()
{
    return ::WaitForSingleObject(m_process.Get(), 0) == WAIT_OBJECT_0;
}

bool Win32ScriptStarter::CanStart(const std::wstring& folder)
{
    return HiddenScriptCommand(folder, SystemDirectory()).has_value() && !CommandInterpreterDisabled();
}

std::unique_ptr<RunningScript> Win32ScriptStarter::StartHidden(const std::wstring& folder)
{
    const std::optional<ScriptCommand> command = HiddenScriptCommand(folder, SystemDirectory());
    if (!command) {
        return nullptr;
    }
    std::wstring environment;
    if (wchar_t* block = ::GetEnvironmentStringsW()) {
        environment = EnvironmentWith(block, kNoCurrentDirectoryVariable, L"1");
        ::FreeEnvironmentStringsW(block);
    }
    if (!m_toolFolder.empty() && !environment.empty()) {
        const std::wstring path = Win32EraseFileSystem().Environment(std::wstring(kPathVariable)).value_or(L"");
        environment = EnvironmentWith(environment.c_str(), std::wstring(kPathVariable),
                                      PathWithToolFirst(m_toolFolder, path));
    }
    UniqueHandle process = StartProcess(command->application.c_str(), command->commandLine, ShowStyle::Hidden,
                                        environment.empty() ? nullptr : environment.c_str(),
                                        command->currentDirectory.c_str());
    if (!process) {
        return nullptr;
    }
    return std::make_unique<Win32RunningScript>(std::move(process));
}

std::wstring EnvironmentWith(const wchar_t* block, const std::wstring& name, const std::wstring& value)
{
    return EnvironmentWith(block, std::wstring_view(name), std::wstring_view(value),
                           [](std::wstring_view a, std::wstring_view b) {
                               // Ordinal, ignoring case: the order the system keeps the block in.
                               return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                                             static_cast<int>(b.size()), TRUE) -
                                      CSTR_EQUAL;
                           });
}

}  // namespace qh
