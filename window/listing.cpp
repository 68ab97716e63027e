#include "window/listing.h"

#include <algorithm>

namespace qh {

bool IsListedEntry(std::uint32_t attributes)
{
    return (attributes & (kAttrDirectory | kAttrHidden | kAttrSystem)) == 0;
}

void FileList::Reload(FolderReader& reader, const std::wstring& folder)
{
    m_path = folder;
    std::vector<std::wstring> items;
    const bool listed = reader.Enumerate(folder, [&items](std::wstring_view name, std::uint32_t attributes) {
        if (IsListedEntry(attributes)) {
            items.emplace_back(name);
        }
    });
    if (!listed) {
        items.clear();  // a folder that vanished half-way lists as nothing, not as a fragment
    }
    std::sort(items.begin(), items.end(),
              [&reader](const std::wstring& a, const std::wstring& b) { return reader.NameLess(a, b); });
    items.shrink_to_fit();
    m_items = std::move(items);
}

int CappedFileCount(std::size_t listCount)
{
    return listCount > static_cast<std::size_t>(kMaxFilesPerRun) ? kMaxFilesPerRun : static_cast<int>(listCount);
}

std::wstring FilesCaption(int fileCount)
{
    return std::wstring(kFilesCaptionPrefix) + std::to_wstring(fileCount);
}

void FolderState::SetDir(const std::wstring& folder)
{
    m_dir = folder;
    Refresh();
}

void FolderState::Refresh()
{
    m_file1.Reload(m_reader, m_dir);
    m_fileCount = CappedFileCount(m_file1.Count());
    m_view.SetFilesCaption(FilesCaption(m_fileCount));
    m_view.SetDoEnabled(m_file1.Count() != 0);
}

}  // namespace qh
