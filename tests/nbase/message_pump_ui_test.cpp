#include "nbase/message_pump_ui.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "nbase/message_loop.h"
#include "tests/nbase/nbase_test_support.h"

namespace {

using nbase::MessageLoop;
using nbase::UIMessageLoop;
using nbase::kTicksPerMillisecond;

// A message-only window whose procedure hands every message to a callable.
class TestWindow {
 public:
  using Handler = std::function<void(UINT message)>;

  explicit TestWindow(Handler handler) : handler_(std::move(handler)) {
    static const ATOM kClass = [] {
      WNDCLASSEXW window_class = {};
      window_class.cbSize = sizeof(window_class);
      window_class.lpfnWndProc = &TestWindow::Procedure;
      window_class.hInstance = GetModuleHandleW(nullptr);
      window_class.lpszClassName = L"NbaseTestWindow";
      return RegisterClassExW(&window_class);
    }();
    (void)kClass;
    window_ = CreateWindowW(L"NbaseTestWindow", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~TestWindow() { DestroyWindow(window_); }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  HWND hwnd() const { return window_; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && message >= WM_APP) self->handler_(message);
    return DefWindowProcW(window, message, wparam, lparam);
  }

  Handler handler_;
  HWND window_ = nullptr;
};

// The OK button of the visible message box with this title, once it exists
// (a box appears before its buttons).
HWND FindMessageBoxButton(const wchar_t* title) {
  HWND box = FindWindowW(L"#32770", title);
  return box != nullptr ? GetDlgItem(box, IDOK) : nullptr;
}

class UIPumpTest : public ::testing::Test {
 protected:
  void TearDown() override { nbase_test::TakeQuitMessage(); }

  void RunLoop(MessageLoop& loop) {
    bool timed_out = false;
    nbase_test::RunLoopWithTimeout(loop, &timed_out);
    EXPECT_FALSE(timed_out);
  }

  std::vector<std::string> log_;
};

// Records the intervals the pump asks its wake-up timer for.
class TimerRecordingPump : public nbase::WinUIMessagePump {
 public:
  std::vector<UINT> intervals;

 protected:
  void SetWakeUpTimer(UINT elapse_milliseconds) override {
    intervals.push_back(elapse_milliseconds);
    WinUIMessagePump::SetWakeUpTimer(elapse_milliseconds);
  }
};

TEST_F(UIPumpTest, ArmsTheTimerForEachNewHeadOfTheDelayedQueue) {
  struct Case {
    const char* name;
    std::vector<int64_t> delays_ms;  // posted in this order
    std::vector<UINT> expected_intervals;
  };
  const std::vector<Case> cases = {
      {"earlier task re-arms, later one does not", {60000, 25, 30000}, {60000, 25}},
      {"equal run time is not a new head", {60000, 60000}, {60000}},
      {"short delay gets the 10 ms minimum", {60000, 3}, {60000, 10}},
      {"already due gets the 10 ms minimum", {0}, {10}},
      {"huge delay is capped", {int64_t{1} << 33}, {0xFFFFFFFEu}},
  };
  for (const Case& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    nbase_test::ScopedFakeClock clock(5000);  // intervals are exact on a frozen clock
    auto pump = std::make_shared<TimerRecordingPump>();
    UIMessageLoop loop(pump);
    for (int64_t delay : test_case.delays_ms) loop.PostDelayedTask([] {}, delay * kTicksPerMillisecond);
    std::vector<UINT> seen;
    loop.PostTask([&] {
      seen = pump->intervals;
      MessageLoop::Current()->Quit();
    });
    loop.Run();
    EXPECT_EQ(seen, test_case.expected_intervals);
  }
}

TEST_F(UIPumpTest, DelayedTaskRunsThroughTheTimerInsideAModalLoop) {
  UIMessageLoop loop;
  const wchar_t* kTitle = L"nbase window procedure box";
  int attempts = 0;
  // Looks for the box every 10 ms; only the hidden window's timer and private
  // message can run it while the box's own loop is in charge.
  std::function<void()> click_when_shown = [&] {
    if (HWND button = FindMessageBoxButton(kTitle)) {
      log_.push_back("task clicked OK");
      SendMessageW(button, BM_CLICK, 0, 0);
      return;
    }
    if (++attempts < 3000) loop.PostDelayedTask(click_when_shown, 10 * kTicksPerMillisecond);
  };
  TestWindow window([&](UINT message) {
    if (message != WM_APP) return;
    loop.PostDelayedTask(click_when_shown, 10 * kTicksPerMillisecond);
    MessageBoxW(nullptr, L"Closed by a delayed task.", kTitle, MB_OK);
    log_.push_back("box closed");
    loop.Quit();
  });
  PostMessageW(window.hwnd(), WM_APP, 0, 0);
  RunLoop(loop);
  EXPECT_EQ(log_, (std::vector<std::string>{"task clicked OK", "box closed"}));
}

TEST_F(UIPumpTest, TaskShowingAMessageBoxHoldsOtherTasksButNotWindowMessages) {
  UIMessageLoop loop;
  const wchar_t* kTitle = L"nbase task box";
  nbase_test::Event window_message_seen;
  TestWindow window([&](UINT message) {
    if (message != WM_APP) return;
    log_.push_back("window message");
    window_message_seen.Signal();
  });
  // Answers the box from another thread, after the window message went
  // through the box's loop (or after a generous wait, failing the order).
  std::thread clicker([&] {
    window_message_seen.Wait();
    for (int attempt = 0; attempt < 3000; ++attempt) {
      if (HWND button = FindMessageBoxButton(kTitle)) {
        SendMessageW(button, BM_CLICK, 0, 0);
        return;
      }
      Sleep(10);
    }
  });
  loop.PostTask([&] {
    log_.push_back("box task begins");
    loop.PostTask([&] {
      log_.push_back("next task");
      MessageLoop::Current()->Quit();
    });
    PostMessageW(window.hwnd(), WM_APP, 0, 0);
    MessageBoxW(nullptr, L"Closed by another thread.", kTitle, MB_OK);
    log_.push_back("box task ends");
  });
  RunLoop(loop);
  clicker.join();
  EXPECT_EQ(log_, (std::vector<std::string>{"box task begins", "window message", "box task ends",
                                            "next task"}));
}

TEST_F(UIPumpTest, NonNestableTasksWaitForTheOutermostLevel) {
  UIMessageLoop loop;
  // A level entered from a window procedure (not from a task) runs nestable
  // tasks; non-nestable ones are deferred until the outer level is idle.
  TestWindow window([&](UINT message) {
    if (message != WM_APP) return;
    loop.PostNonNestableTask([&] {
      log_.push_back(loop.IsNested() ? "non-nestable (nested)" : "non-nestable");
      loop.Quit();
    });
    loop.PostTask([&] { log_.push_back(loop.IsNested() ? "nestable (nested)" : "nestable"); });
    loop.PostTask([&] { loop.Quit(); });
    loop.Run();
    log_.push_back("nested level ended");
  });
  PostMessageW(window.hwnd(), WM_APP, 0, 0);
  RunLoop(loop);
  EXPECT_EQ(log_, (std::vector<std::string>{"nestable (nested)", "nested level ended",
                                            "non-nestable"}));
}

TEST_F(UIPumpTest, QuitMessageInNestedLevelEndsItAndIsRepostedForTheOuterLevel) {
  UIMessageLoop loop;
  TestWindow window([&](UINT message) {
    if (message != WM_APP) return;
    PostQuitMessage(7);
    loop.Run();
    log_.push_back("nested level ended");
  });
  PostMessageW(window.hwnd(), WM_APP, 0, 0);
  // Without the repost the outer level would run until the safety time-out.
  RunLoop(loop);
  EXPECT_EQ(log_, (std::vector<std::string>{"nested level ended"}));
  EXPECT_EQ(nbase_test::TakeQuitMessage(), 7);
}

class RecordingUIObserver : public nbase::UIObserver {
 public:
  void WillProcessMessage(const MSG& message) override {
    if (message.message == WM_APP) events.push_back("will");
  }
  void DidProcessMessage(const MSG& message) override {
    if (message.message == WM_APP) events.push_back("did");
  }
  std::vector<std::string> events;
};

TEST_F(UIPumpTest, ObserversSurroundEachDispatchedMessage) {
  UIMessageLoop loop;
  RecordingUIObserver observer;
  loop.AddUIObserver(&observer);
  TestWindow window([&](UINT message) {
    if (message != WM_APP) return;
    observer.events.push_back("dispatched");
    loop.Quit();
  });
  PostMessageW(window.hwnd(), WM_APP, 0, 0);
  RunLoop(loop);
  loop.RemoveUIObserver(&observer);
  EXPECT_EQ(observer.events, (std::vector<std::string>{"will", "dispatched", "did"}));
}

}  // namespace
