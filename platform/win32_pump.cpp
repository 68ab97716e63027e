#include "platform/win32_pump.h"

namespace qh {

std::uint64_t Win32Clock::NowMicroseconds()
{
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    if (!::QueryPerformanceFrequency(&frequency) || !::QueryPerformanceCounter(&counter) || frequency.QuadPart <= 0) {
        return ::GetTickCount64() * 1000;
    }
    const auto ticks = static_cast<std::uint64_t>(counter.QuadPart);
    const auto perSecond = static_cast<std::uint64_t>(frequency.QuadPart);
    // Split so the multiplication cannot overflow.
    return ticks / perSecond * 1000000 + ticks % perSecond * 1000000 / perSecond;
}

Win32EventPump::~Win32EventPump()
{
    if (m_quitCode) {
        ::PostQuitMessage(*m_quitCode);
    }
}

void Win32EventPump::WaitAndPump(std::uint32_t timeoutMs)
{
    const DWORD result = ::MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (result == WAIT_OBJECT_0) {
        PumpPending();
    } else if (result == WAIT_FAILED) {
        ::Sleep(timeoutMs < 10 ? timeoutMs : 10);  // never spin, even then
    }
}

bool Win32EventPump::WaitFor(HANDLE handle, std::uint32_t timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD remaining = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD result = ::MsgWaitForMultipleObjectsEx(1, &handle, remaining, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (result == WAIT_OBJECT_0) {
            return true;
        }
        if (result != WAIT_OBJECT_0 + 1) {
            return false;  // timed out or failed
        }
        PumpPending();
    }
}

void Win32EventPump::PumpPending()
{
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            m_quitCode = static_cast<int>(msg.wParam);
            return;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace qh
