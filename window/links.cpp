#include "window/links.h"

#include <string>

#include "window/layout.h"
#include "window/pages.h"

namespace qh {
namespace {

// A page that does not open is no reason to bother the user, nor to keep the window open:
// the start's result is deliberately dropped.
void OpenPage(CommandStarter& starter, std::wstring_view url, ShowStyle style)
{
    static_cast<void>(starter.Start(OpenPageCommand(url), style));
}

}  // namespace

bool IsLinkLabel(int controlId)
{
    return controlId == kLHome || controlId == kLabel1;
}

void LHomeClick(CommandStarter& starter)
{
    OpenPage(starter, kHomePageUrl, ShowStyle::Normal);
}

void Label1Click(CommandStarter& starter)
{
    OpenPage(starter, kHomePageUrl, ShowStyle::Maximized);
    OpenPage(starter, kDownloadPageUrl, ShowStyle::Maximized);
}

bool CloseConfirmation::Confirm(MessageBoxes& boxes, CommandStarter& starter)
{
    if (m_asking) {
        return false;
    }
    const std::wstring prompt(kClosePrompt);
    m_asking = true;
    const int answer = boxes.Show(prompt, kCloseBoxStyle);
    m_asking = false;
    // Only OK closes: Cancel, Esc, Enter, the box's close button and a box that could not be
    // shown at all (0) all keep the window.
    if (answer != box::kAnswerOk) {
        return false;
    }
    OpenPage(starter, kHomePageUrl, ShowStyle::Normal);
    return true;
}

}  // namespace qh
