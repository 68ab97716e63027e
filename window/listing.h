// The folder listing behind the file list File1: which entries of a folder are listed, in what
// order, and the refresh that keeps FileCount, the count caption and the erase button in step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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
    // The collation of the list, as the shell sorts names. Both texts are NUL-terminated.
    [[nodiscard]] virtual bool NameLess(const wchar_t* a, const wchar_t* b) const = 0;
    // The whole file if it holds at most maxBytes; nullopt when missing, unreadable or larger.
    [[nodiscard]] virtual std::optional<std::string> ReadSmallFile(const std::wstring& path, std::size_t maxBytes) = 0;
};

// A cheap stand-in for the shell's collation (case-insensitive, digit runs by value) that agrees
// with it on ordinary names. The list is sorted with it first and then checked with the real
// collation, so it only has to be a strict weak order, not exact.
[[nodiscard]] bool QuickLogicalLess(const wchar_t* a, const wchar_t* b);

// Normal, archive and read-only files are listed; folders, hidden and system files are not.
[[nodiscard]] bool IsListedEntry(std::uint32_t attributes);

// File1: the folder it shows and the names of that folder's listed files, sorted; the erase run's
// own ExifDel.bat, left by a run that was cut off, is not listed. The names sit in large blocks
// that never move, so a folder of 100,000 files costs a few megabytes, few allocations and no
// copying as it grows.
class FileList {
public:
    void Reload(FolderReader& reader, const std::wstring& folder);
    [[nodiscard]] const std::wstring& Path() const { return m_path; }
    [[nodiscard]] std::size_t Count() const { return m_items.size(); }
    // Item i (0-based, i < Count()) in list order; NUL-terminated.
    [[nodiscard]] const wchar_t* ItemCStr(std::size_t i) const { return m_items[i]; }
    [[nodiscard]] std::wstring_view Item(std::size_t i) const { return m_items[i]; }

private:
    class NamePool {
    public:
        const wchar_t* Add(std::wstring_view name);

    private:
        std::vector<std::unique_ptr<wchar_t[]>> m_blocks;
        std::size_t m_used = 0;
        std::size_t m_capacity = 0;
    };

    std::wstring m_path;
    NamePool m_names;
    std::vector<const wchar_t*> m_items;  // into m_names, in list order
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
