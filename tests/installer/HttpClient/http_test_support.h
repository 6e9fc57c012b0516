#pragma once

// Helpers shared by the client tests that run against the test servers
// (tests/e2e/servers).

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "installer/HttpClient/http_interface.h"
#include "tests/e2e/servers/test_servers.h"

namespace http_test {

constexpr const char* kNoTrustedAuthority =
    "the test authority is not in the system trust store (servers.sh needs root for that)";

struct Report {
  int state;
  double total;
  double done;
};

// Records every progress call. ShouldStop answers true from question
// `stop_at` on (0: never).
class RecordingCallback : public IHttpCallback {
 public:
  explicit RecordingCallback(int stop_at = 0) : stop_at_(stop_at) {}

  void OnTransferProgress(void* parameter, int state, double total, double done) override {
    parameters.push_back(parameter);
    reports.push_back({state, total, done});
  }
  bool ShouldStop() override {
    ++questions;
    return stop_at_ > 0 && questions >= stop_at_;
  }

  std::vector<void*> parameters;
  std::vector<Report> reports;
  int questions = 0;

 private:
  int stop_at_;
};

// A fresh folder under the temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }
  // With a trailing backslash, as the range downloader takes a folder.
  std::wstring PathWithBackslash() const { return path_ + L"\\"; }

 private:
  std::wstring path_;
};

// Names of the files and folders in `folder` (with or without a trailing
// backslash); none when it cannot be read.
std::vector<std::wstring> NamesIn(const std::wstring& folder);

bool FileExists(const std::wstring& path);
bool WriteWholeFile(const std::wstring& path, const std::string& content);

struct BlockFree {
  void operator()(void* block) const { std::free(block); }
};

// A URL of the test servers. The text may hold these names, each replaced
// wherever it occurs (so also inside a redirection's target):
//   {http}  nginx, http://127.0.0.1:port     {https}  nginx TLS, https://localhost:port
//   {https-ip} the same as https://127.0.0.1  {https-expired} the expired certificate
//   {fault} the fault server, http://127.0.0.1:port  {fault-host} it as http://localhost:port
//   {fault-port} the fault server's port      {nowhere} http://127.0.0.1:1, where nothing listens
std::wstring ExpandUrl(const TestServers& servers, const std::wstring& text);

// Bytes expected in a file or buffer: a slice of a served file, or a text.
struct Expected {
  const wchar_t* source;  // docroot file, or null for `text`
  std::int64_t first;
  std::int64_t count;  // -1: to the end of the source
  const char* text;

  std::string Bytes(const TestServers& servers) const;
};

inline Expected Whole(const wchar_t* file) { return {file, 0, -1, nullptr}; }
inline Expected Slice(const wchar_t* file, std::int64_t first, std::int64_t count) {
  return {file, first, count, nullptr};
}
inline Expected Text(const char* text) { return {nullptr, 0, 0, text}; }
const Expected kNothing = {nullptr, 0, 0, nullptr};

// The first `count` reports: running reports with growing counts, none past
// its total. A client that always knows the total (`totals_known`) must not
// report a count without it; others may report a total of 0 (unknown).
void ExpectRunningReports(const std::vector<Report>& reports, size_t count,
                          bool totals_known = false);

// The reports of a transfer that ended: running reports as above, then one
// end report, finished with `total` of `total` bytes, or failed with zeros.
void ExpectEndedReports(const std::vector<Report>& reports, bool ok, double total,
                        bool totals_known = false);

// Loads the servers of this run; fails the test when they are not running.
class ServerTest : public testing::Test {
 protected:
  void SetUp() override;
  std::wstring Url(const wchar_t* text) const { return ExpandUrl(*servers_, text); }

  // Marks the test skipped where the test authority is not in the system
  // trust store.
  // Whether https tests can run: the test authority is in the system trust
  // store (servers.sh needs root for that). Callers skip the test otherwise:
  //   if (!HasTrustedAuthority()) GTEST_SKIP() << kNoTrustedAuthority;
  bool HasTrustedAuthority() const { return servers_->ca_trusted; }

  // DownloadToBuffer of `url` (see ExpandUrl): LastError is `error`, and the
  // block holds exactly `content` when `ok`, else there is none and size 0.
  void ExpectBufferDownload(IHttpBase* client, const wchar_t* url, bool ok, int error,
                            const Expected& content) const;

  // A Range request for bytes 1000-50999 of data-1m.bin into a file: a 206,
  // and exactly those bytes stored.
  void ExpectRangeStoredInFile(IHttpBase* client) const;

  const TestServers* servers_ = nullptr;
};

}  // namespace http_test
