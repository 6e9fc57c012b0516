// Runs one download with CHttpDownloader, as the setup window would, and
// prints how long it took:
//   download_bench.exe <url> <folder\>
// Output (one line): result=<0|1> estimate_s=... total_s=... download_s=...
//   join_s=... progress_messages=... last_percent=...
// As in the installer, the downloader is created first and its background
// size query (estimate_s, which also pays for loading the TLS libraries on
// the first https request) ends before the download starts, the way it ends
// while the setup window waits for the user's click. total_s runs from
// StartDownload to the finish message: what the user waits for. download_s
// is the downloader's own measure (start of the download until all parts had
// ended); join_s is the rest, i.e. finishing the package. Exit code 0 when
// result=1.
#include <windows.h>

#include <cstdio>
#include <string>

#include "installer/HttpClient/http_downloader.h"

namespace {

struct State {
  int progress_messages = 0;
  int last_percent = 0;
  LPARAM result = -1;
  LARGE_INTEGER finished = {};
};

State g_state;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DOWNLOAD_PROGRESS) {
    ++g_state.progress_messages;
    g_state.last_percent = reinterpret_cast<const DownloadProgress*>(lparam)->percent;
    return 0;
  }
  if (message == WM_DOWNLOAD_FINISHED) {
    QueryPerformanceCounter(&g_state.finished);
    g_state.result = lparam;
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: download_bench.exe <url> <folder\\>\n");
    return 2;
  }
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = &WindowProc;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"DownloadBenchWindow";
  RegisterClassExW(&window_class);
  HWND window = CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, window_class.hInstance, nullptr);
  if (!window) return 2;

  LARGE_INTEGER frequency, created, started;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&created);
  double download_s = 0;
  {
    CHttpDownloader downloader(window, argv[1], argv[2]);
    for (int i = 0; i < 3000 && downloader.GetFileSize() == CHttpDownloader::kAssumedPackageSize;
         ++i) {
      Sleep(10);
    }
    QueryPerformanceCounter(&started);
    downloader.StartDownload();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    download_s = downloader.GetElapsedSeconds();
  }
  const double total_s =
      static_cast<double>(g_state.finished.QuadPart - started.QuadPart) / frequency.QuadPart;
  const double estimate_s =
      static_cast<double>(started.QuadPart - created.QuadPart) / frequency.QuadPart;
  std::printf("result=%d estimate_s=%.3f total_s=%.3f download_s=%.3f join_s=%.3f "
              "progress_messages=%d last_percent=%d\n",
              static_cast<int>(g_state.result), estimate_s, total_s, download_s,
              total_s - download_s,
              g_state.progress_messages, g_state.last_percent);
  std::fflush(stdout);
  DestroyWindow(window);
  return g_state.result == 1 ? 0 : 1;
}
