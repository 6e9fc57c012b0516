#include "installer/main/application_threads.h"

#include "installer/main/res/resource_ids.h"
#include "nbase/thread_local_data.h"
#include "nbase/thread_registry.h"
#include "ui/core/resource_package.h"

MiscThread::MiscThread(int identifier, const char* name)
    : nbase::FrameworkThread(name), identifier_(identifier) {}

// Init and Cleanup use members of this class, so the thread must have ended
// before they are destroyed.
MiscThread::~MiscThread() { Stop(); }

void MiscThread::Init() { nbase::ThreadRegistry::RegisterThread(identifier_); }

void MiscThread::Cleanup() { nbase::ThreadRegistry::UnregisterThread(); }

MainThread::MainThread(const char* name) : nbase::FrameworkThread(name) {}

MainThread::~MainThread() { Stop(); }

void MainThread::Init() {
  nbase::ThreadRegistry::RegisterThread(ThreadIdMain);
  // A worker that cannot start is not reported: start-up goes on without it.
  miscThread_ = std::make_unique<MiscThread>(ThreadIdMisc, "Global Misc Thread");
  miscThread_->Start();
  // Without a package (or with a damaged one) the resources are read from the
  // folder on disk instead.
  ui::OpenResourcePackage(IDR_RESOURCE_PACKAGE, L"ZIP", L"");
}

void MainThread::Cleanup() {
  ui::ClosePackage();
  if (miscThread_) {
    miscThread_->Stop();
    miscThread_.reset();
  }
  if (nbase::ThreadLocalData* data = nbase::ThreadLocalData::Current()) data->quit = true;
  nbase::ThreadRegistry::UnregisterThread();
}
