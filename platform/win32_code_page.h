// A Windows code page through WideCharToMultiByte / MultiByteToWideChar, with every character
// that has no exact form reported instead of replaced.
#pragma once

#include <windows.h>

#include "erase/code_page.h"

namespace qh {

class Win32CodePage final : public CodePage {
public:
    explicit Win32CodePage(UINT codePage) : m_codePage(codePage) {}
    [[nodiscard]] std::optional<std::string> Encode(std::wstring_view text) const override;
    [[nodiscard]] std::optional<std::wstring> Decode(std::string_view bytes) const override;
    [[nodiscard]] UINT Id() const { return m_codePage; }

private:
    UINT m_codePage;
};

}  // namespace qh
