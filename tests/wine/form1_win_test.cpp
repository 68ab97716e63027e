// The real window, read back with Win32 calls.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

#include "box_driver.h"
#include "platform/win32_dpi.h"
#include "test_folder.h"
#include "window/form1.h"

namespace qh {
namespace {

using test::TextOf;

// The system's message font at 96 dpi, as the window should use it.
LOGFONTW SystemMessageFont()
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    return metrics.lfMessageFont;
}

RECT ClientRectOf(HWND control)
{
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(form.Create(::GetModuleHandleW(nullptr)));
        test::PumpPendingMessages();  // as the message loop does first: tooltips, drop target
    }
    Form1 form;
};

TEST_F(Form1Test, WindowIsFixedTitledAndSizedAt96Dpi)
{
    ASSERT_EQ(WindowDpi(form.Hwnd()), 96) << "the window tests expect a 96 dpi prefix";
    EXPECT_EQ(TextOf(form.Hwnd()), L"青禾净图");
    const LONG style = ::GetWindowLongW(form.Hwnd(), GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_EQ(::GetMenu(form.Hwnd()), nullptr);
    RECT client{};
    ::GetClientRect(form.Hwnd(), &client);
    EXPECT_EQ(client.right, 492);
    EXPECT_EQ(client.bottom, 95);
}

TEST_F(Form1Test, WindowIsCentredOnTheWorkArea)
{
    RECT window{};
    ::GetWindowRect(form.Hwnd(), &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(form.Hwnd(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    EXPECT_LE(std::abs((window.left - area.left) - (area.right - window.right)), 1);
    EXPECT_LE(std::abs((window.top - area.top) - (area.bottom - window.bottom)), 1);
}

TEST_F(Form1Test, ControlsHaveTheirCaptionsAndPixelRectangles)
{
    struct Expected {
        ControlId id;
        const wchar_t* className;
        RECT rect;
    };
    const Expected expected[] = {
        {kCmdBrowse, L"Button", {0, 0, 81, 25}},   {kCmdDo, L"Button", {80, 0, 217, 25}},
        {kLDir, L"Static", {8, 32, 457, 49}},      {kLFiles, L"Static", {232, 8, 329, 25}},
        {kLHome, L"Static", {336, 8, 393, 25}},    {kLabel1, L"Static", {0, 64, 489, 97}},
    };
    ::ShowWindow(form.Hwnd(), SW_SHOWNOACTIVATE);
    for (const Expected& e : expected) {
        HWND control = form.Control(e.id);
        ASSERT_NE(control, nullptr);
        wchar_t className[64]{};
        ::GetClassNameW(control, className, 64);
        EXPECT_STREQ(className, e.className);
        const RECT r = ClientRectOf(control);
        EXPECT_EQ(r.left, e.rect.left) << e.id;
        EXPECT_EQ(r.top, e.rect.top) << e.id;
        EXPECT_EQ(r.right, e.rect.right) << e.id;
        EXPECT_EQ(r.bottom, e.rect.bottom) << e.id;
        EXPECT_TRUE(::IsWindowVisible(control)) << e.id;
    }
    EXPECT_EQ(TextOf(form.Control(kCmdBrowse)), L"浏览(&B)...");
    EXPECT_EQ(TextOf(form.Control(kCmdDo)), L"抹除数码照片Exif信息");
    EXPECT_EQ(TextOf(form.Control(kLDir)), L"C:\\");
    EXPECT_EQ(TextOf(form.Control(kLHome)), L"作者主页");
    EXPECT_EQ(TextOf(form.Control(kLabel1)),
              L"更多功能，详情请参见《墨影图匠V5.0》右上角-功能下拉列表-修改文件时间属性-导出/抹除数码照片Exif信息。");
    // The load refresh has listed C:\ already: the test prefix's C:\ holds folders only.
    EXPECT_EQ(TextOf(form.Control(kLFiles)), L"文件数：0");
    EXPECT_FALSE(::IsWindowEnabled(form.Control(kCmdDo)));
    EXPECT_EQ(form.State().Dir(), L"C:\\");
}

TEST_F(Form1Test, TabOrderRunsThroughTheButtonsInTableOrder)
{
    // Children are created in tab order, so the z-order (which the dialog manager walks) is it.
    std::vector<int> order;
    for (HWND child = ::GetWindow(form.Hwnd(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        order.push_back(::GetDlgCtrlID(child));
    }
    EXPECT_EQ(order, (std::vector<int>{kCmdBrowse, kCmdDo, kLDir, kLFiles, kLHome, kLabel1}));
    form.SetDir(L"C:\\windows\\system32");
    ASSERT_TRUE(::IsWindowEnabled(form.Control(kCmdDo)));
    EXPECT_EQ(::GetNextDlgTabItem(form.Hwnd(), form.Control(kCmdBrowse), FALSE), form.Control(kCmdDo));
    EXPECT_EQ(::GetNextDlgTabItem(form.Hwnd(), form.Control(kCmdDo), FALSE), form.Control(kCmdBrowse));
}

TEST(Form1StartUp, TooltipsAndDropTargetFollowTheFirstMessages)
{
    Form1 form;
    ASSERT_TRUE(form.Create(::GetModuleHandleW(nullptr)));
    // Not needed for the first picture, so not there before the loop runs...
    EXPECT_EQ(form.Tooltip(), nullptr);
    EXPECT_EQ(::GetPropW(form.Control(kLDir), L"OleDropTargetInterface"), nullptr);
    test::PumpPendingMessages();
    // ...and there as soon as it has.
    EXPECT_NE(form.Tooltip(), nullptr);
    EXPECT_NE(::GetPropW(form.Control(kLDir), L"OleDropTargetInterface"), nullptr);
}

TEST_F(Form1Test, TooltipsOnCmdDoAndLDir)
{
    ASSERT_NE(form.Tooltip(), nullptr);
    EXPECT_EQ(::SendMessageW(form.Tooltip(), TTM_GETTOOLCOUNT, 0, 0), 2);
    const std::pair<ControlId, std::wstring> tips[] = {{kCmdDo, L"对多种类型的文件的内置信息几乎都能抹除。"},
                                                       {kLDir, L"支持文件夹拖放"}};
    for (const auto& [id, text] : tips) {
        wchar_t buffer[256]{};
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = form.Hwnd();
        tool.uId = reinterpret_cast<UINT_PTR>(form.Control(id));
        tool.lpszText = buffer;
        ::SendMessageW(form.Tooltip(), TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
        EXPECT_EQ(std::wstring(buffer), text);
    }
}

TEST_F(Form1Test, ListingDrivesCountAndEraseButton)
{
    test::TestFolder empty(L"form-empty");
    test::TestFolder full(L"form-full");
    for (int i = 0; i < 25; ++i) {
        full.AddFile(L"p" + std::to_wstring(i) + L".jpg");
    }
    form.SetDir(full.Path());
    EXPECT_EQ(TextOf(form.Control(kLDir)), full.Path());
    EXPECT_EQ(TextOf(form.Control(kLFiles)), L"文件数：10");
    EXPECT_TRUE(::IsWindowEnabled(form.Control(kCmdDo)));
    EXPECT_EQ(form.State().File1().Count(), 25u);
    form.SetDir(empty.Path());
    EXPECT_EQ(TextOf(form.Control(kLFiles)), L"文件数：0");
    EXPECT_FALSE(::IsWindowEnabled(form.Control(kCmdDo)));
    form.SetDir(L"");
    EXPECT_EQ(TextOf(form.Control(kLDir)), L"");
    EXPECT_EQ(TextOf(form.Control(kLFiles)), L"文件数：0");
    form.SetDir(full.Path());
    EXPECT_TRUE(::IsWindowEnabled(form.Control(kCmdDo)));
    EXPECT_TRUE(::IsWindowEnabled(form.Control(kCmdBrowse)));
}

TEST_F(Form1Test, ControlsUseTheMessageFont)
{
    const LOGFONTW expected = SystemMessageFont();
    for (ControlId id : {kCmdBrowse, kCmdDo, kLDir, kLFiles, kLHome, kLabel1}) {
        HFONT font = reinterpret_cast<HFONT>(::SendMessageW(form.Control(id), WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        LOGFONTW actual{};
        ::GetObjectW(font, sizeof(actual), &actual);
        EXPECT_STREQ(actual.lfFaceName, expected.lfFaceName);
        EXPECT_EQ(actual.lfHeight, expected.lfHeight);
    }
}

TEST_F(Form1Test, LinkColoursAndTwoLineLabel)
{
    HDC dc = ::GetDC(form.Hwnd());
    ::SendMessageW(form.Hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(form.Control(kLHome)));
    EXPECT_EQ(::GetTextColor(dc), ::GetSysColor(COLOR_HIGHLIGHT));
    ::SendMessageW(form.Hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(form.Control(kLabel1)));
    EXPECT_EQ(::GetTextColor(dc), RGB(0, 0, 255));

    // Label1's text needs two lines within its width, and both fit its height.
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(form.Control(kLabel1), WM_GETFONT, 0, 0));
    HGDIOBJ old = ::SelectObject(dc, font);
    const std::wstring text = TextOf(form.Control(kLabel1));
    RECT label = ClientRectOf(form.Control(kLabel1));
    RECT measure{0, 0, label.right - label.left, 0};
    ::DrawTextW(dc, text.c_str(), -1, &measure, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(form.Hwnd(), dc);
    EXPECT_GT(measure.bottom, metrics.tmHeight) << "wraps";
    EXPECT_LE(measure.bottom, label.bottom - label.top) << "both lines are visible";
}

TEST_F(Form1Test, WindowCarries32PixelIcon)
{
    HICON icon = reinterpret_cast<HICON>(::GetClassLongPtrW(form.Hwnd(), GCLP_HICON));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(icon, &info));
    BITMAP bitmap{};
    ::GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 32);
    EXPECT_EQ(bitmap.bmHeight, 32);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
}

}  // namespace
}  // namespace qh

namespace qh {
namespace {

// Width and height a text needs in a control's own font (wrapping at the control's width).
SIZE TextExtent(HWND control, bool wrap)
{
    HDC dc = ::GetDC(control);
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = ::SelectObject(dc, font);
    const std::wstring text = TextOf(control);
    RECT client{};
    ::GetClientRect(control, &client);
    RECT measure{0, 0, wrap ? client.right : 0, 0};
    ::DrawTextW(dc, text.c_str(), -1, &measure, DT_CALCRECT | (wrap ? DT_WORDBREAK : DT_SINGLELINE));
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return SIZE{measure.right, measure.bottom};
}

class Form1DpiTest : public Form1Test, public ::testing::WithParamInterface<int> {};

TEST_P(Form1DpiTest, LayoutScalesAndNoTextIsClipped)
{
    const int dpi = GetParam();
    RECT window{};
    ::GetWindowRect(form.Hwnd(), &window);
    ::SendMessageW(form.Hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&window));

    RECT client{};
    ::GetClientRect(form.Hwnd(), &client);
    EXPECT_EQ(client.right, TwipsToPixels(kClientWidthTwips, dpi));
    EXPECT_EQ(client.bottom, TwipsToPixels(kClientHeightTwips, dpi));
    form.SetDir(L"C:\\windows\\system32");  // a long caption in LDir and a two-digit count

    for (const ControlDesign& design : kControls) {
        HWND control = form.Control(design.id);
        if (!control) {
            continue;
        }
        SCOPED_TRACE(std::string(design.name.begin(), design.name.end()));
        const RECT r = ClientRectOf(control);
        EXPECT_EQ(r.left, TwipsToPixels(design.rect.left, dpi));
        EXPECT_EQ(r.top, TwipsToPixels(design.rect.top, dpi));
        EXPECT_EQ(r.right - r.left, TwipsToPixels(design.rect.width, dpi));
        EXPECT_EQ(r.bottom - r.top, TwipsToPixels(design.rect.height, dpi));

        const bool wrap = design.id == kLabel1;
        const SIZE need = TextExtent(control, wrap);
        const int width = r.right - r.left;
        const int height = r.bottom - r.top;
        // Buttons draw their text inside a frame of a few pixels.
        const int frame = design.kind == ControlKind::Button ? MulDiv(6, dpi, 96) : 0;
        EXPECT_LE(need.cx + frame, width) << "text wider than its control at " << dpi << " dpi";
        EXPECT_LE(need.cy, height) << "text taller than its control at " << dpi << " dpi";
    }
    // The font grows with the DPI.
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(form.Control(kCmdDo), WM_GETFONT, 0, 0)), sizeof(font),
                 &font);
    EXPECT_EQ(std::abs(font.lfHeight), std::abs(MulDiv(SystemMessageFont().lfHeight, dpi, 96)));
}

INSTANTIATE_TEST_SUITE_P(Dpi, Form1DpiTest, ::testing::Values(96, 120, 144, 192));

}  // namespace
}  // namespace qh
