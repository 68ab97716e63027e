// The erase run end to end: the real program (and, for hostile names, the real window in this
// process), real cmd.exe and the real Windows ExifTool, installed in System32 as users install it.
// For hostile names a stand-in ExifTool.exe first on PATH notes each file argument and hands it
// on to the installed tool.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

#include "box_driver.h"
#include "system_tool.h"
#include "erase/erase_run.h"
#include "platform/win32_handles.h"
#include "test_folder.h"
#include "unix_tools.h"
#include "window/form1.h"
#include "window/layout.h"

namespace qh {
namespace {

using test::TextOf;

constexpr DWORD kRunBoundMs = 90000;

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring EnvironmentVariable(const wchar_t* name)
{
    std::wstring value(32767, L'\0');
    value.resize(::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
    return value;
}

// Metadata still in a file: every tag but the ones that describe the file itself.
std::vector<std::string> MetadataLeft(const std::wstring& path)
{
    const auto tags = test::ReadTags(path);
    if (!tags) {
        return {"(unreadable)"};
    }
    std::vector<std::string> left;
    for (const auto& [key, value] : *tags) {
        const std::string group = key.substr(0, key.find(':'));
        const bool fileItself = group == "ExifTool" || group == "Composite" ||
                                (group == "File" && key != "File:Comment") ||
                                (group == "PNG" && key != "PNG:Comment" && key.find("Date") == std::string::npos);
        if (!fileItself) {
            left.push_back(key + "=" + value);
        }
    }
    if (!tags->count("File:FileType")) {
        left.emplace_back("(no longer an image)");
    }
    return left;
}

// The stand-in tool, found before the installed one: cmd.exe looks for "ExifTool" on PATH.
class ToolSpy {
public:
    ToolSpy() : m_folder(L"erase-spy")
    {
        const auto spy = test::WindowsPathOf(QH_SPY_EXE);
        m_ready = spy && ::CopyFileW(spy->c_str(), (m_folder.Path() + L"\\ExifTool.exe").c_str(), FALSE);
        m_log = m_folder.Path() + L"\\calls.log";
        m_savedPath = EnvironmentVariable(L"PATH");
        ::SetEnvironmentVariableW(L"PATH", (m_folder.Path() + L";" + m_savedPath).c_str());
        ::SetEnvironmentVariableW(L"QH_SPY_LOG", m_log.c_str());
    }
    ~ToolSpy()
    {
        ::SetEnvironmentVariableW(L"PATH", m_savedPath.c_str());
        ::SetEnvironmentVariableW(L"QH_SPY_LOG", nullptr);
    }
    [[nodiscard]] bool Ready() const { return m_ready; }
    [[nodiscard]] const std::wstring& Folder() const { return m_folder.Path(); }

    // The file argument of each call, in order; "mangled: ..." when the tool's narrow command
    // line differed from the wide one.
    [[nodiscard]] std::vector<std::wstring> Calls() const
    {
        std::vector<std::wstring> calls;
        const std::string log = test::ReadAll(m_log);
        std::size_t start = 0;
        while (start < log.size()) {
            const std::size_t end = log.find('\n', start);
            const std::string line = log.substr(start, end - start);
            if (line.rfind("ok ", 0) == 0) {
                calls.push_back(test::FromUtf8(line.substr(3)));
            } else {
                calls.push_back(L"mangled: " + test::FromUtf8(line));
            }
            start = end == std::string::npos ? log.size() : end + 1;
        }
        return calls;
    }

private:
    test::TestFolder m_folder;
    std::wstring m_log;
    std::wstring m_savedPath;
    bool m_ready = false;
};

class EraseEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_masters = std::make_unique<test::TestFolder>(L"erase-masters");
        s_jpeg = s_masters->Path() + L"\\master.jpg";
        s_png = s_masters->Path() + L"\\master.png";
        s_ready = test::MakeTaggedPhoto(s_jpeg) && test::MakeTaggedPhoto(s_png);
    }
    static void TearDownTestSuite() { s_masters.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(s_ready) << "no tagged photos: are convert and exiftool installed?";
        ASSERT_TRUE(tool.Ready()) << "the real ExifTool could not be installed in System32";
        ASSERT_FALSE(MetadataLeft(s_jpeg).empty()) << "the master photo carries no metadata";
        ASSERT_FALSE(MetadataLeft(s_png).empty());
    }

    static std::wstring TaggedCopy(const std::wstring& path)
    {
        const bool png = path.size() > 4 && path.compare(path.size() - 4, 4, L".png") == 0;
        EXPECT_TRUE(::CopyFileW((png ? s_png : s_jpeg).c_str(), path.c_str(), FALSE)) << test::Utf8(path);
        return path;
    }

    // Decoded pixels as ImageMagick's signature, one per file.
    static std::vector<std::string> PixelSignatures(const std::vector<std::wstring>& paths)
    {
        std::vector<std::string> argv{"identify", "-format", "%#\\n"};
        for (const auto& path : paths) {
            argv.push_back(test::UnixPathOf(path).value_or("?"));
        }
        const auto result = test::RunUnixCapture(argv);
        std::vector<std::string> signatures;
        if (result && result->exitCode == 0) {
            std::size_t start = 0;
            while (start < result->output.size()) {
                const std::size_t end = result->output.find('\n', start);
                signatures.push_back(result->output.substr(start, end - start));
                start = end == std::string::npos ? result->output.size() : end + 1;
            }
        }
        return signatures;
    }

    test::ScopedSystemTool tool{test::SystemTool::Real};
    static inline std::unique_ptr<test::TestFolder> s_masters;
    static inline std::wstring s_jpeg;
    static inline std::wstring s_png;
    static inline bool s_ready = false;
};

// Files and folders the test puts into C:\, removed again whatever happens.
class RootLitter {
public:
    ~RootLitter()
    {
        for (const auto& path : paths) {
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(path.c_str());
        }
        for (const auto& folder : folders) {
            test::RemoveTree(folder);
        }
    }
    std::vector<std::wstring> paths;
    std::vector<std::wstring> folders;
};

std::vector<std::wstring> ListedFilesOfDriveC()
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data{};
    UniqueFind find(::FindFirstFileW(L"C:\\*", &data));
    if (find) {
        do {
            if (!(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) {
                names.emplace_back(data.cFileName);
            }
        } while (::FindNextFileW(find.Get(), &data));
    }
    return names;
}

TEST_F(EraseEndToEnd, TheProgramErasesTheFirstTenFilesOfDriveC)
{
    // The program starts in C:\ and has no command line: the photos go into the prefix's C:\.
    ASSERT_EQ(ListedFilesOfDriveC(), std::vector<std::wstring>{}) << "C:\\ of the test prefix must hold no files";
    RootLitter litter;
    std::vector<std::wstring> photos;
    for (int i = 1; i <= 12; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"C:\\qh-e2e-%02d.%ls", i, i % 2 ? L"jpg" : L"png");
        litter.paths.push_back(name);
        photos.push_back(TaggedCopy(name));
    }
    litter.folders.push_back(L"C:\\qh-e2e-sub");
    ::CreateDirectoryW(L"C:\\qh-e2e-sub", nullptr);
    const std::wstring inner = TaggedCopy(L"C:\\qh-e2e-sub\\inner.jpg");
    litter.paths.push_back(L"C:\\ExifDel.bat");  // only if the program leaves it

    const std::vector<std::wstring> firstTen(photos.begin(), photos.begin() + 10);
    const std::vector<std::string> pixelsBefore = PixelSignatures(firstTen);
    ASSERT_EQ(pixelsBefore.size(), 10u);
    std::vector<std::pair<std::wstring, std::string>> untouched;
    for (const std::wstring& path : {photos[10], photos[11], inner}) {
        untouched.emplace_back(path, test::ReadAll(path));
    }

    // The program, started as a user would start it (its current directory does not matter).
    const test::TestFolder elsewhere(L"erase-e2e-cwd");
    const auto program = test::WindowsPathOf(QH_PROGRAM_EXE);
    ASSERT_TRUE(program);
    std::wstring commandLine = L"\"" + *program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(::CreateProcessW(program->c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 elsewhere.Path().c_str(), &startup, &info));
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    struct Ender {
        HANDLE process;
        ~Ender()
        {
            ::TerminateProcess(process, 0);
            ::WaitForSingleObject(process, 10000);
        }
    } ender{process.Get()};

    const HWND main = test::WaitForProcessWindow(info.dwProcessId, Form1::kClassName, 30000);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(test::WaitUntil([main] { return TextOf(::GetDlgItem(main, kLFiles)) == L"文件数：10"; }, 10000));
    EXPECT_EQ(TextOf(main), L"青禾净图");

    test::BoxAnswerer answerer(main, {IDOK, IDNO});
    ::PostMessageW(::GetDlgItem(main, kCmdDo), BM_CLICK, 0, 0);

    // Watch the title while the run goes on; a close request meanwhile must be ignored.
    std::set<std::wstring> titles;
    bool disabledDuringProgress = false;
    bool closeRequested = false;
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            const std::wstring title = TextOf(main);
            if (title != L"青禾净图") {
                titles.insert(title);
                // It is enabled again, progress still in the title, just before the completion box.
                disabledDuringProgress = disabledDuringProgress || !::IsWindowEnabled(main);
                if (!closeRequested) {
                    ::PostMessageW(main, WM_CLOSE, 0, 0);
                    closeRequested = true;
                }
            }
            return answerer.WaitForAnswers(0);
        },
        kRunBoundMs));
    ASSERT_TRUE(test::WaitUntil([main] { return TextOf(main) == L"青禾净图" && ::IsWindowEnabled(main); }, 10000));
    const std::vector<test::SeenBox> boxes = answerer.Stop();

    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, L"消息");
    EXPECT_EQ(boxes[0].text, L"抹除后将无法恢复！");
    EXPECT_EQ(boxes[0].buttons, (std::vector<int>{IDOK, IDCANCEL}));
    EXPECT_EQ(boxes[1].title, L"消息");
    EXPECT_EQ(boxes[1].text, std::wstring(kCompletionText));
    EXPECT_EQ(boxes[1].buttons, (std::vector<int>{IDYES, IDNO}));

    // Progress against the full count of 12; the window was unusable meanwhile.
    EXPECT_TRUE(closeRequested) << "no progress title was seen";
    for (const std::wstring& title : titles) {
        bool known = false;
        for (int i = 1; i <= 10; ++i) {
            known = known || title == L"青禾净图  正在清除Exif中：" + std::to_wstring(i) + L"/12";
        }
        EXPECT_TRUE(known) << test::Utf8(title);
    }
    EXPECT_TRUE(disabledDuringProgress);
    // The close request during the run changed nothing: the program runs on, no box is open.
    EXPECT_EQ(::WaitForSingleObject(process.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(::IsWindow(main));
    EXPECT_EQ(test::FindOwnedBox(main), nullptr);

    // The tool wrote over each file in place: no backup copy, no temporary file, no script.
    std::vector<std::wstring> expectedNames;
    for (const std::wstring& path : photos) {
        expectedNames.push_back(path.substr(3));
    }
    std::vector<std::wstring> namesAfter = ListedFilesOfDriveC();
    std::sort(namesAfter.begin(), namesAfter.end());
    EXPECT_EQ(namesAfter, expectedNames);
    EXPECT_FALSE(Exists(L"C:\\ExifDel.bat"));
    for (const std::wstring& path : firstTen) {
        EXPECT_EQ(MetadataLeft(path), std::vector<std::string>{}) << test::Utf8(path);
    }
    EXPECT_EQ(PixelSignatures(firstTen), pixelsBefore);
    for (const auto& [path, bytes] : untouched) {
        EXPECT_TRUE(test::ReadAll(path) == bytes) << test::Utf8(path) << " was changed";
    }
}

TEST_F(EraseEndToEnd, HostileNamesEachReachTheToolExactlyOnce)
{
    ToolSpy spy;
    ASSERT_TRUE(spy.Ready());
    test::TestFolder base(L"erase-hostile");
    const std::wstring folder = base.AddFolder(L"a b %PATH% & ^ ( ) ! ' ; 中文");
    const std::vector<std::wstring> names = {
        L"blank  name.jpg",
        L"%PATH%.jpg",
        L"a&b.png",
        L"c^d.jpg",
        L"e!f!.jpg",
        L"中文照片.jpg",
        L"\u0142 outside 936.jpg",
        L"(p) 'q' ;r.png",
        L"long " + std::wstring(150, L'x') + L".jpg",
    };
    std::vector<std::wstring> listed;
    for (const auto& name : names) {
        listed.push_back(TaggedCopy(folder + L"\\" + name));
    }
    EXPECT_GT(listed.back().size(), 200u);
    // Not listed: a sub-folder's file, a hidden file; and a neighbour outside the folder.
    base.AddFolder(L"a b %PATH% & ^ ( ) ! ' ; 中文\\sub");
    std::vector<std::pair<std::wstring, std::string>> others;
    for (const std::wstring& path : {folder + L"\\sub\\inner.jpg", folder + L"\\hidden.jpg", base.Path() + L"\\a"}) {
        TaggedCopy(path);
        others.emplace_back(path, test::ReadAll(path));
    }
    ::SetFileAttributesW((folder + L"\\hidden.jpg").c_str(), FILE_ATTRIBUTE_HIDDEN);

    test::DiscardQuitMessages();
    Form1 form;
    ASSERT_TRUE(form.Create(::GetModuleHandleW(nullptr)));
    form.SetDir(folder);
    ASSERT_EQ(form.State().File1().Count(), names.size());

    test::BoxAnswerer answerer(form.Hwnd(), {IDOK, IDNO});
    ::SendMessageW(form.Control(kCmdDo), BM_CLICK, 0, 0);
    const std::vector<test::SeenBox> boxes = answerer.Stop();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, std::wstring(kCompletionText));

    // Every listed file exactly once; the one outside code page 936 by its 8.3 path.
    std::multiset<std::wstring> reached;
    for (const std::wstring& call : spy.Calls()) {
        wchar_t longPath[1024]{};
        const DWORD length = ::GetLongPathNameW(call.c_str(), longPath, 1024);
        reached.insert(length > 0 && length < 1024 ? std::wstring(longPath) : L"?" + call);
        const bool viaShortPath = call != longPath;
        const bool outside936 = call.find(L"\u0142") != std::wstring::npos || std::wstring(longPath).find(L"\u0142") != std::wstring::npos;
        EXPECT_EQ(viaShortPath, outside936) << test::Utf8(call);
    }
    EXPECT_EQ(reached, std::multiset<std::wstring>(listed.begin(), listed.end()));
    for (const std::wstring& path : listed) {
        EXPECT_EQ(MetadataLeft(path), std::vector<std::string>{}) << test::Utf8(path);
    }
    for (const auto& [path, bytes] : others) {
        EXPECT_TRUE(test::ReadAll(path) == bytes) << test::Utf8(path) << " was changed";
    }
    EXPECT_FALSE(Exists(folder + L"\\ExifDel.bat"));
    EXPECT_EQ(TextOf(form.Hwnd()), L"青禾净图");
    EXPECT_TRUE(::IsWindowEnabled(form.Hwnd()));
}

}  // namespace
}  // namespace qh
