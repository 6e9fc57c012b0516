#include "installer/HttpClient/http_header.h"

#include <climits>
#include <cstddef>

namespace {

const char kUserAgent[] =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/80.0.4044.92 Safari/537.36";

// The number formed by the digits at the start of the text; 0 when there are
// none or when they do not fit below `limit`.
template <typename String>
std::uint64_t LeadingNumber(const String& text, std::uint64_t limit) {
  std::uint64_t value = 0;
  for (auto c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > limit) return 0;
  }
  return value;
}

template <typename String>
void SplitUrlImpl(const String& url, String& host, unsigned short& port, String& target) {
  using Char = typename String::value_type;
  static const Char kHttp[] = {'h', 't', 't', 'p', ':', '/', '/', 0};
  static const Char kHttps[] = {'h', 't', 't', 'p', 's', ':', '/', '/', 0};

  port = 80;
  String rest = url;
  if (url.compare(0, 7, kHttp) == 0) {
    rest = url.substr(7);
  } else if (url.compare(0, 8, kHttps) == 0) {
    port = 443;
    rest = url.substr(8);
  }

  const size_t slash = rest.find(Char('/'));
  host = rest.substr(0, slash);
  target = slash == String::npos ? String(1, Char('/')) : rest.substr(slash);

  const size_t colon = host.find(Char(':'));
  if (colon != String::npos) {
    port = static_cast<unsigned short>(LeadingNumber(host.substr(colon + 1), 65535));
    host.erase(colon);
  }
}

template <typename String>
bool HasHttpsSchemeImpl(const String& url) {
  using Char = typename String::value_type;
  static const Char kHttps[] = {'h', 't', 't', 'p', 's', ':', '/', '/', 0};
  return url.compare(0, 8, kHttps) == 0;
}

template <typename String>
bool ParseContentLengthImpl(const String& text, std::int64_t& length) {
  auto is_blank = [](auto c) { return c == ' ' || c == '\t'; };
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && is_blank(text[begin])) ++begin;
  while (end > begin && is_blank(text[end - 1])) --end;
  if (begin == end) return false;

  std::uint64_t value = 0;
  for (size_t i = begin; i < end; ++i) {
    const auto c = text[i];
    if (c < '0' || c > '9') return false;
    const unsigned digit = static_cast<unsigned>(c - '0');
    if (value > (static_cast<std::uint64_t>(INT64_MAX) - digit) / 10) return false;
    value = value * 10 + digit;
  }
  length = static_cast<std::int64_t>(value);
  return true;
}

}  // namespace

CHttpHeader::CHttpHeader(const std::string& response_head) { ParseResponse(response_head); }

void CHttpHeader::SetHeader(const std::string& name, const std::string& value) {
  if (name.empty() || value.empty()) return;
  fields_.emplace(name, value);  // keeps the first value of a name
}

void CHttpHeader::SetHost(const std::string& host) { SetHeader("Host", host); }

std::string CHttpHeader::GetHeader(const std::string& name) const {
  const auto it = fields_.find(name);
  return it == fields_.end() ? std::string() : it->second;
}

void CHttpHeader::SetRequestTarget(const std::string& target) { request_target_ = target; }

void CHttpHeader::AddDefaultFields() {
  SetHeader("User-Agent", kUserAgent);
  SetHeader("Accept", "*/*");
  SetHeader("Connection", "Keep-Alive");
  SetHeader("Accept-Language", "zh-CN,zh;q=0.9");
}

std::string CHttpHeader::BuildHeaderLines() {
  AddDefaultFields();
  std::string lines;
  for (const auto& field : fields_) {
    lines += field.first;
    lines += ": ";
    lines += field.second;
    lines += "\r\n";
  }
  return lines;
}

std::string CHttpHeader::BuildRequest(int method) {
  if (protocol_version_.empty()) protocol_version_ = "HTTP/1.1";
  std::string head = method == 1 ? "POST " : "GET ";
  head += request_target_;
  head += ' ';
  head += protocol_version_;
  head += "\r\n";
  head += BuildHeaderLines();
  head += "\r\n";
  return head;
}

bool CHttpHeader::ParseResponse(const std::string& text) {
  size_t begin = 0;
  bool first_line = true;
  for (;;) {
    const size_t end = text.find("\r\n", begin);
    const std::string line = text.substr(begin, end == std::string::npos ? end : end - begin);
    if (first_line) {
      ParseStatusLine(line);
      first_line = false;
    } else {
      // A line without ": " (an empty one included) carries no field.
      const size_t separator = line.find(": ");
      if (separator != std::string::npos) {
        SetHeader(line.substr(0, separator), line.substr(separator + 2));
      }
    }
    if (end == std::string::npos) break;
    begin = end + 2;
  }
  return true;
}

void CHttpHeader::ParseStatusLine(const std::string& line) {
  protocol_version_ = line.substr(0, 8);
  const size_t first_space = line.find(' ');
  if (first_space == std::string::npos) {
    status_code_ = 0;
    reason_phrase_ = line;
    return;
  }
  const size_t second_space = line.find(' ', first_space + 1);
  const std::string code = second_space == std::string::npos
                               ? line.substr(first_space + 1)
                               : line.substr(first_space + 1, second_space - first_space - 1);
  status_code_ = static_cast<int>(LeadingNumber(code, INT_MAX));
  reason_phrase_ = second_space == std::string::npos ? line : line.substr(second_space + 1);
}

void SplitUrl(const std::wstring& url, std::wstring& host, unsigned short& port,
              std::wstring& target) {
  SplitUrlImpl(url, host, port, target);
}

void SplitUrl(const std::string& url, std::string& host, unsigned short& port,
              std::string& target) {
  SplitUrlImpl(url, host, port, target);
}

bool HasHttpsScheme(const std::wstring& url) { return HasHttpsSchemeImpl(url); }
bool HasHttpsScheme(const std::string& url) { return HasHttpsSchemeImpl(url); }

bool ParseContentLength(const std::string& text, std::int64_t& length) {
  return ParseContentLengthImpl(text, length);
}

bool ParseContentLength(const std::wstring& text, std::int64_t& length) {
  return ParseContentLengthImpl(text, length);
}
