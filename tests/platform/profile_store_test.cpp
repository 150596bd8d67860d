#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/profile_store.h"
#include "tests/support/test_helpers.h"

namespace talvenor {
namespace {

class ProfileStoreTest : public ::testing::Test {
protected:
  testhelp::TempDir config_;
  testhelp::ScopedEnv xdg_{"XDG_CONFIG_HOME", config_.Path()};
  ProfileStore profile_{"talvenor"};
};

TEST_F(ProfileStoreTest, LivesUnderTheCompanyFolderAndIsPrivate) {
  EXPECT_EQ(profile_.Path(), config_.Path() + "/Kestravon/talvenor.ini");
  ASSERT_TRUE(profile_.WriteString("GW0", "1, gw.example.com, 9, 555, alice, secret"));
  struct stat info {};
  ASSERT_EQ(stat(profile_.Path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(testhelp::ReadFile(profile_.Path()), "[Settings]\nGW0=1, gw.example.com, 9, 555, alice, secret\n");
}

TEST_F(ProfileStoreTest, MissingFileOrEntryGivesTheFallback) {
  EXPECT_EQ(profile_.GetString("Port", "dflt"), "dflt");
  EXPECT_EQ(profile_.GetInt("GW", 7), 7);
  profile_.WriteString("Name", "Desk");
  EXPECT_EQ(profile_.GetString("Port", "dflt"), "dflt");
  EXPECT_EQ(profile_.GetString("Name"), "Desk");
}

TEST_F(ProfileStoreTest, RewritingOneEntryKeepsEveryOtherLine) {
  testhelp::WriteFile(profile_.Path(), "");
  mkdir((config_.Path() + "/Kestravon").c_str(), 0700);
  testhelp::WriteFile(profile_.Path(), "; kept\n[Other]\nPort=9\n[Settings]\nPort=1,0,5060\nName=Desk\n");
  ASSERT_TRUE(profile_.WriteString("Port", "0,1,5070"));
  ASSERT_TRUE(profile_.WriteInt("GW", 2));
  EXPECT_EQ(testhelp::ReadFile(profile_.Path()),
            "; kept\n[Other]\nPort=9\n[Settings]\nPort=0,1,5070\nName=Desk\nGW=2\n");
  EXPECT_EQ(profile_.GetString("Port"), "0,1,5070");
  EXPECT_EQ(profile_.GetInt("GW", 0), 2);
}

TEST_F(ProfileStoreTest, ValuesCannotSplitIntoExtraEntries) {
  ASSERT_TRUE(profile_.WriteString("Name", "Desk\nPort=1,1,1"));
  EXPECT_EQ(profile_.GetString("Name"), "DeskPort=1,1,1");
  EXPECT_EQ(profile_.GetString("Port", "none"), "none");
}

TEST_F(ProfileStoreTest, AProfileThatCannotBeReadIsNeverReplaced) {
  ASSERT_TRUE(profile_.WriteString("GW0", "1, gw.example.com, 9, 555, alice, secret"));
  std::string before = testhelp::ReadFile(profile_.Path());
  // Everyone may write the folder, but only the owner may read the file.
  chmod(config_.Path().c_str(), 0777);
  chmod((config_.Path() + "/Kestravon").c_str(), 0777);
  ASSERT_EQ(chmod(profile_.Path().c_str(), 0600), 0);
  if (geteuid() != 0) {
    ASSERT_EQ(chmod(profile_.Path().c_str(), 0), 0);
  }
  int written = testhelp::RunInChild(
      [this] { return profile_.WriteString("Name", "Desk") ? 1 : 0; }, /*unprivileged=*/true);
  EXPECT_EQ(written, 0);
  chmod(profile_.Path().c_str(), 0600);
  EXPECT_EQ(testhelp::ReadFile(profile_.Path()), before);
}

TEST_F(ProfileStoreTest, UnwritableFolderReportsFailure) {
  testhelp::WriteFile(config_.File("Kestravon"), "a file where the folder should be");
  EXPECT_FALSE(profile_.WriteString("Name", "Desk"));
}

}  // namespace
}  // namespace talvenor
