// Text in a Windows code page. The erase script passes through two of them: cmd.exe reads the
// script in the OEM code page and hands the tool its arguments in the ANSI one, so a path must
// survive both unchanged or it must not be written at all.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qh {

class CodePage {
public:
    virtual ~CodePage() = default;
    // The text's bytes; nullopt when a character has no exact form (never a best fit, never "?").
    [[nodiscard]] virtual std::optional<std::string> Encode(std::wstring_view text) const = 0;
    // nullopt when the bytes are not valid in the code page.
    [[nodiscard]] virtual std::optional<std::wstring> Decode(std::string_view bytes) const = 0;
};

// The bytes of text in the OEM code page, provided that the text comes back unchanged from both
// the OEM and the ANSI code page; nullopt otherwise.
[[nodiscard]] std::optional<std::string> EncodeForTool(std::wstring_view text, const CodePage& oem,
                                                       const CodePage& ansi);

}  // namespace qh
