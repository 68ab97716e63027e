// The link labels and the close confirmation in the real window: the close box is answered
// from a second thread (in-process) or from outside (the real program as a child process).
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "box_driver.h"
#include "test_folder.h"
#include "window/form1.h"
#include "window/pages.h"

namespace qh {
namespace {

using test::TextOf;

constexpr DWORD kWaitMs = 10000;

// Polls a condition until it holds or the bound runs out.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = kWaitMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (::GetTickCount64() > deadline) {
            return false;
        }
        ::Sleep(10);
    }
    return true;
}

std::vector<HWND> BoxesOwnedBy(HWND owner)
{
    std::vector<HWND> boxes;
    for (HWND box = ::FindWindowExW(nullptr, nullptr, L"#32770", nullptr); box;
         box = ::FindWindowExW(nullptr, box, L"#32770", nullptr)) {
        if (::GetWindow(box, GW_OWNER) == owner && ::IsWindowVisible(box)) {
            boxes.push_back(box);
        }
    }
    return boxes;
}

HWND WaitForBox(HWND owner)
{
    HWND found = nullptr;
    WaitFor([&] {
        const std::vector<HWND> boxes = BoxesOwnedBy(owner);
        found = boxes.empty() ? nullptr : boxes.front();
        return found != nullptr;
    });
    return found;
}

// What a test reads off the close box.
struct BoxSeen {
    bool found = false;
    std::wstring text;
    std::wstring title;
    bool hasOk = false;
    bool cancelIsDefault = false;
    bool okIsDefault = false;
    bool hasYesOrNo = false;
    bool hasIcon = false;
    bool goneAfterAnswer = false;
};

BoxSeen Inspect(HWND box)
{
    BoxSeen seen;
    seen.found = box != nullptr;
    if (!box) {
        return seen;
    }
    seen.text = TextOf(::GetDlgItem(box, 0xFFFF));
    seen.title = TextOf(box);
    const auto buttonType = [](HWND button) {
        return static_cast<DWORD>(::GetWindowLongW(button, GWL_STYLE)) & BS_TYPEMASK;
    };
    HWND ok = ::GetDlgItem(box, IDOK);
    HWND cancel = ::GetDlgItem(box, IDCANCEL);
    seen.hasOk = ok != nullptr;
    seen.okIsDefault = ok && buttonType(ok) == BS_DEFPUSHBUTTON;
    seen.cancelIsDefault = cancel && buttonType(cancel) == BS_DEFPUSHBUTTON;
    seen.hasYesOrNo = ::GetDlgItem(box, IDYES) || ::GetDlgItem(box, IDNO);
    // The icon is a static with SS_ICON: id 0x14 on Windows, 1088 under Wine.
    for (int id : {0x14, 1088}) {
        HWND icon = ::GetDlgItem(box, id);
        if (icon && (::GetWindowLongW(icon, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            seen.hasIcon = true;
        }
    }
    return seen;
}

void ExpectCloseBox(const BoxSeen& seen)
{
    ASSERT_TRUE(seen.found) << "no close box appeared";
    EXPECT_EQ(seen.text, L"确定要关闭？");
    EXPECT_EQ(seen.title, L"消息");
    EXPECT_TRUE(seen.hasOk);
    EXPECT_TRUE(seen.cancelIsDefault) << "Cancel is the default button";
    EXPECT_FALSE(seen.okIsDefault);
    EXPECT_FALSE(seen.hasYesOrNo);
    EXPECT_TRUE(seen.hasIcon);
}

void ExpectCloseBoxAnswered(const BoxSeen& seen)
{
    ExpectCloseBox(seen);
    EXPECT_TRUE(seen.goneAfterAnswer) << "the box did not take the answer";
}

// The ways of dismissing the box that must all keep the window.
enum class Dismiss { CancelButton, Escape, Enter, CloseButton };

void DismissBox(HWND box, Dismiss how)
{
    // Keys go where the keyboard would send them: the box's focused control.
    GUITHREADINFO gui{};
    gui.cbSize = sizeof(gui);
    HWND focus = box;
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(box, nullptr), &gui) && gui.hwndFocus &&
        (gui.hwndFocus == box || ::IsChild(box, gui.hwndFocus))) {
        focus = gui.hwndFocus;
    }
    switch (how) {
    case Dismiss::CancelButton:
        ::PostMessageW(::GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0);
        break;
    case Dismiss::Escape:
        ::PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        ::PostMessageW(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001);
        break;
    case Dismiss::Enter:
        ::PostMessageW(focus, WM_KEYDOWN, VK_RETURN, 0x001C0001);
        ::PostMessageW(focus, WM_KEYUP, VK_RETURN, 0xC01C0001);
        break;
    case Dismiss::CloseButton:
        ::PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
}

class RecordingStarter final : public CommandStarter {
public:
    std::vector<std::pair<std::wstring, ShowStyle>> started;
    bool Start(const std::wstring& commandLine, ShowStyle style) override
    {
        started.emplace_back(commandLine, style);
        return true;
    }
};

class LinksWinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // An earlier window's end posted WM_QUIT to this thread; left there, it would end the
        // next box's modal loop at once.
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        ASSERT_TRUE(form.Create(::GetModuleHandleW(nullptr)));
        form.UseCommandStarter(starter);
    }

    // Sends a close request of the given kind from this thread (which runs the box) while a
    // helper thread reads the box and dismisses it.
    BoxSeen CloseAndAnswer(UINT message, WPARAM wParam, const std::function<void(HWND box)>& answer)
    {
        BoxSeen seen;
        std::thread helper([&] {
            HWND box = WaitForBox(form.Hwnd());
            seen = Inspect(box);
            if (box) {
                answer(box);
                seen.goneAfterAnswer = WaitFor([box] { return !::IsWindow(box); });
                if (!seen.goneAfterAnswer) {
                    ::PostMessageW(box, WM_COMMAND, IDCANCEL, 0);  // don't leave this thread stuck
                }
            }
        });
        ::SendMessageW(form.Hwnd(), message, wParam, 0);
        helper.join();
        return seen;
    }

    RecordingStarter starter;
    Form1 form;
};

TEST_F(LinksWinTest, LinkClicksStartThePagesInTheirWindowStyles)
{
    const auto click = [](HWND control) {
        ::SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        ::SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    };
    const std::wstring home = OpenPageCommand(kHomePageUrl);
    const std::wstring download = OpenPageCommand(kDownloadPageUrl);

    click(form.Control(kLHome));
    EXPECT_EQ(starter.started, (std::vector<std::pair<std::wstring, ShowStyle>>{{home, ShowStyle::Normal}}));

    starter.started.clear();
    click(form.Control(kLabel1));
    EXPECT_EQ(starter.started, (std::vector<std::pair<std::wstring, ShowStyle>>{
                                   {home, ShowStyle::Maximized}, {download, ShowStyle::Maximized}}));

    starter.started.clear();
    click(form.Control(kLDir));
    click(form.Control(kLFiles));
    EXPECT_TRUE(starter.started.empty()) << "only the two links open pages";
}

TEST_F(LinksWinTest, HandCursorOverTheTwoLinksOnly)
{
    const HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
    const HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);
    ASSERT_NE(hand, arrow);
    // What the system sends to the control under a moving pointer.
    const auto moveOver = [](HWND hwnd) {
        ::SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return ::GetCursor();
    };
    for (ControlId link : {kLHome, kLabel1}) {
        ::SetCursor(arrow);
        EXPECT_EQ(moveOver(form.Control(link)), hand) << link;
        // Leaving the link for another control gives the arrow back.
        for (ControlId other : {kCmdBrowse, kCmdDo, kLDir, kLFiles}) {
            ::SetCursor(hand);
            EXPECT_EQ(moveOver(form.Control(other)), arrow) << link << " then " << other;
        }
        ::SetCursor(hand);
        EXPECT_EQ(moveOver(form.Hwnd()), arrow) << "the window's own client area";
    }
    // The disabled erase button still reports the pointer to its parent; still no hand.
    form.SetDir(L"");
    ASSERT_FALSE(::IsWindowEnabled(form.Control(kCmdDo)));
    ::SetCursor(arrow);
    EXPECT_NE(moveOver(form.Control(kCmdDo)), hand);
}

TEST_F(LinksWinTest, CloseBoxAnsweredWithoutOkKeepsTheWindowAsItWas)
{
    test::TestFolder folder(L"links-keep");
    for (int i = 0; i < 12; ++i) {
        folder.AddFile(L"photo " + std::to_wstring(i) + L".jpg");
    }
    form.SetDir(folder.Path());
    const std::wstring filesCaption = TextOf(form.Control(kLFiles));
    ASSERT_EQ(filesCaption, L"文件数：10");

    // Each way of answering, behind a close request as the close button (WM_CLOSE) or as Alt+F4,
    // the system menu and the taskbar (SC_CLOSE) send it.
    struct Way {
        UINT message;
        WPARAM wParam;
        Dismiss how;
        const char* name;
    };
    const Way ways[] = {{WM_CLOSE, 0, Dismiss::CancelButton, "Cancel"},
                        {WM_SYSCOMMAND, SC_CLOSE, Dismiss::Escape, "Esc"},
                        {WM_CLOSE, 0, Dismiss::Enter, "Enter"},
                        {WM_CLOSE, 0, Dismiss::CloseButton, "box close button"}};
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        const BoxSeen seen = CloseAndAnswer(way.message, way.wParam, [&way](HWND box) { DismissBox(box, way.how); });
        ExpectCloseBoxAnswered(seen);
        ASSERT_TRUE(::IsWindow(form.Hwnd()));
        EXPECT_TRUE(::IsWindowEnabled(form.Hwnd()));
        EXPECT_EQ(TextOf(form.Hwnd()), L"青禾净图");
        EXPECT_EQ(TextOf(form.Control(kLDir)), folder.Path());
        EXPECT_EQ(TextOf(form.Control(kLFiles)), filesCaption);
        EXPECT_EQ(form.State().Dir(), folder.Path());
        EXPECT_EQ(form.State().File1().Count(), 12u);
        EXPECT_EQ(form.State().FileCount(), 10);
        EXPECT_TRUE(::IsWindowEnabled(form.Control(kCmdDo)));
        EXPECT_TRUE(BoxesOwnedBy(form.Hwnd()).empty());
    }
    EXPECT_TRUE(starter.started.empty()) << "no page opens unless the close is confirmed";
}

TEST_F(LinksWinTest, SecondCloseRequestWhileTheBoxIsUpGetsNoSecondBox)
{
    bool secondReturned = false;
    std::size_t boxesAfter = 0;
    const BoxSeen seen = CloseAndAnswer(WM_CLOSE, 0, [&](HWND box) {
        // A close request from elsewhere while the box is up: it must return at once.
        DWORD_PTR result = 0;
        secondReturned = ::SendMessageTimeoutW(form.Hwnd(), WM_CLOSE, 0, 0, SMTO_NORMAL, kWaitMs, &result) != 0;
        boxesAfter = BoxesOwnedBy(form.Hwnd()).size();
        for (HWND extra : BoxesOwnedBy(form.Hwnd())) {
            DismissBox(extra, Dismiss::CancelButton);
        }
        DismissBox(box, Dismiss::CancelButton);
    });
    ExpectCloseBoxAnswered(seen);
    EXPECT_TRUE(secondReturned);
    EXPECT_EQ(boxesAfter, 1u);
    EXPECT_TRUE(::IsWindow(form.Hwnd()));
    EXPECT_TRUE(starter.started.empty());
}

// The real program, as a user closes it.
class ProgramProcess {
public:
    ProgramProcess()
    {
        std::wstring path = L"Z:" QH_PROGRAM_PATH;
        for (wchar_t& c : path) {
            c = c == L'/' ? L'\\' : c;
        }
        std::wstring commandLine = L"\"" + path + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process)) {
            ::CloseHandle(process.hThread);
            m_process = process.hProcess;
            m_id = process.dwProcessId;
        }
    }
    ~ProgramProcess()
    {
        if (m_process) {
            if (::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) {
                ::TerminateProcess(m_process, 1);
            }
            ::CloseHandle(m_process);
        }
    }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    [[nodiscard]] HANDLE Handle() const { return m_process; }

    HWND WaitForWindow() const { return test::WaitForProcessWindow(m_id, Form1::kClassName, kWaitMs); }

private:
    HANDLE m_process = nullptr;
    DWORD m_id = 0;
};

TEST(ProgramCloseTest, CancelKeepsTheProgramAndOkEndsIt)
{
    ProgramProcess program;
    ASSERT_NE(program.Handle(), nullptr);
    const HWND window = program.WaitForWindow();
    ASSERT_NE(window, nullptr);

    // The system menu's Close, answered with Cancel: the program goes on.
    ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND box = WaitForBox(window);
    ExpectCloseBox(Inspect(box));
    ASSERT_NE(box, nullptr);
    DismissBox(box, Dismiss::CancelButton);
    ASSERT_TRUE(WaitFor([&] { return BoxesOwnedBy(window).empty(); }));
    EXPECT_EQ(::WaitForSingleObject(program.Handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(TextOf(window), L"青禾净图");

    // The close button, answered with OK: the program ends by itself, cleanly, whether or not a
    // browser can be started for the home page.
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    box = WaitForBox(window);
    ExpectCloseBox(Inspect(box));
    ASSERT_NE(box, nullptr);
    ::PostMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    ASSERT_EQ(::WaitForSingleObject(program.Handle(), 20000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD exitCode = 1;
    ::GetExitCodeProcess(program.Handle(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
}  // namespace qh
