// The shell's folder browse dialog and the folder existence test, for NewDir.
#pragma once

#include "folder/new_dir.h"

namespace qh {

class Win32FolderDialog final : public FolderDialog {
public:
    [[nodiscard]] FolderOutcome Show(const BrowseRequest& request) override;
    [[nodiscard]] bool FolderExists(const std::wstring& path) override;
};

}  // namespace qh
