#pragma once

#include <string>

// Opening addresses and starting programs through the shell.

// Opens a web address in the user's browser.
void OpenUrl(const std::wstring& address);

// Starts a program (or opens a document) with the given parameters.
void ShellOpen(const std::wstring& file, const std::wstring& parameters);

// Starts the program elevated ("runas") and hidden, and blocks until it has
// ended. When it cannot start (a missing file, or the user refused the
// elevation) it returns at once. Always returns true; no error box is shown.
// Call it from a thread of its own.
bool RunElevatedAndWait(const std::wstring& file, const std::wstring& parameters);
