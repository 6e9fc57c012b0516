#pragma once

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace nbase {

// Liveness marker. Only the ownership record of the shared pointer matters:
// the flag is alive while its owner holds the one strong reference.
class WeakFlag {};

// A callable that forwards to the wrapped callable only while the flag it was
// created from is alive. Once the owner is gone (or cancelled its callbacks)
// a call does nothing and yields a value-initialised result: false for bool,
// null for pointers, nothing for void.
//
// The liveness test and the call are not one atomic step and no strong
// reference is held during the call, so a weak callback must be invoked on
// the thread on which its owner dies or cancels (the owner's loop thread).
template <typename Callable>
class WeakCallback {
 public:
  WeakCallback(std::weak_ptr<WeakFlag> flag, Callable callable)
      : flag_(std::move(flag)), callable_(std::move(callable)) {}

  template <typename... Args>
  std::invoke_result_t<Callable&, Args&&...> operator()(Args&&... args) const {
    using Result = std::invoke_result_t<Callable&, Args&&...>;
    if (flag_.expired()) return Result();
    return std::invoke(callable_, std::forward<Args>(args)...);
  }

  // True once calls have no effect any more.
  bool Expired() const { return flag_.expired(); }

 private:
  std::weak_ptr<WeakFlag> flag_;
  mutable Callable callable_;
};

// Base of every object that hands out callables which may outlive it. The
// object owns the only strong reference to its flag; destroying the object
// makes every callback created from it inert.
class SupportWeakCallback {
 public:
  SupportWeakCallback() = default;
  // A copy is a different owner: it gets a flag of its own, so the death of
  // either object does not keep alive or kill the other's callbacks.
  SupportWeakCallback(const SupportWeakCallback&) {}
  SupportWeakCallback& operator=(const SupportWeakCallback&) { return *this; }
  virtual ~SupportWeakCallback() = default;

  // Returns a weak reference to the current flag, creating the flag when
  // there is none (first use, or after a cancellation).
  std::weak_ptr<WeakFlag> GetWeakFlag() {
    if (flag_.use_count() == 0) flag_ = std::make_shared<WeakFlag>();
    return flag_;
  }

  template <typename Callable>
  WeakCallback<std::decay_t<Callable>> ToWeakCallback(Callable&& callable) {
    return WeakCallback<std::decay_t<Callable>>(GetWeakFlag(), std::forward<Callable>(callable));
  }

 protected:
  // Makes every callback created so far inert; the next GetWeakFlag starts a
  // fresh flag.
  void ReleaseWeakFlag() { flag_.reset(); }
  bool HasWeakFlag() const { return flag_.use_count() != 0; }

 private:
  std::shared_ptr<WeakFlag> flag_;
};

// Held as a member by objects that must cancel one group of callbacks (a
// pending timer or animation step) while they themselves stay alive.
class WeakCallbackFlag final : public SupportWeakCallback {
 public:
  void Cancel() { ReleaseWeakFlag(); }
  // True while callbacks created since the last Cancel may still run.
  bool HasUsed() const { return HasWeakFlag(); }
};

}  // namespace nbase
