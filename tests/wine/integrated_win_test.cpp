// The integrated edition under Wine: the release zip unpacked as a user unpacks it, the real
// program started from there (another current folder), cmd.exe and the ExifTool shipped with it.
#include <windows.h>

#include <gtest/gtest.h>

#include "box_driver.h"
#include "erase/erase_run.h"
#include "erase/tool_place.h"
#include "platform/win32_handles.h"
#include "system_tool.h"
#include "test_folder.h"
#include "unix_tools.h"
#include "window/form1.h"
#include "window/layout.h"

namespace qh {
namespace {

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The photo tags MakeTaggedPhoto writes that a file still carries.
std::vector<std::string> TagsLeft(const std::wstring& path)
{
    const auto tags = test::ReadTags(path);
    return tags ? test::PhotoTagsIn(*tags) : std::vector<std::string>{"(unreadable)"};
}

// Tagged photos in C:\, which the program lists when it starts; removed with any script left.
struct DriveCPhotos {
    explicit DriveCPhotos(int count)
    {
        for (int i = 1; i <= count; ++i) {
            paths.push_back(L"C:\\qh-int-" + std::to_wstring(i) + L".jpg");
            EXPECT_TRUE(i == 1 ? test::MakeTaggedPhoto(paths[0]) : ::CopyFileW(paths[0].c_str(), paths.back().c_str(), FALSE));
        }
        EXPECT_FALSE(TagsLeft(paths[0]).empty());
    }
    ~DriveCPhotos()
    {
        for (const std::wstring& path : paths) {
            ::DeleteFileW(path.c_str());
        }
        ::DeleteFileW(L"C:\\ExifDel.bat");
    }
    std::vector<std::wstring> paths;
};

// Starts the program as a user would, clicks the erase button once the window lists `files`
// files, answers the boxes and ends the program when the run is over; the boxes it showed.
std::vector<test::SeenBox> EraseWith(const std::wstring& exe, std::size_t files, const std::vector<int>& answers)
{
    const test::TestFolder elsewhere(L"integrated-cwd");
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    // A start right after the copy failed once in a full run under Wine: give it a moment.
    DWORD error = 0;
    const bool started = test::WaitUntil(
        [&] {
            const bool ok = ::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                             elsewhere.Path().c_str(), &startup, &info);
            error = ok ? 0 : ::GetLastError();
            return ok;
        },
        3000);
    EXPECT_TRUE(started) << "CreateProcessW failed with " << error;
    const UniqueHandle process(started ? info.hProcess : nullptr);
    const UniqueHandle thread(started ? info.hThread : nullptr);
    // This program's own window (an ended one of an earlier case may still be going away).
    const HWND main = started ? test::WaitForProcessWindow(info.dwProcessId, Form1::kClassName, 30000) : nullptr;
    const std::wstring count = L"文件数：" + std::to_wstring(files);
    const bool ready = main && test::WaitUntil(
                                   [&] {
                                       wchar_t text[64]{};
                                       ::GetWindowTextW(::GetDlgItem(main, kLFiles), text, 64);
                                       return text == count;
                                   },
                                   30000);
    EXPECT_TRUE(ready) << "no window listing " << files << " files";
    std::vector<test::SeenBox> boxes;
    if (ready) {
        test::BoxAnswerer answerer(main, answers);
        ::PostMessageW(::GetDlgItem(main, kCmdDo), BM_CLICK, 0, 0);
        EXPECT_TRUE(test::WaitUntil(
            [&] { return answerer.WaitForAnswers(0) && !test::FindOwnedBox(main) && ::IsWindowEnabled(main); },
            120000));
        boxes = answerer.Stop();
    }
    ::TerminateProcess(process.Get(), 0);
    ::WaitForSingleObject(process.Get(), 10000);
    return boxes;
}

TEST(IntegratedEdition, UnpackedItErasesWithItsOwnToolOrSaysWhyNot)
{
    const test::ScopedSystemTool none(test::SystemTool::None);
    ASSERT_TRUE(none.Ready());
    const std::wstring folder = L"C:\\Program Files\\青禾净图 工具";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::string unixFolder = test::UnixPathOf(folder).value_or("");
    ASSERT_FALSE(unixFolder.empty());
    struct Remover {
        std::string path;
        ~Remover() { (void)test::RunUnix({"rm", "-rf", path, path + "-semi;colon"}); }
    } remover{unixFolder};
    ASSERT_EQ(test::RunUnix({"unzip", "-q", QH_RELEASE_ZIP, "-d", unixFolder}), 0);
    const DriveCPhotos photos(10);

    std::vector<test::SeenBox> boxes = EraseWith(folder + L"\\QingHeJingTu.exe", 10, {IDOK, IDNO});
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, std::wstring(kCompletionText));
    for (const std::wstring& path : photos.paths) {
        EXPECT_EQ(TagsLeft(path), std::vector<std::string>{});
    }
    EXPECT_FALSE(Exists(L"C:\\ExifDel.bat"));

    // A folder whose name holds ";": refused before the warning, nothing written. The first photo
    // is tagged afresh: an erased one would come out of a run unchanged.
    const std::wstring semicolon = folder + L"-semi;colon";
    ASSERT_TRUE(::MoveFileW(folder.c_str(), semicolon.c_str()));
    ASSERT_TRUE(test::MakeTaggedPhoto(photos.paths[0]));
    const std::string before = test::ReadAll(photos.paths[0]);
    boxes = EraseWith(semicolon + L"\\QingHeJingTu.exe", 10, {IDOK});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, std::wstring(kShippedToolUnusableText) + semicolon + L"\\exiftool");
    EXPECT_FALSE(Exists(L"C:\\ExifDel.bat"));
    EXPECT_TRUE(test::ReadAll(photos.paths[0]) == before);

    // Without exiftool_files the launcher is not a tool.
    ASSERT_TRUE(::MoveFileW(semicolon.c_str(), folder.c_str()));
    ASSERT_TRUE(::MoveFileW((folder + L"\\exiftool\\exiftool_files").c_str(), (folder + L"\\exiftool\\perl").c_str()));
    boxes = EraseWith(folder + L"\\QingHeJingTu.exe", 10, {IDOK});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, std::wstring(kToolMissingText));
}

TEST(IntegratedEdition, WithASystemToolPresentThatOneRuns)
{
    const test::ScopedSystemTool real(test::SystemTool::Real);
    ASSERT_TRUE(real.Ready());
    // Shipped beside the program: a stand-in that passes the check and notes any call.
    const test::TestFolder app(L"integrated-app");
    ASSERT_TRUE(::CopyFileW(test::WindowsPathOf(QH_PROGRAM_EXE).value_or(L"").c_str(),
                            (app.Path() + L"\\QingHeJingTu.exe").c_str(), FALSE));
    app.AddFolder(L"exiftool");
    app.AddFolder(L"exiftool\\exiftool_files");
    ASSERT_TRUE(::CopyFileW(test::WindowsPathOf(QH_SPY_EXE).value_or(L"").c_str(),
                            (app.Path() + L"\\exiftool\\ExifTool.exe").c_str(), FALSE));
    app.AddFile(L"exiftool\\exiftool_files\\perl.exe");
    const std::wstring log = app.Path() + L"\\calls.log";
    ::SetEnvironmentVariableW(L"QH_SPY_LOG", log.c_str());
    const DriveCPhotos photos(1);

    const std::vector<test::SeenBox> boxes = EraseWith(app.Path() + L"\\QingHeJingTu.exe", 1, {IDOK, IDNO});
    ::SetEnvironmentVariableW(L"QH_SPY_LOG", nullptr);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(TagsLeft(photos.paths[0]), std::vector<std::string>{});
    EXPECT_FALSE(Exists(log)) << "the shipped tool ran: " << test::ReadAll(log);
}

}  // namespace
}  // namespace qh
