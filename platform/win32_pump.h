// The clock and the event processing behind WaitTime and the wait for a script's process: the
// thread sleeps in MsgWaitForMultipleObjectsEx and wakes for the window's events, so a disabled
// window still repaints and the CPU stays idle.
#pragma once

#include <windows.h>

#include <optional>

#include "erase/wait_time.h"

namespace qh {

// QueryPerformanceCounter in microseconds.
class Win32Clock final : public Clock {
public:
    [[nodiscard]] std::uint64_t NowMicroseconds() override;
};

class Win32EventPump final : public EventPump {
public:
    Win32EventPump() = default;
    Win32EventPump(const Win32EventPump&) = delete;
    Win32EventPump& operator=(const Win32EventPump&) = delete;
    // A WM_QUIT taken from the queue meanwhile is posted again for the main loop.
    ~Win32EventPump() override;

    void WaitAndPump(std::uint32_t timeoutMs) override;
    // Processes events until the handle is signalled (true) or timeoutMs passes (false).
    [[nodiscard]] bool WaitFor(HANDLE handle, std::uint32_t timeoutMs);

private:
    void PumpPending();
    std::optional<int> m_quitCode;
};

}  // namespace qh
