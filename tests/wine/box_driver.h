// Answers the message boxes of a window, as a user would, from a thread of the test's own: finds
// the #32770 windows the window owns (in this process or another), reads their title and text
// and presses a button.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qh::test {

struct SeenBox {
    std::wstring title;
    std::wstring text;
    std::vector<int> buttons;  // IDOK, IDCANCEL, IDYES, IDNO present
    int pressed = 0;
};

// A window's text (a box's title, a control's caption), read in one call, so a text that changes
// meanwhile is read whole, before or after.
[[nodiscard]] std::wstring TextOf(HWND hwnd);

// A visible message box owned by owner, or nullptr.
[[nodiscard]] HWND FindOwnedBox(HWND owner);
[[nodiscard]] SeenBox ReadBox(HWND box);
// Posts BM_CLICK to the button and waits (bounded) for the box to go; false if it has no such button
// or stays.
bool PressButton(HWND box, int buttonId);

// The visible top-level window of that class in that process, once it is there (bounded);
// nullptr when it did not appear.
[[nodiscard]] HWND WaitForProcessWindow(DWORD processId, const wchar_t* className, DWORD timeoutMs);

// A destroyed window of an earlier test leaves a WM_QUIT behind, which would end the next message
// box at once.
void DiscardQuitMessages();

class BoxAnswerer {
public:
    // Answers the next boxes of owner with these buttons, in order; boxes beyond them are closed
    // with Cancel (or OK) and recorded, so a test never hangs on an unexpected box.
    BoxAnswerer(HWND owner, std::vector<int> answers);
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    // Waits (bounded) until every planned answer is given.
    bool WaitForAnswers(DWORD timeoutMs);
    // Stops watching; the boxes seen so far.
    std::vector<SeenBox> Stop();

private:
    void Watch();

    HWND m_owner;
    std::vector<int> m_answers;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<SeenBox> m_seen;
    std::thread m_thread;
};

// Processes this thread's messages until done() or timeoutMs; returns done().
template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() >= deadline) {
            return done();
        }
        ::MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG msg{};
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return true;
}

// Polls done() every few milliseconds until it holds or timeoutMs passes; returns done().
template <typename Done>
bool WaitUntil(Done done, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() >= deadline) {
            return done();
        }
        ::Sleep(5);
    }
    return true;
}

}  // namespace qh::test
