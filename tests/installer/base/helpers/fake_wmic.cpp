// Test helper: stands in for "wmic" in the machine-id queries. Prints like
// wmic into a pipe (UTF-16LE with a byte order mark, a key line, one padded
// line per device) or misbehaves:
//
//   fake_wmic print KEY VALUE...       the key line and one line per value
//   fake_wmic split KEY VALUE...       the same, pausing between the key line and the values
//   fake_wmic linger PID KEY VALUE...  prints, then stays until process PID has ended
//   fake_wmic blank KEY                the key line and lines of blanks only
//   fake_wmic flood KEY COUNT          the key line and one value of COUNT letters
//   fake_wmic hang PID                 prints nothing and stays until process PID has ended
//   fake_wmic fail                     an error text without any key, exit code 1
//
// Staying is bounded by ten minutes, so a helper never outlives a test run.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

const DWORD kLongestStay = 10 * 60 * 1000;

void Print(const std::wstring& text, bool byte_order_mark) {
  std::string bytes = byte_order_mark ? "\xFF\xFE" : "";
  for (const wchar_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>((c >> 8) & 0xFF);
  }
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
            &written, nullptr);
}

std::wstring KeyLine(const std::wstring& key) { return key + L"       \r\n"; }

std::wstring ValueLines(const std::vector<std::wstring>& args, size_t first) {
  std::wstring lines;
  for (size_t i = first; i < args.size(); ++i) lines += args[i] + L"  \r\n";
  return lines + L"\r\n";
}

void StayWhileAlive(const std::wstring& pid) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, std::wcstoul(pid.c_str(), nullptr, 10));
  if (!process) {
    Sleep(kLongestStay);
    return;
  }
  WaitForSingleObject(process, kLongestStay);
  CloseHandle(process);
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return 2;
  const std::vector<std::wstring> args(argv, argv + argc);
  LocalFree(argv);
  if (args.size() < 2) return 2;
  const std::wstring& mode = args[1];

  if (mode == L"print" && args.size() >= 3) {
    Print(KeyLine(args[2]) + ValueLines(args, 3), true);
  } else if (mode == L"split" && args.size() >= 3) {
    Print(KeyLine(args[2]), true);
    Sleep(700);
    Print(ValueLines(args, 3), false);
  } else if (mode == L"linger" && args.size() >= 4) {
    Print(KeyLine(args[3]) + ValueLines(args, 4), true);
    StayWhileAlive(args[2]);
  } else if (mode == L"blank" && args.size() == 3) {
    Print(KeyLine(args[2]) + L"        \r\n \r\n\r\n", true);
  } else if (mode == L"flood" && args.size() == 4) {
    Print(KeyLine(args[2]) + std::wstring(std::wcstoul(args[3].c_str(), nullptr, 10), L'A'), true);
  } else if (mode == L"hang" && args.size() == 3) {
    StayWhileAlive(args[2]);
  } else if (mode == L"fail") {
    Print(L"Node - TESTHOST\r\nERROR:\r\nDescription = Invalid class \r\n\r\n", true);
    return 1;
  } else {
    return 2;
  }
  return 0;
}
