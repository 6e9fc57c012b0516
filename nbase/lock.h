#pragma once

#include <windows.h>

namespace nbase {

// A Win32 critical section. Every lock in the system spins 2000 times before
// it sleeps: the protected sections are a few instructions long.
class Lock {
 public:
  static constexpr DWORD kSpinCount = 2000;

  Lock() { InitializeCriticalSectionAndSpinCount(&section_, kSpinCount); }
  ~Lock() { DeleteCriticalSection(&section_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  void Acquire() { EnterCriticalSection(&section_); }
  void Release() { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

// Holds a Lock for the lifetime of the scope.
class AutoLock {
 public:
  explicit AutoLock(Lock& lock) : lock_(lock) { lock_.Acquire(); }
  ~AutoLock() { lock_.Release(); }
  AutoLock(const AutoLock&) = delete;
  AutoLock& operator=(const AutoLock&) = delete;

 private:
  Lock& lock_;
};

}  // namespace nbase
