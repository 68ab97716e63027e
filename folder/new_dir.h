// NewDir: choosing the current folder in the shell's folder browse dialog. The dialog itself and
// the existence test sit behind FolderDialog; what is asked of them and what is made of their
// answers lives here.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/shell_ports.h"

namespace qh {

// What the browse button asks for.
inline constexpr std::wstring_view kBrowsePrompt =
    L"浏览文件夹【注意：Win7及以上系统不允许指定[系统]和[程序]只读目录】";
// Always this folder, whatever the current one is.
inline constexpr std::wstring_view kBrowseStartFolder = L"E:\\";
inline constexpr bool kBrowseNewStyle = false;
// Ends the failure box, after the error number, its description and a line break.
inline constexpr std::wstring_view kBrowseFailureSuffix = L"。请用拖放文件夹功能指定目录。";

// Dialog flags (the shell's BIF_* values).
inline constexpr unsigned kBifReturnOnlyFsDirs = 0x01;
inline constexpr unsigned kBifNewDialogStyle = 0x40;

// An owner window, as the platform layer knows it.
using WindowHandle = void*;

// Why the dialog could not be shown: an error number and its description.
struct FolderError {
    std::int32_t number = 0;
    std::wstring description;
};

// A folder text, or the failure that stopped the operation before it had one.
struct FolderOutcome {
    std::wstring folder;
    std::optional<FolderError> error;
};

struct BrowseRequest {
    WindowHandle owner = nullptr;
    std::wstring title;
    std::wstring startFolder;  // preselected when the dialog has initialised
    unsigned flags = 0;
};

class FolderDialog {
public:
    virtual ~FolderDialog() = default;
    // Shows the modal dialog and waits for it. The folder is the chosen item's file-system path
    // as the shell gives it, or empty after a cancel or for an item without such a path.
    [[nodiscard]] virtual FolderOutcome Show(const BrowseRequest& request) = 0;
    [[nodiscard]] virtual bool FolderExists(const std::wstring& path) = 0;
};

// Appends "\" and collapses every "\\" to "\", left to right without overlap (so three
// backslashes in a row become two). The empty text stays empty.
[[nodiscard]] std::wstring NormaliseStartFolder(const std::wstring& folder);
// As NormaliseStartFolder, then a leading "\" is doubled again so a network path keeps its "\\".
[[nodiscard]] std::wstring NormaliseChosenFolder(const std::wstring& folder);

// Opens the dialog with Title over OwnerHwnd, StartFolder preselected, and returns the chosen
// folder ending in "\"; the empty text after a cancel, for a choice without a file-system path
// and for a folder that no longer exists.
[[nodiscard]] FolderOutcome BrowseFolder(FolderDialog& dialog, const std::wstring& title,
                                         const std::wstring& startFolder, bool newStyle, WindowHandle ownerHwnd);

// The failure box's prompt: number, description, CR LF, kBrowseFailureSuffix.
[[nodiscard]] std::wstring BrowseFailureText(const FolderError& error);

// CmdBrowse click: a chosen folder becomes the current one through setDir. An empty result
// leaves the current folder as it is; a failure is reported in a box.
void CmdBrowseClick(FolderDialog& dialog, MessageBoxes& boxes, WindowHandle ownerHwnd,
                    const std::function<void(const std::wstring&)>& setDir);

}  // namespace qh
