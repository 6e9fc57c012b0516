#pragma once

#include <cstdint>
#include <map>
#include <string>

// The header fields of one HTTP/1.1 message. The clients keep one as their set
// of request headers; the socket client also parses each response head into one.
//
// Field names are compared byte by byte (case-sensitive) and every
// serialisation writes the fields in that order. A name is stored once: the
// first value added wins and nothing replaces or removes it later.
class CHttpHeader {
 public:
  CHttpHeader() = default;
  // Parses a response head (without its closing empty line).
  explicit CHttpHeader(const std::string& response_head);
  virtual ~CHttpHeader() = default;

  // Adds the field when both texts are non-empty and the name is not present yet.
  void SetHeader(const std::string& name, const std::string& value);
  // Adds "Host" (same rules as SetHeader).
  void SetHost(const std::string& host);
  // The stored value, or an empty text when the name is absent.
  std::string GetHeader(const std::string& name) const;
  void SetRequestTarget(const std::string& target);

  // The complete request head: request line ("POST" for method 1, else "GET"),
  // one line per field and the closing empty line. Adds the default fields to
  // this object first.
  std::string BuildRequest(int method);
  // The default fields added, then one "Name: value\r\n" line per field; no
  // request line and no closing empty line. For the add-request-headers calls
  // of the system HTTP libraries.
  std::string BuildHeaderLines();

  // Reads the status line and the fields of a response head. Never fails: a
  // status line without a number gives status 0.
  bool ParseResponse(const std::string& text);

  int StatusCode() const { return status_code_; }
  const std::string& ProtocolVersion() const { return protocol_version_; }
  const std::string& ReasonPhrase() const { return reason_phrase_; }
  const std::string& RequestTarget() const { return request_target_; }

 private:
  void AddDefaultFields();
  void ParseStatusLine(const std::string& line);

  int status_code_ = 0;
  std::string protocol_version_;
  std::string reason_phrase_;
  std::string request_target_;
  std::map<std::string, std::string> fields_;
};

// Cuts a URL into host, port and request target. "http://" or "https://" is
// recognised (case-sensitively) only at the start; https gives port 443, and an
// explicit ":port" after the host replaces 80 and 443 alike. The target keeps
// the query string and is "/" when the URL has no path. A port text that is not
// a number, or one above 65535, gives port 0, which the clients refuse.
void SplitUrl(const std::wstring& url, std::wstring& host, unsigned short& port,
              std::wstring& target);
void SplitUrl(const std::string& url, std::string& host, unsigned short& port,
              std::string& target);

// True when the URL starts with "https://". Such a URL is always fetched over
// TLS, whatever its port.
bool HasHttpsScheme(const std::wstring& url);
bool HasHttpsScheme(const std::string& url);

// Reads a Content-Length value: decimal digits only (blanks around them are
// allowed), at least one, and no larger than the largest signed 64-bit number.
// Anything else ("-1", "abc", "", "12 34", "0x10") is refused.
bool ParseContentLength(const std::string& text, std::int64_t& length);
bool ParseContentLength(const std::wstring& text, std::int64_t& length);
