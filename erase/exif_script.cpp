#include "erase/exif_script.h"

namespace qh {
namespace {

bool EndsWithSeparator(const std::wstring& folder)
{
    return !folder.empty() && (folder.back() == L'\\' || folder.back() == L'/');
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace

std::wstring JoinPath(const std::wstring& folder, std::wstring_view name)
{
    std::wstring path = folder;
    if (!EndsWithSeparator(folder)) {
        path += L'\\';
    }
    path += name;
    return path;
}

std::wstring ScriptText(std::wstring_view filePath)
{
    std::wstring text;
    text += kScriptLine1;
    text += kLineEnd;
    text += kScriptLine2Prefix;
    text += L'"';
    for (const wchar_t c : filePath) {
        if (c == L'%') {
            text += L'%';
        }
        text += c;
    }
    text += L'"';
    text += kLineEnd;
    text += kScriptLine3;
    text += kLineEnd;
    return text;
}

bool IsOwnScript(std::string_view bytes)
{
    // The fixed lines are ASCII, so they read the same in every code page the script may be in.
    constexpr std::string_view head = "@Echo off\r\nExifTool -overwrite_original -all= \"";
    constexpr std::string_view tail = "\"\r\nexit\r\n";
    if (bytes.size() <= head.size() + tail.size() || !StartsWith(bytes, head) || !EndsWith(bytes, tail)) {
        return false;
    }
    // No double-byte code page uses these as trail bytes, so a byte test is exact.
    const std::string_view path = bytes.substr(head.size(), bytes.size() - head.size() - tail.size());
    return path.find_first_of("\"\r\n") == std::string_view::npos;
}

std::optional<ScriptCommand> HiddenScriptCommand(const std::wstring& folder, const std::wstring& systemDirectory)
{
    if (folder.empty() || systemDirectory.empty()) {
        return std::nullopt;
    }
    ScriptCommand command;
    command.application = JoinPath(systemDirectory, L"cmd.exe");
    command.commandLine = L"\"" + command.application + L"\" /d /v:off /c ";
    const bool network = folder.size() >= 2 && (folder[0] == L'\\' || folder[0] == L'/') &&
                         (folder[1] == L'\\' || folder[1] == L'/');
    if (!network) {
        // ".\" so that only the current directory is searched, never PATH.
        command.commandLine += L".\\";
        command.commandLine += kScriptName;
        command.currentDirectory = folder;
        return command;
    }
    const std::wstring script = JoinPath(folder, kScriptName);
    if (script.find(L'%') != std::wstring::npos) {
        return std::nullopt;  // a command line has no escape for % inside quotes
    }
    // cmd /c drops the outermost pair of quotes, which leaves the path quoted.
    command.commandLine += L"\"\"" + script + L"\"\"";
    command.currentDirectory = systemDirectory;
    return command;
}

}  // namespace qh
