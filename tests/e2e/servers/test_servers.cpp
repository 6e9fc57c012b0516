#include "tests/e2e/servers/test_servers.h"

#include <windows.h>

#include <cstdlib>
#include <map>
#include <memory>

#include "nbase/scoped_handle.h"
#include "nbase/string_conversion.h"

namespace {

std::wstring Widen(const std::string& text) { return nbase::Utf8ToWide(text); }

std::wstring EnvironmentValue(const wchar_t* name) {
  wchar_t value[1024];
  const DWORD length = GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
  return length > 0 && length < ARRAYSIZE(value) ? std::wstring(value, length) : std::wstring();
}

std::map<std::string, std::string> ParseEnvFile(const std::string& text) {
  std::map<std::string, std::string> values;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t equals = line.find('=');
    if (!line.empty() && line[0] != '#' && equals != std::string::npos) {
      values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    begin = end + 1;
  }
  return values;
}

std::unique_ptr<TestServers> Load(std::string* error) {
  std::wstring file = EnvironmentValue(L"TEST_SERVERS_FILE");
  if (file.empty()) file = Widen(TEST_SERVERS_DEFAULT_FILE);
  file = WinePathFromUnix(file);
  std::string text;
  if (!ReadWholeFile(file, &text)) {
    *error = "cannot read the servers file (are the test servers running? "
             "tests/e2e/servers/servers.sh start)";
    return nullptr;
  }
  auto values = ParseEnvFile(text);
  auto servers = std::make_unique<TestServers>();
  servers->http_port = std::atoi(values["HTTP_PORT"].c_str());
  servers->https_port = std::atoi(values["HTTPS_PORT"].c_str());
  servers->https_expired_port = std::atoi(values["HTTPS_EXPIRED_PORT"].c_str());
  servers->fault_port = std::atoi(values["FAULT_PORT"].c_str());
  servers->ca_trusted = values["CA_TRUSTED"] == "1";
  servers->docroot = WinePathFromUnix(Widen(values["DOCROOT"]));
  servers->capture_dir = WinePathFromUnix(Widen(values["CAPTURE_DIR"]));
  if (!servers->http_port || !servers->https_port || !servers->https_expired_port ||
      !servers->fault_port || servers->docroot.empty()) {
    *error = "the servers file is incomplete";
    return nullptr;
  }
  return servers;
}

}  // namespace

const TestServers* TestServers::Get(std::string* error) {
  static std::string load_error;
  static const std::unique_ptr<TestServers> servers = Load(&load_error);
  if (!servers && error) *error = load_error;
  return servers.get();
}

std::wstring TestServers::HttpUrl(const std::wstring& path) const {
  return L"http://127.0.0.1:" + std::to_wstring(http_port) + path;
}

std::wstring TestServers::HttpsUrl(const std::wstring& path) const {
  return L"https://localhost:" + std::to_wstring(https_port) + path;
}

std::wstring TestServers::HttpsExpiredUrl(const std::wstring& path) const {
  return L"https://localhost:" + std::to_wstring(https_expired_port) + path;
}

std::wstring TestServers::FaultUrl(const std::wstring& path) const {
  return L"http://127.0.0.1:" + std::to_wstring(fault_port) + path;
}

std::wstring TestServers::DocrootFile(const std::wstring& name) const {
  return docroot + L"\\" + name;
}

std::string TestServers::ReadDocrootFile(const std::wstring& name) const {
  std::string content;
  ReadWholeFile(DocrootFile(name), &content);
  return content;
}

std::string TestServers::ReadCapture(const std::wstring& name, const std::wstring& part) const {
  std::string content;
  ReadWholeFile(capture_dir + L"\\" + name + L"." + part, &content);
  return content;
}

std::string TestServers::ReadRequestLog() const {
  std::string content;
  ReadWholeFile(capture_dir + L"\\requests.log", &content);
  return content;
}

std::wstring WinePathFromUnix(const std::wstring& path) {
  if (path.empty() || path[0] != L'/') return path;
  std::wstring windows = L"Z:" + path;
  for (auto& c : windows) {
    if (c == L'/') c = L'\\';
  }
  return windows;
}

bool ReadWholeFile(const std::wstring& path, std::string* content) {
  content->clear();
  nbase::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  char block[65536];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), block, sizeof(block), &read, nullptr)) return false;
    if (read == 0) return true;
    content->append(block, read);
  }
}
