#pragma once

#include <cstdint>
#include <string>

#include "installer/HttpClient/http_header.h"
#include "installer/HttpClient/http_interface.h"

// Owns one Windows Sockets socket and closes it once. The socket is kept as its
// integer value so that this header needs no Winsock header: those must come
// before <windows.h> in every file that includes them.
class ScopedSocket {
 public:
  static constexpr std::uintptr_t kInvalid = ~static_cast<std::uintptr_t>(0);

  ScopedSocket() = default;
  ~ScopedSocket() { Reset(); }
  ScopedSocket(const ScopedSocket&) = delete;
  ScopedSocket& operator=(const ScopedSocket&) = delete;

  std::uintptr_t Get() const { return socket_; }
  explicit operator bool() const { return socket_ != kInvalid; }
  void Reset(std::uintptr_t socket = kInvalid);

 private:
  std::uintptr_t socket_ = kInvalid;
};

// A plain HTTP/1.1 client on blocking TCP sockets: it resolves the host,
// connects, writes a request head built by CHttpHeader and reads the response
// itself. It has no TLS: https URLs and port 443 are refused before any request,
// without an error code or a callback. QueryContentLength is not supported.
//
// Redirections are followed (at most kMaxRedirects); a relative one reuses the
// connection when the server keeps it. Status 400 counts as "not found"; every
// other final status (404 included) has its body stored.
class CHttpSocket : public ISocketHttp {
 public:
  static constexpr int kMaxRedirects = 10;
  // A response head that has not ended within this many bytes is refused.
  static constexpr size_t kMaxHeadSize = 64 * 1024;
  static constexpr int kReceiveTimeoutMs = 10000;

  CHttpSocket() = default;
  CHttpSocket(const CHttpSocket&) = delete;
  CHttpSocket& operator=(const CHttpSocket&) = delete;

  void SetProgressSink(IHttpCallback* callback, void* parameter) override;
  // Always 0; records nothing.
  double QueryContentLength(const wchar_t* url) override;
  // Asks the sink's ShouldStop before every receive. Without a Content-Length
  // the body ends with the connection; a chunked body is refused. A failed
  // transfer leaves no file at the path.
  bool DownloadToFile(const wchar_t* url, const wchar_t* path) override;
  // Needs a Content-Length between 1 and kMaxBufferDownload.
  bool DownloadToBuffer(const wchar_t* url, void** data, int* size) override;
  void Release() override;
  int LastError() override;
  void SetRequestHeader(const char* name, const char* value) override;
  int StatusCode() override;
  const wchar_t* ResolvedAddress() override;

 protected:
  virtual ~CHttpSocket() = default;

 private:
  // Where the next request goes (narrow texts in the system code page).
  struct Endpoint {
    std::string host;
    unsigned short port = 0;
    std::string target;
  };

  // False for a URL this client refuses (https, or port 443).
  static bool ToEndpoint(const wchar_t* url, Endpoint& endpoint);
  // The operations' bodies: HttpErrorNone, an HttpInterfaceError, or one of
  // the internal outcomes of http_socket.cpp.
  int ReceiveToFile(const Endpoint& start, const wchar_t* path, bool& connected);
  int ReceiveToBuffer(const Endpoint& start, void** data, int* size);
  // Connects, sends GET requests and follows redirections until the head of
  // the response to store has arrived; body bytes that came with it are left
  // in `pending`. A failed connect step gives `connect_error` when that is not
  // HttpErrorNone.
  int OpenResponse(const Endpoint& start, bool ask_stop, int connect_error,
                   CHttpHeader& response, std::string& pending, bool& connected);
  int Connect(const std::string& host, unsigned short port);
  int SendRequest(const Endpoint& endpoint);
  // Receives until the empty line that ends a response head; `pending` holds
  // bytes received before and keeps what follows the head.
  int ReceiveHead(std::string& pending, std::string& head, bool ask_stop);
  // Receives and drops the rest of a body of `length` bytes.
  int SkipBody(std::int64_t length, std::string& pending, bool ask_stop);
  // One receive of at most `capacity` bytes into `buffer`.
  int ReceiveBlock(char* buffer, int capacity, bool ask_stop, int& received);
  void Report(int state, double total, double done);

  int status_code_ = 0;
  ScopedSocket socket_;
  std::wstring resolved_address_;
  // The caller's fields. Each request adds the Host of its own connection to
  // a copy, so that a redirection to another host names that host.
  CHttpHeader request_headers_;
  void* callback_parameter_ = nullptr;
  IHttpCallback* callback_ = nullptr;
  int last_error_ = HttpErrorNone;
};
