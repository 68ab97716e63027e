#include "platform/win32_code_page.h"

#include <climits>

namespace qh {
namespace {

// Code pages for which WideCharToMultiByte takes neither WC_NO_BEST_FIT_CHARS nor a used-default
// flag; every character they hold round-trips, and the caller's round-trip test covers the rest.
bool TakesNoFlags(UINT codePage)
{
    return codePage == CP_UTF8 || codePage == CP_UTF7 || codePage == 54936 || codePage == 42 ||
           (codePage >= 50220 && codePage <= 50229) || (codePage >= 57002 && codePage <= 57011);
}

}  // namespace

std::optional<std::string> Win32CodePage::Encode(std::wstring_view text) const
{
    if (text.empty()) {
        return std::string();
    }
    if (text.size() > INT_MAX / 4) {
        return std::nullopt;
    }
    const bool noFlags = TakesNoFlags(m_codePage);
    const DWORD flags = noFlags ? (m_codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0) : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultFlag = noFlags ? nullptr : &usedDefault;
    const int length = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(m_codePage, flags, text.data(), length, nullptr, 0, nullptr, usedDefaultFlag);
    if (size <= 0 || usedDefault) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (::WideCharToMultiByte(m_codePage, flags, text.data(), length, bytes.data(), size, nullptr, usedDefaultFlag) !=
            size ||
        usedDefault) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::wstring> Win32CodePage::Decode(std::string_view bytes) const
{
    if (bytes.empty()) {
        return std::wstring();
    }
    if (bytes.size() > INT_MAX) {
        return std::nullopt;
    }
    const DWORD flags = TakesNoFlags(m_codePage) && m_codePage != CP_UTF8 ? 0 : MB_ERR_INVALID_CHARS;
    const int length = static_cast<int>(bytes.size());
    const int size = ::MultiByteToWideChar(m_codePage, flags, bytes.data(), length, nullptr, 0);
    if (size <= 0) {
        return std::nullopt;
    }
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    if (::MultiByteToWideChar(m_codePage, flags, bytes.data(), length, text.data(), size) != size) {
        return std::nullopt;
    }
    return text;
}

}  // namespace qh
