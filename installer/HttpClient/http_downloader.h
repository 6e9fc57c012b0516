#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "installer/HttpClient/download_ranges.h"
#include "installer/HttpClient/http_interface.h"
#include "nbase/lock.h"
#include "nbase/scoped_handle.h"

// Sent (the monitor waits for the window) with the address of a
// DownloadProgress in lParam, each time the whole percentage grows.
constexpr UINT WM_DOWNLOAD_PROGRESS = WM_USER + 101;
// Posted once per download; lParam 1 when the package is complete at the
// target path, 0 otherwise.
constexpr UINT WM_DOWNLOAD_FINISHED = WM_USER + 102;

class CHttpDownloader;
class PartJoiner;

// What travels with WM_DOWNLOAD_PROGRESS. It lives on the monitor's stack:
// valid only while the message is being handled.
struct DownloadProgress {
  CHttpDownloader* source;
  int percent;      // 0..100
  double received;  // bytes stored over all parts
  double total;     // the package size
};

// One part of a download: a byte range fetched by its own thread and client
// into its own file. The counters are written by the part's thread and read by
// the monitor and the download thread.
struct _DOWNLOAD_RANGE_THREAD_PARAMETER {
  CHttpDownloader* owner = nullptr;
  std::atomic<int> state{TransferRunning};  // a TransferState
  int index = 0;
  std::int64_t first = 0;
  std::int64_t last = -1;
  std::atomic<std::int64_t> received{0};
  std::int64_t length = 0;
  std::wstring url;
  std::wstring part_path;
  // The answer this part must get: the package size the server announced and
  // its ETag (empty when it sent none). A part without a Range field (the
  // server does not serve ranges) expects a plain 200 with the whole package.
  std::int64_t package_size = 0;
  std::string etag;
  bool whole_file = false;
  nbase::ScopedHandle thread;

  ByteRange Range() const { return {first, last}; }
};

// Fetches the product's setup package: asks the server for its size, cuts it
// into eight byte ranges fetched at the same time (one thread and one WinINet
// client each) into part files, joins them into the target file and tells the
// window by WM_DOWNLOAD_PROGRESS and WM_DOWNLOAD_FINISHED.
//
// A part counts only when the server answered exactly the range asked for, of
// the same package (size and ETag), with exactly the part's bytes; the package
// is reported complete only when every part counted and the join wrote exactly
// the package size. Otherwise no target file and no part file is left behind.
// A server that does not serve ranges gets one plain GET of the whole file.
//
// One object serves any number of downloads (a retry is a new StartDownload);
// downloads run one after the other. The destructor waits for running work.
class CHttpDownloader : public IHttpCallback {
 public:
  // The size assumed until the server has told it: 120 MiB.
  static constexpr std::int64_t kAssumedPackageSize = 125829120;

  // Starts the progress monitor and, in the background, the first size query.
  // The file name comes from the URL; folder ends with a path separator. A
  // null window gets no messages and no join.
  CHttpDownloader(HWND window, const std::wstring& url, const std::wstring& folder);
  virtual ~CHttpDownloader();
  CHttpDownloader(const CHttpDownloader&) = delete;
  CHttpDownloader& operator=(const CHttpDownloader&) = delete;

  // kAssumedPackageSize until the background query has ended, then its
  // result: 0 when the server could not tell.
  double GetFileSize() const;
  // Folder followed by the file name.
  std::wstring GetTargetPath() const;
  // Runs a complete download on a thread of its own and returns at once. The
  // percentages start again from 0.
  void StartDownload();
  // From the start of the latest download until all its parts had ended (the
  // join not included); meaningful after WM_DOWNLOAD_FINISHED.
  double GetElapsedSeconds() const;

  // IHttpCallback: keeps the part's received count current. Called on the
  // part threads.
  void OnTransferProgress(void* parameter, int state, double total, double done) override;
  bool ShouldStop() override;

 protected:
  using RangeRecord = _DOWNLOAD_RANGE_THREAD_PARAMETER;

  // Points where a derived class can make a part fail (tests do). They run on
  // download and part threads, so a derived object must not be destroyed
  // while a download runs.

  // The client of one part; it must be of type HttpClientWininet. Null fails
  // the part. Runs on the part's thread.
  virtual ScopedHttpClient CreatePartClient(const RangeRecord& record);
  // Starts the part's thread (stored in record.thread); false when it could
  // not be created, which fails the part. Runs on the download thread.
  virtual bool StartPartThread(RangeRecord& record);

 private:
  using RangeRecordList = std::vector<std::unique_ptr<RangeRecord>>;

  // What the size query learnt about the package.
  struct PackageInfo {
    std::int64_t size = 0;
    bool serves_ranges = false;
    std::string etag;
  };

  static unsigned __stdcall MonitorMain(void* self);
  static unsigned __stdcall EstimateMain(void* self);
  static unsigned __stdcall DownloadMain(void* self);
  static unsigned __stdcall PartMain(void* record);

  PackageInfo QueryPackage();
  void RunMonitor();
  void ReportProgress();
  void RunDownload();
  bool DownloadAndJoin(std::shared_ptr<RangeRecordList>& records);
  std::shared_ptr<RangeRecordList> CreateRecords(const PackageInfo& package,
                                                 const std::wstring& target);
  void RunPart(RangeRecord& record);
  // Why the answer cannot be used as the part, or null when it can.
  const wchar_t* RefusePartAnswer(IHttpBase& client, const RangeRecord& record);
  // Waits for every part's thread, meanwhile copying what has arrived into
  // the package (when there is a joiner).
  void WaitForParts(const RangeRecordList& records, PartJoiner* joiner);
  void CopyArrivedParts(const RangeRecordList& records, PartJoiner& joiner);
  void RemovePartFiles(const RangeRecordList& records);
  void RemoveFiles(const RangeRecordList& records, const std::wstring& target);
  // Empties the shared range list, but only while it still holds `records`.
  void ClearRangeRecords(const std::shared_ptr<RangeRecordList>& records);
  bool StartWorker(unsigned(__stdcall* main)(void*));
  void PostFinished(bool success);

  nbase::ScopedHandle monitor_thread_;
  nbase::ScopedHandle start_event_;
  nbase::ScopedHandle stop_event_;
  unsigned monitor_thread_id_ = 0;
  std::atomic<bool> stop_{false};
  const std::wstring url_;
  std::atomic<std::int64_t> file_size_{kAssumedPackageSize};
  const std::wstring folder_;
  const std::wstring file_name_;
  const HWND window_;
  // The current download's parts, in index order; guarded by list_lock_. Each
  // download owns its list, so clearing an old one never touches a later one.
  std::shared_ptr<RangeRecordList> range_records_;
  std::atomic<std::int64_t> start_time_{0};
  std::atomic<std::int64_t> end_time_{0};
  nbase::Lock list_lock_;
  // Written under list_lock_ (reset and raise) so that a restart cannot race
  // with a report of the previous download.
  std::atomic<int> highest_percent_{0};

  // Held by a download from its size query to its final message.
  nbase::Lock run_lock_;
  // Manual-reset; set by the destructor to cut short the delayed clearing.
  nbase::ScopedHandle shutdown_event_;
  // The size query and download threads, waited for by the destructor.
  nbase::Lock workers_lock_;
  std::vector<nbase::ScopedHandle> workers_;
};
