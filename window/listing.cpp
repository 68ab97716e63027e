#include "window/listing.h"

#include <algorithm>

#include "erase/exif_script.h"

namespace qh {

bool IsListedEntry(std::uint32_t attributes)
{
    return (attributes & (kAttrDirectory | kAttrHidden | kAttrSystem)) == 0;
}

bool QuickLogicalLess(const wchar_t* a, const wchar_t* b)
{
    const auto isDigit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
    const auto fold = [](wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; };
    while (*a && *b) {
        if (isDigit(*a) && isDigit(*b)) {
            // Compare digit runs by value: skip leading zeros, then the longer run is larger.
            while (*a == L'0') {
                ++a;
            }
            while (*b == L'0') {
                ++b;
            }
            const wchar_t* endA = a;
            const wchar_t* endB = b;
            while (isDigit(*endA)) {
                ++endA;
            }
            while (isDigit(*endB)) {
                ++endB;
            }
            if (endA - a != endB - b) {
                return endA - a < endB - b;
            }
            for (; a != endA; ++a, ++b) {
                if (*a != *b) {
                    return *a < *b;
                }
            }
            continue;
        }
        const wchar_t ca = fold(*a);
        const wchar_t cb = fold(*b);
        if (ca != cb) {
            return ca < cb;
        }
        ++a;
        ++b;
    }
    return *a == 0 && *b != 0;
}

namespace {

// Only a file of the script's name is read, so the listing stays as fast as before. A user's own
// ExifDel.bat stays listed.
bool IsLeftoverScript(FolderReader& reader, const std::wstring& folder, std::wstring_view name)
{
    if (!IsScriptName(name)) {
        return false;
    }
    const std::optional<std::string> bytes = reader.ReadSmallFile(JoinPath(folder, name), kMaxOwnScriptBytes);
    return bytes && IsOwnScript(*bytes);
}

}  // namespace

const wchar_t* FileList::NamePool::Add(std::wstring_view name)
{
    constexpr std::size_t kBlockChars = 32 * 1024;
    const std::size_t need = name.size() + 1;
    if (m_blocks.empty() || m_capacity - m_used < need) {
        m_capacity = std::max(kBlockChars, need);
        m_blocks.push_back(std::make_unique<wchar_t[]>(m_capacity));
        m_used = 0;
    }
    wchar_t* slot = m_blocks.back().get() + m_used;
    std::copy(name.begin(), name.end(), slot);
    slot[name.size()] = L'\0';
    m_used += need;
    return slot;
}

void FileList::Reload(FolderReader& reader, const std::wstring& folder)
{
    m_path = folder;
    // The old names go before the new ones are read: a refresh never holds two listings.
    m_items = {};
    m_names = {};
    const bool listed = reader.Enumerate(folder, [this, &reader, &folder](std::wstring_view name,
                                                                          std::uint32_t attributes) {
        if (IsListedEntry(attributes) && !IsLeftoverScript(reader, folder, name)) {
            m_items.push_back(m_names.Add(name));
        }
    });
    if (!listed) {
        // A folder that vanished half-way lists as nothing, not as a fragment.
        m_items = {};
        m_names = {};
        return;
    }
    std::sort(m_items.begin(), m_items.end(), QuickLogicalLess);
    // The quick order almost always is the shell's; sort again by the real collation only when
    // a neighbouring pair says otherwise.
    const auto realLess = [&reader](const wchar_t* a, const wchar_t* b) { return reader.NameLess(a, b); };
    if (std::adjacent_find(m_items.begin(), m_items.end(), [&realLess](const wchar_t* a, const wchar_t* b) {
            return realLess(b, a);
        }) != m_items.end()) {
        // The shell's collation is not documented as a strict weak order, and std::sort may run
        // past the ends with one that is not: a merge sort stays in bounds whatever it answers.
        std::stable_sort(m_items.begin(), m_items.end(), realLess);
    }
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
