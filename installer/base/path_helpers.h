#pragma once

#include <optional>
#include <string>

// Path and file helpers. Both "\" and "/" separate path components.

// The text after the last backslash (or, only when there is none, after the
// last slash); the whole path when it has no separator. None when the path is
// empty or ends with that separator.
std::optional<std::wstring> PathFileName(const std::wstring& path);

// The text up to and including the last separator, not counting a separator
// in the very first position; the whole path when it ends with a separator.
// None when the path has no such separator.
std::optional<std::wstring> PathFolder(const std::wstring& path);

// PathFolder(path) + name; none when the path has no separator.
std::optional<std::wstring> PathJoin(const std::wstring& path, const std::wstring& name);

// The path's attributes can be read and, with `as_folder`, name a folder.
bool PathExists(const std::wstring& path, bool as_folder);

// Creates the folder and every missing parent, one component at a time.
// False when a component cannot be created or a file is in the way.
bool CreateFolderTree(const std::wstring& path);

// Creates the folder and its missing parents through the shell. True when the
// folder was created or already exists. The path must be absolute.
bool CreateFolderShell(const std::wstring& path);

bool DeleteFileAt(const std::wstring& path);

// The text as a folder: slashes become backslashes, doubled backslashes
// collapse (a leading "\\" too) and the result ends with exactly one
// backslash. An empty text stays empty.
std::wstring NormaliseFolder(const std::wstring& text);

// True for an absolute folder on an existing drive ("X:\..."), free of the
// characters : * ? " < > | after the drive.
bool IsValidInstallPath(const std::wstring& text);

// Free space in mebibytes on the drive of a path that begins with a drive
// letter ("C:\..." or "C:/..."); 0 for other paths and when the query fails.
double FreeDiskMegabytes(const std::wstring& path);

// Replaces the file's content with the text, byte for byte (callers pass
// short ASCII texts). False when the file cannot be written.
bool WriteTextFile(const std::wstring& path, const std::string& text);
