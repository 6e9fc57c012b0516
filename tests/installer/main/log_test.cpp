#include "installer/main/log.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Points the process log at a fresh file in a private folder for one test and
// restores the previous settings afterwards.
class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"log_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
              std::to_wstring(GetTickCount());
    CreateDirectoryW(folder_.c_str(), nullptr);
    path_ = folder_ + L"\\setup_log.txt";
    savedPath_ = LogFile::Instance().path();
    savedLevel_ = LogFile::Instance().level();
    LogFile::Instance().SetLevel(LV_APP);
    LogFile::Instance().SetPath(path_);
  }
  void TearDown() override {
    LogFile::Instance().SetPath(savedPath_);
    LogFile::Instance().SetLevel(savedLevel_);
    DeleteFileW(path_.c_str());
    RemoveDirectoryW(folder_.c_str());
  }

  std::wstring folder_, path_, savedPath_;
  int savedLevel_ = LV_APP;
};

TEST_F(LogFileTest, LineHasTimeSourceLevelAndTextAndFileStartsWithOneByteOrderMark) {
  SYSTEMTIME before;
  GetLocalTime(&before);
  LogLine("C:\\src\\installer\\main\\entry.cpp", 57).SetLevel(LV_APP).SetMessage(L"app: started");
  LogLine("/home/dev/src/downloader.cpp", 1234).SetLevel(LV_ERR).SetMessage(L"Gr\u00fc\u00dfe");

  const std::string bytes = ReadBytes(path_);
  ASSERT_EQ(bytes.compare(0, 3, "\xEF\xBB\xBF"), 0) << "new file starts with a byte-order mark";
  const std::string body = bytes.substr(3);
  EXPECT_EQ(body.find("\xEF\xBB\xBF"), std::string::npos) << "only one byte-order mark";

  const std::regex line(
      R"(\[(\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2}) entry\.cpp:57 LV_APP\] app: started\r\n)"
      R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} downloader\.cpp:1234 LV_ERR\] Gr\xC3\xBC\xC3\x9F)"
      R"(e\r\n)");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(body, match, line)) << body;
  EXPECT_EQ(std::stoi(match[1]), before.wYear);
  EXPECT_EQ(std::stoi(match[2]), before.wMonth);
}

TEST_F(LogFileTest, LevelsAboveTheThresholdStayOutOfTheFile) {
  LogLine(__FILE__, __LINE__).SetMessage(L"default level is detail");
  LOG_PRO(L"detail");
  LOG_AT(7, L"unknown level");
  LOG_WAR(L"warning");
  const std::string bytes = ReadBytes(path_);
  EXPECT_EQ(bytes.find("detail"), std::string::npos);
  EXPECT_EQ(bytes.find("unknown level"), std::string::npos);
  EXPECT_NE(bytes.find("LV_WAR] warning\r\n"), std::string::npos);
}

TEST_F(LogFileTest, UnknownLevelHasAnEmptyName) {
  LogFile::Instance().SetLevel(9);
  LOG_AT(7, L"odd");
  EXPECT_NE(ReadBytes(path_).find(" ] odd\r\n"), std::string::npos);
}

TEST_F(LogFileTest, NothingIsWrittenWithoutAPath) {
  LogFile::Instance().SetPath(L"");
  LOG_APP(L"nowhere");
  EXPECT_EQ(GetFileAttributesW(path_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(LogFileTest, DeletedFileIsRecreatedWithAByteOrderMark) {
  LOG_APP(L"first");
  ASSERT_TRUE(DeleteFileW(path_.c_str()));
  LOG_APP(L"second");
  const std::string bytes = ReadBytes(path_);
  EXPECT_EQ(bytes.compare(0, 3, "\xEF\xBB\xBF"), 0);
  EXPECT_EQ(bytes.find("first"), std::string::npos);
  EXPECT_NE(bytes.find("LV_APP] second\r\n"), std::string::npos);
}

TEST_F(LogFileTest, UnconvertibleTextIsWrittenAsNothing) {
  LOG_APP(std::wstring(L"broken \xD800"));
  LOG_APP(L"after");
  const std::string bytes = ReadBytes(path_);
  EXPECT_EQ(bytes.find("broken"), std::string::npos);
  EXPECT_NE(bytes.find("LV_APP] after\r\n"), std::string::npos);
}

TEST_F(LogFileTest, LinesFromConcurrentThreadsNeverInterleave) {
  constexpr int kThreads = 4;
  constexpr int kLines = 200;
  const std::wstring filler(300, L'x');
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &filler] {
      for (int i = 0; i < kLines; ++i)
        LOG_APP(L"thread " + std::to_wstring(t) + L" line " + std::to_wstring(i) + L" " + filler);
    });
  }
  for (auto& thread : threads) thread.join();

  const std::string body = ReadBytes(path_).substr(3);
  const std::regex line(R"(\[[-0-9 :]{19} log_test\.cpp:\d+ LV_APP\] thread (\d) line (\d+) x{300})");
  std::vector<int> seen(kThreads * kLines, 0);
  size_t start = 0;
  int count = 0;
  while (start < body.size()) {
    const size_t end = body.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "last line is not terminated";
    std::smatch match;
    const std::string text = body.substr(start, end - start);
    ASSERT_TRUE(std::regex_match(text, match, line)) << "mixed line: " << text;
    ++seen[std::stoi(match[1]) * kLines + std::stoi(match[2])];
    ++count;
    start = end + 2;
  }
  EXPECT_EQ(count, kThreads * kLines);
  for (int hits : seen) EXPECT_EQ(hits, 1);
}

}  // namespace
