#include "erase/exif_script.h"

#include <gtest/gtest.h>

#include "erase/code_page.h"
#include "fake_code_page.h"

namespace qh {
namespace {

TEST(JoinPathTest, AddsOneSeparatorOnly)
{
    EXPECT_EQ(JoinPath(L"D:\\Photos", L"a.jpg"), L"D:\\Photos\\a.jpg");
    EXPECT_EQ(JoinPath(L"D:\\Photos\\", L"a.jpg"), L"D:\\Photos\\a.jpg");
    EXPECT_EQ(JoinPath(L"C:\\", L"x.jpg"), L"C:\\x.jpg");
    EXPECT_EQ(JoinPath(L"C:\\", L"ExifDel.bat"), L"C:\\ExifDel.bat");
    EXPECT_EQ(JoinPath(L"\\\\server\\share", L"x.jpg"), L"\\\\server\\share\\x.jpg");
    EXPECT_EQ(JoinPath(L"\\\\server\\share\\", L"x.jpg"), L"\\\\server\\share\\x.jpg");
    EXPECT_EQ(JoinPath(L"D:/Photos/", L"a.jpg"), L"D:/Photos/a.jpg");
}

TEST(ScriptTextTest, ThreeLinesWithTheQuotedPath)
{
    EXPECT_EQ(ScriptText(L"C:\\x.jpg"), L"@Echo off\r\nExifTool -overwrite_original -all= \"C:\\x.jpg\"\r\nexit\r\n");
}

TEST(ScriptTextTest, PercentSignsAreDoubledAndNothingElseIsTouched)
{
    EXPECT_EQ(ScriptText(L"D:\\a b\\%PATH% & ^ ( ) ! ' ;.jpg"),
              L"@Echo off\r\nExifTool -overwrite_original -all= \"D:\\a b\\%%PATH%% & ^ ( ) ! ' ;.jpg\"\r\nexit\r\n");
    EXPECT_EQ(ScriptText(L"D:\\100%.jpg"), L"@Echo off\r\nExifTool -overwrite_original -all= \"D:\\100%%.jpg\"\r\nexit\r\n");
}

TEST(IsOwnScriptTest, RecognisesOnlyWhatTheProgramWrites)
{
    EXPECT_TRUE(IsOwnScript("@Echo off\r\nExifTool -overwrite_original -all= \"C:\\x.jpg\"\r\nexit\r\n"));
    EXPECT_TRUE(IsOwnScript("@Echo off\r\nExifTool -overwrite_original -all= \"C:\\\xd5\xd5\xc6\xac.jpg\"\r\nexit\r\n"));
    // Cut off while being written (a kill or a power cut mid-run): still ours.
    EXPECT_TRUE(IsOwnScript(""));
    EXPECT_TRUE(IsOwnScript("@Echo off\r\nExifTool -overwrite_original -all= \"C:\\x"));
    EXPECT_TRUE(IsOwnScript("@Echo off\r\nExifTool -overwrite_original -all= \"C:\\x.jpg\"\r\nex"));
    // Someone else's script, or ours changed by hand.
    EXPECT_FALSE(IsOwnScript("@echo"));
    EXPECT_FALSE(IsOwnScript("@echo off\r\ncopy a b\r\n"));
    EXPECT_FALSE(IsOwnScript("@Echo off\r\nExifTool -overwrite_original -all= \"C:\\x.jpg\"\r\nexit\r\ndel *.*\r\n"));
    EXPECT_FALSE(IsOwnScript("@Echo off\r\nExifTool -overwrite_original -all= \"C:\\x.jpg\" & del y\"\r\nexit\r\n"));
    EXPECT_FALSE(IsOwnScript("@Echo off\r\nExifTool -overwrite_original -all= \"C:\\x.jpg\"\r\ndel y\r\n\"\r\nexit\r\n"));
    EXPECT_FALSE(IsOwnScript("@Echo off\nExifTool -overwrite_original -all= \"C:\\x.jpg\"\nexit\n"));
    EXPECT_FALSE(IsOwnScript("@Echo off\r\nExifTool -overwrite_original -all= C:\\x.jpg\r\nexit\r\n"));
    EXPECT_FALSE(IsOwnScript("@Echo off\r\nExifTool -overwrite_original -all= \"\"\r\nexit\r\n"));
}

TEST(HiddenScriptCommandTest, LocalFolderIsTheCurrentDirectoryAndNeverParsed)
{
    const auto command = HiddenScriptCommand(L"D:\\a b\\%PATH% & ^ !\\中文", L"C:\\windows\\system32");
    ASSERT_TRUE(command);
    EXPECT_EQ(command->application, L"C:\\windows\\system32\\cmd.exe");
    EXPECT_EQ(command->commandLine, L"\"C:\\windows\\system32\\cmd.exe\" /d /v:off /c .\\ExifDel.bat");
    EXPECT_EQ(command->currentDirectory, L"D:\\a b\\%PATH% & ^ !\\中文");

    const auto root = HiddenScriptCommand(L"C:\\", L"C:\\windows\\system32\\");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->application, L"C:\\windows\\system32\\cmd.exe");
    EXPECT_EQ(root->currentDirectory, L"C:\\");
}

TEST(HiddenScriptCommandTest, NetworkFolderGetsTheQuotedPathUnlessItHoldsPercent)
{
    const auto command = HiddenScriptCommand(L"\\\\server\\share\\a & b", L"C:\\windows\\system32");
    ASSERT_TRUE(command);
    EXPECT_EQ(command->commandLine,
              L"\"C:\\windows\\system32\\cmd.exe\" /d /v:off /c \"\"\\\\server\\share\\a & b\\ExifDel.bat\"\"");
    EXPECT_EQ(command->currentDirectory, L"C:\\windows\\system32");

    const auto share = HiddenScriptCommand(L"\\\\server\\share\\", L"C:\\windows\\system32");
    ASSERT_TRUE(share);
    EXPECT_NE(share->commandLine.find(L"\"\"\\\\server\\share\\ExifDel.bat\"\""), std::wstring::npos);

    EXPECT_FALSE(HiddenScriptCommand(L"\\\\server\\share\\%PATH%", L"C:\\windows\\system32"));
    EXPECT_FALSE(HiddenScriptCommand(L"", L"C:\\windows\\system32"));
}

class EncodeForToolTest : public ::testing::Test {
protected:
    test::FakeCodePage oem = test::Fake936();
    test::FakeCodePage ansi = test::Fake936();
};

TEST_F(EncodeForToolTest, ChineseTextBecomesOemBytes)
{
    EXPECT_EQ(EncodeForTool(L"C:\\照片\\中文.jpg", oem, ansi), std::string("C:\\\xd5\xd5\xc6\xac\\\xd6\xd0\xce\xc4.jpg"));
}

TEST_F(EncodeForToolTest, TheOemCodePageIsTheOneWritten)
{
    // As on a Western system: OEM 437 writes é as 0x82, ANSI 1252 as 0xE9.
    oem.extra = {{L'é', "\x82"}};
    ansi.extra = {{L'é', "\xe9"}};
    EXPECT_EQ(EncodeForTool(L"café.jpg", oem, ansi), std::string("caf\x82.jpg"));
}

TEST_F(EncodeForToolTest, ACharacterEitherPageLacksIsRefused)
{
    EXPECT_FALSE(EncodeForTool(L"C:\\\u0142.jpg", oem, ansi));
    oem.extra[L'é'] = std::string("\x82");  // cmd could read it, but the tool would get a "?"
    EXPECT_FALSE(EncodeForTool(L"café.jpg", oem, ansi));
    ansi.extra[L'ß'] = std::string("\xdf");
    EXPECT_FALSE(EncodeForTool(L"ß.jpg", oem, ansi));
}

TEST_F(EncodeForToolTest, SilentLookAlikesAreCaughtByTheRoundTrip)
{
    ansi.lookAlike[L'\u0142'] = L'l';  // a best fit: ł would reach the tool as l, another file
    oem.lookAlike[L'\u0142'] = L'l';
    EXPECT_FALSE(EncodeForTool(L"C:\\\u0142.jpg", oem, ansi));
}

}  // namespace
}  // namespace qh
