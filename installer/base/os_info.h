#pragma once

#include <string>

// What the installer asks Windows about the machine it runs on.

// The values of the version and system queries that name the system.
struct OsVersion {
  unsigned long platform_id = 0;   // 2 for the NT family
  unsigned long major = 0;
  unsigned long minor = 0;
  unsigned char product_type = 0;  // 1 for a workstation
  unsigned short architecture = 0; // 0 x86, 9 x64
};

// The display name for the given version values, for example
// "Windows 7 64-bit"; "Unknow" for versions the installer does not know.
std::wstring OsDisplayNameFor(const OsVersion& version);

// The display name of the running system. The architecture is the machine's
// own, also when this 32-bit program runs under 64-bit Windows.
std::wstring OsDisplayName();

// True when the running system is a 64-bit Windows (checked once per process).
bool IsOs64Bit();

// True when the version query reports a major version above 5 (Vista or later).
bool IsVistaOrLater();
