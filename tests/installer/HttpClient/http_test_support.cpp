#include "tests/installer/HttpClient/http_test_support.h"

#include <windows.h>

#include "nbase/scoped_handle.h"

namespace http_test {

namespace {

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = folder + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

void ReplaceAll(std::wstring& text, const std::wstring& name, const std::wstring& value) {
  for (size_t at = text.find(name); at != std::wstring::npos; at = text.find(name, at)) {
    text.replace(at, name.size(), value);
    at += value.size();
  }
}

}  // namespace

TempFolder::TempFolder() {
  static int counter = 0;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + L"http_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
          std::to_wstring(++counter);
  CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveTree(path_); }

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteWholeFile(const std::wstring& path, const std::string& content) {
  nbase::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()),
                           &written, nullptr) &&
         written == content.size();
}

std::wstring ExpandUrl(const TestServers& servers, const std::wstring& text) {
  std::wstring url = text;
  ReplaceAll(url, L"{https-expired}",
             L"https://localhost:" + std::to_wstring(servers.https_expired_port));
  ReplaceAll(url, L"{https-ip}", L"https://127.0.0.1:" + std::to_wstring(servers.https_port));
  ReplaceAll(url, L"{https}", L"https://localhost:" + std::to_wstring(servers.https_port));
  ReplaceAll(url, L"{http}", L"http://127.0.0.1:" + std::to_wstring(servers.http_port));
  ReplaceAll(url, L"{fault-host}", L"http://localhost:" + std::to_wstring(servers.fault_port));
  ReplaceAll(url, L"{fault}", L"http://127.0.0.1:" + std::to_wstring(servers.fault_port));
  ReplaceAll(url, L"{fault-port}", std::to_wstring(servers.fault_port));
  ReplaceAll(url, L"{nowhere}", L"http://127.0.0.1:1");
  return url;
}

std::string Expected::Bytes(const TestServers& servers) const {
  if (!source) return text ? text : "";
  const std::string all = servers.ReadDocrootFile(source);
  if (first > static_cast<std::int64_t>(all.size())) return std::string();
  return count < 0 ? all.substr(static_cast<size_t>(first))
                   : all.substr(static_cast<size_t>(first), static_cast<size_t>(count));
}

void ExpectRunningReports(const std::vector<Report>& reports, size_t count) {
  double previous = 0;
  for (size_t i = 0; i < count && i < reports.size(); ++i) {
    EXPECT_EQ(reports[i].state, TransferRunning) << "report " << i;
    EXPECT_GT(reports[i].done, previous) << "report " << i;
    if (reports[i].total > 0) {
      EXPECT_LE(reports[i].done, reports[i].total) << "report " << i;
    }
    previous = reports[i].done;
  }
}

void ServerTest::SetUp() {
  std::string error;
  servers_ = TestServers::Get(&error);
  ASSERT_NE(servers_, nullptr) << error;
}

}  // namespace http_test
