#include "installer/main/instance_lock.h"

#include <gtest/gtest.h>

namespace {

TEST(InstanceLockNameTest, OnlyANameWithExactlyOneDotSeparatorGivesABaseName) {
  const struct {
    const wchar_t* fileName;
    const wchar_t* lockName;
  } cases[] = {
      {L"setup.exe", L"setup"},
      {L"Tidewell_setup_de.exe", L"Tidewell_setup_de"},
      {L"setup..exe", L"setup"},   // a run of dots is one separator
      {L".setup.exe", L"setup"},   // empty pieces are dropped
      {L"my.setup.exe", L""},
      {L"setup", L""},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(InstanceLockName(c.fileName), c.lockName) << c.fileName;
}

}  // namespace
