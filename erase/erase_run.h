// The erase run behind CmdDo: the tool check, the warning, one script per file started hidden
// and waited for, the progress title, the clean-up and the completion box.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "erase/code_page.h"
#include "erase/wait_time.h"
#include "platform/shell_ports.h"
#include "window/listing.h"

namespace qh {

// ExifTool is expected below the Windows directory, either as the old self-contained program of
// at least 4.5 MiB or as today's small launcher with its Perl in exiftool_files beside it.
inline constexpr std::wstring_view kWindirVariable = L"windir";
inline constexpr std::wstring_view kToolBelowWindir = L"\\System32\\ExifTool.exe";
inline constexpr std::wstring_view kToolPerlBelowWindir = L"\\System32\\exiftool_files\\perl.exe";
inline constexpr std::uint64_t kMinToolBytes = 4718592;  // 4.5 MiB

inline constexpr float kPauseAfterLaunchSeconds = 0.3f;
// A script's process that runs longer than its bound is taken for hung: the run stops there. The
// tool rewrites the whole file, so the bound grows with the file: 60 s plus 1 s per MiB, the
// pace of reading and writing a large video on a slow USB 2.0 stick or network share.
inline constexpr std::uint32_t kScriptEndBaseMs = 60000;
inline constexpr std::uint32_t kScriptEndMsPerMiB = 1000;
// A folder where the script cannot be created is retried this long, in short pauses.
inline constexpr float kScriptOpenRetrySeconds = 1.0f;
inline constexpr float kScriptOpenRetryPauseSeconds = 0.05f;

inline constexpr std::wstring_view kProgressInfix = L"  正在清除Exif中：";
inline constexpr std::wstring_view kProgressSeparator = L"/";

inline constexpr std::wstring_view kToolMissingText = L"本机缺失必需的资源文件！请访问主页下载使用集成版。";
inline constexpr std::wstring_view kWarningText = L"抹除后将无法恢复！";
inline constexpr std::wstring_view kCompletionText =
    L"处理完毕！友情提示：可能会有的文件的内置信息清除失败，想知道哪些清除\r\n"
    L"成功哪些清除失败，请访问主页参见《墨影图匠》V5.0\r\n"
    L" 修改文件时间属性-导出/抹除Exif信息功能模块。\r\n"
    L"要访问主页吗？";
inline constexpr std::wstring_view kForeignScriptText =
    L"当前文件夹中已有一个不是本程序创建的 ExifDel.bat 文件。为免覆盖它，本次没有清除任何文件。\r\n"
    L"请先将该文件移走或改名，然后再试。";
inline constexpr std::wstring_view kScriptNotWritableText =
    L"无法在当前文件夹中创建脚本文件 ExifDel.bat（文件夹可能是只读的、受系统保护的或已不存在），清除已停止。";
// cmd.exe works with paths shorter than MAX_PATH only: it cannot take a longer folder as its
// current directory, nor open a longer script path. A folder whose script path would reach it is
// refused before the warning.
inline constexpr std::size_t kCommandInterpreterMaxPath = 260;
inline constexpr std::wstring_view kFolderTooLongText =
    L"当前文件夹的路径太长，命令解释器（cmd.exe）无法在其中运行脚本 ExifDel.bat，本次没有清除任何文件。\r\n"
    L"请把文件移到路径较短的文件夹中再试。";
// The hung-tool box: prefix, the bound in seconds, suffix.
inline constexpr std::wstring_view kToolHungPrefix = L"ExifTool 在 ";
inline constexpr std::wstring_view kToolHungSuffix =
    L" 秒内没有结束，清除已停止，其余文件没有处理。\r\n"
    L"在它结束之前，本程序不会在此文件夹中再次清除。";
inline constexpr std::wstring_view kScriptStillRunningText =
    L"上次在此文件夹中启动的 ExifTool 仍在运行。为免打断它，本次没有清除任何文件。\r\n"
    L"请等它结束后再试。";

// The file system and environment as the run needs them.
class EraseFileSystem {
public:
    enum class WriteResult { Written, OpenFailed, WriteFailed };

    virtual ~EraseFileSystem() = default;
    [[nodiscard]] virtual std::optional<std::wstring> Environment(const std::wstring& name) = 0;
    // The size of a file; nullopt when it is missing, a folder or unreadable.
    [[nodiscard]] virtual std::optional<std::uint64_t> FileSize(const std::wstring& path) = 0;
    // Whether anything (file or folder) exists under the path.
    [[nodiscard]] virtual bool Exists(const std::wstring& path) = 0;
    // The whole file if it holds at most maxBytes; nullopt when missing, unreadable or larger.
    [[nodiscard]] virtual std::optional<std::string> ReadSmallFile(const std::wstring& path,
                                                                   std::size_t maxBytes) = 0;
    // Creates or truncates the file and writes the bytes.
    [[nodiscard]] virtual WriteResult WriteWholeFile(const std::wstring& path, const std::string& bytes) = 0;
    virtual bool RemoveFile(const std::wstring& path) = 0;
    // The 8.3 form of an existing path; nullopt when there is none.
    [[nodiscard]] virtual std::optional<std::wstring> ShortPath(const std::wstring& path) = 0;
    // The running program's folder, in its long form; nullopt when it cannot be read.
    [[nodiscard]] virtual std::optional<std::wstring> ProgramFolder() = 0;
};

// A started script's process.
class RunningScript {
public:
    virtual ~RunningScript() = default;
    // Processes the window's events until the process has ended or timeoutMs has passed;
    // true when it ended.
    [[nodiscard]] virtual bool WaitForEnd(std::uint32_t timeoutMs) = 0;
    // Whether the process has ended, without waiting.
    [[nodiscard]] virtual bool Ended() = 0;
};

class ScriptStarter {
public:
    virtual ~ScriptStarter() = default;
    // Starts the folder's script in a hidden window; nullptr when it could not be started.
    [[nodiscard]] virtual std::unique_ptr<RunningScript> StartHidden(const std::wstring& folder) = 0;
    // Scripts started from now on find ExifTool in this folder first (the shipped tool).
    virtual void PutFirstOnPath(const std::wstring& toolFolder) = 0;
};

// What the run does to the window.
class EraseWindow {
public:
    virtual ~EraseWindow() = default;
    virtual void SetTitle(const std::wstring& title) = 0;
    virtual void SetEnabled(bool enabled) = 0;
    // The window's pause: returns after more than Delay seconds, processing events meanwhile.
    virtual void WaitTime(float Delay) = 0;
};

struct EraseServices {
    EraseFileSystem& files;
    ScriptStarter& scripts;
    EraseWindow& window;
    MessageBoxes& boxes;
    CommandStarter& commands;
    const CodePage& oemCodePage;
    const CodePage& ansiCodePage;
    Clock& clock;
};

enum class EraseOutcome {
    ToolMissing,
    ToolUnusable,
    FolderTooLong,
    ScriptStillRunning,
    ForeignScript,
    Cancelled,
    ScriptNotWritable,
    ToolHung,
    Finished,
};

// "青禾净图  正在清除Exif中：i/count"
[[nodiscard]] std::wstring ProgressTitle(int fileNumber, std::size_t listCount);

// "ExifTool 在 N 秒内没有结束，..." for a bound of timeoutMs.
[[nodiscard]] std::wstring ToolHungText(std::uint32_t timeoutMs);

// Deletes the file if it holds a script this program writes; a user's file stays.
void RemoveOwnScript(EraseFileSystem& files, const std::wstring& scriptPath);

// How long a script's process may run on a file of that size (unknown: the base bound).
[[nodiscard]] std::uint32_t ScriptEndTimeoutMs(std::optional<std::uint64_t> fileBytes);

// The scripts whose process outlived its bound, kept by the window from run to run. While such a
// process lives, its ExifDel.bat is neither rewritten nor deleted (cmd.exe would go on reading
// the new text at its old offset) and no run starts in its folder; once it has ended, the
// leftover script is removed.
class HungScripts {
public:
    void Add(const std::wstring& scriptPath, std::unique_ptr<RunningScript> script);
    // Forgets the ended processes and removes their scripts (only while they hold our own text).
    void Sweep(EraseFileSystem& files);
    // Removes every kept script that holds our own text, the processes' ends not waited for: the
    // session is ending, and the system ends them too.
    void RemoveAllScripts(EraseFileSystem& files);
    [[nodiscard]] bool HasAny() const { return !m_scripts.empty(); }
    // Whether a kept process of this script still runs.
    [[nodiscard]] bool Running(const std::wstring& scriptPath);

private:
    std::vector<std::pair<std::wstring, std::unique_ptr<RunningScript>>> m_scripts;
};

// Whether the tool at that path passes: the old self-contained program of at least 4.5 MiB, or
// today's launcher with its Perl (the path given) beside it.
[[nodiscard]] bool ToolPasses(EraseFileSystem& files, const std::wstring& tool, const std::wstring& perl);

// Whether the tool check passes.
[[nodiscard]] bool ToolInstalled(EraseFileSystem& files);

// The script's bytes for one file: its full path if that survives the code pages, else its 8.3
// form if that does; nullopt when neither can reach the tool unchanged.
[[nodiscard]] std::optional<std::string> ScriptBytesFor(const std::wstring& filePath, EraseFileSystem& files,
                                                        const CodePage& oem, const CodePage& ansi);

class EraseRun {
public:
    EraseRun(const EraseServices& services, HungScripts& hungScripts) : m_s(services), m_hung(hungScripts) {}
    // Runs over the first FileCount files of the listing; returns how it ended.
    EraseOutcome Run(const FolderState& state);

private:
    enum class FileStep { Done, Skipped, ScriptNotWritable, ToolHung };

    FileStep ProcessFile(const std::wstring& folder, const std::wstring& filePath);
    [[nodiscard]] EraseFileSystem::WriteResult WriteScript(const std::wstring& scriptPath, const std::string& bytes);
    EraseOutcome Finish(const std::wstring& scriptPath, EraseOutcome outcome);

    EraseServices m_s;
    HungScripts& m_hung;
    std::uint32_t m_hungTimeoutMs = 0;
};

}  // namespace qh
