#include "platform/win32_drop.h"

#include <shellapi.h>
#include <shlobj.h>

#include <new>

#include "platform/win32_paths.h"

namespace qh {
namespace {

FORMATETC HDropFormat()
{
    return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// A storage medium handed out by IDataObject::GetData, released with it.
class Medium {
public:
    Medium() = default;
    Medium(const Medium&) = delete;
    Medium& operator=(const Medium&) = delete;
    ~Medium() { ::ReleaseStgMedium(&m_medium); }
    STGMEDIUM* operator&() { return &m_medium; }
    const STGMEDIUM& Get() const { return m_medium; }

private:
    STGMEDIUM m_medium{};
};

class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL global) : m_global(global), m_bytes(static_cast<const BYTE*>(::GlobalLock(global))) {}
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    ~GlobalLockGuard()
    {
        if (m_bytes) {
            ::GlobalUnlock(m_global);
        }
    }
    const BYTE* Bytes() const { return m_bytes; }

private:
    HGLOBAL m_global;
    const BYTE* m_bytes;
};

// DragQueryFileW trusts the block: a list that runs past its end would be read past it. The
// drop source may be any program, so the list's end is found within the block first.
bool IsTerminatedFileList(HGLOBAL global)
{
    const SIZE_T size = ::GlobalSize(global);
    if (size < sizeof(DROPFILES)) {
        return false;
    }
    const GlobalLockGuard lock(global);
    const BYTE* bytes = lock.Bytes();
    if (!bytes) {
        return false;
    }
    DROPFILES header{};
    ::CopyMemory(&header, bytes, sizeof(header));
    const SIZE_T width = header.fWide ? sizeof(wchar_t) : 1;
    bool atItemStart = true;
    for (SIZE_T at = header.pFiles; at + width <= size; at += width) {
        bool nul = true;
        for (SIZE_T i = 0; i < width; ++i) {
            nul = nul && bytes[at + i] == 0;
        }
        if (nul && atItemStart) {
            return true;  // the empty item that ends the list
        }
        atItemStart = nul;
    }
    return false;
}

}  // namespace

bool OffersPaths(IDataObject* data)
{
    FORMATETC format = HDropFormat();
    return data && data->QueryGetData(&format) == S_OK;
}

std::vector<std::wstring> DroppedPaths(IDataObject* data)
{
    std::vector<std::wstring> paths;
    if (!data) {
        return paths;
    }
    FORMATETC format = HDropFormat();
    Medium medium;
    if (FAILED(data->GetData(&format, &medium)) || medium.Get().tymed != TYMED_HGLOBAL || !medium.Get().hGlobal ||
        !IsTerminatedFileList(medium.Get().hGlobal)) {
        return paths;
    }
    const HDROP drop = static_cast<HDROP>(medium.Get().hGlobal);
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<wchar_t> buffer;
    for (UINT i = 0; i < count; ++i) {
        const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
        buffer.assign(static_cast<std::size_t>(length) + 1, L'\0');
        const UINT copied = ::DragQueryFileW(drop, i, buffer.data(), length + 1);
        paths.emplace_back(buffer.data(), copied);
    }
    return paths;
}

DWORD PathDropEffect(bool offersPaths, DWORD allowedEffects)
{
    if (!offersPaths) {
        return DROPEFFECT_NONE;
    }
    if (allowedEffects & DROPEFFECT_COPY) {
        return DROPEFFECT_COPY;
    }
    return allowedEffects & DROPEFFECT_LINK ? DROPEFFECT_LINK : DROPEFFECT_NONE;
}

bool Win32FolderProbe::IsFolder(const std::wstring& path) const
{
    return IsExistingFolder(path);
}

void Win32Beeper::Beep()
{
    ::MessageBeep(MB_OK);
}

Microsoft::WRL::ComPtr<PathDropTarget> PathDropTarget::Create(DropHandler onDrop, OpenTest isOpen)
{
    Microsoft::WRL::ComPtr<PathDropTarget> target;
    target.Attach(new (std::nothrow) PathDropTarget(std::move(onDrop), std::move(isOpen)));
    return target;
}

bool PathDropTarget::IsOpen() const
{
    return m_onDrop && (!m_isOpen || m_isOpen());
}

HRESULT PathDropTarget::QueryInterface(REFIID riid, void** object)
{
    if (!object) {
        return E_POINTER;
    }
    if (riid == IID_IUnknown || riid == IID_IDropTarget) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG PathDropTarget::AddRef()
{
    return ++m_refs;
}

ULONG PathDropTarget::Release()
{
    const ULONG refs = --m_refs;
    if (refs == 0) {
        delete this;
    }
    return refs;
}

HRESULT PathDropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    if (!effect) {
        return E_INVALIDARG;
    }
    m_offersPaths = IsOpen() && OffersPaths(data);
    *effect = PathDropEffect(m_offersPaths, *effect);
    return S_OK;  // a failure here would make OLE treat the window as no target at all
}

HRESULT PathDropTarget::DragOver(DWORD, POINTL, DWORD* effect)
{
    if (!effect) {
        return E_INVALIDARG;
    }
    *effect = PathDropEffect(m_offersPaths, *effect);
    return S_OK;
}

HRESULT PathDropTarget::DragLeave()
{
    m_offersPaths = false;
    return S_OK;
}

HRESULT PathDropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    m_offersPaths = false;
    if (!effect) {
        return E_INVALIDARG;
    }
    // The handler may end the window, and with it the window's reference to this target.
    const Microsoft::WRL::ComPtr<PathDropTarget> keepAlive(this);
    try {
        if (!IsOpen()) {
            *effect = DROPEFFECT_NONE;
            return S_OK;
        }
        const std::vector<std::wstring> paths = DroppedPaths(data);
        *effect = PathDropEffect(!paths.empty(), *effect);
        const DropHandler handler = m_onDrop;
        handler(paths);
    } catch (...) {
        *effect = DROPEFFECT_NONE;
    }
    return S_OK;
}

}  // namespace qh
