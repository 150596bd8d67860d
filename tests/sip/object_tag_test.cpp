#include <gtest/gtest.h>

#include <cstdint>
#include <latch>
#include <limits>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "sip/object_tag.h"

namespace talvenor {
namespace {

TEST(ObjectTagTest, LiveTagsAreDistinctNeverZeroAndNotInSequence) {
  std::vector<std::unique_ptr<ObjectTag>> tags;
  std::set<uint32_t> values;
  int neighbours = 0;  // a tag one above the one before: what a counter gives
  for (int i = 0; i < 500; ++i) {
    tags.push_back(std::make_unique<ObjectTag>());
    uint32_t value = tags.back()->Value();
    EXPECT_NE(value, 0u);
    EXPECT_TRUE(values.insert(value).second) << value;
    if (i > 0 && value - tags[i - 1]->Value() < 1000) ++neighbours;
  }
  EXPECT_LT(neighbours, 5);
}

TEST(ObjectTagTest, CounterLandingOnALiveNumberSkipsIt) {
  ObjectTag::SetNextValueForTesting(1000);
  ObjectTag first;
  ASSERT_EQ(first.Value(), 1000u);
  ObjectTag::SetNextValueForTesting(1000);
  ObjectTag second;
  EXPECT_NE(second.Value(), first.Value());
  EXPECT_NE(second.Value(), 0u);
}

TEST(ObjectTagTest, ZeroAndTheLiveTopNumberAreDrawnAgain) {
  constexpr uint32_t kTop = std::numeric_limits<uint32_t>::max();
  ObjectTag::SetNextValueForTesting(kTop);
  ObjectTag top;
  ASSERT_EQ(top.Value(), kTop);
  ObjectTag::SetNextValueForTesting(kTop);
  ObjectTag wrapped;
  EXPECT_NE(wrapped.Value(), kTop);
  EXPECT_NE(wrapped.Value(), 0u);
  ObjectTag::SetNextValueForTesting(0);
  ObjectTag fromZero;
  EXPECT_NE(fromZero.Value(), 0u);
  EXPECT_NE(fromZero.Value(), wrapped.Value());
}

TEST(ObjectTagTest, ANumberIsFreeAgainOnceItsTagEnds) {
  ObjectTag::SetNextValueForTesting(2000);
  {
    ObjectTag gone;
    ASSERT_EQ(gone.Value(), 2000u);
  }
  ObjectTag::SetNextValueForTesting(2000);
  ObjectTag again;
  EXPECT_EQ(again.Value(), 2000u);
}

TEST(ObjectTagTest, MovedTagKeepsItsNumberReserved) {
  ObjectTag::SetNextValueForTesting(3000);
  ObjectTag source;
  ObjectTag target(std::move(source));
  EXPECT_EQ(target.Value(), 3000u);
  EXPECT_EQ(source.Value(), 0u);
  ObjectTag::SetNextValueForTesting(3000);
  ObjectTag other;
  EXPECT_NE(other.Value(), 3000u);
}

TEST(ObjectTagTest, ThreadsNeverShareANumber) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 300;
  std::mutex mutex;
  std::multiset<uint32_t> values;
  // Every thread keeps its tags until all have taken theirs.
  std::latch allTaken(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      std::vector<std::unique_ptr<ObjectTag>> held;
      for (int i = 0; i < kPerThread; ++i) {
        held.push_back(std::make_unique<ObjectTag>());
      }
      {
        std::scoped_lock lock(mutex);
        for (const auto& tag : held) {
          values.insert(tag->Value());
        }
      }
      allTaken.arrive_and_wait();
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  ASSERT_EQ(values.size(), static_cast<size_t>(kThreads * kPerThread));
  EXPECT_EQ(std::set<uint32_t>(values.begin(), values.end()).size(), values.size());
}

}  // namespace
}  // namespace talvenor
