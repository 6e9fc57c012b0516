#include "nbase/weak_callback.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {

class Owner : public nbase::SupportWeakCallback {
 public:
  int calls = 0;
  void Touch() { ++calls; }
};

TEST(WeakCallbackTest, ForwardsArgumentsAndResultWhileOwnerLives) {
  Owner owner;
  auto join = owner.ToWeakCallback(
      [](const std::string& text, int count) { return text + std::to_string(count); });
  EXPECT_EQ(join("step ", 3), "step 3");

  // A mutable callable keeps its state between calls.
  auto counter = owner.ToWeakCallback([n = 0]() mutable { return ++n; });
  EXPECT_EQ(counter(), 1);
  EXPECT_EQ(counter(), 2);
}

TEST(WeakCallbackTest, DoesNothingOnceOwnerIsGone) {
  int calls = 0;
  auto owner = std::make_unique<Owner>();
  std::function<void()> task = owner->ToWeakCallback([&calls] { ++calls; });
  task();
  owner.reset();
  task();
  EXPECT_EQ(calls, 1);
}

TEST(WeakCallbackTest, DeadCallbacksReturnValueInitialisedResults) {
  static int target = 7;
  auto owner = std::make_unique<Owner>();
  std::function<bool(int)> handler = owner->ToWeakCallback([](int value) { return value > 0; });
  std::function<int*()> finder = owner->ToWeakCallback([] { return &target; });
  std::function<std::string()> namer = owner->ToWeakCallback([] { return std::string("x"); });
  EXPECT_TRUE(handler(1));
  EXPECT_EQ(finder(), &target);

  owner.reset();
  EXPECT_FALSE(handler(1));
  EXPECT_EQ(finder(), nullptr);
  EXPECT_EQ(namer(), "");
}

TEST(WeakCallbackTest, CopiesShareTheOwnersFate) {
  int calls = 0;
  auto owner = std::make_unique<Owner>();
  auto original = owner->ToWeakCallback([&calls] { ++calls; });
  auto copy = original;
  std::function<void()> stored = copy;
  original();
  copy();
  stored();
  EXPECT_EQ(calls, 3);

  owner.reset();
  original();
  copy();
  stored();
  EXPECT_EQ(calls, 3);
  EXPECT_TRUE(original.Expired());
  EXPECT_TRUE(copy.Expired());
}

TEST(WeakCallbackTest, MovedFromCallbackIsInert) {
  Owner owner;
  auto source = owner.ToWeakCallback([&owner] { owner.Touch(); });
  auto target = std::move(source);
  source();  // NOLINT(bugprone-use-after-move): the moved-from wrapper must be inert
  target();
  EXPECT_EQ(owner.calls, 1);
}

TEST(WeakCallbackTest, GetWeakFlagReturnsTheSameFlagUntilCancelled) {
  nbase::WeakCallbackFlag flag;
  EXPECT_FALSE(flag.HasUsed());
  std::weak_ptr<nbase::WeakFlag> first = flag.GetWeakFlag();
  std::weak_ptr<nbase::WeakFlag> second = flag.GetWeakFlag();
  EXPECT_TRUE(flag.HasUsed());
  EXPECT_FALSE(first.owner_before(second) || second.owner_before(first));

  flag.Cancel();
  std::weak_ptr<nbase::WeakFlag> fresh = flag.GetWeakFlag();
  EXPECT_TRUE(first.expired());
  EXPECT_FALSE(fresh.expired());
  EXPECT_TRUE(first.owner_before(fresh) || fresh.owner_before(first));
}

TEST(WeakCallbackTest, CancelSilencesEarlierCallbacksOnly) {
  nbase::WeakCallbackFlag flag;
  int earlier_calls = 0;
  int later_calls = 0;
  auto earlier = flag.ToWeakCallback([&earlier_calls] { ++earlier_calls; });
  flag.Cancel();
  EXPECT_FALSE(flag.HasUsed());
  auto later = flag.ToWeakCallback([&later_calls] { ++later_calls; });
  earlier();
  later();
  EXPECT_EQ(earlier_calls, 0);
  EXPECT_EQ(later_calls, 1);
}

TEST(WeakCallbackTest, CopiedOwnerHasItsOwnFlag) {
  int original_calls = 0;
  int copy_calls = 0;
  auto original = std::make_unique<Owner>();
  auto from_original = original->ToWeakCallback([&original_calls] { ++original_calls; });
  auto copy = std::make_unique<Owner>(*original);
  auto from_copy = copy->ToWeakCallback([&copy_calls] { ++copy_calls; });

  // The copy must neither keep the original's callbacks alive nor die with them.
  original.reset();
  from_original();
  from_copy();
  EXPECT_EQ(original_calls, 0);
  EXPECT_EQ(copy_calls, 1);
}

}  // namespace
