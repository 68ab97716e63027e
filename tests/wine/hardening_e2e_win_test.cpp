// The real program in the situations a careful user meets on Windows: a run cut off by a kill or
// by the end of the session, a folder too long for cmd.exe, an explorer.exe lying beside the
// program. The program starts in C:\ and has no command line, so its photos go into C:\.
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "box_driver.h"
#include "erase/erase_run.h"
#include "erase/exif_script.h"
#include "platform/win32_handles.h"
#include "test_folder.h"
#include "unix_tools.h"
#include "window/form1.h"
#include "window/layout.h"

namespace qh {
namespace {

using test::TextOf;

constexpr DWORD kRunBoundMs = 90000;
const std::wstring kRootScript = L"C:\\ExifDel.bat";

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Erased(const std::wstring& path)
{
    const auto tags = test::ReadTags(path);
    return tags && tags->count("File:FileType") && test::PhotoTagsIn(*tags).empty();
}

// The processes started by processId, and by those, and so on.
std::vector<DWORD> Descendants(DWORD processId)
{
    std::vector<std::pair<DWORD, DWORD>> all;  // id, parent
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
        all.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
    }
    std::vector<DWORD> found;
    std::vector<DWORD> parents{processId};
    while (!parents.empty()) {
        const DWORD parent = parents.back();
        parents.pop_back();
        for (const auto& [id, itsParent] : all) {
            if (itsParent == parent && id != processId) {
                found.push_back(id);
                parents.push_back(id);
            }
        }
    }
    return found;
}

bool ChildrenRunning(DWORD processId)
{
    return !Descendants(processId).empty();
}

// The real program, started as a user starts it; ended (if still running) with the test.
class Program {
public:
    explicit Program(const std::wstring& exe, const std::wstring& currentDirectory = L"C:\\", int show = -1)
    {
        std::wstring commandLine = L"\"" + exe + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        if (show >= 0) {  // as a shortcut's "Run" setting arrives
            startup.dwFlags = STARTF_USESHOWWINDOW;
            startup.wShowWindow = static_cast<WORD>(show);
        }
        PROCESS_INFORMATION info{};
        if (::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             currentDirectory.c_str(), &startup, &info)) {
            ::CloseHandle(info.hThread);
            m_process.Reset(info.hProcess);
            m_id = info.dwProcessId;
        }
    }
    ~Program() { Kill(); }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    [[nodiscard]] HANDLE Handle() const { return m_process.Get(); }
    [[nodiscard]] DWORD Id() const { return m_id; }
    [[nodiscard]] bool Ended(DWORD timeoutMs) const
    {
        return ::WaitForSingleObject(m_process.Get(), timeoutMs) == WAIT_OBJECT_0;
    }
    void Kill() const
    {
        if (m_process && !Ended(0)) {
            ::TerminateProcess(m_process.Get(), 1);
            (void)Ended(10000);
        }
    }
    // As a power cut: the program, its cmd.exe and the tool end at once.
    // Returns whether all of them have ended.
    [[nodiscard]] bool KillWithItsProcesses() const
    {
        Kill();
        // A cmd.exe may start the tool meanwhile: again until nothing is left.
        return test::WaitUntil(
            [this] {
                const std::vector<DWORD> started = Descendants(m_id);
                for (const DWORD id : started) {
                    if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, id)) {
                        ::TerminateProcess(process, 1);
                        ::WaitForSingleObject(process, 5000);
                        ::CloseHandle(process);
                    }
                }
                return started.empty();
            },
            20000);
    }

    // The shown main window, once it has listed its folder.
    [[nodiscard]] HWND WaitForWindow() const
    {
        return test::WaitForProcessWindow(m_id, Form1::kClassName, 30000);
    }

private:
    UniqueHandle m_process;
    DWORD m_id = 0;
};

std::wstring ProgramExe()
{
    return test::WindowsPathOf(QH_PROGRAM_EXE).value_or(L"");
}

// Twelve tagged photos in C:\ (which must hold no other file), removed with the test.
class RootPhotos : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::DeleteFileW(kRootScript.c_str());
        ASSERT_TRUE(test::MakeTaggedPhoto(m_master.Path() + L"\\master.jpg"));
        for (int i = 1; i <= 12; ++i) {
            wchar_t name[32];
            swprintf(name, 32, L"C:\\qh-hard-%02d.jpg", i);
            photos.push_back(name);
            ASSERT_TRUE(::CopyFileW((m_master.Path() + L"\\master.jpg").c_str(), name, FALSE));
        }
    }
    void TearDown() override
    {
        for (const auto& path : photos) {
            ::DeleteFileW(path.c_str());
        }
        ::DeleteFileW(kRootScript.c_str());
    }

    // Clicks the erase button and waits until the run works on the second photo.
    static void StartRun(HWND main)
    {
        ::PostMessageW(::GetDlgItem(main, kCmdDo), BM_CLICK, 0, 0);
        ASSERT_TRUE(test::WaitUntil(
            // The second photo's script is there (each file's script is deleted before the next
            // one is created, so the title alone does not say which is there).
            [main] {
                return TextOf(main).find(L"正在清除Exif中：2/12") != std::wstring::npos &&
                       test::ReadAll(kRootScript).find("qh-hard-02.jpg") != std::string::npos;
            },
            kRunBoundMs));
    }

    std::vector<std::wstring> photos;

private:
    test::TestFolder m_master{L"hardening-master"};
};

TEST_F(RootPhotos, AfterAKillMidRunTheNextRunErasesTheFirstTenPhotos)
{
    {
        Program first(ProgramExe());
        const HWND main = first.WaitForWindow();
        ASSERT_NE(main, nullptr);
        test::BoxAnswerer answerer(main, {IDOK});
        StartRun(main);
        ASSERT_TRUE(first.KillWithItsProcesses());
        answerer.Stop();
    }
    // The killed run's script stays; it sorts before the photos.
    ASSERT_TRUE(Exists(kRootScript));
    ASSERT_TRUE(IsOwnScript(test::ReadAll(kRootScript)));
    const std::string eleventh = test::ReadAll(photos[10]);

    Program second(ProgramExe());
    const HWND main = second.WaitForWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(test::WaitUntil([main] { return TextOf(::GetDlgItem(main, kLFiles)) == L"文件数：10"; }, 10000));
    test::BoxAnswerer answerer(main, {IDOK, IDNO});
    ::PostMessageW(::GetDlgItem(main, kCmdDo), BM_CLICK, 0, 0);
    ASSERT_TRUE(answerer.WaitForAnswers(kRunBoundMs));
    ASSERT_TRUE(test::WaitUntil([main] { return TextOf(main) == L"青禾净图" && ::IsWindowEnabled(main); }, 10000));
    const std::vector<test::SeenBox> boxes = answerer.Stop();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, std::wstring(kCompletionText));

    // The killed run never reached the last of these: a leftover script taking a place would
    // leave the tenth photo tagged.
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(Erased(photos[i])) << test::Utf8(photos[i]);
    }
    EXPECT_TRUE(test::ReadAll(photos[10]) == eleventh);
    EXPECT_FALSE(Exists(kRootScript));
}

TEST_F(RootPhotos, TheSessionWaitsForARunAndAnEndAnywayLeavesNoScript)
{
    Program program(ProgramExe());
    const HWND main = program.WaitForWindow();
    ASSERT_NE(main, nullptr);
    DWORD_PTR answer = 0;
    ASSERT_TRUE(::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE)) << "an idle window lets the session end";

    test::BoxAnswerer answerer(main, {IDOK});
    StartRun(main);
    ASSERT_TRUE(::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(FALSE)) << "a run holds the session up";

    // The session ends anyway: the program removes its script and ends.
    ::SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    ASSERT_TRUE(program.Ended(10000));
    answerer.Stop();
    ASSERT_TRUE(test::WaitUntil([&program] { return !ChildrenRunning(program.Id()); }, kRunBoundMs));
    EXPECT_FALSE(Exists(kRootScript));
    EXPECT_FALSE(Erased(photos[9])) << "a run that went on after the end of the session";
}

// The spy in place of the Windows directory's explorer.exe while the scope lasts; the prefix's own
// is put back after (an earlier test that was killed may have left its save: that one is the own).
class WindowsExplorerSpy {
public:
    WindowsExplorerSpy()
    {
        wchar_t folder[MAX_PATH]{};
        const UINT length = ::GetSystemWindowsDirectoryW(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            return;
        }
        path = std::wstring(folder, length) + L"\\explorer.exe";
        m_saved = path + L".qh-saved";
        const bool aside = Exists(m_saved) ? ::DeleteFileW(path.c_str()) || !Exists(path)
                                           : ::MoveFileExW(path.c_str(), m_saved.c_str(), 0);
        m_ready = aside && ::CopyFileW(test::WindowsPathOf(QH_SPY_EXE).value_or(L"").c_str(), path.c_str(), TRUE);
    }
    ~WindowsExplorerSpy()
    {
        if (Exists(m_saved)) {
            ::DeleteFileW(path.c_str());
            ::MoveFileExW(m_saved.c_str(), path.c_str(), 0);
        }
    }
    WindowsExplorerSpy(const WindowsExplorerSpy&) = delete;
    WindowsExplorerSpy& operator=(const WindowsExplorerSpy&) = delete;

    [[nodiscard]] bool Ready() const { return m_ready; }
    std::wstring path;

private:
    std::wstring m_saved;
    bool m_ready = false;
};

TEST(ProgramBesideExplorer, LinksStartTheWindowsExplorerNeverOneBesideTheProgram)
{
    // Both in one folder, as in Downloads, which is also the current folder.
    test::TestFolder downloads(L"hardening-downloads");
    const std::wstring exe = downloads.Path() + L"\\QingHeJingTu.exe";
    const std::wstring log = downloads.Path() + L"\\explorer-calls.log";
    ASSERT_TRUE(::CopyFileW(ProgramExe().c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(test::WindowsPathOf(QH_SPY_EXE).value_or(L"").c_str(),
                            (downloads.Path() + L"\\explorer.exe").c_str(), FALSE));
    const WindowsExplorerSpy windowsExplorer;
    ASSERT_TRUE(windowsExplorer.Ready());
    ::SetEnvironmentVariableW(L"QH_SPY_WHERE_LOG", log.c_str());

    Program program(exe, downloads.Path());
    const HWND main = program.WaitForWindow();
    ::SetEnvironmentVariableW(L"QH_SPY_WHERE_LOG", nullptr);
    ASSERT_NE(main, nullptr);
    // A link click, then a confirmed close: each starts "explorer.exe <address>".
    const HWND home = ::GetDlgItem(main, kLHome);
    ::PostMessageW(home, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    ::PostMessageW(home, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    test::BoxAnswerer answerer(main, {IDOK});
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.Ended(20000));
    EXPECT_EQ(answerer.Stop().size(), 1u);
    // Each started spy notes its own path at once.
    ASSERT_TRUE(test::WaitUntil([&program] { return !ChildrenRunning(program.Id()); }, 30000));
    const std::string started = test::Utf8(windowsExplorer.path) + "\n";
    EXPECT_EQ(test::ReadAll(log), started + started);
}

TEST(ProgramStart, AShortcutSetToMaximizedShowsTheFixedWindowNormally)
{
    Program program(ProgramExe(), L"C:\\", SW_SHOWMAXIMIZED);
    const HWND main = program.WaitForWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(::IsZoomed(main));
    RECT client{};
    ::GetClientRect(main, &client);
    EXPECT_EQ(client.right, TwipsToPixels(kClientWidthTwips, 96));
    EXPECT_EQ(client.bottom, TwipsToPixels(kClientHeightTwips, 96));
}

// The browse dialog's tree, seen from another process: handles only, no texts.
HTREEITEM TreeItem(HWND tree, WPARAM which, HTREEITEM from = nullptr)
{
    return reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, which, reinterpret_cast<LPARAM>(from)));
}

HWND FindBrowseTree(HWND owner)
{
    const HWND dialog = test::FindOwnedBox(owner);
    return dialog ? ::FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr) : nullptr;
}

// Opens the browse dialog on E:\ and goes down a chain of only children, levels deep, as a user
// does (Right expands, then the child), and confirms.
::testing::AssertionResult BrowseDown(HWND main, std::size_t levels)
{
    ::PostMessageW(::GetDlgItem(main, kCmdBrowse), BM_CLICK, 0, 0);
    HWND tree = nullptr;
    if (!test::WaitUntil([&] { return (tree = FindBrowseTree(main)) && TreeItem(tree, TVGN_CARET); }, 20000)) {
        return ::testing::AssertionFailure() << "no browse dialog";
    }
    for (std::size_t depth = 0; depth < levels; ++depth) {
        const HTREEITEM parent = TreeItem(tree, TVGN_CARET);
        ::PostMessageW(tree, WM_KEYDOWN, VK_RIGHT, 0);
        HTREEITEM child = nullptr;
        if (!test::WaitUntil([&] { return (child = TreeItem(tree, TVGN_CHILD, parent)) != nullptr; }, 10000)) {
            return ::testing::AssertionFailure() << "no child at depth " << depth;
        }
        ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(child));
    }
    ::PostMessageW(::GetDlgItem(::GetParent(tree), IDOK), BM_CLICK, 0, 0);
    return ::testing::AssertionSuccess();
}

TEST(LongFolder, AFolderTooLongForCmdIsRefusedBeforeTheWarningAndNothingIsWritten)
{
    // A chain of single folders on E:, the browse dialog's start: 250 characters in all, so the
    // script path (with the dialog's final separator) would take 262.
    const std::vector<std::wstring> parts = {std::wstring(80, L'a'), std::wstring(80, L'b'), std::wstring(85, L'c')};
    std::wstring folder = L"E:";
    for (const auto& part : parts) {
        folder += L"\\" + part;
        ::CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr);
    }
    ASSERT_EQ(folder.size(), 250u);
    struct Cleanup {
        ~Cleanup() { test::RemoveTree(L"\\\\?\\E:\\" + std::wstring(80, L'a')); }
    } cleanup;
    test::TestFolder master(L"hardening-long");
    const std::wstring photo = L"\\\\?\\" + folder + L"\\photo.jpg";
    ASSERT_TRUE(test::MakeTaggedPhoto(master.Path() + L"\\photo.jpg"));
    ASSERT_TRUE(::CopyFileW((master.Path() + L"\\photo.jpg").c_str(), photo.c_str(), FALSE));
    const std::string before = test::ReadAll(photo);
    ASSERT_FALSE(before.empty());

    Program program(ProgramExe());
    const HWND main = program.WaitForWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(BrowseDown(main, parts.size()));
    // The window shows the count, then enables the button: both are waited for.
    ASSERT_TRUE(test::WaitUntil(
        [main] {
            return TextOf(::GetDlgItem(main, kLFiles)) == L"文件数：1" && ::IsWindowEnabled(::GetDlgItem(main, kCmdDo));
        },
        10000))
        << "the folder is listed";

    test::BoxAnswerer answerer(main, {IDOK});
    ::PostMessageW(::GetDlgItem(main, kCmdDo), BM_CLICK, 0, 0);
    ASSERT_TRUE(answerer.WaitForAnswers(20000));
    ASSERT_TRUE(test::WaitUntil([main] { return ::IsWindowEnabled(main) && !test::FindOwnedBox(main); }, 10000));
    const std::vector<test::SeenBox> boxes = answerer.Stop();
    ASSERT_EQ(boxes.size(), 1u) << "no warning";
    EXPECT_EQ(boxes[0].title, L"消息");
    EXPECT_EQ(boxes[0].text, L"当前文件夹的路径太长，命令解释器（cmd.exe）无法在其中运行脚本 ExifDel.bat，本次没有清除任何文件。\r\n"
                             L"请把文件移到路径较短的文件夹中再试。");
    EXPECT_FALSE(Exists(L"\\\\?\\" + folder + L"\\ExifDel.bat"));
    EXPECT_EQ(TextOf(::GetDlgItem(main, kLDir)), folder + L"\\");
    EXPECT_TRUE(test::ReadAll(photo) == before);
    EXPECT_EQ(TextOf(main), L"青禾净图");
}

// The stand-in ExifTool.exe first on the PATH the program passes on: it notes each file argument
// and hands it on to the installed tool.
class ToolCalls {
public:
    ToolCalls()
    {
        const auto spy = test::WindowsPathOf(QH_SPY_EXE);
        m_ready = spy && ::CopyFileW(spy->c_str(), (m_folder.Path() + L"\\ExifTool.exe").c_str(), FALSE);
        std::wstring path(32768, L'\0');
        path.resize(::GetEnvironmentVariableW(L"PATH", path.data(), static_cast<DWORD>(path.size())));
        m_savedPath = path;
        ::SetEnvironmentVariableW(L"PATH", (m_folder.Path() + L";" + m_savedPath).c_str());
        ::SetEnvironmentVariableW(L"QH_SPY_LOG", (m_folder.Path() + L"\\calls.log").c_str());
    }
    ~ToolCalls()
    {
        ::SetEnvironmentVariableW(L"PATH", m_savedPath.c_str());
        ::SetEnvironmentVariableW(L"QH_SPY_LOG", nullptr);
    }
    [[nodiscard]] bool Ready() const { return m_ready; }
    // "ok <file>" per call, in order.
    [[nodiscard]] std::vector<std::wstring> Lines() const
    {
        std::vector<std::wstring> lines;
        const std::string log = test::ReadAll(m_folder.Path() + L"\\calls.log");
        for (std::size_t start = 0, end = 0; start < log.size(); start = end + 1) {
            end = log.find('\n', start);
            lines.push_back(test::FromUtf8(log.substr(start, end - start)));
            if (end == std::string::npos) {
                break;
            }
        }
        return lines;
    }

private:
    test::TestFolder m_folder{L"hardening-spy"};
    std::wstring m_savedPath;
    bool m_ready = false;
};

// Waits until the window is idle again: its title back, enabled, no box.
bool WaitForIdle(HWND main)
{
    return test::WaitUntil(
        [main] { return TextOf(main) == L"青禾净图" && ::IsWindowEnabled(main) && !test::FindOwnedBox(main); },
        kRunBoundMs);
}

TEST_F(RootPhotos, AWriterRacingForTheScriptGetsNoLineRunAndEachPhotoReachesTheToolOnce)
{
    ToolCalls calls;
    ASSERT_TRUE(calls.Ready());
    Program program(ProgramExe());
    const HWND main = program.WaitForWindow();
    ASSERT_NE(main, nullptr);

    // Whenever the script is there, it tries to put its own command into it.
    const std::wstring ran = L"C:\\qh-racer-ran";
    std::atomic<bool> stop{false};
    std::atomic<int> rewrites{0};
    std::thread racer([&] {
        const std::string theirs = "@echo off\r\nmkdir C:\\qh-racer-ran\r\nexit\r\n";
        while (!stop) {
            HANDLE file = ::CreateFileW(kRootScript.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                DWORD written = 0;
                ::WriteFile(file, theirs.data(), static_cast<DWORD>(theirs.size()), &written, nullptr);
                ::SetEndOfFile(file);
                ::CloseHandle(file);
                ++rewrites;
            }
            ::Sleep(1);
        }
    });
    test::BoxAnswerer answerer(main, {IDOK, IDNO});
    ::PostMessageW(::GetDlgItem(main, kCmdDo), BM_CLICK, 0, 0);
    const bool answered = answerer.WaitForAnswers(kRunBoundMs) && WaitForIdle(main);
    stop = true;
    racer.join();
    const bool theirsRan = Exists(ran);
    ::RemoveDirectoryW(ran.c_str());
    ASSERT_TRUE(answered);
    const std::vector<test::SeenBox> boxes = answerer.Stop();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, std::wstring(kCompletionText));

    EXPECT_FALSE(theirsRan) << rewrites << " rewrites got in";
    std::vector<std::wstring> expected;
    for (int i = 0; i < 10; ++i) {
        expected.push_back(L"ok " + photos[i]);
    }
    EXPECT_EQ(calls.Lines(), expected);
    EXPECT_FALSE(Exists(kRootScript));
}

TEST(TwoCopies, TwoCopiesOnOneFolderRunNoFragmentOfANameAndLeaveNoScript)
{
    // Names of growing lengths, each holding a command from wherever it is read: a copy that
    // reads its script on where the other copy's longer line now stands would run one.
    const std::wstring ran = L"C:\\qh-two-ran";
    test::TestFolder master(L"hardening-two");
    ASSERT_TRUE(test::MakeTaggedPhoto(master.Path() + L"\\master.jpg"));
    std::vector<std::wstring> photos;
    for (int i = 1; i <= 12; ++i) {
        photos.push_back(L"C:\\qh-two " + std::wstring(static_cast<std::size_t>(4 * i), L'x') +
                         L" & mkdir qh-two-ran & mkdir qh-two-ran & mkdir qh-two-ran & .jpg");
        ASSERT_TRUE(::CopyFileW((master.Path() + L"\\master.jpg").c_str(), photos.back().c_str(), FALSE));
    }
    struct Cleanup {
        const std::vector<std::wstring>& photos;
        ~Cleanup()
        {
            for (const auto& photo : photos) {
                ::DeleteFileW(photo.c_str());
            }
            ::RemoveDirectoryW(L"C:\\qh-two-ran");
            ::DeleteFileW(kRootScript.c_str());
        }
    } cleanup{photos};

    Program first(ProgramExe());
    Program second(ProgramExe());
    const HWND one = first.WaitForWindow();
    const HWND two = second.WaitForWindow();
    ASSERT_TRUE(one && two);
    // An OK box gets OK whatever was planned; a Yes/No box gets No.
    test::BoxAnswerer answersOne(one, {IDOK, IDNO, IDNO, IDNO});
    test::BoxAnswerer answersTwo(two, {IDOK, IDNO, IDNO, IDNO});
    ::PostMessageW(::GetDlgItem(one, kCmdDo), BM_CLICK, 0, 0);
    // The second starts behind the first, on shorter names.
    ASSERT_TRUE(test::WaitUntil([one] { return TextOf(one).find(L"正在清除Exif中：3/") != std::wstring::npos; }, kRunBoundMs));
    ::PostMessageW(::GetDlgItem(two, kCmdDo), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitForIdle(one));
    ASSERT_TRUE(test::WaitUntil([&] { return !test::FindOwnedBox(two) && TextOf(two) == L"青禾净图" && ::IsWindowEnabled(two); },
                                kRunBoundMs));
    EXPECT_FALSE(Exists(ran));
    EXPECT_FALSE(Exists(kRootScript));
    // Each window ended in a box of its own kind: none ran into the other's script unnoticed.
    const std::vector<std::wstring> endings = {std::wstring(kCompletionText), std::wstring(kScriptInUseText),
                                               std::wstring(kScriptTakenText)};
    for (const auto& boxes : {answersOne.Stop(), answersTwo.Stop()}) {
        ASSERT_FALSE(boxes.empty());
        EXPECT_NE(std::find(endings.begin(), endings.end(), boxes.back().text), endings.end())
            << test::Utf8(boxes.back().text);
    }
}

TEST(RenamedFolder, TheFolderARunWorksInCannotBeRenamedUnderIt)
{
    const std::wstring folder = L"E:\\qh-rename";
    const std::wstring renamed = L"E:\\qh-renamed";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    struct Cleanup {
        ~Cleanup()
        {
            test::RemoveTree(L"E:\\qh-rename");
            test::RemoveTree(L"E:\\qh-renamed");
        }
    } cleanup;
    test::TestFolder master(L"hardening-rename");
    ASSERT_TRUE(test::MakeTaggedPhoto(master.Path() + L"\\master.jpg"));
    for (const wchar_t* name : {L"\\a.jpg", L"\\b.jpg", L"\\c.jpg"}) {
        ASSERT_TRUE(::CopyFileW((master.Path() + L"\\master.jpg").c_str(), (folder + name).c_str(), FALSE));
    }

    Program program(ProgramExe());
    const HWND main = program.WaitForWindow();
    ASSERT_NE(main, nullptr);
    // The browse dialog opens on E:\; its only folder is the photos'.
    ASSERT_TRUE(BrowseDown(main, 1));
    ASSERT_TRUE(test::WaitUntil([main] { return TextOf(::GetDlgItem(main, kLFiles)) == L"文件数：3"; }, 10000));

    test::BoxAnswerer answerer(main, {IDOK, IDNO});
    ::PostMessageW(::GetDlgItem(main, kCmdDo), BM_CLICK, 0, 0);
    ASSERT_TRUE(test::WaitUntil([main] { return TextOf(main).find(L"正在清除Exif中：1/3") != std::wstring::npos; },
                                kRunBoundMs));
    // Someone renames the folder again and again while the run works in it. A try counts while
    // the run's script is there before and after it: the folder is held from before the first
    // script to after the last one is gone.
    const std::wstring script = folder + L"\\ExifDel.bat";
    int tries = 0;
    int renames = 0;
    const bool ended = test::WaitUntil(
        [&] {
            if (Exists(script)) {
                const bool moved = ::MoveFileW(folder.c_str(), renamed.c_str());
                if (moved) {
                    ::MoveFileW(renamed.c_str(), folder.c_str());
                }
                const bool during = Exists(script);
                tries += during ? 1 : 0;
                renames += moved && during ? 1 : 0;
            }
            return TextOf(main) == L"青禾净图" && ::IsWindowEnabled(main) && !test::FindOwnedBox(main);
        },
        kRunBoundMs);
    ASSERT_TRUE(ended);
    const std::vector<test::SeenBox> boxes = answerer.Stop();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, std::wstring(kCompletionText));
    EXPECT_GT(tries, 10);
    EXPECT_EQ(renames, 0);
    for (const wchar_t* name : {L"\\a.jpg", L"\\b.jpg", L"\\c.jpg"}) {
        EXPECT_TRUE(Erased(folder + name)) << test::Utf8(name);
    }
    EXPECT_FALSE(Exists(folder + L"\\ExifDel.bat"));
    EXPECT_TRUE(::MoveFileW(folder.c_str(), renamed.c_str())) << "let go of once the run is over";
}

}  // namespace
}  // namespace qh
