#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

#include "installer/HttpClient/http_header.h"
#include "installer/HttpClient/http_interface.h"
#include "installer/HttpClient/internet_handle.h"

struct WininetHandleTraits {
  static void Close(HINTERNET handle) { InternetCloseHandle(handle); }
};
using WininetHandle = ScopedInternetHandle<WininetHandleTraits>;

// The client the installer uses for all its traffic, on the Windows Internet
// functions: they bring TLS, the system's proxy settings and redirections.
// Every operation opens a new root handle; the last request's handles stay
// open until the next operation or Release().
//
// Only status 404 counts as a failure: the body of a 200, 206, 416 or 500 is
// delivered like any other and StatusCode() tells which it was.
class CWininetHttp : public IWininetHttp {
 public:
  CWininetHttp() = default;
  CWininetHttp(const CWininetHttp&) = delete;
  CWininetHttp& operator=(const CWininetHttp&) = delete;

  void SetProgressSink(IHttpCallback* callback, void* parameter) override;
  // Sends a full GET and reads only the response head.
  double QueryContentLength(const wchar_t* url) override;
  // Needs a Content-Length and succeeds when exactly that many bytes were
  // stored. A failed transfer leaves what it had written in the file.
  bool DownloadToFile(const wchar_t* url, const wchar_t* path) override;
  bool DownloadToBuffer(const wchar_t* url, void** data, int* size) override;
  void Release() override;
  int LastError() override;
  void SetRequestHeader(const char* name, const char* value) override;
  int StatusCode() override;
  // On failure: the body text read before the failure.
  std::string Fetch(const wchar_t* url, int method, const char* body,
                    const wchar_t* extraHeaders) override;
  std::string Fetch(const char* url, int method, const char* body,
                    const char* extraHeaders) override;

  // A field of the last response (for example "Content-Range", which tells a
  // caller whether a 206 answers the range it asked for); empty when absent.
  // Not part of the interfaces: callers that need it hold a client of type
  // HttpClientWininet, which is always a CWininetHttp.
  std::string ResponseHeader(const char* name);

 protected:
  virtual ~CWininetHttp();

 private:
  // Opens root, connection and request for the URL, sends the request and
  // reads the status. Returns HttpErrorNone or the failure's code.
  template <typename Char>
  int OpenRequest(const std::basic_string<Char>& url, int method, const Char* extra_headers,
                  const char* body);
  void CloseHandles();
  void QueryStatusCode();
  int QueryDeclaredLength(std::int64_t& length, DWORD buffer_size);
  // The operations' bodies: HttpErrorNone or the failure's code.
  int ReceiveToFile(const wchar_t* url, const wchar_t* path);
  int ReceiveToBuffer(const wchar_t* url, void** data, int* size);
  template <typename Char>
  std::string FetchBody(const Char* url, int method, const char* body, const Char* extra_headers);

  void Fail(int error) { last_error_ = error; }
  void Report(int state, double total, double done);

  int status_code_ = 0;
  bool secure_ = false;
  // Closed in reverse order: request, connection, root.
  WininetHandle root_;
  WininetHandle connection_;
  WininetHandle request_;
  CHttpHeader request_headers_;
  void* callback_parameter_ = nullptr;
  IHttpCallback* callback_ = nullptr;
  int last_error_ = HttpErrorNone;
};
