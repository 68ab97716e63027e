// The two web pages the program opens: the author's home page and the program's page on a
// software download site. The links and the erase run's completion box use the same two.
#pragma once

#include <string>
#include <string_view>

namespace qh {

inline constexpr std::wstring_view kHomePageUrl = L"http://www.qinghe.example/Index.htm";
inline constexpr std::wstring_view kDownloadPageUrl = L"http://www.ruanjian.example/soft/32582.html";

// A page is opened by starting this prefix followed by its address.
inline constexpr std::wstring_view kOpenPagePrefix = L"explorer.exe ";

[[nodiscard]] inline std::wstring OpenPageCommand(std::wstring_view url)
{
    return std::wstring(kOpenPagePrefix) + std::wstring(url);
}

}  // namespace qh
