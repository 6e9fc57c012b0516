// installer_driver.exe <installer.exe> [seconds]
// Starts the installer, waits until its main loop runs, prints its log, then
// keeps it running for the given seconds (or until Enter is pressed when no
// seconds are given), tells it to quit and returns the installer's exit code.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "tests/e2e/support/installer_process.h"

namespace {

std::wstring BaseName(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fwprintf(stderr, L"usage: installer_driver <installer.exe> [seconds]\n");
    return 2;
  }
  const std::wstring exe = argv[1];
  const std::wstring log = e2e::LogFolder() + BaseName(exe) + L"_log.txt";
  const std::string before = e2e::ReadFileBytes(log);

  e2e::InstallerProcess installer;
  if (!installer.StartExecutable(exe)) {
    std::fwprintf(stderr, L"driver: cannot start %ls (error %lu)\n", exe.c_str(), GetLastError());
    return 3;
  }
  std::wprintf(L"driver: started %ls (process %lu)\n", exe.c_str(), installer.processId());
  if (!e2e::WaitForFileText(log, "app: run message loop", 60000))
    std::wprintf(L"driver: the main loop did not start within 60 s\n");

  if (argc >= 3) {
    const int seconds = _wtoi(argv[2]);
    std::wprintf(L"driver: running for %d s\n", seconds);
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(seconds) * 1000);
  } else {
    std::wprintf(L"driver: press Enter to end the installer\n");
    std::fflush(stdout);
    std::getchar();
  }

  installer.PostQuit(10000);
  DWORD exitCode = 0;
  const bool ended = installer.WaitForExit(60000, &exitCode);
  const std::string after = e2e::ReadFileBytes(log);
  std::printf("driver: log %ls (this run):\n%s", log.c_str(),
              after.size() >= before.size() ? after.substr(before.size()).c_str() : after.c_str());
  if (!ended) {
    std::printf("driver: the installer did not end; it was killed\n");
    return 4;
  }
  std::printf("driver: installer exit code %lu\n", exitCode);
  return static_cast<int>(exitCode);
}
