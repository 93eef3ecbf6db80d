// Times programs from CreateProcessW to the moment their top-level window,
// found by its title, is visible; then closes the window and waits for the
// program to end.  Windows only; scripts/benchmark.sh runs it under Wine on a
// virtual display.
//
//   startup_benchmark.exe [--count N] TITLE EXE [TITLE EXE ...]
//
// Each program is started once untimed (the first start of an executable pays
// for reading it from disk, and a program may write files next to itself),
// then N times (default 10), in rounds that alternate the order of the
// programs, so that a slow spell of a shared machine falls on all alike.
// The window must belong to the started process, its title must match
// exactly, and the program must end with exit code 0 after WM_CLOSE.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <stdexcept>
#include <string>
#include <vector>

#include "benchmarks/benchmark_timing.h"

namespace {

const DWORD WindowTimeoutMs = 30000;
const DWORD EndTimeoutMs = 10000;

class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (handle_) CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

struct Program {
    std::wstring title;
    std::wstring path;
    benchmark::Samples samples;
};

std::string Narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr, nullptr);
    return narrow;
}

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring BaseNameOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The visible top-level window of that title that belongs to the process.
HWND VisibleWindow(const std::wstring& title, DWORD processId) {
    HWND window = FindWindowW(nullptr, title.c_str());
    if (!window) return nullptr;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return owner == processId && IsWindowVisible(window) ? window : nullptr;
}

// One start: the milliseconds from CreateProcessW to the visible window.
double StartOnce(const Program& program) {
    std::wstring commandLine = L"\"" + program.path + L"\"";
    const std::wstring folder = FolderOf(program.path);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};

    const benchmark::Stopwatch watch;
    if (!CreateProcessW(program.path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &started))
        throw Failure("could not start " + Narrow(program.path) + " (error " + std::to_string(GetLastError()) + ")");
    const Handle process(started.hProcess);
    const Handle thread(started.hThread);

    HWND window = nullptr;
    double ms = 0;
    for (;;) {
        window = VisibleWindow(program.title, started.dwProcessId);
        if (window) {
            ms = watch.ElapsedMs();
            break;
        }
        if (WaitForSingleObject(process.Get(), 1) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(process.Get(), &code);
            throw Failure(Narrow(BaseNameOf(program.path)) + " ended with code " + std::to_string(code) +
                          " before its window \"" + Narrow(program.title) + "\" was shown");
        }
        if (watch.ElapsedMs() > WindowTimeoutMs) {
            TerminateProcess(process.Get(), 1);
            throw Failure("no visible window \"" + Narrow(program.title) + "\" of " +
                          Narrow(BaseNameOf(program.path)) + " within " + std::to_string(WindowTimeoutMs / 1000) +
                          " s (a login dialog or an error box instead?)");
        }
    }

    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.Get(), EndTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
        throw Failure(Narrow(BaseNameOf(program.path)) + " did not end after its window was closed");
    }
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    if (code != 0)
        throw Failure(Narrow(BaseNameOf(program.path)) + " ended with code " + std::to_string(code) +
                      " after its window was closed");
    return ms;
}

int Usage() {
    std::fprintf(stderr, "usage: startup_benchmark.exe [--count N] TITLE EXE [TITLE EXE ...]\n"
                         "  N      timed starts of each program (default 10, at least 1)\n"
                         "  TITLE  the exact title of the program's top-level window\n"
                         "  EXE    the program, as a Windows path\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int count = 10;
    std::vector<Program> programs;
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument == L"--count" && i + 1 < argc) {
            wchar_t* end = nullptr;
            const long number = std::wcstol(argv[++i], &end, 10);
            if (*end != L'\0' || number < 1 || number > 1000) return Usage();
            count = static_cast<int>(number);
        } else if (i + 1 < argc && argument.rfind(L"--", 0) != 0) {
            programs.push_back({argument, argv[++i], {}});
        } else {
            return Usage();
        }
    }
    if (programs.empty()) return Usage();
    for (const Program& program : programs)
        if (GetFileAttributesW(program.path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            std::fprintf(stderr, "startup_benchmark: %s does not exist\n", Narrow(program.path).c_str());
            return 2;
        }

    try {
        for (const Program& program : programs) StartOnce(program);
        for (int round = 0; round < count; ++round) {
            for (std::size_t i = 0; i < programs.size(); ++i) {
                Program& program = programs[round % 2 == 0 ? i : programs.size() - 1 - i];
                program.samples.Add(StartOnce(program));
            }
        }
    } catch (const Failure& failure) {
        std::fprintf(stderr, "startup_benchmark: %s\n", failure.what());
        return 1;
    }

    std::printf("Start-up: from CreateProcessW to the visible top-level window; %d timed starts of each program,\n"
                "alternating, after one untimed start of each.\n\n",
                count);
    std::printf("%-22s %-18s %10s %10s %10s\n", "Program", "Window", "Min ms", "Median ms", "Mean ms");
    for (const Program& program : programs)
        std::printf("%-22s %-18s %10.1f %10.1f %10.1f\n", Narrow(BaseNameOf(program.path)).c_str(),
                    ("\"" + Narrow(program.title) + "\"").c_str(), program.samples.Min(), program.samples.Median(),
                    program.samples.Mean());
    if (programs.size() == 2) {
        const double first = programs[0].samples.Median();
        const double second = programs[1].samples.Median();
        std::printf("\n%s takes %.1f ms more than %s at the median (%.2f times as long).\n",
                    Narrow(BaseNameOf(programs[0].path)).c_str(), first - second,
                    Narrow(BaseNameOf(programs[1].path)).c_str(), second > 0 ? first / second : 0.0);
    }
    return 0;
}
