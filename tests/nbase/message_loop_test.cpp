#include "nbase/message_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "nbase/message_loop_proxy.h"
#include "nbase/weak_callback.h"
#include "tests/nbase/nbase_test_support.h"

namespace {

using nbase::MessageLoop;
using nbase::kTicksPerMillisecond;
using nbase_test::DestructionCounter;

std::unique_ptr<MessageLoop> MakeLoop(MessageLoop::Kind kind) {
  if (kind == MessageLoop::kUI) return std::make_unique<nbase::UIMessageLoop>();
  return std::make_unique<MessageLoop>();
}

// The ordering rules hold for worker loops and the UI loop alike.
class MessageLoopOrderTest : public ::testing::TestWithParam<MessageLoop::Kind> {
 protected:
  void SetUp() override { loop_ = MakeLoop(GetParam()); }
  void TearDown() override {
    loop_.reset();
    nbase_test::TakeQuitMessage();
  }

  std::function<void()> Record(const std::string& name, bool quit = false) {
    return [this, name, quit] {
      log_.push_back(name);
      if (quit) MessageLoop::Current()->Quit();
    };
  }

  void Run() {
    bool timed_out = false;
    nbase_test::RunLoopWithTimeout(*loop_, &timed_out);
    EXPECT_FALSE(timed_out);
  }

  std::unique_ptr<MessageLoop> loop_;
  std::vector<std::string> log_;
};

TEST_P(MessageLoopOrderTest, RunsImmediateTasksInPostingOrder) {
  EXPECT_EQ(MessageLoop::Current(), loop_.get());
  loop_->PostTask([this] {
    log_.push_back("a");
    // Posted while running: goes behind everything already queued.
    loop_->PostTask(Record("from a", /*quit=*/true));
  });
  loop_->PostNonNestableTask(Record("b"));
  loop_->PostTask(Record("c"));
  Run();
  EXPECT_EQ(log_, (std::vector<std::string>{"a", "b", "c", "from a"}));
}

TEST_P(MessageLoopOrderTest, RunsDelayedTasksByRunTimeThenArrival) {
  nbase_test::ScopedFakeClock clock(1000);
  const nbase::TickTime ms = kTicksPerMillisecond;
  loop_->PostDelayedTask(Record("30 ms", /*quit=*/true), 30 * ms);
  loop_->PostDelayedTask(Record("10 ms first"), 10 * ms);
  loop_->PostNonNestableDelayedTask(Record("20 ms"), 20 * ms);
  loop_->PostDelayedTask(Record("10 ms second"), 10 * ms);
  loop_->PostDelayedTask(Record("0 ms"), 0);
  loop_->PostTask(Record("immediate"));
  clock.Set(2000);  // everything is due
  loop_->Run();
  EXPECT_EQ(log_, (std::vector<std::string>{"immediate", "0 ms", "10 ms first", "10 ms second",
                                            "20 ms", "30 ms"}));
}

TEST_P(MessageLoopOrderTest, DelayedTaskRunsOnTheRealClock) {
  loop_->PostDelayedTask(Record("later", /*quit=*/true), 20 * kTicksPerMillisecond);
  loop_->PostTask(Record("now"));
  Run();
  EXPECT_EQ(log_, (std::vector<std::string>{"now", "later"}));
}

TEST_P(MessageLoopOrderTest, TaskBoundToDestroyedOwnerDoesNothing) {
  auto owner = std::make_unique<nbase::WeakCallbackFlag>();
  loop_->PostTask(owner->ToWeakCallback(Record("dead owner")));
  loop_->PostTask(Record("alive", /*quit=*/true));
  owner.reset();
  Run();
  EXPECT_EQ(log_, (std::vector<std::string>{"alive"}));
}

TEST_P(MessageLoopOrderTest, TasksPostedFromOtherThreadsAllRun) {
  constexpr int kThreads = 4;
  constexpr int kTasksPerThread = 50;
  std::atomic<int> ran{0};
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([this, &ran] {
      for (int i = 0; i < kTasksPerThread; ++i) {
        loop_->PostTask([&ran] {
          if (++ran == kThreads * kTasksPerThread) MessageLoop::Current()->Quit();
        });
      }
    });
  }
  Run();
  for (std::thread& poster : posters) poster.join();
  EXPECT_EQ(ran.load(), kThreads * kTasksPerThread);
}

INSTANTIATE_TEST_SUITE_P(AllPumps, MessageLoopOrderTest,
                         ::testing::Values(MessageLoop::kDefault, MessageLoop::kUI),
                         [](const ::testing::TestParamInfo<MessageLoop::Kind>& info) {
                           return info.param == MessageLoop::kUI ? std::string("UI")
                                                                 : std::string("Default");
                         });

class RecordingDestructionObserver : public nbase::DestructionObserver {
 public:
  explicit RecordingDestructionObserver(const std::atomic<int>* destroyed) : destroyed_(destroyed) {}
  void WillDestroyCurrentMessageLoop() override { destroyed_when_told = destroyed_->load(); }
  int destroyed_when_told = -1;

 private:
  const std::atomic<int>* destroyed_;
};

TEST(MessageLoopTest, DestructionDestroysPendingTasksUnrunBeforeTellingObservers) {
  std::atomic<int> destroyed{0};
  bool ran = false;
  RecordingDestructionObserver observer(&destroyed);
  // Declared before the loop: the loop's destruction still calls it.
  std::function<nbase::Task(std::function<void()>)> make_task =
      [&](std::function<void()> on_destroy) -> nbase::Task {
    return [&ran, counter = std::make_shared<DestructionCounter>(&destroyed, on_destroy)] {
      ran = true;
    };
  };
  {
    MessageLoop loop;
    loop.AddDestructionObserver(&observer);
    loop.PostTask(make_task(nullptr));
    loop.PostNonNestableTask(make_task(nullptr));
    loop.PostDelayedTask(make_task(nullptr), 60 * nbase::kTicksPerSecond);
    // Destroying this one posts another task, which must be destroyed as well.
    loop.PostTask(make_task([&] { MessageLoop::Current()->PostTask(make_task(nullptr)); }));
  }
  EXPECT_FALSE(ran);
  EXPECT_EQ(destroyed.load(), 5);
  EXPECT_EQ(observer.destroyed_when_told, 5);
  EXPECT_EQ(MessageLoop::Current(), nullptr);
}

// Each way of posting through a proxy.
struct ProxyPost {
  const char* name;
  bool (*post)(nbase::MessageLoopProxy&, nbase::Task);
};

const ProxyPost kProxyPosts[] = {
    {"PostTask", [](nbase::MessageLoopProxy& p, nbase::Task t) { return p.PostTask(std::move(t)); }},
    {"PostNonNestableTask",
     [](nbase::MessageLoopProxy& p, nbase::Task t) { return p.PostNonNestableTask(std::move(t)); }},
    {"PostDelayedTask",
     [](nbase::MessageLoopProxy& p, nbase::Task t) {
       return p.PostDelayedTask(std::move(t), kTicksPerMillisecond);
     }},
    {"PostNonNestableDelayedTask",
     [](nbase::MessageLoopProxy& p, nbase::Task t) {
       return p.PostNonNestableDelayedTask(std::move(t), kTicksPerMillisecond);
     }},
};

TEST(MessageLoopProxyTest, PostsWhileTheLoopLivesAndRefusesAfterwards) {
  for (const ProxyPost& post : kProxyPosts) {
    SCOPED_TRACE(post.name);
    std::shared_ptr<nbase::MessageLoopProxy> proxy;
    int ran = 0;
    {
      MessageLoop loop;
      proxy = loop.message_loop_proxy();
      ASSERT_TRUE(proxy);
      EXPECT_TRUE(post.post(*proxy, [&ran] {
        ++ran;
        MessageLoop::Current()->Quit();
      }));
      bool timed_out = false;
      nbase_test::RunLoopWithTimeout(loop, &timed_out);
      EXPECT_FALSE(timed_out);
    }
    EXPECT_EQ(ran, 1);

    std::atomic<int> destroyed{0};
    EXPECT_FALSE(post.post(*proxy, [&ran, counter = std::make_shared<DestructionCounter>(&destroyed)] {
      ++ran;
    }));
    EXPECT_EQ(destroyed.load(), 1);  // destroyed at once, not kept
    EXPECT_EQ(ran, 1);
  }
}

TEST(MessageLoopProxyTest, KnowsWhetherItIsOnTheLoopThread) {
  std::shared_ptr<nbase::MessageLoopProxy> proxy;
  {
    MessageLoop loop;
    proxy = loop.message_loop_proxy();
    EXPECT_TRUE(proxy->IsOnLoopThread());
    bool on_other_thread = true;
    std::thread([&] { on_other_thread = proxy->IsOnLoopThread(); }).join();
    EXPECT_FALSE(on_other_thread);
  }
  EXPECT_FALSE(proxy->IsOnLoopThread());
}

}  // namespace
