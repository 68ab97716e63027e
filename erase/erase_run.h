// The erase run behind CmdDo: the tool check, the warning, one script per file started hidden
// and waited for, the progress title, the clean-up and the completion box.
#pragma once

#include <cstddef>
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
// Creating or deleting the script is retried this long, in short pauses.
inline constexpr float kScriptRetrySeconds = 1.0f;
inline constexpr float kScriptRetryPauseSeconds = 0.05f;

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
// A leftover script of ours that cannot be deleted is not written into.
inline constexpr std::wstring_view kScriptInUseText =
    L"当前文件夹中的 ExifDel.bat 正被另一个程序使用（可能是本程序的另一个窗口正在此文件夹中清除）。"
    L"为免打断它，本次没有清除任何文件。\r\n"
    L"请等它结束后再试。";
inline constexpr std::wstring_view kScriptUndeletableText =
    L"当前文件夹中上次留下的 ExifDel.bat 无法删除（可能没有权限）。为免写入不属于本程序的文件，本次没有清除任何文件。\r\n"
    L"请先将该文件删除，然后再试。";
// Another process created or changed the script while the run was writing it.
inline constexpr std::wstring_view kScriptTakenText =
    L"另一个程序在清除过程中创建或改写了当前文件夹中的 ExifDel.bat。为免运行不是本程序写入的内容，"
    L"清除已停止，其余文件没有处理。";
// The script could not be deleted after a file: prefix, then the stop suffix or nothing, then the
// path.
inline constexpr std::wstring_view kScriptLeftPrefix = L"无法删除脚本文件 ExifDel.bat（可能正被其他程序占用）";
inline constexpr std::wstring_view kScriptLeftStopped = L"，清除已停止，其余文件没有处理";
inline constexpr std::wstring_view kScriptLeftSuffix = L"。请稍后手动删除它：\r\n";

// Files the run does not hand to the tool are named, with why, after the run; when that is every
// file, before the warning instead of it.
inline constexpr std::wstring_view kPassedOverHead = L"下列文件没有交给 ExifTool 处理，其中的内置信息没有清除：\r\n";
inline constexpr std::wstring_view kNothingToHandHead =
    L"当前文件夹中要处理的文件都无法交给 ExifTool，本次没有清除任何文件。\r\n";
inline constexpr std::size_t kPassedOverNamesShown = 5;
inline constexpr std::wstring_view kPassedOverMorePrefix = L"……另有 ";
inline constexpr std::wstring_view kPassedOverMoreSuffix = L" 个文件\r\n";
inline constexpr std::wstring_view kUnrepresentableReason =
    L"文件名含有本机代码页无法表示的字符，而所在磁盘没有为它们保留 8.3 短文件名。";
inline constexpr std::wstring_view kTooLongReason =
    L"文件路径太长（ExifTool 在 Windows 上只能处理短于 260 个字符的路径），而所在磁盘没有为它们保留 8.3 短文件名。";
inline constexpr std::wstring_view kNoInterpreterReason =
    L"无法在此文件夹中启动命令解释器 cmd.exe（它可能被系统策略禁用，或网络文件夹的路径中含有 %）。";
inline constexpr std::wstring_view kNotStartedReason = L"处理它们的脚本无法写入或启动。";

// ExifTool writes FILE_exiftool_tmp beside the file with calls bound to MAX_PATH (260 with the
// NUL): a path that leaves no room for the suffix goes by its 8.3 form or not at all.
inline constexpr std::size_t kToolMaxPath = 260;
inline constexpr std::size_t kToolTempSuffixLength = 13;  // "_exiftool_tmp"

// Something the run holds open; destroying it lets go.
class FileHold {
public:
    virtual ~FileHold() = default;
};

// The file system and environment as the run needs them.
class EraseFileSystem {
public:
    enum class CreateResult {
        Created,     // written, read back unchanged, and held
        Exists,      // something of that name is there: it was not opened
        OpenFailed,  // the file could not be created
        WriteFailed,
        Changed,     // another process changed it before it could be held
    };
    struct HeldFile {
        CreateResult result = CreateResult::OpenFailed;
        std::unique_ptr<FileHold> hold;  // Created only
    };
    enum class RemoveResult { Removed, Missing, InUse, Failed };

    virtual ~EraseFileSystem() = default;
    [[nodiscard]] virtual std::optional<std::wstring> Environment(const std::wstring& name) = 0;
    // The size of a file; nullopt when it is missing, a folder or unreadable.
    [[nodiscard]] virtual std::optional<std::uint64_t> FileSize(const std::wstring& path) = 0;
    // Whether anything (file or folder) exists under the path.
    [[nodiscard]] virtual bool Exists(const std::wstring& path) = 0;
    // The whole file if it holds at most maxBytes; nullopt when missing, unreadable or larger.
    [[nodiscard]] virtual std::optional<std::string> ReadSmallFile(const std::wstring& path,
                                                                   std::size_t maxBytes) = 0;
    // Creates the file new (an existing file is never opened), writes the bytes and holds it:
    // from then on other processes may read it, but none may write, truncate, delete or rename it
    // until the hold is let go. The bytes are read back through the hold.
    [[nodiscard]] virtual HeldFile CreateHeldFile(const std::wstring& path, const std::string& bytes) = 0;
    // Deletes a file, its read-only, hidden and system attributes cleared first.
    virtual RemoveResult RemoveFile(const std::wstring& path) = 0;
    // Holds the folder so that it cannot be renamed or removed; nullptr when it cannot be held.
    [[nodiscard]] virtual std::unique_ptr<FileHold> HoldFolder(const std::wstring& folder) = 0;
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
    // Whether scripts can be started in the folder at all (cmd.exe allowed, the folder nameable).
    [[nodiscard]] virtual bool CanStart(const std::wstring& folder) = 0;
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
    ScriptInUse,
    ScriptUndeletable,
    NothingToHand,
    Cancelled,
    ScriptNotWritable,
    ScriptTaken,
    ScriptLeft,
    ToolHung,
    Finished,
};

// Why the run did not hand a file to the tool.
enum class PassOverReason {
    Unrepresentable,  // a character the code pages lack, and no 8.3 form
    TooLong,          // no room for the tool's temporary file, and no 8.3 form
    NoInterpreter,    // cmd.exe cannot run scripts in the folder
    NotStarted,       // its script could not be written or started
};

struct PassedOver {
    std::wstring name;
    PassOverReason reason;
};

// The box after a run that passed files over: a handful of names, how many more, and why.
[[nodiscard]] std::wstring PassedOverText(const std::vector<PassedOver>& files);
// The box instead of the warning when no file can be handed to the tool.
[[nodiscard]] std::wstring NothingToHandText(const std::vector<PassedOver>& files);
// The script could not be deleted; stopped: the run ended there.
[[nodiscard]] std::wstring ScriptLeftText(const std::wstring& scriptPath, bool stopped);

// "青禾净图  正在清除Exif中：i/count"
[[nodiscard]] std::wstring ProgressTitle(int fileNumber, std::size_t listCount);

// "ExifTool 在 N 秒内没有结束，..." for a bound of timeoutMs.
[[nodiscard]] std::wstring ToolHungText(std::uint32_t timeoutMs);

// Deletes the file if it holds a script this program writes; a user's file stays.
EraseFileSystem::RemoveResult RemoveOwnScript(EraseFileSystem& files, const std::wstring& scriptPath);

// How long a script's process may run on a file of that size (unknown: the base bound).
[[nodiscard]] std::uint32_t ScriptEndTimeoutMs(std::optional<std::uint64_t> fileBytes);

// The scripts whose process outlived its bound, kept by the window from run to run. While such a
// process lives, its ExifDel.bat is neither rewritten nor deleted (cmd.exe would go on reading
// the new text at its old offset) and no run starts in its folder; once it has ended, the
// leftover script is removed. The script stays held while its process lives.
class HungScripts {
public:
    void Add(const std::wstring& scriptPath, std::unique_ptr<RunningScript> script, std::unique_ptr<FileHold> hold);
    // Forgets the ended processes and removes their scripts (only while they hold our own text).
    void Sweep(EraseFileSystem& files);
    // Removes every kept script that holds our own text, the processes' ends not waited for: the
    // session is ending, and the system ends them too.
    void RemoveAllScripts(EraseFileSystem& files);
    [[nodiscard]] bool HasAny() const { return !m_scripts.empty(); }
    // Whether a kept process of this script still runs.
    [[nodiscard]] bool Running(const std::wstring& scriptPath);

private:
    struct Kept {
        std::wstring path;
        std::unique_ptr<RunningScript> script;
        std::unique_ptr<FileHold> hold;
    };
    std::vector<Kept> m_scripts;
};

// Whether the tool at that path passes: the old self-contained program of at least 4.5 MiB, or
// today's launcher with its Perl (the path given) beside it.
[[nodiscard]] bool ToolPasses(EraseFileSystem& files, const std::wstring& tool, const std::wstring& perl);

// Whether the tool check passes.
[[nodiscard]] bool ToolInstalled(EraseFileSystem& files);

// The script for one file: its full path if that reaches the tool unchanged, else its 8.3 form if
// that does; otherwise no script, and why.
struct ToolArgument {
    std::optional<std::string> script;
    PassOverReason reason = PassOverReason::Unrepresentable;  // when there is no script
};
[[nodiscard]] ToolArgument ScriptFor(const std::wstring& filePath, EraseFileSystem& files, const CodePage& oem,
                                     const CodePage& ansi);

class EraseRun {
public:
    EraseRun(const EraseServices& services, HungScripts& hungScripts) : m_s(services), m_hung(hungScripts) {}
    EraseRun(const EraseRun&) = delete;
    EraseRun& operator=(const EraseRun&) = delete;
    // Runs over the first FileCount files of the listing; returns how it ended.
    EraseOutcome Run(const FolderState& state);
    // The session ends during the run: lets go of the script and deletes it.
    void Abandon();

private:
    enum class FileStep { Done, NotStarted, ScriptNotWritable, ScriptTaken, ScriptLeft, ToolHung };

    // Calls attempt until it returns true or about a second has passed, pausing in between.
    template <typename Attempt>
    void Retry(Attempt attempt);
    // Refuses, with its box, a folder whose script is someone else's or cannot be replaced.
    [[nodiscard]] std::optional<EraseOutcome> CheckLeftover();
    FileStep ProcessFile(const std::wstring& filePath, const std::string& script);
    [[nodiscard]] EraseFileSystem::CreateResult CreateScript(const std::string& bytes);
    // Lets go of this run's script and deletes it; false when it stays behind.
    [[nodiscard]] bool RemoveScript();
    EraseOutcome Finish(EraseOutcome outcome);

    EraseServices m_s;
    HungScripts& m_hung;
    std::wstring m_folder;
    std::wstring m_scriptPath;
    std::unique_ptr<FileHold> m_folderHold;
    std::unique_ptr<FileHold> m_scriptHold;
    bool m_scriptOnDisk = false;  // this run's script may be there
    std::vector<PassedOver> m_passedOver;
    std::uint32_t m_hungTimeoutMs = 0;
};

}  // namespace qh
