#include "installer/base/shell_helpers.h"

#include <gtest/gtest.h>

#include "installer/base/known_folders.h"
#include "installer/base/network_status.h"
#include "nbase/string_conversion.h"
#include "tests/installer/base/test_support.h"

namespace {

using test_support::TempFolder;

std::wstring RecorderPath() { return ModuleFolder() + L"record_args.exe"; }

// Second line of the helper's record: its command line as it arrived.
std::string RecordedCommandLine(const std::wstring& record) {
  const std::string text = test_support::ReadBytes(record);
  const size_t first = text.find('\n');
  if (first == std::string::npos) return std::string();
  return text.substr(first + 1, text.find('\n', first + 1) - first - 1);
}

TEST(ShellHelpersTest, RunElevatedWaitsAndPassesTheParameters) {
  TempFolder temp;
  const std::wstring record = temp / L"record.txt";
  const std::wstring parameters =
      L"\"" + record + L"\" /S /D=C:\\Program Files\\Halden\\Halden Tidewell\\";
  EXPECT_TRUE(RunElevatedAndWait(RecorderPath(), parameters));
  // The helper pauses before it writes: the record is only there if the call
  // waited for the program to end.
  ASSERT_TRUE(test_support::FileExists(record));
  const std::string command_line = RecordedCommandLine(record);
  const std::string expected_tail = " " + nbase::WideToUtf8(parameters);
  ASSERT_GE(command_line.size(), expected_tail.size());
  EXPECT_EQ(command_line.substr(command_line.size() - expected_tail.size()), expected_tail);
}

TEST(ShellHelpersTest, RunElevatedOnAMissingFileReturnsAtOnce) {
  TempFolder temp;
  EXPECT_TRUE(RunElevatedAndWait(temp / L"missing_setup.exe", L"/S"));
}

TEST(ShellHelpersTest, ShellOpenStartsTheProgramWithParameters) {
  TempFolder temp;
  const std::wstring record = temp / L"record.txt";
  ShellOpen(RecorderPath(), L"\"" + record + L"\" --from-shell");
  ASSERT_TRUE(test_support::WaitForFile(record));
  const std::string command_line = RecordedCommandLine(record);
  EXPECT_NE(command_line.find("--from-shell"), std::string::npos) << command_line;
}

TEST(NetworkStatusTest, ConnectedAnswerOnThisMachine) {
  // Wine's network list manager always reports a connection.
  EXPECT_TRUE(IsInternetConnected());
}

// A caller already in the multithreaded apartment keeps its COM: the check
// must not uninitialise what it did not initialise.
TEST(NetworkStatusTest, LeavesTheCallersComAlone) {
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  EXPECT_TRUE(IsInternetConnected());
  // Still initialised by our own call: a second initialisation says S_FALSE.
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
  CoUninitialize();
  CoUninitialize();
}

}  // namespace
