#pragma once

#include <string>

// Install events reported to Google Analytics 4 through its Measurement
// Protocol: one HTTPS POST with a JSON body per event, each from a short-lived
// thread of its own. Nothing waits for an event or looks at the answer, and
// every failure is silent.

// What a machine query printed under its key.
struct MachineValue {
  bool found = false;
  std::string value;  // UTF-8
};

// Reads the output of a machine query such as "wmic cpu get processorid":
// UTF-16LE when it starts with a byte order mark (what wmic prints into a
// pipe) or when its second byte is zero, else 8-bit text in the OEM code page
// up to its first zero byte. The key is matched case-sensitively; the value is
// everything after it with spaces, line feeds and carriage returns removed
// (the values of several devices run together), at most 511 characters.
MachineValue ParseMachineValue(const std::string& output, const std::string& key);

// Runs the command line hidden and parses what it prints. Never blocks for
// long: a query that has not finished within a few seconds is judged on what
// it printed so far (the process is left to end by itself).
MachineValue QueryMachineValue(const std::wstring& command_line, const std::string& key);

// Where events go and how the machine is identified. The defaults are the
// production ones; tests point them at local stand-ins.
struct AnalyticsSettings {
  std::string collection_url = "https://www.google-analytics.com/mp/collect";
  std::wstring processor_query = L"wmic cpu get processorid";
  std::wstring disk_query = L"wmic diskdrive get serialnumber";
};

class InstallAnalytics {
 public:
  InstallAnalytics() : InstallAnalytics(AnalyticsSettings()) {}
  explicit InstallAnalytics(AnalyticsSettings settings);

  // Takes the event category and name (UTF-8) and determines the client id:
  // the processor id, else the disk serial number, else a fixed id. Blocks
  // while the machine queries run. Call once, before any SendEvent.
  void Init(const std::string& category, const std::string& name);

  // Reports "<label>" or "<label>_<suffix>" (UTF-8) and returns at once. The
  // request is complete before this returns, so the sender may be destroyed
  // while the event is still on its way.
  void SendEvent(const std::string& label, const std::string& suffix) const;

  const std::string& ClientId() const { return client_id_; }

 private:
  std::string event_category_;
  std::string event_name_;
  std::string collection_url_;
  std::string measurement_id_;
  std::string api_secret_;
  std::string client_id_;
  std::wstring processor_query_;
  std::wstring disk_query_;
};
