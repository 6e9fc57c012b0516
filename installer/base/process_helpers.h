#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Running processes, found by the file name of their executable. Names are
// compared exactly: "Tidewell.exe" does not match "tidewell.exe".

// Identifiers of every process whose executable file name is `name`.
std::vector<DWORD> FindProcessesByName(const std::wstring& name);

bool IsProcessRunning(const std::wstring& name);

// Terminates every process of that name with exit code 0, skipping those
// that cannot be opened. Does not wait for them to end.
void KillProcessesByName(const std::wstring& name);
