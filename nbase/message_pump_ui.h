#pragma once

#include <windows.h>

#include "nbase/message_pump_win.h"
#include "nbase/observer_list.h"

namespace nbase {

// Told about every window message the UI loop dispatches itself.
class UIObserver {
 public:
  virtual ~UIObserver() = default;
  virtual void WillProcessMessage(const MSG& message) = 0;
  virtual void DidProcessMessage(const MSG& message) = 0;
};

// Pump of the UI thread: dispatches window messages and interleaves them with
// tasks. A hidden message-only window receives a private message when work is
// posted and a window timer when delayed work is due, so tasks keep running
// while Windows runs a modal loop of its own (menus, message boxes, window
// dragging). Must be created, run and destroyed on one thread.
class WinUIMessagePump : public WinMessagePump {
 public:
  // Class of the hidden window.
  static constexpr const wchar_t* kWindowClassName = L"CorvaneMessagePumpWindow";
  // Private message that asks the pump for a turn; wParam is the pump.
  static constexpr UINT kMsgHaveWork = WM_USER + 1;
  // Message filter code passed to CallMsgFilterW before a message is dispatched.
  static constexpr int kMessageFilterCode = 0x5001;
  // Windows does not run window timers more often than this.
  static constexpr UINT kMinimumTimerMilliseconds = USER_TIMER_MINIMUM;

  WinUIMessagePump();
  ~WinUIMessagePump() override;

  void ScheduleWork() override;
  void ScheduleDelayedWork(TickTime run_time) override;

  void AddObserver(UIObserver* observer) { observers_.AddObserver(observer); }
  void RemoveObserver(UIObserver* observer) { observers_.RemoveObserver(observer); }

  HWND window() const { return window_; }

 protected:
  virtual void WillProcessMessage(const MSG& message);
  virtual void DidProcessMessage(const MSG& message);
  // Arms the wake-up timer of the hidden window. The interval is already
  // limited to [kMinimumTimerMilliseconds, 0xFFFFFFFE].
  virtual void SetWakeUpTimer(UINT elapse_milliseconds);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  void DoRunLoop() override;
  void WaitForWork();
  void HandleWorkMessage();
  void HandleTimerMessage();
  bool ProcessNextWindowsMessage();
  bool ProcessMessageHelper(const MSG& message);
  bool ProcessPumpReplacementMessage();
  void KillWakeUpTimer();

  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  ObserverList<UIObserver> observers_;
};

}  // namespace nbase
