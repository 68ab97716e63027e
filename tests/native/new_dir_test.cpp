#include "folder/new_dir.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace qh {
namespace {

// The dialog answers with a scripted outcome; the existence test knows a fixed set of folders.
class FakeFolderDialog final : public FolderDialog {
public:
    FolderOutcome answer;
    std::set<std::wstring> existing;
    std::vector<BrowseRequest> shown;
    std::vector<std::wstring> asked;

    FolderOutcome Show(const BrowseRequest& request) override
    {
        shown.push_back(request);
        return answer;
    }
    bool FolderExists(const std::wstring& path) override
    {
        asked.push_back(path);
        return existing.count(path) != 0;
    }
};

class RecordingBoxes final : public MessageBoxes {
public:
    struct Box {
        std::wstring text;
        unsigned style;
    };
    std::vector<Box> shown;
    int Show(const std::wstring& text, unsigned style) override
    {
        shown.push_back({text, style});
        return box::kAnswerOk;
    }
};

TEST(NewDirNormalise, ChosenFolderEndsInExactlyOneSeparator)
{
    EXPECT_EQ(NormaliseChosenFolder(L"C:\\"), L"C:\\");
    EXPECT_EQ(NormaliseChosenFolder(L"D:\\Photos"), L"D:\\Photos\\");
    EXPECT_EQ(NormaliseChosenFolder(L"D:\\Photos\\"), L"D:\\Photos\\");
    EXPECT_EQ(NormaliseChosenFolder(L"E:\\青禾 & 100%\\ő한"), L"E:\\青禾 & 100%\\ő한\\");
    EXPECT_EQ(NormaliseChosenFolder(L""), L"");
}

TEST(NewDirNormalise, NetworkFolderKeepsItsLeadingPair)
{
    EXPECT_EQ(NormaliseChosenFolder(L"\\\\server\\share\\dir"), L"\\\\server\\share\\dir\\");
    EXPECT_EQ(NormaliseChosenFolder(L"\\\\server\\share\\"), L"\\\\server\\share\\");
    // The start folder is not a result: its leading pair is collapsed and stays collapsed.
    EXPECT_EQ(NormaliseStartFolder(L"\\\\server\\share"), L"\\server\\share\\");
}

TEST(NewDirNormalise, RunsCollapseInPairsFromTheLeft)
{
    EXPECT_EQ(NormaliseChosenFolder(L"D:\\a\\\\\\b"), L"D:\\a\\\\b\\");    // three become two
    EXPECT_EQ(NormaliseChosenFolder(L"D:\\a\\\\\\\\b"), L"D:\\a\\\\b\\");  // four become two
    EXPECT_EQ(NormaliseChosenFolder(L"D:\\a\\\\"), L"D:\\a\\\\");          // two, plus the one added
    EXPECT_EQ(NormaliseStartFolder(L"D:\\a\\\\\\b"), L"D:\\a\\\\b\\");
    EXPECT_EQ(NormaliseStartFolder(L"D:\\a\\\\\\\\b"), L"D:\\a\\\\b\\");
}

TEST(NewDirNormalise, StartFolder)
{
    EXPECT_EQ(NormaliseStartFolder(L"E:\\"), L"E:\\");
    EXPECT_EQ(NormaliseStartFolder(L"E:"), L"E:\\");
    EXPECT_EQ(NormaliseStartFolder(L""), L"");
}

TEST(NewDirBrowseFolder, AsksWithNormalisedStartFolderAndFlagsByStyle)
{
    FakeFolderDialog dialog;
    int owner = 0;
    (void)BrowseFolder(dialog, L"标题", L"D:\\Photos", false, &owner);
    (void)BrowseFolder(dialog, L"标题", L"", true, nullptr);
    ASSERT_EQ(dialog.shown.size(), 2u);
    EXPECT_EQ(dialog.shown[0].owner, &owner);
    EXPECT_EQ(dialog.shown[0].title, L"标题");
    EXPECT_EQ(dialog.shown[0].startFolder, L"D:\\Photos\\");
    EXPECT_EQ(dialog.shown[0].flags, 0x01u);
    EXPECT_EQ(dialog.shown[1].startFolder, L"");
    EXPECT_EQ(dialog.shown[1].flags, 0x40u);
}

TEST(NewDirBrowseFolder, ResultIsNormalisedAndTestedForExistence)
{
    FakeFolderDialog dialog;
    dialog.existing = {L"\\\\server\\share\\dir\\"};
    dialog.answer.folder = L"\\\\server\\share\\dir";
    const FolderOutcome found = BrowseFolder(dialog, L"t", L"E:\\", false, nullptr);
    EXPECT_FALSE(found.error);
    EXPECT_EQ(found.folder, L"\\\\server\\share\\dir\\");
    EXPECT_EQ(dialog.asked, (std::vector<std::wstring>{L"\\\\server\\share\\dir\\"}));

    dialog.answer.folder = L"D:\\Gone";
    const FolderOutcome vanished = BrowseFolder(dialog, L"t", L"E:\\", false, nullptr);
    EXPECT_FALSE(vanished.error);
    EXPECT_EQ(vanished.folder, L"");
}

TEST(NewDirBrowseFolder, FailureEndsItBeforeTheExistenceTest)
{
    FakeFolderDialog dialog;
    dialog.answer = {L"C:\\", FolderError{-2147221008, L"尚未调用 CoInitialize。"}};
    const FolderOutcome outcome = BrowseFolder(dialog, L"t", L"E:\\", false, nullptr);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->number, -2147221008);
    EXPECT_EQ(outcome.folder, L"");
    EXPECT_TRUE(dialog.asked.empty());
}

class CmdBrowseClickTest : public ::testing::Test {
protected:
    void Click()
    {
        CmdBrowseClick(dialog, boxes, &owner, [this](const std::wstring& folder) { dirs.push_back(folder); });
    }
    FakeFolderDialog dialog;
    RecordingBoxes boxes;
    int owner = 0;
    std::vector<std::wstring> dirs;
};

TEST_F(CmdBrowseClickTest, AsksForAFolderWithThePromptFromE)
{
    Click();
    ASSERT_EQ(dialog.shown.size(), 1u);
    EXPECT_EQ(dialog.shown[0].title, L"浏览文件夹【注意：Win7及以上系统不允许指定[系统]和[程序]只读目录】");
    EXPECT_EQ(dialog.shown[0].title.size(), 37u);
    EXPECT_EQ(dialog.shown[0].startFolder, L"E:\\");
    EXPECT_EQ(dialog.shown[0].flags, kBifReturnOnlyFsDirs);
    EXPECT_EQ(dialog.shown[0].owner, &owner);
}

TEST_F(CmdBrowseClickTest, ChosenFolderBecomesTheCurrentFolder)
{
    dialog.answer.folder = L"D:\\Photos";
    dialog.existing = {L"D:\\Photos\\"};
    Click();
    EXPECT_EQ(dirs, (std::vector<std::wstring>{L"D:\\Photos\\"}));
    EXPECT_TRUE(boxes.shown.empty());

    dialog.answer.folder = L"C:\\";
    dialog.existing = {L"C:\\"};
    Click();
    EXPECT_EQ(dirs.back(), L"C:\\");
}

TEST_F(CmdBrowseClickTest, CancelAndVanishedFolderKeepTheCurrentFolder)
{
    dialog.answer.folder = L"";  // cancelled, or an item without a file-system path
    Click();
    dialog.answer.folder = L"D:\\Gone";
    Click();
    EXPECT_TRUE(dirs.empty());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(dialog.asked, (std::vector<std::wstring>{L"D:\\Gone\\"}));
}

TEST_F(CmdBrowseClickTest, FailureIsReportedAndKeepsTheCurrentFolder)
{
    dialog.answer.error = FolderError{-2147467259, L"未指定的错误"};
    Click();
    EXPECT_TRUE(dirs.empty());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, L"-2147467259未指定的错误\r\n。请用拖放文件夹功能指定目录。");
    EXPECT_EQ(boxes.shown[0].style, 0x40u);

    dialog.answer.error = FolderError{5, L""};
    Click();
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, L"5\r\n。请用拖放文件夹功能指定目录。");
}

}  // namespace
}  // namespace qh
