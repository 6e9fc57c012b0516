#include <new>

#include "installer/HttpClient/http_interface.h"
#include "installer/HttpClient/wininet_http.h"

bool CreateHttpClient(IHttpBase** out, int type) {
  if (!out) return false;
  *out = nullptr;
  switch (type) {
    case HttpClientWininet:
      *out = new (std::nothrow) CWininetHttp();
      break;
    default:
      // The socket and WinHTTP clients are not part of this build yet.
      break;
  }
  return *out != nullptr;
}

ScopedHttpClient MakeHttpClient(int type) {
  IHttpBase* client = nullptr;
  CreateHttpClient(&client, type);
  return ScopedHttpClient(client);
}
