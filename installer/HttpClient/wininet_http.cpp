#include "installer/HttpClient/wininet_http.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

#include "nbase/scoped_handle.h"

namespace {

const wchar_t kAgent[] = L"Http-connect";
// Always ask the server, never the cache.
const DWORD kPlainRequestFlags = INTERNET_FLAG_RELOAD;
// TLS; a certificate outside its validity dates is still accepted.
const DWORD kSecureRequestFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID;
// Our header lines replace WinINet's own fields of the same name (User-Agent).
const DWORD kAddHeaderFlags = HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE;
const DWORD kBlockSize = 4096;
// File downloads read larger blocks: a 4 KiB read per call made the read and
// write calls, not the network, the limit of a parallel range download.
const DWORD kFileBlockSize = 64 * 1024;
const DWORD kLengthTextSize = 1024;
const DWORD kLengthTextSizeForQuery = 4096;
const DWORD kStatusTextSize = 48;

// The A and W forms of the calls that take text, so that OpenRequest can be
// written once for both Fetch overloads.
HINTERNET Connect(HINTERNET root, const std::wstring& host, INTERNET_PORT port) {
  return InternetConnectW(root, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
}

HINTERNET Connect(HINTERNET root, const std::string& host, INTERNET_PORT port) {
  return InternetConnectA(root, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
}

HINTERNET OpenHttpRequest(HINTERNET connection, int method, const std::wstring& target,
                          DWORD flags) {
  return HttpOpenRequestW(connection, method ? L"POST" : L"GET", target.c_str(), L"HTTP/1.1",
                          nullptr, nullptr, flags, 0);
}

HINTERNET OpenHttpRequest(HINTERNET connection, int method, const std::string& target,
                          DWORD flags) {
  return HttpOpenRequestA(connection, method ? "POST" : "GET", target.c_str(), "HTTP/1.1",
                          nullptr, nullptr, flags, 0);
}

DWORD BodyLength(const char* body) { return body ? static_cast<DWORD>(std::strlen(body)) : 0; }

BOOL SendHttpRequest(HINTERNET request, const wchar_t* headers, const char* body) {
  const DWORD headers_length = headers ? static_cast<DWORD>(std::wcslen(headers)) : 0;
  const DWORD body_length = BodyLength(body);
  return HttpSendRequestW(request, headers_length ? headers : nullptr, headers_length,
                          body_length ? const_cast<char*>(body) : nullptr, body_length);
}

BOOL SendHttpRequest(HINTERNET request, const char* headers, const char* body) {
  const DWORD headers_length = headers ? static_cast<DWORD>(std::strlen(headers)) : 0;
  const DWORD body_length = BodyLength(body);
  return HttpSendRequestA(request, headers_length ? headers : nullptr, headers_length,
                          body_length ? const_cast<char*>(body) : nullptr, body_length);
}

// Creates every missing folder named before a backslash of the path.
void CreateParentFolders(const std::wstring& path) {
  for (size_t pos = path.find(L'\\'); pos != std::wstring::npos;
       pos = path.find(L'\\', pos + 1)) {
    const std::wstring folder = path.substr(0, pos);
    if (!folder.empty() && GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
      CreateDirectoryW(folder.c_str(), nullptr);
    }
  }
}

struct FreeBlock {
  void operator()(void* block) const { std::free(block); }
};

}  // namespace

CWininetHttp::~CWininetHttp() { CloseHandles(); }

void CWininetHttp::SetProgressSink(IHttpCallback* callback, void* parameter) {
  callback_ = callback;
  callback_parameter_ = parameter;
}

void CWininetHttp::Release() {
  CloseHandles();
  delete this;
}

int CWininetHttp::LastError() { return last_error_; }

int CWininetHttp::StatusCode() { return status_code_; }

void CWininetHttp::SetRequestHeader(const char* name, const char* value) {
  if (!name || !value) return;
  request_headers_.SetHeader(name, value);
}

void CWininetHttp::Report(int state, double total, double done) {
  if (callback_) callback_->OnTransferProgress(callback_parameter_, state, total, done);
}

void CWininetHttp::CloseHandles() {
  request_.Reset();
  connection_.Reset();
  root_.Reset();
}

template <typename Char>
int CWininetHttp::OpenRequest(const std::basic_string<Char>& url, int method,
                              const Char* extra_headers, const char* body) {
  CloseHandles();
  root_.Reset(InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!root_) return HttpErrorOpen;

  std::basic_string<Char> host;
  std::basic_string<Char> target;
  unsigned short port = 0;
  SplitUrl(url, host, port, target);
  // Port 0 would make WinINet pick the service's default port: a different
  // server than the URL names.
  if (port == 0) return HttpErrorConnect;
  // An https URL gets TLS on whatever port it names; port 443 gets it even
  // when the URL says http.
  secure_ = port == INTERNET_DEFAULT_HTTPS_PORT || HasHttpsScheme(url);

  connection_.Reset(Connect(root_.Get(), host, port));
  if (!connection_) return HttpErrorConnect;
  request_.Reset(OpenHttpRequest(connection_.Get(), method, target,
                                 secure_ ? kSecureRequestFlags : kPlainRequestFlags));
  if (!request_) return HttpErrorOpen;

  const std::string lines = request_headers_.BuildHeaderLines();
  HttpAddRequestHeadersA(request_.Get(), lines.c_str(), static_cast<DWORD>(lines.size()),
                         kAddHeaderFlags);
  if (!SendHttpRequest(request_.Get(), extra_headers, body)) return HttpErrorSend;

  QueryStatusCode();
  if (status_code_ == HTTP_STATUS_NOT_FOUND) return HttpErrorNotFound;
  return HttpErrorNone;
}

void CWininetHttp::QueryStatusCode() {
  char text[kStatusTextSize] = {};
  DWORD length = sizeof(text) - 1;
  status_code_ = HttpQueryInfoA(request_.Get(), HTTP_QUERY_STATUS_CODE, text, &length, nullptr)
                     ? static_cast<int>(std::strtol(text, nullptr, 10))
                     : 0;
}

int CWininetHttp::QueryDeclaredLength(std::int64_t& length, DWORD buffer_size) {
  std::vector<char> text(buffer_size, '\0');
  DWORD text_length = buffer_size - 1;
  if (!HttpQueryInfoA(request_.Get(), HTTP_QUERY_CONTENT_LENGTH, text.data(), &text_length,
                      nullptr)) {
    return HttpErrorQueryHeader;
  }
  const std::string value(text.data());
  return ParseContentLength(value, length) ? HttpErrorNone : HttpErrorQueryHeader;
}

std::string CWininetHttp::ResponseHeader(const char* name) {
  if (!request_ || !name || !*name) return std::string();
  const size_t name_size = std::strlen(name) + 1;
  DWORD length = 256;
  for (int attempt = 0; attempt < 2; ++attempt) {
    // The query takes the field name in the buffer that receives the value.
    std::vector<char> buffer(length + 1 > name_size ? length + 1 : name_size, '\0');
    std::memcpy(buffer.data(), name, name_size);
    length = static_cast<DWORD>(buffer.size() - 1);
    if (HttpQueryInfoA(request_.Get(), HTTP_QUERY_CUSTOM, buffer.data(), &length, nullptr)) {
      return std::string(buffer.data(), length);
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
  }
  return std::string();
}

double CWininetHttp::QueryContentLength(const wchar_t* url) {
  if (!url || !*url) {
    Fail(HttpErrorEmptyUrl);
    return 0;
  }
  int error = OpenRequest(std::wstring(url), HttpGet, static_cast<const wchar_t*>(nullptr),
                          nullptr);
  std::int64_t length = 0;
  if (error == HttpErrorNone) error = QueryDeclaredLength(length, kLengthTextSizeForQuery);
  if (error != HttpErrorNone) {
    Fail(error);
    return 0;
  }
  return static_cast<double>(length);
}

bool CWininetHttp::DownloadToFile(const wchar_t* url, const wchar_t* path) {
  const int error = ReceiveToFile(url, path);
  if (error == HttpErrorNone) return true;
  Fail(error);
  Report(TransferFailed, 0, 0);
  return false;
}

int CWininetHttp::ReceiveToFile(const wchar_t* url, const wchar_t* path) {
  if (!url || !*url) return HttpErrorEmptyUrl;
  int error = OpenRequest(std::wstring(url), HttpGet, static_cast<const wchar_t*>(nullptr),
                          nullptr);
  if (error != HttpErrorNone) return error;
  std::int64_t total = 0;
  error = QueryDeclaredLength(total, kLengthTextSize);
  if (error != HttpErrorNone) return error;

  if (!path || !*path) return HttpErrorCreateFile;
  CreateParentFolders(path);
  nbase::ScopedHandle file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                       nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return HttpErrorCreateFile;

  const DWORD block_size = total < kFileBlockSize ? static_cast<DWORD>(total) : kFileBlockSize;
  std::vector<char> block(block_size);
  std::int64_t received = 0;
  while (block_size > 0) {
    DWORD read = 0;
    if (!InternetReadFile(request_.Get(), block.data(), block_size, &read) || read == 0) break;
    if (read > block_size) return HttpErrorBadArgument;
    DWORD written = 0;
    if (!WriteFile(file.Get(), block.data(), read, &written, nullptr) || written != read) {
      return HttpErrorWriteFile;
    }
    received += read;
    Report(TransferRunning, static_cast<double>(total), static_cast<double>(received));
  }
  file.Reset();

  if (received != total) return HttpErrorRead;
  Report(TransferFinished, static_cast<double>(total), static_cast<double>(received));
  return HttpErrorNone;
}

bool CWininetHttp::DownloadToBuffer(const wchar_t* url, void** data, int* size) {
  const int error = ReceiveToBuffer(url, data, size);
  if (error == HttpErrorNone) return true;
  Fail(error);
  return false;
}

int CWininetHttp::ReceiveToBuffer(const wchar_t* url, void** data, int* size) {
  if (!data || !size) return HttpErrorBadArgument;
  *data = nullptr;
  *size = 0;
  if (!url || !*url) return HttpErrorEmptyUrl;
  const int error = OpenRequest(std::wstring(url), HttpGet,
                                static_cast<const wchar_t*>(nullptr), nullptr);
  if (error != HttpErrorNone) return error;

  // Without a Content-Length the body may still be read, up to the limit.
  bool announced = true;
  std::int64_t declared = 0;
  size_t capacity = kMaxBufferDownload;
  wchar_t text[kLengthTextSize / sizeof(wchar_t)] = {};
  DWORD text_length = sizeof(text) - sizeof(wchar_t);
  if (!HttpQueryInfoW(request_.Get(), HTTP_QUERY_CONTENT_LENGTH, text, &text_length, nullptr)) {
    if (GetLastError() != ERROR_HTTP_HEADER_NOT_FOUND) return HttpErrorQueryHeader;
    announced = false;
  } else {
    if (!ParseContentLength(std::wstring(text), declared)) return HttpErrorQueryHeader;
    if (declared > kMaxBufferDownload) return HttpErrorTooLarge;
    capacity = static_cast<size_t>(declared);
  }

  std::unique_ptr<char, FreeBlock> buffer(static_cast<char*>(std::malloc(capacity ? capacity : 1)));
  if (!buffer) return HttpErrorTooLarge;
  size_t received = 0;
  // Each read asks for at most the space that is left.
  while (received < capacity) {
    const DWORD wanted = static_cast<DWORD>(capacity - received);
    DWORD read = 0;
    if (!InternetReadFile(request_.Get(), buffer.get() + received, wanted, &read) || read == 0) {
      break;
    }
    if (read > wanted) return HttpErrorBadArgument;
    received += read;
  }

  if (announced && static_cast<std::int64_t>(received) != declared) return HttpErrorRead;
  if (!announced && received == capacity) {
    // A full buffer: the body is too large unless it ends exactly here.
    char probe = 0;
    DWORD read = 0;
    if (InternetReadFile(request_.Get(), &probe, 1, &read) && read > 0) return HttpErrorTooLarge;
  }
  *data = buffer.release();
  *size = static_cast<int>(received);
  return HttpErrorNone;
}

template <typename Char>
std::string CWininetHttp::FetchBody(const Char* url, int method, const char* body,
                                    const Char* extra_headers) {
  if (!url || !*url) {
    Fail(HttpErrorBadArgument);
    return std::string();
  }
  const int error = OpenRequest(std::basic_string<Char>(url), method, extra_headers, body);
  if (error != HttpErrorNone) {
    Fail(error);
    return std::string();
  }
  std::string result;
  char block[kBlockSize];
  for (;;) {
    DWORD read = 0;
    if (!InternetReadFile(request_.Get(), block, kBlockSize, &read) || read == 0) break;
    if (read > kBlockSize) {
      Fail(HttpErrorBadArgument);
      break;
    }
    result.append(block, read);
  }
  return result;
}

std::string CWininetHttp::Fetch(const wchar_t* url, int method, const char* body,
                                const wchar_t* extraHeaders) {
  return FetchBody(url, method, body, extraHeaders);
}

std::string CWininetHttp::Fetch(const char* url, int method, const char* body,
                                const char* extraHeaders) {
  return FetchBody(url, method, body, extraHeaders);
}
