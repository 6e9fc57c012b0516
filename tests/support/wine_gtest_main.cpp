// main() of every test program. It runs the tests like gtest_main and then,
// before the process exits, lets threads that libraries started on their own
// finish starting or ending. Wine 8 can crash with SIGSEGV when the process
// exits while such a thread (WinINet starts short-lived ones after a request)
// is between states; the test's result would then be lost to a crash that
// has nothing to do with the code under test. On Windows this wait is a no-op
// in practice: the thread count is already stable.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

namespace {

int CountOwnThreads() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  int count = 0;
  const DWORD self = GetCurrentProcessId();
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == self) ++count;
  CloseHandle(snapshot);
  return count;
}

// Returns once the number of threads has stayed the same for a while, or
// after a few seconds at most. Only the HTTP libraries start such threads.
void WaitForQuietThreads() {
  if (!GetModuleHandleW(L"wininet.dll") && !GetModuleHandleW(L"winhttp.dll")) return;
  constexpr DWORD kPollMs = 50;
  constexpr int kStablePolls = 6;
  constexpr int kMaxPolls = 60;
  int last = CountOwnThreads();
  int stable = 0;
  for (int poll = 0; poll < kMaxPolls && stable < kStablePolls; ++poll) {
    Sleep(kPollMs);
    const int now = CountOwnThreads();
    stable = now == last ? stable + 1 : 0;
    last = now;
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  WaitForQuietThreads();
  return result;
}
