#include "folder/new_dir.h"

namespace qh {
namespace {

std::wstring CollapseSeparatorPairs(const std::wstring& text)
{
    std::wstring result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        result += text[i];
        if (text[i] == L'\\' && i + 1 < text.size() && text[i + 1] == L'\\') {
            ++i;  // the pair's second half is dropped and not looked at again
        }
    }
    return result;
}

}  // namespace

std::wstring NormaliseStartFolder(const std::wstring& folder)
{
    if (folder.empty()) {
        return folder;
    }
    return CollapseSeparatorPairs(folder + L'\\');
}

std::wstring NormaliseChosenFolder(const std::wstring& folder)
{
    std::wstring result = NormaliseStartFolder(folder);
    if (!result.empty() && result.front() == L'\\') {
        result.insert(result.begin(), L'\\');  // the collapse took one of a UNC path's two
    }
    return result;
}

FolderOutcome BrowseFolder(FolderDialog& dialog, const std::wstring& title, const std::wstring& startFolder,
                           bool newStyle, WindowHandle ownerHwnd)
{
    BrowseRequest request;
    request.owner = ownerHwnd;
    request.title = title;
    request.startFolder = NormaliseStartFolder(startFolder);
    request.flags = newStyle ? kBifNewDialogStyle : kBifReturnOnlyFsDirs;
    FolderOutcome outcome = dialog.Show(request);
    if (outcome.error) {
        return {std::wstring(), outcome.error};
    }
    std::wstring folder = NormaliseChosenFolder(outcome.folder);
    // The folder may have gone between the choice and now.
    if (!folder.empty() && !dialog.FolderExists(folder)) {
        folder.clear();
    }
    return {folder, std::nullopt};
}

std::wstring BrowseFailureText(const FolderError& error)
{
    return std::to_wstring(error.number) + error.description + L"\r\n" + std::wstring(kBrowseFailureSuffix);
}

void CmdBrowseClick(FolderDialog& dialog, MessageBoxes& boxes, WindowHandle ownerHwnd,
                    const std::function<void(const std::wstring&)>& setDir)
{
    const FolderOutcome outcome = BrowseFolder(dialog, std::wstring(kBrowsePrompt), std::wstring(kBrowseStartFolder),
                                               kBrowseNewStyle, ownerHwnd);
    if (outcome.error) {
        boxes.Show(BrowseFailureText(*outcome.error), box::kOk | box::kIconInformation);
        return;
    }
    // Nothing chosen keeps the current folder rather than emptying it.
    if (!outcome.folder.empty()) {
        setDir(outcome.folder);
    }
}

}  // namespace qh
