// DPI queries that work from Windows 7 on: the per-monitor functions of later systems are looked
// up at run time, never imported.
#pragma once

#include <windows.h>

namespace qh {

[[nodiscard]] int WindowDpi(HWND hwnd);
// Outer window size for a client size, with the non-client metrics of that DPI.
[[nodiscard]] SIZE WindowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi);
// The system's message font, scaled to dpi.
[[nodiscard]] LOGFONTW MessageFontForDpi(int dpi);

}  // namespace qh
