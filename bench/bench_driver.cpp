// Measures the program under Wine against floors taken in the same run. Prints one line per
// figure: "name value floor" (seconds or bytes); the bench script turns them into the table.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

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
