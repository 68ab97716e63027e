// Win32 implementations of the shell services in shell_ports.h.
#pragma once

#include <windows.h>

#include "platform/shell_ports.h"

namespace qh {

class Win32MessageBoxes final : public MessageBoxes {
public:
    explicit Win32MessageBoxes(HWND owner) : m_owner(owner) {}
    int Show(const std::wstring& text, unsigned style) override;

private:
    HWND m_owner;
};

class Win32CommandStarter final : public CommandStarter {
public:
    [[nodiscard]] bool Start(const std::wstring& commandLine, ShowStyle style) override;
};

}  // namespace qh
