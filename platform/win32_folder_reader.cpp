#include "platform/win32_folder_reader.h"

#include <windows.h>
#include <shlwapi.h>

#include "platform/win32_handles.h"
#include "platform/win32_paths.h"

namespace qh {

std::wstring FolderSearchPattern(const std::wstring& folder)
{
    std::wstring pattern = folder;
    if (pattern.back() != L'\\' && pattern.back() != L'/') {
        pattern += L'\\';
    }
    pattern += L'*';
    return LongPathForm(pattern);
}

bool Win32FolderReader::Enumerate(const std::wstring& folder, const EntrySink& sink)
{
    // Wildcards in the folder text would list some other set of files.
    if (folder.empty() || folder.find_first_of(L"*?") != std::wstring::npos) {
        return false;
    }
    WIN32_FIND_DATAW data{};
    UniqueFind find(::FindFirstFileExW(FolderSearchPattern(folder).c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) {
        return false;
    }
    do {
        const wchar_t* name = data.cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) {
            continue;
        }
        sink(name, data.dwFileAttributes);
    } while (::FindNextFileW(find.Get(), &data));
    return ::GetLastError() == ERROR_NO_MORE_FILES;
}

std::optional<std::string> Win32FolderReader::ReadSmallFile(const std::wstring& path, std::size_t maxBytes)
{
    return qh::ReadSmallFile(path, maxBytes);
}

bool Win32FolderReader::NameLess(const wchar_t* a, const wchar_t* b) const
{
    return ::StrCmpLogicalW(a, b) < 0;
}

}  // namespace qh
