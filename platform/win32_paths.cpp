#include "platform/win32_paths.h"

#include <windows.h>

#include <cstdint>

#include "platform/win32_handles.h"

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

std::optional<std::string> ReadSmallFile(const std::wstring& path, std::size_t maxBytes)
{
    UniqueFile file(::CreateFileW(LongPathForm(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > maxBytes) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        return std::nullopt;
    }
    return bytes;
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
