#include "installer/HttpClient/http_header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

const char kBrowserAgent[] =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/80.0.4044.92 Safari/537.36";

// --- SplitUrl ----------------------------------------------------------------

struct UrlCase {
  const char* url;
  const char* host;
  unsigned short port;
  const char* target;
  bool https_scheme;
};

const UrlCase kUrlCases[] = {
    // An https URL with a path and a query string.
    {"https://dl.example.com/pkg/full_setup.exe?v=2&lang=en", "dl.example.com", 443,
     "/pkg/full_setup.exe?v=2&lang=en", true},
    // An explicit port with nothing after the host.
    {"http://example.com:8080", "example.com", 8080, "/", false},
    // No scheme, one path segment.
    {"example.com/setup.exe", "example.com", 80, "/setup.exe", false},
    {"http://example.com", "example.com", 80, "/", false},
    {"http://example.com/", "example.com", 80, "/", false},
    // An explicit port replaces 443 too; a port of 443 on http stays 443.
    {"https://localhost:8443/a/b", "localhost", 8443, "/a/b", true},
    {"http://example.com:443/a", "example.com", 443, "/a", false},
    // Leading digits make the port; none, or more than 16 bits, give 0.
    {"http://example.com:8080x/a", "example.com", 8080, "/a", false},
    {"http://example.com:/a", "example.com", 0, "/a", false},
    {"http://example.com:abc/a", "example.com", 0, "/a", false},
    {"http://example.com:65535/a", "example.com", 65535, "/a", false},
    {"http://example.com:65616/a", "example.com", 0, "/a", false},
    // A scheme counts only at the start: one inside the query string of a URL
    // without scheme changes neither the host nor the port.
    {"example.com/go?to=https://other.example.org/x", "example.com", 80,
     "/go?to=https://other.example.org/x", false},
    {"example.com:81/go?to=http://other.example.org/x", "example.com", 81,
     "/go?to=http://other.example.org/x", false},
    // The scheme is matched case-sensitively.
    {"HTTPS://example.com/a", "HTTPS", 0, "//example.com/a", false},
    {"", "", 80, "/", false},
};

class SplitUrlTest : public testing::TestWithParam<UrlCase> {};

TEST_P(SplitUrlTest, NarrowAndWideFormsAgree) {
  const UrlCase& c = GetParam();
  std::string host = "stale";
  std::string target = "stale";
  unsigned short port = 1;
  SplitUrl(std::string(c.url), host, port, target);
  EXPECT_EQ(host, c.host);
  EXPECT_EQ(port, c.port);
  EXPECT_EQ(target, c.target);
  EXPECT_EQ(HasHttpsScheme(std::string(c.url)), c.https_scheme);

  const std::string url(c.url);
  std::wstring wide_host = L"stale";
  std::wstring wide_target = L"stale";
  unsigned short wide_port = 1;
  SplitUrl(std::wstring(url.begin(), url.end()), wide_host, wide_port, wide_target);
  EXPECT_EQ(std::string(wide_host.begin(), wide_host.end()), c.host);
  EXPECT_EQ(wide_port, c.port);
  EXPECT_EQ(std::string(wide_target.begin(), wide_target.end()), c.target);
  EXPECT_EQ(HasHttpsScheme(std::wstring(url.begin(), url.end())), c.https_scheme);
}

INSTANTIATE_TEST_SUITE_P(Urls, SplitUrlTest, testing::ValuesIn(kUrlCases));

// --- Content-Length values -------------------------------------------------------

struct LengthCase {
  const char* text;
  bool valid;
  std::int64_t value;
};

const LengthCase kLengthCases[] = {
    {"0", true, 0},
    {"1048583", true, 1048583},
    // Beyond 32 bits: packages over 2 and 4 GiB.
    {"2147483648", true, 2147483648LL},
    {"5000000000", true, 5000000000LL},
    {"9223372036854775807", true, INT64_MAX},
    {" 42\t", true, 42},
    {"9223372036854775808", false, 0},
    {"99999999999999999999", false, 0},
    {"-1", false, 0},
    {"+5", false, 0},
    {"abc", false, 0},
    {"12abc", false, 0},
    {"12 34", false, 0},
    {"0x10", false, 0},
    {"", false, 0},
    {"  ", false, 0},
};

class ContentLengthTest : public testing::TestWithParam<LengthCase> {};

TEST_P(ContentLengthTest, AcceptsOnlyDigitsThatFitIn64Bits) {
  const LengthCase& c = GetParam();
  const std::string text(c.text);
  std::int64_t value = -7;
  EXPECT_EQ(ParseContentLength(text, value), c.valid) << '"' << text << '"';
  if (c.valid) {
    EXPECT_EQ(value, c.value);
  }

  std::int64_t wide_value = -7;
  EXPECT_EQ(ParseContentLength(std::wstring(text.begin(), text.end()), wide_value), c.valid);
  if (c.valid) {
    EXPECT_EQ(wide_value, c.value);
  }
}

INSTANTIATE_TEST_SUITE_P(Values, ContentLengthTest, testing::ValuesIn(kLengthCases));

// --- Request heads -----------------------------------------------------------------

TEST(HttpHeaderRequestTest, GetHeadListsFieldsInByteOrderAndEndsWithOneEmptyLine) {
  CHttpHeader header;
  header.SetRequestTarget("/pkg/setup.exe?x=1");
  header.SetHeader("Range", "bytes=0-99");
  header.SetHost("dl.example.com");
  EXPECT_EQ(header.BuildRequest(0),
            std::string("GET /pkg/setup.exe?x=1 HTTP/1.1\r\n"
                        "Accept: */*\r\n"
                        "Accept-Language: zh-CN,zh;q=0.9\r\n"
                        "Connection: Keep-Alive\r\n"
                        "Host: dl.example.com\r\n"
                        "Range: bytes=0-99\r\n"
                        "User-Agent: ") +
                kBrowserAgent + "\r\n\r\n");
}

TEST(HttpHeaderRequestTest, MethodOneIsPostAndEveryOtherValueGet) {
  CHttpHeader header;
  header.SetRequestTarget("/collect");
  EXPECT_EQ(header.BuildRequest(1).substr(0, 23), "POST /collect HTTP/1.1\r");
  EXPECT_EQ(header.BuildRequest(2).substr(0, 22), "GET /collect HTTP/1.1\r");
  EXPECT_EQ(header.BuildRequest(-1).substr(0, 22), "GET /collect HTTP/1.1\r");
}

TEST(HttpHeaderRequestTest, FirstValueWinsAndEmptyTextsAreIgnored) {
  CHttpHeader header;
  header.SetHeader("User-Agent", "TestAgent/1.0");
  header.SetHeader("Range", "bytes=0-9");
  header.SetHeader("Range", "bytes=10-19");
  header.SetHeader("Referer", "");
  header.SetHeader("", "value");
  header.SetHost("");
  header.SetHost("first.example.com");
  header.SetHost("second.example.com");

  const std::string lines = header.BuildHeaderLines();
  EXPECT_EQ(lines,
            "Accept: */*\r\n"
            "Accept-Language: zh-CN,zh;q=0.9\r\n"
            "Connection: Keep-Alive\r\n"
            "Host: first.example.com\r\n"
            "Range: bytes=0-9\r\n"
            "User-Agent: TestAgent/1.0\r\n");
  // The defaults now belong to the object and stay for later requests.
  EXPECT_EQ(header.GetHeader("Accept"), "*/*");
  EXPECT_EQ(header.BuildHeaderLines(), lines);
}

// --- Response heads ------------------------------------------------------------------

struct StatusLineCase {
  const char* line;
  const char* version;
  int status;
  const char* reason;
};

const StatusLineCase kStatusLines[] = {
    {"HTTP/1.1 206 Partial Content", "HTTP/1.1", 206, "Partial Content"},
    {"HTTP/1.0 404 Not Found", "HTTP/1.0", 404, "Not Found"},
    {"HTTP/1.1 200 ", "HTTP/1.1", 200, ""},
    // Without a second space the reason phrase is the whole line.
    {"HTTP/1.1 200", "HTTP/1.1", 200, "HTTP/1.1 200"},
    {"HTTP/1.1 abc OK", "HTTP/1.1", 0, "OK"},
    {"HTTP/1.1 3xx Redirect", "HTTP/1.1", 3, "Redirect"},
    {"HTTP/1.1 99999999999 Huge", "HTTP/1.1", 0, "Huge"},
    {"garbage", "garbage", 0, "garbage"},
    {"", "", 0, ""},
};

class StatusLineTest : public testing::TestWithParam<StatusLineCase> {};

TEST_P(StatusLineTest, Parses) {
  const StatusLineCase& c = GetParam();
  CHttpHeader header;
  EXPECT_TRUE(header.ParseResponse(c.line));
  EXPECT_EQ(header.ProtocolVersion(), c.version);
  EXPECT_EQ(header.StatusCode(), c.status);
  EXPECT_EQ(header.ReasonPhrase(), c.reason);
}

INSTANTIATE_TEST_SUITE_P(Lines, StatusLineTest, testing::ValuesIn(kStatusLines));

TEST(HttpHeaderResponseTest, FieldsAreCaseSensitiveExactAndFirstWins) {
  const CHttpHeader header(
      "HTTP/1.1 302 Found\r\n"
      "Content-Length: 0\r\n"
      "Location: http://first.example.com/a\r\n"
      "Location: http://second.example.com/b\r\n"
      "X-Spaced:  two leading, one trailing \r\n"
      "no separator here\r\n"
      "\r\n"
      "X-Last: after an empty line");
  EXPECT_EQ(header.StatusCode(), 302);
  EXPECT_EQ(header.ReasonPhrase(), "Found");
  EXPECT_EQ(header.GetHeader("Content-Length"), "0");
  EXPECT_EQ(header.GetHeader("content-length"), "");
  EXPECT_EQ(header.GetHeader("Location"), "http://first.example.com/a");
  EXPECT_EQ(header.GetHeader("X-Spaced"), " two leading, one trailing ");
  EXPECT_EQ(header.GetHeader("no separator here"), "");
  EXPECT_EQ(header.GetHeader("X-Last"), "after an empty line");
}

}  // namespace
