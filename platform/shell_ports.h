// The operating system services the window's handlers use, as small interfaces so the handlers
// run against fakes in the unit tests. Win32 implementations: platform/win32_shell.h.
#pragma once

#include <string>

namespace qh {

// Window style of a started command.
enum class ShowStyle : int { Hidden = 0, Normal = 1, Maximized = 3 };

// Message box styles and answers, with the Win32 values.
namespace box {
inline constexpr unsigned kOk = 0x0;
inline constexpr unsigned kOkCancel = 0x1;
inline constexpr unsigned kYesNo = 0x4;
inline constexpr unsigned kIconStop = 0x10;
inline constexpr unsigned kIconExclamation = 0x30;
inline constexpr unsigned kIconInformation = 0x40;
inline constexpr unsigned kDefaultButton2 = 0x100;
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;
}  // namespace box

// Every box of the program carries this title.
inline constexpr const wchar_t* kBoxTitle = L"消息";

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows a modal box titled kBoxTitle over the main window; returns the answer (box::kAnswer*).
    virtual int Show(const std::wstring& text, unsigned style) = 0;
};

class CommandStarter {
public:
    virtual ~CommandStarter() = default;
    // Starts a command line in a window of the given style without waiting for it.
    // Returns false when it could not be started.
    [[nodiscard]] virtual bool Start(const std::wstring& commandLine, ShowStyle style) = 0;
};

}  // namespace qh
