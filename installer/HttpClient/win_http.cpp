#include "installer/HttpClient/win_http.h"

#include <windows.h>
#include <winhttp.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

#include "nbase/scoped_handle.h"

namespace {

const wchar_t kAgent[] = L"Microsoft Internet Explorer";
// Certificates are accepted from an unknown authority, for another use, for
// another name and outside their validity dates. Bit 0 comes with them.
const DWORD kSecurityFlags = SECURITY_FLAG_IGNORE_UNKNOWN_CA |
                             SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                             SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                             SECURITY_FLAG_IGNORE_CERT_DATE_INVALID | SECURITY_FLAG_SECURE;
// Our header lines replace WinHTTP's own fields of the same name.
const DWORD kAddHeaderFlags = WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE;
const DWORD kBlockSize = 4096;
// Bytes of wide text for the Content-Length and status queries.
const DWORD kFieldTextSize = 48;

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, &wide[0], size);
  return wide;
}

// A field of the response as text; false when it is absent.
bool QueryField(HINTERNET request, DWORD field, std::wstring& value) {
  wchar_t text[kFieldTextSize / sizeof(wchar_t)] = {};
  DWORD length = sizeof(text) - sizeof(wchar_t);
  if (!WinHttpQueryHeaders(request, field, WINHTTP_HEADER_NAME_BY_INDEX, text, &length,
                           WINHTTP_NO_HEADER_INDEX)) {
    return false;
  }
  value = text;
  return true;
}

bool WriteBlock(HANDLE file, const char* bytes, DWORD count) {
  DWORD written = 0;
  return WriteFile(file, bytes, count, &written, nullptr) && written == count;
}

struct FreeBlock {
  void operator()(void* block) const { std::free(block); }
};

}  // namespace

void WinHttpHandleTraits::Close(void* handle) { WinHttpCloseHandle(handle); }

CWinHttp::CWinHttp() {
  const int error = OpenRoot();
  if (error != HttpErrorNone) Fail(error);
}

CWinHttp::~CWinHttp() { CloseHandles(); }

void CWinHttp::SetProgressSink(IHttpCallback* callback, void* parameter) {
  callback_ = callback;
  callback_parameter_ = parameter;
}

void CWinHttp::Release() {
  CloseHandles();
  delete this;
}

int CWinHttp::LastError() { return last_error_; }

int CWinHttp::StatusCode() { return status_code_; }

void CWinHttp::SetRequestHeader(const char* name, const char* value) {
  if (!name || !value) return;
  request_headers_.SetHeader(name, value);
}

void CWinHttp::SetTimeouts(int connectMs, int sendMs, int receiveMs) {
  connect_timeout_ = connectMs;
  send_timeout_ = sendMs;
  receive_timeout_ = receiveMs;
}

void CWinHttp::Report(int state, double total, double done) {
  if (callback_) callback_->OnTransferProgress(callback_parameter_, state, total, done);
}

void CWinHttp::CloseHandles() {
  request_.Reset();
  connection_.Reset();
  root_.Reset();
}

int CWinHttp::OpenRoot() {
  CloseHandles();
  root_.Reset(WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                          WINHTTP_NO_PROXY_BYPASS, 0));
  if (!root_) return HttpErrorOpen;
  if (!WinHttpSetTimeouts(root_.Get(), 0, connect_timeout_, send_timeout_, receive_timeout_)) {
    return HttpErrorOpen;
  }
  return HttpErrorNone;
}

int CWinHttp::OpenRequest(const wchar_t* url, int method, const wchar_t* extra_headers,
                          const char* body) {
  if (OpenRoot() != HttpErrorNone) return HttpErrorOpen;

  std::wstring host;
  std::wstring target;
  unsigned short port = 0;
  SplitUrl(std::wstring(url), host, port, target);
  // Port 0 would make WinHTTP pick the scheme's default port: another server.
  if (port == 0) return HttpErrorConnect;
  // An https URL gets TLS on whatever port it names; port 443 gets it even
  // when the URL says http.
  secure_ = port == INTERNET_DEFAULT_HTTPS_PORT || HasHttpsScheme(std::wstring(url));

  connection_.Reset(WinHttpConnect(root_.Get(), host.c_str(), port, 0));
  if (!connection_) return HttpErrorConnect;
  request_.Reset(WinHttpOpenRequest(connection_.Get(), method ? L"POST" : L"GET", target.c_str(),
                                    nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                    secure_ ? WINHTTP_FLAG_SECURE : 0));
  if (!request_) return HttpErrorOpen;

  if (secure_) {
    DWORD flags = kSecurityFlags;
    if (!WinHttpSetOption(request_.Get(), WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof(flags))) {
      // Bit 0 only describes a secure connection and may be refused in a
      // set; the checks are relaxed without it.
      flags &= ~static_cast<DWORD>(SECURITY_FLAG_SECURE);
      WinHttpSetOption(request_.Get(), WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof(flags));
    }
  }
  DWORD max_redirects = kMaxRedirects;
  WinHttpSetOption(request_.Get(), WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &max_redirects,
                   sizeof(max_redirects));

  const std::wstring lines = Widen(request_headers_.BuildHeaderLines());
  WinHttpAddRequestHeaders(request_.Get(), lines.c_str(), static_cast<DWORD>(lines.size()),
                           kAddHeaderFlags);

  const bool has_headers = extra_headers && *extra_headers;
  const DWORD body_length = body ? static_cast<DWORD>(std::strlen(body)) : 0;
  if (!WinHttpSendRequest(request_.Get(),
                          has_headers ? extra_headers : WINHTTP_NO_ADDITIONAL_HEADERS,
                          has_headers ? static_cast<DWORD>(-1) : 0,
                          body_length ? const_cast<char*>(body) : WINHTTP_NO_REQUEST_DATA,
                          body_length, body_length, 0)) {
    return HttpErrorSend;
  }
  // Also fails when the redirections do not end within kMaxRedirects.
  if (!WinHttpReceiveResponse(request_.Get(), nullptr)) return HttpErrorOpen;
  status_code_ = QueryStatus();
  return HttpErrorNone;
}

int CWinHttp::QueryStatus() {
  std::wstring text;
  return QueryField(request_.Get(), WINHTTP_QUERY_STATUS_CODE, text)
             ? static_cast<int>(std::wcstoul(text.c_str(), nullptr, 10))
             : 0;
}

bool CWinHttp::QueryLength(std::int64_t& length) {
  std::wstring text;
  return QueryField(request_.Get(), WINHTTP_QUERY_CONTENT_LENGTH, text) &&
         ParseContentLength(text, length);
}

double CWinHttp::QueryContentLength(const wchar_t* url) {
  if (!url || !*url) {
    Fail(HttpErrorEmptyUrl);
    return 0;
  }
  const int error = OpenRequest(url, HttpGet, nullptr, nullptr);
  if (error != HttpErrorNone) {
    Fail(error);
    return 0;
  }
  std::int64_t length = 0;
  if (!QueryLength(length)) {
    Fail(HttpErrorQueryHeader);
    return 0;
  }
  return static_cast<double>(length);
}

bool CWinHttp::DownloadToFile(const wchar_t* url, const wchar_t* path) {
  int error = !url || !*url ? HttpErrorEmptyUrl : OpenRequest(url, HttpGet, nullptr, nullptr);
  if (error == HttpErrorNone && status_code_ == HTTP_STATUS_NOT_FOUND) error = HttpErrorNotFound;
  std::int64_t total = 0;
  if (error == HttpErrorNone && !QueryLength(total)) error = HttpErrorQueryHeader;
  nbase::ScopedHandle file;
  if (error == HttpErrorNone) {
    if (path && *path) {
      file.Reset(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    if (!file) error = HttpErrorCreateFile;
  }
  if (error != HttpErrorNone) {
    Fail(error);
    return false;
  }

  // The announced length is given to the file at once, so the disk space is
  // taken before the data arrives.
  LARGE_INTEGER offset;
  offset.QuadPart = total;
  if (SetFilePointerEx(file.Get(), offset, nullptr, FILE_BEGIN)) SetEndOfFile(file.Get());
  offset.QuadPart = 0;
  SetFilePointerEx(file.Get(), offset, nullptr, FILE_BEGIN);

  const bool complete = ReceiveToFile(file.Get(), total);
  file.Reset();
  if (!complete) DeleteFileW(path);
  return complete;
}

bool CWinHttp::ReceiveToFile(void* file, std::int64_t total) {
  std::vector<char> block(kBlockSize);
  std::int64_t received = 0;
  DWORD available = 0;
  if (!WinHttpQueryDataAvailable(request_.Get(), &available)) return false;
  while (available > 0) {
    if (available > block.size()) block.resize(available);
    DWORD read = 0;
    if (!WinHttpReadData(request_.Get(), block.data(), available, &read)) return false;
    if (read == 0) break;
    if (!WriteBlock(file, block.data(), read)) return false;
    received += read;
    Report(TransferRunning, static_cast<double>(total), static_cast<double>(received));
    if (!WinHttpQueryDataAvailable(request_.Get(), &available)) return false;
  }
  // WinHTTP may take a connection that ended early for the end of the data:
  // complete means every announced byte arrived.
  return received == total;
}

bool CWinHttp::DownloadToBuffer(const wchar_t* url, void** data, int* size) {
  const int error = ReceiveToBuffer(url, data, size);
  if (error == HttpErrorNone) return true;
  Fail(error);
  return false;
}

int CWinHttp::ReceiveToBuffer(const wchar_t* url, void** data, int* size) {
  if (!data || !size) return HttpErrorBadArgument;
  *data = nullptr;
  *size = 0;
  if (!url || !*url) return HttpErrorEmptyUrl;
  if (OpenRequest(url, HttpGet, nullptr, nullptr) != HttpErrorNone) return HttpErrorOpen;
  if (status_code_ == HTTP_STATUS_NOT_FOUND) return HttpErrorNotFound;
  std::int64_t total = 0;
  if (!QueryLength(total)) return HttpErrorQueryHeader;
  DWORD available = 0;
  if (!WinHttpQueryDataAvailable(request_.Get(), &available)) return HttpErrorQueryHeader;
  if (total > kMaxBufferDownload) return HttpErrorTooLarge;

  std::unique_ptr<char, FreeBlock> buffer(
      static_cast<char*>(std::malloc(total ? static_cast<size_t>(total) : 1)));
  if (!buffer) return HttpErrorTooLarge;
  std::int64_t received = 0;
  while (available > 0) {
    // Every read fits the space left; more data than announced is refused.
    if (available > total - received) return HttpErrorTooLarge;
    DWORD read = 0;
    if (!WinHttpReadData(request_.Get(), buffer.get() + received, available, &read)) {
      return HttpErrorRead;
    }
    if (read == 0) break;
    received += read;
    if (!WinHttpQueryDataAvailable(request_.Get(), &available)) return HttpErrorRead;
  }
  if (received != total) return HttpErrorRead;
  *data = buffer.release();
  *size = static_cast<int>(total);
  return HttpErrorNone;
}

bool CWinHttp::ReceiveAll(std::string& body) {
  std::vector<char> block(kBlockSize);
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request_.Get(), &available)) return false;
    if (available == 0) return true;
    if (available > block.size()) block.resize(available);
    DWORD read = 0;
    if (!WinHttpReadData(request_.Get(), block.data(), available, &read)) return false;
    if (read == 0) return true;
    body.append(block.data(), read);
  }
}

std::string CWinHttp::Fetch(const wchar_t* url, int method, const char* body,
                            const wchar_t* extraHeaders) {
  if (!url || !*url) {
    Fail(HttpErrorBadArgument);
    return std::string();
  }
  int error = OpenRequest(url, method, extraHeaders, body);
  if (error == HttpErrorNone && status_code_ == HTTP_STATUS_NOT_FOUND) error = HttpErrorNotFound;
  std::string result;
  if (error == HttpErrorNone && !ReceiveAll(result)) error = HttpErrorRead;
  // WinHTTP may take a connection that ended early for the end of the data:
  // an announced length tells the difference.
  std::int64_t announced = 0;
  if (error == HttpErrorNone && QueryLength(announced) &&
      static_cast<std::int64_t>(result.size()) != announced) {
    error = HttpErrorRead;
  }
  if (error == HttpErrorNone) return result;
  Fail(error);
  return std::string();
}

std::string CWinHttp::Fetch(const char* url, int method, const char* body,
                            const char* extraHeaders) {
  const std::wstring wide_url = url ? Widen(url) : std::wstring();
  const std::wstring wide_headers = extraHeaders ? Widen(extraHeaders) : std::wstring();
  return Fetch(wide_url.c_str(), method, body, wide_headers.c_str());
}
