#pragma once

#include <memory>
#include <string>

// Three interchangeable synchronous HTTP/1.1 clients behind one interface.
// Every operation blocks until its transfer has ended, reports success through
// its result and records the reason for a failure (an HttpInterfaceError) that
// LastError() returns. A client serves one thread at a time; every caller
// creates its own with CreateHttpClient and ends its life with Release().

enum HttpClientType {
  HttpClientSocket = 0,
  HttpClientWininet = 1,
  HttpClientWinHttp = 2,
};

// Fetch sends POST for any nonzero method.
enum HttpMethod {
  HttpGet = 0,
  HttpPost = 1,
};

// The state handed to IHttpCallback::OnTransferProgress.
enum TransferState {
  TransferRunning = 0,   // a block arrived
  TransferFailed = 1,    // the transfer ended with an error
  TransferFinished = 2,  // all announced bytes arrived
};

// Failure codes recorded by the clients. A code is written only when an
// operation fails and is never cleared by a later success.
enum HttpInterfaceError {
  HttpErrorNone = 0,
  HttpErrorOpen = 1,
  HttpErrorConnect = 2,
  HttpErrorSend = 3,
  HttpErrorQueryHeader = 4,
  HttpErrorNotFound = 5,
  HttpErrorEmptyUrl = 6,
  HttpErrorCreateFile = 7,
  HttpErrorRead = 8,
  HttpErrorResolve = 9,
  HttpErrorSocket = 10,
  HttpErrorCancelled = 11,
  HttpErrorTooLarge = 12,
  HttpErrorBadResponse = 13,
  HttpErrorBadArgument = 14,
  HttpErrorWriteFile = 15,
};

// Largest body DownloadToBuffer accepts.
constexpr int kMaxBufferDownload = 8 * 1024 * 1024;

// Receives the progress of long transfers. Calls come on the thread that runs
// the transfer, so one sink shared by several clients sees concurrent calls.
class IHttpCallback {
 public:
  // total: the byte count the response announced; done: the bytes stored so
  // far. After a failure: TransferFailed with 0 and 0.
  virtual void OnTransferProgress(void* parameter, int state, double total, double done) = 0;
  // Asked before every receive by the socket client's file download; true
  // cancels the transfer.
  virtual bool ShouldStop() = 0;

 protected:
  ~IHttpCallback() = default;
};

class IHttpBase {
 public:
  // The parameter is handed back unchanged in every callback call; a null
  // callback disables reporting.
  virtual void SetProgressSink(IHttpCallback* callback, void* parameter) = 0;
  // The Content-Length announced for a GET of the URL; 0 when unavailable.
  virtual double QueryContentLength(const wchar_t* url) = 0;
  // GETs the URL into the file at path, replacing any file there.
  virtual bool DownloadToFile(const wchar_t* url, const wchar_t* path) = 0;
  // GETs the URL (at most kMaxBufferDownload bytes) into a block the caller
  // releases with free().
  virtual bool DownloadToBuffer(const wchar_t* url, void** data, int* size) = 0;
  // Closes whatever the client still holds and destroys it.
  virtual void Release() = 0;
  virtual int LastError() = 0;
  // Adds a field to every later request of this client. Ignored when either
  // text is null or empty; a name already present keeps its first value.
  virtual void SetRequestHeader(const char* name, const char* value) = 0;
  // Status of the last response parsed; 0 before any.
  virtual int StatusCode() = 0;

 protected:
  // Clients are destroyed only through Release().
  ~IHttpBase() = default;
};

class ISocketHttp : public IHttpBase {
 public:
  // Dotted IPv4 address of the last server connected to; empty before any.
  virtual const wchar_t* ResolvedAddress() = 0;

 protected:
  ~ISocketHttp() = default;
};

class IWininetHttp : public IHttpBase {
 public:
  // Sends GET or POST (see HttpMethod) with the optional body (up to its
  // terminating zero) and extra header text; returns the response body.
  virtual std::string Fetch(const wchar_t* url, int method, const char* body,
                            const wchar_t* extraHeaders) = 0;
  // The same with a URL and header text in the system code page.
  virtual std::string Fetch(const char* url, int method, const char* body,
                            const char* extraHeaders) = 0;

 protected:
  ~IWininetHttp() = default;
};

class IWinHttp : public IWininetHttp {
 public:
  // Applied when the next root handle is opened.
  virtual void SetTimeouts(int connectMs, int sendMs, int receiveMs) = 0;

 protected:
  ~IWinHttp() = default;
};

// Creates the client of the given HttpClientType and stores it in *out. False,
// with null stored, for a type without a client or a failed allocation.
bool CreateHttpClient(IHttpBase** out, int type);

// Owns a client and releases it when the scope ends.
struct HttpClientRelease {
  void operator()(IHttpBase* client) const {
    if (client) client->Release();
  }
};
using ScopedHttpClient = std::unique_ptr<IHttpBase, HttpClientRelease>;

// CreateHttpClient into a ScopedHttpClient; empty when no client was created.
ScopedHttpClient MakeHttpClient(int type);
