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

EraseFileSystem::RemoveResult RemoveOwnScript(EraseFileSystem& files, const std::wstring& scriptPath)
{
    const std::optional<std::string> bytes = files.ReadSmallFile(scriptPath, kMaxOwnScriptBytes);
    if (!bytes) {
        return files.Exists(scriptPath) ? EraseFileSystem::RemoveResult::Failed : EraseFileSystem::RemoveResult::Missing;
    }
    return IsOwnScript(*bytes) ? files.RemoveFile(scriptPath) : EraseFileSystem::RemoveResult::Failed;
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

void HungScripts::Add(const std::wstring& scriptPath, std::unique_ptr<RunningScript> script,
                      std::unique_ptr<FileHold> hold)
{
    if (script) {
        m_scripts.push_back(Kept{scriptPath, std::move(script), std::move(hold)});
    }
}

void HungScripts::Sweep(EraseFileSystem& files)
{
    for (auto it = m_scripts.begin(); it != m_scripts.end();) {
        if (!it->script->Ended()) {
            ++it;
            continue;
        }
        it->hold.reset();  // the script cannot be deleted while it is held
        (void)RemoveOwnScript(files, it->path);
        it = m_scripts.erase(it);
    }
}

void HungScripts::RemoveAllScripts(EraseFileSystem& files)
{
    for (Kept& kept : m_scripts) {
        kept.hold.reset();
        (void)RemoveOwnScript(files, kept.path);
    }
}

bool HungScripts::Running(const std::wstring& scriptPath)
{
    return std::any_of(m_scripts.begin(), m_scripts.end(), [&scriptPath](const Kept& kept) {
        return SameIgnoringCase(kept.path, scriptPath) && !kept.script->Ended();
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

namespace {

ToolArgument ArgumentFor(const std::wstring& path, const CodePage& oem, const CodePage& ansi)
{
    std::optional<std::string> script = EncodeForTool(ScriptText(path), oem, ansi);
    if (!script) {
        return {std::nullopt, PassOverReason::Unrepresentable};
    }
    const std::optional<std::string> ansiPath = ansi.Encode(path);
    if (!ansiPath || ansiPath->size() + kToolTempSuffixLength >= kToolMaxPath) {
        return {std::nullopt, PassOverReason::TooLong};
    }
    return {std::move(script), PassOverReason::Unrepresentable};
}

// One sentence per reason that occurs, in a fixed order.
std::wstring ReasonsText(const std::vector<PassedOver>& files)
{
    std::wstring text;
    const std::pair<PassOverReason, std::wstring_view> reasons[] = {
        {PassOverReason::Unrepresentable, kUnrepresentableReason},
        {PassOverReason::TooLong, kTooLongReason},
        {PassOverReason::NoInterpreter, kNoInterpreterReason},
        {PassOverReason::NotStarted, kNotStartedReason},
    };
    for (const auto& [reason, sentence] : reasons) {
        if (std::any_of(files.begin(), files.end(), [reason = reason](const PassedOver& f) { return f.reason == reason; })) {
            text += sentence;
        }
    }
    return text;
}

std::wstring NamesText(const std::vector<PassedOver>& files)
{
    std::wstring text;
    for (std::size_t i = 0; i < files.size() && i < kPassedOverNamesShown; ++i) {
        text += files[i].name;
        text += L"\r\n";
    }
    if (files.size() > kPassedOverNamesShown) {
        text += std::wstring(kPassedOverMorePrefix) + std::to_wstring(files.size() - kPassedOverNamesShown) +
                std::wstring(kPassedOverMoreSuffix);
    }
    return text;
}

}  // namespace

ToolArgument ScriptFor(const std::wstring& filePath, EraseFileSystem& files, const CodePage& oem,
                       const CodePage& ansi)
{
    ToolArgument full = ArgumentFor(filePath, oem, ansi);
    if (full.script) {
        return full;
    }
    // The 8.3 form is plain ASCII as a rule, short, and names the same file; a volume without
    // 8.3 names gives the long path back.
    if (const std::optional<std::wstring> shortPath = files.ShortPath(filePath); shortPath && *shortPath != filePath) {
        ToolArgument viaShort = ArgumentFor(*shortPath, oem, ansi);
        if (viaShort.script) {
            return viaShort;
        }
    }
    return full;
}

std::wstring PassedOverText(const std::vector<PassedOver>& files)
{
    return std::wstring(kPassedOverHead) + NamesText(files) + ReasonsText(files);
}

std::wstring NothingToHandText(const std::vector<PassedOver>& files)
{
    return std::wstring(kNothingToHandHead) + ReasonsText(files);
}

std::wstring ScriptLeftText(const std::wstring& scriptPath, bool stopped)
{
    return std::wstring(kScriptLeftPrefix) + (stopped ? std::wstring(kScriptLeftStopped) : std::wstring()) +
           std::wstring(kScriptLeftSuffix) + scriptPath;
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
    m_folder = state.Dir();
    m_scriptPath = JoinPath(m_folder, kScriptName);
    if (m_scriptPath.size() >= kCommandInterpreterMaxPath) {
        (void)m_s.boxes.Show(std::wstring(kFolderTooLongText), box::kOk | box::kIconExclamation);
        return EraseOutcome::FolderTooLong;
    }
    if (m_hung.Running(m_scriptPath)) {
        (void)m_s.boxes.Show(std::wstring(kScriptStillRunningText), box::kOk | box::kIconExclamation);
        return EraseOutcome::ScriptStillRunning;
    }
    if (const std::optional<EraseOutcome> refused = CheckLeftover()) {
        return *refused;
    }

    // Events are processed during the run: it works on a copy of the listing as it was clicked.
    const std::wstring file1Path = state.File1().Path();
    const std::size_t listCount = state.File1().Count();
    const std::size_t fileCount = std::min(static_cast<std::size_t>(std::max(state.FileCount(), 0)), listCount);
    // Which files cannot be handed to the tool is known before the warning.
    const bool canStart = m_s.scripts.CanStart(m_folder);
    std::vector<std::wstring> names;
    std::vector<ToolArgument> arguments;
    std::vector<PassedOver> unfit;
    for (std::size_t i = 0; i < fileCount; ++i) {
        names.emplace_back(state.File1().Item(i));
        arguments.push_back(canStart ? ScriptFor(JoinPath(file1Path, names.back()), m_s.files, m_s.oemCodePage,
                                                 m_s.ansiCodePage)
                                     : ToolArgument{std::nullopt, PassOverReason::NoInterpreter});
        if (!arguments.back().script) {
            unfit.push_back({names.back(), arguments.back().reason});
        }
    }
    if (fileCount > 0 && unfit.size() == fileCount) {
        (void)m_s.boxes.Show(NothingToHandText(unfit), box::kOk | box::kIconExclamation);
        return EraseOutcome::NothingToHand;
    }
    // Only OK starts the irreversible run: a box that could not be shown answers 0.
    if (m_s.boxes.Show(std::wstring(kWarningText), box::kOkCancel | box::kIconExclamation) != box::kAnswerOk) {
        return EraseOutcome::Cancelled;
    }

    // Nobody renames or removes the folder while its scripts run; where it cannot be held, the
    // run still stops at the first script it cannot create.
    m_folderHold = m_s.files.HoldFolder(m_folder);
    RunningWindow running(m_s.window);
    for (std::size_t i = 1; i <= fileCount; ++i) {
        m_s.window.SetTitle(ProgressTitle(static_cast<int>(i), listCount));
        const ToolArgument& argument = arguments[i - 1];
        if (!argument.script) {
            m_passedOver.push_back({names[i - 1], argument.reason});
            continue;
        }
        EraseOutcome stop = EraseOutcome::Finished;
        switch (ProcessFile(JoinPath(file1Path, names[i - 1]), *argument.script)) {
        case FileStep::Done:
            continue;
        case FileStep::NotStarted:
            m_passedOver.push_back({names[i - 1], PassOverReason::NotStarted});
            continue;
        case FileStep::ScriptNotWritable:
            stop = EraseOutcome::ScriptNotWritable;
            break;
        case FileStep::ScriptTaken:
            stop = EraseOutcome::ScriptTaken;
            break;
        case FileStep::ScriptLeft:
            stop = EraseOutcome::ScriptLeft;
            break;
        case FileStep::ToolHung:
            stop = EraseOutcome::ToolHung;
            break;
        }
        running.Enable();
        return Finish(stop);
    }
    running.Enable();
    return Finish(EraseOutcome::Finished);
}

void EraseRun::Abandon()
{
    m_scriptHold.reset();
    if (m_scriptOnDisk) {
        (void)m_s.files.RemoveFile(m_scriptPath);
        m_scriptOnDisk = false;
    }
    m_folderHold.reset();
}

template <typename Attempt>
void EraseRun::Retry(Attempt attempt)
{
    // A virus scanner, the indexer or a sync client may hold the file for a moment.
    const std::uint64_t start = m_s.clock.NowMicroseconds();
    while (!attempt() && ElapsedSeconds(m_s.clock, start) < kScriptRetrySeconds) {
        m_s.window.WaitTime(kScriptRetryPauseSeconds);
    }
}

std::optional<EraseOutcome> EraseRun::CheckLeftover()
{
    if (!m_s.files.Exists(m_scriptPath)) {
        return std::nullopt;
    }
    const std::optional<std::string> existing = m_s.files.ReadSmallFile(m_scriptPath, kMaxOwnScriptBytes);
    if (!existing || !IsOwnScript(*existing)) {
        (void)m_s.boxes.Show(std::wstring(kForeignScriptText), box::kOk | box::kIconExclamation);
        return EraseOutcome::ForeignScript;
    }
    // A script of ours, left by a run that did not finish, or one that another copy of the
    // program is running now: it goes before the first script is created new. One that cannot
    // be deleted is never written into.
    EraseFileSystem::RemoveResult result = EraseFileSystem::RemoveResult::Failed;
    Retry([&] {
        result = m_s.files.RemoveFile(m_scriptPath);
        return result == EraseFileSystem::RemoveResult::Removed || result == EraseFileSystem::RemoveResult::Missing;
    });
    switch (result) {
    case EraseFileSystem::RemoveResult::Removed:
    case EraseFileSystem::RemoveResult::Missing:
        return std::nullopt;
    case EraseFileSystem::RemoveResult::InUse:
        (void)m_s.boxes.Show(std::wstring(kScriptInUseText), box::kOk | box::kIconExclamation);
        return EraseOutcome::ScriptInUse;
    case EraseFileSystem::RemoveResult::Failed:
        break;
    }
    (void)m_s.boxes.Show(std::wstring(kScriptUndeletableText), box::kOk | box::kIconExclamation);
    return EraseOutcome::ScriptUndeletable;
}

EraseRun::FileStep EraseRun::ProcessFile(const std::wstring& filePath, const std::string& script)
{
    // The previous file's script: its process has ended.
    if (!RemoveScript()) {
        return FileStep::ScriptLeft;
    }
    switch (CreateScript(script)) {
    case EraseFileSystem::CreateResult::Created:
        break;
    case EraseFileSystem::CreateResult::OpenFailed:
        return FileStep::ScriptNotWritable;
    case EraseFileSystem::CreateResult::Exists:
    case EraseFileSystem::CreateResult::Changed:
        return FileStep::ScriptTaken;
    case EraseFileSystem::CreateResult::WriteFailed:
        // A cut-off script could hand the tool a shorter path, that is another file.
        return RemoveScript() ? FileStep::NotStarted : FileStep::ScriptLeft;
    }
    std::unique_ptr<RunningScript> process = m_s.scripts.StartHidden(m_folder);
    m_s.window.WaitTime(kPauseAfterLaunchSeconds);
    if (!process) {
        return FileStep::NotStarted;
    }
    // cmd.exe reads a script line by line while it runs: the script stays held, and is neither
    // replaced nor deleted, until its process has ended.
    const std::uint32_t timeoutMs = ScriptEndTimeoutMs(m_s.files.FileSize(filePath));
    if (!process->WaitForEnd(timeoutMs)) {
        m_hungTimeoutMs = timeoutMs;
        m_hung.Add(m_scriptPath, std::move(process), std::move(m_scriptHold));
        m_scriptOnDisk = false;  // the hung script is kept, and removed, by m_hung
        return FileStep::ToolHung;
    }
    return FileStep::Done;
}

EraseFileSystem::CreateResult EraseRun::CreateScript(const std::string& bytes)
{
    EraseFileSystem::CreateResult result = EraseFileSystem::CreateResult::OpenFailed;
    Retry([&] {
        EraseFileSystem::HeldFile held = m_s.files.CreateHeldFile(m_scriptPath, bytes);
        result = held.result;
        switch (result) {
        case EraseFileSystem::CreateResult::Created:
            m_scriptHold = std::move(held.hold);
            m_scriptOnDisk = true;
            return true;
        case EraseFileSystem::CreateResult::OpenFailed:
            return false;
        case EraseFileSystem::CreateResult::Changed:
            // Another process wrote into it before it was held: it is written anew, unless that
            // process keeps it (then it is there at the next try, and the run stops).
            (void)m_s.files.RemoveFile(m_scriptPath);
            m_scriptOnDisk = true;
            return false;
        case EraseFileSystem::CreateResult::WriteFailed:
            m_scriptOnDisk = true;
            return true;
        case EraseFileSystem::CreateResult::Exists:
            // Not ours: never opened, never deleted. A name whose deletion is still pending
            // (another process had the file open) goes away in a moment.
            return false;
        }
        return true;
    });
    return result;
}

bool EraseRun::RemoveScript()
{
    m_scriptHold.reset();  // a held script cannot be deleted
    if (!m_scriptOnDisk) {
        return true;
    }
    Retry([&] {
        const EraseFileSystem::RemoveResult result = m_s.files.RemoveFile(m_scriptPath);
        m_scriptOnDisk =
            result != EraseFileSystem::RemoveResult::Removed && result != EraseFileSystem::RemoveResult::Missing;
        return !m_scriptOnDisk;
    });
    return !m_scriptOnDisk;
}

EraseOutcome EraseRun::Finish(EraseOutcome outcome)
{
    if (outcome == EraseOutcome::ScriptTaken && m_scriptOnDisk) {
        // The path holds another process's file now, perhaps for long (another copy of the
        // program running its own script), and the box says so: one quiet try, in case it is
        // still this run's own text.
        (void)RemoveOwnScript(m_s.files, m_scriptPath);
        m_scriptOnDisk = false;
    }
    // A hung tool's script stays while its process lives: HungScripts removes it later.
    const bool left = outcome != EraseOutcome::ToolHung && outcome != EraseOutcome::ScriptLeft && !RemoveScript();
    m_folderHold.reset();
    if (!m_passedOver.empty()) {
        (void)m_s.boxes.Show(PassedOverText(m_passedOver), box::kOk | box::kIconExclamation);
    }
    switch (outcome) {
    case EraseOutcome::ScriptNotWritable:
        (void)m_s.boxes.Show(std::wstring(kScriptNotWritableText), box::kOk | box::kIconExclamation);
        break;
    case EraseOutcome::ScriptTaken:
        (void)m_s.boxes.Show(std::wstring(kScriptTakenText), box::kOk | box::kIconExclamation);
        break;
    case EraseOutcome::ScriptLeft:
        (void)m_s.boxes.Show(ScriptLeftText(m_scriptPath, true), box::kOk | box::kIconExclamation);
        break;
    case EraseOutcome::ToolHung:
        (void)m_s.boxes.Show(ToolHungText(m_hungTimeoutMs), box::kOk | box::kIconExclamation);
        break;
    default:
        break;
    }
    if (left) {
        (void)m_s.boxes.Show(ScriptLeftText(m_scriptPath, false), box::kOk | box::kIconExclamation);
    }
    if (outcome == EraseOutcome::Finished &&
        m_s.boxes.Show(std::wstring(kCompletionText), box::kYesNo | box::kIconInformation) == box::kAnswerYes) {
        (void)m_s.commands.Start(OpenPageCommand(kHomePageUrl), ShowStyle::Maximized);
        (void)m_s.commands.Start(OpenPageCommand(kDownloadPageUrl), ShowStyle::Maximized);
    }
    m_s.window.SetTitle(std::wstring(kAppTitle));
    return outcome;
}

}  // namespace qh
