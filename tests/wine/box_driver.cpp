#include "box_driver.h"

#include <utility>

namespace qh::test {

std::wstring TextOf(HWND hwnd)
{
    // One call: asking for the length first and then for the text reads a cut-off text when it
    // grows in between (a progress title going from 9/12 to 10/12).
    constexpr int kCapacity = 32768;  // more than any text the program shows
    std::vector<wchar_t> buffer(kCapacity, L'\0');
    const int length = ::GetWindowTextW(hwnd, buffer.data(), kCapacity);
    return std::wstring(buffer.data(), static_cast<std::size_t>(length > 0 ? length : 0));
}

namespace {

struct FindData {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM param)
{
    auto* data = reinterpret_cast<FindData*>(param);
    wchar_t className[16]{};
    ::GetClassNameW(hwnd, className, 16);
    if (std::wstring(className) == L"#32770" && ::GetWindow(hwnd, GW_OWNER) == data->owner &&
        ::IsWindowVisible(hwnd)) {
        data->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindOwnedBox(HWND owner)
{
    FindData data{owner, nullptr};
    ::EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

SeenBox ReadBox(HWND box)
{
    SeenBox seen;
    seen.title = TextOf(box);
    if (HWND text = ::GetDlgItem(box, 0xFFFF)) {
        seen.text = TextOf(text);
    }
    for (const int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
        if (::GetDlgItem(box, id)) {
            seen.buttons.push_back(id);
        }
    }
    return seen;
}

void DiscardQuitMessages()
{
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

HWND WaitForProcessWindow(DWORD processId, const wchar_t* className, DWORD timeoutMs)
{
    struct Search {
        DWORD processId;
        const wchar_t* className;
        HWND found;
    } search{processId, className, nullptr};
    WaitUntil(
        [&search] {
            ::EnumWindows(
                [](HWND hwnd, LPARAM param) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(param);
                    DWORD owner = 0;
                    ::GetWindowThreadProcessId(hwnd, &owner);
                    wchar_t name[64]{};
                    ::GetClassNameW(hwnd, name, 64);
                    if (owner == s->processId && ::IsWindowVisible(hwnd) && std::wstring(name) == s->className) {
                        s->found = hwnd;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

bool PressButton(HWND box, int buttonId)
{
    HWND button = ::GetDlgItem(box, buttonId);
    if (!button) {
        return false;
    }
    ::PostMessageW(button, BM_CLICK, 0, 0);
    return WaitUntil([box] { return !::IsWindow(box) || !::IsWindowVisible(box); }, 10000);
}

BoxAnswerer::BoxAnswerer(HWND owner, std::vector<int> answers)
    : m_owner(owner), m_answers(std::move(answers)), m_thread([this] { Watch(); })
{
}

BoxAnswerer::~BoxAnswerer()
{
    Stop();
}

bool BoxAnswerer::WaitForAnswers(DWORD timeoutMs)
{
    return WaitUntil(
        [this] {
            std::lock_guard<std::mutex> lock(m_mutex);
            return m_seen.size() >= m_answers.size();
        },
        timeoutMs);
}

std::vector<SeenBox> BoxAnswerer::Stop()
{
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_seen;
}

void BoxAnswerer::Watch()
{
    std::size_t next = 0;
    while (!m_stop) {
        HWND box = FindOwnedBox(m_owner);
        if (!box) {
            ::Sleep(5);
            continue;
        }
        SeenBox seen = ReadBox(box);
        const int planned = next < m_answers.size() ? m_answers[next++] : IDCANCEL;
        int pressed = planned;
        if (!PressButton(box, planned)) {
            pressed = PressButton(box, IDCANCEL) ? IDCANCEL : (PressButton(box, IDOK) ? IDOK : 0);
        }
        seen.pressed = pressed;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_seen.push_back(std::move(seen));
    }
}

}  // namespace qh::test
