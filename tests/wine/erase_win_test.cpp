// The erase run's Win32 parts: code pages, files, the hidden script start, WaitTime, and the
// run's early exits in the real window (tool check, a foreign script, a folder that vanished).
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <iterator>

#include "box_driver.h"
#include "erase/erase_run.h"
#include "erase/exif_script.h"
#include "platform/win32_code_page.h"
#include "platform/win32_erase_files.h"
#include "platform/win32_pump.h"
#include "test_folder.h"
#include "window/form1.h"

namespace qh {
namespace {

using test::TextOf;

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(Win32CodePageTest, ThePrefixReadsScriptsAndArgumentsIn936)
{
    ASSERT_EQ(::GetOEMCP(), 936u);
    ASSERT_EQ(::GetACP(), 936u);
    const Win32CodePage page(936);
    EXPECT_EQ(page.Encode(L"C:\\照片\\中文.jpg"), std::string("C:\\\xd5\xd5\xc6\xac\\\xd6\xd0\xce\xc4.jpg"));
    EXPECT_EQ(page.Decode("C:\\\xd5\xd5\xc6\xac.jpg"), std::wstring(L"C:\\照片.jpg"));
    EXPECT_FALSE(page.Encode(L"\u0142.jpg")) << "ł is not in code page 936";
    EXPECT_FALSE(page.Encode(L"\U0001F600.jpg"));
    EXPECT_FALSE(page.Decode("\xd5")) << "a lead byte alone";
    EXPECT_EQ(EncodeForTool(L"D:\\%PATH% & 中文.jpg", page, page), std::string("D:\\%PATH% & \xd6\xd0\xce\xc4.jpg"));
}

TEST(Win32CodePageTest, BestFitLookAlikesAreRefused)
{
    // Without WC_NO_BEST_FIT_CHARS, code page 1252 writes ł as l: a different file name.
    const Win32CodePage western(1252);
    EXPECT_FALSE(western.Encode(L"\u0142.jpg"));
    EXPECT_EQ(western.Encode(L"caf\u00e9"), std::string("caf\xe9"));
    // OEM 437 holds é at another byte than ANSI 1252: the script gets the OEM byte.
    EXPECT_EQ(EncodeForTool(L"caf\u00e9", Win32CodePage(437), western), std::string("caf\x82"));
    EXPECT_TRUE(Win32CodePage(CP_UTF8).Encode(L"\u0142"));
}

TEST(Win32EraseFileSystemTest, AHeldScriptCanBeReadButNotWrittenDeletedOrRenamed)
{
    test::TestFolder folder(L"erase-files");
    Win32EraseFileSystem files;
    const std::wstring path = folder.Path() + L"\\ExifDel.bat";
    EraseFileSystem::HeldFile held = files.CreateHeldFile(path, "abc\r\n");
    ASSERT_EQ(held.result, EraseFileSystem::CreateResult::Created);
    EXPECT_EQ(files.FileSize(path), 5u);
    EXPECT_EQ(files.ReadSmallFile(path, 100), std::string("abc\r\n"));
    EXPECT_FALSE(files.ReadSmallFile(path, 4)) << "larger than asked for";
    // Whatever sharing a writer offers, it does not get in; a reader that lets writers in does.
    const auto opens = [&path](DWORD access, DWORD share) {
        HANDLE h = ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ::CloseHandle(h);
        return h != INVALID_HANDLE_VALUE;
    };
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    EXPECT_FALSE(opens(GENERIC_WRITE, kShareAll));
    EXPECT_FALSE(opens(DELETE, kShareAll));
    EXPECT_TRUE(opens(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
    EXPECT_EQ(files.RemoveFile(path), EraseFileSystem::RemoveResult::InUse);
    EXPECT_FALSE(::MoveFileW(path.c_str(), (folder.Path() + L"\\moved.bat").c_str()));
    EXPECT_EQ(files.CreateHeldFile(path, "x").result, EraseFileSystem::CreateResult::Exists);
    EXPECT_EQ(test::ReadAll(path), "abc\r\n");

    held.hold.reset();
    EXPECT_TRUE(opens(GENERIC_WRITE, kShareAll));
    EXPECT_EQ(files.RemoveFile(path), EraseFileSystem::RemoveResult::Removed);
    EXPECT_EQ(files.RemoveFile(path), EraseFileSystem::RemoveResult::Missing);
    // A leftover marked read-only, hidden and system goes all the same.
    folder.AddFile(L"ExifDel.bat", "",
                   FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    EXPECT_EQ(files.RemoveFile(path), EraseFileSystem::RemoveResult::Removed);
    EXPECT_FALSE(files.Exists(path));

    EXPECT_TRUE(files.Exists(folder.Path()));
    EXPECT_FALSE(files.FileSize(folder.Path())) << "a folder has no file size";
    EXPECT_EQ(files.CreateHeldFile(folder.Path() + L"\\gone\\ExifDel.bat", "x").result,
              EraseFileSystem::CreateResult::OpenFailed);
    EXPECT_TRUE(files.Environment(L"windir"));
    EXPECT_FALSE(files.Environment(L"QH_SURELY_NOT_SET"));
}

TEST(Win32EraseFileSystemTest, AHeldFolderKeepsItsNameWhileFilesComeAndGoInIt)
{
    test::TestFolder base(L"erase-hold-folder");
    const std::wstring folder = base.AddFolder(L"photos");
    const std::wstring moved = base.Path() + L"\\renamed";
    const std::wstring photo = base.AddFile(L"photos\\a.jpg", "old");
    Win32EraseFileSystem files;
    std::unique_ptr<FileHold> hold = files.HoldFolder(folder + L"\\");  // as the browse dialog gives it
    ASSERT_TRUE(hold);
    EXPECT_FALSE(::MoveFileW(folder.c_str(), moved.c_str()));
    EXPECT_FALSE(::RemoveDirectoryW(folder.c_str()));
    // What the tool does: a temporary file beside the photo, renamed over it.
    const std::wstring temp = base.AddFile(L"photos\\a.jpg_exiftool_tmp", "new");
    EXPECT_TRUE(::MoveFileExW(temp.c_str(), photo.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(test::ReadAll(photo), "new");
    hold.reset();
    EXPECT_TRUE(::MoveFileW(folder.c_str(), moved.c_str()));
    EXPECT_FALSE(files.HoldFolder(folder)) << "gone";
}

TEST(Win32EraseFileSystemTest, ShortPathNamesTheSameFileInPlainAscii)
{
    test::TestFolder folder(L"erase-short");
    const std::wstring path = folder.AddFolder(L"\u0142 中文") + L"\\\u0142 photo.jpg";
    folder.AddFile(L"\u0142 中文\\\u0142 photo.jpg", "pixels");
    Win32EraseFileSystem files;
    const auto shortPath = files.ShortPath(path);
    ASSERT_TRUE(shortPath);
    for (const wchar_t c : *shortPath) {
        EXPECT_LT(c, 0x80);
    }
    EXPECT_EQ(test::ReadAll(*shortPath), "pixels");
    EXPECT_FALSE(files.ShortPath(folder.Path() + L"\\missing.jpg"));
}

TEST(Win32EnvironmentBlockTest, SetsAVariableInTheSystemsNameOrderReplacingAnyCase)
{
    // The system sorts names ordinally once upper-cased: "_" (0x5F) comes after every letter,
    // lower-case ones included. A case-sensitive order would put "z_" last, a linguistic one
    // before "Zed"; either would keep "Path" beside "PATH".
    const auto block = [](const auto& text) { return std::wstring(text, std::size(text)); };
    const wchar_t before[] = L"=C:=C:\\x\0Path=C:\\bin\0Zed=z\0_x=1\0";
    EXPECT_EQ(EnvironmentWith(before, L"z_", L"1"), block(L"=C:=C:\\x\0Path=C:\\bin\0Zed=z\0z_=1\0_x=1\0"));
    EXPECT_EQ(EnvironmentWith(before, L"PATH", L"D:\\t"), block(L"=C:=C:\\x\0PATH=D:\\t\0Zed=z\0_x=1\0"));
}

TEST(Win32ScriptStarterTest, RunsTheFolderScriptAndNothingElseWhateverTheFolderName)
{
    test::TestFolder base(L"erase-start");
    const std::wstring hostile = L"a b %PATH% & c ^ d ! e ' ; ( ) 中文 \u0142";
    const std::wstring folder = base.AddFolder(hostile);
    // The script and a decoy of the same name one level up: only the first may run.
    base.AddFile(hostile + L"\\ExifDel.bat", "@Echo off\r\necho ran> ran.txt\r\nexit\r\n");
    base.AddFile(L"ExifDel.bat", "@Echo off\r\necho wrong> wrong.txt\r\nexit\r\n");

    Win32ScriptStarter starter;
    std::unique_ptr<RunningScript> script = starter.StartHidden(folder);
    ASSERT_TRUE(script);
    ASSERT_TRUE(script->WaitForEnd(30000));
    EXPECT_EQ(test::ReadAll(folder + L"\\ran.txt"), "ran\r\n");
    EXPECT_FALSE(Exists(base.Path() + L"\\wrong.txt"));
    EXPECT_FALSE(Exists(folder + L"\\wrong.txt"));

    EXPECT_FALSE(starter.StartHidden(base.Path() + L"\\vanished")) << "no current directory, nothing started";
}

// A window that counts the messages sent to it.
class CountingWindow {
public:
    CountingWindow()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QhEraseCounting";
        ::RegisterClassW(&wc);
        hwnd = ::CreateWindowW(L"QhEraseCounting", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&count));
    }
    ~CountingWindow() { ::DestroyWindow(hwnd); }
    HWND hwnd;
    int count = 0;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_APP) {
            ++*reinterpret_cast<int*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            return 0;
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
};

class EraseWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::DiscardQuitMessages();
        ASSERT_TRUE(form.Create(::GetModuleHandleW(nullptr)));
    }

    // Clicks CmdDo the way the button does; the answerer presses the boxes meanwhile.
    std::vector<test::SeenBox> ClickEraseAnswering(std::vector<int> answers)
    {
        test::BoxAnswerer answerer(form.Hwnd(), std::move(answers));
        ::SendMessageW(form.Control(kCmdDo), BM_CLICK, 0, 0);
        return answerer.Stop();
    }

    Form1 form;
};

TEST_F(EraseWindowTest, WaitTimeKeepsEventsFlowingAndLastsLongerThanTheDelay)
{
    CountingWindow counter;
    ::PostMessageW(counter.hwnd, WM_APP, 0, 0);
    Win32Clock clock;
    const std::uint64_t start = clock.NowMicroseconds();
    form.WaitTime(0.3f);
    EXPECT_GT(clock.NowMicroseconds() - start, 300000u);
    EXPECT_EQ(counter.count, 1);
    // A WM_QUIT met during the pause is handed on to the main loop.
    ::PostQuitMessage(7);
    form.WaitTime(0.05f);
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(EraseWindowTest, ToolCheckLooksBelowWindir)
{
    test::TestFolder photos(L"erase-toolcheck");
    photos.AddFile(L"a.jpg", "not really a photo");
    form.SetDir(photos.Path());
    test::TestFolder windir(L"erase-windir");
    windir.AddFolder(L"System32");
    wchar_t saved[MAX_PATH]{};
    ::GetEnvironmentVariableW(L"windir", saved, MAX_PATH);
    ::SetEnvironmentVariableW(L"windir", windir.Path().c_str());

    const auto click = [this] {
        const auto boxes = ClickEraseAnswering({IDCANCEL});
        return boxes.size() == 1 ? boxes[0].text : L"(boxes: " + std::to_wstring(boxes.size()) + L")";
    };
    const std::wstring tool = windir.Path() + L"\\System32\\ExifTool.exe";
    const auto makeTool = [&](LONGLONG size) {
        HANDLE file = ::CreateFileW(tool.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        LARGE_INTEGER end{};
        end.QuadPart = size;
        ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
        ::SetEndOfFile(file);
        ::CloseHandle(file);
    };
    // (No tool at all is the same case; the unit tests have it.)
    makeTool(4718591);
    EXPECT_EQ(click(), L"本机缺失必需的资源文件！请访问主页下载使用集成版。") << "4,718,591 bytes";
    makeTool(4718592);
    EXPECT_EQ(click(), L"抹除后将无法恢复！") << "4,718,592 bytes";
    makeTool(40000);
    windir.AddFolder(L"System32\\exiftool_files");
    windir.AddFile(L"System32\\exiftool_files\\perl.exe", "MZ");
    EXPECT_EQ(click(), L"抹除后将无法恢复！") << "today's small launcher with its Perl";

    ::SetEnvironmentVariableW(L"windir", saved);
    EXPECT_EQ(TextOf(form.Hwnd()), L"青禾净图");
    EXPECT_TRUE(::IsWindowEnabled(form.Hwnd()));
    EXPECT_FALSE(Exists(photos.Path() + L"\\ExifDel.bat"));
    EXPECT_EQ(test::ReadAll(photos.Path() + L"\\a.jpg"), "not really a photo");
}

TEST_F(EraseWindowTest, AForeignExifDelBatStopsTheRunBeforeTheWarning)
{
    test::TestFolder photos(L"erase-foreign");
    photos.AddFile(L"a.jpg", "photo");
    const std::string theirs = "@echo off\r\nrem the user's own script\r\n";
    photos.AddFile(L"ExifDel.bat", theirs);
    form.SetDir(photos.Path());
    const auto boxes = ClickEraseAnswering({IDOK});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, L"消息");
    EXPECT_EQ(boxes[0].text, std::wstring(kForeignScriptText));
    EXPECT_EQ(test::ReadAll(photos.Path() + L"\\ExifDel.bat"), theirs);
    EXPECT_EQ(test::ReadAll(photos.Path() + L"\\a.jpg"), "photo");
    EXPECT_TRUE(::IsWindowEnabled(form.Hwnd()));
}

TEST_F(EraseWindowTest, AFolderThatVanishedEndsTheRunWithAMessage)
{
    test::TestFolder base(L"erase-vanished");
    const std::wstring folder = base.AddFolder(L"photos");
    base.AddFile(L"photos\\a.jpg");
    base.AddFile(L"photos\\b.jpg");
    form.SetDir(folder);
    test::RemoveTree(folder);

    const auto boxes = ClickEraseAnswering({IDOK, IDOK});
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, L"抹除后将无法恢复！");
    EXPECT_EQ(boxes[1].title, L"消息");
    EXPECT_EQ(boxes[1].text, std::wstring(kScriptNotWritableText));
    EXPECT_EQ(boxes[1].buttons, std::vector<int>{IDOK});
    EXPECT_EQ(TextOf(form.Hwnd()), L"青禾净图");
    EXPECT_TRUE(::IsWindowEnabled(form.Hwnd()));
    EXPECT_FALSE(form.EraseRunning());
}

// As GetShortPathNameW answers on a volume without 8.3 names: the long path itself.
DWORD WINAPI NoShortNames(LPCWSTR path, LPWSTR buffer, DWORD size)
{
    const DWORD length = static_cast<DWORD>(std::wcslen(path));
    if (size <= length) {
        return length + 1;
    }
    std::wcscpy(buffer, path);
    return length;
}

TEST_F(EraseWindowTest, WithoutShortNamesAFileNoCodePageCarriesIsNamedNeverPassedOverInSilence)
{
    test::TestFolder photos(L"erase-no-short-names");
    photos.AddFile(L"a.jpg", "not really a photo");
    photos.AddFile(L"\u0142\u00f3d\u017a.jpg", "untouched");
    form.UseShortPathLookup(&NoShortNames);
    form.SetDir(photos.Path());
    const auto boxes = ClickEraseAnswering({IDOK, IDOK, IDNO});
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, L"抹除后将无法恢复！");
    EXPECT_EQ(boxes[1].text, L"下列文件没有交给 ExifTool 处理，其中的内置信息没有清除：\r\n"
                             L"\u0142\u00f3d\u017a.jpg\r\n"
                             L"文件名含有本机代码页无法表示的字符，而所在磁盘没有为它们保留 8.3 短文件名。");
    EXPECT_EQ(boxes[1].buttons, std::vector<int>{IDOK});
    EXPECT_EQ(boxes[2].text.substr(0, 5), L"处理完毕！");
    EXPECT_EQ(test::ReadAll(photos.Path() + L"\\\u0142\u00f3d\u017a.jpg"), "untouched");
    EXPECT_FALSE(Exists(photos.Path() + L"\\ExifDel.bat"));

    // With that file alone there is nothing to hand over: said instead of the warning.
    ::DeleteFileW((photos.Path() + L"\\a.jpg").c_str());
    form.SetDir(photos.Path());
    const auto refused = ClickEraseAnswering({IDOK});
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].text, L"当前文件夹中要处理的文件都无法交给 ExifTool，本次没有清除任何文件。\r\n"
                               L"文件名含有本机代码页无法表示的字符，而所在磁盘没有为它们保留 8.3 短文件名。");
    EXPECT_FALSE(Exists(photos.Path() + L"\\ExifDel.bat"));
}

}  // namespace
}  // namespace qh
