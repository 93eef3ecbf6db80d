// The main window's whole save through WmiRegistryProvider, timed: scope
// "Current user", "Hide Drives in My Computer ", "C: and D:", command prompt
// blocked.  It writes the program's real settings and policy values: run it
// only in a throw-away Wine prefix.  Windows only; part of
// wmi_registry_benchmark (--with-save).
#pragma once

namespace benchmark {

// Two untimed saves (the first through a provider that counts the
// operations and their routes), then `saves` timed ones; prints the table.
// Raises Failure when the save did not store its values.
void MeasureSave(int saves);

}  // namespace benchmark
