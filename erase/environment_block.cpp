#include "erase/environment_block.h"

#include <cwchar>

namespace qh {

std::wstring EnvironmentWith(const wchar_t* block, std::wstring_view name, std::wstring_view value,
                             const EnvironmentNameOrder& order)
{
    // A name runs to the first "=" after its first character: "=C:" is the name of "=C:=C:\x".
    const auto nameOf = [](std::wstring_view entry) {
        const std::size_t equals = entry.size() > 1 ? entry.find(L'=', 1) : std::wstring_view::npos;
        return entry.substr(0, equals);
    };
    std::wstring result;
    bool inserted = false;
    const auto insert = [&] {
        result.append(name);
        result += L'=';
        result.append(value);
        result.push_back(L'\0');
        inserted = true;
    };
    for (const wchar_t* entry = block; entry && *entry; entry += std::wcslen(entry) + 1) {
        const std::wstring_view text(entry);
        const int comparison = order(nameOf(text), name);
        if (comparison == 0) {
            continue;  // replaced, whatever its case
        }
        if (!inserted && comparison > 0) {
            insert();
        }
        result.append(text);
        result.push_back(L'\0');
    }
    if (!inserted) {
        insert();
    }
    result.push_back(L'\0');
    return result;
}

}  // namespace qh
