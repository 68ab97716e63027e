// Dropping onto the folder label LDir: which of the dropped items becomes the current folder.
// Win32 side (the drop target and the reading of the dropped paths): platform/win32_drop.h.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qh {

// The file system as the drop sees it.
class FolderProbe {
public:
    virtual ~FolderProbe() = default;
    // True when the path names an existing folder (a drive root included).
    [[nodiscard]] virtual bool IsFolder(const std::wstring& path) const = 0;
};

class Beeper {
public:
    virtual ~Beeper() = default;
    virtual void Beep() = 0;
};

// What a drop does to the window.
class DropView {
public:
    virtual ~DropView() = default;
    // Makes the folder the current one (LDir's caption; the listing follows).
    virtual void SetDir(const std::wstring& folder) = 0;
    virtual void Beep() = 0;
};

// A path that does not depend on the current directory: "X:\..." or "\\server\...".
[[nodiscard]] bool IsFullPath(const std::wstring& path);

// The first item, in the drop's order, that is a full path naming an existing folder; later
// items are not looked at. The text is returned exactly as dropped.
[[nodiscard]] std::optional<std::wstring> FirstDroppedFolder(const std::vector<std::wstring>& items,
                                                             const FolderProbe& probe);

// LDir's drop handler: the first dropped folder becomes the current folder; a drop that holds
// none (files only, or no paths at all) beeps and leaves the current folder as it was.
void DropOnLDir(const std::vector<std::wstring>& items, const FolderProbe& probe, DropView& view);

}  // namespace qh
