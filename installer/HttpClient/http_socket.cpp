#include "installer/HttpClient/http_socket.h"

// Winsock headers before <windows.h>, which would otherwise bring the old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "nbase/scoped_handle.h"

namespace {

const int kBlockSize = 4096;
// A redirection's body is read and dropped to keep the connection for the next
// request; a longer one costs less as a new connection.
const std::int64_t kMaxSkippedBody = 64 * 1024;

// Internal outcome of a failure that records no error code: the server ended
// the connection before the response was complete, or redirected to a URL that
// this client refuses (https).
const int kEndedWithoutCode = -1;

bool StartWindowsSockets() {
  // Once per process, on whichever thread gets here first, and never cleaned
  // up: clients on threads that nobody waits for may still hold sockets while
  // the process ends.
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

SOCKET AsSocket(std::uintptr_t value) { return static_cast<SOCKET>(value); }

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string narrow(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), length, &narrow[0], size, nullptr, nullptr);
  return narrow;
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool ContainsIgnoringCase(std::string text, const char* word) {
  for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text.find(word) != std::string::npos;
}

// The target a relative Location names, seen from the current target.
std::string ResolveTarget(const std::string& current, const std::string& location) {
  if (location[0] == '/') return location;
  std::string folder = current.substr(0, current.find('?'));
  folder.erase(folder.rfind('/') + 1);  // a target always starts with "/"
  return folder + location;
}

// Whether the connection can carry the request that follows this response:
// the server keeps it and says where the body ends.
bool ConnectionReusable(const CHttpHeader& response, std::int64_t& body_length) {
  return response.ProtocolVersion() == "HTTP/1.1" &&
         !ContainsIgnoringCase(response.GetHeader("Connection"), "close") &&
         response.GetHeader("Transfer-Encoding").empty() &&
         ParseContentLength(response.GetHeader("Content-Length"), body_length) &&
         body_length <= kMaxSkippedBody;
}

bool WriteBlock(HANDLE file, const char* bytes, size_t count) {
  DWORD written = 0;
  return WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr) && written == count;
}

struct FreeBlock {
  void operator()(void* block) const { std::free(block); }
};

struct FreeAddressInfo {
  void operator()(addrinfo* info) const { freeaddrinfo(info); }
};

}  // namespace

void ScopedSocket::Reset(std::uintptr_t socket) {
  if (socket_ != kInvalid) closesocket(AsSocket(socket_));
  socket_ = socket;
}

void CHttpSocket::SetProgressSink(IHttpCallback* callback, void* parameter) {
  callback_ = callback;
  callback_parameter_ = parameter;
}

double CHttpSocket::QueryContentLength(const wchar_t*) { return 0; }

void CHttpSocket::Release() {
  socket_.Reset();
  delete this;
}

int CHttpSocket::LastError() { return last_error_; }

int CHttpSocket::StatusCode() { return status_code_; }

const wchar_t* CHttpSocket::ResolvedAddress() { return resolved_address_.c_str(); }

void CHttpSocket::SetRequestHeader(const char* name, const char* value) {
  if (!name || !value) return;
  request_headers_.SetHeader(name, value);
}

void CHttpSocket::Report(int state, double total, double done) {
  if (callback_) callback_->OnTransferProgress(callback_parameter_, state, total, done);
}

bool CHttpSocket::ToEndpoint(const wchar_t* url, Endpoint& endpoint) {
  std::wstring host;
  std::wstring target;
  unsigned short port = 0;
  SplitUrl(std::wstring(url), host, port, target);
  // No TLS here: sending an https request in clear text is never right.
  if (port == 443 || HasHttpsScheme(std::wstring(url))) return false;
  endpoint.host = Narrow(host);
  endpoint.port = port;
  endpoint.target = Narrow(target);
  return true;
}

bool CHttpSocket::DownloadToFile(const wchar_t* url, const wchar_t* path) {
  if (!url || !*url) {
    last_error_ = HttpErrorEmptyUrl;
    return false;
  }
  Endpoint start;
  if (!ToEndpoint(url, start)) return false;
  if (!path || !*path) {
    last_error_ = HttpErrorCreateFile;
    return false;
  }
  bool connected = false;
  const int result = ReceiveToFile(start, path, connected);
  if (result == HttpErrorNone) return true;
  if (result != kEndedWithoutCode) last_error_ = result;
  // Resolving and connecting the first time are not reported: no transfer began.
  if (connected) Report(TransferFailed, 0, 0);
  DeleteFileW(path);
  return false;
}

int CHttpSocket::ReceiveToFile(const Endpoint& start, const wchar_t* path, bool& connected) {
  CHttpHeader response;
  std::string pending;
  int error = OpenResponse(start, true, HttpErrorNone, response, pending, connected);
  if (error != HttpErrorNone) return error;

  // Without a Content-Length the body ends with the connection. A transfer
  // coding (chunked) would store its framing as content: refused.
  if (!response.GetHeader("Transfer-Encoding").empty()) return HttpErrorBadResponse;
  const std::string length_text = response.GetHeader("Content-Length");
  const bool announced = !length_text.empty();
  std::int64_t total = 0;
  if (announced && !ParseContentLength(length_text, total)) return HttpErrorBadResponse;

  nbase::ScopedHandle file(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return HttpErrorCreateFile;

  std::int64_t received = 0;
  if (!pending.empty()) {
    // Bytes beyond the announced length are no part of this body.
    size_t count = pending.size();
    if (announced && static_cast<std::int64_t>(count) > total) count = static_cast<size_t>(total);
    if (!WriteBlock(file.Get(), pending.data(), count)) return HttpErrorWriteFile;
    received += static_cast<std::int64_t>(count);
    Report(TransferRunning, static_cast<double>(total), static_cast<double>(received));
  }
  char block[kBlockSize];
  while (!announced || received < total) {
    const int capacity =
        announced ? static_cast<int>(std::min<std::int64_t>(kBlockSize, total - received))
                  : kBlockSize;
    int count = 0;
    error = ReceiveBlock(block, capacity, true, count);
    if (error == kEndedWithoutCode && !announced) break;
    if (error != HttpErrorNone) return error;
    if (!WriteBlock(file.Get(), block, static_cast<size_t>(count))) return HttpErrorWriteFile;
    received += count;
    Report(TransferRunning, static_cast<double>(total), static_cast<double>(received));
  }
  file.Reset();
  Report(TransferFinished, static_cast<double>(announced ? total : received),
         static_cast<double>(received));
  return HttpErrorNone;
}

bool CHttpSocket::DownloadToBuffer(const wchar_t* url, void** data, int* size) {
  if (!data || !size) {
    last_error_ = HttpErrorBadArgument;
    return false;
  }
  *data = nullptr;
  *size = 0;
  if (!url || !*url) {
    last_error_ = HttpErrorEmptyUrl;
    return false;
  }
  Endpoint start;
  if (!ToEndpoint(url, start)) return false;
  const int result = ReceiveToBuffer(start, data, size);
  if (result == HttpErrorNone) return true;
  if (result != kEndedWithoutCode) last_error_ = result;
  return false;
}

int CHttpSocket::ReceiveToBuffer(const Endpoint& start, void** data, int* size) {
  CHttpHeader response;
  std::string pending;
  bool connected = false;
  const int error = OpenResponse(start, false, HttpErrorOpen, response, pending, connected);
  if (error != HttpErrorNone) return error;

  if (!response.GetHeader("Transfer-Encoding").empty()) return HttpErrorBadResponse;
  std::int64_t total = 0;
  if (!ParseContentLength(response.GetHeader("Content-Length"), total) || total == 0 ||
      total > kMaxBufferDownload) {
    return HttpErrorTooLarge;
  }
  // The block holds exactly the announced length; more is an unusable answer.
  if (static_cast<std::int64_t>(pending.size()) > total) return HttpErrorTooLarge;
  std::unique_ptr<char, FreeBlock> block(static_cast<char*>(std::malloc(static_cast<size_t>(total))));
  if (!block) return HttpErrorTooLarge;
  std::memcpy(block.get(), pending.data(), pending.size());
  std::int64_t received = static_cast<std::int64_t>(pending.size());
  while (received < total) {
    int count = 0;
    const int capacity = static_cast<int>(std::min<std::int64_t>(kBlockSize, total - received));
    const int result = ReceiveBlock(block.get() + received, capacity, false, count);
    if (result != HttpErrorNone) return result;
    received += count;
  }
  *data = block.release();
  *size = static_cast<int>(total);
  return HttpErrorNone;
}

int CHttpSocket::OpenResponse(const Endpoint& start, bool ask_stop, int connect_error,
                              CHttpHeader& response, std::string& pending, bool& connected) {
  Endpoint endpoint = start;
  bool need_connection = true;
  for (int redirects = 0;; ++redirects) {
    if (need_connection) {
      const int error = Connect(endpoint.host, endpoint.port);
      if (error != HttpErrorNone) return connect_error != HttpErrorNone ? connect_error : error;
      connected = true;
      need_connection = false;
    }
    int error = SendRequest(endpoint);
    if (error != HttpErrorNone) return error;
    pending.clear();
    std::string head;
    error = ReceiveHead(pending, head, ask_stop);
    if (error != HttpErrorNone) return error;
    response = CHttpHeader(head);
    status_code_ = response.StatusCode();

    if (status_code_ == 400) return HttpErrorNotFound;
    std::string location = response.GetHeader("Location");
    if (status_code_ < 301 || status_code_ > 399 || location.empty()) return HttpErrorNone;
    if (redirects == kMaxRedirects) return HttpErrorOpen;

    if (StartsWith(location, "//")) location = "http:" + location;
    if (StartsWith(location, "https://")) return kEndedWithoutCode;
    if (StartsWith(location, "http://")) {
      SplitUrl(location, endpoint.host, endpoint.port, endpoint.target);
      if (endpoint.port == 443) return kEndedWithoutCode;
      need_connection = true;
      continue;
    }
    endpoint.target = ResolveTarget(endpoint.target, location);
    // The same connection carries the next request once this response's body
    // is out of the way; otherwise its bytes would be read as the next head.
    std::int64_t body_length = 0;
    if (!ConnectionReusable(response, body_length)) {
      need_connection = true;
      continue;
    }
    error = SkipBody(body_length, pending, ask_stop);
    if (error != HttpErrorNone) return error;
  }
}

int CHttpSocket::Connect(const std::string& host, unsigned short port) {
  if (!StartWindowsSockets()) return HttpErrorSocket;
  addrinfo hints = {};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) {
    return HttpErrorResolve;
  }
  const std::unique_ptr<addrinfo, FreeAddressInfo> owned(found);
  sockaddr_in address = {};
  std::memcpy(&address, found->ai_addr, sizeof(address));
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&address.sin_addr);
  resolved_address_ = std::to_wstring(bytes[0]) + L"." + std::to_wstring(bytes[1]) + L"." +
                      std::to_wstring(bytes[2]) + L"." + std::to_wstring(bytes[3]);

  socket_.Reset(static_cast<std::uintptr_t>(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)));
  if (!socket_) return HttpErrorSocket;
  const DWORD timeout = kReceiveTimeoutMs;
  setsockopt(AsSocket(socket_.Get()), SOL_SOCKET, SO_RCVTIMEO,
             reinterpret_cast<const char*>(&timeout), sizeof(timeout));
  address.sin_port = htons(port);
  if (port == 0 || connect(AsSocket(socket_.Get()), reinterpret_cast<const sockaddr*>(&address),
                           sizeof(address)) == SOCKET_ERROR) {
    return HttpErrorConnect;
  }
  return HttpErrorNone;
}

int CHttpSocket::SendRequest(const Endpoint& endpoint) {
  CHttpHeader request = request_headers_;
  request.SetHost(endpoint.host);
  request.SetRequestTarget(endpoint.target);
  const std::string head = request.BuildRequest(HttpGet);
  for (size_t sent = 0; sent < head.size();) {
    const int result = send(AsSocket(socket_.Get()), head.data() + sent,
                            static_cast<int>(head.size() - sent), 0);
    if (result == SOCKET_ERROR) return HttpErrorSend;
    sent += static_cast<size_t>(result);
  }
  return HttpErrorNone;
}

int CHttpSocket::ReceiveHead(std::string& pending, std::string& head, bool ask_stop) {
  size_t searched = 0;
  for (;;) {
    const size_t end = pending.find("\r\n\r\n", searched);
    if (end != std::string::npos) {
      if (end + 4 > kMaxHeadSize) return HttpErrorBadResponse;
      head.assign(pending, 0, end);
      pending.erase(0, end + 4);
      return HttpErrorNone;
    }
    if (pending.size() >= kMaxHeadSize) return HttpErrorBadResponse;
    // Servers and proxies split heads anywhere, the final "\r\n\r\n" included.
    searched = pending.size() < 3 ? 0 : pending.size() - 3;
    char block[kBlockSize];
    int count = 0;
    const int error = ReceiveBlock(block, kBlockSize, ask_stop, count);
    if (error != HttpErrorNone) return error;
    pending.append(block, static_cast<size_t>(count));
  }
}

int CHttpSocket::SkipBody(std::int64_t length, std::string& pending, bool ask_stop) {
  std::int64_t left = length - static_cast<std::int64_t>(pending.size());
  pending.clear();
  char block[kBlockSize];
  while (left > 0) {
    int count = 0;
    const int capacity = static_cast<int>(std::min<std::int64_t>(kBlockSize, left));
    const int error = ReceiveBlock(block, capacity, ask_stop, count);
    if (error != HttpErrorNone) return error;
    left -= count;
  }
  return HttpErrorNone;
}

int CHttpSocket::ReceiveBlock(char* buffer, int capacity, bool ask_stop, int& received) {
  received = 0;
  if (ask_stop && callback_ && callback_->ShouldStop()) return HttpErrorCancelled;
  const int result = recv(AsSocket(socket_.Get()), buffer, capacity, 0);
  if (result == SOCKET_ERROR) return HttpErrorSocket;  // a time-out included
  if (result == 0) return kEndedWithoutCode;
  received = result;
  return HttpErrorNone;
}
