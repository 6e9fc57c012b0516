#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "nbase/lock.h"
#include "nbase/message_loop.h"
#include "nbase/scoped_handle.h"
#include "nbase/thread.h"
#include "nbase/weak_callback.h"

namespace nbase {

class MessageLoopProxy;

// A thread that owns a MessageLoop and runs it until stopped. Derive from it
// and override Init (runs on the thread before the loop, e.g. to register
// the thread or start other threads) and Cleanup (runs on the thread after
// the loop has ended).
//
//   Worker thread:  worker.Start();  ...  worker.Stop();
//   Process's first thread:  main_thread.RunOnCurrentThread(MessageLoop::kUI);
//
// Other threads give it work through message_loop_proxy()->PostTask(...).
// A derived class whose Init or Cleanup touches its own members must call
// Stop in its own destructor (the base destructor runs too late for that).
class FrameworkThread : public Thread, public virtual SupportWeakCallback {
 public:
  explicit FrameworkThread(const char* name);
  ~FrameworkThread() override;

  // Starts an OS thread with a default (worker) loop. Returns once the loop
  // exists and Init has run there. False if the thread is already running or
  // the OS thread could not be created.
  bool Start();

  // Runs the thread body on the calling thread with a loop of the given kind
  // (MessageLoop::Kind; kIO runs a default loop). Returns after the loop has
  // ended and Cleanup has run.
  void RunOnCurrentThread(int kind);

  // Makes the loop quit once the tasks already queued have run, then waits
  // for the thread to end. Call from another thread; called on the thread
  // itself it only asks the loop to quit.
  void Stop();

  bool IsRunning() const { return running_.load(); }
  bool IsStopping() const { return stopping_.load(); }
  int loop_kind() const { return loop_kind_; }
  const std::string& name() const { return name_; }

  // The thread's loop; use only on the thread itself.
  MessageLoop* message_loop() const { return message_loop_.get(); }
  // For posting from any thread; null while the thread body is not running.
  std::shared_ptr<MessageLoopProxy> message_loop_proxy() const;

 protected:
  virtual void Init() {}
  virtual void Cleanup() {}

 private:
  // The thread body: creates the loop, Init, runs the loop, Cleanup.
  void Run() override;

  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
  int loop_kind_ = MessageLoop::kDefault;
  std::unique_ptr<MessageLoop> message_loop_;
  mutable Lock proxy_lock_;
  std::shared_ptr<MessageLoopProxy> proxy_;
  ScopedHandle startup_event_;
  const std::string name_;
};

}  // namespace nbase
