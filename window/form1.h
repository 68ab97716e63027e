// Form1: the program's one window, its controls and their event handlers.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>

#include "erase/erase_run.h"
#include "platform/shell_ports.h"
#include "platform/win32_drop.h"
#include "platform/win32_erase_files.h"
#include "platform/win32_folder_reader.h"
#include "platform/win32_handles.h"
#include "platform/win32_ole.h"
#include "platform/win32_shell.h"
#include "window/drop.h"
#include "window/layout.h"
#include "window/links.h"
#include "window/listing.h"

namespace qh {

class Form1 final : private ListingView, private EraseWindow, private DropView {
public:
    static constexpr const wchar_t* kClassName = L"QingHeJingTu.Form1";

    Form1();
    // The drop's beep goes to the given beeper instead of the system's (the tests listen).
    explicit Form1(Beeper& beeper);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;
    ~Form1() override;

    // Creates the window with its controls, runs the load refresh for the initial folder and
    // centres the window on its screen. The window is shown by the caller.
    [[nodiscard]] bool Create(HINSTANCE instance);

    [[nodiscard]] HWND Hwnd() const { return m_hwnd; }
    [[nodiscard]] HWND Control(ControlId id) const;
    [[nodiscard]] HWND Tooltip() const { return m_tooltip; }

    // The current folder lives in LDir's caption; assigning it (even the same text) refreshes
    // the listing before returning.
    void SetDir(const std::wstring& folder) override;
    [[nodiscard]] const FolderState& State() const { return m_state; }

    // Lets the in-process tests see the commands the handlers start instead of starting them.
    void UseCommandStarter(CommandStarter& starter) { m_starter = &starter; }
    // Lets the in-process tests take the 8.3 names away, as a volume without them does.
    void UseShortPathLookup(Win32EraseFileSystem::ShortPathLookup lookup) { m_shortPathLookup = lookup; }
    // Returns after more than Delay seconds, processing the window's events meanwhile.
    void WaitTime(float Delay) override;
    // True while an erase run is going on (the window is disabled then).
    [[nodiscard]] bool EraseRunning() const { return m_eraseRunning; }

    // Runs the message loop until the window is gone; returns the exit code.
    static int RunMessageLoop(HWND dialogWindow);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    static constexpr UINT kMsgFinishStartup = WM_APP + 1;

    void OnCreate();
    // The parts of start-up that can wait until the window is shown: tooltips, OLE, the drop.
    void FinishStartup();
    void OnCommand(int id, int code);
    LRESULT OnCtlColorStatic(HDC dc, HWND control);
    void OnDpiChanged(int dpi, const RECT* suggested);
    [[nodiscard]] bool OnSetCursor(HWND over, int hitTest);
    void OnClose();
    [[nodiscard]] bool OnQueryEndSession();
    void OnEndSession(bool ending);
    void RunErase();

    // Sizes the window for the DPI (moved to the suggested rectangle, if any) and lays out the
    // controls.
    void ApplyLayout(int dpi, const RECT* suggested = nullptr);
    void CreateTooltips();
    void RegisterLDirDrop();
    void RevokeLDirDrop();

    // ListingView
    void SetFilesCaption(const std::wstring& caption) override;
    void SetDoEnabled(bool enabled) override;
    // DropView
    void Beep() override;

    // EraseWindow
    void SetTitle(const std::wstring& title) override;
    void SetEnabled(bool enabled) override;

    HWND m_hwnd = nullptr;
    std::array<HWND, kControls.size()> m_controls{};
    HWND m_tooltip = nullptr;
    int m_dpi = USER_DEFAULT_SCREEN_DPI;
    UniqueGdiObject m_font;
    Win32FolderReader m_reader;
    FolderState m_state;
    Win32MessageBoxes m_boxes{nullptr};  // owned by the window from OnCreate on
    Win32CommandStarter m_win32Starter;
    CommandStarter* m_starter = &m_win32Starter;
    CloseConfirmation m_closeConfirmation;
    bool m_eraseRunning = false;
    bool m_browsing = false;  // while the browse dialog is open
    bool m_scriptsRunning = false;  // from the run's first script to its clean-up
    HungScripts m_hungScripts;  // outlive a run: no new run in their folder until they end
    EraseRun* m_run = nullptr;  // the run going on, if any
    Win32EraseFileSystem::ShortPathLookup m_shortPathLookup = &::GetShortPathNameW;
    Win32Beeper m_systemBeeper;
    Beeper& m_beeper;
    Win32FolderProbe m_folderProbe;
    bool m_startupFinished = false;
    std::optional<ScopedOleInitialize> m_ole;  // before the drop target, which it outlives
    Microsoft::WRL::ComPtr<PathDropTarget> m_ldirDrop;
};

// Shown by the system when the session is to end during an erase run.
inline constexpr std::wstring_view kEndSessionBlockReason = L"正在清除照片的Exif信息，请等清除完成后再注销或关机。";

// Window style of the fixed-size main window: caption, system menu and minimize, no sizing.
inline constexpr DWORD kForm1Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

}  // namespace qh
