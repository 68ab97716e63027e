// The two link labels and the close confirmation: what happens on an LHome or Label1 click and
// when the window is about to close. No window code here, so the handlers run against fakes.
#pragma once

#include <string_view>

#include "platform/shell_ports.h"

namespace qh {

inline constexpr std::wstring_view kClosePrompt = L"确定要关闭？";
// OK and Cancel, information icon, Cancel as the default: a stray Enter keeps the window.
inline constexpr unsigned kCloseBoxStyle = box::kOkCancel | box::kIconInformation | box::kDefaultButton2;

// The labels that act as web links and show the link cursor.
[[nodiscard]] bool IsLinkLabel(int controlId);

// LHome click: the home page in a normal window.
void LHomeClick(CommandStarter& starter);

// Label1 click: the home page, then the download page, both maximized.
void Label1Click(CommandStarter& starter);

// Form1 unload: asks whether to close; a confirmed close opens the home page.
class CloseConfirmation {
public:
    // Returns true when the window is to close. A request that arrives while the box is
    // already up (the taskbar, another program) is turned down without a second box.
    [[nodiscard]] bool Confirm(MessageBoxes& boxes, CommandStarter& starter);

private:
    bool m_asking = false;
};

}  // namespace qh
