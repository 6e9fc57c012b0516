#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace nbase {

// Something whose removed entries are erased later, once nobody iterates.
class LazyEraser {
 public:
  virtual ~LazyEraser() = default;
  virtual void Compact() = 0;
};

// A list of observers that may be added or removed while being notified.
// Removal during a notification only clears the entry; the list is compacted
// when the outermost notification ends. Observers added during a notification
// are notified in the same round.
template <typename Observer>
class ObserverList : public LazyEraser {
 public:
  void AddObserver(Observer* observer) {
    if (observer == nullptr || Contains(observer)) return;
    observers_.push_back(observer);
  }

  void RemoveObserver(Observer* observer) {
    auto it = std::find(observers_.begin(), observers_.end(), observer);
    if (it == observers_.end()) return;
    if (notify_depth_ > 0) {
      *it = nullptr;
    } else {
      observers_.erase(it);
    }
  }

  bool Contains(const Observer* observer) const {
    return std::find(observers_.begin(), observers_.end(), observer) != observers_.end();
  }

  // Calls notify(observer) for every observer.
  template <typename Callback>
  void Notify(Callback notify) {
    ++notify_depth_;
    // By index, re-reading the size: the list may grow during the calls.
    for (size_t i = 0; i < observers_.size(); ++i) {
      if (Observer* observer = observers_[i]) notify(observer);
    }
    if (--notify_depth_ <= 0) Compact();
  }

  void Compact() override {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), nullptr), observers_.end());
  }

 private:
  int notify_depth_ = 0;
  std::vector<Observer*> observers_;
};

}  // namespace nbase
