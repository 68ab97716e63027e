// The erase run's file system and its hidden script start, on Win32.
#pragma once

#include <windows.h>

#include "erase/erase_run.h"
#include "platform/win32_handles.h"

namespace qh {

class Win32EraseFileSystem final : public EraseFileSystem {
public:
    // GetShortPathNameW's shape: the tests put one in that gives no 8.3 names, as on exFAT or on
    // an NTFS volume of Windows 8 and later.
    using ShortPathLookup = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
    explicit Win32EraseFileSystem(ShortPathLookup shortPathLookup = &::GetShortPathNameW)
        : m_shortPathLookup(shortPathLookup)
    {
    }

    [[nodiscard]] std::optional<std::wstring> Environment(const std::wstring& name) override;
    [[nodiscard]] std::optional<std::uint64_t> FileSize(const std::wstring& path) override;
    [[nodiscard]] bool Exists(const std::wstring& path) override;
    [[nodiscard]] std::optional<std::string> ReadSmallFile(const std::wstring& path, std::size_t maxBytes) override;
    [[nodiscard]] HeldFile CreateHeldFile(const std::wstring& path, const std::string& bytes) override;
    RemoveResult RemoveFile(const std::wstring& path) override;
    [[nodiscard]] std::unique_ptr<FileHold> HoldFolder(const std::wstring& folder) override;
    [[nodiscard]] std::optional<std::wstring> ShortPath(const std::wstring& path) override;
    [[nodiscard]] std::optional<std::wstring> ProgramFolder() override;

private:
    ShortPathLookup m_shortPathLookup;
};

class Win32RunningScript final : public RunningScript {
public:
    explicit Win32RunningScript(UniqueHandle process) : m_process(std::move(process)) {}
    [[nodiscard]] bool WaitForEnd(std::uint32_t timeoutMs) override;
    [[nodiscard]] bool Ended() override;

private:
    UniqueHandle m_process;
};

// Starts cmd.exe on the folder's script in a hidden window (see HiddenScriptCommand).
class Win32ScriptStarter final : public ScriptStarter {
public:
    [[nodiscard]] bool CanStart(const std::wstring& folder) override;
    [[nodiscard]] std::unique_ptr<RunningScript> StartHidden(const std::wstring& folder) override;
    void PutFirstOnPath(const std::wstring& toolFolder) override { m_toolFolder = toolFolder; }

private:
    std::wstring m_toolFolder;
};

// The block with one variable set in its sorted place (erase/environment_block.h), names compared
// as the system compares them.
[[nodiscard]] std::wstring EnvironmentWith(const wchar_t* block, const std::wstring& name, const std::wstring& value);

}  // namespace qh
