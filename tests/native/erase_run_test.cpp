#include "erase/erase_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "erase/exif_script.h"
#include "erase/tool_place.h"
#include "fake_code_page.h"
#include "window/layout.h"
#include "window/pages.h"

namespace qh {
namespace {

const std::wstring kWindir = L"C:\\Windows";
const std::wstring kTool = L"C:\\Windows\\System32\\ExifTool.exe";
const std::wstring kPerl = L"C:\\Windows\\System32\\exiftool_files\\perl.exe";

std::string Narrow(const std::wstring& ascii)
{
    return std::string(ascii.begin(), ascii.end());
}

// Everything the run does, in order, as short lines.
using Log = std::vector<std::string>;

class FakeClock final : public Clock {
public:
    std::uint64_t now = 1000;
    std::uint64_t NowMicroseconds() override { return now; }
};

class FakeFiles final : public EraseFileSystem {
public:
    explicit FakeFiles(Log& log) : m_log(log) {}

    std::map<std::wstring, std::wstring> environment{{L"windir", kWindir}};
    std::map<std::wstring, std::string> files;       // path -> content
    std::map<std::wstring, std::uint64_t> sizes;     // path -> size, where content does not matter
    std::set<std::wstring> unreadable;
    std::map<std::wstring, std::wstring> shortPaths;
    std::optional<std::wstring> programFolder = L"D:\\Apps\\QingHeJingTu";
    int openFailures = 0;  // the next so many opens fail; -1: all of them
    int writeFailures = 0;
    int racerWrites = 0;     // the next so many scripts are changed before they are held
    std::string racerText = "@echo off\r\nrem theirs\r\n";
    bool racerKeeps = false;  // the racer holds what it wrote, as another copy's cmd.exe does
    int removeFailures = 0;  // the next so many removals find the file in use; -1: all of them
    int opens = 0;
    std::set<std::wstring> held;   // scripts held now
    std::set<std::wstring> inUse;  // held by another process
    std::vector<std::wstring> heldFolders;
    std::function<void()> afterRemove;  // once, what another process does right after a removal

    std::optional<std::wstring> Environment(const std::wstring& name) override
    {
        const auto it = environment.find(name);
        return it == environment.end() ? std::nullopt : std::optional<std::wstring>(it->second);
    }
    std::optional<std::uint64_t> FileSize(const std::wstring& path) override
    {
        if (const auto it = sizes.find(path); it != sizes.end()) {
            return it->second;
        }
        if (const auto it = files.find(path); it != files.end()) {
            return it->second.size();
        }
        return std::nullopt;
    }
    bool Exists(const std::wstring& path) override
    {
        return files.count(path) || sizes.count(path) || unreadable.count(path);
    }
    std::optional<std::string> ReadSmallFile(const std::wstring& path, std::size_t maxBytes) override
    {
        const auto it = files.find(path);
        if (it == files.end() || unreadable.count(path) || it->second.size() > maxBytes) {
            return std::nullopt;
        }
        return it->second;
    }
    HeldFile CreateHeldFile(const std::wstring& path, const std::string& bytes) override
    {
        ++opens;
        if (openFailures != 0) {
            if (openFailures > 0) {
                --openFailures;
            }
            m_log.push_back("open failed");
            return {CreateResult::OpenFailed, nullptr};
        }
        if (files.count(path)) {
            m_log.push_back("exists");
            return {CreateResult::Exists, nullptr};
        }
        if (writeFailures > 0) {
            --writeFailures;
            files[path] = bytes.substr(0, bytes.size() / 2);
            m_log.push_back("write failed");
            return {CreateResult::WriteFailed, nullptr};
        }
        if (racerWrites > 0) {
            // Another process got in before the file was held.
            --racerWrites;
            files[path] = racerText;
            if (racerKeeps) {
                inUse.insert(path);
            }
            m_log.push_back("changed");
            return {CreateResult::Changed, nullptr};
        }
        files[path] = bytes;
        held.insert(path);
        m_log.push_back("write " + bytes);
        return {CreateResult::Created, std::make_unique<Hold>(*this, path)};
    }
    RemoveResult RemoveFile(const std::wstring& path) override
    {
        m_log.push_back("remove " + Narrow(path));
        if (held.count(path) || inUse.count(path)) {
            return RemoveResult::InUse;
        }
        if (removeFailures != 0) {
            if (removeFailures > 0) {
                --removeFailures;
            }
            return RemoveResult::InUse;
        }
        if (files.erase(path) == 0) {
            return RemoveResult::Missing;
        }
        if (afterRemove) {
            std::exchange(afterRemove, nullptr)();
        }
        return RemoveResult::Removed;
    }
    std::unique_ptr<FileHold> HoldFolder(const std::wstring& folder) override
    {
        heldFolders.push_back(folder);
        return std::make_unique<FileHold>();
    }
    std::optional<std::wstring> ShortPath(const std::wstring& path) override
    {
        const auto it = shortPaths.find(path);
        return it == shortPaths.end() ? std::nullopt : std::optional<std::wstring>(it->second);
    }
    std::optional<std::wstring> ProgramFolder() override { return programFolder; }

private:
    class Hold final : public FileHold {
    public:
        Hold(FakeFiles& files, std::wstring path) : m_files(files), m_path(std::move(path)) {}
        ~Hold() override
        {
            m_files.held.erase(m_path);
            m_files.m_log.push_back("release");
        }

    private:
        FakeFiles& m_files;
        std::wstring m_path;
    };

    Log& m_log;
};

// A script's process: it ends durationMs after its start, or never when that is empty.
struct FakeProcess {
    std::optional<std::uint32_t> durationMs;
    bool ended = false;
};

class FakeScript final : public RunningScript {
public:
    FakeScript(Log& log, std::shared_ptr<FakeProcess> process) : m_log(log), m_process(std::move(process)) {}
    bool WaitForEnd(std::uint32_t timeoutMs) override
    {
        if (m_process->durationMs && *m_process->durationMs <= timeoutMs) {
            m_process->ended = true;
        }
        m_log.push_back(m_process->ended ? "ended" : "still running after " + std::to_string(timeoutMs) + " ms");
        return m_process->ended;
    }
    bool Ended() override { return m_process->ended; }

private:
    Log& m_log;
    std::shared_ptr<FakeProcess> m_process;
};

// Starts "processes" that read the script as it is at their start.
class FakeStarter final : public ScriptStarter {
public:
    FakeStarter(Log& log, FakeFiles& files) : m_log(log), m_files(files) {}
    std::vector<std::string> scriptsRead;
    std::vector<std::shared_ptr<FakeProcess>> processes;
    int failStarts = 0;
    std::optional<std::uint32_t> processMs = 2000;  // empty: the tool hangs
    bool canStart = true;

    std::function<void()> onStart;  // what another process does while the script runs

    bool CanStart(const std::wstring&) override { return canStart; }

    std::unique_ptr<RunningScript> StartHidden(const std::wstring& folder) override
    {
        if (failStarts > 0) {
            --failStarts;
            m_log.push_back("start failed");
            return nullptr;
        }
        if (onStart) {
            onStart();
        }
        const auto script = m_files.files.find(JoinPath(folder, kScriptName));
        scriptsRead.push_back(script == m_files.files.end() ? "" : script->second);
        m_log.push_back("start in " + Narrow(folder));
        processes.push_back(std::make_shared<FakeProcess>(FakeProcess{processMs}));
        return std::make_unique<FakeScript>(m_log, processes.back());
    }
    void PutFirstOnPath(const std::wstring& toolFolder) override { m_log.push_back("path first " + Narrow(toolFolder)); }

private:
    Log& m_log;
    FakeFiles& m_files;
};

class FakeWindow final : public EraseWindow {
public:
    FakeWindow(Log& log, FakeClock& clock) : m_log(log), m_clock(clock) {}
    std::wstring title = std::wstring(kAppTitle);
    std::vector<std::wstring> titles;
    bool enabled = true;
    std::vector<float> waits;

    void SetTitle(const std::wstring& text) override
    {
        title = text;
        titles.push_back(text);
        m_log.push_back("title");
    }
    void SetEnabled(bool value) override
    {
        enabled = value;
        m_log.push_back(value ? "enable" : "disable");
    }
    void WaitTime(float Delay) override
    {
        waits.push_back(Delay);
        m_clock.now += static_cast<std::uint64_t>(Delay * 1e6f) + 1000;
        m_log.push_back("wait " + std::to_string(static_cast<int>(Delay * 1000 + 0.5f)) + " ms");
    }

private:
    Log& m_log;
    FakeClock& m_clock;
};

class FakeBoxes final : public MessageBoxes {
public:
    explicit FakeBoxes(Log& log) : m_log(log) {}
    std::deque<int> answers;  // empty: OK for OK boxes, Yes for Yes/No boxes
    std::vector<std::pair<std::wstring, unsigned>> shown;
    bool windowEnabledAtEachBox = true;
    FakeWindow* window = nullptr;

    int Show(const std::wstring& text, unsigned style) override
    {
        shown.emplace_back(text, style);
        m_log.push_back("box");
        if (window && !window->enabled) {
            windowEnabledAtEachBox = false;
        }
        if (!answers.empty()) {
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return (style & 0xF) == box::kYesNo ? box::kAnswerYes : box::kAnswerOk;
    }

private:
    Log& m_log;
};

class FakeCommands final : public CommandStarter {
public:
    std::vector<std::pair<std::wstring, ShowStyle>> started;
    bool Start(const std::wstring& commandLine, ShowStyle style) override
    {
        started.emplace_back(commandLine, style);
        return true;
    }
};

class FakeReader final : public FolderReader {
public:
    std::vector<std::wstring> names;
    bool Enumerate(const std::wstring&, const EntrySink& sink) override
    {
        for (const auto& name : names) {
            sink(name, 0x20);
        }
        return true;
    }
    bool NameLess(const wchar_t* a, const wchar_t* b) const override { return std::wcscmp(a, b) < 0; }
    std::optional<std::string> ReadSmallFile(const std::wstring&, std::size_t) override { return std::nullopt; }
};

class NullView final : public ListingView {
public:
    void SetFilesCaption(const std::wstring&) override {}
    void SetDoEnabled(bool) override {}
};

std::string Script(const std::string& path)
{
    return "@Echo off\r\nExifTool -overwrite_original -all= \"" + path + "\"\r\nexit\r\n";
}

class EraseRunTest : public ::testing::Test {
protected:
    EraseRunTest()
    {
        files.sizes[kTool] = kMinToolBytes;
        boxes.window = &window;
    }

    // Lists the folder with files named p01.jpg, p02.jpg, ...
    void List(const std::wstring& folder, int count)
    {
        for (int i = 1; i <= count; ++i) {
            wchar_t name[16];
            swprintf(name, 16, L"p%02d.jpg", i);
            reader.names.push_back(name);
        }
        state.SetDir(folder);
    }

    EraseOutcome Run() { return EraseRun(services, hung).Run(state); }

    std::vector<std::wstring> BoxTexts() const
    {
        std::vector<std::wstring> texts;
        for (const auto& [text, style] : boxes.shown) {
            texts.push_back(text);
        }
        return texts;
    }

    // Nothing written, started or changed in the window.
    void ExpectUntouched() const
    {
        EXPECT_EQ(files.opens, 0);
        EXPECT_TRUE(starter.scriptsRead.empty());
        EXPECT_TRUE(window.titles.empty());
        EXPECT_TRUE(window.enabled);
        for (const std::string& entry : log) {
            EXPECT_NE(entry, "disable");
            EXPECT_EQ(entry.rfind("remove", 0), std::string::npos) << entry;
        }
    }

    Log log;
    FakeClock clock;
    FakeFiles files{log};
    FakeStarter starter{log, files};
    FakeWindow window{log, clock};
    FakeBoxes boxes{log};
    FakeCommands commands;
    test::FakeCodePage oem = test::Fake936();
    test::FakeCodePage ansi = test::Fake936();
    EraseServices services{files, starter, window, boxes, commands, oem, ansi, clock};
    HungScripts hung;
    FakeReader reader;
    NullView view;
    FolderState state{reader, view};
};

TEST_F(EraseRunTest, AFolderTooLongForCmdIsRefusedBeforeTheWarning)
{
    // "D:\" and a name: the script path is the folder, "\ExifDel.bat" (12 characters).
    const std::wstring longest = L"D:\\" + std::wstring(259 - 12 - 3, L'x');
    List(longest + L"y", 3);
    EXPECT_EQ(Run(), EraseOutcome::FolderTooLong);
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0], L"当前文件夹的路径太长，命令解释器（cmd.exe）无法在其中运行脚本 ExifDel.bat，本次没有清除任何文件。\r\n"
                             L"请把文件移到路径较短的文件夹中再试。");
    EXPECT_EQ(boxes.shown[0].second, 0x30u);
    ExpectUntouched();

    state.SetDir(longest);  // a script path of 259 characters still works
    boxes.shown.clear();
    // The photos' own paths leave the tool no room for its temporary file: by their 8.3 forms.
    for (int i = 1; i <= 3; ++i) {
        files.shortPaths[longest + L"\\p0" + std::to_wstring(i) + L".jpg"] = L"D:\\LONGFO~1\\P0" + std::to_wstring(i) + L".JPG";
    }
    EXPECT_EQ(Run(), EraseOutcome::Finished);
    EXPECT_EQ(starter.scriptsRead, (std::vector<std::string>{Script("D:\\LONGFO~1\\P01.JPG"), Script("D:\\LONGFO~1\\P02.JPG"),
                                                             Script("D:\\LONGFO~1\\P03.JPG")}));
}

TEST_F(EraseRunTest, ToolCheckNeedsTheBigProgramOrTheLauncherWithItsPerl)
{
    List(L"D:\\Photos", 1);
    struct Case {
        const char* what;
        std::optional<std::uint64_t> toolBytes;
        bool perl;
        bool passes;
    };
    const Case cases[] = {
        {"no tool", std::nullopt, false, false},
        {"4,718,591 bytes", 4718591, false, false},
        {"4,718,592 bytes", 4718592, false, true},
        {"a large tool", 9000000, false, true},
        {"small launcher with its Perl", 60000, true, true},
        {"small launcher alone", 60000, false, false},
        {"Perl without the launcher", std::nullopt, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        files.sizes.clear();
        if (c.toolBytes) {
            files.sizes[kTool] = *c.toolBytes;
        }
        if (c.perl) {
            files.sizes[kPerl] = 25000;
        }
        EXPECT_EQ(ToolInstalled(files), c.passes);
    }
}

TEST_F(EraseRunTest, TheSystemToolComesFirstThenTheShippedOneThenTheBox)
{
    const std::wstring shipped = L"D:\\Apps\\QingHeJingTu\\exiftool\\ExifTool.exe";
    const std::wstring shippedPerl = L"D:\\Apps\\QingHeJingTu\\exiftool\\exiftool_files\\perl.exe";
    struct Case {
        const char* what;
        std::map<std::wstring, std::uint64_t> sizes;
        ToolChoice::Kind kind;
    };
    const Case cases[] = {
        {"both pass", {{kTool, 60000}, {kPerl, 1}, {shipped, 60000}, {shippedPerl, 1}}, ToolChoice::Kind::System},
        {"a small system tool alone", {{kTool, 60000}, {shipped, 60000}, {shippedPerl, 1}}, ToolChoice::Kind::Shipped},
        {"shipped large tool", {{shipped, kMinToolBytes}}, ToolChoice::Kind::Shipped},
        {"shipped launcher without Perl", {{shipped, 60000}}, ToolChoice::Kind::Missing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        files.sizes = c.sizes;
        const ToolChoice choice = ChooseTool(files, ansi);
        EXPECT_EQ(choice.kind, c.kind);
        EXPECT_EQ(choice.folder, c.kind == ToolChoice::Kind::Shipped ? L"D:\\Apps\\QingHeJingTu\\exiftool" : L"");
    }
    files.programFolder.reset();
    EXPECT_EQ(ChooseTool(files, ansi).kind, ToolChoice::Kind::Missing);
}

TEST_F(EraseRunTest, AShippedToolInAFolderItCannotRunFromIsRefusedBeforeTheWarning)
{
    List(L"D:\\Photos", 3);
    files.sizes = {{L"C:\\a;b\\exiftool\\ExifTool.exe", 60000}, {L"C:\\a;b\\exiftool\\exiftool_files\\perl.exe", 1}};
    files.programFolder = L"C:\\a;b";
    EXPECT_EQ(Run(), EraseOutcome::ToolUnusable);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].first, std::wstring(kShippedToolUnusableText) + L"C:\\a;b\\exiftool");
    EXPECT_EQ(boxes.shown[0].second, 0x30u);  // OK, exclamation icon
    ExpectUntouched();
}

TEST(ShippedToolPathTest, HostileFolderNamesEitherRunUnchangedFirstOnPathOrAreRefused)
{
    test::FakeCodePage ansi = test::Fake936();
    ansi.extra[L'\u6dfa'] = "\xdc\x5c";  // 淺: its second byte is "\"
    ansi.extra[L'\u00e9'] = "\xa8\xa6";  // é
    const std::wstring path = L"C:\\windows\\system32;C:\\windows";
    for (const std::wstring folder : {L"C:\\Program Files\\中文 照片\\exiftool", L"C:\\100% & co\\exiftool",
                                      L"C:\\a!b^c(d)'e,f=g\\exiftool", L"C:\\é\\exiftool"}) {
        SCOPED_TRACE(Narrow(folder));
        EXPECT_TRUE(ShippedToolFolderUsable(folder, ansi));
        EXPECT_EQ(PathWithToolFirst(folder, path), folder + L";" + path);
    }
    EXPECT_EQ(PathWithToolFirst(L"C:\\t\\exiftool", L""), L"C:\\t\\exiftool");

    const std::wstring atLimit = L"C:\\" + std::wstring(kShippedToolFolderMaxBytes - 3 - 2 * 2, L'x') + L"中文";
    EXPECT_TRUE(ShippedToolFolderUsable(atLimit, ansi));
    for (const std::wstring& folder : std::vector<std::wstring>{L"C:\\a;b\\exiftool", L"C:\\\u0141\u00f3d\u017a\\exiftool",
                                      L"C:\\\u6dfa\\exiftool", atLimit + L"x"}) {
        SCOPED_TRACE(Narrow(folder));
        EXPECT_FALSE(ShippedToolFolderUsable(folder, ansi));
    }
}

TEST_F(EraseRunTest, MissingOrShortToolShowsTheCriticalBoxAndDoesNothingElse)
{
    List(L"D:\\Photos", 3);
    for (const std::optional<std::uint64_t> size : {std::optional<std::uint64_t>(), std::optional<std::uint64_t>(4718591)}) {
        files.sizes.clear();
        if (size) {
            files.sizes[kTool] = *size;
        }
        boxes.shown.clear();
        EXPECT_EQ(Run(), EraseOutcome::ToolMissing);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].first, L"本机缺失必需的资源文件！请访问主页下载使用集成版。");
        EXPECT_EQ(boxes.shown[0].second, 0x10u);  // OK, stop icon
        ExpectUntouched();
    }
}

TEST_F(EraseRunTest, NoWindirMeansNoTool)
{
    List(L"D:\\Photos", 1);
    files.environment.clear();
    files.sizes[L"\\System32\\ExifTool.exe"] = kMinToolBytes;
    EXPECT_EQ(Run(), EraseOutcome::ToolMissing);
    ExpectUntouched();
}

TEST_F(EraseRunTest, OnlyOkAtTheWarningStartsTheRun)
{
    List(L"D:\\Photos", 3);
    // Cancel, and 0: the answer of a box that could not be shown.
    for (const int answer : {box::kAnswerCancel, 0}) {
        boxes.shown.clear();
        boxes.answers = {answer};
        EXPECT_EQ(Run(), EraseOutcome::Cancelled) << answer;
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].first, L"抹除后将无法恢复！");
        EXPECT_EQ(boxes.shown[0].second, 0x31u);  // OK/Cancel, exclamation icon
        ExpectUntouched();
        EXPECT_TRUE(commands.started.empty());
    }
}

TEST_F(EraseRunTest, ThreeFilesEachGetAScriptThatEndsBeforeTheNextIsWritten)
{
    List(L"D:\\Photos", 3);
    boxes.answers = {box::kAnswerOk, box::kAnswerNo};
    EXPECT_EQ(Run(), EraseOutcome::Finished);

    EXPECT_EQ(window.titles, (std::vector<std::wstring>{L"青禾净图  正在清除Exif中：1/3", L"青禾净图  正在清除Exif中：2/3",
                                                        L"青禾净图  正在清除Exif中：3/3", L"青禾净图"}));
    EXPECT_EQ(starter.scriptsRead, (std::vector<std::string>{Script("D:\\Photos\\p01.jpg"), Script("D:\\Photos\\p02.jpg"),
                                                             Script("D:\\Photos\\p03.jpg")}));
    const Log expected = {
        "box",  // warning
        "disable",
        "title", "write " + Script("D:\\Photos\\p01.jpg"), "start in D:\\Photos", "wait 300 ms", "ended",
        "title", "release", "remove D:\\Photos\\ExifDel.bat",
        "write " + Script("D:\\Photos\\p02.jpg"), "start in D:\\Photos", "wait 300 ms", "ended",
        "title", "release", "remove D:\\Photos\\ExifDel.bat",
        "write " + Script("D:\\Photos\\p03.jpg"), "start in D:\\Photos", "wait 300 ms", "ended",
        "enable",
        "release", "remove D:\\Photos\\ExifDel.bat",
        "box",  // completion
        "title",
    };
    EXPECT_EQ(log, expected);
    EXPECT_TRUE(window.enabled);
    EXPECT_EQ(window.title, L"青禾净图");
    EXPECT_FALSE(files.Exists(L"D:\\Photos\\ExifDel.bat"));
    EXPECT_EQ(files.heldFolders, std::vector<std::wstring>{L"D:\\Photos"}) << "held once, for the whole run";
    EXPECT_TRUE(commands.started.empty()) << "No opens no page";
}

TEST_F(EraseRunTest, TwentyFiveFilesProcessTheFirstTenAgainstTheFullCount)
{
    List(L"D:\\Photos\\", 25);
    EXPECT_EQ(Run(), EraseOutcome::Finished);
    ASSERT_EQ(starter.scriptsRead.size(), 10u);
    EXPECT_EQ(starter.scriptsRead.front(), Script("D:\\Photos\\p01.jpg"));
    EXPECT_EQ(starter.scriptsRead.back(), Script("D:\\Photos\\p10.jpg"));
    ASSERT_EQ(window.titles.size(), 11u);
    EXPECT_EQ(window.titles[0], L"青禾净图  正在清除Exif中：1/25");
    EXPECT_EQ(window.titles[9], L"青禾净图  正在清除Exif中：10/25");
    EXPECT_EQ(window.titles[10], L"青禾净图");
    EXPECT_EQ(window.waits, std::vector<float>(10, 0.3f));
}

TEST_F(EraseRunTest, DriveRootAndShareFoldersGetSingleSeparators)
{
    List(L"C:\\", 1);
    EXPECT_EQ(Run(), EraseOutcome::Finished);
    List(L"\\\\server\\share", 0);
    EXPECT_EQ(Run(), EraseOutcome::Finished);
    EXPECT_EQ(starter.scriptsRead, (std::vector<std::string>{Script("C:\\p01.jpg"), Script("\\\\server\\share\\p01.jpg")}));
    EXPECT_EQ(std::count(log.begin(), log.end(), "remove C:\\ExifDel.bat"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "remove \\\\server\\share\\ExifDel.bat"), 1);
}

TEST_F(EraseRunTest, TheScriptIsOemBytesWithQuotesAndDoubledPercent)
{
    oem.extra[L'é'] = "\x82";
    ansi.extra[L'é'] = "\xe9";
    reader.names = {L"%PATH% & ^ ( ) ! ' ; café 中文.jpg"};
    state.SetDir(L"D:\\照片");
    EXPECT_EQ(Run(), EraseOutcome::Finished);
    ASSERT_EQ(starter.scriptsRead.size(), 1u);
    EXPECT_EQ(starter.scriptsRead[0], "@Echo off\r\nExifTool -overwrite_original -all= "
                                      "\"D:\\\xd5\xd5\xc6\xac\\%%PATH%% & ^ ( ) ! ' ; caf\x82 \xd6\xd0\xce\xc4.jpg\"\r\n"
                                      "exit\r\n");
}

TEST_F(EraseRunTest, AFileTheCodePagesCannotCarryUsesItsShortPathOrIsNamedAfterTheRun)
{
    reader.names = {L"a.jpg", L"b\u0142.jpg", L"c\u0142.jpg", L"d.jpg"};
    state.SetDir(L"D:\\Photos");
    files.shortPaths[L"D:\\Photos\\b\u0142.jpg"] = L"D:\\Photos\\B~1.JPG";
    files.shortPaths[L"D:\\Photos\\c\u0142.jpg"] = L"D:\\Photos\\c\u0142.jpg";  // no 8.3 name on this volume
    EXPECT_EQ(Run(), EraseOutcome::Finished);
    EXPECT_EQ(starter.scriptsRead, (std::vector<std::string>{Script("D:\\Photos\\a.jpg"), Script("D:\\Photos\\B~1.JPG"),
                                                             Script("D:\\Photos\\d.jpg")}));
    // The skipped file still counts in the progress, and is named before the completion box.
    EXPECT_EQ(window.titles[2], L"青禾净图  正在清除Exif中：3/4");
    EXPECT_EQ(window.waits.size(), 3u);
    ASSERT_EQ(BoxTexts().size(), 3u);
    EXPECT_EQ(BoxTexts()[1], L"下列文件没有交给 ExifTool 处理，其中的内置信息没有清除：\r\n"
                             L"c\u0142.jpg\r\n"
                             L"文件名含有本机代码页无法表示的字符，而所在磁盘没有为它们保留 8.3 短文件名。");
    EXPECT_EQ(boxes.shown[1].second, 0x30u);
    EXPECT_EQ(BoxTexts()[2].substr(0, 5), L"处理完毕！");
}

TEST_F(EraseRunTest, ManyFilesPassedOverShowAHandfulOfNamesHowManyMoreAndEachReason)
{
    // Six names no code page carries, one path too long for the tool's temporary file, one fine.
    reader.names = {L"a\u0142.jpg", L"b\u0142.jpg", L"c\u0142.jpg", L"d\u0142.jpg", L"e\u0142.jpg",
                    L"f\u0142.jpg", std::wstring(240, L'g') + L".jpg", L"h.jpg"};
    state.SetDir(L"D:\\Photos");
    EXPECT_EQ(Run(), EraseOutcome::Finished);
    EXPECT_EQ(starter.scriptsRead, (std::vector<std::string>{Script("D:\\Photos\\h.jpg")}));
    ASSERT_EQ(BoxTexts().size(), 3u);
    EXPECT_EQ(BoxTexts()[1], L"下列文件没有交给 ExifTool 处理，其中的内置信息没有清除：\r\n"
                             L"a\u0142.jpg\r\nb\u0142.jpg\r\nc\u0142.jpg\r\nd\u0142.jpg\r\ne\u0142.jpg\r\n"
                             L"……另有 2 个文件\r\n"
                             L"文件名含有本机代码页无法表示的字符，而所在磁盘没有为它们保留 8.3 短文件名。"
                             L"文件路径太长（ExifTool 在 Windows 上只能处理短于 260 个字符的路径），而所在磁盘没有为它们保留 8.3 短文件名。");
}

TEST_F(EraseRunTest, WhenNoFileCanBeHandedOverTheRunSaysSoInsteadOfTheWarning)
{
    reader.names = {L"a\u0142.jpg", L"b\u0142.jpg"};
    state.SetDir(L"D:\\Photos");
    EXPECT_EQ(Run(), EraseOutcome::NothingToHand);
    EXPECT_EQ(BoxTexts(), (std::vector<std::wstring>{L"当前文件夹中要处理的文件都无法交给 ExifTool，本次没有清除任何文件。\r\n"
                                                     L"文件名含有本机代码页无法表示的字符，而所在磁盘没有为它们保留 8.3 短文件名。"}));
    ExpectUntouched();

    // A folder where cmd.exe cannot run scripts (a policy, or a network folder holding "%").
    reader.names = {L"a.jpg"};
    state.SetDir(L"\\\\server\\100%");
    starter.canStart = false;
    boxes.shown.clear();
    EXPECT_EQ(Run(), EraseOutcome::NothingToHand);
    EXPECT_EQ(BoxTexts(), (std::vector<std::wstring>{L"当前文件夹中要处理的文件都无法交给 ExifTool，本次没有清除任何文件。\r\n"
                                                     L"无法在此文件夹中启动命令解释器 cmd.exe（它可能被系统策略禁用，或网络文件夹的路径中含有 %）。"}));
    ExpectUntouched();
}

TEST_F(EraseRunTest, AFolderWhereTheScriptCannotBeCreatedEndsTheRunAfterAboutASecond)
{
    List(L"D:\\ReadOnly", 3);
    files.openFailures = -1;
    EXPECT_EQ(Run(), EraseOutcome::ScriptNotWritable);
    // Retried with short pauses for a second, not for ever.
    EXPECT_GT(files.opens, 5);
    EXPECT_LT(files.opens, 40);
    EXPECT_GE(clock.now - 1000, 1000000u);
    EXPECT_TRUE(starter.scriptsRead.empty());
    ASSERT_EQ(BoxTexts().size(), 2u);
    EXPECT_EQ(BoxTexts()[1], std::wstring(kScriptNotWritableText));
    EXPECT_EQ(boxes.shown[1].second, 0x30u);
    EXPECT_TRUE(boxes.windowEnabledAtEachBox);
    EXPECT_TRUE(window.enabled);
    EXPECT_EQ(window.title, L"青禾净图");
    EXPECT_EQ(window.titles.size(), 2u) << "no second file was tried";
    EXPECT_TRUE(commands.started.empty());
}

TEST_F(EraseRunTest, AnOpenThatFailsBrieflyIsRetried)
{
    List(L"D:\\Photos", 2);
    files.openFailures = 3;
    EXPECT_EQ(Run(), EraseOutcome::Finished);
    EXPECT_EQ(starter.scriptsRead.size(), 2u);
    EXPECT_EQ(files.opens, 5);
}

TEST_F(EraseRunTest, AForeignExifDelBatIsNeitherOverwrittenNorDeleted)
{
    List(L"D:\\Photos", 2);
    const std::string theirs = "@echo off\r\ncopy *.jpg E:\\backup\r\n";
    files.files[L"D:\\Photos\\ExifDel.bat"] = theirs;
    EXPECT_EQ(Run(), EraseOutcome::ForeignScript);
    ASSERT_EQ(BoxTexts().size(), 1u) << "checked before the warning";
    EXPECT_EQ(BoxTexts()[0], std::wstring(kForeignScriptText));
    EXPECT_EQ(files.files[L"D:\\Photos\\ExifDel.bat"], theirs);
    ExpectUntouched();

    // Unreadable (or a folder of that name): not ours either.
    files.files[L"D:\\Photos\\ExifDel.bat"] = Script("D:\\Photos\\x.jpg");
    files.unreadable.insert(L"D:\\Photos\\ExifDel.bat");
    EXPECT_EQ(Run(), EraseOutcome::ForeignScript);
    ExpectUntouched();
}

TEST_F(EraseRunTest, OurOwnLeftoverScriptIsReplaced)
{
    List(L"D:\\Photos", 1);
    files.files[L"D:\\Photos\\ExifDel.bat"] = Script("D:\\Photos\\old.jpg");
    EXPECT_EQ(Run(), EraseOutcome::Finished);
    EXPECT_EQ(starter.scriptsRead, (std::vector<std::string>{Script("D:\\Photos\\p01.jpg")}));
    EXPECT_FALSE(files.Exists(L"D:\\Photos\\ExifDel.bat"));
}

TEST_F(EraseRunTest, CompletionYesOpensBothPagesMaximizedInOrder)
{
    List(L"D:\\Photos", 1);
    boxes.answers = {box::kAnswerOk, box::kAnswerYes};
    EXPECT_EQ(Run(), EraseOutcome::Finished);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].first,
              L"处理完毕！友情提示：可能会有的文件的内置信息清除失败，想知道哪些清除\r\n"
              L"成功哪些清除失败，请访问主页参见《墨影图匠》V5.0\r\n"
              L" 修改文件时间属性-导出/抹除Exif信息功能模块。\r\n"
              L"要访问主页吗？");
    EXPECT_EQ(boxes.shown[1].second, 0x44u);  // Yes/No, information icon
    EXPECT_TRUE(boxes.windowEnabledAtEachBox);
    ASSERT_EQ(commands.started.size(), 2u);
    EXPECT_EQ(commands.started[0].first, L"explorer.exe http://www.qinghe.example/Index.htm");
    EXPECT_EQ(commands.started[1].first, L"explorer.exe http://www.ruanjian.example/soft/32582.html");
    EXPECT_EQ(commands.started[0].second, ShowStyle::Maximized);
    EXPECT_EQ(commands.started[1].second, ShowStyle::Maximized);
    EXPECT_EQ(window.title, L"青禾净图");
}

TEST_F(EraseRunTest, AWriteThatBreaksOffRemovesTheCutScriptAndStartsNothing)
{
    List(L"D:\\Photos", 2);
    files.writeFailures = 1;
    EXPECT_EQ(Run(), EraseOutcome::Finished);
    EXPECT_EQ(starter.scriptsRead, (std::vector<std::string>{Script("D:\\Photos\\p02.jpg")}));
    const auto failed = std::find(log.begin(), log.end(), "write failed");
    ASSERT_NE(failed, log.end());
    EXPECT_EQ(*(failed + 1), "remove D:\\Photos\\ExifDel.bat");
}

TEST_F(EraseRunTest, AScriptThatCannotBeStartedIsPassedOver)
{
    List(L"D:\\Photos", 2);
    starter.failStarts = 1;
    EXPECT_EQ(Run(), EraseOutcome::Finished);
    EXPECT_EQ(starter.scriptsRead, (std::vector<std::string>{Script("D:\\Photos\\p02.jpg")}));
    EXPECT_EQ(window.waits.size(), 2u);
    ASSERT_EQ(BoxTexts().size(), 3u);
    EXPECT_EQ(BoxTexts()[1], L"下列文件没有交给 ExifTool 处理，其中的内置信息没有清除：\r\np01.jpg\r\n"
                             L"处理它们的脚本无法写入或启动。");
    EXPECT_FALSE(files.Exists(L"D:\\Photos\\ExifDel.bat"));
}

TEST_F(EraseRunTest, AnotherProgramsScriptIsNeitherWrittenIntoNorRunNorDeleted)
{
    // Another copy of the program is running its script of ours: checked before the warning.
    List(L"D:\\Photos", 3);
    const std::wstring script = L"D:\\Photos\\ExifDel.bat";
    files.files[script] = Script("D:\\Photos\\theirs.jpg");
    files.inUse.insert(script);
    EXPECT_EQ(Run(), EraseOutcome::ScriptInUse);
    EXPECT_EQ(BoxTexts(), (std::vector<std::wstring>{std::wstring(kScriptInUseText)}));
    EXPECT_EQ(files.opens, 0);
    EXPECT_TRUE(starter.scriptsRead.empty());
    EXPECT_EQ(files.files[script], Script("D:\\Photos\\theirs.jpg"));

    // A script someone creates between two files stops the run, and stays as it is.
    files.files.erase(script);
    files.inUse.clear();
    boxes.shown.clear();
    files.afterRemove = [&] { files.files[script] = "@echo off\r\nrem theirs\r\n"; };
    EXPECT_EQ(Run(), EraseOutcome::ScriptTaken);
    EXPECT_EQ(starter.scriptsRead.size(), 1u);
    EXPECT_EQ(BoxTexts().back(), std::wstring(kScriptTakenText));
    EXPECT_EQ(files.files[script], "@echo off\r\nrem theirs\r\n");
    EXPECT_TRUE(window.enabled);
}

TEST_F(EraseRunTest, AScriptChangedBeforeItIsHeldIsWrittenAnewAndRunsAsWritten)
{
    List(L"D:\\Photos", 2);
    files.racerWrites = 3;
    EXPECT_EQ(Run(), EraseOutcome::Finished);
    EXPECT_EQ(starter.scriptsRead, (std::vector<std::string>{Script("D:\\Photos\\p01.jpg"), Script("D:\\Photos\\p02.jpg")}));
    EXPECT_FALSE(files.Exists(L"D:\\Photos\\ExifDel.bat"));
    EXPECT_EQ(BoxTexts().size(), 2u) << "warning and completion only";

    // Another copy of the program got in and runs its own script: the run stops with that box
    // alone, and leaves the other copy's script to it.
    boxes.shown.clear();
    files.racerWrites = 1;
    files.racerText = Script("D:\\Photos\\theirs.jpg");
    files.racerKeeps = true;
    EXPECT_EQ(Run(), EraseOutcome::ScriptTaken);
    EXPECT_EQ(BoxTexts(), (std::vector<std::wstring>{std::wstring(kWarningText), std::wstring(kScriptTakenText)}));
    EXPECT_EQ(files.files[L"D:\\Photos\\ExifDel.bat"], Script("D:\\Photos\\theirs.jpg"));
}

TEST_F(EraseRunTest, TheLastScriptsDeletionIsRetriedAndAScriptLeftBehindIsReported)
{
    List(L"D:\\Photos", 1);
    starter.onStart = [&] { files.removeFailures = 3; };  // a virus scanner holds it for a moment
    EXPECT_EQ(Run(), EraseOutcome::Finished);
    EXPECT_FALSE(files.Exists(L"D:\\Photos\\ExifDel.bat"));
    EXPECT_EQ(BoxTexts().size(), 2u);

    boxes.shown.clear();
    starter.onStart = [&] { files.removeFailures = -1; };
    EXPECT_EQ(Run(), EraseOutcome::Finished);
    ASSERT_EQ(BoxTexts().size(), 3u);
    EXPECT_EQ(BoxTexts()[1], L"无法删除脚本文件 ExifDel.bat（可能正被其他程序占用）。请稍后手动删除它：\r\nD:\\Photos\\ExifDel.bat");
    EXPECT_EQ(BoxTexts()[2].substr(0, 5), L"处理完毕！");
}

TEST_F(EraseRunTest, AHungToolStopsTheRunAndItsScriptStaysWhileItRuns)
{
    List(L"D:\\Photos", 3);
    starter.processMs.reset();
    EXPECT_EQ(Run(), EraseOutcome::ToolHung);
    EXPECT_EQ(starter.scriptsRead.size(), 1u) << "the script is not replaced under a running process";
    EXPECT_EQ(std::count(log.begin(), log.end(), "still running after 60000 ms"), 1);
    EXPECT_TRUE(files.Exists(L"D:\\Photos\\ExifDel.bat")) << "nor deleted";
    ASSERT_EQ(BoxTexts().size(), 2u);
    EXPECT_EQ(BoxTexts()[1], L"ExifTool 在 60 秒内没有结束，清除已停止，其余文件没有处理。\r\n"
                             L"在它结束之前，本程序不会在此文件夹中再次清除。");
    EXPECT_TRUE(window.enabled);
    EXPECT_EQ(window.title, L"青禾净图");
    EXPECT_TRUE(commands.started.empty());

    // A second run in that folder, however its name is written, writes and starts nothing.
    for (const wchar_t* folder : {L"D:\\Photos", L"d:\\photos\\"}) {
        state.SetDir(folder);
        log.clear();
        boxes.shown.clear();
        window.titles.clear();
        const int opens = files.opens;
        EXPECT_EQ(Run(), EraseOutcome::ScriptStillRunning);
        ASSERT_EQ(BoxTexts().size(), 1u);
        EXPECT_EQ(BoxTexts()[0], L"上次在此文件夹中启动的 ExifTool 仍在运行。为免打断它，本次没有清除任何文件。\r\n"
                                 L"请等它结束后再试。");
        EXPECT_EQ(files.opens, opens);
        EXPECT_EQ(log, (Log{"box"}));
    }
    EXPECT_EQ(starter.scriptsRead.size(), 1u);

    // Once the tool has ended, its leftover script goes and the folder can be erased again.
    starter.processes[0]->ended = true;
    starter.processMs = 2000;
    boxes.shown.clear();
    EXPECT_EQ(Run(), EraseOutcome::Finished);
    EXPECT_EQ(log.at(1), "release");
    EXPECT_EQ(log.at(2), "remove D:\\Photos\\ExifDel.bat") << "let go of, then removed, before the run";
    EXPECT_EQ(starter.scriptsRead.size(), 4u);
    EXPECT_FALSE(files.Exists(L"D:\\Photos\\ExifDel.bat"));
}

TEST_F(EraseRunTest, ALargeFileGetsTimeToBeRewritten)
{
    // A slow tool: ten minutes per file. A 3 GiB video gets 60 s + 3072 s; a small photo 61 s.
    List(L"D:\\Photos", 2);
    files.sizes[L"D:\\Photos\\p01.jpg"] = 3ull << 30;
    files.sizes[L"D:\\Photos\\p02.jpg"] = 1000;
    starter.processMs = 600000;
    EXPECT_EQ(Run(), EraseOutcome::ToolHung);
    EXPECT_EQ(std::count(log.begin(), log.end(), "ended"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "still running after 61000 ms"), 1);
    EXPECT_EQ(BoxTexts().back().substr(0, 16), L"ExifTool 在 61 秒内");
    EXPECT_EQ(ScriptEndTimeoutMs(3ull << 30), 60000u + 3072u * 1000u);
    EXPECT_EQ(ScriptEndTimeoutMs(std::uint64_t{1} << 62), 0xFFFFFFFEu);
}

TEST_F(EraseRunTest, ProgressTitleIsPlainDecimal)
{
    EXPECT_EQ(ProgressTitle(1, 3), L"青禾净图  正在清除Exif中：1/3");
    EXPECT_EQ(ProgressTitle(10, 40000), L"青禾净图  正在清除Exif中：10/40000");
}

}  // namespace
}  // namespace qh
