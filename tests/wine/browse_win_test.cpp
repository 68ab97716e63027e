// The real browse dialog over the real window, driven from a second thread as a user would:
// the window's own message loop runs on the test's thread while the dialog is open.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include "box_driver.h"
#include "folder/new_dir.h"
#include "platform/win32_folder_dialog.h"
#include "platform/win32_shell.h"
#include "test_folder.h"
#include "window/form1.h"

namespace qh {
namespace {

constexpr DWORD kWaitMs = 15000;

// Polls until the condition holds or the bound passes.
bool WaitUntil(const std::function<bool()>& condition, DWORD boundMs = kWaitMs)
{
    const ULONGLONG end = ::GetTickCount64() + boundMs;
    while (!condition()) {
        if (::GetTickCount64() > end) {
            return false;
        }
        ::Sleep(10);
    }
    return true;
}

using test::TextOf;

std::wstring ClassOf(HWND hwnd)
{
    wchar_t buffer[64]{};
    ::GetClassNameW(hwnd, buffer, 64);
    return buffer;
}

// The visible dialog box owned by the given window, on the given thread.
HWND FindOwnedDialog(DWORD thread, HWND owner)
{
    struct Search {
        HWND owner;
        HWND found;
    } search{owner, nullptr};
    ::EnumThreadWindows(
        thread,
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lParam);
            if (ClassOf(hwnd) == L"#32770" && ::IsWindowVisible(hwnd) && ::GetWindow(hwnd, GW_OWNER) == s->owner) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> ChildrenOfClass(HWND parent, const wchar_t* className)
{
    std::vector<HWND> children;
    for (HWND child = ::FindWindowExW(parent, nullptr, className, nullptr); child;
         child = ::FindWindowExW(parent, child, className, nullptr)) {
        children.push_back(child);
    }
    return children;
}

std::wstring ItemText(HWND tree, HTREEITEM item)
{
    wchar_t buffer[MAX_PATH]{};
    TVITEMW tvItem{};
    tvItem.mask = TVIF_TEXT;
    tvItem.hItem = item;
    tvItem.pszText = buffer;
    tvItem.cchTextMax = MAX_PATH;
    ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvItem));
    return buffer;
}

HTREEITEM Caret(HWND tree)
{
    return reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

HTREEITEM ChildNamed(HWND tree, HTREEITEM parent, const std::wstring& name)
{
    for (auto item = reinterpret_cast<HTREEITEM>(
             ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
         item; item = reinterpret_cast<HTREEITEM>(
                   ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        if (ItemText(tree, item) == name) {
            return item;
        }
    }
    return nullptr;
}

// What the driving thread saw of the browse dialog.
struct BrowseVisit {
    bool opened = false;
    bool promptShown = false;
    std::wstring preselected;  // the tree's selected item once the dialog is up
    bool navigated = true;
    bool closed = false;
};

// Decides, on the driving thread, how to answer a dialog that has opened: returns the id of
// the button to click.
using DialogHandler = std::function<int(HWND dialog)>;

// Waits for a dialog box over `owner`, lets `handle` look at it and pick a button, clicks that
// button and waits for the dialog to close. Returns whether it opened and whether it closed.
std::pair<bool, bool> AnswerDialog(DWORD uiThread, HWND owner, const DialogHandler& handle)
{
    HWND dialog = nullptr;
    if (!WaitUntil([&] { return (dialog = FindOwnedDialog(uiThread, owner)) != nullptr; })) {
        return {false, false};
    }
    HWND button = ::GetDlgItem(dialog, handle(dialog));
    if (!button || !::IsWindowEnabled(button)) {
        button = ::GetDlgItem(dialog, IDCANCEL);  // still end the dialog, so the test ends
    }
    ::PostMessageW(button, BM_CLICK, 0, 0);
    return {true, WaitUntil([&] { return !::IsWindow(dialog); })};
}

enum class Answer { Confirm, Cancel };

// The browse dialog as a user meets it: the prompt, the preselected drive, then `navigate`
// acting on the tree, then OK or Cancel.
DialogHandler BrowseHandler(BrowseVisit& visit, const std::function<bool(HWND tree)>& navigate, Answer answer)
{
    return [&visit, navigate, answer](HWND dialog) {
        visit.opened = true;
        for (HWND label : ChildrenOfClass(dialog, WC_STATICW)) {
            visit.promptShown = visit.promptShown || TextOf(label) == kBrowsePrompt;
        }
        const std::vector<HWND> trees = ChildrenOfClass(dialog, WC_TREEVIEWW);
        if (!trees.empty()) {
            HWND tree = trees.front();
            WaitUntil([&] { return ItemText(tree, Caret(tree)).find(L"E:") != std::wstring::npos; });
            visit.preselected = ItemText(tree, Caret(tree));
            if (navigate) {
                visit.navigated = navigate(tree);
            }
        }
        if (answer == Answer::Cancel || !visit.navigated) {
            return IDCANCEL;
        }
        HWND ok = ::GetDlgItem(dialog, IDOK);
        WaitUntil([&] { return ::IsWindowEnabled(ok) != FALSE; });
        return IDOK;
    };
}

// A user's way down the tree: Right expands the selected folder, then a click selects the child.
std::function<bool(HWND)> SelectChildOfCaret(const std::wstring& name)
{
    return [name](HWND tree) {
        const HTREEITEM parent = Caret(tree);
        ::PostMessageW(tree, WM_KEYDOWN, VK_RIGHT, 0);
        HTREEITEM child = nullptr;
        if (!WaitUntil([&] { return (child = ChildNamed(tree, parent, name)) != nullptr; })) {
            return false;
        }
        ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(child));
        return Caret(tree) == child;
    };
}

// Selecting the drive's parent, the computer, which is no folder of the file system: the
// dialog must not let it be confirmed.
bool ComputerCannotBeConfirmed(HWND tree)
{
    const auto computer = reinterpret_cast<HTREEITEM>(
        ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(Caret(tree))));
    ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(computer));
    return computer && Caret(tree) == computer && !::IsWindowEnabled(::GetDlgItem(::GetParent(tree), IDOK));
}

// Files and folders the tests put on drive E:, removed again whatever happens.
class EDriveItems {
public:
    EDriveItems() { Clear(); }
    ~EDriveItems() { Clear(); }
    EDriveItems(const EDriveItems&) = delete;
    EDriveItems& operator=(const EDriveItems&) = delete;

    static constexpr const wchar_t* kFiles[] = {L"E:\\qh-browse-1.jpg", L"E:\\qh-browse-2.jpg"};
    static constexpr const wchar_t* kChinese = L"青禾照片 (1) & 100%";
    static constexpr const wchar_t* kOutsideAnsi = L"Ő-한-ก";

    void Create() const
    {
        for (const wchar_t* name : {kChinese, kOutsideAnsi}) {
            ::CreateDirectoryW((std::wstring(L"E:\\") + name).c_str(), nullptr);
        }
        for (const std::wstring& file : {std::wstring(kFiles[0]), std::wstring(kFiles[1]),
                                         std::wstring(L"E:\\") + kChinese + L"\\图1.jpg"}) {
            ::CloseHandle(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                        nullptr));
        }
    }

private:
    static void Clear()
    {
        for (const wchar_t* file : kFiles) {
            ::DeleteFileW(file);
        }
        for (const wchar_t* name : {kChinese, kOutsideAnsi}) {
            test::RemoveTree(std::wstring(L"E:\\") + name);
        }
    }
};

class BrowseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(::GetFileAttributesW(L"E:\\"), INVALID_FILE_ATTRIBUTES) << "the test suite maps drive E:";
        // A window destroyed by an earlier test has left its quit request behind.
        MSG msg{};
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        ASSERT_TRUE(form.Create(::GetModuleHandleW(nullptr)));
    }

    // Only where it matters: without a window manager, Wine takes two seconds to hide a window.
    void ShowForm()
    {
        ::ShowWindow(form.Hwnd(), SW_SHOW);
        ::UpdateWindow(form.Hwnd());
    }

    // Does `start`, then runs the window's message loop here while a second thread answers the
    // dialog that opens over the window; returns once the dialog has been answered.
    std::pair<bool, bool> RunWithDialog(const std::function<void()>& start, const DialogHandler& handle)
    {
        const DWORD uiThread = ::GetCurrentThreadId();
        std::pair<bool, bool> openedClosed;
        std::thread driver([&] {
            openedClosed = AnswerDialog(uiThread, form.Hwnd(), handle);
            ::PostThreadMessageW(uiThread, WM_QUIT, 0, 0);
        });
        start();
        Form1::RunMessageLoop(form.Hwnd());
        driver.join();
        return openedClosed;
    }

    BrowseVisit Browse(const std::function<void()>& start, const std::function<bool(HWND)>& navigate, Answer answer)
    {
        BrowseVisit visit;
        visit.closed = RunWithDialog(start, BrowseHandler(visit, navigate, answer)).second;
        return visit;
    }

    void ClickBrowse() { ::PostMessageW(form.Control(kCmdBrowse), BM_CLICK, 0, 0); }

    std::wstring Caption(ControlId id) const { return TextOf(form.Control(id)); }

    EDriveItems eDrive;
    Form1 form;
};

TEST_F(BrowseTest, ConfirmingThePreselectedDriveMakesItTheCurrentFolder)
{
    eDrive.Create();
    ShowForm();
    const BrowseVisit visit = Browse([this] { ClickBrowse(); }, nullptr, Answer::Confirm);
    ASSERT_TRUE(visit.opened) << "no dialog owned by the window appeared";
    EXPECT_TRUE(visit.promptShown);
    EXPECT_NE(visit.preselected.find(L"E:"), std::wstring::npos) << "selected: " << visit.preselected;
    ASSERT_TRUE(visit.closed);
    EXPECT_EQ(Caption(kLDir), L"E:\\");
    EXPECT_EQ(form.State().Dir(), L"E:\\");
    EXPECT_EQ(Caption(kLFiles), L"文件数：2");
    EXPECT_TRUE(::IsWindowEnabled(form.Control(kCmdDo)));
    EXPECT_TRUE(::IsWindowEnabled(form.Hwnd())) << "the owner is enabled again";
}

TEST_F(BrowseTest, FoldersNamedOutsideTheAnsiCodePageCanBeChosen)
{
    eDrive.Create();
    const std::pair<std::wstring, const wchar_t*> folders[] = {{EDriveItems::kChinese, L"文件数：1"},
                                                                {EDriveItems::kOutsideAnsi, L"文件数：0"}};
    for (const auto& [name, count] : folders) {
        const BrowseVisit visit = Browse([this] { ClickBrowse(); }, SelectChildOfCaret(name), Answer::Confirm);
        ASSERT_TRUE(visit.opened);
        EXPECT_TRUE(visit.navigated) << "E: shows no child named " << testing::PrintToString(name);
        ASSERT_TRUE(visit.closed);
        EXPECT_EQ(Caption(kLDir), L"E:\\" + name + L"\\");
        EXPECT_EQ(form.State().Dir(), L"E:\\" + name + L"\\");
        EXPECT_EQ(Caption(kLFiles), count);
    }
}

TEST_F(BrowseTest, AltBOpensTheDialogForFileSystemFoldersAndCancelKeepsTheCurrentFolder)
{
    test::TestFolder current(L"browse-current");
    current.AddFile(L"a.jpg");
    form.SetDir(current.Path());
    ShowForm();
    const auto pressAltB = [this] {
        ::SetForegroundWindow(form.Hwnd());
        ::SetFocus(form.Control(kCmdBrowse));
        INPUT keys[4]{};
        const WORD codes[4] = {VK_MENU, 'B', 'B', VK_MENU};
        for (int i = 0; i < 4; ++i) {
            keys[i].type = INPUT_KEYBOARD;
            keys[i].ki.wVk = codes[i];
            keys[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
        }
        ::SendInput(4, keys, sizeof(INPUT));
    };
    const BrowseVisit visit = Browse(pressAltB, ComputerCannotBeConfirmed, Answer::Cancel);
    ASSERT_TRUE(visit.opened) << "Alt+B did not open the dialog";
    EXPECT_TRUE(visit.promptShown);
    EXPECT_TRUE(visit.navigated) << "only file-system folders can be confirmed";
    ASSERT_TRUE(visit.closed);
    EXPECT_EQ(Caption(kLDir), current.Path());
    EXPECT_EQ(form.State().Dir(), current.Path());
    EXPECT_EQ(Caption(kLFiles), L"文件数：1");
}

TEST_F(BrowseTest, ACloseRequestWhileTheDialogIsOpenIsIgnored)
{
    // As taskkill without /f sends it: it reaches the window through the dialog's own loop.
    HWND main = form.Hwnd();
    const auto closeMeanwhile = [main](HWND) {
        DWORD_PTR result = 0;
        const bool answered = ::SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
        return answered && ::IsWindow(main);
    };
    const BrowseVisit visit = Browse([this] { ClickBrowse(); }, closeMeanwhile, Answer::Cancel);
    ASSERT_TRUE(visit.opened);
    EXPECT_TRUE(visit.navigated) << "the close request asked or destroyed the window under the dialog";
    EXPECT_TRUE(visit.closed);
    EXPECT_TRUE(::IsWindow(main));
}

TEST_F(BrowseTest, OpensOnAThreadThatAlreadyHasAnApartment)
{
    // The window's thread is in OLE's apartment already (the drop target needs it, and the test
    // main sets it up as the program does); a further OleInitialize nests. The dialog still opens.
    const HRESULT hr = ::OleInitialize(nullptr);
    ASSERT_TRUE(SUCCEEDED(hr));
    const BrowseVisit visit = Browse([this] { ClickBrowse(); }, nullptr, Answer::Confirm);
    ::OleUninitialize();
    ASSERT_TRUE(visit.opened);
    ASSERT_TRUE(visit.closed);
    EXPECT_EQ(Caption(kLDir), L"E:\\");
}

TEST_F(BrowseTest, DialogThatCannotOpenIsReportedInABox)
{
    // The shell refuses an owner window that no longer exists: the dialog never opens.
    HWND gone = ::CreateWindowExW(0, WC_STATICW, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ::DestroyWindow(gone);
    Win32FolderDialog dialog;
    Win32MessageBoxes boxes(form.Hwnd());
    std::vector<std::wstring> dirs;
    std::wstring text, title;
    bool okOnly = false, informationIcon = false;
    const auto [opened, closed] = RunWithDialog(
        [&] {
            CmdBrowseClick(dialog, boxes, gone, [&](const std::wstring& folder) { dirs.push_back(folder); });
        },
        [&](HWND box) {
            text = TextOf(::GetDlgItem(box, 0xFFFF));
            title = TextOf(box);
            okOnly = ::GetDlgItem(box, IDOK) && !::GetDlgItem(box, IDCANCEL);
            for (HWND child : ChildrenOfClass(box, WC_STATICW)) {
                if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                    informationIcon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0)) ==
                                      ::LoadIconW(nullptr, IDI_INFORMATION);
                }
            }
            return IDOK;
        });
    ASSERT_TRUE(opened) << "no message box";
    EXPECT_TRUE(closed);
    EXPECT_TRUE(dirs.empty());
    EXPECT_EQ(Caption(kLDir), L"C:\\");
    EXPECT_EQ(title, L"消息");
    EXPECT_TRUE(okOnly);
    EXPECT_TRUE(informationIcon);
    // The error number, its description, a line break and the advice to drop a folder instead.
    const std::wstring suffix = L"\r\n。请用拖放文件夹功能指定目录。";
    ASSERT_GT(text.size(), suffix.size());
    EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix) << testing::PrintToString(text);
    const std::wstring head = text.substr(0, text.size() - suffix.size());
    const std::size_t digits = head.find_first_not_of(L"0123456789", 1);
    ASSERT_NE(digits, std::wstring::npos) << "a description follows the number: " << testing::PrintToString(text);
    EXPECT_EQ(head[0], L'-') << "an HRESULT failure code is negative";
    EXPECT_GT(digits, 1u);
    EXPECT_EQ(head.find_first_of(L"\r\n"), std::wstring::npos);
}

}  // namespace
}  // namespace qh
