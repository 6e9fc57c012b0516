// The analytics sender: parsing of the machine queries' output, the choice of
// the client id (fake_wmic stands in for wmic), and the events as the fault
// server's /capture/ location receives them.
#include "installer/base/install_analytics.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "installer/base/known_folders.h"
#include "nbase/string_conversion.h"
#include "tests/e2e/servers/test_servers.h"
#include "tests/installer/base/test_support.h"

namespace {

const char kCategory[] = "Tidewell_for_Win";
const char kName[] = "Tidewell_Installer";
const char kProcessorId[] = "178BFBFF00A00F11";
const char kQuery[] = "?measurement_id=G-R8KQ3WMJYD&api_secret=Tq7vBm2XcP-hLd9wRfZa4K";

// Bytes of a text in UTF-16LE, optionally after a byte order mark.
std::string Utf16(const std::wstring& text, bool byte_order_mark = true) {
  std::string bytes = byte_order_mark ? "\xFF\xFE" : "";
  for (const wchar_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>((c >> 8) & 0xFF);
  }
  return bytes;
}

std::wstring Fake(const std::wstring& arguments) {
  return L"\"" + ModuleFolder() + L"fake_wmic.exe\" " + arguments;
}

std::wstring OwnPid() { return std::to_wstring(GetCurrentProcessId()); }

std::string Body(const std::string& client_id, const std::string& name,
                 const std::string& category, const std::string& label) {
  return "{\"client_id\":\"" + client_id + "\",\"events\":[{\"name\":\"" + name +
         "\",\"params\":{\"event_category\":\"" + category + "\",\"event_label\":\"" + label +
         "\"}}]}";
}

// --- output parsing --------------------------------------------------------------------

struct ParseCase {
  const char* what;
  std::string output;
  const char* key;
  bool found;
  std::string value;
};

TEST(ParseMachineValueTest, ReadsWhatTheQueriesPrint) {
  const ParseCase cases[] = {
      {"processor id as wmic prints it", Utf16(L"ProcessorId       \r\n178BFBFF00A00F11  \r\n"),
       "ProcessorId", true, kProcessorId},
      {"two disks run together", Utf16(L"SerialNumber\r\nWINEHDISK  \r\nWINEHDISK  \r\n"),
       "SerialNumber", true, "WINEHDISKWINEHDISK"},
      {"UTF-16 without byte order mark", Utf16(L"SerialNumber\r\nX1 \r\n", false), "SerialNumber",
       true, "X1"},
      {"8-bit text", "ProcessorId  \r\nBFEBFBFF000906EA\r\n", "ProcessorId", true,
       "BFEBFBFF000906EA"},
      {"8-bit text ends at its first zero byte", std::string("SerialNumber\r\nAB\0CD", 19),
       "SerialNumber", true, "AB"},
      {"UTF-16 ends at its first zero character",
       Utf16(L"SerialNumber\r\nAB") + std::string(2, '\0') + Utf16(L"CD", false), "SerialNumber",
       true, "AB"},
      {"a lone last byte is ignored", Utf16(L"SerialNumber\r\nZ9\r\n") + "Q", "SerialNumber", true,
       "Z9"},
      {"non-ASCII becomes UTF-8", Utf16(L"SerialNumber\r\n\u00C4B \r\n"), "SerialNumber", true,
       "\xC3\x84" "B"},
      {"key followed by blanks only", Utf16(L"ProcessorId  \r\n        \r\n\r\n"), "ProcessorId",
       true, ""},
      {"value capped at 511 characters", Utf16(L"SerialNumber\r\n" + std::wstring(600, L'7')),
       "SerialNumber", true, std::string(511, '7')},
      {"key is case-sensitive", Utf16(L"processorid\r\nX\r\n"), "ProcessorId", false, ""},
      {"error text without the key",
       Utf16(L"Node - HOST\r\nERROR:\r\nDescription = Invalid class \r\n"), "ProcessorId", false,
       ""},
      {"no output", "", "ProcessorId", false, ""},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.what);
    const MachineValue result = ParseMachineValue(c.output, c.key);
    EXPECT_EQ(result.found, c.found);
    EXPECT_EQ(result.value, c.value);
  }
}

// --- client id -------------------------------------------------------------------------

struct ClientIdCase {
  const char* what;
  std::wstring processor_query;
  std::wstring disk_query;
  std::string client_id;
};

// Every query is bounded: a case whose query hangs ends all the same (CTest's
// time-out would fail it otherwise).
TEST(InstallAnalyticsClientIdTest, ProcessorIdThenDiskSerialThenFixedId) {
  const std::wstring processor = Fake(L"print ProcessorId 178BFBFF00A00F11");
  const std::wstring disk = Fake(L"print SerialNumber WINEHDISK WINEHDISK");
  const std::wstring hang = Fake(L"hang " + OwnPid());
  const ClientIdCase cases[] = {
      {"processor id", processor, disk, kProcessorId},
      {"processor id printed in two writes", Fake(L"split ProcessorId 178BFBFF00A00F11"), disk,
       kProcessorId},
      {"processor query stays alive after printing",
       Fake(L"linger " + OwnPid() + L" ProcessorId 178BFBFF00A00F11"), disk, kProcessorId},
      {"several processors run together", Fake(L"print ProcessorId AAAA BBBB"), disk, "AAAABBBB"},
      {"processor query floods its output", Fake(L"flood ProcessorId 6000"), disk,
       std::string(511, 'A')},
      {"processor query fails", Fake(L"fail"), disk, "WINEHDISKWINEHDISK"},
      {"processor query cannot start", L"\"" + ModuleFolder() + L"no_such_query.exe\"", disk,
       "WINEHDISKWINEHDISK"},
      {"processor query prints blanks only", Fake(L"blank ProcessorId"), disk,
       "WINEHDISKWINEHDISK"},
      {"processor query hangs", hang, disk, "WINEHDISKWINEHDISK"},
      {"both fail", Fake(L"fail"), Fake(L"fail"), "3931"},
      {"both print blanks only", Fake(L"blank ProcessorId"), Fake(L"blank SerialNumber"), "3931"},
      {"both hang", hang, hang, "3931"},
  };
  for (const ClientIdCase& c : cases) {
    SCOPED_TRACE(c.what);
    AnalyticsSettings settings;
    settings.processor_query = c.processor_query;
    settings.disk_query = c.disk_query;
    InstallAnalytics analytics(settings);
    analytics.Init(kCategory, kName);
    EXPECT_EQ(analytics.ClientId(), c.client_id);
  }
}

// --- events ----------------------------------------------------------------------------

class InstallAnalyticsEventTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    servers_ = TestServers::Get(&error);
    ASSERT_NE(servers_, nullptr) << error;
  }

  // A capture name of this run, with nothing recorded under it yet.
  std::wstring FreshCapture(const std::wstring& tag) const {
    const std::wstring name = L"analytics-" + OwnPid() + L"-" + tag;
    DeleteFileW(CaptureFile(name, L"head").c_str());
    DeleteFileW(CaptureFile(name, L"body").c_str());
    return name;
  }

  // A sender posting to /capture/<name> of the given base URL, with the
  // processor query answering kProcessorId.
  static AnalyticsSettings Settings(const std::wstring& base_url, const std::wstring& name) {
    AnalyticsSettings settings;
    settings.collection_url = nbase::WideToUtf8(base_url + L"/capture/" + name);
    settings.processor_query = Fake(L"print ProcessorId 178BFBFF00A00F11");
    settings.disk_query = Fake(L"fail");
    return settings;
  }
  AnalyticsSettings CaptureSettings(const std::wstring& name) const {
    return Settings(servers_->FaultUrl(L""), name);
  }

  // The request's head and body once both are recorded (the body is written first).
  bool WaitForCapture(const std::wstring& name, std::string* head, std::string* body) const {
    if (!test_support::WaitForFile(CaptureFile(name, L"head"))) return false;
    *head = servers_->ReadCapture(name, L"head");
    *body = servers_->ReadCapture(name, L"body");
    return true;
  }

  static std::string RequestLine(const std::wstring& name) {
    return "POST /capture/" + nbase::WideToUtf8(name) + kQuery + " HTTP/1.1\r\n";
  }

  std::wstring CaptureFile(const std::wstring& name, const std::wstring& part) const {
    return servers_->capture_dir + L"\\" + name + L"." + part;
  }

  const TestServers* servers_ = nullptr;
};

struct EventCase {
  const char* label;
  const char* suffix;
  const char* event_label;
};

// All events in flight at once, each from its own sender.
TEST_F(InstallAnalyticsEventTest, EveryEventArrivesWithExactQueryAndBody) {
  const EventCase cases[] = {
      {"Start_Install", "", "Start_Install"},
      {"Install_Completed", "", "Install_Completed"},
      {"Cancel_Install", "", "Cancel_Install"},
      {"Install_Time", "", "Install_Time"},
      {"Install_Time", "0-15s", "Install_Time_0-15s"},
      {"Install_Time", "15.1-30s", "Install_Time_15.1-30s"},
      {"Install_Time", "30.1s-1min", "Install_Time_30.1s-1min"},
      {"Install_Time", "1-2mins", "Install_Time_1-2mins"},
      {"Install_Time", "2-3mins", "Install_Time_2-3mins"},
      {"Install_Time", "3-5mins", "Install_Time_3-5mins"},
      {"Install_Time", "5-10mins", "Install_Time_5-10mins"},
      {"Install_Time", "over 10mins", "Install_Time_over 10mins"},
  };
  std::vector<std::unique_ptr<InstallAnalytics>> senders;
  std::vector<std::wstring> names;
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    names.push_back(FreshCapture(L"event" + std::to_wstring(i)));
    senders.push_back(std::make_unique<InstallAnalytics>(CaptureSettings(names.back())));
    senders.back()->Init(kCategory, kName);
    senders.back()->SendEvent(cases[i].label, cases[i].suffix);
  }
  for (size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(cases[i].event_label);
    std::string head, body;
    ASSERT_TRUE(WaitForCapture(names[i], &head, &body));
    EXPECT_EQ(head.rfind(RequestLine(names[i]), 0), 0u) << head;
    EXPECT_NE(head.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
              std::string::npos)
        << head;
    EXPECT_EQ(head.find("Content-Type"), std::string::npos) << head;
    EXPECT_EQ(body, Body(kProcessorId, kName, kCategory, cases[i].event_label));
  }
  // The same, spelt out once.
  std::string head, body;
  ASSERT_TRUE(WaitForCapture(names[4], &head, &body));
  EXPECT_EQ(body,
            "{\"client_id\":\"178BFBFF00A00F11\",\"events\":[{\"name\":\"Tidewell_Installer\","
            "\"params\":{\"event_category\":\"Tidewell_for_Win\","
            "\"event_label\":\"Install_Time_0-15s\"}}]}");
}

TEST_F(InstallAnalyticsEventTest, HostileValuesAreEscaped) {
  const std::wstring name = FreshCapture(L"hostile");
  AnalyticsSettings settings = CaptureSettings(name);
  settings.processor_query = Fake(L"print ProcessorId AB\\\"CD");  // prints AB"CD
  InstallAnalytics analytics(settings);
  analytics.Init("Tide\"well\\for\tWin\x01", "Tidewell\",\"x\":\"y");
  analytics.SendEvent("Install_Time", "\r\n\xC3\xBC\x1F");

  std::string head, body;
  ASSERT_TRUE(WaitForCapture(name, &head, &body));
  EXPECT_EQ(body,
            R"({"client_id":"AB\"CD","events":[{"name":"Tidewell\",\"x\":\"y",)"
            R"("params":{"event_category":"Tide\"well\\for\tWin\u0001",)"
            R"("event_label":"Install_Time_\r\n)" "\xC3\xBC" R"(\u001f"}}]})");
}

TEST_F(InstallAnalyticsEventTest, EventSentJustBeforeTheSenderIsDestroyedArrivesIntact) {
  const std::wstring name = FreshCapture(L"destroyed");
  {
    auto sender = std::make_unique<InstallAnalytics>(CaptureSettings(name));
    sender->Init(kCategory, kName);
    sender->SendEvent("Cancel_Install", "");
  }
  // Take the freed memory back at once and fill it with rubbish, so that a
  // thread still reading the sender would send rubbish.
  std::vector<std::unique_ptr<std::array<char, sizeof(InstallAnalytics)>>> objects;
  std::vector<std::string> texts;
  for (int i = 0; i < 2000; ++i) {
    objects.push_back(std::make_unique<std::array<char, sizeof(InstallAnalytics)>>());
    objects.back()->fill('\x7F');
    texts.emplace_back(16 + i % 64, '\x7F');
  }

  std::string head, body;
  ASSERT_TRUE(WaitForCapture(name, &head, &body));
  EXPECT_EQ(head.rfind(RequestLine(name), 0), 0u) << head;
  EXPECT_EQ(body, Body(kProcessorId, kName, kCategory, "Cancel_Install"));
}

// The production endpoint is https: the same request through nginx's TLS front.
TEST_F(InstallAnalyticsEventTest, EventOverHttpsArrivesIntact) {
  if (!servers_->ca_trusted) {
    GTEST_SKIP() << "the test authority is not in the system trust store";
  }
  const std::wstring name = FreshCapture(L"https");
  InstallAnalytics analytics(Settings(servers_->HttpsUrl(L""), name));
  analytics.Init(kCategory, kName);
  analytics.SendEvent("Start_Install", "");

  std::string head, body;
  ASSERT_TRUE(WaitForCapture(name, &head, &body));
  EXPECT_EQ(head.rfind(RequestLine(name), 0), 0u) << head;
  EXPECT_EQ(body, Body(kProcessorId, kName, kCategory, "Start_Install"));
}

}  // namespace
