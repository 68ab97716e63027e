#include "window/links.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "window/layout.h"
#include "window/pages.h"

namespace qh {
namespace {

class FakeStarter final : public CommandStarter {
public:
    std::vector<std::pair<std::wstring, ShowStyle>> started;
    bool succeeds = true;

    bool Start(const std::wstring& commandLine, ShowStyle style) override
    {
        started.emplace_back(commandLine, style);
        return succeeds;
    }
};

class FakeBoxes final : public MessageBoxes {
public:
    struct Shown {
        std::wstring text;
        unsigned style;
    };
    std::vector<Shown> shown;
    int answer = box::kAnswerCancel;
    std::function<void()> whileShown;  // runs while the box is up, as a nested event would

    int Show(const std::wstring& text, unsigned style) override
    {
        shown.push_back({text, style});
        if (whileShown) {
            whileShown();
        }
        return answer;
    }
};

const std::wstring kHomeCommand = L"explorer.exe http://www.qinghe.example/Index.htm";
const std::wstring kDownloadCommand = L"explorer.exe http://www.ruanjian.example/soft/32582.html";

using Started = std::vector<std::pair<std::wstring, ShowStyle>>;

TEST(LinksTest, HomeLinkOpensTheHomePageInANormalWindow)
{
    FakeStarter starter;
    LHomeClick(starter);
    EXPECT_EQ(starter.started, (Started{{kHomeCommand, ShowStyle::Normal}}));
    EXPECT_EQ(static_cast<int>(starter.started[0].second), 1);
}

TEST(LinksTest, MoreFunctionsLinkOpensHomeThenDownloadPageMaximized)
{
    FakeStarter starter;
    Label1Click(starter);
    EXPECT_EQ(starter.started, (Started{{kHomeCommand, ShowStyle::Maximized}, {kDownloadCommand, ShowStyle::Maximized}}));
    EXPECT_EQ(static_cast<int>(starter.started[1].second), 3);
}

TEST(LinksTest, StartsThatCannotRunAreIgnoredAndTheSecondPageIsStillTried)
{
    FakeStarter starter;
    starter.succeeds = false;
    LHomeClick(starter);
    Label1Click(starter);
    EXPECT_EQ(starter.started.size(), 3u);
    EXPECT_EQ(starter.started[2].first, kDownloadCommand);
}

class CloseConfirmationTest : public ::testing::Test {
protected:
    FakeBoxes boxes;
    FakeStarter starter;
    CloseConfirmation confirmation;
};

TEST_F(CloseConfirmationTest, AsksWithOkCancelInformationAndCancelAsDefault)
{
    static_cast<void>(confirmation.Confirm(boxes, starter));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, L"确定要关闭？");
    EXPECT_EQ(boxes.shown[0].style, 0x141u);
}

TEST_F(CloseConfirmationTest, CancelKeepsTheWindowAndOpensNothing)
{
    boxes.answer = box::kAnswerCancel;
    EXPECT_FALSE(confirmation.Confirm(boxes, starter));
    EXPECT_TRUE(starter.started.empty());
    // Asking again works: a Cancel leaves nothing behind.
    EXPECT_FALSE(confirmation.Confirm(boxes, starter));
    EXPECT_EQ(boxes.shown.size(), 2u);
}

TEST_F(CloseConfirmationTest, OnlyOkCloses)
{
    // 0: the box could not be shown; the window stays rather than closing unasked.
    for (int answer : {0, box::kAnswerCancel, box::kAnswerYes, box::kAnswerNo}) {
        boxes.answer = answer;
        EXPECT_FALSE(confirmation.Confirm(boxes, starter)) << answer;
    }
    EXPECT_TRUE(starter.started.empty());
}

TEST_F(CloseConfirmationTest, OkOpensTheHomePageAndCloses)
{
    boxes.answer = box::kAnswerOk;
    EXPECT_TRUE(confirmation.Confirm(boxes, starter));
    EXPECT_EQ(starter.started, (Started{{kHomeCommand, ShowStyle::Normal}}));
    // Every confirmed close opens the home page.
    EXPECT_TRUE(confirmation.Confirm(boxes, starter));
    EXPECT_EQ(starter.started.size(), 2u);
}

TEST_F(CloseConfirmationTest, OkClosesEvenWhenTheBrowserCannotStart)
{
    boxes.answer = box::kAnswerOk;
    starter.succeeds = false;
    EXPECT_TRUE(confirmation.Confirm(boxes, starter));
    EXPECT_EQ(starter.started.size(), 1u);
}

TEST_F(CloseConfirmationTest, CloseRequestWhileTheBoxIsUpIsTurnedDown)
{
    boxes.answer = box::kAnswerOk;
    bool nestedResult = true;
    boxes.whileShown = [&] {
        boxes.whileShown = nullptr;
        nestedResult = confirmation.Confirm(boxes, starter);
    };
    EXPECT_TRUE(confirmation.Confirm(boxes, starter));
    EXPECT_FALSE(nestedResult);
    EXPECT_EQ(boxes.shown.size(), 1u) << "no second box";
    EXPECT_EQ(starter.started.size(), 1u) << "the home page opens once";
    // Once answered, the next close request asks again.
    EXPECT_TRUE(confirmation.Confirm(boxes, starter));
    EXPECT_EQ(boxes.shown.size(), 2u);
}

}  // namespace
}  // namespace qh
