#include <new>

#include "installer/HttpClient/http_interface.h"
#include "installer/HttpClient/http_socket.h"
#include "installer/HttpClient/win_http.h"
#include "installer/HttpClient/wininet_http.h"

bool CreateHttpClient(IHttpBase** out, int type) {
  if (!out) return false;
  *out = nullptr;
  switch (type) {
    case HttpClientSocket:
      *out = new (std::nothrow) CHttpSocket();
      break;
    case HttpClientWininet:
      *out = new (std::nothrow) CWininetHttp();
      break;
    case HttpClientWinHttp:
      *out = new (std::nothrow) CWinHttp();
      break;
    default:
      break;
  }
  return *out != nullptr;
}

ScopedHttpClient MakeHttpClient(int type) {
  IHttpBase* client = nullptr;
  CreateHttpClient(&client, type);
  return ScopedHttpClient(client);
}
