// The WinHTTP client against real peers: nginx (HTTP, HTTPS) and the fault
// server (tests/e2e/servers).
#include "installer/HttpClient/win_http.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "installer/HttpClient/http_interface.h"
#include "tests/installer/HttpClient/http_test_support.h"

namespace {

using namespace http_test;

// Long enough for any answer on the loopback, short enough for a test that
// waits for the time-out on purpose.
const int kShortReceiveTimeoutMs = 1000;

class WinHttpTest : public ServerTest {
 protected:
  static ScopedHttpClient NewClient(bool short_timeout = false) {
    ScopedHttpClient client = MakeHttpClient(HttpClientWinHttp);
    EXPECT_NE(client, nullptr);
    if (client && short_timeout) {
      AsWinHttp(client)->SetTimeouts(5000, 5000, kShortReceiveTimeoutMs);
    }
    return client;
  }

  static IWinHttp* AsWinHttp(const ScopedHttpClient& client) {
    return static_cast<IWinHttp*>(client.get());
  }
};

// --- QueryContentLength --------------------------------------------------------------

struct LengthCase {
  const char* name;
  const wchar_t* url;
  double length;
  int error;
};

const LengthCase kLengthCases[] = {
    {"Whole", L"{http}/data-1m.bin", 1048583, HttpErrorNone},
    {"AfterRedirect", L"{fault}/redirect/302?to=/ok/data-8m.bin", 8388608, HttpErrorNone},
    // The status is not examined: a 404's own body length is reported.
    {"NotFound", L"{fault}/status/404", 11, HttpErrorNone},
    {"NoLength", L"{fault}/no-length/hello.txt", 0, HttpErrorQueryHeader},
    {"Negative", L"{fault}/length/-1/hello.txt", 0, HttpErrorQueryHeader},
    {"RedirectLoop", L"{fault}/redirect-loop/winhttp-length", 0, HttpErrorOpen},
    // WinHTTP connects when it sends.
    {"NothingListens", L"{nowhere}/x", 0, HttpErrorSend},
    {"UnusablePort", L"http://127.0.0.1:abc/x", 0, HttpErrorConnect},
    {"EmptyUrl", L"", 0, HttpErrorEmptyUrl},
};

class WinHttpQueryContentLengthTest : public WinHttpTest,
                                      public testing::WithParamInterface<LengthCase> {};

TEST_P(WinHttpQueryContentLengthTest, ReportsLengthOrError) {
  const LengthCase& c = GetParam();
  ScopedHttpClient client = NewClient();
  EXPECT_EQ(client->QueryContentLength(Url(c.url).c_str()), c.length);
  EXPECT_EQ(client->LastError(), c.error);
}

INSTANTIATE_TEST_SUITE_P(Peers, WinHttpQueryContentLengthTest, testing::ValuesIn(kLengthCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- DownloadToFile ----------------------------------------------------------------

struct FileCase {
  const char* name;
  const wchar_t* url;
  bool short_timeout;
  bool ok;
  int error;
  int status;
  Expected content;  // the file after success
};

const FileCase kFileCases[] = {
    {"Whole", L"{http}/data-1m.bin", false, true, HttpErrorNone, 200, Whole(L"data-1m.bin")},
    {"ContentLengthZero", L"{http}/empty.bin", false, true, HttpErrorNone, 200,
     Whole(L"empty.bin")},
    {"FaultServer", L"{fault}/ok/data-1m.bin", false, true, HttpErrorNone, 200,
     Whole(L"data-1m.bin")},
    {"ServerErrorBodyIsStored", L"{fault}/status/500", false, true, HttpErrorNone, 500,
     Text("status 500\n")},
    {"RedirectToPath", L"{fault}/redirect/302?to=/ok/hello.txt", false, true, HttpErrorNone, 200,
     Whole(L"hello.txt")},
    {"RedirectToAbsoluteUrl", L"{fault}/redirect/301?to={http}/data-1m.bin", false, true,
     HttpErrorNone, 200, Whole(L"data-1m.bin")},
    {"TenRedirects", L"{fault}/redirect-chain/10/hello.txt", false, true, HttpErrorNone, 200,
     Whole(L"hello.txt")},
    {"ElevenRedirects", L"{fault}/redirect-chain/11/hello.txt", false, false, HttpErrorOpen, 0,
     kNothing},
    {"RedirectLoop", L"{fault}/redirect-loop/winhttp-file", false, false, HttpErrorOpen, 0,
     kNothing},
    {"NotFound", L"{http}/missing.bin", false, false, HttpErrorNotFound, 404, kNothing},
    {"NoLength", L"{fault}/no-length/hello.txt", false, false, HttpErrorQueryHeader, 200,
     kNothing},
    {"Chunked", L"{fault}/chunked/hello.txt", false, false, HttpErrorQueryHeader, 200, kNothing},
    // A transfer that breaks off leaves no file and records no code.
    {"EarlyClose", L"{fault}/close-early/data-1m.bin?after=300000", false, false, HttpErrorNone,
     200, kNothing},
    {"LengthLongerThanBody", L"{fault}/length/2000000/data-1m.bin", false, false, HttpErrorNone,
     200, kNothing},
    {"SilentServerDuringBody", L"{fault}/stall/data-1m.bin?after=5000&seconds=20", true, false,
     HttpErrorNone, 200, kNothing},
    {"SilentServer", L"{fault}/silent/?seconds=20", true, false, HttpErrorOpen, 0, kNothing},
    {"NothingListens", L"{nowhere}/x", false, false, HttpErrorSend, 0, kNothing},
};

class WinHttpDownloadToFileTest : public WinHttpTest,
                                  public testing::WithParamInterface<FileCase> {};

TEST_P(WinHttpDownloadToFileTest, ReplacesFileOrRemovesIt) {
  const FileCase& c = GetParam();
  TempFolder folder;
  const std::wstring path = folder.File(L"download.bin");
  ASSERT_TRUE(WriteWholeFile(path, "an older file"));
  RecordingCallback callback;
  int parameter = 0;
  ScopedHttpClient client = NewClient(c.short_timeout);
  client->SetProgressSink(&callback, &parameter);

  EXPECT_EQ(client->DownloadToFile(Url(c.url).c_str(), path.c_str()), c.ok);
  EXPECT_EQ(client->LastError(), c.error);
  EXPECT_EQ(client->StatusCode(), c.status);
  for (void* p : callback.parameters) EXPECT_EQ(p, &parameter);
  // Only blocks are reported: no end report, neither after success nor failure.
  ExpectRunningReports(callback.reports, callback.reports.size());

  if (!c.ok) {
    // The older file is kept when the download fails before the file is
    // created (an error code), and removed when the transfer breaks off.
    EXPECT_EQ(FileExists(path), c.error != HttpErrorNone);
    return;
  }
  const std::string expected = c.content.Bytes(*servers_);
  std::string stored;
  ASSERT_TRUE(ReadWholeFile(path, &stored));
  EXPECT_EQ(stored.size(), expected.size());
  EXPECT_TRUE(stored == expected) << "stored bytes differ from the expected bytes";
  if (!expected.empty()) {
    ASSERT_FALSE(callback.reports.empty());
    EXPECT_EQ(callback.reports.back().total, static_cast<double>(expected.size()));
    EXPECT_EQ(callback.reports.back().done, static_cast<double>(expected.size()));
  }
}

INSTANTIATE_TEST_SUITE_P(Peers, WinHttpDownloadToFileTest, testing::ValuesIn(kFileCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WinHttpTest, RangeRequestStoresThePart) {
  ExpectRangeStoredInFile(NewClient().get());
}

// --- TLS ---------------------------------------------------------------------------------

// An https URL gets TLS on any port, and the certificate checks are relaxed:
// the expired certificate, and a name the certificate does not carry for
// Wine, are accepted.
TEST_F(WinHttpTest, HttpsOnAnyPortWithRelaxedCertificateChecks) {
  const wchar_t* const urls[] = {L"{https}/hello.txt", L"{https-expired}/hello.txt",
                                 L"{https-ip}/hello.txt"};
  for (const wchar_t* text : urls) {
    const std::wstring url = Url(text);
    SCOPED_TRACE(testing::Message() << "url " << url);
    ScopedHttpClient client = NewClient();
    void* data = nullptr;
    int size = 0;
    ASSERT_TRUE(client->DownloadToBuffer(url.c_str(), &data, &size))
        << "error " << client->LastError();
    std::unique_ptr<void, BlockFree> owned(data);
    EXPECT_EQ(std::string(static_cast<const char*>(data), size), "hello from the test server\n");
  }
}

// --- DownloadToBuffer ---------------------------------------------------------------

struct BufferCase {
  const char* name;
  const wchar_t* url;
  bool short_timeout;
  bool ok;
  int error;
  Expected content;
};

const BufferCase kBufferCases[] = {
    {"Whole", L"{http}/data-1m.bin", false, true, HttpErrorNone, Whole(L"data-1m.bin")},
    {"ExactlyTheLimit", L"{http}/data-8m.bin", false, true, HttpErrorNone, Whole(L"data-8m.bin")},
    {"OneByteOverTheLimit", L"{http}/data-8m-plus1.bin", false, false, HttpErrorTooLarge,
     kNothing},
    {"ContentLengthZero", L"{http}/empty.bin", false, true, HttpErrorNone, Whole(L"empty.bin")},
    {"RedirectToPath", L"{fault}/redirect/307?to=/ok/data-1m.bin", false, true, HttpErrorNone,
     Whole(L"data-1m.bin")},
    {"NoLength", L"{fault}/no-length/hello.txt", false, false, HttpErrorQueryHeader, kNothing},
    // Every read fits the space left. Under Wine WinHTTP offers the bytes past
    // the announced length: refused.
    {"MoreThanAnnounced", L"{fault}/length/10/hello.txt?together=1", false, false,
     HttpErrorTooLarge, kNothing},
    {"LengthLongerThanBody", L"{fault}/length/2000000/data-1m.bin", false, false, HttpErrorRead,
     kNothing},
    {"EarlyClose", L"{fault}/close-early/data-1m.bin", false, false, HttpErrorRead, kNothing},
    {"SilentServerDuringBody", L"{fault}/stall/data-1m.bin?after=5000&seconds=20", true, false,
     HttpErrorRead, kNothing},
    {"NotFound", L"{http}/missing.bin", false, false, HttpErrorNotFound, kNothing},
    // Every failure while the request is made counts as an open failure.
    {"RedirectLoop", L"{fault}/redirect-loop/winhttp-buffer", false, false, HttpErrorOpen,
     kNothing},
    {"NothingListens", L"{nowhere}/x", false, false, HttpErrorOpen, kNothing},
};

class WinHttpDownloadToBufferTest : public WinHttpTest,
                                    public testing::WithParamInterface<BufferCase> {};

TEST_P(WinHttpDownloadToBufferTest, FillsBlockOrFails) {
  const BufferCase& c = GetParam();
  ScopedHttpClient client = NewClient(c.short_timeout);
  ExpectBufferDownload(client.get(), c.url, c.ok, c.error, c.content);
}

INSTANTIATE_TEST_SUITE_P(Peers, WinHttpDownloadToBufferTest, testing::ValuesIn(kBufferCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Fetch ---------------------------------------------------------------------------

TEST_F(WinHttpTest, FetchGetReturnsBodyAndFailuresReturnNothing) {
  struct {
    const wchar_t* url;
    const char* body;
    int error;
    int status;
  } const cases[] = {
      {L"{http}/hello.txt", "hello from the test server\n", HttpErrorNone, 200},
      {L"{fault}/status/500", "status 500\n", HttpErrorNone, 500},
      {L"{http}/missing.bin", "", HttpErrorNotFound, 404},
      {L"{fault}/close-early/data-1m.bin", "", HttpErrorRead, 200},
      {L"{fault}/redirect-loop/winhttp-fetch", "", HttpErrorOpen, 0},
  };
  for (const auto& c : cases) {
    const std::wstring url = Url(c.url);
    SCOPED_TRACE(testing::Message() << "url " << url);
    ScopedHttpClient client = NewClient();
    EXPECT_EQ(AsWinHttp(client)->Fetch(url.c_str(), HttpGet, nullptr, nullptr), c.body);
    EXPECT_EQ(client->LastError(), c.error);
    EXPECT_EQ(client->StatusCode(), c.status);
  }
}

TEST_F(WinHttpTest, WidePostThroughNginxArrivesIntactAndEchoes) {
  std::string body = "{\"events\":[";
  while (body.size() < 10000) body += "{\"name\":\"Start_Install\"},";
  for (int byte = 1; byte < 256; ++byte) body += static_cast<char>(byte);
  body += "]}";

  ScopedHttpClient client = NewClient();
  client->SetRequestHeader("X-Caller", "kept");
  const std::string answer =
      AsWinHttp(client)->Fetch(Url(L"{http}/echo/winhttp-post").c_str(), HttpPost, body.c_str(),
                               L"Content-Type: application/json\r\n");
  EXPECT_EQ(client->LastError(), HttpErrorNone);
  EXPECT_EQ(client->StatusCode(), 200);
  EXPECT_TRUE(answer == body) << "echoed " << answer.size() << " of " << body.size() << " bytes";
  EXPECT_TRUE(servers_->ReadCapture(L"winhttp-post", L"body") == body);
  const std::string head = servers_->ReadCapture(L"winhttp-post", L"head");
  EXPECT_EQ(head.rfind("POST /echo/winhttp-post HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nContent-Type: application/json\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nX-Caller: kept\r\n"), std::string::npos) << head;
  // The browser text replaces WinHTTP's agent text.
  EXPECT_NE(head.find("\r\nUser-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64) "),
            std::string::npos)
      << head;
  EXPECT_EQ(head.find("Microsoft Internet Explorer"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nAccept-Language: zh-CN,zh;q=0.9\r\n"), std::string::npos) << head;
}

TEST_F(WinHttpTest, NarrowFetchSendsPostForAnyNonzeroMethod) {
  const std::string url = "http://127.0.0.1:" + std::to_string(servers_->fault_port) +
                          "/capture/winhttp-narrow?v=2";
  ScopedHttpClient client = NewClient();
  EXPECT_EQ(AsWinHttp(client)->Fetch(url.c_str(), 7, "{\"a\":1}", "X-Test: yes\r\n"),
            "captured\n");
  const std::string head = servers_->ReadCapture(L"winhttp-narrow", L"head");
  EXPECT_EQ(head.rfind("POST /capture/winhttp-narrow?v=2 HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nX-Test: yes\r\n"), std::string::npos) << head;
  EXPECT_EQ(servers_->ReadCapture(L"winhttp-narrow", L"body"), "{\"a\":1}");
}

}  // namespace
