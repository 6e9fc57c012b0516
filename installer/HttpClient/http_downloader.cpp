#include "installer/HttpClient/http_downloader.h"

#include <process.h>

#include <algorithm>
#include <utility>

#include "installer/HttpClient/part_joiner.h"
#include "installer/HttpClient/wininet_http.h"
#include "installer/main/log.h"

namespace {

const DWORD kMonitorPeriodMs = 500;
// How long a finished download's parts stay visible to the monitor, so that
// its last poll can still see them complete.
const DWORD kClearDelayMs = 1000;
// How often the arrived bytes of the parts are copied into the package.
const DWORD kJoinPeriodMs = 20;

std::int64_t SystemTimeNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

HANDLE StartThread(unsigned(__stdcall* main)(void*), void* argument, unsigned* id = nullptr) {
  // _beginthreadex reports failure as 0, which ScopedHandle treats as none.
  return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, main, argument, 0, id));
}

// Waits for the thread to end while handling messages sent to this thread's
// windows: the monitor may be inside SendMessage to a window of the caller.
void WaitPumpingSentMessages(HANDLE thread) {
  for (;;) {
    const DWORD result = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
    if (result != WAIT_OBJECT_0 + 1) return;
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

std::int64_t FileSizeAt(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring Number(std::int64_t value) { return std::to_wstring(value); }

std::wstring ThreadIndex(int index) { return L",thread index:" + Number(index); }

}  // namespace

CHttpDownloader::CHttpDownloader(HWND window, const std::wstring& url, const std::wstring& folder)
    : url_(url), folder_(folder), file_name_(FileNameFromUrl(url)), window_(window) {
  start_event_.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  stop_event_.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  shutdown_event_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  monitor_thread_.Reset(StartThread(&MonitorMain, this, &monitor_thread_id_));
  if (!monitor_thread_) LOG_ERR(L"download monitor thread could not be started");
  StartWorker(&EstimateMain);
  SetEvent(start_event_.Get());
}

CHttpDownloader::~CHttpDownloader() {
  stop_ = true;
  SetEvent(shutdown_event_.Get());
  SetEvent(stop_event_.Get());
  if (monitor_thread_) WaitPumpingSentMessages(monitor_thread_.Get());
  std::vector<nbase::ScopedHandle> workers;
  {
    nbase::AutoLock lock(workers_lock_);
    workers.swap(workers_);
  }
  for (auto& worker : workers) WaitPumpingSentMessages(worker.Get());
}

double CHttpDownloader::GetFileSize() const { return static_cast<double>(file_size_.load()); }

std::wstring CHttpDownloader::GetTargetPath() const { return folder_ + file_name_; }

void CHttpDownloader::StartDownload() {
  {
    nbase::AutoLock lock(list_lock_);
    range_records_.reset();
    highest_percent_ = 0;
  }
  if (!StartWorker(&DownloadMain)) {
    LOG_ERR(L"download thread could not be started");
    PostFinished(false);
  }
}

double CHttpDownloader::GetElapsedSeconds() const {
  const std::int64_t microseconds = (end_time_.load() - start_time_.load()) / 10;
  return static_cast<double>(microseconds) / 1000000.0;
}

void CHttpDownloader::OnTransferProgress(void* parameter, int state, double total, double done) {
  auto* record = static_cast<RangeRecord*>(parameter);
  if (!record || total < done) return;
  record->received = static_cast<std::int64_t>(done);
  // The part's thread sets the final state once it has checked the answer.
  record->state = state;
}

bool CHttpDownloader::ShouldStop() { return stop_; }

ScopedHttpClient CHttpDownloader::CreatePartClient(const RangeRecord&) {
  return MakeHttpClient(HttpClientWininet);
}

bool CHttpDownloader::StartPartThread(RangeRecord& record) {
  record.thread.Reset(StartThread(&PartMain, &record));
  return record.thread.IsValid();
}

// --- threads ---------------------------------------------------------------------------

unsigned __stdcall CHttpDownloader::MonitorMain(void* self) {
  static_cast<CHttpDownloader*>(self)->RunMonitor();
  return 0;
}

unsigned __stdcall CHttpDownloader::EstimateMain(void* self) {
  auto* downloader = static_cast<CHttpDownloader*>(self);
  downloader->file_size_ = downloader->QueryPackage().size;
  return 0;
}

unsigned __stdcall CHttpDownloader::DownloadMain(void* self) {
  static_cast<CHttpDownloader*>(self)->RunDownload();
  return 0;
}

unsigned __stdcall CHttpDownloader::PartMain(void* record) {
  auto* part = static_cast<RangeRecord*>(record);
  part->owner->RunPart(*part);
  return 0;
}

bool CHttpDownloader::StartWorker(unsigned(__stdcall* main)(void*)) {
  nbase::AutoLock lock(workers_lock_);
  workers_.erase(std::remove_if(workers_.begin(), workers_.end(),
                                [](const nbase::ScopedHandle& thread) {
                                  return WaitForSingleObject(thread.Get(), 0) == WAIT_OBJECT_0;
                                }),
                 workers_.end());
  nbase::ScopedHandle thread(StartThread(main, this));
  if (!thread) return false;
  workers_.push_back(std::move(thread));
  return true;
}

// --- size query ------------------------------------------------------------------------

CHttpDownloader::PackageInfo CHttpDownloader::QueryPackage() {
  PackageInfo package;
  package.size = kAssumedPackageSize;
  ScopedHttpClient client = MakeHttpClient(HttpClientWininet);
  if (!client) return package;
  // Asking for the first byte tells both the size (the total in Content-Range)
  // and whether the server serves ranges at all.
  client->SetRequestHeader("Range", "bytes=0-0");
  const double length = client->QueryContentLength(url_.c_str());
  const DWORD system_error = GetLastError();
  LOG_ERR(L"download get file length last error:" + Number(static_cast<int>(system_error)));
  LOG_ERR(L"download get file length http error:" + Number(client->LastError()));

  auto& wininet = static_cast<CWininetHttp&>(*client);
  package.size = 0;
  package.etag = wininet.ResponseHeader("ETag");
  if (client->StatusCode() == HTTP_STATUS_PARTIAL_CONTENT) {
    ByteRange range;
    std::int64_t total = 0;
    if (ParseContentRange(wininet.ResponseHeader("Content-Range"), &range, &total) &&
        range.first == 0 && range.last == 0) {
      package.size = total;
      package.serves_ranges = true;
    }
  } else if (client->StatusCode() == HTTP_STATUS_OK && length > 0) {
    // The Range field was ignored: the answer is the whole file.
    package.size = static_cast<std::int64_t>(length);
  }
  return package;
}

// --- monitor ---------------------------------------------------------------------------

void CHttpDownloader::RunMonitor() {
  const HANDLE events[] = {start_event_.Get(), stop_event_.Get()};
  if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) return;
  while (WaitForSingleObject(stop_event_.Get(), kMonitorPeriodMs) == WAIT_TIMEOUT) {
    ReportProgress();
  }
}

void CHttpDownloader::ReportProgress() {
  std::int64_t received = 0;
  std::int64_t total = 0;
  int percent = 0;
  {
    nbase::AutoLock lock(list_lock_);
    if (!range_records_ || range_records_->empty()) return;
    for (const auto& record : *range_records_) {
      total += record->length;
      // An answer that is not the part may be longer than the part.
      received += std::max<std::int64_t>(0, std::min(record->received.load(), record->length));
    }
    if (!window_) return;
    percent = WholePercent(received, total);
    if (percent <= highest_percent_) return;
    highest_percent_ = percent;
  }
  DownloadProgress progress = {this, percent, static_cast<double>(received),
                               static_cast<double>(total)};
  SendMessageW(window_, WM_DOWNLOAD_PROGRESS, 0, reinterpret_cast<LPARAM>(&progress));
  LOG_APP(L"download progress:" + Number(percent));
}

// --- download --------------------------------------------------------------------------

void CHttpDownloader::RunDownload() {
  std::shared_ptr<RangeRecordList> records;
  {
    nbase::AutoLock run(run_lock_);
    const bool success = DownloadAndJoin(records);
    PostFinished(success);
    // The package is complete without them: removing them need not delay it.
    if (success) RemovePartFiles(*records);
  }
  WaitForSingleObject(shutdown_event_.Get(), kClearDelayMs);
  ClearRangeRecords(records);
}

bool CHttpDownloader::DownloadAndJoin(std::shared_ptr<RangeRecordList>& records) {
  {
    nbase::AutoLock lock(list_lock_);
    range_records_.reset();
    highest_percent_ = 0;
  }
  start_time_ = SystemTimeNow();
  end_time_ = start_time_.load();
  LOG_APP(L"start download");

  const PackageInfo package = QueryPackage();
  LOG_APP(L"download file size:" + Number(package.size));
  const std::wstring target = GetTargetPath();
  if (package.size <= 0 || file_name_.empty()) {
    end_time_ = SystemTimeNow();
    if (!file_name_.empty()) DeleteFileW(target.c_str());
    return false;
  }

  LOG_APP(L"create download thread");
  if (!package.serves_ranges) {
    LOG_APP(L"the server does not serve byte ranges: fetching the whole file in one request");
  }
  records = CreateRecords(package, target);
  // The package is built while the parts arrive. Without a window nobody takes
  // it, and the parts stay as they are.
  std::unique_ptr<PartJoiner> joiner;
  if (window_) {
    std::vector<PartJoiner::Part> parts;
    for (const auto& record : *records) {
      parts.push_back({record->part_path, record->first, record->length});
    }
    joiner = std::make_unique<PartJoiner>(target, package.size, std::move(parts));
    if (!joiner->ok()) {
      LOG_ERR(L"download cannot create the package, error:" +
              Number(static_cast<int>(GetLastError())));
      end_time_ = SystemTimeNow();
      RemoveFiles(*records, target);
      return false;
    }
  }
  {
    nbase::AutoLock lock(list_lock_);
    range_records_ = records;
  }
  for (auto& record : *records) {
    if (record->length == 0) continue;
    if (!StartPartThread(*record)) {
      LOG_ERR(L"download part thread could not be started" + ThreadIndex(record->index));
      record->state = TransferFailed;
    }
  }
  WaitForParts(*records, joiner.get());
  end_time_ = SystemTimeNow();

  const bool all_finished =
      std::all_of(records->begin(), records->end(),
                  [](const auto& record) { return record->state == TransferFinished; });
  if (!joiner) return false;
  if (all_finished && joiner->Finish()) return true;
  if (all_finished) {
    LOG_ERR(L"download join failed, error:" + Number(static_cast<int>(GetLastError())));
  }
  joiner.reset();
  // Nothing incomplete may stay behind to be taken for the package.
  RemoveFiles(*records, target);
  return false;
}

void CHttpDownloader::WaitForParts(const RangeRecordList& records, PartJoiner* joiner) {
  std::vector<HANDLE> running;
  for (const auto& record : records) {
    if (record->thread) running.push_back(record->thread.Get());
  }
  // Copies after every period and whenever a part ends, so that when the last
  // one ends only its latest bytes are left to copy.
  while (!running.empty()) {
    const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(running.size()),
                                                running.data(), FALSE, kJoinPeriodMs);
    if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + running.size()) {
      running.erase(running.begin() + (result - WAIT_OBJECT_0));
    } else if (result != WAIT_TIMEOUT) {
      break;
    }
    if (joiner && joiner->ok()) CopyArrivedParts(records, *joiner);
  }
  // Every part's thread must have ended before its record may go.
  for (HANDLE thread : running) WaitForSingleObject(thread, INFINITE);
}

void CHttpDownloader::CopyArrivedParts(const RangeRecordList& records, PartJoiner& joiner) {
  for (size_t i = 0; i < records.size(); ++i) {
    // Once a part has failed the package is lost: copying more is wasted work.
    if (records[i]->state == TransferFailed) return;
    if (!joiner.CopyArrived(i, records[i]->received)) {
      LOG_ERR(L"download join failed, error:" + Number(static_cast<int>(GetLastError())) +
              ThreadIndex(records[i]->index));
      return;
    }
  }
}

void CHttpDownloader::RemovePartFiles(const RangeRecordList& records) {
  for (const auto& record : records) {
    if (record->length > 0) DeleteFileW(record->part_path.c_str());
  }
}

void CHttpDownloader::RemoveFiles(const RangeRecordList& records, const std::wstring& target) {
  RemovePartFiles(records);
  DeleteFileW(target.c_str());
}

std::shared_ptr<CHttpDownloader::RangeRecordList> CHttpDownloader::CreateRecords(
    const PackageInfo& package, const std::wstring& target) {
  const std::vector<ByteRange> ranges = package.serves_ranges
                                            ? SplitIntoRanges(package.size)
                                            : std::vector<ByteRange>{{0, package.size - 1}};
  auto records = std::make_shared<RangeRecordList>();
  for (size_t i = 0; i < ranges.size(); ++i) {
    auto record = std::make_unique<RangeRecord>();
    record->owner = this;
    record->index = static_cast<int>(i);
    record->first = ranges[i].first;
    record->last = ranges[i].last;
    record->length = ranges[i].Length();
    record->url = url_;
    record->part_path = PartFilePath(target, ranges[i]);
    record->package_size = package.size;
    record->etag = package.etag;
    record->whole_file = !package.serves_ranges;
    if (record->length == 0) {
      // Nothing to ask for: the part is complete as it is.
      record->state = TransferFinished;
    } else {
      DeleteFileW(record->part_path.c_str());
    }
    records->push_back(std::move(record));
  }
  return records;
}

void CHttpDownloader::RunPart(RangeRecord& record) {
  ScopedHttpClient client = CreatePartClient(record);
  if (!client) {
    LOG_ERR(L"download client could not be created" + ThreadIndex(record.index));
    record.state = TransferFailed;
    return;
  }
  client->SetProgressSink(this, &record);
  if (!record.whole_file) {
    client->SetRequestHeader("Range", RangeFieldValue(record.Range()).c_str());
  }
  const bool transferred = client->DownloadToFile(record.url.c_str(), record.part_path.c_str());
  const DWORD system_error = GetLastError();
  const wchar_t* refusal = transferred ? RefusePartAnswer(*client, record) : nullptr;
  if (transferred && !refusal) {
    LOG_APP(L"download fnished thread index:" + Number(record.index));
    record.state = TransferFinished;
    return;
  }

  if (refusal) {
    LOG_ERR(std::wstring(L"download part refused: ") + refusal + L", status:" +
            Number(client->StatusCode()) + ThreadIndex(record.index));
  } else {
    LOG_ERR(L"download failed error. last error:" + Number(static_cast<int>(system_error)) +
            ThreadIndex(record.index));
    LOG_ERR(L"download failed error:" + Number(client->LastError()) + ThreadIndex(record.index));
  }
  // Whatever arrived is not this part and must never reach the package.
  DeleteFileW(record.part_path.c_str());
  record.received = 0;
  record.state = TransferFailed;
}

const wchar_t* CHttpDownloader::RefusePartAnswer(IHttpBase& client, const RangeRecord& record) {
  auto& wininet = static_cast<CWininetHttp&>(client);
  if (record.whole_file) {
    if (client.StatusCode() != HTTP_STATUS_OK) return L"not the whole file";
  } else {
    if (client.StatusCode() != HTTP_STATUS_PARTIAL_CONTENT) return L"the range was not served";
    ByteRange served;
    std::int64_t total = 0;
    if (!ParseContentRange(wininet.ResponseHeader("Content-Range"), &served, &total) ||
        served.first != record.first || served.last != record.last ||
        total != record.package_size) {
      return L"another range or package size";
    }
  }
  if (wininet.ResponseHeader("ETag") != record.etag) return L"another version of the package";
  if (record.received != record.length || FileSizeAt(record.part_path) != record.length) {
    return L"not the part's length";
  }
  return nullptr;
}

void CHttpDownloader::ClearRangeRecords(const std::shared_ptr<RangeRecordList>& records) {
  if (!records) return;
  nbase::AutoLock lock(list_lock_);
  if (range_records_ == records) range_records_.reset();
}

void CHttpDownloader::PostFinished(bool success) {
  if (window_) PostMessageW(window_, WM_DOWNLOAD_FINISHED, 0, success ? 1 : 0);
}
