// The erase run's file system and its hidden script start, on Win32.
#pragma once

#include <windows.h>

#include "erase/erase_run.h"
#include "platform/win32_handles.h"

namespace qh {

class Win32EraseFileSystem final : public EraseFileSystem {
public:
    [[nodiscard]] std::optional<std::wstring> Environment(const std::wstring& name) override;
    [[nodiscard]] std::optional<std::uint64_t> FileSize(const std::wstring& path) override;
    [[nodiscard]] bool Exists(const std::wstring& path) override;
    [[nodiscard]] std::optional<std::string> ReadSmallFile(const std::wstring& path, std::size_t maxBytes) override;
    [[nodiscard]] WriteResult WriteWholeFile(const std::wstring& path, const std::string& bytes) override;
    bool RemoveFile(const std::wstring& path) override;
    [[nodiscard]] std::optional<std::wstring> ShortPath(const std::wstring& path) override;
    [[nodiscard]] std::optional<std::wstring> ProgramFolder() override;
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
    [[nodiscard]] std::unique_ptr<RunningScript> StartHidden(const std::wstring& folder) override;
    void PutFirstOnPath(const std::wstring& toolFolder) override { m_toolFolder = toolFolder; }

private:
    std::wstring m_toolFolder;
};

// The block with one variable set in its sorted place (erase/environment_block.h), names compared
// as the system compares them.
[[nodiscard]] std::wstring EnvironmentWith(const wchar_t* block, const std::wstring& name, const std::wstring& value);

}  // namespace qh
