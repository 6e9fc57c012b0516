// The range downloader against real peers: nginx (HTTP, HTTPS, throttled) and
// the fault server (tests/e2e/servers), reporting to a message-only window.
#include "installer/HttpClient/http_downloader.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "nbase/scoped_handle.h"
#include "tests/installer/HttpClient/http_test_support.h"

namespace {

using namespace http_test;

// Generous bounds for waits; no test asserts how long anything takes.
const DWORD kFinishTimeoutMs = 90 * 1000;

// --- helpers -----------------------------------------------------------------------------

struct ProgressMessage {
  size_t download;  // finish messages seen before this one
  CHttpDownloader* source;
  int percent;
  double received;
  double total;
};

// A message-only window that records what the downloader sends and posts.
class RecordingWindow {
 public:
  RecordingWindow() {
    static const wchar_t kClass[] = L"HttpDownloaderTestWindow";
    static const ATOM registered = [] {
      WNDCLASSEXW window_class = {};
      window_class.cbSize = sizeof(window_class);
      window_class.lpfnWndProc = &RecordingWindow::WindowProc;
      window_class.hInstance = GetModuleHandleW(nullptr);
      window_class.lpszClassName = kClass;
      return RegisterClassExW(&window_class);
    }();
    EXPECT_NE(registered, 0);
    hwnd_ = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), this);
    EXPECT_NE(hwnd_, nullptr);
  }
  ~RecordingWindow() { DestroyWindow(hwnd_); }
  RecordingWindow(const RecordingWindow&) = delete;
  RecordingWindow& operator=(const RecordingWindow&) = delete;

  HWND hwnd() const { return hwnd_; }

  // Handles messages until `count` finish messages have arrived in all.
  bool WaitForFinishes(size_t count) {
    const ULONGLONG deadline = GetTickCount64() + kFinishTimeoutMs;
    while (finishes.size() < count) {
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                                QS_ALLINPUT);
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    return true;
  }

  std::vector<ProgressMessage> progress;
  std::vector<LPARAM> finishes;
  // Runs right after a finish message has been recorded.
  std::function<void(LPARAM)> on_finish;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(
                                                 reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<RecordingWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && message == WM_DOWNLOAD_PROGRESS) {
      const auto* record = reinterpret_cast<const DownloadProgress*>(lparam);
      self->progress.push_back({self->finishes.size(), record->source, record->percent, record->received, record->total});
      return 0;
    }
    if (self && message == WM_DOWNLOAD_FINISHED) {
      EXPECT_EQ(wparam, 0u);
      self->finishes.push_back(lparam);
      if (self->on_finish) self->on_finish(lparam);
      return 0;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }

  HWND hwnd_ = nullptr;
};

// Writes a file of pseudo-random bytes into the served folder once per
// process. Parallel test processes write the same bytes under temporary names
// and rename them into place, so a server never serves half a file.
void ProvideDocrootFile(const TestServers& servers, const std::wstring& name, std::int64_t size) {
  const std::wstring path = servers.DocrootFile(name);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
      ((static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) == size) {
    return;
  }
  const std::wstring temporary = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  {
    nbase::ScopedHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.IsValid());
    std::vector<char> block(1 << 20);
    std::uint32_t state = 0x2545F491u;
    for (std::int64_t left = size; left > 0;) {
      for (char& byte : block) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
      }
      const DWORD count = static_cast<DWORD>(left < static_cast<std::int64_t>(block.size())
                                                 ? left
                                                 : static_cast<std::int64_t>(block.size()));
      DWORD written = 0;
      ASSERT_TRUE(WriteFile(file.Get(), block.data(), count, &written, nullptr));
      left -= count;
    }
  }
  ASSERT_TRUE(MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING));
}

// A text no other test process uses, to tell this test's requests apart in
// the fault server's shared request log.
std::wstring UniqueTag() {
  static int counter = 0;
  return L"t" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
}

// The Range fields of the logged requests whose path contains `tag`, in
// order ("-" for none).
std::vector<std::string> RangesRequested(const TestServers& servers, const std::wstring& tag) {
  const std::string narrow_tag(tag.begin(), tag.end());
  std::vector<std::string> ranges;
  const std::string log = servers.ReadRequestLog();
  size_t begin = 0;
  while (begin < log.size()) {
    size_t end = log.find('\n', begin);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(begin, end - begin);
    const size_t range = line.find(" range=");
    if (line.find(narrow_tag) != std::string::npos && range != std::string::npos) {
      ranges.push_back(line.substr(range + 7));
    }
    begin = end + 1;
  }
  return ranges;
}

// What one download run produced.
struct Outcome {
  std::vector<LPARAM> finishes;
  std::vector<ProgressMessage> progress;
  std::wstring target;
  std::vector<std::wstring> files_left;  // names in the folder afterwards
};

// Percentages rise strictly, stay within 1..100 and agree with the byte
// counts; every record names the downloader and the package size.
void ExpectSoundProgress(const std::vector<ProgressMessage>& progress,
                         const CHttpDownloader* source, double size) {
  int previous = 0;
  for (size_t i = 0; i < progress.size(); ++i) {
    const ProgressMessage& p = progress[i];
    // Each download counts again from its start.
    if (i > 0 && p.download != progress[i - 1].download) previous = 0;
    EXPECT_EQ(p.source, source) << "message " << i;
    EXPECT_GT(p.percent, previous) << "message " << i;
    EXPECT_LE(p.percent, 100) << "message " << i;
    EXPECT_LE(p.received, p.total) << "message " << i;
    if (size > 0) {
      EXPECT_EQ(p.total, size) << "message " << i;
    }
    EXPECT_EQ(p.percent, WholePercent(static_cast<std::int64_t>(p.received),
                                      static_cast<std::int64_t>(p.total)))
        << "message " << i;
    previous = p.percent;
  }
}

// The package is at the target with exactly the served bytes, and nothing
// else (no part file) is left in the folder.
void ExpectPackage(const TestServers& servers, const Outcome& outcome, const std::wstring& name) {
  std::string stored;
  ASSERT_TRUE(ReadWholeFile(outcome.target, &stored));
  const std::string original = servers.ReadDocrootFile(name);
  ASSERT_FALSE(original.empty());
  EXPECT_EQ(stored.size(), original.size());
  EXPECT_TRUE(stored == original) << "the joined package differs from the served file";
  ASSERT_EQ(outcome.files_left.size(), 1u);
  EXPECT_EQ(outcome.files_left[0], name);
}

// A failed download leaves neither a package nor part files.
void ExpectNothingLeft(const Outcome& outcome) {
  EXPECT_FALSE(FileExists(outcome.target));
  for (const std::wstring& name : outcome.files_left) {
    ADD_FAILURE() << "left behind: " << testing::PrintToString(name);
  }
}

class HttpDownloaderTest : public ServerTest {
 protected:
  // Runs `downloads` downloads one after the other on one downloader (each
  // after the previous one's finish message) and checks the progress.
  template <typename Downloader = CHttpDownloader>
  Outcome Download(const std::wstring& url, double size, int downloads = 1,
                   std::wstring folder = std::wstring()) {
    if (folder.empty()) folder = folder_.PathWithBackslash();
    Outcome outcome;
    RecordingWindow window;
    {
      Downloader downloader(window.hwnd(), url, folder);
      outcome.target = downloader.GetTargetPath();
      window.on_finish = [&](LPARAM) {
        if (static_cast<int>(window.finishes.size()) < downloads) downloader.StartDownload();
      };
      downloader.StartDownload();
      EXPECT_TRUE(window.WaitForFinishes(downloads)) << "no finish message";
      ExpectSoundProgress(window.progress, &downloader, size);
    }
    outcome.finishes = window.finishes;
    outcome.progress = window.progress;
    outcome.files_left = NamesIn(folder);
    return outcome;
  }

  TempFolder folder_;
};

// --- against nginx --------------------------------------------------------------------------

struct NginxCase {
  const char* name;
  bool https;
  const wchar_t* path;
  const wchar_t* file;
  std::int64_t size;
  // A throttled transfer takes more than one monitor period, so progress
  // messages must arrive.
  bool expect_progress;
};

// 40 MiB through the 4 MiB/s-per-connection location: 5 MiB per part.
const std::int64_t kLargeSize = 40 * 1024 * 1024 + 3;

const NginxCase kNginxCases[] = {
    {"Http", false, L"/data-8m-plus1.bin", L"data-8m-plus1.bin", 8388609, false},
    {"Https", true, L"/data-8m-plus1.bin", L"data-8m-plus1.bin", 8388609, false},
    {"HttpThrottled", false, L"/throttled/download-40m.bin", L"download-40m.bin", kLargeSize, true},
    {"HttpsThrottled", true, L"/throttled/download-40m.bin", L"download-40m.bin", kLargeSize, true},
    // 27 bytes: seven parts of 3 and one of 6.
    {"TinyFile", false, L"/hello.txt", L"hello.txt", 27, false},
};

class NginxDownloadTest : public HttpDownloaderTest,
                          public testing::WithParamInterface<NginxCase> {};

TEST_P(NginxDownloadTest, JoinsAllPartsInOrderIntoServedBytes) {
  const NginxCase& c = GetParam();
  if (c.https && !HasTrustedAuthority()) GTEST_SKIP() << kNoTrustedAuthority;
  ProvideDocrootFile(*servers_, L"download-40m.bin", kLargeSize);
  const std::wstring url = c.https ? servers_->HttpsUrl(c.path) : servers_->HttpUrl(c.path);

  const Outcome outcome = Download(url, static_cast<double>(c.size));
  EXPECT_EQ(outcome.target, folder_.File(c.file));
  ASSERT_EQ(outcome.finishes, std::vector<LPARAM>{1});
  ExpectPackage(*servers_, outcome, c.file);
  if (c.expect_progress) {
    EXPECT_FALSE(outcome.progress.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Nginx, NginxDownloadTest, testing::ValuesIn(kNginxCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpDownloaderTest, SizeQueryReplacesAssumedSize) {
  struct {
    std::wstring url;
    double size;
  } const cases[] = {
      {servers_->HttpUrl(L"/data-1m.bin"), 1048583},
      {servers_->FaultUrl(L"/ignore-range/data-1m.bin"), 1048583},
      {servers_->HttpUrl(L"/missing.bin"), 0},
      {servers_->FaultUrl(L"/status/500/data-1m.bin"), 0},
      {L"http://127.0.0.1:1/nothing-listens.bin", 0},
  };
  for (const auto& c : cases) {
    CHttpDownloader downloader(nullptr, c.url, folder_.PathWithBackslash());
    const ULONGLONG deadline = GetTickCount64() + kFinishTimeoutMs;
    while (downloader.GetFileSize() == CHttpDownloader::kAssumedPackageSize &&
           GetTickCount64() < deadline) {
      Sleep(20);
    }
    EXPECT_EQ(downloader.GetFileSize(), c.size) << testing::PrintToString(c.url);
  }
}

// --- against the fault server -------------------------------------------------------------

struct FaultCase {
  const char* name;
  const wchar_t* path;  // "?" or "&" follows; the test adds a unique tag
  LPARAM result;
};

// data-1m.bin has 1,048,583 bytes: seven parts of 131,072 and one of 131,079.
const FaultCase kFaultCases[] = {
    {"Ok", L"/ok/data-1m.bin?", 1},
    // One plain GET of the whole file instead.
    {"RangeIgnored", L"/ignore-range/data-1m.bin?", 1},
    {"WrongRange", L"/wrong-range/data-1m.bin?shift=1&", 0},
    {"WrongTotal", L"/wrong-total/data-1m.bin?", 0},
    {"RangeNotSatisfiable", L"/status/416/data-1m.bin?", 0},
    {"NotFound", L"/status/404/data-1m.bin?", 0},
    {"ServerError", L"/status/500/data-1m.bin?", 0},
    {"NoContentLength", L"/no-length/data-1m.bin?", 0},
    {"NegativeContentLength", L"/length/-1/data-1m.bin?", 0},
    {"ContentLengthTooLong", L"/length/2000000/data-1m.bin?", 0},
    {"ContentLengthTooShort", L"/length/1000/data-1m.bin?", 0},
    {"EarlyClose", L"/close-early/data-1m.bin?after=5000&", 0},
    // Only the last, longer part is cut short: one failed part of eight.
    {"LastPartCutShort", L"/close-early/data-1m.bin?after=131075&", 0},
    {"Stall", L"/stall/data-1m.bin?after=1000&seconds=3&", 0},
    // Every request gets another version of the file (each with its ETag).
    {"BodyPerConnection", L"/per-connection/data-1m.bin?", 0},
};

class FaultDownloadTest : public HttpDownloaderTest,
                          public testing::WithParamInterface<FaultCase> {};

TEST_P(FaultDownloadTest, CorrectPackageOrFailureWithNothingLeft) {
  const FaultCase& c = GetParam();
  const Outcome outcome =
      Download(servers_->FaultUrl(c.path + (L"tag=" + UniqueTag())), 1048583);
  EXPECT_EQ(outcome.target, folder_.File(L"data-1m.bin"));
  ASSERT_EQ(outcome.finishes, std::vector<LPARAM>{c.result});
  if (c.result == 1) {
    ExpectPackage(*servers_, outcome, L"data-1m.bin");
  } else {
    ExpectNothingLeft(outcome);
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultDownloadTest, testing::ValuesIn(kFaultCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpDownloaderTest, ServerWithoutRangesGetsOnePlainRequest) {
  const std::wstring tag = UniqueTag();
  const Outcome outcome =
      Download(servers_->FaultUrl(L"/ignore-range/data-1m.bin?" + tag), 1048583);
  ASSERT_EQ(outcome.finishes, std::vector<LPARAM>{1});
  ExpectPackage(*servers_, outcome, L"data-1m.bin");
  // Size queries ask for the first byte; the package itself comes in one GET.
  int plain = 0;
  for (const std::string& range : RangesRequested(*servers_, tag)) {
    if (range == "-") {
      ++plain;
    } else {
      EXPECT_EQ(range, "bytes=0-0");
    }
  }
  EXPECT_EQ(plain, 1);
}

TEST_F(HttpDownloaderTest, EmptyPartsOfTinyPackageSendNoRequest) {
  const std::wstring tag = UniqueTag();
  ASSERT_NO_FATAL_FAILURE(ProvideDocrootFile(*servers_, L"five.bin", 5));
  const Outcome outcome = Download(servers_->FaultUrl(L"/ok/five.bin?" + tag), 5);
  ASSERT_EQ(outcome.finishes, std::vector<LPARAM>{1});
  ExpectPackage(*servers_, outcome, L"five.bin");
  std::vector<std::string> parts;
  for (const std::string& range : RangesRequested(*servers_, tag)) {
    if (range != "bytes=0-0") parts.push_back(range);
  }
  EXPECT_EQ(parts, std::vector<std::string>{"bytes=0-4"});
}

TEST_F(HttpDownloaderTest, FailedJoinReportsFailureAndRemovesParts) {
  // A folder where the package should go: the join cannot create it.
  ASSERT_TRUE(CreateDirectoryW(folder_.File(L"data-1m.bin").c_str(), nullptr));
  const Outcome outcome = Download(servers_->HttpUrl(L"/data-1m.bin"), 1048583);
  ASSERT_EQ(outcome.finishes, std::vector<LPARAM>{0});
  EXPECT_EQ(outcome.files_left, std::vector<std::wstring>{L"data-1m.bin"});
  EXPECT_TRUE(GetFileAttributesW(outcome.target.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(HttpDownloaderTest, StaleFilesOfEarlierRunDoNotReachPackage) {
  // A package and a part file left by an earlier run with other content.
  const std::wstring stale[] = {L"data-1m.bin", L"data-1m.bin.0-131071"};
  for (const std::wstring& name : stale) {
    ASSERT_TRUE(WriteWholeFile(folder_.File(name), "stale"));
  }
  const Outcome outcome = Download(servers_->HttpUrl(L"/data-1m.bin"), 1048583);
  ASSERT_EQ(outcome.finishes, std::vector<LPARAM>{1});
  ExpectPackage(*servers_, outcome, L"data-1m.bin");
}

// small_disk_test.sh runs this on a 12 MiB file system of its own, named in
// DOWNLOAD_TEST_SMALL_DISK; elsewhere it is skipped.
TEST_F(HttpDownloaderTest, FullDiskFailsCleanly) {
  wchar_t value[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"DOWNLOAD_TEST_SMALL_DISK", value, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    GTEST_SKIP() << "needs the small disk of small_disk_test.sh";
  }
  const std::wstring disk = WinePathFromUnix(value) + L"\\";
  ProvideDocrootFile(*servers_, L"download-40m.bin", kLargeSize);
  struct {
    const wchar_t* file;
    std::int64_t size;
    LPARAM result;
  } const cases[] = {
      // Parts and package fit.
      {L"data-1m.bin", 1048583, 1},
      // The parts fit, but not the parts and the package together: a part or
      // the package meets the full disk, depending on which writes first.
      {L"data-8m.bin", 8388608, 0},
      // Not even the parts fit.
      {L"download-40m.bin", kLargeSize, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.file));
    const Outcome outcome =
        Download(servers_->HttpUrl(std::wstring(L"/") + c.file), static_cast<double>(c.size), 1,
                 disk);
    ASSERT_EQ(outcome.finishes, std::vector<LPARAM>{c.result});
    if (c.result == 1) {
      ExpectPackage(*servers_, outcome, c.file);
      DeleteFileW(outcome.target.c_str());
    } else {
      ExpectNothingLeft(outcome);
    }
  }
}

// --- parts that cannot start, and retries ----------------------------------------------------

// Fails chosen parts of the first download: their client, or their thread,
// cannot be created. Later downloads run normally.
class FailingPartsDownloader : public CHttpDownloader {
 public:
  using CHttpDownloader::CHttpDownloader;

  static int client_failure;  // part index, or -1
  static int thread_failure;

 protected:
  ScopedHttpClient CreatePartClient(const RangeRecord& record) override {
    if (downloads_ == 1 && record.index == client_failure) return nullptr;
    return CHttpDownloader::CreatePartClient(record);
  }
  // Called for every part of a download, in index order, before any of its
  // clients is created.
  bool StartPartThread(RangeRecord& record) override {
    if (record.index == 0) ++downloads_;
    if (downloads_ == 1 && record.index == thread_failure) return false;
    return CHttpDownloader::StartPartThread(record);
  }

 private:
  std::atomic<int> downloads_{0};
};
int FailingPartsDownloader::client_failure = -1;
int FailingPartsDownloader::thread_failure = -1;

TEST_F(HttpDownloaderTest, PartWithoutClientOrThreadFailsDownloadAndLeavesNothing) {
  struct {
    const char* name;
    int client_failure;
    int thread_failure;
  } const cases[] = {{"client", 3, -1}, {"thread", -1, 5}, {"both", 0, 7}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FailingPartsDownloader::client_failure = c.client_failure;
    FailingPartsDownloader::thread_failure = c.thread_failure;
    const Outcome outcome =
        Download<FailingPartsDownloader>(servers_->HttpUrl(L"/data-1m.bin"), 1048583);
    ASSERT_EQ(outcome.finishes, std::vector<LPARAM>{0});
    ExpectNothingLeft(outcome);
  }
}

// Gives one part's client a Range field of its own before the downloader sets
// the part's (the first value of a field stays), so that an honest server
// answers that part with something else than the part.
class MisdirectedPartDownloader : public CHttpDownloader {
 public:
  using CHttpDownloader::CHttpDownloader;

  static const char* part3_range;

 protected:
  ScopedHttpClient CreatePartClient(const RangeRecord& record) override {
    ScopedHttpClient client = CHttpDownloader::CreatePartClient(record);
    if (client && record.index == 3) client->SetRequestHeader("Range", part3_range);
    return client;
  }
};
const char* MisdirectedPartDownloader::part3_range = nullptr;

TEST_F(HttpDownloaderTest, PartAnsweredWithSomethingElseIsRefused) {
  struct {
    const char* name;
    const char* range;
  } const cases[] = {
      // Part 2's bytes: the right length and package size, the wrong place.
      {"another range", "bytes=262144-393215"},
      // nginx ignores a malformed Range field and sends the whole file (200).
      {"whole file", "bytes=x"},
      {"the range's first half", "bytes=393216-458751"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MisdirectedPartDownloader::part3_range = c.range;
    const Outcome outcome =
        Download<MisdirectedPartDownloader>(servers_->HttpUrl(L"/data-1m.bin"), 1048583);
    ASSERT_EQ(outcome.finishes, std::vector<LPARAM>{0});
    ExpectNothingLeft(outcome);
  }
}

TEST_F(HttpDownloaderTest, RetryRightAfterFailureDownloadsWholePackage) {
  ProvideDocrootFile(*servers_, L"download-40m.bin", kLargeSize);
  FailingPartsDownloader::client_failure = 2;
  FailingPartsDownloader::thread_failure = -1;
  // The retry starts inside the failure's finish message, long before the
  // failed download stops showing its parts to the monitor; the throttled
  // retry outlasts that moment.
  const Outcome outcome = Download<FailingPartsDownloader>(
      servers_->HttpUrl(L"/throttled/download-40m.bin"), static_cast<double>(kLargeSize), 2);
  ASSERT_EQ(outcome.finishes, (std::vector<LPARAM>{0, 1}));
  ExpectPackage(*servers_, outcome, L"download-40m.bin");
}

}  // namespace
