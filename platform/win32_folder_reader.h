// The listing's view of the real file system: FindFirstFileExW and the shell's name collation.
#pragma once

#include "window/listing.h"

namespace qh {

class Win32FolderReader final : public FolderReader {
public:
    [[nodiscard]] bool Enumerate(const std::wstring& folder, const EntrySink& sink) override;
    [[nodiscard]] bool NameLess(const wchar_t* a, const wchar_t* b) const override;
    [[nodiscard]] std::optional<std::string> ReadSmallFile(const std::wstring& path, std::size_t maxBytes) override;
};

// The search pattern for every entry of a folder: a final separator is added only when
// missing, and a path too long for the classic limit gets the \\?\ form.
[[nodiscard]] std::wstring FolderSearchPattern(const std::wstring& folder);

}  // namespace qh
