// Dropping onto the real window's folder label: the drop target OLE holds for LDir, fed data
// objects as a drag source hands them over, and real folders behind the dropped paths.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <stdexcept>
#include <utility>

#include "box_driver.h"
#include "platform/win32_drop.h"
#include "test_folder.h"
#include "window/form1.h"

using Microsoft::WRL::ComPtr;

namespace qh {
namespace {

constexpr DWORD kExplorerEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

// The bytes of a CF_HDROP block: the DROPFILES header, then the paths, each ended by a NUL,
// and one more NUL. ANSI lists (fWide false) are in the ANSI code page.
std::string DropFilesBytes(const std::vector<std::wstring>& paths, bool wide = true)
{
    std::string list;
    for (const std::wstring& path : paths) {
        if (wide) {
            list.append(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * sizeof(wchar_t));
        } else {
            const int size = ::WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
            std::string ansi(static_cast<std::size_t>(size), '\0');
            ::WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, ansi.data(), size, nullptr, nullptr);
            list += ansi;  // with its NUL
        }
    }
    list.append(wide ? sizeof(wchar_t) : 1, '\0');
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = wide ? TRUE : FALSE;
    return std::string(reinterpret_cast<const char*>(&header), sizeof(header)) + list;
}

std::string TextBytes(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}

// A data object of formats held in global memory, as a drag source offers them. Every GetData
// hands out a fresh copy, which the receiver frees.
class TestDataObject final : public IDataObject {
public:
    static ComPtr<IDataObject> With(CLIPFORMAT format, const std::string& bytes)
    {
        ComPtr<IDataObject> object;
        object.Attach(new TestDataObject({{format, bytes}}));
        return object;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IUnknown || riid == IID_IDataObject) {
            *object = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG refs = --m_refs;
        if (refs == 0) {
            delete this;
        }
        return refs;
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        const HRESULT can = QueryGetData(format);
        if (can != S_OK) {
            return can;
        }
        const std::string& bytes = m_formats.at(format->cfFormat);
        HGLOBAL global = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        if (!global) {
            return E_OUTOFMEMORY;
        }
        ::CopyMemory(::GlobalLock(global), bytes.data(), bytes.size());
        ::GlobalUnlock(global);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = global;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override
    {
        if (!format || !m_formats.count(format->cfFormat)) {
            return DV_E_FORMATETC;
        }
        return (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_TYMED;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    explicit TestDataObject(std::map<CLIPFORMAT, std::string> formats) : m_formats(std::move(formats)) {}
    ~TestDataObject() = default;

    std::atomic<ULONG> m_refs{1};
    std::map<CLIPFORMAT, std::string> m_formats;
};

ComPtr<IDataObject> PathsData(const std::vector<std::wstring>& paths)
{
    return TestDataObject::With(CF_HDROP, DropFilesBytes(paths));
}

ComPtr<IDataObject> TextData(const std::wstring& text)
{
    return TestDataObject::With(CF_UNICODETEXT, TextBytes(text));
}

class RecordingBeeper final : public Beeper {
public:
    int beeps = 0;
    void Beep() override { ++beeps; }
};

using test::TextOf;

// Folders and files to drop: non-ASCII names with blanks and shell metacharacters.
class DropFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A window of an earlier test posted its quit message; it would end a drag loop at once.
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        photos = root.AddFolder(L"照片 2024 & (旅行)");
        for (const wchar_t* name : {L"一.jpg", L"二.jpg", L"三 3.png"}) {
            root.AddFile(L"照片 2024 & (旅行)\\" + std::wstring(name));
        }
        other = root.AddFolder(L"其他 文件夹");
        root.AddFile(L"其他 文件夹\\x.jpg");
        dotted = root.AddFolder(L"pics.2019");
        root.AddFile(L"pics.2019\\a.jpg");
        root.AddFile(L"pics.2019\\b.jpg");
        root.AddFolder(L"a.b");
        nested = root.AddFolder(L"a.b\\c");
        readme = root.AddFile(L"README");
        image = root.AddFile(L"img.jpg");
        ASSERT_TRUE(form.Create(::GetModuleHandleW(nullptr)));
        test::PumpPendingMessages();  // the drop target is registered by the first message
        start = root.AddFolder(L"start");
        form.SetDir(start);
        target = static_cast<IDropTarget*>(::GetPropW(LDir(), L"OleDropTargetInterface"));
        ASSERT_NE(target, nullptr) << "LDir is registered with OLE as a drop target";
    }

    HWND LDir() const { return form.Control(kLDir); }

    // Drops the data as OLE does: DragEnter, DragOver, Drop; returns the effect the drop reported.
    DWORD Drop(IDataObject* data, DWORD allowed = kExplorerEffects)
    {
        const POINTL point{10, 10};
        DWORD effect = allowed;
        EXPECT_EQ(target->DragEnter(data, 0, point, &effect), S_OK);
        effect = allowed;
        EXPECT_EQ(target->DragOver(0, point, &effect), S_OK);
        effect = allowed;
        EXPECT_EQ(target->Drop(data, 0, point, &effect), S_OK);
        return effect;
    }

    void ExpectCurrent(const std::wstring& folder, int files)
    {
        EXPECT_EQ(TextOf(LDir()), folder);
        EXPECT_EQ(form.State().Dir(), folder);
        EXPECT_EQ(form.State().File1().Path(), folder);
        EXPECT_EQ(TextOf(form.Control(kLFiles)), FilesCaption(files));
        EXPECT_EQ(::IsWindowEnabled(form.Control(kCmdDo)) != FALSE, files > 0);
    }

    test::TestFolder root{L"drop 拖放 %x% ^ ! ' ;"};
    std::wstring photos, other, dotted, nested, readme, image, start;
    RecordingBeeper beeper;
    Form1 form{beeper};
    IDropTarget* target = nullptr;
};

TEST_F(DropFixture, TheFirstDroppedFolderBecomesCurrentAsDropped)
{
    struct Case {
        const char* what;
        std::vector<std::wstring> items;
        std::wstring folder;
        int files;
    };
    const Case cases[] = {
        {"a folder alone", {photos}, photos, 3},
        {"with a final separator", {photos + L"\\"}, photos + L"\\", 3},
        {"files then a folder", {image, readme, photos + L"\\一.jpg", other}, other, 1},
        {"a folder then files", {other, image, readme}, other, 1},
        {"two folders", {photos, other}, photos, 3},
        {"a dot near the end", {dotted}, dotted, 2},
        {"a dot in a parent", {nested}, nested, 0},
        {"a missing folder first", {root.Path() + L"\\gone", photos}, photos, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        form.SetDir(start);
        EXPECT_EQ(Drop(PathsData(c.items).Get()), static_cast<DWORD>(DROPEFFECT_COPY));
        ExpectCurrent(c.folder, c.files);
    }
    EXPECT_EQ(beeper.beeps, 0);
}

TEST_F(DropFixture, ADriveRootIsTaken)
{
    const std::wstring drive = root.Path().substr(0, 3);  // the root of the temporary folder's drive
    ASSERT_EQ(drive.substr(1), L":\\");
    Drop(PathsData({drive}).Get());
    EXPECT_EQ(TextOf(LDir()), drive);
    EXPECT_EQ(form.State().File1().Path(), drive);
    EXPECT_EQ(beeper.beeps, 0);
}

TEST_F(DropFixture, NamesOutsideTheCodePageAndLongPathsAreTaken)
{
    const std::wstring thai = root.AddFolder(L"\u0e01\u0e02 \U0001F600");
    root.AddFile(L"\u0e01\u0e02 \U0001F600\\p.jpg");
    Drop(PathsData({thai}).Get());
    ExpectCurrent(thai, 1);

    // Deeper than MAX_PATH: created through the \\?\ form.
    std::wstring deep = root.Path();
    while (deep.size() < MAX_PATH + 20) {
        deep += L"\\长路径 folder 0123456789";
        ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr) ||
                    ::GetLastError() == ERROR_ALREADY_EXISTS);
    }
    const HANDLE file = ::CreateFileW((L"\\\\?\\" + deep + L"\\deep.jpg").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::CloseHandle(file);
    Drop(PathsData({deep}).Get());
    ExpectCurrent(deep, 1);
    EXPECT_EQ(beeper.beeps, 0);
    ::DeleteFileW((L"\\\\?\\" + deep + L"\\deep.jpg").c_str());
    while (deep.size() > root.Path().size()) {
        ::RemoveDirectoryW((L"\\\\?\\" + deep).c_str());
        deep.erase(deep.rfind(L'\\'));
    }
}

TEST_F(DropFixture, AnAnsiListIsReadInTheAnsiCodePage)
{
    // Older drag sources hand over an ANSI list; the Chinese name survives code page 936.
    ASSERT_EQ(::GetACP(), 936u) << "the Wine prefix runs a Chinese locale";
    Drop(TestDataObject::With(CF_HDROP, DropFilesBytes({image, other}, false)).Get());
    ExpectCurrent(other, 1);
}

TEST_F(DropFixture, NoFolderInTheDropBeepsAndChangesNothing)
{
    const std::vector<std::vector<std::wstring>> drops = {
        {image, readme},                       // files only; README has no dot at all
        {root.Path() + L"\\gone"},             // a folder that vanished
        {L"照片 2024 & (旅行)", L"start"},     // relative: whatever the current directory holds
        {},                                    // an empty list
    };
    // From here the relative names would name real folders.
    wchar_t previous[MAX_PATH]{};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(root.Path().c_str()));
    for (const auto& items : drops) {
        const int before = beeper.beeps;
        Drop(PathsData(items).Get());
        EXPECT_EQ(beeper.beeps, before + 1);
        ExpectCurrent(start, 0);
    }
    ::SetCurrentDirectoryW(previous);
}

// OLE never calls Drop after DragOver answered no effect: the drag just ends with DragLeave.
TEST_F(DropFixture, TextIsRefusedWhileDraggedAndChangesNothing)
{
    ComPtr<IDataObject> text = TextData(photos);  // a folder's path, but as text
    DWORD effect = kExplorerEffects;
    EXPECT_EQ(target->DragEnter(text.Get(), 0, {0, 0}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    effect = kExplorerEffects;
    EXPECT_EQ(target->DragOver(0, {0, 0}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(target->DragLeave(), S_OK);

    EXPECT_EQ(beeper.beeps, 0);
    ExpectCurrent(start, 0);
}

TEST_F(DropFixture, PathsAreAcceptedByCopyOrLinkNeverByMove)
{
    ComPtr<IDataObject> paths = PathsData({photos});
    const std::pair<DWORD, DWORD> expected[] = {
        {kExplorerEffects, DROPEFFECT_COPY},
        {DROPEFFECT_COPY, DROPEFFECT_COPY},
        {DROPEFFECT_LINK | DROPEFFECT_MOVE, DROPEFFECT_LINK},
        {DROPEFFECT_MOVE, DROPEFFECT_NONE},  // accepting a move would have the source delete the folder
    };
    for (const auto& [allowed, accepted] : expected) {
        DWORD effect = allowed;
        EXPECT_EQ(target->DragEnter(paths.Get(), MK_LBUTTON, {0, 0}, &effect), S_OK);
        EXPECT_EQ(effect, accepted) << allowed;
        effect = allowed;
        EXPECT_EQ(target->DragOver(MK_LBUTTON, {5, 5}, &effect), S_OK);
        EXPECT_EQ(effect, accepted) << allowed;
        EXPECT_EQ(target->DragLeave(), S_OK);
    }
    EXPECT_EQ(Drop(paths.Get(), DROPEFFECT_LINK), static_cast<DWORD>(DROPEFFECT_LINK));
    ExpectCurrent(photos, 3);
}

TEST_F(DropFixture, AListRunningPastItsBlockIsNotRead)
{
    // No terminating NUL: reading it would run past the end of the block.
    std::string bytes = DropFilesBytes({photos});
    bytes.resize(bytes.size() - 2 * sizeof(wchar_t));
    EXPECT_EQ(Drop(TestDataObject::With(CF_HDROP, bytes).Get()), static_cast<DWORD>(DROPEFFECT_NONE));
    // A header that points beyond the block.
    DROPFILES header{};
    header.pFiles = 4096;
    header.fWide = TRUE;
    Drop(TestDataObject::With(CF_HDROP, std::string(reinterpret_cast<const char*>(&header), sizeof(header))).Get());
    // Shorter than a header.
    Drop(TestDataObject::With(CF_HDROP, "ab").Get());
    EXPECT_EQ(beeper.beeps, 3);
    ExpectCurrent(start, 0);
}

TEST_F(DropFixture, ADisabledWindowTakesNoDrop)
{
    // An erase run disables the window and reads the current folder while it works.
    ComPtr<IDataObject> paths = PathsData({photos});
    ::EnableWindow(form.Hwnd(), FALSE);
    DWORD effect = kExplorerEffects;
    EXPECT_EQ(target->DragEnter(paths.Get(), 0, {0, 0}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(target->DragLeave(), S_OK);
    EXPECT_EQ(Drop(paths.Get()), static_cast<DWORD>(DROPEFFECT_NONE));
    Drop(TextData(L"x").Get());
    EXPECT_EQ(beeper.beeps, 0);
    ExpectCurrent(start, 0);
    ::EnableWindow(form.Hwnd(), TRUE);
    EXPECT_EQ(Drop(paths.Get()), static_cast<DWORD>(DROPEFFECT_COPY));
    ExpectCurrent(photos, 3);
}

TEST_F(DropFixture, ClosingTheWindowRevokesTheTarget)
{
    ComPtr<IDropTarget> held(target);
    EXPECT_EQ(::RegisterDragDrop(LDir(), held.Get()), DRAGDROP_E_ALREADYREGISTERED);
    const auto refs = [&held] {
        held->AddRef();
        return held->Release();
    };
    const ULONG before = refs();
    ASSERT_TRUE(::DestroyWindow(form.Hwnd()));
    // The window's reference and the registration's are gone (Wine's marshalling keeps one
    // more of its own, so the count is not down to this test's alone).
    EXPECT_LE(refs() + 2, before);
    // A drop that still reaches the old target goes nowhere.
    Drop(PathsData({photos}).Get());
    Drop(PathsData({image}).Get());
    EXPECT_EQ(form.State().Dir(), start);
    EXPECT_EQ(beeper.beeps, 0);
}

TEST(PathDropTarget, NothingTheHandlerThrowsLeavesTheTarget)
{
    test::TestFolder folder(L"drop-throw");
    auto target = PathDropTarget::Create([](const std::vector<std::wstring>&) { throw std::runtime_error("x"); },
                                         [] { return true; });
    ASSERT_TRUE(target);
    ComPtr<IDataObject> data = PathsData({folder.Path()});
    DWORD effect = kExplorerEffects;
    EXPECT_EQ(target->Drop(data.Get(), 0, {0, 0}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
}

// The IDropSource of a drag that is dropped once OLE has tracked it for a few ticks.
class DroppingSource final : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IUnknown || riid == IID_IDropSource) {
            *object = static_cast<IDropSource*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override
    {
        if (escape) {
            return DRAGDROP_S_CANCEL;
        }
        return ++m_ticks < 3 ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override
    {
        feedback.push_back(effect);
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }
    std::vector<DWORD> feedback;

private:
    int m_ticks = 0;
};

class RealDragFixture : public DropFixture {
protected:
    void SetUp() override
    {
        DropFixture::SetUp();
        ::ShowWindow(form.Hwnd(), SW_SHOW);
        ::SetForegroundWindow(form.Hwnd());
        RECT r{};
        ::GetWindowRect(LDir(), &r);
        centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        // Wait (bounded) until the label is what lies under that point.
        for (int i = 0; i < 200 && ::WindowFromPoint(centre) != LDir(); ++i) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::DispatchMessageW(&msg);
            }
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        ASSERT_EQ(::WindowFromPoint(centre), LDir());
        ASSERT_TRUE(::SetCursorPos(centre.x, centre.y));
    }
    POINT centre{};
};

TEST_F(RealDragFixture, DraggingAFolderOverTheLabelMakesItCurrent)
{
    DroppingSource source;
    ComPtr<IDataObject> data = PathsData({image, photos});
    DWORD effect = 0;
    EXPECT_EQ(::DoDragDrop(data.Get(), &source, kExplorerEffects, &effect), DRAGDROP_S_DROP);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    ASSERT_FALSE(source.feedback.empty());
    EXPECT_EQ(source.feedback.back(), static_cast<DWORD>(DROPEFFECT_COPY)) << "the cursor shows a copy";
    ExpectCurrent(photos, 3);
    EXPECT_EQ(beeper.beeps, 0);
}

TEST_F(RealDragFixture, DraggedTextIsRefusedAtTheLabel)
{
    // The no-drop cursor refuses the text, so OLE never delivers it: nothing changes.
    DroppingSource source;
    ComPtr<IDataObject> data = TextData(photos);
    DWORD effect = 0;
    EXPECT_EQ(::DoDragDrop(data.Get(), &source, kExplorerEffects, &effect), DRAGDROP_S_DROP);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    ASSERT_FALSE(source.feedback.empty());
    EXPECT_EQ(source.feedback.back(), static_cast<DWORD>(DROPEFFECT_NONE));
    ExpectCurrent(start, 0);
}

}  // namespace
}  // namespace qh
