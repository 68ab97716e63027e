// The environment block a script's process starts with: the program's own, with a variable set.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace qh {

// Orders two variable names without regard to case (<0, 0, >0), as the system compares them.
using EnvironmentNameOrder = std::function<int(std::wstring_view a, std::wstring_view b)>;

// A CreateProcessW environment block ("name=value" entries, each ending in NUL, then one more
// NUL) equal to block but with name set to value. The block stays sorted by name, as
// CreateProcessW documents: the entry goes in its place, and a variable of the same name in
// another case is replaced. Entries such as "=C:=C:\" keep their place.
[[nodiscard]] std::wstring EnvironmentWith(const wchar_t* block, std::wstring_view name, std::wstring_view value,
                                           const EnvironmentNameOrder& order);

}  // namespace qh
