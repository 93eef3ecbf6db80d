// Times programs from CreateProcessW to the moment their top-level window,
// found by its title, is visible; then closes the window and waits for the
// program to end.  On the way it notes, from outside, when the process had
// its first top-level window (for Quelvane 2 the login dialog's hidden
// frame) and when the window of the title was made, visible or not.  Windows only; scripts/benchmark.sh runs it under
// Wine on a virtual display.
//
//   startup_benchmark.exe [--count N] [[--reference] [--manifest] [--traced] TITLE EXE]...
//
// Each program is started once untimed (the first start of an executable pays
// for reading it from disk, and a program may write files next to itself),
// then N times (default 10), in rounds that alternate the order of the
// programs, so that a slow spell of a shared machine falls on all alike.
// The window must belong to the started process, its title must match
// exactly, and the program must end with exit code 0 after WM_CLOSE.
//
// The options before a TITLE EXE pair apply to that program:
//   --reference  the table gives every median as a multiple of this one's
//   --manifest   the program's visual-styles manifest (styles::ManifestText) is
//                put next to EXE before the first start, unless a file of its
//                name is there; for a yardstick that should load the same
//                common controls as Quelvane 2 without writing them itself
//   --traced     every start runs with QUELVANE_STARTUP_TRACE (see
//                startup_marks.h: the floor writes it, the program does not);
//                the medians of its phases are printed
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "benchmarks/startup_marks.h"
#include "benchmarks/benchmark_timing.h"
#include "styles/init_xp.h"
#include "text/utf.h"
#include "win32/scoped.h"

namespace {

const DWORD WindowTimeoutMs = 30000;
const DWORD EndTimeoutMs = 10000;
constexpr std::size_t MarkCount = static_cast<std::size_t>(benchmark::StartupMark::Count);

class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Program {
    std::wstring title;
    std::wstring path;
    bool reference = false;
    bool manifest = false;
    bool traced = false;
    benchmark::Samples samples;
    benchmark::Samples firstWindow;  // to the process's first top-level window
    benchmark::Samples windowMade;   // to the window of the title, before it is shown
    std::vector<benchmark::Samples> phases = std::vector<benchmark::Samples>(MarkCount);
    int startsWithoutTrace = 0;
};

std::string Narrow(const std::wstring& wide) { return text::ToUtf8(wide); }

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring BaseNameOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Where the traced program writes its marks: one file per benchmark process.
std::wstring TraceFile() {
    wchar_t folder[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH) throw Failure("no folder for temporary files");
    return std::wstring(folder, length) + L"quelvane-startup-trace-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
}

void PutManifest(const Program& program) {
    const std::wstring path = styles::ManifestPath(styles::SplitExecutablePath(program.path));
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    std::ofstream out(path.c_str(), std::ios::binary);
    out << styles::ManifestText;
    if (!out.flush()) throw Failure("could not write " + Narrow(path));
}

bool BelongsTo(HWND window, DWORD processId) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return owner == processId;
}

// The top-level window of that title that belongs to the process, visible or not.
HWND TitledWindow(const std::wstring& title, DWORD processId) {
    HWND window = FindWindowW(nullptr, title.c_str());
    return window && BelongsTo(window, processId) ? window : nullptr;
}

struct WindowSearch {
    DWORD processId;
    bool found;
};

// EnumWindows' callback: a named CALLBACK function, since the i686 build's
// stdcall takes no lambda.
BOOL CALLBACK FindWindowOfProcess(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<WindowSearch*>(parameter);
    search.found = BelongsTo(window, search.processId);
    return !search.found;
}

// Whether the process has made a top-level window yet, visible or not.
bool HasTopLevelWindow(DWORD processId) {
    WindowSearch search{processId, false};
    EnumWindows(FindWindowOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The marks of one traced start, as counter values; nullopt for a mark not passed.
std::vector<std::optional<LONGLONG>> ReadTrace(const std::wstring& file) {
    std::vector<std::optional<LONGLONG>> marks(MarkCount);
    std::ifstream in(file.c_str());
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string name;
        long long ticks = 0;
        if (!(fields >> name >> ticks)) continue;
        if (name == "frequency") {
            if (ticks != benchmark::Stopwatch::Frequency())
                throw Failure("the traced program's counter runs at another frequency");
            continue;
        }
        for (std::size_t i = 0; i < MarkCount; ++i)
            if (name == benchmark::StartupMarkNames[i].name) marks[i] = ticks;
    }
    return marks;
}

// Each mark's time since the mark before it that was passed (the first one's
// since CreateProcessW); a start whose trace has no marks counts as untraced.
void AddPhases(Program& program, const std::wstring& file, LONGLONG startTicks) {
    const std::vector<std::optional<LONGLONG>> marks = ReadTrace(file);
    DeleteFileW(file.c_str());
    LONGLONG previous = startTicks;
    bool any = false;
    for (std::size_t i = 0; i < MarkCount; ++i) {
        if (!marks[i]) continue;
        program.phases[i].Add(benchmark::Stopwatch::TicksToMs(*marks[i] - previous));
        previous = *marks[i];
        any = true;
    }
    if (!any) ++program.startsWithoutTrace;
}

// One start: the milliseconds from CreateProcessW to the visible window.
double StartOnce(Program& program, const std::wstring& traceFile, bool timed) {
    std::wstring commandLine = L"\"" + program.path + L"\"";
    const std::wstring folder = FolderOf(program.path);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    // The child inherits this process's environment as it is at CreateProcessW.
    if (program.traced) DeleteFileW(traceFile.c_str());
    SetEnvironmentVariableW(L"QUELVANE_STARTUP_TRACE", program.traced ? traceFile.c_str() : nullptr);

    const benchmark::Stopwatch watch;
    if (!CreateProcessW(program.path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &started))
        throw Failure("could not start " + Narrow(program.path) + " (error " + std::to_string(GetLastError()) + ")");
    const win32::Handle process(started.hProcess);
    const win32::Handle thread(started.hThread);
    const std::string name = Narrow(BaseNameOf(program.path));

    HWND window = nullptr;
    double ms = 0;
    std::optional<double> firstWindow, windowMade;
    for (;;) {
        window = TitledWindow(program.title, started.dwProcessId);
        if (!firstWindow && (window || HasTopLevelWindow(started.dwProcessId))) firstWindow = watch.ElapsedMs();
        if (window && !windowMade) windowMade = watch.ElapsedMs();
        if (window && IsWindowVisible(window)) {
            ms = watch.ElapsedMs();
            break;
        }
        if (WaitForSingleObject(process.Get(), 1) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(process.Get(), &code);
            throw Failure(name + " ended with code " + std::to_string(code) + " before its window \"" +
                          Narrow(program.title) + "\" was shown");
        }
        if (watch.ElapsedMs() > WindowTimeoutMs) {
            TerminateProcess(process.Get(), 1);
            throw Failure("no visible window \"" + Narrow(program.title) + "\" of " + name + " within " +
                          std::to_string(WindowTimeoutMs / 1000) + " s (a login dialog or an error box instead?)");
        }
    }

    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.Get(), EndTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
        throw Failure(name + " did not end after its window was closed");
    }
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    if (code != 0) throw Failure(name + " ended with code " + std::to_string(code) + " after its window was closed");
    if (timed) {
        program.firstWindow.Add(*firstWindow);
        program.windowMade.Add(*windowMade);
    }
    if (program.traced && timed) AddPhases(program, traceFile, watch.StartTicks());
    return ms;
}

// The widest program name, so that the tables' columns stay aligned.
int NameWidth(const std::vector<Program>& programs) {
    std::size_t width = 26;
    for (const Program& program : programs) width = std::max(width, Narrow(BaseNameOf(program.path)).size());
    return static_cast<int>(width);
}

void PrintPrograms(const std::vector<Program>& programs, int count) {
    const int width = NameWidth(programs);
    std::printf(
        "Start-up: from CreateProcessW to the visible top-level window; %d timed starts of each program,\n"
        "alternating, after one untimed start of each.\n\n",
        count);
    const Program* reference = nullptr;
    for (const Program& program : programs)
        if (program.reference) reference = &program;
    int titleWidth = 18;
    for (const Program& program : programs)
        titleWidth = std::max(titleWidth, static_cast<int>(Narrow(program.title).size()) + 2);
    std::printf("%-*s %-*s %10s %10s %10s %10s %10s", width, "Program", titleWidth, "Window", "1st window", "made",
                "Min ms", "Median ms", "Mean ms");
    if (reference) std::printf(" %12s", "x reference");
    std::printf("\n");
    for (const Program& program : programs) {
        std::printf("%-*s %-*s %10.1f %10.1f %10.1f %10.1f %10.1f", width, Narrow(BaseNameOf(program.path)).c_str(),
                    titleWidth, ("\"" + Narrow(program.title) + "\"").c_str(), program.firstWindow.Median(),
                    program.windowMade.Median(), program.samples.Min(), program.samples.Median(),
                    program.samples.Mean());
        if (reference) std::printf(" %12.2f", program.samples.Median() / reference->samples.Median());
        std::printf("\n");
    }
    std::printf(
        "\n1st window, made: median ms to the process's first top-level window and to the window of the\n"
        "title, visible or not, seen from outside (a poll every millisecond).\n");
    if (reference)
        std::printf("x reference: the median start-up as a multiple of %s's.\n",
                    Narrow(BaseNameOf(reference->path)).c_str());
    if (programs.size() == 2) {
        const double first = programs[0].samples.Median();
        const double second = programs[1].samples.Median();
        std::printf("\n%s takes %.1f ms more than %s at the median (%.2f times as long).\n",
                    Narrow(BaseNameOf(programs[0].path)).c_str(), first - second,
                    Narrow(BaseNameOf(programs[1].path)).c_str(), second > 0 ? first / second : 0.0);
    }
}

// One row per mark, one column of medians per traced program.  A program
// that passes only some marks (the floor) books the work between two of its
// marks on the later one.
void PrintPhases(const std::vector<Program>& programs) {
    std::vector<const Program*> traced;
    for (const Program& program : programs)
        if (program.traced) traced.push_back(&program);
    if (traced.empty()) return;
    const int width = NameWidth(programs);
    std::printf(
        "\nPhases (QUELVANE_STARTUP_TRACE): median ms from the mark before, \"-\" where a program passes\n"
        "no such mark.\n\n%-44s",
        "Phase");
    for (const Program* program : traced) std::printf(" %*s", width, Narrow(BaseNameOf(program->path)).c_str());
    std::printf("\n");
    for (std::size_t i = 0; i < MarkCount; ++i) {
        std::printf("%-44s", benchmark::StartupMarkNames[i].phase);
        for (const Program* program : traced) {
            if (program->phases[i].Empty())
                std::printf(" %*s", width, "-");
            else
                std::printf(" %*.1f", width, program->phases[i].Median());
        }
        std::printf("\n");
    }
    std::printf("%-44s", "whole start, to the visible window");
    for (const Program* program : traced) std::printf(" %*.1f", width, program->samples.Median());
    std::printf("\n");
    for (const Program* program : traced)
        if (program->startsWithoutTrace > 0)
            std::printf("%s: %d timed starts left no trace.\n", Narrow(BaseNameOf(program->path)).c_str(),
                        program->startsWithoutTrace);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: startup_benchmark.exe [--count N]\n"
                 "                             [[--reference] [--manifest] [--traced] TITLE EXE]...\n"
                 "  N            timed starts of each program (default 10, at least 1)\n"
                 "  TITLE        the exact title of the program's top-level window\n"
                 "  EXE          the program, as a Windows path\n"
                 "  --reference  print the other medians as multiples of this program's\n"
                 "  --manifest   put the program's visual-styles manifest next to EXE first\n"
                 "  --traced     start it with QUELVANE_STARTUP_TRACE and print its phases\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int count = 10;
    std::vector<Program> programs;
    Program next;
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument == L"--count" && i + 1 < argc) {
            wchar_t* end = nullptr;
            const long number = std::wcstol(argv[++i], &end, 10);
            if (*end != L'\0' || number < 1 || number > 1000) return Usage();
            count = static_cast<int>(number);
        } else if (argument == L"--reference") {
            next.reference = true;
        } else if (argument == L"--manifest") {
            next.manifest = true;
        } else if (argument == L"--traced") {
            next.traced = true;
        } else if (i + 1 < argc && argument.rfind(L"--", 0) != 0) {
            next.title = argument;
            next.path = argv[++i];
            programs.push_back(std::move(next));
            next = Program{};
        } else {
            return Usage();
        }
    }
    int references = 0;
    for (const Program& program : programs) references += program.reference ? 1 : 0;
    if (programs.empty() || references > 1 || next.reference || next.manifest || next.traced) return Usage();
    for (const Program& program : programs)
        if (GetFileAttributesW(program.path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            std::fprintf(stderr, "startup_benchmark: %s does not exist\n", Narrow(program.path).c_str());
            return 2;
        }

    try {
        const std::wstring traceFile = TraceFile();
        for (Program& program : programs) {
            if (program.manifest) PutManifest(program);
            StartOnce(program, traceFile, false);
        }
        for (int round = 0; round < count; ++round) {
            for (std::size_t i = 0; i < programs.size(); ++i) {
                Program& program = programs[round % 2 == 0 ? i : programs.size() - 1 - i];
                program.samples.Add(StartOnce(program, traceFile, true));
            }
        }
    } catch (const Failure& failure) {
        std::fprintf(stderr, "startup_benchmark: %s\n", failure.what());
        return 1;
    }

    PrintPrograms(programs, count);
    PrintPhases(programs);
    return 0;
}
