// What the prefix's %windir%\System32\ExifTool.exe is for one test: nothing, or the real Windows
// ExifTool (the launcher with exiftool_files beside it, as users install it). Whatever was there
// before (the bridge, as scripts/prefix.sh installs it) is put back when the scope ends.
#pragma once

#include <string>

namespace qh::test {

enum class SystemTool { None, Real };

class ScopedSystemTool {
public:
    explicit ScopedSystemTool(SystemTool tool);
    ~ScopedSystemTool();
    ScopedSystemTool(const ScopedSystemTool&) = delete;
    ScopedSystemTool& operator=(const ScopedSystemTool&) = delete;

    [[nodiscard]] bool Ready() const { return m_ready; }

private:
    std::wstring m_system;
    bool m_ready = false;
};

// The unpacked Windows ExifTool package: the folder holding exiftool.exe and exiftool_files.
[[nodiscard]] std::wstring RealToolFolder();

}  // namespace qh::test
