// The points of a start like the program's that the start-up floor records
// in the file that QUELVANE_STARTUP_TRACE names, in the order a start passes
// them when no password is stored, and the trace file's format.  Shared by
// the floor and by the start-up benchmark, which reads the file.  The program
// itself carries no trace: the benchmark times it from outside, from
// CreateProcessW to its visible main window.
//
// The file: one line "frequency TICKS_PER_SECOND", then one line "NAME TICKS"
// per mark that was passed, with the performance counter's value at the mark.
// The counter is the system's, so a second program can set the marks against
// the moment it called CreateProcess.
#pragma once

#include <cstddef>
#include <iterator>

namespace benchmark {

enum class StartupMark : std::size_t {
    WinMain,      // wWinMain entered
    Com,          // COM joined and its security set
    InitXp,       // the manifest checked and the common controls started
    LoginWindow,  // the login dialog's window made; its load follows, with the first registry operation
    FirstWmi,     // the first registry operation (CreateKey) done: the first WMI connection
    LoginLoad,    // the login dialog's load done (the password read); the main window is asked for
    Form1Window,  // the main window made; its load follows
    Form1Load,    // the main window's load done
    Shown,        // the main window shown and activated
    Count
};

struct StartupMarkName {
    const char* name;   // in the file
    const char* phase;  // what the time up to this mark was spent on, for the benchmark's table
};

inline constexpr StartupMarkName StartupMarkNames[] = {
    {"WinMain", "process start to WinMain"},
    {"Com", "COM apartment and security"},
    {"InitXp", "InitXp: manifest check, common controls"},
    {"LoginWindow", "login window made"},
    {"FirstWmi", "first WMI connection (CreateKey)"},
    {"LoginLoad", "rest of the login dialog's load"},
    {"Form1Window", "main window made"},
    {"Form1Load", "main window's load"},
    {"Shown", "shown and activated"},
};
static_assert(std::size(StartupMarkNames) == static_cast<std::size_t>(StartupMark::Count));

}  // namespace benchmark
