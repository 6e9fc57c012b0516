// The socket client against real peers: nginx and the fault server
// (tests/e2e/servers).
#include "installer/HttpClient/http_socket.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "installer/HttpClient/http_interface.h"
#include "tests/installer/HttpClient/http_test_support.h"

namespace {

using namespace http_test;

class HttpSocketTest : public ServerTest {
 protected:
  static ScopedHttpClient NewClient() {
    ScopedHttpClient client = MakeHttpClient(HttpClientSocket);
    EXPECT_NE(client, nullptr);
    return client;
  }
};

// Failures of the first connection come before any transfer: no report.
bool ReportsFailure(int error) { return error != HttpErrorConnect && error != HttpErrorResolve; }

// --- DownloadToFile ----------------------------------------------------------------

struct FileCase {
  const char* name;
  const wchar_t* url;
  bool ok;
  int error;
  int status;
  Expected content;  // the file after success
};

const FileCase kFileCases[] = {
    {"Whole", L"{http}/data-1m.bin", true, HttpErrorNone, 200, Whole(L"data-1m.bin")},
    {"ContentLengthZero", L"{http}/empty.bin", true, HttpErrorNone, 200, Whole(L"empty.bin")},
    {"HeadAndBodyInOneBlock", L"{fault}/ok/hello.txt?together=1", true, HttpErrorNone, 200,
     Whole(L"hello.txt")},
    {"HeadSplitAcrossBlocks", L"{fault}/split-head/data-1m.bin", true, HttpErrorNone, 200,
     Whole(L"data-1m.bin")},
    // Only 400 counts as "not found" here: a 404's body is stored.
    {"NotFoundBodyIsStored", L"{fault}/status/404", true, HttpErrorNone, 404,
     Text("status 404\n")},
    {"ServerErrorBodyIsStored", L"{fault}/status/500", true, HttpErrorNone, 500,
     Text("status 500\n")},
    {"BadRequestIsNotFound", L"{fault}/status/400", false, HttpErrorNotFound, 400, kNothing},
    {"RedirectToPath", L"{fault}/redirect/302?to=/ok/hello.txt", true, HttpErrorNone, 200,
     Whole(L"hello.txt")},
    // "302?to=/ok/hello.txt", seen from /redirect/: a second redirection.
    {"RedirectToRelativePath", L"{fault}/redirect/302?to=302%3Fto%3D/ok/hello.txt", true,
     HttpErrorNone, 200, Whole(L"hello.txt")},
    // The redirection's body comes after its head: it must not be read as the
    // next response on the same connection.
    {"RedirectBodyArrivesLate", L"{fault}/redirect/302?to=/ok/hello.txt&delay=0.3", true,
     HttpErrorNone, 200, Whole(L"hello.txt")},
    {"RedirectClosesConnection", L"{fault}/redirect/302?to=/ok/hello.txt&close=1", true,
     HttpErrorNone, 200, Whole(L"hello.txt")},
    {"RedirectToAbsoluteUrl", L"{fault}/redirect/301?to={http}/data-1m.bin", true,
     HttpErrorNone, 200, Whole(L"data-1m.bin")},
    {"TenRedirects", L"{fault}/redirect-chain/10/hello.txt", true, HttpErrorNone, 200,
     Whole(L"hello.txt")},
    {"ElevenRedirects", L"{fault}/redirect-chain/11/hello.txt", false, HttpErrorOpen, 302,
     kNothing},
    {"RedirectLoop", L"{fault}/redirect-loop/socket", false, HttpErrorOpen, 302, kNothing},
    // No TLS here: a redirection to https ends the transfer without a code.
    {"RedirectToHttps", L"{fault}/redirect/302?to={https}/hello.txt", false, HttpErrorNone, 302,
     kNothing},
    // Without a Content-Length the body ends with the connection.
    {"NoLength", L"{fault}/no-length/data-1m.bin", true, HttpErrorNone, 200,
     Whole(L"data-1m.bin")},
    // Bytes past the announced length are not stored.
    {"LengthShorterThanBody", L"{fault}/length/10/hello.txt?together=1", true, HttpErrorNone,
     200, Text("hello from")},
    {"LengthUnusable", L"{fault}/length/abc/hello.txt", false, HttpErrorBadResponse, 200,
     kNothing},
    {"ChunkedIsRefused", L"{fault}/chunked/hello.txt", false, HttpErrorBadResponse, 200,
     kNothing},
    {"EndlessHead", L"{fault}/endless-head/", false, HttpErrorBadResponse, 0, kNothing},
    // The server closing early records no code.
    {"EarlyClose", L"{fault}/close-early/data-1m.bin?after=300000", false, HttpErrorNone, 200,
     kNothing},
    // The receive time-out (10 s) strikes.
    {"SilentServer", L"{fault}/stall/data-1m.bin?after=5000&seconds=30", false, HttpErrorSocket,
     200, kNothing},
    {"NothingListens", L"{nowhere}/x", false, HttpErrorConnect, 0, kNothing},
};

class SocketDownloadToFileTest : public HttpSocketTest,
                                 public testing::WithParamInterface<FileCase> {};

TEST_P(SocketDownloadToFileTest, ReplacesFileOrRemovesIt) {
  const FileCase& c = GetParam();
  TempFolder folder;
  const std::wstring path = folder.File(L"download.bin");
  ASSERT_TRUE(WriteWholeFile(path, "an older file"));
  RecordingCallback callback;
  int parameter = 0;
  ScopedHttpClient client = NewClient();
  client->SetProgressSink(&callback, &parameter);

  EXPECT_EQ(client->DownloadToFile(Url(c.url).c_str(), path.c_str()), c.ok);
  EXPECT_EQ(client->LastError(), c.error);
  EXPECT_EQ(client->StatusCode(), c.status);
  for (void* p : callback.parameters) EXPECT_EQ(p, &parameter);

  if (!c.ok) {
    EXPECT_FALSE(FileExists(path)) << "a failed transfer leaves no file";
    if (!ReportsFailure(c.error)) {
      EXPECT_TRUE(callback.reports.empty());
      return;
    }
    ExpectEndedReports(callback.reports, false, 0);
    return;
  }
  const std::string expected = c.content.Bytes(*servers_);
  std::string stored;
  ASSERT_TRUE(ReadWholeFile(path, &stored));
  EXPECT_EQ(stored.size(), expected.size());
  EXPECT_TRUE(stored == expected) << "stored bytes differ from the expected bytes";
  ExpectEndedReports(callback.reports, true, static_cast<double>(expected.size()));
}

INSTANTIATE_TEST_SUITE_P(Peers, SocketDownloadToFileTest, testing::ValuesIn(kFileCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpSocketTest, RangeRequestStoresThePart) {
  ExpectRangeStoredInFile(NewClient().get());
}

TEST_F(HttpSocketTest, ShouldStopCancelsTransfer) {
  TempFolder folder;
  const std::wstring path = folder.File(L"cancelled.bin");
  RecordingCallback callback(/*stop_at=*/5);
  ScopedHttpClient client = NewClient();
  client->SetProgressSink(&callback, nullptr);
  EXPECT_FALSE(client->DownloadToFile(Url(L"{http}/data-1m.bin").c_str(), path.c_str()));
  EXPECT_EQ(client->LastError(), HttpErrorCancelled);
  EXPECT_EQ(callback.questions, 5) << "the transfer goes on after a stop";
  ASSERT_FALSE(callback.reports.empty());
  EXPECT_EQ(callback.reports.back().state, TransferFailed);
  EXPECT_FALSE(FileExists(path));
}

// --- refusal of TLS ----------------------------------------------------------------

TEST_F(HttpSocketTest, RefusesHttpsAndPort443WithoutRequestCallbackOrCode) {
  const wchar_t* const urls[] = {
      L"{https}/hello.txt",
      L"http://127.0.0.1:443/hello.txt",
      // https to a plain server must not go out in clear text either.
      L"https://127.0.0.1:{fault-port}/capture/socket-refused",
  };
  TempFolder folder;
  const std::wstring path = folder.File(L"kept.bin");
  ASSERT_TRUE(WriteWholeFile(path, "kept"));
  for (const wchar_t* text : urls) {
    const std::wstring url = Url(text);
    SCOPED_TRACE(testing::Message() << "url " << url);
    RecordingCallback callback;
    ScopedHttpClient client = NewClient();
    client->SetProgressSink(&callback, nullptr);
    EXPECT_FALSE(client->DownloadToFile(url.c_str(), path.c_str()));
    void* data = &callback;
    int size = 5;
    EXPECT_FALSE(client->DownloadToBuffer(url.c_str(), &data, &size));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(client->LastError(), HttpErrorNone);
    EXPECT_EQ(client->StatusCode(), 0);
    EXPECT_STREQ(static_cast<ISocketHttp*>(client.get())->ResolvedAddress(), L"");
    EXPECT_TRUE(callback.reports.empty());
    EXPECT_EQ(callback.questions, 0);
  }
  std::string kept;
  ASSERT_TRUE(ReadWholeFile(path, &kept));
  EXPECT_EQ(kept, "kept");
  EXPECT_EQ(servers_->ReadCapture(L"socket-refused", L"head"), "");
}

// --- requests ------------------------------------------------------------------------

TEST_F(HttpSocketTest, EachConnectionNamesItsOwnHost) {
  // From 127.0.0.1 to "localhost": the second request must name localhost.
  ScopedHttpClient client = NewClient();
  client->SetRequestHeader("Range", "bytes=0-99");
  client->SetRequestHeader("Range", "bytes=5-9");  // the first value stays
  void* data = nullptr;
  int size = 0;
  ASSERT_TRUE(client->DownloadToBuffer(
      Url(L"{fault}/redirect/302?to={fault-host}/capture/socket-host").c_str(), &data, &size))
      << "error " << client->LastError();
  std::unique_ptr<void, BlockFree> owned(data);
  EXPECT_EQ(std::string(static_cast<const char*>(data), size), "captured\n");
  EXPECT_STREQ(static_cast<ISocketHttp*>(client.get())->ResolvedAddress(), L"127.0.0.1");

  const std::string head = servers_->ReadCapture(L"socket-host", L"head");
  EXPECT_EQ(head.rfind("GET /capture/socket-host HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nHost: localhost\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nRange: bytes=0-99\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nConnection: Keep-Alive\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nUser-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64) "),
            std::string::npos)
      << head;
}

TEST_F(HttpSocketTest, QueryContentLengthIsNotSupported) {
  ScopedHttpClient client = NewClient();
  EXPECT_EQ(client->QueryContentLength(Url(L"{http}/data-1m.bin").c_str()), 0);
  EXPECT_EQ(client->LastError(), HttpErrorNone);
  EXPECT_EQ(client->StatusCode(), 0);
}

TEST_F(HttpSocketTest, LastErrorKeepsEarlierFailureAfterSuccess) {
  ScopedHttpClient client = NewClient();
  void* data = nullptr;
  int size = 0;
  EXPECT_FALSE(client->DownloadToBuffer(Url(L"{fault}/status/400").c_str(), &data, &size));
  EXPECT_EQ(client->LastError(), HttpErrorNotFound);
  ASSERT_TRUE(client->DownloadToBuffer(Url(L"{http}/hello.txt").c_str(), &data, &size));
  std::unique_ptr<void, BlockFree> owned(data);
  EXPECT_EQ(client->StatusCode(), 200);
  EXPECT_EQ(client->LastError(), HttpErrorNotFound);
}

// --- DownloadToBuffer ----------------------------------------------------------------

struct BufferCase {
  const char* name;
  const wchar_t* url;
  bool ok;
  int error;
  Expected content;
};

const BufferCase kBufferCases[] = {
    {"Whole", L"{http}/data-1m.bin", true, HttpErrorNone, Whole(L"data-1m.bin")},
    {"ExactlyTheLimit", L"{http}/data-8m.bin", true, HttpErrorNone, Whole(L"data-8m.bin")},
    {"OneByteOverTheLimit", L"{http}/data-8m-plus1.bin", false, HttpErrorTooLarge, kNothing},
    // The length must be known and above zero.
    {"ContentLengthZero", L"{http}/empty.bin", false, HttpErrorTooLarge, kNothing},
    {"NoLength", L"{fault}/no-length/hello.txt", false, HttpErrorTooLarge, kNothing},
    // The block holds exactly the announced length; more is refused.
    {"MoreThanAnnounced", L"{fault}/length/10/hello.txt?together=1", false, HttpErrorTooLarge,
     kNothing},
    {"HeadAndBodyInOneBlock", L"{fault}/ok/hello.txt?together=1", true, HttpErrorNone,
     Whole(L"hello.txt")},
    {"HeadSplitAcrossBlocks", L"{fault}/split-head/hello.txt", true, HttpErrorNone,
     Whole(L"hello.txt")},
    {"NotFoundBodyIsKept", L"{fault}/status/404", true, HttpErrorNone, Text("status 404\n")},
    {"BadRequestIsNotFound", L"{fault}/status/400", false, HttpErrorNotFound, kNothing},
    {"RedirectToPath", L"{fault}/redirect/307?to=/ok/data-1m.bin", true, HttpErrorNone,
     Whole(L"data-1m.bin")},
    {"RedirectToAbsoluteUrl", L"{fault}/redirect/302?to={http}/hello.txt", true, HttpErrorNone,
     Whole(L"hello.txt")},
    {"RedirectLoop", L"{fault}/redirect-loop/socket-buffer", false, HttpErrorOpen, kNothing},
    {"RedirectToHttps", L"{fault}/redirect/302?to={https}/hello.txt", false, HttpErrorNone,
     kNothing},
    {"ChunkedIsRefused", L"{fault}/chunked/hello.txt", false, HttpErrorBadResponse, kNothing},
    {"EndlessHead", L"{fault}/endless-head/", false, HttpErrorBadResponse, kNothing},
    {"EarlyClose", L"{fault}/close-early/data-1m.bin", false, HttpErrorNone, kNothing},
    // No answer at all: the receive time-out (10 s) strikes.
    {"SilentServer", L"{fault}/silent/?seconds=30", false, HttpErrorSocket, kNothing},
    // A failed connection is recorded as an open failure here.
    {"NothingListens", L"{nowhere}/x", false, HttpErrorOpen, kNothing},
};

class SocketDownloadToBufferTest : public HttpSocketTest,
                                   public testing::WithParamInterface<BufferCase> {};

TEST_P(SocketDownloadToBufferTest, FillsBlockOrFails) {
  const BufferCase& c = GetParam();
  ScopedHttpClient client = NewClient();
  ExpectBufferDownload(client.get(), c.url, c.ok, c.error, c.content);
}

INSTANTIATE_TEST_SUITE_P(Peers, SocketDownloadToBufferTest, testing::ValuesIn(kBufferCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
