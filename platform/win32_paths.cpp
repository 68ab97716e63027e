#include "platform/win32_paths.h"

#include <windows.h>

namespace qh {

std::wstring LongPathForm(const std::wstring& path)
{
    // Below this the plain form works everywhere, CreateDirectory's shorter limit included.
    constexpr std::size_t kClassicLimit = MAX_PATH - 12;
    if (path.size() < kClassicLimit || path.rfind(L"\\\\?\\", 0) == 0) {
        return path;
    }
    std::wstring full = path;
    for (wchar_t& c : full) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    if (full.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    if (full.size() > 2 && full[1] == L':' && full[2] == L'\\') {
        return L"\\\\?\\" + full;
    }
    return path;
}

bool IsExistingFolder(const std::wstring& path)
{
    if (path.empty()) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(LongPathForm(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace qh
