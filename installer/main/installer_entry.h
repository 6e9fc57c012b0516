#pragma once

#include <windows.h>

// The installer's entry: makes sure only one copy runs, starts the log and
// runs the main thread's UI loop until the window ends it. Always returns 0.
int InstallerEntry(HINSTANCE instance, int showCommand);

// Starts the process's log: the first line reaches only the debugger output,
// later lines of LV_APP and below go to <local app data>\Temp\<name>_log.txt.
void StartLog();
