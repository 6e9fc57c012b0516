#pragma once

#include <string>

// The HTTP peers that servers.sh started, as a Windows test program sees them.
// Plain HTTP and the fault server are addressed as 127.0.0.1; HTTPS as
// "localhost", the only name Wine accepts for the test authority.
class TestServers {
 public:
  // The servers of this run, read once from servers.env: the file named by the
  // environment variable TEST_SERVERS_FILE (a Linux or a Windows path), else
  // the one in this build tree. Null, with the reason in *error, when the
  // servers are not running.
  static const TestServers* Get(std::string* error = nullptr);

  int http_port = 0;
  int https_port = 0;
  int https_expired_port = 0;  // certificate of the test authority, expired
  int fault_port = 0;
  bool ca_trusted = false;  // the test authority is in the system trust store
  std::wstring docroot;      // Windows path of the folder both servers serve
  std::wstring capture_dir;  // where /capture/ and /echo/ record requests

  // path starts with "/".
  std::wstring HttpUrl(const std::wstring& path) const;
  std::wstring HttpsUrl(const std::wstring& path) const;
  std::wstring HttpsExpiredUrl(const std::wstring& path) const;
  std::wstring FaultUrl(const std::wstring& path) const;

  std::wstring DocrootFile(const std::wstring& name) const;
  // Content of a served file; empty when it cannot be read.
  std::string ReadDocrootFile(const std::wstring& name) const;
  // What /capture/<name> or /echo/<name> recorded last: part "head" (request
  // line and fields) or "body". Empty when nothing was recorded.
  std::string ReadCapture(const std::wstring& name, const std::wstring& part) const;
  // The fault server's request log: "<n> <method> <path> range=<Range or ->" lines.
  std::string ReadRequestLog() const;
};

// A Linux path as Wine's drive Z: shows it; other paths unchanged.
std::wstring WinePathFromUnix(const std::wstring& path);

// The whole content of a file; false when it cannot be read.
bool ReadWholeFile(const std::wstring& path, std::string* content);
