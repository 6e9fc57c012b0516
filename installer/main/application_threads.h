#pragma once

#include <memory>

#include "nbase/framework_thread.h"

// Registry identifiers of the installer's framework threads.
enum ApplicationThreadId : int {
  ThreadIdMain = 0,
  ThreadIdMisc = 1,
};

// The idle worker thread, available for background work.
class MiscThread : public nbase::FrameworkThread {
 public:
  MiscThread(int identifier, const char* name);
  ~MiscThread() override;

 private:
  void Init() override;
  void Cleanup() override;

  const int identifier_;
};

// The process's first thread running the UI loop: its start-up brings the
// user interface to life and its clean-up takes it down again.
class MainThread : public nbase::FrameworkThread {
 public:
  explicit MainThread(const char* name);
  ~MainThread() override;

 private:
  void Init() override;
  void Cleanup() override;

  std::unique_ptr<MiscThread> miscThread_;
};
