// The Win32 side of dropping paths onto a window: the OLE drop target, the reading of the
// dropped paths (CF_HDROP) and the file system test and beep the drop uses.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "window/drop.h"

namespace qh {

// True when the data offers dropped paths (CF_HDROP in global memory).
[[nodiscard]] bool OffersPaths(IDataObject* data);

// The dropped paths in the drop source's order; empty when the data holds none, or a list
// that is not properly terminated within its memory block.
[[nodiscard]] std::vector<std::wstring> DroppedPaths(IDataObject* data);

// The effect a target that only reads the paths reports: copy, else link; never move, which
// would tell the source to delete what was dragged.
[[nodiscard]] DWORD PathDropEffect(bool offersPaths, DWORD allowedEffects);

class Win32FolderProbe final : public FolderProbe {
public:
    [[nodiscard]] bool IsFolder(const std::wstring& path) const override;
};

class Win32Beeper final : public Beeper {
public:
    void Beep() override;
};

// A drop target that accepts data offering paths and hands them, in order, to its handler.
// While isOpen says no, it refuses every drop. The handler runs on the window's thread;
// nothing it throws leaves the target.
class PathDropTarget final : public IDropTarget {
public:
    using DropHandler = std::function<void(const std::vector<std::wstring>& paths)>;
    using OpenTest = std::function<bool()>;

    [[nodiscard]] static Microsoft::WRL::ComPtr<PathDropTarget> Create(DropHandler onDrop, OpenTest isOpen);
    PathDropTarget(const PathDropTarget&) = delete;
    PathDropTarget& operator=(const PathDropTarget&) = delete;

    // Drops the handler: whoever still holds the target afterwards reaches nothing.
    void Disconnect()
    {
        m_onDrop = nullptr;
        m_isOpen = nullptr;
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDropTarget
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

private:
    PathDropTarget(DropHandler onDrop, OpenTest isOpen) : m_onDrop(std::move(onDrop)), m_isOpen(std::move(isOpen)) {}
    ~PathDropTarget() = default;
    [[nodiscard]] bool IsOpen() const;

    std::atomic<ULONG> m_refs{1};
    DropHandler m_onDrop;
    OpenTest m_isOpen;
    bool m_offersPaths = false;  // of the data being dragged over the window
};

}  // namespace qh
