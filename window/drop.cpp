#include "window/drop.h"

namespace qh {
namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool IsDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

}  // namespace

bool IsFullPath(const std::wstring& path)
{
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsSeparator(path[2])) {
        return true;
    }
    // "\\server\share\..." and the "\\?\" forms.
    return path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
}

std::optional<std::wstring> FirstDroppedFolder(const std::vector<std::wstring>& items, const FolderProbe& probe)
{
    for (const std::wstring& item : items) {
        // A relative path would name whatever folder the current directory happens to hold.
        if (IsFullPath(item) && probe.IsFolder(item)) {
            return item;
        }
    }
    return std::nullopt;
}

void DropOnLDir(const std::vector<std::wstring>& items, const FolderProbe& probe, DropView& view)
{
    if (const auto folder = FirstDroppedFolder(items, probe)) {
        view.SetDir(*folder);
    } else {
        view.Beep();
    }
}

}  // namespace qh
