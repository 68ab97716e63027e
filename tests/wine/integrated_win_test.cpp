// The integrated edition under Wine: the release zip unpacked as a user unpacks it, the real
// program started from there, cmd.exe and the ExifTool shipped beside the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

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

constexpr DWORD kRunBoundMs = 120000;

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring TextOf(HWND hwnd)
{
    wchar_t buffer[512]{};
    ::GetWindowTextW(hwnd, buffer, 512);
    return buffer;
}

// A folder made from the Unix side (unzip, cp), removed the same way whatever happens.
class UnixFolder {
public:
    explicit UnixFolder(std::wstring path) : m_path(std::move(path))
    {
        ::CreateDirectoryW(m_path.c_str(), nullptr);
        m_unix = test::UnixPathOf(m_path).value_or("");
    }
    ~UnixFolder()
    {
        if (!m_unix.empty()) {
            (void)test::RunUnix({"rm", "-rf", m_unix});
        }
    }
    [[nodiscard]] const std::wstring& Path() const { return m_path; }
    // The whole zip, or only the members named.
    [[nodiscard]] bool Unzip(const std::string& zip, const std::vector<std::string>& members = {}) const
    {
        std::vector<std::string> argv{"unzip", "-q", "-o", zip};
        argv.insert(argv.end(), members.begin(), members.end());
        argv.insert(argv.end(), {"-d", m_unix});
        return !m_unix.empty() && test::RunUnix(argv) == 0;
    }

private:
    std::wstring m_path;
    std::string m_unix;
};

// The program lists C:\ when it starts: the photos go there, and go again afterwards.
class DriveCPhotos {
public:
    DriveCPhotos(const std::wstring& master, int count)
    {
        for (int i = 1; i <= count; ++i) {
            wchar_t name[32];
            swprintf(name, 32, L"C:\\qh-int-%02d.jpg", i);
            if (::CopyFileW(master.c_str(), name, FALSE)) {
                paths.push_back(name);
            }
        }
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

BOOL CALLBACK FindMainWindow(HWND hwnd, LPARAM param)
{
    auto* found = reinterpret_cast<std::pair<DWORD, HWND>*>(param);
    wchar_t className[64]{};
    ::GetClassNameW(hwnd, className, 64);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(hwnd, &processId);
    if (processId == found->first && std::wstring(className) == Form1::kClassName && ::IsWindowVisible(hwnd)) {
        found->second = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The program started from its folder as a user starts it, with another current folder; ended
// when the test ends.
class Program {
public:
    Program(const std::wstring& exe, const std::wstring& currentDirectory)
    {
        std::wstring commandLine = L"\"" + exe + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              currentDirectory.c_str(), &startup, &info)) {
            return;
        }
        m_process.Reset(info.hProcess);
        ::CloseHandle(info.hThread);
        std::pair<DWORD, HWND> found{info.dwProcessId, nullptr};
        (void)test::WaitUntil(
            [&found] {
                ::EnumWindows(&FindMainWindow, reinterpret_cast<LPARAM>(&found));
                return found.second != nullptr;
            },
            30000);
        m_main = found.second;
    }
    ~Program()
    {
        if (m_process) {
            ::TerminateProcess(m_process.Get(), 0);
            ::WaitForSingleObject(m_process.Get(), 10000);
        }
    }

    // Clicks the erase button and answers the boxes; the boxes once the run is over.
    std::vector<test::SeenBox> Erase(const std::vector<int>& answers) const
    {
        test::BoxAnswerer answerer(m_main, answers);
        ::PostMessageW(::GetDlgItem(m_main, kCmdDo), BM_CLICK, 0, 0);
        const HWND main = m_main;
        EXPECT_TRUE(test::WaitUntil(
            [&] {
                return answerer.WaitForAnswers(0) && test::FindOwnedBox(main) == nullptr &&
                       ::IsWindowEnabled(main) && TextOf(main) == L"青禾净图";
            },
            kRunBoundMs));
        return answerer.Stop();
    }
    [[nodiscard]] HWND Main() const { return m_main; }

private:
    UniqueHandle m_process;
    HWND m_main = nullptr;
};

class IntegratedEdition : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_masters = std::make_unique<test::TestFolder>(L"integrated-masters");
        s_photo = s_masters->Path() + L"\\master.jpg";
        s_ready = test::MakeTaggedPhoto(s_photo);
    }
    static void TearDownTestSuite() { s_masters.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(s_ready) << "no tagged photo: are convert and exiftool installed?";
        ASSERT_FALSE(test::PhotoTagsIn(test::ReadTags(s_photo).value_or(test::TagMap{})).empty());
        WIN32_FIND_DATAW data{};
        UniqueFind find(::FindFirstFileW(L"C:\\*", &data));
        bool files = false;
        do {
            files = files || !(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                                                        FILE_ATTRIBUTE_SYSTEM));
        } while (find && ::FindNextFileW(find.Get(), &data));
        ASSERT_FALSE(files) << "C:\\ of the test prefix must hold no files";
    }

    static std::vector<std::string> PhotoTagsLeft(const std::wstring& path)
    {
        const auto tags = test::ReadTags(path);
        return tags ? test::PhotoTagsIn(*tags) : std::vector<std::string>{"(unreadable)"};
    }

    const test::TestFolder elsewhere{L"integrated-cwd"};
    static inline std::unique_ptr<test::TestFolder> s_masters;
    static inline std::wstring s_photo;
    static inline bool s_ready = false;
};

TEST_F(IntegratedEdition, UnpackedIntoProgramFilesItErasesWithItsOwnTool)
{
    const test::ScopedSystemTool none(test::SystemTool::None);
    ASSERT_TRUE(none.Ready());
    const UnixFolder folder(L"C:\\Program Files\\青禾净图 工具");
    ASSERT_TRUE(folder.Unzip(QH_RELEASE_ZIP));
    const DriveCPhotos photos(s_photo, 10);
    ASSERT_EQ(photos.paths.size(), 10u);

    const Program program(folder.Path() + L"\\QingHeJingTu.exe", elsewhere.Path());
    ASSERT_NE(program.Main(), nullptr);
    ASSERT_TRUE(test::WaitUntil([&] { return TextOf(::GetDlgItem(program.Main(), kLFiles)) == L"文件数：10"; }, 10000));
    const std::vector<test::SeenBox> boxes = program.Erase({IDOK, IDNO});
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, std::wstring(kWarningText));
    EXPECT_EQ(boxes[1].text, std::wstring(kCompletionText));
    for (const std::wstring& path : photos.paths) {
        EXPECT_EQ(PhotoTagsLeft(path), std::vector<std::string>{}) << test::Utf8(path);
    }
    EXPECT_FALSE(Exists(L"C:\\ExifDel.bat"));
}

TEST_F(IntegratedEdition, WithoutExiftoolFilesTheToolIsMissing)
{
    const test::ScopedSystemTool none(test::SystemTool::None);
    ASSERT_TRUE(none.Ready());
    const UnixFolder folder(elsewhere.Path() + L"\\app");
    ASSERT_TRUE(folder.Unzip(QH_RELEASE_ZIP, {"QingHeJingTu.exe", "exiftool/ExifTool.exe"}));
    const DriveCPhotos photos(s_photo, 1);
    const std::string before = test::ReadAll(photos.paths.at(0));

    const Program program(folder.Path() + L"\\QingHeJingTu.exe", elsewhere.Path());
    ASSERT_NE(program.Main(), nullptr);
    const std::vector<test::SeenBox> boxes = program.Erase({IDOK});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, std::wstring(kToolMissingText));
    EXPECT_TRUE(test::ReadAll(photos.paths[0]) == before);
}

TEST_F(IntegratedEdition, InAFolderNamedWithASemicolonTheRunIsRefusedAndNothingIsWritten)
{
    const test::ScopedSystemTool none(test::SystemTool::None);
    ASSERT_TRUE(none.Ready());
    const UnixFolder folder(L"C:\\Program Files\\青禾;净图");
    ASSERT_TRUE(folder.Unzip(QH_RELEASE_ZIP));
    const DriveCPhotos photos(s_photo, 1);
    const std::string before = test::ReadAll(photos.paths.at(0));

    const Program program(folder.Path() + L"\\QingHeJingTu.exe", elsewhere.Path());
    ASSERT_NE(program.Main(), nullptr);
    const std::vector<test::SeenBox> boxes = program.Erase({IDOK});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, std::wstring(kShippedToolUnusableText) + folder.Path() + L"\\exiftool");
    EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(test::ReadAll(photos.paths[0]) == before);
    EXPECT_FALSE(Exists(L"C:\\ExifDel.bat"));
}

TEST_F(IntegratedEdition, WithASystemToolPresentThatOneRuns)
{
    const test::ScopedSystemTool real(test::SystemTool::Real);
    ASSERT_TRUE(real.Ready());
    // The shipped tool is a stand-in that would note any call (and pass the check).
    const test::TestFolder app(L"integrated-app");
    const auto exe = test::WindowsPathOf(QH_PROGRAM_EXE);
    const auto spy = test::WindowsPathOf(QH_SPY_EXE);
    ASSERT_TRUE(exe && spy);
    ASSERT_TRUE(::CopyFileW(exe->c_str(), (app.Path() + L"\\QingHeJingTu.exe").c_str(), FALSE));
    app.AddFolder(L"exiftool");
    ASSERT_TRUE(::CopyFileW(spy->c_str(), (app.Path() + L"\\exiftool\\ExifTool.exe").c_str(), FALSE));
    app.AddFolder(L"exiftool\\exiftool_files");
    app.AddFile(L"exiftool\\exiftool_files\\perl.exe");
    const std::wstring log = elsewhere.Path() + L"\\calls.log";
    ::SetEnvironmentVariableW(L"QH_SPY_LOG", log.c_str());
    const DriveCPhotos photos(s_photo, 1);

    const Program program(app.Path() + L"\\QingHeJingTu.exe", elsewhere.Path());
    ::SetEnvironmentVariableW(L"QH_SPY_LOG", nullptr);
    ASSERT_NE(program.Main(), nullptr);
    const std::vector<test::SeenBox> boxes = program.Erase({IDOK, IDNO});
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, std::wstring(kCompletionText));
    EXPECT_EQ(PhotoTagsLeft(photos.paths.at(0)), std::vector<std::string>{});
    EXPECT_FALSE(Exists(log)) << "the shipped tool ran: " << test::ReadAll(log);
}

}  // namespace
}  // namespace qh
