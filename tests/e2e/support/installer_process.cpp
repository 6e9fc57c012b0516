#include "tests/e2e/support/installer_process.h"

#include <shlobj.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace e2e {

std::wstring BuiltInstallerPath() {
  wchar_t value[4096];
  const DWORD length = GetEnvironmentVariableW(L"INSTALLER_EXE", value, 4096);
  if (length == 0 || length >= 4096) return std::wstring();
  std::wstring path(value, length);
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
  for (auto& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

std::wstring MakeScratchFolder(const std::wstring& tag) {
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  static LONG counter = 0;
  const std::wstring folder = std::wstring(temp) + L"e2e_" + tag + L"_" +
                              std::to_wstring(GetCurrentProcessId()) + L"_" +
                              std::to_wstring(InterlockedIncrement(&counter));
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder + L"\\";
}

std::wstring LogFolder() {
  PWSTR known = nullptr;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known))) return std::wstring();
  std::wstring folder = std::wstring(known) + L"\\Temp\\";
  CoTaskMemFree(known);
  return folder;
}

std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WaitForFileText(const std::wstring& path, const std::string& text, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  do {
    if (ReadFileBytes(path).find(text) != std::string::npos) return true;
    Sleep(20);
  } while (GetTickCount64() < deadline);
  return false;
}

bool InstallerProcess::Start(const std::wstring& folder, const std::wstring& fileName) {
  const std::wstring target = folder + fileName;
  if (!CopyFileW(BuiltInstallerPath().c_str(), target.c_str(), FALSE)) return false;
  return StartExecutable(target);
}

bool InstallerProcess::StartExecutable(const std::wstring& path) {
  path_ = path;
  std::vector<wchar_t> commandLine(path.begin(), path.end());
  commandLine.insert(commandLine.begin(), L'"');
  commandLine.push_back(L'"');
  commandLine.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info))
    return false;
  process_.Reset(info.hProcess);
  thread_.Reset(info.hThread);
  processId_ = info.dwProcessId;
  threadId_ = info.dwThreadId;
  return true;
}

bool InstallerProcess::PostQuit(DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  do {
    if (PostThreadMessageW(threadId_, WM_QUIT, 0, 0)) return true;
    if (WaitForSingleObject(process_.Get(), 20) == WAIT_OBJECT_0) return false;
  } while (GetTickCount64() < deadline);
  return false;
}

bool InstallerProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
  if (!process_) return false;
  if (WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process_.Get(), 99);
    WaitForSingleObject(process_.Get(), 5000);
    return false;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_.Get(), &code);
  if (exitCode) *exitCode = code;
  return true;
}

InstallerProcess::~InstallerProcess() {
  if (process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.Get(), 99);
    WaitForSingleObject(process_.Get(), 5000);
  }
}

}  // namespace e2e
