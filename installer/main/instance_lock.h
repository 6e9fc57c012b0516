#pragma once

#include <string>

// The name shared by the single-instance mutex and the log file: the part of
// the executable's file name before its one dot ("setup.exe" gives "setup").
// A name with more than one dot, or none, gives the empty name: such a copy
// runs without a lock.
std::wstring InstanceLockName(const std::wstring& fileName);

// InstanceLockName of the running executable's file name.
std::wstring InstanceLockName();
