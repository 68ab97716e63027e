// The ExifTool bridge as installed in the prefix, called the way the program's script calls the
// tool: real tagged JPEGs, hostile paths, failures, and the whole chain through cmd.exe.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/win32_handles.h"
#include "test_folder.h"
#include "unix_tools.h"

namespace qh {
namespace {

// The program accepts a tool of at least 4.5 MiB.
constexpr ULONGLONG kSmallestAcceptedTool = 4'718'592;
constexpr DWORD kProcessWaitMs = 60'000;

std::wstring InstalledBridge()
{
    wchar_t system[MAX_PATH];
    ::GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\ExifTool.exe";
}

// Starts commandLine hidden in directory (the test's own when empty) and waits for it to end;
// its exit code, or nothing when it could not start or did not end in time.
std::optional<DWORD> RunHidden(std::wstring commandLine, const std::wstring& directory = {})
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          directory.empty() ? nullptr : directory.c_str(), &startup, &info)) {
        return std::nullopt;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    if (::WaitForSingleObject(process.Get(), kProcessWaitMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.Get(), 99);
        return std::nullopt;
    }
    DWORD exitCode = 0;
    ::GetExitCodeProcess(process.Get(), &exitCode);
    return exitCode;
}

// The program's command line for one file, the path enclosed in quotes.
std::optional<DWORD> EraseWithBridge(const std::wstring& path, const std::wstring& directory = {})
{
    return RunHidden(L"\"" + InstalledBridge() + L"\" -overwrite_original -all= \"" + path + L"\"", directory);
}

std::set<std::wstring> NamesIn(const std::wstring& folder)
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data{};
    UniqueFind find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (find) {
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") {
                names.insert(name);
            }
        } while (::FindNextFileW(find.Get(), &data));
    }
    return names;
}

// Tags that are still metadata after an erase: everything but the file's own description.
std::vector<std::string> MetadataLeftIn(const test::TagMap& tags)
{
    std::vector<std::string> left;
    for (const auto& [key, value] : tags) {
        const std::string group = key.substr(0, key.find(':'));
        const bool fileItself = group == "ExifTool" || group == "Composite" || (group == "File" && key != "File:Comment");
        if (!fileItself) {
            left.push_back(key + "=" + value);
        }
    }
    return left;
}

class Bridge : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_folder = std::make_unique<test::TestFolder>(L"bridge");
        s_master = s_folder->Path() + L"\\master.jpg";
        s_masterBytes.clear();
        // Every test's photos are copies of this one, so its tags are checked once, here.
        if (test::MakeTaggedPhoto(s_master)) {
            const auto tags = test::ReadTags(s_master);
            const std::vector<std::string> everyKind = {"EXIF:GPSLatitude", "EXIF:GPSLongitude", "EXIF:Make",
                                                        "EXIF:Model",       "EXIF:DateTimeOriginal", "XMP:Creator",
                                                        "IPTC:Keywords",    "File:Comment"};
            if (tags && test::PhotoTagsIn(*tags) == everyKind) {
                s_masterBytes = test::ReadAll(s_master);
            }
        }
    }
    static void TearDownTestSuite() { s_folder.reset(); }

    void SetUp() override
    {
        ASSERT_FALSE(s_masterBytes.empty()) << "no tagged master photo: are convert and exiftool installed?";
    }

    // A fresh sub-folder of the suite's folder.
    static std::wstring Folder(const std::wstring& name) { return s_folder->AddFolder(name); }
    static std::wstring TaggedCopy(const std::wstring& folder, const std::wstring& name)
    {
        const std::wstring path = folder + L"\\" + name;
        EXPECT_TRUE(::CopyFileW(s_master.c_str(), path.c_str(), FALSE)) << test::Utf8(path);
        return path;
    }
    static void ExpectErased(const std::wstring& path)
    {
        const auto tags = test::ReadTags(path);
        ASSERT_TRUE(tags.has_value()) << "exiftool cannot read " << test::Utf8(path);
        EXPECT_EQ(MetadataLeftIn(*tags), std::vector<std::string>{}) << test::Utf8(path);
        EXPECT_EQ(tags->count("File:FileType") ? tags->at("File:FileType") : "", "JPEG") << "no longer a JPEG";
    }
    static void ExpectUntouched(const std::wstring& path)
    {
        EXPECT_TRUE(test::ReadAll(path) == s_masterBytes) << test::Utf8(path) << " was changed";
    }

    static inline std::unique_ptr<test::TestFolder> s_folder;
    static inline std::wstring s_master;
    static inline std::string s_masterBytes;
};

TEST(InstalledBridge, PassesTheSizeCheckAndIsTheCurrentBuild)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(::GetFileAttributesExW(InstalledBridge().c_str(), GetFileExInfoStandard, &data));
    const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    EXPECT_GE(size, kSmallestAcceptedTool);

    // The copy is the built program followed by padding, so a rebuilt bridge has been installed.
    const auto built = test::WindowsPathOf(QH_BRIDGE_BUILT);
    ASSERT_TRUE(built.has_value());
    const std::string builtBytes = test::ReadAll(*built);
    const std::string installedBytes = test::ReadAll(InstalledBridge());
    ASSERT_GT(builtBytes.size(), 0u);
    ASSERT_GE(installedBytes.size(), builtBytes.size());
    EXPECT_TRUE(installedBytes.compare(0, builtBytes.size(), builtBytes) == 0) << "the prefix holds an older bridge";
    EXPECT_EQ(installedBytes.find_first_not_of('\0', builtBytes.size()), std::string::npos);
}

TEST_F(Bridge, ErasesEveryTagInPlaceAndLeavesTheNeighbourAlone)
{
    const std::wstring folder = Folder(L"plain");
    const std::wstring target = TaggedCopy(folder, L"IMG_0001.jpg");
    const std::wstring neighbour = TaggedCopy(folder, L"IMG_0002.jpg");

    EXPECT_EQ(EraseWithBridge(target), 0u);

    ExpectErased(target);
    ExpectUntouched(neighbour);
    // Written over the original: no backup copy, no temporary file left behind.
    EXPECT_EQ(NamesIn(folder), (std::set<std::wstring>{L"IMG_0001.jpg", L"IMG_0002.jpg"}));
}

TEST_F(Bridge, HostilePathsReachTheToolAsOneArgument)
{
    const std::wstring folder = Folder(L"照片 & 100% ^ ! (1)");
    const std::wstring neighbour = TaggedCopy(folder, L"neighbour.jpg");
    for (const std::wstring name : {L"with  blanks (1).jpg", L"中文 照片.jpg", L"100% & ^ ! ' ;.jpg", L"%PATH%.jpg",
                                    L"a;b,c=d.jpg"}) {
        SCOPED_TRACE(test::Utf8(name));
        const std::wstring path = TaggedCopy(folder, name);
        EXPECT_EQ(EraseWithBridge(path), 0u);
        ExpectErased(path);
    }

    // Past MAX_PATH: the path is handed on whole, not cut.
    // (Each name stays within what a Linux file system holds, exiftool's temporary name included.)
    s_folder->AddFolder(L"照片 & 100% ^ ! (1)\\" + std::wstring(120, L'd'));
    const std::wstring deeper = s_folder->AddFolder(L"照片 & 100% ^ ! (1)\\" + std::wstring(120, L'd') + L"\\" +
                                                    std::wstring(120, L'e'));
    const std::wstring longPath = TaggedCopy(deeper, std::wstring(60, L'长') + L".jpg");
    ASSERT_GT(longPath.size(), static_cast<size_t>(MAX_PATH));
    EXPECT_EQ(EraseWithBridge(longPath), 0u);
    ExpectErased(longPath);

    // A relative path is taken from the working directory, as the Windows tool takes it.
    const std::wstring relative = TaggedCopy(folder, L"relative name.jpg");
    EXPECT_EQ(EraseWithBridge(L"relative name.jpg", folder), 0u);
    ExpectErased(relative);

    ExpectUntouched(neighbour);
}

TEST_F(Bridge, FailuresAreReportedAndTouchNoOtherFile)
{
    const std::wstring folder = Folder(L"failures");
    const std::wstring a = TaggedCopy(folder, L"a.jpg");
    const std::wstring b = TaggedCopy(folder, L"b.jpg");
    // Hangul is outside code page 936: the tool's ANSI command line carries "?.jpg" instead, which
    // must not be taken as a pattern matching a.jpg or b.jpg.
    const std::wstring hangul = TaggedCopy(folder, L"\uD55C.jpg");
    BOOL lossy = FALSE;
    char narrow[16];
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, L"\uD55C", 1, narrow, sizeof(narrow), nullptr, &lossy);
    ASSERT_TRUE(lossy) << "the ANSI code page holds the test character; is the prefix not zh_CN?";

    for (const std::wstring& path : {folder + L"\\missing.jpg", folder + L"\\no such folder\\a.jpg", folder + L"\\*.jpg",
                                     folder + L"\\?.jpg", hangul}) {
        SCOPED_TRACE(test::Utf8(path));
        const auto exitCode = EraseWithBridge(path);
        ASSERT_TRUE(exitCode.has_value());
        EXPECT_NE(*exitCode, 0u);
    }

    ExpectUntouched(a);
    ExpectUntouched(b);
    ExpectUntouched(hangul);
    EXPECT_EQ(NamesIn(folder), (std::set<std::wstring>{L"a.jpg", L"b.jpg", L"\uD55C.jpg"}));
}

TEST_F(Bridge, BatchFileInTheOemCodePageFindsTheToolOnThePath)
{
    const std::wstring folder = Folder(L"cmd");
    const std::wstring photos = s_folder->AddFolder(L"cmd\\中文 & ^ ! 100%");
    const std::wstring target = TaggedCopy(photos, L"旅行 & 照片 ^ ! 50%.jpg");
    const std::wstring neighbour = TaggedCopy(photos, L"旅行 & 照片 ^ ! 50.jpg");

    // Inside a batch file a literal "%" is written "%%"; quotes keep "&", "^" and blanks literal.
    std::wstring quotedPath;
    for (const wchar_t c : target) {
        quotedPath += c == L'%' ? std::wstring(L"%%") : std::wstring(1, c);
    }
    const std::wstring script = L"@Echo off\r\nExifTool -overwrite_original -all= \"" + quotedPath + L"\"\r\nexit\r\n";
    // cmd.exe reads batch files in the OEM code page.
    BOOL lossy = FALSE;
    const int length = ::WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, script.data(), static_cast<int>(script.size()),
                                             nullptr, 0, nullptr, &lossy);
    std::string bytes(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, script.data(), static_cast<int>(script.size()), bytes.data(),
                          length, nullptr, &lossy);
    ASSERT_FALSE(lossy);
    const std::wstring batch = s_folder->AddFile(L"cmd\\ExifDel.bat", bytes);

    // The batch file's own folder holds no ExifTool: only the search path can find it.
    const auto exitCode = RunHidden(L"cmd.exe /c \"" + batch + L"\"", folder);
    ASSERT_TRUE(exitCode.has_value()) << "cmd.exe did not finish";

    ExpectErased(target);
    ExpectUntouched(neighbour);
}

}  // namespace
}  // namespace qh
