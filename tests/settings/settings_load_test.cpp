#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "config/module_settings.h"
#include "platform/profile_store.h"
#include "settings/address_settings.h"
#include "settings/profile_values.h"
#include "settings/register_settings.h"
#include "settings/voip_settings.h"
#include "tests/support/test_helpers.h"

namespace talvenor {
namespace {

class SettingsLoadTest : public ::testing::Test {
protected:
  void SetUp() override { RestoreDefaultSettings(); }
  void TearDown() override {
    Settings().G729Available = 0;
    RestoreDefaultSettings();
  }
  void Store(const std::string& entry, const std::string& value) { ModuleProfile().WriteString(entry, value); }
  testhelp::TempDir config_;
  testhelp::ScopedProfile profile_{config_.Path()};
};

TEST_F(SettingsLoadTest, MissingProfileKeepsEveryDefault) {
  LoadAddressSettings(Settings());
  LoadRegisterSettings(Settings());
  LoadVoipSettings(Settings());
  ModuleSettings& s = Settings();
  EXPECT_FALSE(s.HostName.Get().empty());
  EXPECT_EQ(s.LocalAddress.Get(), s.HostName.Get());
  EXPECT_EQ(s.DisplayName.Get(), s.HostName.Get());
  EXPECT_EQ(s.SipPort, 5060);
  EXPECT_EQ(s.DefaultExpiration, 3600);
  EXPECT_EQ(s.RtpBasePort, 8000);
  for (int type = 0; type < kPayloadTypeCount; ++type) {
    EXPECT_EQ(s.EnabledPayloadTypes[type], (type == 0 || type == 3 || type == 8) ? 1 : 0) << type;
  }
}

TEST_F(SettingsLoadTest, PortOfOneTurnsLoggingOnAndKeepsTheRest) {
  Store("Port", "1");
  LoadAddressSettings(Settings());
  EXPECT_EQ(Settings().LogEnabled, 1u);
  EXPECT_EQ(Settings().BanEnabled, 0u);
  EXPECT_EQ(Settings().SipPort, 5060);
}

TEST_F(SettingsLoadTest, EmptyAddressBecomesTheHostName) {
  Store("Address", "");
  Store("Name", "");
  LoadAddressSettings(Settings());
  EXPECT_EQ(Settings().LocalAddress.Get(), Settings().HostName.Get());
  EXPECT_EQ(Settings().DisplayName.Get(), "");  // an empty display name stays empty
}

TEST_F(SettingsLoadTest, NameLoadsWithoutQuotesAndBackslashes) {
  Store("Name", "Bo \"The\\Desk\"");  // written by hand: the page refuses both
  LoadAddressSettings(Settings());
  EXPECT_EQ(Settings().DisplayName.Get(), "Bo TheDesk");
}

TEST_F(SettingsLoadTest, RegisterOfOneOneKeepsTheExpiration) {
  Store("Register", "1,1");
  LoadRegisterSettings(Settings());
  EXPECT_EQ(Settings().EnableRegistrations, 1u);
  EXPECT_EQ(Settings().AuthenticateRegistrations, 1u);
  EXPECT_EQ(Settings().AuthenticateInvites, 0u);
  EXPECT_EQ(Settings().DefaultExpiration, 3600);
}

// A stored value outside the limits of its page loads as the default; the
// limits themselves load as they stand.
TEST_F(SettingsLoadTest, ValuesOutsideThePageLimitsLoadAsDefaults) {
  struct Case {
    const char* entry;
    const char* value;
    std::function<uint32_t()> read;
    uint32_t expected;
  } cases[] = {
      {"Register", "0,0,1,0", [] { return Settings().DefaultExpiration.load(); }, 3600},
      {"Register", "0,0,1,59", [] { return Settings().DefaultExpiration.load(); }, 3600},
      {"Register", "0,0,1,65596", [] { return Settings().DefaultExpiration.load(); }, 3600},
      {"Register", "0,0,1,64800", [] { return Settings().DefaultExpiration.load(); }, 64800},
      {"Register", "0,0,1,60", [] { return Settings().DefaultExpiration.load(); }, 60},
      {"Port", "0,0,0", [] { return static_cast<uint32_t>(Settings().SipPort); }, 5060},
      {"Port", "0,0,70000", [] { return static_cast<uint32_t>(Settings().SipPort); }, 5060},
      {"Port", "0,0,65535", [] { return static_cast<uint32_t>(Settings().SipPort); }, 65535},
      {"VoIP", "1,1,1,0,32768,8000", [] { return Settings().SilenceThreshold.load(); }, 1036},
      {"VoIP", "1,1,1,0,1036,8000", [] { return Settings().SilenceThreshold.load(); }, 1036},
      {"VoIP", "1,1,1,0,0,0", [] { return static_cast<uint32_t>(Settings().RtpBasePort); }, 8000},
  };
  for (const Case& c : cases) {
    RestoreDefaultSettings();
    Settings().DefaultExpiration = 1234;  // shows that the default, not the old value, is taken
    Settings().SipPort = 1234;
    Settings().SilenceThreshold = 1234;
    Settings().RtpBasePort = 1234;
    Store(c.entry, c.value);
    LoadAddressSettings(Settings());
    LoadRegisterSettings(Settings());
    LoadVoipSettings(Settings());
    EXPECT_EQ(c.read(), c.expected) << c.entry << "=" << c.value;
  }
}

TEST_F(SettingsLoadTest, VoipWithTheG729Library) {
  Settings().G729Available = 1;
  Store("VoIP", "1,0,1,1,200,9001");
  LoadVoipSettings(Settings());
  ModuleSettings& s = Settings();
  EXPECT_EQ(s.EnabledPayloadTypes[0], 1);
  EXPECT_EQ(s.EnabledPayloadTypes[8], 0);
  EXPECT_EQ(s.EnabledPayloadTypes[3], 1);
  EXPECT_EQ(s.EnabledPayloadTypes[18], 1);
  EXPECT_EQ(s.SilenceThreshold, 200u);
  EXPECT_EQ(s.RtpBasePort, 8000);  // 9001 is odd
}

TEST_F(SettingsLoadTest, VoipWithoutTheG729Library) {
  Store("VoIP", "1,0,1,1,200,9001");
  LoadVoipSettings(Settings());
  EXPECT_EQ(Settings().EnabledPayloadTypes[18], 0);
  EXPECT_EQ(Settings().EnabledPayloadTypes[3], 1);
}

TEST_F(SettingsLoadTest, VoipBasePortLimits) {
  Store("VoIP", "1,1,1,0,0,65400");
  LoadVoipSettings(Settings());
  EXPECT_EQ(Settings().RtpBasePort, 65400);
  Store("VoIP", "1,1,1,0,0,65402");
  LoadVoipSettings(Settings());
  EXPECT_EQ(Settings().RtpBasePort, 8000);
  Store("VoIP", "0,1");  // missing values keep theirs
  Settings().RtpBasePort = 9002;
  LoadVoipSettings(Settings());
  EXPECT_EQ(Settings().EnabledPayloadTypes[0], 0);
  EXPECT_EQ(Settings().EnabledPayloadTypes[8], 1);
  EXPECT_EQ(Settings().EnabledPayloadTypes[3], 1);
  EXPECT_EQ(Settings().RtpBasePort, 9002);
}

TEST_F(SettingsLoadTest, SavesWriteTheEntriesInTheirFormats) {
  Settings().LogEnabled = 1;
  Settings().SipPort = 5070;
  Settings().DisplayName.Set("Desk");
  Settings().LocalAddress.Set("10.0.0.2");
  Settings().EnableRegistrations = 1;
  Settings().SilenceThreshold = 1036;
  SaveAddressSettings(Settings());
  SaveRegisterSettings(Settings());
  SaveVoipSettings(Settings());
#ifdef _WIN32
  // The profile is a registry key there: each entry is a value of its own.
  const std::pair<std::string, std::string> entries[] = {{"Port", "1,0,5070"},         {"Name", "Desk"},
                                                         {"Address", "10.0.0.2"},      {"Register", "1,0,0,3600"},
                                                         {"VoIP", "1,1,1,0,1036,8000"}};
  for (const auto& [entry, value] : entries) EXPECT_EQ(ModuleProfile().GetString(entry, "missing"), value) << entry;
#else
  EXPECT_EQ(testhelp::ReadFile(ModuleProfile().Path()),
            "[Settings]\nPort=1,0,5070\nName=Desk\nAddress=10.0.0.2\nRegister=1,0,0,3600\nVoIP=1,1,1,0,1036,8000\n");
#endif
}

TEST(ProfileValues, ScansAsFarAsTheNumbersParse) {
  EXPECT_EQ(ScanUnsignedList("1,2,3", 3), (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(ScanUnsignedList("1,2,3,4", 2), (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(ScanUnsignedList("1,x,3", 3), (std::vector<uint32_t>{1}));
  EXPECT_EQ(ScanUnsignedList("1;2", 3), (std::vector<uint32_t>{1}));
  EXPECT_EQ(ScanUnsignedList(" 7, 8", 3), (std::vector<uint32_t>{7, 8}));
  EXPECT_TRUE(ScanUnsignedList("", 3).empty());
}

}  // namespace
}  // namespace talvenor
