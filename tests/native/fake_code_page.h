// A code page for tests: ASCII plus a table of extra characters, each with its bytes. A character
// can also be given a silent look-alike, as a best-fit mapping would do.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "erase/code_page.h"

namespace qh::test {

class FakeCodePage final : public CodePage {
public:
    std::map<wchar_t, std::string> extra;
    std::map<wchar_t, wchar_t> lookAlike;  // encoded as the other character, without a word

    std::optional<std::string> Encode(std::wstring_view text) const override
    {
        std::string bytes;
        for (wchar_t c : text) {
            if (const auto fit = lookAlike.find(c); fit != lookAlike.end()) {
                c = fit->second;
            }
            if (c < 0x80) {
                bytes += static_cast<char>(c);
            } else if (const auto it = extra.find(c); it != extra.end()) {
                bytes += it->second;
            } else {
                return std::nullopt;
            }
        }
        return bytes;
    }

    std::optional<std::wstring> Decode(std::string_view bytes) const override
    {
        std::wstring text;
        while (!bytes.empty()) {
            if (static_cast<unsigned char>(bytes[0]) < 0x80) {
                text += static_cast<wchar_t>(bytes[0]);
                bytes.remove_prefix(1);
                continue;
            }
            bool matched = false;
            for (const auto& [c, seq] : extra) {
                if (bytes.substr(0, seq.size()) == seq) {
                    text += c;
                    bytes.remove_prefix(seq.size());
                    matched = true;
                    break;
                }
            }
            if (!matched) {
                return std::nullopt;
            }
        }
        return text;
    }
};

// Code page 936 in miniature: a few Chinese characters as two bytes each.
inline FakeCodePage Fake936()
{
    FakeCodePage page;
    page.extra = {{L'照', "\xd5\xd5"}, {L'片', "\xc6\xac"}, {L'中', "\xd6\xd0"}, {L'文', "\xce\xc4"}};
    return page;
}

}  // namespace qh::test
