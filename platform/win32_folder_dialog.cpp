#include "platform/win32_folder_dialog.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <memory>
#include <type_traits>

#include "platform/win32_paths.h"

namespace qh {
namespace {

// Owns what BrowseCallback reads through the record's lParam for the length of one dialog.
struct BrowseContext {
    std::wstring startFolder;
    bool initialised = false;
};

// The dialog calls this on the thread that opened it, while SHBrowseForFolderW runs.
int CALLBACK BrowseCallback(HWND hwnd, UINT uMsg, LPARAM /*lParam*/, LPARAM lpData)
{
    if (uMsg == BFFM_INITIALIZED) {
        auto* context = reinterpret_cast<BrowseContext*>(lpData);
        context->initialised = true;
        ::SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(context->startFolder.c_str()));
    }
    return 0;
}

struct TaskMemFree {
    void operator()(void* memory) const { ::CoTaskMemFree(memory); }
};

struct LocalMemFree {
    void operator()(void* memory) const { ::LocalFree(memory); }
};

// The apartment the dialog needs. A thread that is already in one (OleInitialize for the drop
// target gives S_FALSE here; a multithreaded one RPC_E_CHANGED_MODE) keeps it as it is.
class ScopedComApartment {
public:
    ScopedComApartment() : m_result(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ScopedComApartment()
    {
        if (SUCCEEDED(m_result)) {
            ::CoUninitialize();  // S_OK and S_FALSE both count
        }
    }
    ScopedComApartment(const ScopedComApartment&) = delete;
    ScopedComApartment& operator=(const ScopedComApartment&) = delete;

    [[nodiscard]] bool Usable() const { return SUCCEEDED(m_result) || m_result == RPC_E_CHANGED_MODE; }
    [[nodiscard]] HRESULT Result() const { return m_result; }

private:
    HRESULT m_result;
};

// The system's text for an HRESULT, without its final line break.
std::wstring ErrorDescription(HRESULT hr)
{
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const std::unique_ptr<wchar_t, LocalMemFree> owner(text);
    std::wstring description(text ? text : L"", length);
    while (!description.empty() && (description.back() == L'\r' || description.back() == L'\n' ||
                                     description.back() == L' ')) {
        description.pop_back();
    }
    return description;
}

FolderError ErrorFrom(HRESULT hr)
{
    return FolderError{static_cast<std::int32_t>(hr), ErrorDescription(hr)};
}

}  // namespace

FolderOutcome Win32FolderDialog::Show(const BrowseRequest& request)
{
    const ScopedComApartment apartment;
    if (!apartment.Usable()) {
        return {std::wstring(), ErrorFrom(apartment.Result())};
    }
    BrowseContext context;
    context.startFolder = request.startFolder;

    BROWSEINFOW info{};
    info.hwndOwner = static_cast<HWND>(request.owner);
    info.pidlRoot = nullptr;        // the whole shell namespace
    info.pszDisplayName = nullptr;  // the display name is not used
    info.lpszTitle = request.title.c_str();
    info.ulFlags = request.flags;
    info.lpfn = &BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&context);
    info.iImage = 0;

    const std::unique_ptr<std::remove_pointer_t<PIDLIST_ABSOLUTE>, TaskMemFree> item(::SHBrowseForFolderW(&info));
    if (!item) {
        // The dialog reports a cancel and a dialog that never opened alike; only the second
        // leaves the callback uncalled. It sets no last error worth showing.
        if (!context.initialised) {
            return {std::wstring(), ErrorFrom(E_FAIL)};
        }
        return {};
    }
    wchar_t path[MAX_PATH]{};
    if (!::SHGetPathFromIDListW(item.get(), path)) {
        return {};  // a virtual item such as the printers folder
    }
    return {std::wstring(path), std::nullopt};
}

bool Win32FolderDialog::FolderExists(const std::wstring& path)
{
    return IsExistingFolder(path);
}

}  // namespace qh
