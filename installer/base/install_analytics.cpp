#include "installer/base/install_analytics.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "installer/HttpClient/http_interface.h"
#include "nbase/scoped_handle.h"
#include "nbase/string_conversion.h"

namespace {

const char kMeasurementId[] = "G-R8KQ3WMJYD";
const char kApiSecret[] = "Tq7vBm2XcP-hLd9wRfZa4K";
// Sent when the machine gives no usable identifier.
const char kFallbackClientId[] = "3931";

const char kProcessorKey[] = "ProcessorId";
const char kDiskKey[] = "SerialNumber";

// How much of a query's output is looked at.
const size_t kOutputLimit = 10000;
const size_t kValueLimit = 511;
// wmic's first call on a machine can take a few seconds while the management
// service starts; a query that needs longer is most likely stuck, and start-up
// waits for it.
const ULONGLONG kQueryTimeoutMs = 3000;
const DWORD kPollMs = 15;

// --- machine queries -----------------------------------------------------------------

bool StartsWithByteOrderMark(const std::string& bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
         static_cast<unsigned char>(bytes[1]) == 0xFE;
}

// The output as text, up to its first zero character.
std::wstring DecodeOutput(const std::string& bytes) {
  const bool bom = StartsWithByteOrderMark(bytes);
  if (bom || (bytes.size() >= 2 && bytes[1] == '\0')) {
    std::wstring text;
    for (size_t i = bom ? 2 : 0; i + 1 < bytes.size(); i += 2) {
      const wchar_t c = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                             static_cast<unsigned char>(bytes[i + 1]) << 8);
      if (c == L'\0') break;
      text.push_back(c);
    }
    return text;
  }
  // Console programs that do not print UTF-16 use the OEM code page.
  const std::string narrow(bytes.c_str());
  if (narrow.empty()) return std::wstring();
  const int length =
      MultiByteToWideChar(CP_OEMCP, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(std::max(length, 0)), L'\0');
  if (length > 0) {
    MultiByteToWideChar(CP_OEMCP, 0, narrow.data(), static_cast<int>(narrow.size()), &text[0],
                        length);
  }
  return text;
}

// Reads the pipe until every writer has closed it, kOutputLimit bytes have
// arrived or the time is up, whichever comes first. Polls rather than blocks,
// so that a query that never prints cannot hold the caller.
std::string ReadOutput(HANDLE pipe, HANDLE process) {
  const ULONGLONG deadline = GetTickCount64() + kQueryTimeoutMs;
  std::string output(kOutputLimit, '\0');
  size_t received = 0;
  while (received < kOutputLimit) {
    // Looked at before the pipe: once the process has ended, whatever it
    // wrote is already in the pipe.
    const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) break;  // no writer left
    if (available > 0) {
      const DWORD wanted =
          static_cast<DWORD>(std::min<size_t>(available, kOutputLimit - received));
      DWORD read = 0;
      if (!ReadFile(pipe, &output[received], wanted, &read, nullptr) || read == 0) break;
      received += read;
      continue;
    }
    if (ended) break;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) break;
    WaitForSingleObject(process, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, kPollMs)));
  }
  output.resize(received);
  return output;
}

// Runs the command line hidden with its standard output and error going into
// a pipe, and returns what it printed. Empty when it cannot be started.
std::string RunAndCapture(const std::wstring& command_line) {
  SECURITY_ATTRIBUTES inheritable = {};
  inheritable.nLength = sizeof(inheritable);
  inheritable.bInheritHandle = TRUE;
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inheritable, 0)) return std::string();
  nbase::ScopedHandle reader(read_end);
  nbase::ScopedHandle writer(write_end);
  SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0);
  // wmic reads a redirected standard input to its end before it exits: give
  // it an empty one rather than whatever this process was started with.
  nbase::ScopedHandle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        &inheritable, OPEN_EXISTING, 0, nullptr));

  STARTUPINFOW startup = {};
  GetStartupInfoW(&startup);
  startup.cb = sizeof(startup);
  // The C runtime's handle table of this process means nothing to the child.
  startup.cbReserved2 = 0;
  startup.lpReserved2 = nullptr;
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = input.Get();
  startup.hStdOutput = writer.Get();
  startup.hStdError = writer.Get();

  std::vector<wchar_t> command(command_line.begin(), command_line.end());
  command.push_back(L'\0');
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &started)) {
    return std::string();
  }
  nbase::ScopedHandle process(started.hProcess);
  nbase::ScopedHandle thread(started.hThread);
  // With our copy of the write end gone, the pipe reports its end as soon as
  // the child has finished.
  writer.Reset();
  input.Reset();
  return ReadOutput(reader.Get(), process.Get());
}

std::string MachineClientId(const std::wstring& processor_query, const std::wstring& disk_query) {
  const std::pair<const std::wstring*, const char*> queries[] = {
      {&processor_query, kProcessorKey},
      {&disk_query, kDiskKey},
  };
  for (const auto& query : queries) {
    const MachineValue id = QueryMachineValue(*query.first, query.second);
    // Machines (virtual ones above all) may print the key without a value;
    // the collector drops events whose client id is empty.
    if (id.found && !id.value.empty()) return id.value;
  }
  return kFallbackClientId;
}

// --- events ---------------------------------------------------------------------------

// The text as the inside of a JSON string: quotes, backslashes and control
// characters escaped, everything else (UTF-8 included) as it is.
std::string JsonText(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '"': escaped += "\\\""; break;
      case '\\': escaped += "\\\\"; break;
      case '\b': escaped += "\\b"; break;
      case '\f': escaped += "\\f"; break;
      case '\n': escaped += "\\n"; break;
      case '\r': escaped += "\\r"; break;
      case '\t': escaped += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char code[8];
          std::snprintf(code, sizeof(code), "\\u%04x", static_cast<unsigned char>(c));
          escaped += code;
        } else {
          escaped += c;
        }
    }
  }
  return escaped;
}

// Everything one event's thread needs, owned by that thread.
struct EventRequest {
  std::string url;
  std::string body;
};

DWORD WINAPI PostEvent(void* parameter) {
  const std::unique_ptr<EventRequest> request(static_cast<EventRequest*>(parameter));
  const ScopedHttpClient client = MakeHttpClient(HttpClientWininet);
  if (!client) return 0;
  static_cast<IWininetHttp*>(client.get())
      ->Fetch(request->url.c_str(), HttpPost, request->body.c_str(), static_cast<const char*>(nullptr));
  return 0;
}

}  // namespace

MachineValue ParseMachineValue(const std::string& output, const std::string& key) {
  const std::wstring text = DecodeOutput(output);
  const std::wstring wide_key = nbase::Utf8ToWide(key);
  const size_t at = wide_key.empty() ? std::wstring::npos : text.find(wide_key);
  if (at == std::wstring::npos) return MachineValue();

  std::wstring value;
  for (size_t i = at + wide_key.size(); i < text.size() && value.size() < kValueLimit; ++i) {
    const wchar_t c = text[i];
    if (c != L' ' && c != L'\n' && c != L'\r') value.push_back(c);
  }
  // Never keep half of a surrogate pair.
  if (!value.empty() && value.back() >= 0xD800 && value.back() <= 0xDBFF) value.pop_back();

  MachineValue result;
  result.found = true;
  result.value = nbase::WideToUtf8(value);
  return result;
}

MachineValue QueryMachineValue(const std::wstring& command_line, const std::string& key) {
  return ParseMachineValue(RunAndCapture(command_line), key);
}

InstallAnalytics::InstallAnalytics(AnalyticsSettings settings)
    : collection_url_(std::move(settings.collection_url)),
      measurement_id_(kMeasurementId),
      api_secret_(kApiSecret),
      client_id_(kFallbackClientId),
      processor_query_(std::move(settings.processor_query)),
      disk_query_(std::move(settings.disk_query)) {}

void InstallAnalytics::Init(const std::string& category, const std::string& name) {
  event_category_ = category;
  event_name_ = name;
  client_id_ = MachineClientId(processor_query_, disk_query_);
}

void InstallAnalytics::SendEvent(const std::string& label, const std::string& suffix) const {
  const std::string event_label = suffix.empty() ? label : label + "_" + suffix;
  // Built here, in full: the thread must not reach back into this object,
  // which may be gone before the request is sent.
  auto request = std::make_unique<EventRequest>();
  request->url = collection_url_ + "?measurement_id=" + measurement_id_ + "&api_secret=" + api_secret_;
  request->body = "{\"client_id\":\"" + JsonText(client_id_) + "\"," +
                  "\"events\":[{\"name\":\"" + JsonText(event_name_) + "\"," +
                  "\"params\":{\"event_category\":\"" + JsonText(event_category_) + "\"," +
                  "\"event_label\":\"" + JsonText(event_label) + "\"}}]}";
  const nbase::ScopedHandle thread(CreateThread(nullptr, 0, &PostEvent, request.get(), 0, nullptr));
  if (thread) request.release();  // the thread owns it now; closing the handle detaches it
}
