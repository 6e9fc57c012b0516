#include "tests/installer/HttpClient/http_test_support.h"

#include <windows.h>

#include <memory>

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

std::vector<std::wstring> NamesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  const bool ends_in_backslash = !folder.empty() && folder.back() == L'\\';
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + (ends_in_backslash ? L"*" : L"\\*")).c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return names;
}

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

void ExpectRunningReports(const std::vector<Report>& reports, size_t count, bool totals_known) {
  double previous = 0;
  for (size_t i = 0; i < count && i < reports.size(); ++i) {
    EXPECT_EQ(reports[i].state, TransferRunning) << "report " << i;
    EXPECT_GT(reports[i].done, previous) << "report " << i;
    if (totals_known || reports[i].total > 0) {
      EXPECT_LE(reports[i].done, reports[i].total) << "report " << i;
    }
    previous = reports[i].done;
  }
}

void ExpectEndedReports(const std::vector<Report>& reports, bool ok, double total,
                        bool totals_known) {
  ASSERT_FALSE(reports.empty());
  const Report& last = reports.back();
  EXPECT_EQ(last.state, ok ? TransferFinished : TransferFailed);
  EXPECT_EQ(last.total, ok ? total : 0);
  EXPECT_EQ(last.done, ok ? total : 0);
  ExpectRunningReports(reports, reports.size() - 1, totals_known);
}

void ServerTest::SetUp() {
  std::string error;
  servers_ = TestServers::Get(&error);
  ASSERT_NE(servers_, nullptr) << error;
}

void ServerTest::ExpectBufferDownload(IHttpBase* client, const wchar_t* url, bool ok, int error,
                                      const Expected& content) const {
  void* data = nullptr;
  int size = -1;
  EXPECT_EQ(client->DownloadToBuffer(Url(url).c_str(), &data, &size), ok);
  std::unique_ptr<void, BlockFree> owned(data);
  EXPECT_EQ(client->LastError(), error);
  if (!ok) {
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0);
    return;
  }
  ASSERT_NE(data, nullptr);
  const std::string expected = content.Bytes(*servers_);
  ASSERT_EQ(size, static_cast<int>(expected.size()));
  EXPECT_TRUE(std::string(static_cast<const char*>(data), size) == expected);
}

void ServerTest::ExpectRangeStoredInFile(IHttpBase* client) const {
  TempFolder folder;
  const std::wstring path = folder.File(L"part.bin");
  client->SetRequestHeader("Range", "bytes=1000-50999");
  ASSERT_TRUE(client->DownloadToFile(Url(L"{http}/data-1m.bin").c_str(), path.c_str()));
  EXPECT_EQ(client->StatusCode(), 206);
  std::string stored;
  ASSERT_TRUE(ReadWholeFile(path, &stored));
  EXPECT_TRUE(stored == Slice(L"data-1m.bin", 1000, 50000).Bytes(*servers_));
}

}  // namespace http_test
