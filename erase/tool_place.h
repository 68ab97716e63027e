// Which ExifTool the erase run uses: the one in the system directory if it passes the check, else
// the one shipped in the folder "exiftool" beside the program (the integrated edition).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "erase/code_page.h"
#include "erase/erase_run.h"

namespace qh {

// Beside the program: exiftool\ExifTool.exe, and for the launcher exiftool\exiftool_files\perl.exe.
inline constexpr std::wstring_view kShippedToolFolder = L"exiftool";
inline constexpr std::wstring_view kShippedToolName = L"ExifTool.exe";
inline constexpr std::wstring_view kShippedToolPerl = L"exiftool_files\\perl.exe";
// The launcher's Perl opens its files by ANSI paths bound to MAX_PATH (260 with the NUL); the
// package's deepest file lies 60 characters below the tool's folder.
inline constexpr std::size_t kShippedToolFolderMaxBytes = 259 - 1 - 60;

inline constexpr std::wstring_view kPathVariable = L"PATH";

inline constexpr std::wstring_view kShippedToolUnusableText =
    L"本程序所在文件夹的路径中含有分号（;）或本机无法正确处理的字符，或者路径太长，"
    L"随附的 ExifTool 无法在那里运行。本次没有清除任何文件。\r\n"
    L"请把整个程序文件夹移到（或改名为）一个较短的、只含英文字母、数字和空格的路径，"
    L"例如 C:\\QingHeJingTu，然后再试。\r\n\r\n"
    L"随附的 ExifTool 所在文件夹：";

struct ToolChoice {
    enum class Kind {
        System,    // the system directory's tool passed the check: nothing changes
        Shipped,   // the shipped tool, in folder, goes first on every script's PATH
        Unusable,  // the shipped tool is there, but its folder's name keeps it from running
        Missing,
    };
    Kind kind = Kind::Missing;
    std::wstring folder;  // the shipped tool's folder (Shipped, Unusable)
};

// System directory first, then the shipped tool; the same two forms pass in both places.
[[nodiscard]] ToolChoice ChooseTool(EraseFileSystem& files, const CodePage& ansi);

// Whether the shipped tool can run from this folder. Its launcher puts its own folder on Perl's
// search path (a ";" splits it) and finds its Perl by its long ANSI path: a character outside the
// code page becomes "?", and a double-byte character whose second byte is "\" cuts the path.
[[nodiscard]] bool ShippedToolFolderUsable(const std::wstring& folder, const CodePage& ansi);

// The scripts' PATH: the tool's folder first, unquoted (a usable folder holds no ";").
[[nodiscard]] std::wstring PathWithToolFirst(const std::wstring& toolFolder, const std::wstring& path);

}  // namespace qh
