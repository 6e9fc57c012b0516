// main() of every test program. It runs the tests like gtest_main, but on a
// thread of its own, and returns only once the process is down to its first
// thread again (or its thread count has settled).
//
// Why: Wine 8 can crash with SIGSEGV while a process exits if another thread
// is blocked in a call into Wine at that moment, or is just starting or
// ending. Test programs have such threads: GoogleTest starts a watcher thread
// for every thread that uses its thread-local values (SCOPED_TRACE does),
// which lives as long as the watched thread, and WinINet starts short-lived
// threads after a request. A crash at exit would turn a passed test into a
// failure that has nothing to do with the code under test. Running the tests
// on a thread that ends lets GoogleTest's watcher end too.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <thread>

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

// Returns once only this thread is left, or once the number of threads has
// stayed the same for a while (a library keeps an idle thread), or after a
// few seconds at most.
void WaitForQuietThreads() {
  constexpr DWORD kPollMs = 20;
  constexpr int kStablePolls = 15;
  constexpr int kMaxPolls = 150;
  int last = CountOwnThreads();
  int stable = 0;
  for (int poll = 0; poll < kMaxPolls && last > 1 && stable < kStablePolls; ++poll) {
    Sleep(kPollMs);
    const int now = CountOwnThreads();
    stable = now == last ? stable + 1 : 0;
    last = now;
  }
}

}  // namespace

int main(int argc, char** argv) {
  int result = 1;
  std::thread runner([&] {
    ::testing::InitGoogleTest(&argc, argv);
    result = RUN_ALL_TESTS();
  });
  runner.join();
  WaitForQuietThreads();
  return result;
}
