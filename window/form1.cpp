#include "window/form1.h"

#include <commctrl.h>

#include "erase/exif_script.h"
#include "folder/new_dir.h"
#include "platform/win32_code_page.h"
#include "platform/win32_dpi.h"
#include "platform/win32_erase_files.h"
#include "platform/win32_folder_dialog.h"
#include "platform/win32_pump.h"
#include "platform/win32_shell.h"
#include "window/resource.h"

namespace qh {
namespace {

constexpr COLORREF kLabel1Color = RGB(0, 0, 255);

std::size_t IndexOf(ControlId id)
{
    return static_cast<std::size_t>(id - kCmdBrowse);
}

DWORD ControlStyle(const ControlDesign& design)
{
    switch (design.kind) {
    case ControlKind::Button:
        return WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    case ControlKind::Label:
        // SS_NOTIFY: the labels take clicks and show tooltips; SS_NOPREFIX: a folder name
        // holding "&" is shown as it is.
        return WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_NOTIFY;
    case ControlKind::FileList:
        break;
    }
    return 0;
}

const wchar_t* ControlClass(ControlKind kind)
{
    return kind == ControlKind::Button ? WC_BUTTONW : WC_STATICW;
}

}  // namespace

Form1::Form1() : Form1(m_systemBeeper) {}

Form1::Form1(Beeper& beeper) : m_state(m_reader, *this), m_beeper(beeper) {}

Form1::~Form1()
{
    if (m_hwnd) {
        ::DestroyWindow(m_hwnd);
    }
}

bool Form1::Create(HINSTANCE instance)
{
    // Shared icons live as long as the module, as the registered class outlives any one window.
    const auto loadIcon = [instance](int metricX, int metricY) {
        return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                               ::GetSystemMetrics(metricX), ::GetSystemMetrics(metricY), LR_SHARED));
    };
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &Form1::WindowProc;
    wc.hInstance = instance;
    wc.hIcon = loadIcon(SM_CXICON, SM_CYICON);
    wc.hIconSm = loadIcon(SM_CXSMICON, SM_CYSMICON);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    const std::wstring title(kAppTitle);
    m_hwnd = ::CreateWindowExW(0, kClassName, title.c_str(), kForm1Style, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                               nullptr, nullptr, instance, this);
    if (!m_hwnd) {
        return false;
    }
    // Load: the listing refresh for the initial folder.
    SetDir(std::wstring(kInitialDir));

    // Centre on the screen (the work area of the monitor the window starts on).
    RECT window{};
    ::GetWindowRect(m_hwnd, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(m_hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    ::SetWindowPos(m_hwnd, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

HWND Form1::Control(ControlId id) const
{
    return m_controls[IndexOf(id)];
}

void Form1::SetDir(const std::wstring& folder)
{
    ::SetWindowTextW(Control(kLDir), folder.c_str());
    m_state.SetDir(folder);
}

void Form1::Beep()
{
    m_beeper.Beep();
}

void Form1::SetFilesCaption(const std::wstring& caption)
{
    ::SetWindowTextW(Control(kLFiles), caption.c_str());
}

void Form1::SetDoEnabled(bool enabled)
{
    ::EnableWindow(Control(kCmdDo), enabled ? TRUE : FALSE);
}

void Form1::SetTitle(const std::wstring& title)
{
    ::SetWindowTextW(m_hwnd, title.c_str());
}

void Form1::SetEnabled(bool enabled)
{
    // The run disables the window for its scripts, and enables it again just before it deletes
    // the last one: meanwhile the end of the session is held up with a reason.
    m_scriptsRunning = !enabled;
    if (enabled) {
        ::ShutdownBlockReasonDestroy(m_hwnd);
    } else {
        ::ShutdownBlockReasonCreate(m_hwnd, std::wstring(kEndSessionBlockReason).c_str());
    }
    ::EnableWindow(m_hwnd, enabled ? TRUE : FALSE);
}

void Form1::WaitTime(float Delay)
{
    Win32Clock clock;
    Win32EventPump pump;
    qh::WaitTime(Delay, clock, pump);
}

void Form1::RunErase()
{
    if (m_eraseRunning) {
        return;  // events are processed during a run: never start a second one inside it
    }
    struct RunningFlag {
        bool& flag;
        explicit RunningFlag(bool& f) : flag(f) { flag = true; }
        ~RunningFlag() { flag = false; }
    } running(m_eraseRunning);

    Win32EraseFileSystem files(m_shortPathLookup);
    Win32ScriptStarter scripts;
    // cmd.exe reads the script in the OEM code page; the tool gets its arguments in the ANSI one.
    const Win32CodePage oem(::GetOEMCP());
    const Win32CodePage ansi(::GetACP());
    Win32Clock clock;
    const EraseServices services{files, scripts, *this, m_boxes, *m_starter, oem, ansi, clock};
    EraseRun run(services, m_hungScripts);
    m_run = &run;
    struct ActiveRun {
        EraseRun*& run;
        ~ActiveRun() { run = nullptr; }
    } active{m_run};
    run.Run(m_state);
}

LRESULT CALLBACK Form1::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    Form1* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hwnd = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Form1*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) {
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SETCURSOR:
        if (OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam))) {
            return TRUE;
        }
        break;
    case kMsgFinishStartup:
        FinishStartup();
        return 0;
    case WM_CLOSE:
        // Every way of closing ends here: the close button, Alt+F4, the system menu and the
        // taskbar all arrive as SC_CLOSE, which DefWindowProc turns into WM_CLOSE.
        OnClose();
        return 0;
    case WM_QUERYENDSESSION:
        return OnQueryEndSession() ? TRUE : FALSE;
    case WM_ENDSESSION:
        OnEndSession(wParam != FALSE);
        return 0;
    case WM_DESTROY: {
        RevokeLDirDrop();  // while LDir still exists
        Win32EraseFileSystem files;
        m_hungScripts.Sweep(files);  // the scripts of tools that have ended meanwhile
        return 0;
    }
    case WM_NCDESTROY:
        ::SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        m_hwnd = nullptr;
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(m_hwnd, message, wParam, lParam);
}

void Form1::OnCreate()
{
    m_boxes = Win32MessageBoxes(m_hwnd);
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(m_hwnd, GWLP_HINSTANCE));
    for (const ControlDesign& design : kControls) {
        if (design.kind == ControlKind::FileList) {
            continue;  // File1 holds its names in memory; a folder of 100,000 files stays cheap
        }
        const std::wstring text(design.text);
        m_controls[IndexOf(design.id)] =
            ::CreateWindowExW(0, ControlClass(design.kind), text.c_str(), ControlStyle(design), 0, 0, 0, 0, m_hwnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), instance, nullptr);
    }
    ApplyLayout(WindowDpi(m_hwnd));
    // Tooltips and the drop target are not needed for the first picture: they are set up by the
    // first message the loop handles, which keeps OLE's start-up off the time to a shown window.
    ::PostMessageW(m_hwnd, kMsgFinishStartup, 0, 0);
}

void Form1::FinishStartup()
{
    if (m_startupFinished) {
        return;
    }
    m_startupFinished = true;
    CreateTooltips();
    m_ole.emplace();
    RegisterLDirDrop();
}

void Form1::RegisterLDirDrop()
{
    // Without OLE on this thread there is no drop; the browse button still chooses folders.
    // While the window is disabled (an erase run reads the current folder) nothing is dropped.
    auto target = PathDropTarget::Create(
        [this](const std::vector<std::wstring>& paths) { DropOnLDir(paths, m_folderProbe, *this); },
        [this] { return m_hwnd && ::IsWindowEnabled(m_hwnd); });
    if (target && Control(kLDir) && SUCCEEDED(::RegisterDragDrop(Control(kLDir), target.Get()))) {
        m_ldirDrop = std::move(target);
    }
}

void Form1::RevokeLDirDrop()
{
    if (m_ldirDrop) {
        ::RevokeDragDrop(Control(kLDir));
        // Wine's OLE keeps a reference past the revoke: the target must not reach this window.
        m_ldirDrop->Disconnect();
        m_ldirDrop.Reset();
    }
}

void Form1::CreateTooltips()
{
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(m_hwnd, GWLP_HINSTANCE));
    m_tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr,
                                  instance, nullptr);
    if (!m_tooltip) {
        return;
    }
    for (const ControlDesign& design : kControls) {
        if (design.tooltip.empty() || !Control(design.id)) {
            continue;
        }
        std::wstring text(design.tooltip);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = m_hwnd;
        tool.uId = reinterpret_cast<UINT_PTR>(Control(design.id));
        tool.lpszText = text.data();
        ::SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    ::SendMessageW(m_tooltip, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), TRUE);
}

void Form1::ApplyLayout(int dpi, const RECT* suggested)
{
    m_dpi = dpi;
    const int clientWidth = TwipsToPixels(kClientWidthTwips, dpi);
    const int clientHeight = TwipsToPixels(kClientHeightTwips, dpi);
    SIZE outer = WindowSizeForClient(clientWidth, clientHeight, kForm1Style, 0, dpi);
    if (suggested) {
        // Position and size in one move: a move with the old size first could put the window
        // back on the monitor it came from, and it would bounce between the two.
        ::SetWindowPos(m_hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        ::SetWindowPos(m_hwnd, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // The frame the system really draws can differ from the computed one (a caption that wraps,
    // metrics of another DPI): correct by what the client area turned out to be.
    RECT client{};
    ::GetClientRect(m_hwnd, &client);
    if (client.right != clientWidth || client.bottom != clientHeight) {
        RECT window{};
        ::GetWindowRect(m_hwnd, &window);
        outer.cx = window.right - window.left + clientWidth - client.right;
        outer.cy = window.bottom - window.top + clientHeight - client.bottom;
        ::SetWindowPos(m_hwnd, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    LOGFONTW logFont = MessageFontForDpi(dpi);
    m_font.Reset(::CreateFontIndirectW(&logFont));
    for (const ControlDesign& design : kControls) {
        HWND control = Control(design.id);
        if (!control) {
            continue;
        }
        const RectTwips& r = design.rect;
        ::SetWindowPos(control, nullptr, TwipsToPixels(r.left, dpi), TwipsToPixels(r.top, dpi),
                       TwipsToPixels(r.width, dpi), TwipsToPixels(r.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), TRUE);
    }
    if (m_tooltip) {
        ::SendMessageW(m_tooltip, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), TRUE);
    }
}

void Form1::OnDpiChanged(int dpi, const RECT* suggested)
{
    ApplyLayout(dpi, suggested);
}

LRESULT Form1::OnCtlColorStatic(HDC dc, HWND control)
{
    const int id = ::GetDlgCtrlID(control);
    if (id == kLHome) {
        ::SetTextColor(dc, ::GetSysColor(COLOR_HIGHLIGHT));
    } else if (id == kLabel1) {
        ::SetTextColor(dc, kLabel1Color);
    } else {
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    }
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

void Form1::OnCommand(int id, int code)
{
    switch (id) {
    case kCmdBrowse:
        if (code == BN_CLICKED && !m_browsing) {
            // The dialog's own loop delivers a close request from another program: the window
            // must outlive SHBrowseForFolderW, which is on the stack until the dialog returns.
            m_browsing = true;
            struct BrowsingFlag {
                bool& flag;
                ~BrowsingFlag() { flag = false; }
            } browsing{m_browsing};
            Win32FolderDialog dialog;
            Win32MessageBoxes boxes(m_hwnd);
            CmdBrowseClick(dialog, boxes, m_hwnd, [this](const std::wstring& folder) { SetDir(folder); });
        }
        break;
    case kCmdDo:
        if (code == BN_CLICKED) {
            RunErase();
        }
        break;
    case kLHome:
        if (code == STN_CLICKED) {
            LHomeClick(*m_starter);
        }
        break;
    case kLabel1:
        if (code == STN_CLICKED) {
            Label1Click(*m_starter);
        }
        break;
    default:
        break;
    }
}

bool Form1::OnSetCursor(HWND over, int hitTest)
{
    // The labels' own WM_SETCURSOR reaches the window through DefWindowProc; answering TRUE
    // keeps the static control from putting its arrow back.
    if (hitTest != HTCLIENT || !over || ::GetParent(over) != m_hwnd || !IsLinkLabel(::GetDlgCtrlID(over))) {
        return false;
    }
    static const HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
    ::SetCursor(hand);
    return true;
}

void Form1::OnClose()
{
    if (m_eraseRunning || m_browsing) {
        return;  // ending now would leave the script and a half-done run behind, or destroy the
                 // browse dialog's owner under it
    }
    if (m_closeConfirmation.Confirm(m_boxes, *m_starter)) {
        // Ends the message loop, and with it the program.
        ::DestroyWindow(m_hwnd);
    }
}

bool Form1::OnQueryEndSession()
{
    // Ending now would leave the script in the user's folder and a file half done.
    return !m_scriptsRunning;
}

void Form1::OnEndSession(bool ending)
{
    if (!ending || (!m_run && !m_hungScripts.HasAny())) {
        return;
    }
    // The session ends anyway: the process may be ended as soon as this returns, and the run
    // must not write another script meanwhile. A script being read only stops cmd.exe early.
    if (m_run) {
        m_run->Abandon();
    }
    Win32EraseFileSystem files;
    m_hungScripts.RemoveAllScripts(files);
    ::ExitProcess(0);
}

int Form1::RunMessageLoop(HWND dialogWindow)
{
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Gives the window dialog keyboard handling: Tab between the buttons, Alt+B.
        if (dialogWindow && ::IsWindow(dialogWindow) && ::IsDialogMessageW(dialogWindow, &msg)) {
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace qh
