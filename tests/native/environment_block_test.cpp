#include "erase/environment_block.h"

#include <gtest/gtest.h>

#include <iterator>

namespace qh {
namespace {

// Ordinal order of the upper-cased names, as the system sorts ASCII names.
int AsciiOrder(std::wstring_view a, std::wstring_view b)
{
    const auto upper = [](wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; };
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (upper(a[i]) != upper(b[i])) {
            return upper(a[i]) < upper(b[i]) ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

template <std::size_t N>
std::wstring Block(const wchar_t (&text)[N])
{
    return std::wstring(text, N);  // the literal's own NUL is the block's final one
}

TEST(EnvironmentBlockTest, SetsOneVariableInItsSortedPlaceReplacingAnyCase)
{
    // "=C:" entries keep their place; the same name in capitals is replaced; a longer name is
    // another variable; "_" sorts after the letters once they are upper-cased.
    const wchar_t block[] = L"=C:=C:\\x\0NODEFAULTCURRENTDIRECTORYINEXEPATH=0\0noDefaultCurrentDirectoryInExePathX=5\0"
                            L"Path=C:\\bin\0Zed=z\0_a=1\0";
    EXPECT_EQ(EnvironmentWith(block, L"NoDefaultCurrentDirectoryInExePath", L"1", AsciiOrder),
              Block(L"=C:=C:\\x\0NoDefaultCurrentDirectoryInExePath=1\0noDefaultCurrentDirectoryInExePathX=5\0"
                    L"Path=C:\\bin\0Zed=z\0_a=1\0"));
    // The shipped tool's PATH replaces "Path" where it stood.
    EXPECT_EQ(EnvironmentWith(block, L"PATH", L"D:\\app\\exiftool;C:\\bin", AsciiOrder),
              Block(L"=C:=C:\\x\0NODEFAULTCURRENTDIRECTORYINEXEPATH=0\0noDefaultCurrentDirectoryInExePathX=5\0"
                    L"PATH=D:\\app\\exiftool;C:\\bin\0Zed=z\0_a=1\0"));
    EXPECT_EQ(EnvironmentWith(L"Path=C:\\bin\0", L"zz", L"2", AsciiOrder), Block(L"Path=C:\\bin\0zz=2\0"));
    EXPECT_EQ(EnvironmentWith(L"\0", L"A", L"1", AsciiOrder), Block(L"A=1\0"));
}

}  // namespace
}  // namespace qh
