// The ban list, flood detector and message log with real files.
#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include <chrono>

#include "config/module_settings.h"
#include "platform/clock.h"
#include "platform/endpoint.h"
#include "registration/registration_list.h"
#include "tests/support/sip_samples.h"
#include "tests/support/test_helpers.h"
#include "transport/ban_list.h"
#include "transport/flood_detector.h"
#include "transport/message_log.h"

namespace talvenor {
namespace {

using namespace std::chrono_literals;

TEST(BanList, PrefixAndExactEntries) {
  testhelp::TempDir dir;
  std::string path = dir.File("SIP-BAN.txt");
  testhelp::WriteFile(path, "IPAddressPrefix\tDateTime\n192.168.\tMon Jan  1\n10.0.0.1\tTue Jan  2\n");
  EXPECT_EQ(BanListMark(path, "192.168.1.7"), "Mon Jan  1");
  EXPECT_EQ(BanListMark(path, "10.192.168.4"), "Mon Jan  1");  // a prefix may occur anywhere
  EXPECT_EQ(BanListMark(path, "10.0.0.1"), "Tue Jan  2");
  EXPECT_EQ(BanListMark(path, "10.0.0.15"), "");
  EXPECT_EQ(BanListMark(dir.File("missing.txt"), "10.0.0.1"), "");
}

TEST(BanList, EntryWithoutDateMatchesButBansNothingAndStopsTheSearch) {
  testhelp::TempDir dir;
  std::string path = dir.File("SIP-BAN.txt");
  testhelp::WriteFile(path, "\n\t\n10.0.0.9\n10.0.0.9\tWed\n");
  EXPECT_EQ(BanListMark(path, "10.0.0.9"), "");
  testhelp::WriteFile(path, "10.0.0.9\r\n10.0.0.9\tWed\n");
  EXPECT_EQ(BanListMark(path, "10.0.0.9"), "Wed");  // "10.0.0.9\r" is no match
}

TEST(BanList, OverlongLinesAreReadInPieces) {
  testhelp::TempDir dir;
  std::string path = dir.File("SIP-BAN.txt");
  // The second piece of the long line starts with the address.
  testhelp::WriteFile(path, std::string(259, 'z') + "10.0.0.3\tThu\n");
  EXPECT_EQ(BanListMark(path, "10.0.0.3"), "Thu");
}

TEST(ListWrites, AFullDiskIsNeverReportedAsWritten) {
  // Writes to /dev/full fail with ENOSPC, most often only when the file is closed.
  EXPECT_FALSE(AppendBanEntry("/dev/full", "10.0.0.1", "Mon"));
  EXPECT_FALSE(AppendLogRecord("/dev/full", "Mon", "10.0.0.1", 5060, "", "OPTIONS sip:x SIP/2.0\r\n\r\n"));
}

TEST(FloodDetector, TheEleventhDatagramWithin500msIsAFlood) {
  FloodDetector detector;
  uint32_t source = NetworkAddress(0x0a000001);
  for (int index = 0; index < 10; ++index) EXPECT_FALSE(detector.Count(source, 1000 + index)) << index;
  EXPECT_TRUE(detector.Count(source, 1400));
}

TEST(FloodDetector, SlowSendersAndAlternatingSendersAreNotFloods) {
  FloodDetector slow;
  uint32_t source = NetworkAddress(0x0a000001);
  for (int index = 0; index < 10; ++index) slow.Count(source, index * 60);
  EXPECT_FALSE(slow.Count(source, 601));  // more than 500 ms after the first
  EXPECT_FALSE(slow.Count(source, 602));  // and a new window starts
  FloodDetector alternating;
  for (int index = 0; index < 40; ++index) EXPECT_FALSE(alternating.Count(source + (index % 2), 5));
}

TEST(FloodDetector, AmongBusyPeersAndManyOthersOnlyTheFastSenderIsAFlood) {
  // A PBX and a registrar at thirty datagrams a second each, for a minute,
  // among five hundred other addresses that fill the table, and one sender
  // at twice that rate, never twice in a row.
  FloodDetector detector;
  uint32_t pbx = NetworkAddress(0x0a000001), registrar = NetworkAddress(0x0a000002);
  uint32_t fast = NetworkAddress(0x0a000003);
  uint32_t caughtAt = 0;
  for (uint32_t tick = 0; tick < 60'000; tick += 34) {
    ASSERT_FALSE(detector.Count(pbx, tick)) << tick;
    if (detector.Count(fast, tick) && caughtAt == 0) caughtAt = tick;
    ASSERT_FALSE(detector.Count(registrar, tick + 1)) << tick;
    for (uint32_t other = 0; other < 500; other += 50) {
      detector.Count(NetworkAddress(0x0b000000 + other + tick % 50), tick + 2);
    }
    if (detector.Count(fast, tick + 3) && caughtAt == 0) caughtAt = tick;
  }
  EXPECT_NE(caughtAt, 0u);
  EXPECT_LT(caughtAt, 1000u);
}

TEST(FloodDetector, FiveSendersOfOneBucketTakingTurnsAreAFlood) {
  const uint32_t turns[] = {0x0a000001, 0x0a000140, 0x0a0002f6, 0x0a0003ac, 0x0a000462};  // one bucket's
  FloodDetector detector;
  bool caught = false;
  for (uint32_t index = 0; index < 200; ++index) caught |= detector.Count(NetworkAddress(turns[index % 5]), index);
  EXPECT_TRUE(caught);
}

TEST(FloodDetector, TickWrapDoesNotHideAFlood) {
  FloodDetector detector;
  uint32_t source = NetworkAddress(0x0a000001);
  for (uint32_t index = 0; index < 10; ++index) detector.Count(source, 0xFFFFFF00u + index * 30);
  EXPECT_TRUE(detector.Count(source, 0xFFFFFF00u + 330));  // past the wrap, 330 ms later
}

TEST(MessageLog, RecordIsHeadingSeparatorAndTheDatagramAsReceived) {
  testhelp::TempDir dir;
  std::string path = dir.File("SIP-LOG.txt");
  ASSERT_TRUE(AppendLogRecord(path, "Mon Dec  7 10:00:00 2026", "10.0.0.7", 5062, "", "OPTIONS x\r\n\r\n"));
  ASSERT_TRUE(AppendLogRecord(path, "D", "10.0.0.8", 5060, "BANNED", "BYE y\r\n"));
  EXPECT_EQ(testhelp::ReadFile(path),
            "Mon Dec  7 10:00:00 2026\t10.0.0.7:5062\t\n"
            "================================================\n"
            "OPTIONS x\r\n\r\n"
            "D\t10.0.0.8:5060\tBANNED\n"
            "================================================\n"
            "BYE y\r\n");
  EXPECT_FALSE(AppendLogRecord(dir.File("no/such/folder.txt"), "D", "1.2.3.4", 1, "", "x"));
}

// The whole guard in the running module.
class GuardTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(module_.Started()); }
  std::string BanPath() const { return module_.Data().File("SIP-BAN.txt"); }
  std::string LogPath() const { return module_.Data().File("SIP-LOG.txt"); }
  size_t AnswersTo(const std::string& datagram) {
    peer_.SendTo(module_.SipPort(), datagram);
    return peer_.ReceiveAll(250ms).size();
  }
  static size_t Count(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
  }
  testhelp::RunningModule module_;
  testhelp::UdpPeer peer_;
};

TEST_F(GuardTest, FloodOfElevenIsBannedLoggedOnceAndLaterDatagramsAreDroppedUnlogged) {
  Settings().BanEnabled = 1;
  Settings().LogEnabled = 1;
  for (int index = 0; index < 11; ++index) {
    peer_.SendTo(module_.SipPort(), testhelp::Request("OPTIONS", "flood-" + std::to_string(index)));
  }
  auto answers = peer_.ReceiveAll(500ms);
  EXPECT_EQ(answers.size(), 10u);
  std::string ban = testhelp::ReadFile(BanPath());
  EXPECT_EQ(Count(ban, "\n"), 1u) << ban;
  EXPECT_EQ(ban.substr(0, 10), "127.0.0.1\t");
  std::string log = testhelp::ReadFile(LogPath());
  EXPECT_EQ(Count(log, "================================================\n"), 11u);
  EXPECT_EQ(Count(log, "\tBANNED\n"), 1u);
  EXPECT_NE(log.find(":" + std::to_string(peer_.Port()) + "\tBANNED\n"), std::string::npos);
  // From now on the list itself drops the sender, without a log record.
  EXPECT_EQ(AnswersTo(testhelp::Request("OPTIONS", "after-ban")), 0u);
  EXPECT_EQ(testhelp::ReadFile(LogPath()), log);
  EXPECT_EQ(testhelp::ReadFile(BanPath()), ban);
}

TEST_F(GuardTest, BanSwitchOffIgnoresTheListButStillLogs) {
  testhelp::WriteFile(BanPath(), "127.0.0.1\tlong ago\n");
  Settings().BanEnabled = 0;
  Settings().LogEnabled = 1;
  for (int index = 0; index < 15; ++index) {
    EXPECT_EQ(AnswersTo(testhelp::Request("OPTIONS", "off-" + std::to_string(index))), 1u);
  }
  EXPECT_EQ(Count(testhelp::ReadFile(LogPath()), "\t127.0.0.1:"), 15u);
  Settings().BanEnabled = 1;
  EXPECT_EQ(AnswersTo(testhelp::Request("OPTIONS", "on")), 0u);
  EXPECT_EQ(Count(testhelp::ReadFile(LogPath()), "\t127.0.0.1:"), 15u);
}

TEST_F(GuardTest, LoggedDatagramIsExactlyAsReceived) {
  Settings().LogEnabled = 1;
  std::string datagram = testhelp::Request("OPTIONS", "exact");
  ASSERT_EQ(AnswersTo(datagram), 1u);
  std::string log = testhelp::ReadFile(LogPath());
  std::string heading = log.substr(0, log.find('\n') + 1);
  EXPECT_NE(heading.find("\t127.0.0.1:" + std::to_string(peer_.Port()) + "\t\n"), std::string::npos) << heading;
  EXPECT_EQ(log.substr(heading.size()), "================================================\n" + datagram);
}

TEST_F(GuardTest, ListsTheModuleCreatesAreReadableByTheUserOnly) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows keeps the files of a user's profile folder private by its folder's rights";
#else
  mode_t old = umask(022);
  Settings().BanEnabled = 1;
  Settings().LogEnabled = 1;
  for (int index = 0; index < 11; ++index) {
    peer_.SendTo(module_.SipPort(), testhelp::Request("OPTIONS", "private-" + std::to_string(index)));
  }
  peer_.ReceiveAll(500ms);
  int64_t now = CalendarSeconds();
  ASSERT_TRUE(UpdateRegistrationList("a@10.0.0.1:5060", "a@10.0.0.1:5060\tPIN\t" + std::to_string(now) + "\t60\n",
                                     now, 60, kDefaultExpiration));  // made by appending
  ASSERT_TRUE(UpdateRegistrationList("b@10.0.0.2:5060", "b@10.0.0.2:5060\tPIN\t" + std::to_string(now) + "\t60\n",
                                     now, 60, kDefaultExpiration));  // made anew from the ".bak"
  umask(old);
  for (const char* list : {"SIP-BAN.txt", "SIP-LOG.txt", "SIP-REG.txt"}) {
    struct stat status {};
    ASSERT_EQ(stat(module_.Data().File(list).c_str(), &status), 0) << list;
    EXPECT_EQ(status.st_mode & 0777, 0600u) << list;
  }
#endif
}

TEST_F(GuardTest, UnreadableListsAreSkipped) {
  // Folders where the lists should be: neither opens as a file.
  std::filesystem::create_directory(BanPath());
  std::filesystem::create_directory(LogPath());
  Settings().BanEnabled = 1;
  Settings().LogEnabled = 1;
  for (int index = 0; index < 12; ++index) {
    peer_.SendTo(module_.SipPort(), testhelp::Request("OPTIONS", "skip-" + std::to_string(index)));
  }
  // Without a writable list the flood detector cannot ban: all are answered.
  EXPECT_EQ(peer_.ReceiveAll(500ms).size(), 12u);
}

}  // namespace
}  // namespace talvenor
