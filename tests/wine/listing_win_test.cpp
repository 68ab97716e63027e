// The listing against real folders and attributes.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/win32_folder_reader.h"
#include "platform/win32_paths.h"
#include "test_folder.h"

namespace qh {
namespace {

std::vector<std::wstring> ItemsOf(const FileList& list)
{
    std::vector<std::wstring> items;
    for (std::size_t i = 0; i < list.Count(); ++i) {
        items.emplace_back(list.Item(i));
    }
    return items;
}

class NullView final : public ListingView {
public:
    std::wstring caption;
    bool enabled = true;
    void SetFilesCaption(const std::wstring& text) override { caption = text; }
    void SetDoEnabled(bool on) override { enabled = on; }
};

class RealListing : public ::testing::Test {
protected:
    Win32FolderReader reader;
    NullView view;
    FolderState state{reader, view};
};

TEST_F(RealListing, ListsPlainFilesOnlyInExplorerOrder)
{
    test::TestFolder folder(L"listing");
    folder.AddFile(L"img10.jpg");
    folder.AddFile(L"img2.jpg");
    folder.AddFile(L"IMG1.jpg", "x", FILE_ATTRIBUTE_ARCHIVE);
    folder.AddFile(L"readonly.png", "x", FILE_ATTRIBUTE_READONLY);
    folder.AddFile(L"noext");
    folder.AddFile(L"hidden.jpg", "x", FILE_ATTRIBUTE_HIDDEN);
    folder.AddFile(L"system.jpg", "x", FILE_ATTRIBUTE_SYSTEM);
    folder.AddFolder(L"sub");
    folder.AddFile(L"sub\\inner.jpg");
    state.SetDir(folder.Path());
    EXPECT_EQ(ItemsOf(state.File1()),
              (std::vector<std::wstring>{L"IMG1.jpg", L"img2.jpg", L"img10.jpg", L"noext", L"readonly.png"}));
    EXPECT_EQ(state.FileCount(), 5);
    EXPECT_EQ(view.caption, L"文件数：5");
    EXPECT_TRUE(view.enabled);
}

TEST_F(RealListing, HostileAndNonAsciiNamesAreListedAsTheyAre)
{
    test::TestFolder folder(L"hostile 名 %PATH% & ^ ( ) ! ' ;");
    const std::vector<std::wstring> names = {L"a b & c.jpg", L"%PATH%.jpg", L"照片 一.jpg", L"\u00e9t\u00e9 \u0416.jpg",
                                             L"x^y!z'(1);.jpg"};
    for (const auto& name : names) {
        folder.AddFile(name);
    }
    state.SetDir(folder.Path() + L"\\");
    EXPECT_EQ(state.File1().Count(), names.size());
    for (const auto& name : names) {
        const auto items = ItemsOf(state.File1());
        EXPECT_NE(std::find(items.begin(), items.end(), name), items.end());
    }
}

TEST_F(RealListing, WithAndWithoutFinalSeparatorListTheSame)
{
    test::TestFolder folder(L"separator");
    for (int i = 0; i < 12; ++i) {
        folder.AddFile(L"f" + std::to_wstring(i) + L".jpg");
    }
    state.SetDir(folder.Path());
    const auto plain = ItemsOf(state.File1());
    state.SetDir(folder.Path() + L"\\");
    EXPECT_EQ(ItemsOf(state.File1()), plain);
    EXPECT_EQ(plain.size(), 12u);
    EXPECT_EQ(state.FileCount(), 10);
    EXPECT_EQ(view.caption, L"文件数：10");
}

TEST_F(RealListing, UnlistableTextsGiveZeroAndDisable)
{
    test::TestFolder folder(L"unlistable");
    const std::wstring file = folder.AddFile(L"a.jpg");
    for (const std::wstring& text : {std::wstring(), folder.Path() + L"\\missing", file, std::wstring(L"Q:\\"),
                                     folder.Path() + L"\\*"}) {
        state.SetDir(folder.Path());
        ASSERT_EQ(state.FileCount(), 1);
        state.SetDir(text);
        EXPECT_EQ(state.File1().Count(), 0u);
        EXPECT_EQ(view.caption, L"文件数：0");
        EXPECT_FALSE(view.enabled);
    }
}

TEST_F(RealListing, FolderRemovedAfterChoosingListsEmpty)
{
    auto folder = std::make_unique<test::TestFolder>(L"vanish");
    folder->AddFile(L"a.jpg");
    const std::wstring path = folder->Path();
    state.SetDir(path);
    EXPECT_EQ(state.FileCount(), 1);
    folder.reset();
    state.SetDir(path);
    EXPECT_EQ(state.FileCount(), 0);
    EXPECT_FALSE(view.enabled);
}

TEST_F(RealListing, OrderIsTheShellsLogicalOrderEvenWhereTheQuickOrderDiffers)
{
    test::TestFolder folder(L"collation");
    // Punctuation and non-ASCII letters: here the quick pre-order and the shell's may disagree.
    const std::vector<std::wstring> names = {L"b.jpg", L"_a.jpg", L"-c.jpg", L"\u00c9t\u00e9.jpg", L"e.jpg",
                                             L"x10.jpg", L"x9.jpg", L"X1.jpg", L"~z.jpg", L"[1].jpg"};
    for (const auto& name : names) {
        folder.AddFile(name);
    }
    state.SetDir(folder.Path());
    const auto items = ItemsOf(state.File1());
    ASSERT_EQ(items.size(), names.size());
    for (std::size_t i = 1; i < items.size(); ++i) {
        EXPECT_LE(::StrCmpLogicalW(items[i - 1].c_str(), items[i].c_str()), 0) << i;
    }
}

TEST(SearchPattern, AddsOneSeparatorAndLongForm)
{
    EXPECT_EQ(FolderSearchPattern(L"C:\\"), L"C:\\*");
    EXPECT_EQ(FolderSearchPattern(L"D:\\Photos"), L"D:\\Photos\\*");
    EXPECT_EQ(FolderSearchPattern(L"\\\\server\\share\\dir"), L"\\\\server\\share\\dir\\*");
    const std::wstring longDir = L"D:\\" + std::wstring(300, L'a');
    EXPECT_EQ(FolderSearchPattern(longDir), L"\\\\?\\" + longDir + L"\\*");
    const std::wstring longUnc = L"\\\\server\\share\\" + std::wstring(300, L'a');
    EXPECT_EQ(FolderSearchPattern(longUnc), L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'a') + L"\\*");
}

TEST(LongPathForm, OnlyLongAbsolutePathsChangeAndTheyLoseForwardSlashes)
{
    const std::wstring name(300, L'b');
    EXPECT_EQ(LongPathForm(L"D:\\short"), L"D:\\short");
    EXPECT_EQ(LongPathForm(L"D:/x/" + name), L"\\\\?\\D:\\x\\" + name);
    EXPECT_EQ(LongPathForm(L"relative\\" + name), L"relative\\" + name);
    EXPECT_EQ(LongPathForm(L"\\\\?\\D:\\" + name), L"\\\\?\\D:\\" + name);

    // The folder test reaches a folder past the classic limit.
    test::TestFolder folder(L"long");
    std::wstring deep = folder.Path();
    while (deep.size() < MAX_PATH + 20) {
        deep += L"\\" + std::wstring(40, L'd');
        ASSERT_TRUE(::CreateDirectoryW(LongPathForm(deep).c_str(), nullptr));
    }
    EXPECT_TRUE(IsExistingFolder(deep));
    EXPECT_FALSE(IsExistingFolder(deep + L"\\missing"));
    EXPECT_FALSE(IsExistingFolder(L""));
    // TestFolder's clean-up takes classic paths only: remove the deep part here.
    while (deep.size() > folder.Path().size()) {
        ::RemoveDirectoryW(LongPathForm(deep).c_str());
        deep.resize(deep.rfind(L'\\'));
    }
}

}  // namespace
}  // namespace qh
