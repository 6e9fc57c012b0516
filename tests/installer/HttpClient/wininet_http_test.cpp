// The WinINet client against real peers: nginx (HTTP, HTTPS, byte ranges) and
// the fault server (tests/e2e/servers).
#include "installer/HttpClient/wininet_http.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/HttpClient/http_interface.h"
#include "tests/installer/HttpClient/http_test_support.h"

namespace {

using namespace http_test;

class WininetHttpTest : public ServerTest {
 protected:
  // A new client: each one serves one job, as in the installer.
  static ScopedHttpClient NewClient() {
    ScopedHttpClient client = MakeHttpClient(HttpClientWininet);
    EXPECT_NE(client, nullptr);
    return client;
  }

  static IWininetHttp* AsWininet(const ScopedHttpClient& client) {
    return static_cast<IWininetHttp*>(client.get());
  }
};

// Checks the reports of one DownloadToFile: running reports with growing
// counts within their totals, then exactly one end report; the last running
// report of a success has all bytes.
void ExpectReports(const std::vector<Report>& reports, bool ok, double total) {
  ExpectEndedReports(reports, ok, total, /*totals_known=*/true);
  if (ok && reports.size() > 1) {
    EXPECT_EQ(reports[reports.size() - 2].done, total);
  }
}

// --- factory ---------------------------------------------------------------------

TEST(HttpClientFactoryTest, CreatesOnlyKnownTypes) {
  struct {
    int type;
    bool created;
  } const cases[] = {
      {-1, false}, {HttpClientSocket, true}, {HttpClientWininet, true},
      {HttpClientWinHttp, true}, {3, false},
  };
  for (const auto& c : cases) {
    IHttpBase* client = reinterpret_cast<IHttpBase*>(&client);  // must be overwritten
    EXPECT_EQ(CreateHttpClient(&client, c.type), c.created) << "type " << c.type;
    EXPECT_EQ(client != nullptr, c.created) << "type " << c.type;
    if (client) {
      EXPECT_EQ(client->LastError(), HttpErrorNone);
      EXPECT_EQ(client->StatusCode(), 0);
      client->Release();
    }
  }
  EXPECT_FALSE(CreateHttpClient(nullptr, HttpClientWininet));
}

// --- QueryContentLength ------------------------------------------------------------

struct LengthCase {
  const char* name;
  const wchar_t* url;
  double length;
  int error;
  int status;
};

const LengthCase kLengthCases[] = {
    {"Whole", L"{http}/data-1m.bin", 1048583, HttpErrorNone, 200},
    {"Empty", L"{http}/empty.bin", 0, HttpErrorNone, 200},
    {"FaultServer", L"{fault}/ok/data-8m.bin", 8388608, HttpErrorNone, 200},
    // Only the head is read, so a length beyond 32 bits comes through whole.
    {"Above4GiB", L"{fault}/length/5000000000/hello.txt", 5000000000.0, HttpErrorNone, 200},
    {"NoLength", L"{fault}/no-length/hello.txt", 0, HttpErrorQueryHeader, 200},
    {"Negative", L"{fault}/length/-1/hello.txt", 0, HttpErrorQueryHeader, 200},
    {"Letters", L"{fault}/length/abc/hello.txt", 0, HttpErrorQueryHeader, 200},
    {"EmptyValue", L"{fault}/length//hello.txt", 0, HttpErrorQueryHeader, 200},
    {"Beyond64Bits", L"{fault}/length/99999999999999999999/hello.txt", 0,
     HttpErrorQueryHeader, 200},
    {"NotFound", L"{http}/missing.bin", 0, HttpErrorNotFound, 404},
    // The status is not examined: a 500's own body length is reported.
    {"ServerError", L"{fault}/status/500", 11, HttpErrorNone, 500},
    {"NothingListens", L"{nowhere}/x", 0, HttpErrorSend, 0},
    // Port 0 would let WinINet fall back to port 80: another server.
    {"UnusablePort", L"http://127.0.0.1:abc/x", 0, HttpErrorConnect, 0},
};

class QueryContentLengthTest : public WininetHttpTest,
                               public testing::WithParamInterface<LengthCase> {};

TEST_P(QueryContentLengthTest, ReportsLengthOrError) {
  const LengthCase& c = GetParam();
  ScopedHttpClient client = NewClient();
  ASSERT_NE(client, nullptr);
  EXPECT_EQ(client->QueryContentLength(Url(c.url).c_str()), c.length);
  EXPECT_EQ(client->LastError(), c.error);
  EXPECT_EQ(client->StatusCode(), c.status);
}

INSTANTIATE_TEST_SUITE_P(Peers, QueryContentLengthTest, testing::ValuesIn(kLengthCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WininetHttpTest, MissingUrlIsRefusedBeforeAnyRequest) {
  ScopedHttpClient client = NewClient();
  EXPECT_EQ(client->QueryContentLength(L""), 0);
  EXPECT_EQ(client->LastError(), HttpErrorEmptyUrl);

  TempFolder folder;
  RecordingCallback callback;
  client = NewClient();
  client->SetProgressSink(&callback, &callback);
  EXPECT_FALSE(client->DownloadToFile(nullptr, folder.File(L"x.bin").c_str()));
  EXPECT_EQ(client->LastError(), HttpErrorEmptyUrl);
  ASSERT_EQ(callback.reports.size(), 1u);
  EXPECT_EQ(callback.reports[0].state, TransferFailed);

  client = NewClient();
  void* data = &callback;
  int size = 5;
  EXPECT_FALSE(client->DownloadToBuffer(L"", &data, &size));
  EXPECT_EQ(client->LastError(), HttpErrorEmptyUrl);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(size, 0);

  client = NewClient();
  EXPECT_EQ(AsWininet(client)->Fetch(static_cast<const char*>(nullptr), HttpPost, "{}",
                                     static_cast<const char*>(nullptr)),
            "");
  EXPECT_EQ(client->LastError(), HttpErrorBadArgument);
}

// --- DownloadToFile ----------------------------------------------------------------

struct FileCase {
  const char* name;
  const wchar_t* url;
  const char* range;  // Range field, or null
  bool ok;
  int error;
  int status;
  bool file_expected;
  Expected content;
  const char* content_range;  // the response's Content-Range ("" for none)
};

const FileCase kFileCases[] = {
    {"Whole", L"{http}/data-1m.bin", nullptr, true, HttpErrorNone, 200, true,
     Whole(L"data-1m.bin"), ""},
    {"Range", L"{http}/data-1m.bin", "bytes=1000-50999", true, HttpErrorNone, 206, true,
     Slice(L"data-1m.bin", 1000, 50000), "bytes 1000-50999/1048583"},
    {"RangeFromFaultServer", L"{fault}/ok/data-1m.bin", "bytes=1000-50999", true,
     HttpErrorNone, 206, true, Slice(L"data-1m.bin", 1000, 50000), "bytes 1000-50999/1048583"},
    {"LastByte", L"{http}/data-1m.bin", "bytes=1048582-1048582", true, HttpErrorNone, 206,
     true, Slice(L"data-1m.bin", 1048582, 1), "bytes 1048582-1048582/1048583"},
    {"ContentLengthZero", L"{http}/empty.bin", nullptr, true, HttpErrorNone, 200, true,
     Whole(L"empty.bin"), ""},
    {"Redirect", L"{fault}/redirect/302?to=/ok/hello.txt", nullptr, true, HttpErrorNone, 200,
     true, Whole(L"hello.txt"), ""},
    // Only a 404 is an error for the client: what the body is, and whether it
    // answers the range, is left to the caller (StatusCode, Content-Range).
    {"RangeIgnored", L"{fault}/ignore-range/data-1m.bin", "bytes=1000-50999", true,
     HttpErrorNone, 200, true, Whole(L"data-1m.bin"), ""},
    {"WrongRange", L"{fault}/wrong-range/data-1m.bin?shift=5", "bytes=1000-1999", true,
     HttpErrorNone, 206, true, Slice(L"data-1m.bin", 1005, 1000), "bytes 1005-2004/1048583"},
    {"WrongTotal", L"{fault}/wrong-total/data-1m.bin?total=2097152", "bytes=0-999", true,
     HttpErrorNone, 206, true, Slice(L"data-1m.bin", 0, 1000), "bytes 0-999/2097152"},
    {"RangeNotSatisfiable", L"{fault}/status/416/data-1m.bin", "bytes=2000000-2000099", true,
     HttpErrorNone, 416, true, Text("status 416\n"), "bytes */1048583"},
    {"ServerError", L"{fault}/status/500", nullptr, true, HttpErrorNone, 500, true,
     Text("status 500\n"), ""},
    // Failures before the file is created leave no file.
    {"NoLength", L"{fault}/no-length/hello.txt", nullptr, false, HttpErrorQueryHeader, 200,
     false, kNothing, ""},
    {"NegativeLength", L"{fault}/length/-1/hello.txt", nullptr, false, HttpErrorQueryHeader,
     200, false, kNothing, ""},
    {"LettersAsLength", L"{fault}/length/abc/hello.txt", nullptr, false, HttpErrorQueryHeader,
     200, false, kNothing, ""},
    {"EmptyLength", L"{fault}/length//hello.txt", nullptr, false, HttpErrorQueryHeader, 200,
     false, kNothing, ""},
    {"NotFound", L"{http}/missing.bin", nullptr, false, HttpErrorNotFound, 404, false,
     kNothing, ""},
    {"NotFoundFromFaultServer", L"{fault}/status/404", nullptr, false, HttpErrorNotFound, 404,
     false, kNothing, ""},
    {"NothingListens", L"{nowhere}/x", nullptr, false, HttpErrorSend, 0, false, kNothing, ""},
    // A transfer that breaks off leaves what had arrived.
    {"EarlyClose", L"{fault}/close-early/data-1m.bin?after=300000", nullptr, false,
     HttpErrorRead, 200, true, Slice(L"data-1m.bin", 0, 300000), ""},
    {"EarlyCloseInRange", L"{fault}/close-early/data-1m.bin?after=7000", "bytes=4096-20479",
     false, HttpErrorRead, 206, true, Slice(L"data-1m.bin", 4096, 7000),
     "bytes 4096-20479/1048583"},
    {"LengthLongerThanBody", L"{fault}/length/2000000/data-1m.bin", nullptr, false,
     HttpErrorRead, 200, true, Whole(L"data-1m.bin"), ""},
};

class DownloadToFileTest : public WininetHttpTest,
                           public testing::WithParamInterface<FileCase> {};

TEST_P(DownloadToFileTest, StoresBodyAndReports) {
  const FileCase& c = GetParam();
  TempFolder folder;
  const std::wstring path = folder.File(L"part.bin");
  RecordingCallback callback;
  int parameter = 0;
  ScopedHttpClient client = NewClient();
  ASSERT_NE(client, nullptr);
  client->SetProgressSink(&callback, &parameter);
  if (c.range) client->SetRequestHeader("Range", c.range);

  EXPECT_EQ(client->DownloadToFile(Url(c.url).c_str(), path.c_str()), c.ok);
  EXPECT_EQ(client->LastError(), c.error);
  EXPECT_EQ(client->StatusCode(), c.status);
  EXPECT_EQ(static_cast<CWininetHttp*>(client.get())->ResponseHeader("Content-Range"),
            c.content_range);

  const std::string expected = c.content.Bytes(*servers_);
  ExpectReports(callback.reports, c.ok, static_cast<double>(expected.size()));
  for (void* p : callback.parameters) EXPECT_EQ(p, &parameter);

  ASSERT_EQ(FileExists(path), c.file_expected);
  if (!c.file_expected) return;
  std::string stored;
  ASSERT_TRUE(ReadWholeFile(path, &stored));
  EXPECT_EQ(stored.size(), expected.size());
  EXPECT_TRUE(stored == expected) << "stored bytes differ from the expected bytes";
}

INSTANTIATE_TEST_SUITE_P(Peers, DownloadToFileTest, testing::ValuesIn(kFileCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WininetHttpTest, DownloadToFileReportsTotalsBeyond32Bits) {
  // The server announces 5,000,000,000 bytes and sends 27.
  TempFolder folder;
  RecordingCallback callback;
  ScopedHttpClient client = NewClient();
  client->SetProgressSink(&callback, nullptr);
  EXPECT_FALSE(client->DownloadToFile(servers_->FaultUrl(L"/length/5000000000/hello.txt").c_str(),
                                      folder.File(L"big.bin").c_str()));
  EXPECT_EQ(client->LastError(), HttpErrorRead);
  ASSERT_GE(callback.reports.size(), 2u);
  EXPECT_EQ(callback.reports.front().state, TransferRunning);
  EXPECT_EQ(callback.reports.front().total, 5000000000.0);
  EXPECT_EQ(callback.reports.back().state, TransferFailed);
}

TEST_F(WininetHttpTest, DownloadToFileCreatesMissingFoldersAndReplacesOldFile) {
  TempFolder folder;
  const std::wstring path = folder.File(L"a\\b\\c\\hello.txt");
  ScopedHttpClient client = NewClient();
  ASSERT_TRUE(client->DownloadToFile(servers_->HttpUrl(L"/hello.txt").c_str(), path.c_str()));
  client = NewClient();
  ASSERT_TRUE(client->DownloadToFile(servers_->HttpUrl(L"/empty.bin").c_str(), path.c_str()));
  std::string stored = "not read";
  ASSERT_TRUE(ReadWholeFile(path, &stored));
  EXPECT_EQ(stored, "");
}

TEST_F(WininetHttpTest, DownloadToFileFailsWhenFileCannotBeCreated) {
  TempFolder folder;
  const std::wstring existing_folder = folder.File(L"taken");
  ASSERT_TRUE(CreateDirectoryW(existing_folder.c_str(), nullptr));
  RecordingCallback callback;
  ScopedHttpClient client = NewClient();
  client->SetProgressSink(&callback, nullptr);
  EXPECT_FALSE(client->DownloadToFile(servers_->HttpUrl(L"/hello.txt").c_str(),
                                      existing_folder.c_str()));
  EXPECT_EQ(client->LastError(), HttpErrorCreateFile);
  ASSERT_EQ(callback.reports.size(), 1u);
  EXPECT_EQ(callback.reports[0].state, TransferFailed);
}

TEST_F(WininetHttpTest, LastErrorKeepsEarlierFailureAfterSuccess) {
  TempFolder folder;
  ScopedHttpClient client = NewClient();
  EXPECT_FALSE(client->DownloadToFile(servers_->HttpUrl(L"/missing.bin").c_str(),
                                      folder.File(L"x.bin").c_str()));
  EXPECT_EQ(client->LastError(), HttpErrorNotFound);

  EXPECT_EQ(client->QueryContentLength(servers_->HttpUrl(L"/data-1m.bin").c_str()), 1048583);
  EXPECT_EQ(client->StatusCode(), 200);
  EXPECT_EQ(client->LastError(), HttpErrorNotFound);

  EXPECT_TRUE(client->DownloadToFile(servers_->HttpUrl(L"/hello.txt").c_str(),
                                     folder.File(L"y.bin").c_str()));
  EXPECT_EQ(client->LastError(), HttpErrorNotFound);
}

TEST_F(WininetHttpTest, RequestCarriesCallerFieldsAndBrowserAgent) {
  ScopedHttpClient client = NewClient();
  client->SetRequestHeader("Range", "bytes=5-9");
  client->SetRequestHeader("Range", "bytes=100-199");  // the first value stays
  client->SetRequestHeader("X-Empty", "");
  client->SetRequestHeader(nullptr, "x");
  EXPECT_TRUE(AsWininet(client)->Fetch(servers_->FaultUrl(L"/capture/fields").c_str(), HttpGet,
                                       nullptr, nullptr) == "captured\n");
  const std::string head = servers_->ReadCapture(L"fields", L"head");
  EXPECT_EQ(head.rfind("GET /capture/fields HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nRange: bytes=5-9\r\n"), std::string::npos) << head;
  EXPECT_EQ(head.find("bytes=100-199"), std::string::npos) << head;
  EXPECT_EQ(head.find("X-Empty"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nUser-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64) "
                      "AppleWebKit/537.36 (KHTML, like Gecko) Chrome/80.0.4044.92 "
                      "Safari/537.36\r\n"),
            std::string::npos)
      << head;
  EXPECT_EQ(head.find("Http-connect"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nAccept-Language: zh-CN,zh;q=0.9\r\n"), std::string::npos) << head;
}

// --- DownloadToBuffer ---------------------------------------------------------------

struct BufferCase {
  const char* name;
  const wchar_t* url;
  bool ok;
  int error;
  Expected content;
};

const BufferCase kBufferCases[] = {
    {"Whole", L"{http}/data-1m.bin", true, HttpErrorNone, Whole(L"data-1m.bin")},
    {"Empty", L"{http}/empty.bin", true, HttpErrorNone, Whole(L"empty.bin")},
    {"ExactlyTheLimit", L"{http}/data-8m.bin", true, HttpErrorNone, Whole(L"data-8m.bin")},
    {"OneByteOverTheLimit", L"{http}/data-8m-plus1.bin", false, HttpErrorTooLarge, kNothing},
    // Without a length there is nothing to compare with, only the limit.
    {"NoLength", L"{fault}/no-length/hello.txt", true, HttpErrorNone, Whole(L"hello.txt")},
    {"NoLengthExactlyTheLimit", L"{fault}/no-length/data-8m.bin", true, HttpErrorNone,
     Whole(L"data-8m.bin")},
    {"NoLengthOverTheLimit", L"{fault}/no-length/data-8m-plus1.bin", false, HttpErrorTooLarge,
     kNothing},
    // The buffer holds the announced length; more is never read into it.
    {"LengthShorterThanBody", L"{fault}/length/10/hello.txt", true, HttpErrorNone,
     Text("hello from")},
    {"LengthLongerThanBody", L"{fault}/length/2000000/data-1m.bin", false, HttpErrorRead,
     kNothing},
    {"EarlyClose", L"{fault}/close-early/data-1m.bin", false, HttpErrorRead, kNothing},
    {"NegativeLength", L"{fault}/length/-1/hello.txt", false, HttpErrorQueryHeader, kNothing},
    {"LettersAsLength", L"{fault}/length/abc/hello.txt", false, HttpErrorQueryHeader,
     kNothing},
    {"NotFound", L"{http}/missing.bin", false, HttpErrorNotFound, kNothing},
};

class DownloadToBufferTest : public WininetHttpTest,
                             public testing::WithParamInterface<BufferCase> {};

TEST_P(DownloadToBufferTest, FillsBlockOrFails) {
  const BufferCase& c = GetParam();
  ScopedHttpClient client = NewClient();
  ASSERT_NE(client, nullptr);
  ExpectBufferDownload(client.get(), c.url, c.ok, c.error, c.content);
}

INSTANTIATE_TEST_SUITE_P(Peers, DownloadToBufferTest, testing::ValuesIn(kBufferCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Fetch ---------------------------------------------------------------------------

// A body of several read blocks, with every byte value but zero.
std::string LongBody() {
  std::string body = "{\"client_id\":\"178BFBFF00A00F11\",\"events\":[";
  for (int i = 0; body.size() < 10000; ++i) {
    body += "{\"name\":\"Start_Install\",\"n\":" + std::to_string(i) + "},";
  }
  for (int byte = 1; byte < 256; ++byte) body += static_cast<char>(byte);
  return body + "]}";
}

TEST_F(WininetHttpTest, WidePostThroughNginxArrivesIntactAndEchoes) {
  const std::string body = LongBody();
  ScopedHttpClient client = NewClient();
  const std::string answer =
      AsWininet(client)->Fetch(servers_->HttpUrl(L"/echo/wide-post").c_str(), HttpPost,
                               body.c_str(), L"Content-Type: application/json\r\n");
  EXPECT_EQ(client->StatusCode(), 200);
  EXPECT_EQ(client->LastError(), HttpErrorNone);
  EXPECT_TRUE(answer == body) << "echoed " << answer.size() << " of " << body.size() << " bytes";
  EXPECT_TRUE(servers_->ReadCapture(L"wide-post", L"body") == body);
  const std::string head = servers_->ReadCapture(L"wide-post", L"head");
  EXPECT_EQ(head.rfind("POST /echo/wide-post HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nContent-Type: application/json\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
            std::string::npos)
      << head;
}

TEST_F(WininetHttpTest, NarrowFetchSendsPostForAnyNonzeroMethod) {
  const std::string url = "http://127.0.0.1:" + std::to_string(servers_->fault_port) +
                          "/capture/narrow-post?v=2&tid=G-TEST";
  ScopedHttpClient client = NewClient();
  EXPECT_EQ(AsWininet(client)->Fetch(url.c_str(), 7, "{\"a\":1}", "X-Test: yes\r\n"),
            "captured\n");
  const std::string head = servers_->ReadCapture(L"narrow-post", L"head");
  EXPECT_EQ(head.rfind("POST /capture/narrow-post?v=2&tid=G-TEST HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nX-Test: yes\r\n"), std::string::npos) << head;
  EXPECT_EQ(servers_->ReadCapture(L"narrow-post", L"body"), "{\"a\":1}");
}

TEST_F(WininetHttpTest, FetchGetReturnsBodyAndNotFoundReturnsNothing) {
  ScopedHttpClient client = NewClient();
  EXPECT_EQ(AsWininet(client)->Fetch(servers_->HttpUrl(L"/hello.txt").c_str(), HttpGet, nullptr,
                                     nullptr),
            "hello from the test server\n");
  EXPECT_EQ(client->LastError(), HttpErrorNone);

  client = NewClient();
  EXPECT_EQ(AsWininet(client)->Fetch(servers_->HttpUrl(L"/missing.bin").c_str(), HttpGet,
                                     nullptr, nullptr),
            "");
  EXPECT_EQ(client->LastError(), HttpErrorNotFound);
  EXPECT_EQ(client->StatusCode(), 404);
}

// --- HTTPS -----------------------------------------------------------------------------

TEST_F(WininetHttpTest, HttpsDownloadsWholeFileAndRange) {
  if (!HasTrustedAuthority()) GTEST_SKIP() << kNoTrustedAuthority;
  TempFolder folder;
  const std::string original = servers_->ReadDocrootFile(L"data-1m.bin");

  ScopedHttpClient client = NewClient();
  EXPECT_EQ(client->QueryContentLength(servers_->HttpsUrl(L"/data-1m.bin").c_str()), 1048583);
  EXPECT_EQ(client->LastError(), HttpErrorNone);

  client = NewClient();
  const std::wstring whole = folder.File(L"whole.bin");
  ASSERT_TRUE(client->DownloadToFile(servers_->HttpsUrl(L"/data-1m.bin").c_str(), whole.c_str()))
      << "error " << client->LastError();
  std::string stored;
  ASSERT_TRUE(ReadWholeFile(whole, &stored));
  EXPECT_TRUE(stored == original);

  client = NewClient();
  client->SetRequestHeader("Range", "bytes=524288-532479");
  const std::wstring part = folder.File(L"part.bin");
  ASSERT_TRUE(client->DownloadToFile(servers_->HttpsUrl(L"/data-1m.bin").c_str(), part.c_str()));
  EXPECT_EQ(client->StatusCode(), 206);
  ASSERT_TRUE(ReadWholeFile(part, &stored));
  EXPECT_TRUE(stored == original.substr(524288, 8192));
}

TEST_F(WininetHttpTest, HttpsAcceptsCertificateOutsideItsValidityDates) {
  if (!HasTrustedAuthority()) GTEST_SKIP() << kNoTrustedAuthority;
  ScopedHttpClient client = NewClient();
  EXPECT_EQ(AsWininet(client)->Fetch(servers_->HttpsExpiredUrl(L"/hello.txt").c_str(), HttpGet,
                                     nullptr, nullptr),
            "hello from the test server\n");
  EXPECT_EQ(client->LastError(), HttpErrorNone);
  EXPECT_EQ(client->StatusCode(), 200);
}

TEST_F(WininetHttpTest, HttpsPostWithNarrowUrlArrivesIntact) {
  if (!HasTrustedAuthority()) GTEST_SKIP() << kNoTrustedAuthority;
  const std::string body = LongBody();
  const std::string url =
      "https://localhost:" + std::to_string(servers_->https_port) + "/echo/https-post";
  ScopedHttpClient client = NewClient();
  const std::string answer = AsWininet(client)->Fetch(url.c_str(), HttpPost, body.c_str(),
                                                      "Content-Type: application/json\r\n");
  EXPECT_EQ(client->LastError(), HttpErrorNone);
  EXPECT_TRUE(answer == body);
  EXPECT_TRUE(servers_->ReadCapture(L"https-post", L"body") == body);
}

}  // namespace
