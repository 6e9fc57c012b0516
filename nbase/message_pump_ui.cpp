#include "nbase/message_pump_ui.h"

#include <algorithm>

namespace nbase {
namespace {

constexpr int64_t kMaxTimerMilliseconds = 0xFFFFFFFE;

bool RegisterPumpWindowClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = WinUIMessagePump::kWindowClassName;
  // Another UI pump of this process may have registered it already.
  return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CreatePumpWindow(HINSTANCE instance) {
  return CreateWindowW(WinUIMessagePump::kWindowClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE,
                       nullptr, instance, nullptr);
}

}  // namespace

WinUIMessagePump::WinUIMessagePump() : instance_(GetModuleHandleW(nullptr)) {
  RegisterPumpWindowClass(instance_, &WindowProc);
  window_ = CreatePumpWindow(instance_);
  if (window_ == nullptr) {
    // A pump on another thread may have unregistered the shared class between
    // our registration and the creation: register once more.
    RegisterPumpWindowClass(instance_, &WindowProc);
    window_ = CreatePumpWindow(instance_);
  }
}

WinUIMessagePump::~WinUIMessagePump() {
  if (window_ != nullptr) {
    KillWakeUpTimer();
    DestroyWindow(window_);
  }
  // Fails harmlessly while another pump's window still uses the class.
  UnregisterClassW(kWindowClassName, instance_);
}

void WinUIMessagePump::ScheduleWork() {
  if (have_work_.exchange(1) != 0) return;  // a wake-up is already queued
  if (!PostMessageW(window_, kMsgHaveWork, reinterpret_cast<WPARAM>(this), 0)) {
    // The queue is full (or there is no window): let the next post try again.
    // The run loop still calls RunWork on every turn.
    have_work_.exchange(0);
  }
}

void WinUIMessagePump::ScheduleDelayedWork(TickTime run_time) {
  delayed_work_time_ = run_time;
  const int64_t delay = GetCurrentDelay();
  const int64_t elapse = std::min<int64_t>(
      std::max<int64_t>(delay, kMinimumTimerMilliseconds), kMaxTimerMilliseconds);
  SetWakeUpTimer(static_cast<UINT>(elapse));
}

void WinUIMessagePump::SetWakeUpTimer(UINT elapse_milliseconds) {
  SetTimer(window_, reinterpret_cast<UINT_PTR>(this), elapse_milliseconds, nullptr);
}

void WinUIMessagePump::KillWakeUpTimer() { KillTimer(window_, reinterpret_cast<UINT_PTR>(this)); }

void WinUIMessagePump::WillProcessMessage(const MSG& message) {
  observers_.Notify([&message](UIObserver* observer) { observer->WillProcessMessage(message); });
}

void WinUIMessagePump::DidProcessMessage(const MSG& message) {
  observers_.Notify([&message](UIObserver* observer) { observer->DidProcessMessage(message); });
}

LRESULT CALLBACK WinUIMessagePump::WindowProc(HWND window, UINT message, WPARAM wparam,
                                              LPARAM lparam) {
  // The private message carries the pump in wParam and the timer id is the
  // pump's address; both die with the window, which the pump owns.
  switch (message) {
    case kMsgHaveWork:
      reinterpret_cast<WinUIMessagePump*>(wparam)->HandleWorkMessage();
      break;
    case WM_TIMER:
      reinterpret_cast<WinUIMessagePump*>(wparam)->HandleTimerMessage();
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void WinUIMessagePump::DoRunLoop() {
  // Each turn dispatches at most one window message, runs at most one
  // immediate task and at most one due delayed task, so neither side starves.
  for (;;) {
    bool more_work_is_plausible = ProcessNextWindowsMessage();
    if (state_->should_quit) break;

    more_work_is_plausible |= state_->delegate->RunWork();
    if (state_->should_quit) break;

    more_work_is_plausible |= state_->delegate->RunDelayedWork(&delayed_work_time_);
    // No delayed work left: a pending timer would only cost a wake-up.
    if (more_work_is_plausible && delayed_work_time_ == 0) KillWakeUpTimer();
    if (state_->should_quit) break;

    if (more_work_is_plausible) continue;

    more_work_is_plausible = state_->delegate->RunIdleWork();
    if (state_->should_quit) break;
    if (more_work_is_plausible) continue;

    WaitForWork();
  }
}

void WinUIMessagePump::WaitForWork() {
  const int64_t delay = GetCurrentDelay();
  const DWORD timeout =
      delay < 0 ? INFINITE : static_cast<DWORD>(std::min<int64_t>(delay, kMaxTimerMilliseconds));
  const DWORD result = MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT,
                                                   MWMO_INPUTAVAILABLE);
  if (result != WAIT_OBJECT_0) return;
  // Windows of other threads attached to this thread's input (a child window
  // of another thread holding the capture) can report mouse input that
  // PeekMessage does not hand out here. Give them a turn instead of spinning.
  MSG message;
  const DWORD queue_status = GetQueueStatus(QS_MOUSE);
  if ((HIWORD(queue_status) & QS_MOUSE) != 0 &&
      !PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE)) {
    WaitMessage();
  }
}

void WinUIMessagePump::HandleWorkMessage() {
  // Outside Run (a message box shown before the loop runs, for example) there
  // is no loop to call: just consume the wake-up.
  if (state_ == nullptr) {
    have_work_.exchange(0);
    return;
  }
  // Let a message that waited behind ours go first, then take one task.
  ProcessPumpReplacementMessage();
  if (state_->delegate->RunWork()) ScheduleWork();
}

void WinUIMessagePump::HandleTimerMessage() {
  KillWakeUpTimer();
  if (state_ == nullptr) return;
  state_->delegate->RunDelayedWork(&delayed_work_time_);
  if (delayed_work_time_ != 0) ScheduleDelayedWork(delayed_work_time_);
}

bool WinUIMessagePump::ProcessNextWindowsMessage() {
  // Sent messages are delivered inside PeekMessage; if some are waiting, more
  // work is plausible even when no posted message is taken.
  const DWORD queue_status = GetQueueStatus(QS_SENDMESSAGE);
  const bool sent_messages_in_queue = (HIWORD(queue_status) & QS_SENDMESSAGE) != 0;
  MSG message;
  if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return ProcessMessageHelper(message);
  return sent_messages_in_queue;
}

bool WinUIMessagePump::ProcessMessageHelper(const MSG& message) {
  if (message.message == WM_QUIT) {
    // Ends this run level; repost so that an outer level ends as well.
    state_->should_quit = true;
    PostQuitMessage(static_cast<int>(message.wParam));
    return false;
  }
  if (message.message == kMsgHaveWork && message.hwnd == window_) {
    return ProcessPumpReplacementMessage();
  }
  MSG filtered = message;
  if (CallMsgFilterW(&filtered, kMessageFilterCode)) return true;

  WillProcessMessage(message);
  TranslateMessage(&message);
  DispatchMessageW(&message);
  DidProcessMessage(message);
  return true;
}

bool WinUIMessagePump::ProcessPumpReplacementMessage() {
  // Our private message only asked for a turn. Process the next message in
  // its place so that a steady stream of posted tasks cannot starve input or
  // painting.
  MSG message;
  const bool have_message = PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE;
  // The wake-up has been consumed: a new post must send a new one.
  have_work_.exchange(0);
  if (!have_message) return false;
  // Windows code may be entered while dispatching (a modal loop): make sure
  // the loop still gets a turn from there.
  ScheduleWork();
  return ProcessMessageHelper(message);
}

}  // namespace nbase
