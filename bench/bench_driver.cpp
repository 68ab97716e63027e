// Measures the program under Wine against floors taken in the same run. Prints one line per
// figure: "name value floor" (seconds or bytes); the bench script turns them into the table.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "erase/code_page.h"
#include "erase/exif_script.h"
#include "platform/win32_code_page.h"
#include "platform/win32_erase_files.h"
#include "platform/win32_folder_reader.h"
#include "window/form1.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct FindVisible {
    DWORD pid;
    bool found;
};

BOOL CALLBACK FindVisibleWindow(HWND hwnd, LPARAM param)
{
    auto* find = reinterpret_cast<FindVisible*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid == find->pid && ::IsWindowVisible(hwnd)) {
        find->found = true;
        return FALSE;
    }
    return TRUE;
}

// Process start to its first visible top-level window; the process is ended afterwards.
double StartupSeconds(const std::wstring& exe)
{
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    const auto begin = Clock::now();
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        std::fprintf(stderr, "cannot start %ls\n", exe.c_str());
        std::exit(1);
    }
    FindVisible find{process.dwProcessId, false};
    double elapsed = -1;
    while (Seconds(begin, Clock::now()) < 30) {
        ::EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&find));
        if (find.found) {
            elapsed = Seconds(begin, Clock::now());
            break;
        }
        ::Sleep(1);
    }
    ::TerminateProcess(process.hProcess, 0);
    ::WaitForSingleObject(process.hProcess, 10000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return elapsed;
}

std::size_t BareLoop(const std::wstring& folder)
{
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                     nullptr, FIND_FIRST_EX_LARGE_FETCH);
    std::size_t count = 0;
    if (find == INVALID_HANDLE_VALUE) {
        return 0;
    }
    do {
        ++count;
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return count;
}

// CPU seconds of the Unix process behind a Windows program, read from /proc through Z:
// (Wine's GetProcessTimes on another process does not report that process's time).
double UnixCpuSeconds(const std::wstring& exeSuffix)
{
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW(L"Z:\\proc\\*", &data);
    if (find == INVALID_HANDLE_VALUE) {
        return -1;
    }
    double seconds = -1;
    do {
        if (data.cFileName[0] < L'0' || data.cFileName[0] > L'9') {
            continue;
        }
        const std::wstring dir = std::wstring(L"Z:\\proc\\") + data.cFileName;
        char buffer[4096]{};
        DWORD got = 0;
        HANDLE file = ::CreateFileW((dir + L"\\cmdline").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            continue;
        }
        ::ReadFile(file, buffer, sizeof(buffer) - 1, &got, nullptr);
        ::CloseHandle(file);
        const std::string argv0(buffer);  // up to the first NUL: the program itself
        const std::string suffix(exeSuffix.begin(), exeSuffix.end());
        if (argv0.size() < suffix.size() || argv0.compare(argv0.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        file = ::CreateFileW((dir + L"\\stat").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            continue;
        }
        char stat[1024]{};
        ::ReadFile(file, stat, sizeof(stat) - 1, &got, nullptr);
        ::CloseHandle(file);
        // Fields after the parenthesised name: state is field 3, utime 14, stime 15.
        const char* p = std::strrchr(stat, ')');
        unsigned long long utime = 0, stime = 0;
        if (p && std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) == 2) {
            seconds = static_cast<double>(utime + stime) / 100.0;  // USER_HZ
        }
        break;
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return seconds;
}

// The floor of one erase: the same script the program writes, run directly and waited for.
double ScriptSeconds(const std::wstring& folder, const std::wstring& filePath)
{
    const qh::Win32CodePage oem(::GetOEMCP());
    const qh::Win32CodePage ansi(::GetACP());
    const auto bytes = qh::EncodeForTool(qh::ScriptText(filePath), oem, ansi);
    qh::Win32EraseFileSystem files;
    qh::EraseFileSystem::HeldFile held =
        bytes ? files.CreateHeldFile(qh::JoinPath(folder, qh::kScriptName), *bytes) : qh::EraseFileSystem::HeldFile{};
    if (held.result != qh::EraseFileSystem::CreateResult::Created) {
        std::fprintf(stderr, "cannot write the script\n");
        std::exit(1);
    }
    qh::Win32ScriptStarter starter;
    const auto begin = Clock::now();
    auto script = starter.StartHidden(folder);
    if (!script || !script->WaitForEnd(120000)) {
        std::fprintf(stderr, "the script did not run\n");
        std::exit(1);
    }
    const double elapsed = Seconds(begin, Clock::now());
    held.hold.reset();
    (void)files.RemoveFile(qh::JoinPath(folder, qh::kScriptName));
    return elapsed;
}

struct FindBox {
    DWORD pid;
    std::wstring text;  // prefix of the box's text
    HWND found;
};

BOOL CALLBACK FindBoxWindow(HWND hwnd, LPARAM param)
{
    auto* find = reinterpret_cast<FindBox*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    wchar_t className[16]{};
    ::GetClassNameW(hwnd, className, 16);
    if (pid != find->pid || std::wstring(className) != L"#32770" || !::IsWindowVisible(hwnd)) {
        return TRUE;
    }
    wchar_t text[512]{};
    ::GetDlgItemTextW(hwnd, 0xFFFF, text, 512);
    if (std::wstring(text).rfind(find->text, 0) == 0) {
        find->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForBox(DWORD pid, const std::wstring& text)
{
    FindBox find{pid, text, nullptr};
    const auto begin = Clock::now();
    while (!find.found && Seconds(begin, Clock::now()) < 60) {
        ::EnumWindows(FindBoxWindow, reinterpret_cast<LPARAM>(&find));
        ::Sleep(1);
    }
    if (!find.found) {
        std::fprintf(stderr, "no box \"%ls\"\n", text.c_str());
        std::exit(1);
    }
    return find.found;
}

std::wstring TitleOf(HWND hwnd)
{
    wchar_t title[256]{};
    ::GetWindowTextW(hwnd, title, 256);
    return title;
}

// One erase run of the real program over the first 10 files of C:\: from the first progress
// title to the window enabled again (the message boxes around it are not the run's time).
// Prints "erase-run WALL CPU".
int EraseRunOnce(const std::wstring& exe)
{
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        return 1;
    }
    HWND window = nullptr;
    const auto begin = Clock::now();
    // Shown means listed: the window appears after the load refresh.
    while (!(window && ::IsWindowVisible(window)) && Seconds(begin, Clock::now()) < 30) {
        window = ::FindWindowW(qh::Form1::kClassName, nullptr);
        ::Sleep(1);
    }
    HWND cmdDo = window ? ::GetDlgItem(window, qh::kCmdDo) : nullptr;
    if (!cmdDo || !::IsWindowEnabled(cmdDo)) {
        std::fprintf(stderr, "no window or nothing to erase\n");
        ::TerminateProcess(process.hProcess, 1);
        return 1;
    }
    ::PostMessageW(cmdDo, BM_CLICK, 0, 0);
    HWND warning = WaitForBox(process.dwProcessId, L"抹除后将无法恢复！");
    ::PostMessageW(::GetDlgItem(warning, IDOK), BM_CLICK, 0, 0);
    const auto clickTime = Clock::now();
    while (TitleOf(window).find(L"1/") == std::wstring::npos && Seconds(clickTime, Clock::now()) < 60) {
        ::Sleep(2);
    }
    const auto runStart = Clock::now();
    const double cpuStart = UnixCpuSeconds(L"\\QingHeJingTu.exe");
    // The run ends by enabling the window, and the completion box follows at once (disabling it
    // again): whichever is seen first marks the end.
    // Polling is light (the driver shares the machine with what it measures).
    FindBox completion{process.dwProcessId, L"处理完毕", nullptr};
    for (int poll = 0; !::IsWindowEnabled(window) && !completion.found && Seconds(runStart, Clock::now()) < 120;
         ++poll) {
        if (poll % 8 == 0) {
            ::EnumWindows(FindBoxWindow, reinterpret_cast<LPARAM>(&completion));
        }
        ::Sleep(2);
    }
    const auto runEnd = Clock::now();
    const double cpuEnd = UnixCpuSeconds(L"\\QingHeJingTu.exe");
    HWND done = WaitForBox(process.dwProcessId, L"处理完毕");
    ::PostMessageW(::GetDlgItem(done, IDNO), BM_CLICK, 0, 0);
    ::TerminateProcess(process.hProcess, 0);
    ::WaitForSingleObject(process.hProcess, 10000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    std::printf("erase-run %.4f %.4f\n", Seconds(runStart, runEnd), cpuEnd - cpuStart);
    return 0;
}

class NullView final : public qh::ListingView {
public:
    void SetFilesCaption(const std::wstring&) override {}
    void SetDoEnabled(bool) override {}
};

int Run(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_driver startup EXE FLOOR_EXE RUNS | listing FOLDER RUNS | memory FOLDER\n");
        return 2;
    }
    const std::wstring mode = argv[1];
    if (mode == L"startup" && argc == 5) {
        const int runs = _wtoi(argv[4]);
        StartupSeconds(argv[2]);  // warm-up of both, not counted
        StartupSeconds(argv[3]);
        std::vector<double> program, floor;
        for (int i = 0; i < runs; ++i) {
            program.push_back(StartupSeconds(argv[2]));
            floor.push_back(StartupSeconds(argv[3]));
        }
        std::printf("startup %.4f %.4f\n", Median(program), Median(floor));
        return 0;
    }
    if (mode == L"listing" && argc == 4) {
        const std::wstring folder = argv[2];
        const int runs = _wtoi(argv[3]);
        qh::Win32FolderReader reader;
        NullView view;
        qh::FolderState state(reader, view);
        BareLoop(folder);  // warm the caches
        std::vector<double> program, floor;
        std::size_t listed = 0;
        for (int i = 0; i < runs; ++i) {
            auto t0 = Clock::now();
            state.SetDir(folder);
            auto t1 = Clock::now();
            const std::size_t bare = BareLoop(folder);
            auto t2 = Clock::now();
            program.push_back(Seconds(t0, t1));
            floor.push_back(Seconds(t1, t2));
            listed = state.File1().Count();
            if (bare < listed) {
                std::fprintf(stderr, "bare loop saw fewer entries than the listing\n");
            }
        }
        std::printf("listing %.4f %.4f %zu\n", Median(program), Median(floor), listed);
        return 0;
    }
    if (mode == L"memory" && argc == 3) {
        qh::Form1 form;
        if (!form.Create(::GetModuleHandleW(nullptr))) {
            return 1;
        }
        PROCESS_MEMORY_COUNTERS before{};
        ::GetProcessMemoryInfo(::GetCurrentProcess(), &before, sizeof(before));
        form.SetDir(argv[2]);
        PROCESS_MEMORY_COUNTERS after{};
        ::GetProcessMemoryInfo(::GetCurrentProcess(), &after, sizeof(after));
        std::printf("memory %zu %zu %zu\n", static_cast<std::size_t>(after.PeakWorkingSetSize),
                    static_cast<std::size_t>(before.PeakWorkingSetSize), form.State().File1().Count());
        return 0;
    }
    if (mode == L"erase-floor" && argc >= 4) {
        // erase-floor FOLDER FILE...: each file's script run directly; prints the floor
        // sum of max(0.3 s, tool time) and the plain sum.
        double floor = 0, sum = 0;
        for (int i = 3; i < argc; ++i) {
            const double t = ScriptSeconds(argv[2], qh::JoinPath(argv[2], argv[i]));
            floor += std::max(0.3, t);
            sum += t;
        }
        std::printf("erase-floor %.4f %.4f\n", floor, sum);
        return 0;
    }
    if (mode == L"erase-run" && argc == 3) {
        return EraseRunOnce(argv[2]);
    }
    if (mode == L"memory-floor" && argc == 3) {
        qh::Form1 form;
        if (!form.Create(::GetModuleHandleW(nullptr))) {
            return 1;
        }
        const std::size_t count = BareLoop(argv[2]);
        PROCESS_MEMORY_COUNTERS after{};
        ::GetProcessMemoryInfo(::GetCurrentProcess(), &after, sizeof(after));
        std::printf("memory-floor %zu %zu\n", static_cast<std::size_t>(after.PeakWorkingSetSize), count);
        return 0;
    }
    std::fprintf(stderr, "unknown mode\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    return Run(argc, argv);
}
