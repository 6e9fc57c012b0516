#include "nbase/observer_list.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

struct Observer {
  std::string name;
  std::function<void()> on_notify;
};

TEST(ObserverListTest, ObserversMayBeAddedAndRemovedDuringNotification) {
  std::vector<std::string> seen;
  nbase::ObserverList<Observer> list;
  Observer late{"late", nullptr};
  Observer removed{"removed", nullptr};
  Observer last{"last", nullptr};
  Observer first{"first", [&] {
    list.RemoveObserver(&removed);
    list.AddObserver(&late);
  }};
  list.AddObserver(&first);
  list.AddObserver(&removed);
  list.AddObserver(&last);
  list.AddObserver(&first);  // already present: ignored

  auto notify = [&] {
    list.Notify([&](Observer* observer) {
      seen.push_back(observer->name);
      if (observer->on_notify) observer->on_notify();
    });
  };
  notify();
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "last", "late"}));

  // After the round the removed entry is gone for good and the order is kept.
  seen.clear();
  first.on_notify = nullptr;
  notify();
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "last", "late"}));
  EXPECT_FALSE(list.Contains(&removed));
}

}  // namespace
