#include "erase/tool_place.h"

#include <algorithm>
#include <optional>

#include "erase/exif_script.h"

namespace qh {

ToolChoice ChooseTool(EraseFileSystem& files, const CodePage& ansi)
{
    if (ToolInstalled(files)) {
        return {ToolChoice::Kind::System, {}};
    }
    const std::optional<std::wstring> program = files.ProgramFolder();
    if (!program || program->empty()) {
        return {};
    }
    const std::wstring folder = JoinPath(*program, kShippedToolFolder);
    if (!ToolPasses(files, JoinPath(folder, kShippedToolName), JoinPath(folder, kShippedToolPerl))) {
        return {};
    }
    return {ShippedToolFolderUsable(folder, ansi) ? ToolChoice::Kind::Shipped : ToolChoice::Kind::Unusable, folder};
}

bool ShippedToolFolderUsable(const std::wstring& folder, const CodePage& ansi)
{
    if (folder.find(L';') != std::wstring::npos) {
        return false;
    }
    const std::optional<std::string> bytes = ansi.Encode(folder);
    if (!bytes || bytes->size() > kShippedToolFolderMaxBytes) {
        return false;
    }
    const std::optional<std::wstring> back = ansi.Decode(*bytes);
    if (!back || *back != folder) {
        return false;
    }
    // Every "\" of the text is one byte 0x5C; any other such byte is the tail of a character.
    return std::count(bytes->begin(), bytes->end(), '\\') == std::count(folder.begin(), folder.end(), L'\\');
}

std::wstring PathWithToolFirst(const std::wstring& toolFolder, const std::wstring& path)
{
    return path.empty() ? toolFolder : toolFolder + L";" + path;
}

}  // namespace qh
