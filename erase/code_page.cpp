#include "erase/code_page.h"

namespace qh {
namespace {

bool RoundTrips(std::wstring_view text, const CodePage& page, std::optional<std::string>& bytes)
{
    bytes = page.Encode(text);
    if (!bytes) {
        return false;
    }
    // A code page that maps a character to a look-alike without saying so is caught here.
    const std::optional<std::wstring> back = page.Decode(*bytes);
    return back && *back == text;
}

}  // namespace

std::optional<std::string> EncodeForTool(std::wstring_view text, const CodePage& oem, const CodePage& ansi)
{
    std::optional<std::string> oemBytes;
    std::optional<std::string> ansiBytes;
    if (!RoundTrips(text, oem, oemBytes) || !RoundTrips(text, ansi, ansiBytes)) {
        return std::nullopt;
    }
    return oemBytes;
}

}  // namespace qh
