// Paths handed to the file system: the long form past the classic length limit, and the
// one folder-existence test the drop and the browse dialog share.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace qh {

// The \\?\ (or \\?\UNC\) form of a drive or network path too long for the classic limit, with
// "/" turned into "\" (the long form takes no other separator). Shorter paths, relative paths and
// paths already in that form come back unchanged, so Windows keeps normalising them.
[[nodiscard]] std::wstring LongPathForm(const std::wstring& path);

// The whole file if it holds at most maxBytes; nullopt when missing, unreadable or larger.
[[nodiscard]] std::optional<std::string> ReadSmallFile(const std::wstring& path, std::size_t maxBytes);

// True when the path names an existing folder (a drive root included).
[[nodiscard]] bool IsExistingFolder(const std::wstring& path);

}  // namespace qh
