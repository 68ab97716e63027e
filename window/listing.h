// The folder listing behind the file list File1: which entries of a folder are listed, in what
// order, and the refresh that keeps FileCount, the count caption and the erase button in step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qh {

// FILE_ATTRIBUTE_* bits the listing looks at (same values as the Win32 constants).
inline constexpr std::uint32_t kAttrHidden = 0x2;
inline constexpr std::uint32_t kAttrSystem = 0x4;
inline constexpr std::uint32_t kAttrDirectory = 0x10;

// A run erases at most this many files: FileCount is the list count capped here.
inline constexpr int kMaxFilesPerRun = 10;

inline constexpr std::wstring_view kFilesCaptionPrefix = L"文件数：";

// The file system as the listing sees it.
class FolderReader {
public:
    using EntrySink = std::function<void(std::wstring_view name, std::uint32_t attributes)>;
    virtual ~FolderReader() = default;
    // Calls sink once per entry of the folder ("." and ".." excluded). Returns false when the
    // folder text cannot be listed (empty, missing, a file, a drive that is not ready...).
    [[nodiscard]] virtual bool Enumerate(const std::wstring& folder, const EntrySink& sink) = 0;
    // The collation of the list, as the shell sorts names.
    [[nodiscard]] virtual bool NameLess(const std::wstring& a, const std::wstring& b) const = 0;
};

// Normal, archive and read-only files are listed; folders, hidden and system files are not.
[[nodiscard]] bool IsListedEntry(std::uint32_t attributes);

// File1: the folder it shows and the names of that folder's listed files, sorted.
class FileList {
public:
    void Reload(FolderReader& reader, const std::wstring& folder);
    [[nodiscard]] const std::wstring& Path() const { return m_path; }
    [[nodiscard]] const std::vector<std::wstring>& Items() const { return m_items; }
    [[nodiscard]] std::size_t Count() const { return m_items.size(); }

private:
    std::wstring m_path;
    std::vector<std::wstring> m_items;
};

// What the refresh writes into the window.
class ListingView {
public:
    virtual ~ListingView() = default;
    virtual void SetFilesCaption(const std::wstring& caption) = 0;
    virtual void SetDoEnabled(bool enabled) = 0;
};

[[nodiscard]] int CappedFileCount(std::size_t listCount);
[[nodiscard]] std::wstring FilesCaption(int fileCount);

// The window's state: the current folder (LDir's caption), File1 and FileCount. Every
// assignment of the folder, also of the text it already holds, runs the listing refresh.
class FolderState {
public:
    FolderState(FolderReader& reader, ListingView& view) : m_reader(reader), m_view(view) {}

    void SetDir(const std::wstring& folder);
    [[nodiscard]] const std::wstring& Dir() const { return m_dir; }
    [[nodiscard]] const FileList& File1() const { return m_file1; }
    [[nodiscard]] int FileCount() const { return m_fileCount; }

private:
    void Refresh();

    FolderReader& m_reader;
    ListingView& m_view;
    std::wstring m_dir;
    FileList m_file1;
    int m_fileCount = 0;
};

}  // namespace qh
