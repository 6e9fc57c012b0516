#pragma once

#include <string>

// Folders of the machine and of the running executable.

// The user's local application-data folder, ending with a backslash; empty
// when the shell cannot tell. Fetched once per process.
std::wstring LocalAppDataFolder();

// The Program Files folder as the shell reports it, followed by "/" (callers
// replace slashes when they build paths on it); empty when the shell cannot
// tell. Fetched once per process.
std::wstring ProgramFilesFolder();

// LocalAppDataFolder() + "Temp\", created with its parents when missing; empty
// when the local application-data folder is unknown.
std::wstring InstallerTempFolder();

// Full path of the running executable, however long it is; empty on failure.
std::wstring ModuleFilePath();
// File name part of ModuleFilePath(), or empty.
std::wstring ModuleFileName();
// Folder part of ModuleFilePath() with its trailing backslash, or empty.
std::wstring ModuleFolder();
