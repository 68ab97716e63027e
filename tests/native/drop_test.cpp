#include "window/drop.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace qh {
namespace {

// A file system that holds exactly the listed folders; every other path is a file or nothing.
class FakeProbe final : public FolderProbe {
public:
    explicit FakeProbe(std::set<std::wstring> folders) : m_folders(std::move(folders)) {}
    bool IsFolder(const std::wstring& path) const override
    {
        asked.push_back(path);
        return m_folders.count(path) != 0;
    }
    mutable std::vector<std::wstring> asked;

private:
    std::set<std::wstring> m_folders;
};

class RecordingWindow final : public DropView {
public:
    std::wstring caption = L"C:\\";
    int setDirs = 0;
    int beeps = 0;
    void SetDir(const std::wstring& folder) override
    {
        caption = folder;
        ++setDirs;
    }
    void Beep() override { ++beeps; }
};

class DropTest : public ::testing::Test {
protected:
    FakeProbe probe{{L"D:\\Photos", L"D:\\pics.2019", L"D:\\a.b\\c", L"E:\\", L"D:\\Other", L"\\\\nas\\share\\相册",
                     L"D:\\照片 2024 & 旅行"}};
    RecordingWindow window;

    void Drop(const std::vector<std::wstring>& items) { DropOnLDir(items, probe, window); }
    void ExpectFolder(const std::wstring& folder)
    {
        EXPECT_EQ(window.caption, folder);
        EXPECT_EQ(window.setDirs, 1);
        EXPECT_EQ(window.beeps, 0);
    }
    void ExpectBeep()
    {
        EXPECT_EQ(window.caption, L"C:\\") << "unchanged";
        EXPECT_EQ(window.setDirs, 0);
        EXPECT_EQ(window.beeps, 1);
    }
};

TEST_F(DropTest, AFolderAloneBecomesTheCaptionAsDropped)
{
    Drop({L"D:\\Photos"});
    ExpectFolder(L"D:\\Photos");  // no separator added
}

TEST_F(DropTest, ADriveRootIsAFolder)
{
    Drop({L"E:\\"});
    ExpectFolder(L"E:\\");
}

TEST_F(DropTest, FilesThenAFolderTakeTheFolder)
{
    Drop({L"D:\\Photos\\a.jpg", L"D:\\Photos\\b.jpg", L"D:\\Photos\\c.png", L"D:\\Other"});
    ExpectFolder(L"D:\\Other");
}

TEST_F(DropTest, AFolderThenFilesTakesTheFolderAndLooksNoFurther)
{
    Drop({L"D:\\Photos", L"D:\\Photos\\a.jpg", L"D:\\Photos\\b.jpg"});
    ExpectFolder(L"D:\\Photos");
    EXPECT_EQ(probe.asked, (std::vector<std::wstring>{L"D:\\Photos"}));
}

TEST_F(DropTest, OfTwoFoldersTheFirstInTheDropsOrderWins)
{
    Drop({L"D:\\Other", L"D:\\Photos"});
    ExpectFolder(L"D:\\Other");
}

TEST_F(DropTest, FoldersWithADotNearTheEndAreFolders)
{
    Drop({L"D:\\pics.2019"});
    ExpectFolder(L"D:\\pics.2019");
    RecordingWindow second;
    DropOnLDir({L"D:\\a.b\\c"}, probe, second);
    EXPECT_EQ(second.caption, L"D:\\a.b\\c");
    EXPECT_EQ(second.beeps, 0);
}

TEST_F(DropTest, NonAsciiHostileAndNetworkFoldersAreTakenAsDropped)
{
    Drop({L"D:\\照片 2024 & 旅行"});
    ExpectFolder(L"D:\\照片 2024 & 旅行");
    RecordingWindow second;
    DropOnLDir({L"\\\\nas\\share\\相册"}, probe, second);
    EXPECT_EQ(second.caption, L"\\\\nas\\share\\相册");
}

TEST_F(DropTest, FilesWithoutADotAreNotFolders)
{
    Drop({L"D:\\data\\README", L"D:\\notes.markdown"});
    ExpectBeep();
}

TEST_F(DropTest, OnlyFilesBeep)
{
    Drop({L"D:\\Photos\\a.jpg", L"D:\\Photos\\b.jpg"});
    ExpectBeep();
}

TEST_F(DropTest, NoItemsBeep)
{
    Drop({});
    ExpectBeep();
    EXPECT_TRUE(probe.asked.empty());
}

TEST_F(DropTest, MissingFoldersBeep)
{
    Drop({L"D:\\Gone", L"Q:\\"});
    ExpectBeep();
}

TEST_F(DropTest, RelativePathsAreNeverTaken)
{
    // Even where the file system would resolve them to a folder.
    FakeProbe everything{{L"Photos", L"D:Photos", L"\\Photos", L""}};
    DropOnLDir({L"Photos", L"D:Photos", L"\\Photos", L""}, everything, window);
    ExpectBeep();
    EXPECT_TRUE(everything.asked.empty());
}

TEST(FullPath, DriveAndNetworkFormsOnly)
{
    for (const wchar_t* path : {L"C:\\", L"c:/x", L"D:\\a b\\c", L"\\\\server\\share", L"\\\\?\\C:\\long",
                                L"//server/share"}) {
        EXPECT_TRUE(IsFullPath(path)) << path;
    }
    for (const wchar_t* path : {L"", L"C:", L"C:x", L"x", L"\\x", L"\\\\", L"\\\\\\x", L"1:\\", L"::\\"}) {
        EXPECT_FALSE(IsFullPath(path)) << path;
    }
}

}  // namespace
}  // namespace qh
