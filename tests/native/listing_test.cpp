#include "window/listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <utility>

namespace qh {
namespace {

// A file system of folders that hold named entries; any other folder text cannot be listed.
class FakeReader final : public FolderReader {
public:
    std::map<std::wstring, std::vector<std::pair<std::wstring, std::uint32_t>>> folders;
    int enumerations = 0;

    bool Enumerate(const std::wstring& folder, const EntrySink& sink) override
    {
        ++enumerations;
        const auto it = folders.find(folder);
        if (it == folders.end()) {
            return false;
        }
        for (const auto& [name, attributes] : it->second) {
            sink(name, attributes);
        }
        return true;
    }
    std::map<std::wstring, std::string> contents;  // full path -> bytes, for the files that are read
    std::vector<std::wstring> reads;
    std::optional<std::string> ReadSmallFile(const std::wstring& path, std::size_t maxBytes) override
    {
        reads.push_back(path);
        const auto it = contents.find(path);
        return it == contents.end() || it->second.size() > maxBytes ? std::nullopt
                                                                    : std::optional<std::string>(it->second);
    }
    bool reversed = false;
    bool firstLetterOrEqual = false;  // a collation that is no strict weak order
    bool NameLess(const wchar_t* a, const wchar_t* b) const override
    {
        if (firstLetterOrEqual) {
            return a[0] <= b[0];
        }
        return reversed ? std::wcscmp(b, a) < 0 : std::wcscmp(a, b) < 0;
    }

    void AddFiles(const std::wstring& folder, int count)
    {
        auto& entries = folders[folder];
        for (int i = 0; i < count; ++i) {
            wchar_t name[32];
            swprintf(name, 32, L"f%06d.jpg", i);
            entries.emplace_back(name, 0x20);
        }
    }
};

std::vector<std::wstring> ItemsOf(const FileList& list)
{
    std::vector<std::wstring> items;
    for (std::size_t i = 0; i < list.Count(); ++i) {
        items.emplace_back(list.Item(i));
    }
    return items;
}

class RecordingView final : public ListingView {
public:
    std::wstring caption = L"文件数：";
    bool doEnabled = true;
    int writes = 0;
    void SetFilesCaption(const std::wstring& text) override
    {
        caption = text;
        ++writes;
    }
    void SetDoEnabled(bool enabled) override { doEnabled = enabled; }
};

class ListingTest : public ::testing::Test {
protected:
    FakeReader reader;
    RecordingView view;
    FolderState state{reader, view};

    void ExpectState(int fileCount, std::size_t listCount, bool enabled)
    {
        EXPECT_EQ(state.FileCount(), fileCount);
        EXPECT_EQ(state.File1().Count(), listCount);
        EXPECT_EQ(view.caption, L"文件数：" + std::to_wstring(fileCount));
        EXPECT_EQ(view.doEnabled, enabled);
    }
};

TEST_F(ListingTest, CountIsCappedAtTenButTheListKeepsEveryName)
{
    const struct {
        int files;
        int fileCount;
    } cases[] = {{0, 0}, {1, 1}, {10, 10}, {11, 10}, {25, 10}, {40000, 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.files);
        const std::wstring folder = L"D:\\n" + std::to_wstring(c.files);
        reader.AddFiles(folder, c.files);
        state.SetDir(folder);
        ExpectState(c.fileCount, static_cast<std::size_t>(c.files), c.files != 0);
        EXPECT_EQ(state.File1().Path(), folder);
    }
}

TEST_F(ListingTest, CountPastThe16BitLimitStaysPositive)
{
    reader.AddFiles(L"D:\\big", 40000);
    state.SetDir(L"D:\\big");
    EXPECT_EQ(state.File1().Count(), 40000u);
    EXPECT_EQ(state.File1().Item(39999), L"f039999.jpg");
    ExpectState(10, 40000, true);
}

TEST_F(ListingTest, OnlyPlainFilesAreListedInCollationOrder)
{
    reader.folders[L"D:\\mixed"] = {
        {L"b.jpg", 0x20},          // archive
        {L"sub", kAttrDirectory},  // folder
        {L"hidden.jpg", kAttrHidden | 0x20},
        {L"system.dat", kAttrSystem},
        {L"a.png", 0x01},  // read-only
        {L"c", 0x80},      // normal, no extension
        {L"hidden-dir", kAttrDirectory | kAttrHidden},
    };
    state.SetDir(L"D:\\mixed");
    EXPECT_EQ(ItemsOf(state.File1()), (std::vector<std::wstring>{L"a.png", L"b.jpg", L"c"}));
    ExpectState(3, 3, true);
}

TEST_F(ListingTest, FolderWithOnlyFoldersHiddenOrSystemEntriesIsEmpty)
{
    reader.folders[L"D:\\nothing"] = {{L"sub", kAttrDirectory}, {L"h", kAttrHidden}, {L"s", kAttrSystem}};
    state.SetDir(L"D:\\nothing");
    ExpectState(0, 0, false);
}

TEST_F(ListingTest, UnlistableFolderTextsGiveAnEmptyList)
{
    reader.AddFiles(L"D:\\ok", 4);
    for (const std::wstring text : {L"", L"D:\\missing", L"D:\\ok\\f000001.jpg", L"Q:\\"}) {
        SCOPED_TRACE(std::string(text.begin(), text.end()));
        state.SetDir(L"D:\\ok");
        ExpectState(4, 4, true);
        state.SetDir(text);
        ExpectState(0, 0, false);
        EXPECT_EQ(state.Dir(), text);
    }
}

TEST_F(ListingTest, FilesThenEmptyThenFilesFollowsEachChange)
{
    reader.AddFiles(L"D:\\files", 12);
    reader.folders[L"D:\\empty"] = {};
    state.SetDir(L"D:\\files");
    ExpectState(10, 12, true);
    state.SetDir(L"D:\\empty");
    ExpectState(0, 0, false);
    state.SetDir(L"D:\\files");
    ExpectState(10, 12, true);
}

TEST_F(ListingTest, AssigningTheSameTextRefreshesAgain)
{
    reader.AddFiles(L"D:\\grow", 2);
    state.SetDir(L"D:\\grow");
    reader.AddFiles(L"D:\\grow", 1);  // adds f000000.jpg again: a third entry
    const int before = reader.enumerations;
    state.SetDir(L"D:\\grow");
    EXPECT_EQ(reader.enumerations, before + 1);
    ExpectState(3, 3, true);
}

TEST_F(ListingTest, TheReadersCollationDecidesTheOrder)
{
    reader.folders[L"D:\\order"] = {{L"b", 0}, {L"a10", 0}, {L"a2", 0}, {L"C", 0}};
    state.SetDir(L"D:\\order");
    // Plain code-point order: upper case first, digits one by one.
    EXPECT_EQ(ItemsOf(state.File1()), (std::vector<std::wstring>{L"C", L"a10", L"a2", L"b"}));
    reader.reversed = true;
    state.SetDir(L"D:\\order");
    EXPECT_EQ(ItemsOf(state.File1()), (std::vector<std::wstring>{L"b", L"a2", L"a10", L"C"}));
}

TEST_F(ListingTest, ACollationThatIsNoStrictOrderStillListsEveryNameOnce)
{
    reader.AddFiles(L"D:\\same", 300);
    reader.firstLetterOrEqual = true;
    state.SetDir(L"D:\\same");
    std::vector<std::wstring> items = ItemsOf(state.File1());
    std::sort(items.begin(), items.end());
    std::vector<std::wstring> names;
    for (const auto& [name, attributes] : reader.folders[L"D:\\same"]) {
        names.push_back(name);
    }
    EXPECT_EQ(items, names);
}

TEST_F(ListingTest, OnlyOurOwnLeftoverScriptIsLeftOut)
{
    // A run that was cut off left its script: it takes none of the ten places.
    const std::string ours = "@Echo off\r\nExifTool -overwrite_original -all= \"D:\\left\\f000003.jpg\"\r\nexit\r\n";
    reader.AddFiles(L"D:\\left", 12);
    reader.folders[L"D:\\left"].emplace_back(L"exifDEL.BAT", 0x20);
    reader.folders[L"D:\\left"].emplace_back(L"ExifDel.bat.jpg", 0x20);
    reader.contents[L"D:\\left\\exifDEL.BAT"] = ours;
    reader.contents[L"D:\\left\\ExifDel.bat.jpg"] = ours;
    state.SetDir(L"D:\\left");
    ExpectState(10, 13, true);
    EXPECT_EQ(state.File1().Item(0), L"ExifDel.bat.jpg");
    EXPECT_EQ(state.File1().Item(1), L"f000000.jpg");
    EXPECT_EQ(reader.reads, std::vector<std::wstring>{L"D:\\left\\exifDEL.BAT"}) << "only the script's name is read";

    // A user's file of that name, or one that cannot be read, is the user's: listed as before.
    for (const std::optional<std::string>& theirs : {std::optional<std::string>("@echo off\r\ncopy *.jpg E:\\\r\n"),
                                                     std::optional<std::string>(ours + "pause\r\n"),
                                                     std::optional<std::string>()}) {
        if (theirs) {
            reader.contents[L"D:\\left\\exifDEL.BAT"] = *theirs;
        } else {
            reader.contents.erase(L"D:\\left\\exifDEL.BAT");
        }
        state.SetDir(L"D:\\left");
        ExpectState(10, 14, true);
        EXPECT_EQ(state.File1().Item(1), L"exifDEL.BAT");
    }
}

TEST(QuickLogicalLess, OrdersLikeExplorerOnOrdinaryNames)
{
    const std::vector<std::wstring> sorted = {L"a", L"A1", L"a2.jpg", L"a02b", L"a10", L"a0100", L"IMG_9.jpg",
                                              L"img_10.JPG", L"img_10.jpg~", L"z"};
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        for (std::size_t j = 0; j < sorted.size(); ++j) {
            SCOPED_TRACE(std::to_string(i) + " vs " + std::to_string(j));
            const bool less = QuickLogicalLess(sorted[i].c_str(), sorted[j].c_str());
            const bool greater = QuickLogicalLess(sorted[j].c_str(), sorted[i].c_str());
            EXPECT_FALSE(less && greater);
            if (i < j && (sorted[i] != L"a2.jpg" || sorted[j] != L"a02b")) {
                EXPECT_TRUE(less);
            }
        }
    }
    EXPECT_FALSE(QuickLogicalLess(L"abc", L"ABC"));
    EXPECT_FALSE(QuickLogicalLess(L"ABC", L"abc"));
    EXPECT_TRUE(QuickLogicalLess(L"x9", L"x10"));
    EXPECT_TRUE(QuickLogicalLess(L"x", L"x0"));
}

TEST(ListingRules, CappedFileCount)
{
    EXPECT_EQ(CappedFileCount(0), 0);
    EXPECT_EQ(CappedFileCount(9), 9);
    EXPECT_EQ(CappedFileCount(10), 10);
    EXPECT_EQ(CappedFileCount(32768), 10);
    EXPECT_EQ(CappedFileCount(5000000000ull), 10);
    EXPECT_EQ(FilesCaption(7), L"文件数：7");
}

}  // namespace
}  // namespace qh
