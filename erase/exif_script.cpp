#include "erase/exif_script.h"

#include <algorithm>
#include <initializer_list>

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

// The script's fixed parts are ASCII: their bytes are the same in every code page.
std::string AsciiBytes(std::initializer_list<std::wstring_view> parts)
{
    std::string bytes;
    for (std::wstring_view part : parts) {
        for (wchar_t c : part) {
            bytes.push_back(static_cast<char>(c));
        }
    }
    return bytes;
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

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b)
{
    const auto fold = [](wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&fold](wchar_t x, wchar_t y) { return fold(x) == fold(y); });
}

bool IsScriptName(std::wstring_view name)
{
    return SameIgnoringCase(name, kScriptName);
}

bool IsOwnScript(std::string_view bytes)
{
    static const std::string head = AsciiBytes({kScriptLine1, kLineEnd, kScriptLine2Prefix, L"\""});
    static const std::string tail = AsciiBytes({L"\"", kLineEnd, kScriptLine3, kLineEnd});
    // The script is created empty and then written at once: a run cut off by a kill or a power
    // cut can leave any beginning of it, even nothing.
    if (bytes.size() <= head.size()) {
        return StartsWith(head, bytes);
    }
    if (!StartsWith(bytes, head)) {
        return false;
    }
    // No double-byte code page uses these as trail bytes, so a byte test is exact.
    const std::string_view rest = bytes.substr(head.size());
    const std::size_t end = rest.find_first_of("\"\r\n");
    if (end == std::string_view::npos) {
        return true;  // cut off inside the path
    }
    return end > 0 && StartsWith(tail, rest.substr(end));
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
