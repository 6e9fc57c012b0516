#include "nbase/framework_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "nbase/message_loop.h"
#include "nbase/message_loop_proxy.h"
#include "nbase/thread_local_data.h"
#include "nbase/thread_registry.h"
#include "tests/nbase/nbase_test_support.h"

namespace {

using nbase::FrameworkThread;
using nbase::MessageLoop;
using nbase::ThreadRegistry;
using nbase_test::WorkerThread;

// Records where and in which state its hooks ran.
class HookedThread : public FrameworkThread {
 public:
  HookedThread() : FrameworkThread("hooked") {}
  ~HookedThread() override { Stop(); }

  DWORD init_thread_id = 0;
  bool loop_existed_in_init = false;
  DWORD cleanup_thread_id = 0;
  bool quit_flag_in_cleanup = false;

 protected:
  void Init() override {
    init_thread_id = GetCurrentThreadId();
    loop_existed_in_init = MessageLoop::Current() != nullptr && MessageLoop::Current() == message_loop();
  }
  void Cleanup() override {
    cleanup_thread_id = GetCurrentThreadId();
    nbase::ThreadLocalData* data = nbase::ThreadLocalData::Current();
    quit_flag_in_cleanup = data != nullptr && data->quit;
  }
};

TEST(FrameworkThreadTest, StartReturnsAfterInitAndStopAfterCleanup) {
  HookedThread thread;
  ASSERT_TRUE(thread.Start());
  EXPECT_TRUE(thread.IsRunning());
  EXPECT_NE(thread.init_thread_id, 0u);
  EXPECT_NE(thread.init_thread_id, GetCurrentThreadId());
  EXPECT_EQ(thread.thread_id(), thread.init_thread_id);
  EXPECT_TRUE(thread.loop_existed_in_init);
  EXPECT_EQ(thread.loop_kind(), MessageLoop::kDefault);
  ASSERT_TRUE(thread.message_loop_proxy());

  EXPECT_FALSE(thread.Start());  // already running

  thread.Stop();
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_FALSE(thread.IsStopping());
  EXPECT_EQ(thread.cleanup_thread_id, thread.init_thread_id);
  EXPECT_TRUE(thread.quit_flag_in_cleanup);  // set by the stop task
  EXPECT_FALSE(thread.message_loop_proxy());
  EXPECT_EQ(thread.thread_id(), 0u);

  // A stopped thread can be started again.
  EXPECT_TRUE(thread.Start());
  thread.Stop();
  EXPECT_FALSE(thread.IsRunning());
}

TEST(FrameworkThreadTest, StopLetsAlreadyQueuedTasksRunFirst) {
  WorkerThread thread;
  ASSERT_TRUE(thread.Start());
  auto proxy = thread.message_loop_proxy();
  std::vector<int> ran;
  // Hold the worker until Stop has queued its quit, so the tasks below are
  // certainly still waiting when it does.
  ASSERT_TRUE(proxy->PostTask([&thread] {
    for (int i = 0; i < 3000 && !thread.IsStopping(); ++i) Sleep(10);
  }));
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(proxy->PostTask([&ran, i] { ran.push_back(i); }));
  }
  thread.Stop();
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_FALSE(proxy->PostTask([] {}));  // the loop is gone
}

TEST(FrameworkThreadTest, StopCalledOnTheThreadItselfEndsItWithoutDeadlock) {
  WorkerThread thread;
  ASSERT_TRUE(thread.Start());
  const HANDLE handle = thread.thread_handle();
  ASSERT_TRUE(thread.message_loop_proxy()->PostTask([&thread] { thread.Stop(); }));
  EXPECT_EQ(WaitForSingleObject(handle, nbase_test::kLongWaitMilliseconds), WAIT_OBJECT_0);
  thread.Stop();
  EXPECT_FALSE(thread.IsRunning());
}

// The shape of the installer's threads: a main thread run on the calling
// thread with a UI loop, which registers itself and owns a worker.
class MiscLikeThread : public FrameworkThread {
 public:
  explicit MiscLikeThread(int id) : FrameworkThread("misc"), id_(id) {}
  ~MiscLikeThread() override { Stop(); }
  bool registered = false;

 protected:
  void Init() override { registered = ThreadRegistry::RegisterThread(id_); }
  void Cleanup() override { ThreadRegistry::UnregisterThread(); }

 private:
  int id_;
};

class MainLikeThread : public FrameworkThread {
 public:
  MainLikeThread() : FrameworkThread("main") {}
  ~MainLikeThread() override { Stop(); }

  std::vector<std::string> log;

 protected:
  void Init() override {
    if (ThreadRegistry::RegisterThread(100)) log.push_back("registered");
    misc_ = std::make_unique<MiscLikeThread>(101);
    if (misc_->Start() && misc_->registered) log.push_back("misc started");
    if (MessageLoop::Current()->kind() == MessageLoop::kUI) log.push_back("ui loop");
    // The UI loop ends on WM_QUIT, as when the setup window closes.
    MessageLoop::Current()->PostTask([] { PostQuitMessage(0); });
  }
  void Cleanup() override {
    misc_->Stop();
    if (!misc_->IsRunning()) log.push_back("misc stopped");
    misc_.reset();
    nbase::ThreadLocalData::Current()->quit = true;
    if (ThreadRegistry::UnregisterThread()) log.push_back("unregistered");
  }

 private:
  std::unique_ptr<MiscLikeThread> misc_;
};

TEST(FrameworkThreadTest, RunOnCurrentThreadRunsAUILoopUntilQuitMessage) {
  MainLikeThread main_thread;
  main_thread.RunOnCurrentThread(MessageLoop::kUI);
  nbase_test::TakeQuitMessage();
  EXPECT_EQ(main_thread.log, (std::vector<std::string>{"registered", "misc started", "ui loop",
                                                       "misc stopped", "unregistered"}));
  EXPECT_FALSE(main_thread.IsRunning());
  EXPECT_EQ(MessageLoop::Current(), nullptr);
  EXPECT_EQ(nbase::ThreadLocalData::Current(), nullptr);

  // Both identifiers were released: another thread can take them.
  WorkerThread other;
  ASSERT_TRUE(other.Start());
  bool took_both = false;
  ASSERT_TRUE(nbase_test::RunOnThread(other, [&] {
    took_both = ThreadRegistry::RegisterThread(100) && ThreadRegistry::RegisterThread(101);
    ThreadRegistry::UnregisterThread();
    ThreadRegistry::UnregisterThread();
  }));
  EXPECT_TRUE(took_both);
}

TEST(ThreadRegistryTest, OutsideAFrameworkThreadNothingRegisters) {
  EXPECT_FALSE(ThreadRegistry::RegisterThread(200));
  EXPECT_FALSE(ThreadRegistry::UnregisterThread());
}

TEST(ThreadRegistryTest, FollowsTheCountingRules) {
  enum Op { kRegister, kUnregister };
  struct Step {
    int thread;  // 0 or 1
    Op op;
    int id;      // for kRegister
    bool expected;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  // Every case uses identifiers of its own: the registry is process-wide.
  const std::vector<Case> cases = {
      {"negative identifier", {{0, kRegister, -1, false}, {0, kUnregister, 0, false}}},
      {"same identifier on two threads",
       {{0, kRegister, 10, true},
        {1, kRegister, 10, false},
        {0, kUnregister, 0, true},
        {1, kRegister, 10, true},
        {1, kUnregister, 0, true}}},
      {"same identifier twice on one thread needs two unregisters",
       {{0, kRegister, 20, true},
        {0, kRegister, 20, true},
        {0, kUnregister, 0, true},
        {1, kRegister, 20, false},
        {0, kUnregister, 0, true},
        {0, kUnregister, 0, false},
        {1, kRegister, 20, true},
        {1, kUnregister, 0, true}}},
      {"two identifiers on one thread are both released",
       {{0, kRegister, 30, true},
        {0, kRegister, 31, true},
        {0, kUnregister, 0, true},
        {0, kUnregister, 0, true},
        {1, kRegister, 30, true},
        {1, kRegister, 31, true},
        {1, kUnregister, 0, true},
        {1, kUnregister, 0, true}}},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    WorkerThread threads[2];
    ASSERT_TRUE(threads[0].Start());
    ASSERT_TRUE(threads[1].Start());
    for (size_t i = 0; i < test_case.steps.size(); ++i) {
      SCOPED_TRACE(i);
      const Step& step = test_case.steps[i];
      bool result = !step.expected;
      ASSERT_TRUE(nbase_test::RunOnThread(threads[step.thread], [&] {
        result = step.op == kRegister ? ThreadRegistry::RegisterThread(step.id)
                                      : ThreadRegistry::UnregisterThread();
      }));
      EXPECT_EQ(result, step.expected);
    }
  }
}

}  // namespace
