// The same downloads through every client type: the bytes must not depend on
// the transport.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include "installer/HttpClient/http_interface.h"
#include "tests/installer/HttpClient/http_test_support.h"

namespace {

using namespace http_test;

struct TransferCase {
  const char* name;
  bool to_buffer;
  const wchar_t* url;
  const char* range;  // Range field, or null
  Expected content;
};

const TransferCase kTransfers[] = {
    {"WholeToFile", false, L"{http}/data-1m.bin", nullptr, Whole(L"data-1m.bin")},
    {"RangeToFile", false, L"{http}/data-1m.bin", "bytes=4093-1000000",
     Slice(L"data-1m.bin", 4093, 1000000 - 4093 + 1)},
    {"RedirectedToBuffer", true, L"{fault}/redirect/302?to={http}/data-1m.bin",
     nullptr, Whole(L"data-1m.bin")},
};

const struct {
  const char* name;
  int type;
} kClients[] = {
    {"Socket", HttpClientSocket},
    {"Wininet", HttpClientWininet},
    {"WinHttp", HttpClientWinHttp},
};

class EveryClientTest : public ServerTest,
                        public testing::WithParamInterface<std::tuple<size_t, size_t>> {};

TEST_P(EveryClientTest, StoresTheServedBytes) {
  const auto& client_case = kClients[std::get<0>(GetParam())];
  const TransferCase& c = kTransfers[std::get<1>(GetParam())];
  ScopedHttpClient client = MakeHttpClient(client_case.type);
  ASSERT_NE(client, nullptr);
  if (c.range) client->SetRequestHeader("Range", c.range);

  std::string stored;
  if (c.to_buffer) {
    void* data = nullptr;
    int size = 0;
    ASSERT_TRUE(client->DownloadToBuffer(Url(c.url).c_str(), &data, &size))
        << "error " << client->LastError();
    std::unique_ptr<void, BlockFree> owned(data);
    stored.assign(static_cast<const char*>(data), static_cast<size_t>(size));
  } else {
    TempFolder folder;
    const std::wstring path = folder.File(L"download.bin");
    ASSERT_TRUE(client->DownloadToFile(Url(c.url).c_str(), path.c_str()))
        << "error " << client->LastError();
    ASSERT_TRUE(ReadWholeFile(path, &stored));
  }
  EXPECT_EQ(client->StatusCode(), c.range ? 206 : 200);
  EXPECT_EQ(client->LastError(), HttpErrorNone);
  const std::string expected = c.content.Bytes(*servers_);
  ASSERT_EQ(stored.size(), expected.size());
  EXPECT_TRUE(stored == expected) << "stored bytes differ from the served bytes";
}

INSTANTIATE_TEST_SUITE_P(
    Clients, EveryClientTest,
    testing::Combine(testing::Range<size_t>(0, sizeof(kClients) / sizeof(kClients[0])),
                     testing::Range<size_t>(0, sizeof(kTransfers) / sizeof(kTransfers[0]))),
    [](const auto& info) {
      return std::string(kClients[std::get<0>(info.param)].name) +
             kTransfers[std::get<1>(info.param)].name;
    });

}  // namespace
