#pragma once

#include <cstdint>
#include <string>

#include "installer/HttpClient/http_header.h"
#include "installer/HttpClient/http_interface.h"
#include "installer/HttpClient/internet_handle.h"

// WinHTTP handles are closed with WinHttpCloseHandle. Defined in win_http.cpp:
// <winhttp.h> and <wininet.h> cannot be included in the same file, and the
// factory includes both clients.
struct WinHttpHandleTraits {
  static void Close(void* handle);
};
using WinHttpHandle = ScopedInternetHandle<WinHttpHandleTraits>;

// The client on the Windows HTTP Services, in synchronous mode: everything the
// WinINet client offers plus settable time-outs. WinHTTP follows redirections
// itself (at most kMaxRedirects). For TLS it relaxes the certificate checks
// (unknown authority, wrong usage, name mismatch, invalid dates).
//
// Every operation opens a new root handle with the current time-outs; the last
// request's handles stay open until the next operation or Release(). Only
// status 404 counts as a failure.
class CWinHttp : public IWinHttp {
 public:
  static constexpr int kMaxRedirects = 10;
  static constexpr int kDefaultTimeoutMs = 5000;

  CWinHttp();
  CWinHttp(const CWinHttp&) = delete;
  CWinHttp& operator=(const CWinHttp&) = delete;

  void SetProgressSink(IHttpCallback* callback, void* parameter) override;
  // Reads only the response head; the status is not examined.
  double QueryContentLength(const wchar_t* url) override;
  // Needs a Content-Length and succeeds when exactly that many bytes were
  // stored. Reports every block written but no end. A failure before the file
  // is created records its code and leaves the path alone; a transfer that
  // breaks off removes the file and records no code.
  bool DownloadToFile(const wchar_t* url, const wchar_t* path) override;
  // Needs a Content-Length up to kMaxBufferDownload.
  bool DownloadToBuffer(const wchar_t* url, void** data, int* size) override;
  void Release() override;
  int LastError() override;
  void SetRequestHeader(const char* name, const char* value) override;
  int StatusCode() override;
  // On failure: empty text.
  std::string Fetch(const wchar_t* url, int method, const char* body,
                    const wchar_t* extraHeaders) override;
  std::string Fetch(const char* url, int method, const char* body,
                    const char* extraHeaders) override;
  // Applied when the next root handle is opened (at the start of the next
  // operation). Name resolution is never limited.
  void SetTimeouts(int connectMs, int sendMs, int receiveMs) override;

 protected:
  virtual ~CWinHttp();

 private:
  // Closes the handles left from before and opens a root handle with the
  // time-outs. HttpErrorNone or HttpErrorOpen.
  int OpenRoot();
  // Opens the root handle, connects, opens and sends the request and receives
  // the response head. HttpErrorNone or the failing step's code.
  int OpenRequest(const wchar_t* url, int method, const wchar_t* extra_headers,
                  const char* body);
  void CloseHandles();
  int QueryStatus();
  bool QueryLength(std::int64_t& length);
  // Stores the body in the file (a HANDLE); true when exactly `total` bytes
  // arrived.
  bool ReceiveToFile(void* file, std::int64_t total);
  // HttpErrorNone or the failure's code.
  int ReceiveToBuffer(const wchar_t* url, void** data, int* size);
  // Reads the body until WinHTTP has no more data; false when reading failed.
  bool ReceiveAll(std::string& body);

  void Fail(int error) { last_error_ = error; }
  void Report(int state, double total, double done);

  int status_code_ = 0;
  bool secure_ = false;
  // Closed in reverse order: request, connection, root.
  WinHttpHandle root_;
  WinHttpHandle connection_;
  WinHttpHandle request_;
  int connect_timeout_ = kDefaultTimeoutMs;
  int send_timeout_ = kDefaultTimeoutMs;
  int receive_timeout_ = kDefaultTimeoutMs;
  CHttpHeader request_headers_;
  void* callback_parameter_ = nullptr;
  IHttpCallback* callback_ = nullptr;
  int last_error_ = HttpErrorNone;
};
