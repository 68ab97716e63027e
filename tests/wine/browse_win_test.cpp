// The real browse dialog over the real window, driven from a second thread as a user would:
// the window's own message loop runs on the test's thread while the dialog is open.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

#include "folder/new_dir.h"
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

std::wstring TextOf(HWND hwnd)
{
    wchar_t buffer[512]{};
    ::GetWindowTextW(hwnd, buffer, 512);
    return buffer;
}

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

// What the driving thread saw of the dialog.
struct DialogVisit {
    bool opened = false;
    bool promptShown = false;
    std::wstring preselected;  // the tree's selected item once the dialog is up
    bool navigated = true;
    bool closed = false;
};

enum class Answer { Confirm, Cancel };

// Waits for the dialog over `owner`, lets `navigate` act on its tree like a user, answers it
// with a click on OK or Cancel and waits for it to close.
DialogVisit VisitDialog(DWORD uiThread, HWND owner, const std::function<bool(HWND tree)>& navigate, Answer answer)
{
    DialogVisit visit;
    HWND dialog = nullptr;
    visit.opened = WaitUntil([&] { return (dialog = FindOwnedDialog(uiThread, owner)) != nullptr; });
    if (!visit.opened) {
        return visit;
    }
    for (HWND label : ChildrenOfClass(dialog, WC_STATICW)) {
        visit.promptShown = visit.promptShown || TextOf(label) == kBrowsePrompt;
    }
    const std::vector<HWND> trees = ChildrenOfClass(dialog, WC_TREEVIEWW);
    HWND tree = trees.empty() ? nullptr : trees.front();
    if (tree) {
        WaitUntil([&] { return ItemText(tree, Caret(tree)).find(L"E:") != std::wstring::npos; });
        visit.preselected = ItemText(tree, Caret(tree));
        if (navigate) {
            visit.navigated = navigate(tree);
        }
    }
    const bool confirm = answer == Answer::Confirm && visit.navigated;
    HWND button = ::GetDlgItem(dialog, confirm ? IDOK : IDCANCEL);
    if (confirm) {
        WaitUntil([&] { return ::IsWindowEnabled(button) != FALSE; });
    }
    ::PostMessageW(button, BM_CLICK, 0, 0);
    visit.closed = WaitUntil([&] { return !::IsWindow(dialog); });
    return visit;
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

    // Starts the dialog with `start`, then runs the window's message loop here while a second
    // thread visits the dialog; returns when the dialog has been answered.
    DialogVisit Browse(const std::function<void()>& start, const std::function<bool(HWND)>& navigate, Answer answer)
    {
        const DWORD uiThread = ::GetCurrentThreadId();
        DialogVisit visit;
        std::thread driver([&] {
            visit = VisitDialog(uiThread, form.Hwnd(), navigate, answer);
            ::PostThreadMessageW(uiThread, WM_QUIT, 0, 0);
        });
        start();
        Form1::RunMessageLoop(form.Hwnd());
        driver.join();
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
    const DialogVisit visit = Browse([this] { ClickBrowse(); }, nullptr, Answer::Confirm);
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
    for (const std::wstring name : {EDriveItems::kChinese, EDriveItems::kOutsideAnsi}) {
        const DialogVisit visit = Browse([this] { ClickBrowse(); }, SelectChildOfCaret(name), Answer::Confirm);
        ASSERT_TRUE(visit.opened);
        EXPECT_TRUE(visit.navigated) << "E: shows no child named " << testing::PrintToString(name);
        ASSERT_TRUE(visit.closed);
        EXPECT_EQ(Caption(kLDir), L"E:\\" + name + L"\\");
        EXPECT_EQ(form.State().Dir(), L"E:\\" + name + L"\\");
    }
    EXPECT_EQ(Caption(kLFiles), L"文件数：0");  // the folder outside the code page is empty
}

TEST_F(BrowseTest, AltBOpensTheDialogAndCancelKeepsTheCurrentFolder)
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
    const DialogVisit visit = Browse(pressAltB, nullptr, Answer::Cancel);
    ASSERT_TRUE(visit.opened) << "Alt+B did not open the dialog";
    EXPECT_TRUE(visit.promptShown);
    ASSERT_TRUE(visit.closed);
    EXPECT_EQ(Caption(kLDir), current.Path());
    EXPECT_EQ(form.State().Dir(), current.Path());
    EXPECT_EQ(Caption(kLFiles), L"文件数：1");
}

TEST_F(BrowseTest, OpensOnAThreadThatAlreadyHasAnApartment)
{
    // The window's thread may already be in an apartment: OLE's for the drop target, or another
    // model altogether. Neither stops the dialog.
    for (const bool ole : {true, false}) {
        const HRESULT hr = ole ? ::OleInitialize(nullptr) : ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_TRUE(SUCCEEDED(hr));
        const DialogVisit visit = Browse([this] { ClickBrowse(); }, nullptr, Answer::Confirm);
        if (ole) {
            ::OleUninitialize();
        } else {
            ::CoUninitialize();
        }
        ASSERT_TRUE(visit.opened) << (ole ? "OLE" : "multithreaded");
        ASSERT_TRUE(visit.closed);
        EXPECT_EQ(Caption(kLDir), L"E:\\");
        form.SetDir(L"C:\\");
    }
}

}  // namespace
}  // namespace qh
