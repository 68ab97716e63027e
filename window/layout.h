// The main window's design: its title, client size and the table of its controls, with every
// length in twips (1/1440 inch) so the layout scales with the window's DPI.
#pragma once

#include <array>
#include <string_view>

namespace qh {

inline constexpr std::wstring_view kAppTitle = L"青禾净图";

inline constexpr int kClientWidthTwips = 7380;
inline constexpr int kClientHeightTwips = 1425;

enum class ControlKind { Button, Label, FileList };

// Dialog control ids; they double as the index into kControls.
enum ControlId : int {
    kCmdBrowse = 100,
    kCmdDo,
    kLDir,
    kLFiles,
    kLHome,
    kFile1,
    kLabel1,
};

struct RectTwips {
    int left, top, width, height;
};

struct ControlDesign {
    ControlId id;
    std::wstring_view name;
    ControlKind kind;
    std::wstring_view text;
    RectTwips rect;
    std::wstring_view tooltip;  // empty: none
};

inline constexpr std::wstring_view kHighlightLinkText =
    L"更多功能，详情请参见《墨影图匠V5.0》右上角-功能下拉列表-修改文件时间属性-导出/抹除数码照片Exif信息。";

// In tab order.
inline constexpr std::array<ControlDesign, 7> kControls{{
    {kCmdBrowse, L"CmdBrowse", ControlKind::Button, L"浏览(&B)...", {0, 0, 1215, 375}, L""},
    {kCmdDo, L"CmdDo", ControlKind::Button, L"抹除数码照片Exif信息", {1200, 0, 2055, 375},
     L"对多种类型的文件的内置信息几乎都能抹除。"},
    {kLDir, L"LDir", ControlKind::Label, L"C:\\", {120, 480, 6735, 255}, L"支持文件夹拖放"},
    {kLFiles, L"LFiles", ControlKind::Label, L"文件数：", {3480, 120, 1455, 255}, L""},
    {kLHome, L"LHome", ControlKind::Label, L"作者主页", {5040, 120, 855, 255}, L""},
    {kFile1, L"File1", ControlKind::FileList, L"", {6360, 0, 375, 270}, L""},
    {kLabel1, L"Label1", ControlKind::Label, kHighlightLinkText, {0, 960, 7335, 495}, L""},
}};

inline constexpr std::wstring_view kInitialDir = L"C:\\";

// Twips to device pixels at the given DPI, rounded to nearest.
[[nodiscard]] constexpr int TwipsToPixels(int twips, int dpi)
{
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

}  // namespace qh
