// The batch script "ExifDel.bat" that hands one file to ExifTool, the paths it is built from and
// the command line that starts it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qh {

inline constexpr std::wstring_view kScriptName = L"ExifDel.bat";
inline constexpr std::wstring_view kScriptLine1 = L"@Echo off";
inline constexpr std::wstring_view kScriptLine2Prefix = L"ExifTool -overwrite_original -all= ";
inline constexpr std::wstring_view kScriptLine3 = L"exit";
inline constexpr std::wstring_view kLineEnd = L"\r\n";

// folder + "\" + name; a folder that already ends in a separator (C:\, \\server\share\) gets
// no second one.
[[nodiscard]] std::wstring JoinPath(const std::wstring& folder, std::wstring_view name);

// The script's three lines for one file. The path is quoted so blanks, & ^ ( ) ! ' ; stay one
// argument, and every % is doubled because a batch file expands %NAME% even inside quotes.
[[nodiscard]] std::wstring ScriptText(std::wstring_view filePath);

// Larger than any script this program writes (the path is at most 32,767 characters).
inline constexpr std::size_t kMaxOwnScriptBytes = 128 * 1024;

// Whether two names or paths are the same to Windows, which compares them without regard to case
// (ASCII folding covers the script's name and the folder texts this program compares).
[[nodiscard]] bool SameIgnoringCase(std::wstring_view a, std::wstring_view b);

// Whether a file name is the script's name.
[[nodiscard]] bool IsScriptName(std::wstring_view name);

// Whether bytes are a script this program writes: the three lines with one quoted path, or a
// beginning of them (empty included) that a run cut off while writing leaves. Anything else under
// the script's name belongs to the user and is neither overwritten, deleted nor hidden.
[[nodiscard]] bool IsOwnScript(std::string_view bytes);

// How the script is started: cmd.exe by its full path, no AutoRun (/d), no delayed expansion
// (/v:off, so "!" in names stays literal). The script is named relative to the folder, which
// becomes the current directory: the folder's own name never passes through cmd's parser, so
// %PATH%, & or ^ in it cannot run anything. cmd.exe cannot take a network folder as its current
// directory; there the quoted full path is given instead, which is safe unless it holds a "%".
struct ScriptCommand {
    std::wstring application;
    std::wstring commandLine;
    std::wstring currentDirectory;
};
[[nodiscard]] std::optional<ScriptCommand> HiddenScriptCommand(const std::wstring& folder,
                                                               const std::wstring& systemDirectory);

}  // namespace qh
