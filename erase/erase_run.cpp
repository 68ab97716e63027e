#include "erase/erase_run.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "erase/exif_script.h"
#include "erase/tool_place.h"
#include "window/layout.h"
#include "window/pages.h"

namespace qh {
namespace {

// Clears the window's running state whatever way the run ends.
class RunningWindow {
public:
    explicit RunningWindow(EraseWindow& window) : m_window(window) { m_window.SetEnabled(false); }
    RunningWindow(const RunningWindow&) = delete;
    RunningWindow& operator=(const RunningWindow&) = delete;
    ~RunningWindow() { Enable(); }
    void Enable()
    {
        if (!m_enabled) {
            m_window.SetEnabled(true);
            m_enabled = true;
        }
    }

private:
    EraseWindow& m_window;
    bool m_enabled = false;
};

}  // namespace

void RemoveOwnScript(EraseFileSystem& files, const std::wstring& scriptPath)
{
    const std::optional<std::string> bytes = files.ReadSmallFile(scriptPath, kMaxOwnScriptBytes);
    if (bytes && IsOwnScript(*bytes)) {
        (void)files.RemoveFile(scriptPath);
    }
}

std::uint32_t ScriptEndTimeoutMs(std::optional<std::uint64_t> fileBytes)
{
    constexpr std::uint64_t kMiB = 1024 * 1024;
    constexpr std::uint64_t kMaxMs = 0xFFFFFFFEu;  // below INFINITE
    const std::uint64_t mebibytes = fileBytes ? (*fileBytes + kMiB - 1) / kMiB : 0;
    const std::uint64_t extraMs = mebibytes > (kMaxMs / kScriptEndMsPerMiB) ? kMaxMs : mebibytes * kScriptEndMsPerMiB;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(kMaxMs, kScriptEndBaseMs + extraMs));
}

std::wstring ToolHungText(std::uint32_t timeoutMs)
{
    return std::wstring(kToolHungPrefix) + std::to_wstring((static_cast<std::uint64_t>(timeoutMs) + 999) / 1000) +
           std::wstring(kToolHungSuffix);
}

void HungScripts::Add(const std::wstring& scriptPath, std::unique_ptr<RunningScript> script)
{
    if (script) {
        m_scripts.emplace_back(scriptPath, std::move(script));
    }
}

void HungScripts::Sweep(EraseFileSystem& files)
{
    for (auto it = m_scripts.begin(); it != m_scripts.end();) {
        if (!it->second->Ended()) {
            ++it;
            continue;
        }
        RemoveOwnScript(files, it->first);
        it = m_scripts.erase(it);
    }
}

void HungScripts::RemoveAllScripts(EraseFileSystem& files)
{
    for (const auto& entry : m_scripts) {
        RemoveOwnScript(files, entry.first);
    }
}

bool HungScripts::Running(const std::wstring& scriptPath)
{
    return std::any_of(m_scripts.begin(), m_scripts.end(), [&scriptPath](const auto& entry) {
        return SameIgnoringCase(entry.first, scriptPath) && !entry.second->Ended();
    });
}

std::wstring ProgressTitle(int fileNumber, std::size_t listCount)
{
    return std::wstring(kAppTitle) + std::wstring(kProgressInfix) + std::to_wstring(fileNumber) +
           std::wstring(kProgressSeparator) + std::to_wstring(listCount);
}

bool ToolPasses(EraseFileSystem& files, const std::wstring& tool, const std::wstring& perl)
{
    const std::optional<std::uint64_t> size = files.FileSize(tool);
    return size && (*size >= kMinToolBytes || files.FileSize(perl).has_value());
}

bool ToolInstalled(EraseFileSystem& files)
{
    const std::wstring windir = files.Environment(std::wstring(kWindirVariable)).value_or(L"");
    return !windir.empty() &&
           ToolPasses(files, windir + std::wstring(kToolBelowWindir), windir + std::wstring(kToolPerlBelowWindir));
}

std::optional<std::string> ScriptBytesFor(const std::wstring& filePath, EraseFileSystem& files, const CodePage& oem,
                                          const CodePage& ansi)
{
    if (std::optional<std::string> bytes = EncodeForTool(ScriptText(filePath), oem, ansi)) {
        return bytes;
    }
    // The 8.3 form is plain ASCII as a rule, and names the same file.
    if (const std::optional<std::wstring> shortPath = files.ShortPath(filePath)) {
        return EncodeForTool(ScriptText(*shortPath), oem, ansi);
    }
    return std::nullopt;
}

EraseOutcome EraseRun::Run(const FolderState& state)
{
    m_hung.Sweep(m_s.files);
    const ToolChoice tool = ChooseTool(m_s.files, m_s.ansiCodePage);
    switch (tool.kind) {
    case ToolChoice::Kind::System:
        break;
    case ToolChoice::Kind::Shipped:
        m_s.scripts.PutFirstOnPath(tool.folder);
        break;
    case ToolChoice::Kind::Unusable:
        (void)m_s.boxes.Show(std::wstring(kShippedToolUnusableText) + tool.folder, box::kOk | box::kIconExclamation);
        return EraseOutcome::ToolUnusable;
    case ToolChoice::Kind::Missing:
        (void)m_s.boxes.Show(std::wstring(kToolMissingText), box::kOk | box::kIconStop);
        return EraseOutcome::ToolMissing;
    }
    const std::wstring folder = state.Dir();
    const std::wstring scriptPath = JoinPath(folder, kScriptName);
    if (scriptPath.size() >= kCommandInterpreterMaxPath) {
        (void)m_s.boxes.Show(std::wstring(kFolderTooLongText), box::kOk | box::kIconExclamation);
        return EraseOutcome::FolderTooLong;
    }
    if (m_hung.Running(scriptPath)) {
        (void)m_s.boxes.Show(std::wstring(kScriptStillRunningText), box::kOk | box::kIconExclamation);
        return EraseOutcome::ScriptStillRunning;
    }
    if (m_s.files.Exists(scriptPath)) {
        const std::optional<std::string> existing = m_s.files.ReadSmallFile(scriptPath, kMaxOwnScriptBytes);
        if (!existing || !IsOwnScript(*existing)) {
            (void)m_s.boxes.Show(std::wstring(kForeignScriptText), box::kOk | box::kIconExclamation);
            return EraseOutcome::ForeignScript;
        }
        // A script of ours left by an earlier run that did not finish: it is replaced below.
    }
    // Only OK starts the irreversible run: a box that could not be shown answers 0.
    if (m_s.boxes.Show(std::wstring(kWarningText), box::kOkCancel | box::kIconExclamation) != box::kAnswerOk) {
        return EraseOutcome::Cancelled;
    }

    // Events are processed during the run: it works on a copy of the listing as it was clicked.
    const std::wstring file1Path = state.File1().Path();
    const std::size_t listCount = state.File1().Count();
    const std::size_t fileCount = std::min(static_cast<std::size_t>(std::max(state.FileCount(), 0)), listCount);
    std::vector<std::wstring> names;
    names.reserve(fileCount);
    for (std::size_t i = 0; i < fileCount; ++i) {
        names.emplace_back(state.File1().Item(i));
    }

    RunningWindow running(m_s.window);
    for (std::size_t i = 1; i <= fileCount; ++i) {
        const std::wstring filePath = JoinPath(file1Path, names[i - 1]);
        m_s.window.SetTitle(ProgressTitle(static_cast<int>(i), listCount));
        switch (ProcessFile(folder, filePath)) {
        case FileStep::Done:
        case FileStep::Skipped:
            break;
        case FileStep::ScriptNotWritable:
            running.Enable();
            return Finish(scriptPath, EraseOutcome::ScriptNotWritable);
        case FileStep::ToolHung:
            running.Enable();
            return Finish(scriptPath, EraseOutcome::ToolHung);
        }
    }
    running.Enable();
    return Finish(scriptPath, EraseOutcome::Finished);
}

EraseRun::FileStep EraseRun::ProcessFile(const std::wstring& folder, const std::wstring& filePath)
{
    // A path that the code pages would change could name a different file ("?" is a wildcard
    // to the tool): such a file is left alone.
    const std::optional<std::string> bytes = ScriptBytesFor(filePath, m_s.files, m_s.oemCodePage, m_s.ansiCodePage);
    if (!bytes) {
        return FileStep::Skipped;
    }
    const std::wstring scriptPath = JoinPath(folder, kScriptName);
    switch (WriteScript(scriptPath, *bytes)) {
    case EraseFileSystem::WriteResult::Written:
        break;
    case EraseFileSystem::WriteResult::OpenFailed:
        return FileStep::ScriptNotWritable;
    case EraseFileSystem::WriteResult::WriteFailed:
        // A cut-off script could hand the tool a shorter path, that is another file.
        (void)m_s.files.RemoveFile(scriptPath);
        return FileStep::Skipped;
    }
    std::unique_ptr<RunningScript> script = m_s.scripts.StartHidden(folder);
    m_s.window.WaitTime(kPauseAfterLaunchSeconds);
    // cmd.exe reads a script line by line while it runs: it must have ended before the script is
    // replaced or deleted, or it would read the next file's text from the middle.
    const std::uint32_t timeoutMs = ScriptEndTimeoutMs(m_s.files.FileSize(filePath));
    if (script && !script->WaitForEnd(timeoutMs)) {
        m_hungTimeoutMs = timeoutMs;
        m_hung.Add(scriptPath, std::move(script));
        return FileStep::ToolHung;
    }
    return FileStep::Done;
}

EraseFileSystem::WriteResult EraseRun::WriteScript(const std::wstring& scriptPath, const std::string& bytes)
{
    const std::uint64_t start = m_s.clock.NowMicroseconds();
    for (;;) {
        const EraseFileSystem::WriteResult result = m_s.files.WriteWholeFile(scriptPath, bytes);
        if (result != EraseFileSystem::WriteResult::OpenFailed ||
            ElapsedSeconds(m_s.clock, start) >= kScriptOpenRetrySeconds) {
            return result;
        }
        // A virus scanner or an indexer may hold the file for a moment.
        m_s.window.WaitTime(kScriptOpenRetryPauseSeconds);
    }
}

EraseOutcome EraseRun::Finish(const std::wstring& scriptPath, EraseOutcome outcome)
{
    // A hung tool's script stays while its process lives: HungScripts removes it later.
    if (outcome != EraseOutcome::ToolHung) {
        (void)m_s.files.RemoveFile(scriptPath);
    }
    switch (outcome) {
    case EraseOutcome::ScriptNotWritable:
        (void)m_s.boxes.Show(std::wstring(kScriptNotWritableText), box::kOk | box::kIconExclamation);
        break;
    case EraseOutcome::ToolHung:
        (void)m_s.boxes.Show(ToolHungText(m_hungTimeoutMs), box::kOk | box::kIconExclamation);
        break;
    default:
        if (m_s.boxes.Show(std::wstring(kCompletionText), box::kYesNo | box::kIconInformation) ==
            box::kAnswerYes) {
            (void)m_s.commands.Start(OpenPageCommand(kHomePageUrl), ShowStyle::Maximized);
            (void)m_s.commands.Start(OpenPageCommand(kDownloadPageUrl), ShowStyle::Maximized);
        }
        break;
    }
    m_s.window.SetTitle(std::wstring(kAppTitle));
    return outcome;
}

}  // namespace qh
