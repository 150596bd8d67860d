#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/message_box.h"

namespace talvenor {
namespace {

using namespace std::chrono_literals;

TEST(MessageBox, DetachedMessageNeverMakesTheCallerWaitForTheUser) {
  std::mutex mutex;
  std::condition_variable changed;
  bool userClosedIt = false;
  std::string shown;
  SetMessageBackend([&](int, const std::string& text, MessageIcon) {
    std::unique_lock lock(mutex);
    shown = text;
    changed.notify_all();
    changed.wait(lock, [&] { return userClosedIt; });  // the box stays up
  });
  ShowMessageDetached(1014, MessageIcon::Warning);  // returns with the box still open
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, 5s, [&] { return !shown.empty(); }));
    EXPECT_EQ(shown, "Cannot authenticate with the gateway!");
    userClosedIt = true;
  }
  changed.notify_all();
  WaitForDetachedMessages();
  SetMessageBackend(nullptr);
}

TEST(MessageBox, StringTableHoldsTheModulesTexts) {
  EXPECT_EQ(MessageText(1001), "Can't start WinSock 2.0!");
  EXPECT_EQ(MessageText(1007), "Can't bind UDP socket!");
  EXPECT_EQ(MessageText(1019), "Gateway response: Wrong password/PIN!");
  EXPECT_EQ(MessageText(1003), "");
}

}  // namespace
}  // namespace talvenor
