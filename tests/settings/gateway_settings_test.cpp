#include <gtest/gtest.h>

#include <chrono>

#include "host/ccom.h"
#include "config/module_settings.h"
#include "module/sip_module.h"
#include "platform/profile_store.h"
#include "registration/gateway_accounts.h"
#include "settings/gateway_settings.h"
#include "tests/support/test_helpers.h"

namespace talvenor {
namespace {

using namespace std::chrono_literals;

TEST(GatewayEntry, FieldsLoseEveryBlankAndMissingOnesAreEmpty) {
  GatewayFields fields = ParseGatewayEntry("1, gw. example.com:5070, 0 0, 5 5 5, al ice, se\tcret");
  EXPECT_TRUE(fields.registering);
  EXPECT_EQ(fields.address, "gw.example.com:5070");
  EXPECT_EQ(fields.prefix, "00");
  EXPECT_EQ(fields.callerId, "555");
  EXPECT_EQ(fields.userId, "alice");
  EXPECT_EQ(fields.password, "secret");
  GatewayFields partial = ParseGatewayEntry("0, 10.0.0.1");
  EXPECT_FALSE(partial.registering);
  EXPECT_EQ(partial.address, "10.0.0.1");
  EXPECT_EQ(partial.userId, "");
  EXPECT_EQ(ParseGatewayEntry("6,a,b,c,d,e,f").password, "e");
}

class GatewaySettingsTest : public ::testing::Test {
protected:
  void SetUp() override { RestoreDefaultSettings(); }
  void TearDown() override {
    for (auto& account : TheModule().Gateways()) account.reset();
  }
  testhelp::TempDir config_;
  testhelp::ScopedProfile profile_{config_.Path()};
};

TEST_F(GatewaySettingsTest, EmptyProfileGivesTheDefaultFirstAccount) {
  LoadGatewaySettings(Settings(), TheModule().Gateways());
  GatewayAccount& first = *TheModule().Gateways()[0];
  EXPECT_EQ(first.attemptsLeft, 0);
  EXPECT_EQ(first.address, kDefaultGatewayHost);
  EXPECT_EQ(first.userId, "test");
  EXPECT_EQ(first.password, "ZOK8MUVA");
  EXPECT_EQ(first.expires, 3600);
  EXPECT_TRUE(TheModule().Gateways()[1]->address.empty());
  EXPECT_EQ(TheModule().Gateways().Current(), TheModule().Gateways()[0].get());
}

TEST_F(GatewaySettingsTest, SelectionOutOfRangeIsTheFirstGateway) {
  for (const char* stored : {"7", "-1", "x"}) {
    ModuleProfile().WriteString("GW", stored);
    LoadGatewaySettings(Settings(), TheModule().Gateways());
    EXPECT_EQ(Settings().SelectedGateway, 0) << stored;
  }
  ModuleProfile().WriteString("GW", "2");
  LoadGatewaySettings(Settings(), TheModule().Gateways());
  EXPECT_EQ(TheModule().Gateways().Current(), TheModule().Gateways()[2].get());
}

TEST_F(GatewaySettingsTest, SaveWritesEveryAccountThenDestroysThem) {
  ModuleProfile().WriteString("GW1", "1, gw.example.com, 9, 555, alice, secret");
  ModuleProfile().WriteString("GW2", "0, Other.Example.com");
  ModuleProfile().WriteString("GW", "1");
  Settings().DefaultExpiration = 1800;
  LoadGatewaySettings(Settings(), TheModule().Gateways());
  EXPECT_EQ(TheModule().Gateways()[1]->attemptsLeft, 6);
  EXPECT_EQ(TheModule().Gateways()[1]->expires, 1800);
  EXPECT_EQ(TheModule().Gateways().FindByAddress("GW.EXAMPLE.COM"), TheModule().Gateways()[1].get());
  EXPECT_EQ(TheModule().Gateways().FindByAddress("other.example.com"), TheModule().Gateways()[2].get());
  EXPECT_EQ(TheModule().Gateways().FindByAddress("nowhere"), nullptr);
  TheModule().Gateways()[2]->attemptsLeft = 3;  // still trying: saved as registering
  SaveGatewaySettings(Settings(), TheModule().Gateways());
  for (auto& account : TheModule().Gateways()) EXPECT_EQ(account, nullptr);
  EXPECT_EQ(ModuleProfile().GetString("GW"), "1");
  EXPECT_EQ(ModuleProfile().GetString("GW0"), "0, sip.example.net, , , test, ZOK8MUVA");
  EXPECT_EQ(ModuleProfile().GetString("GW1"), "6, gw.example.com, 9, 555, alice, secret");
  EXPECT_EQ(ModuleProfile().GetString("GW2"), "3, Other.Example.com, , , , ");
}

TEST_F(GatewaySettingsTest, AnAccountBeingUnregisteredIsSavedAsStopped) {
  ModuleProfile().WriteString("GW1", "1, gw.example.com, 9, 555, alice, secret");
  LoadGatewaySettings(Settings(), TheModule().Gateways());
  TheModule().Gateways()[1]->expires = 0;  // the user unticked R; the unregistration is under way
  SaveGatewaySettings(Settings(), TheModule().Gateways());
  EXPECT_EQ(ModuleProfile().GetString("GW1"), "0, gw.example.com, 9, 555, alice, secret");
}

// Account 1 registered when the module stopped registers again at the next
// start-up by itself, through the timer and dispatch.
TEST(GatewayRegistration, SavedRegistrationResumesAtStartUpThroughTheTimer) {
  testhelp::MessageRecorder messages;
  testhelp::UdpPeer gateway;
  std::string address = "127.0.0.1:" + std::to_string(gateway.Port());
  testhelp::RunningModule module({{"GW1", "6, " + address + ", , 555, alice, secret"}, {"Register", "0,0,0,600"}});
  ASSERT_TRUE(module.Started());
  std::optional<std::string> request = gateway.Receive(4s);
  ASSERT_TRUE(request.has_value());
  EXPECT_EQ(request->substr(0, request->find('\r')), "REGISTER sip:" + address + " SIP/2.0");
  EXPECT_NE(request->find(">;expires=600\r\n"), std::string::npos);
  auto line = [&](const std::string& name) {
    size_t start = request->find("\r\n" + name + ":") + 2;
    return request->substr(start, request->find("\r\n", start) - start + 2);
  };
  std::string ok = "SIP/2.0 200 OK\r\n" + line("Via") + line("To") + line("From") + line("Call-ID") + line("CSeq") +
                   "Contact: <sip:alice@127.0.0.1>;expires=600\r\nContent-Length: 0\r\n\r\n";
  gateway.SendTo(module.SipPort(), ok);
  // Registered: no more transmissions until the refresh, ten minutes away.
  EXPECT_FALSE(gateway.Receive(2500ms).has_value());
  {
    std::scoped_lock lock(TheModule().ModuleLock());
    EXPECT_TRUE(TheModule().Gateways()[1]->ShowsRegistered());
    EXPECT_EQ(TheModule().Gateways()[1]->cseq, 2);
  }
  module.Shutdown();
  EXPECT_EQ(ModuleProfile().GetString("GW1").substr(0, 3), "6, ");
  EXPECT_TRUE(messages.Ids().empty());
}

}  // namespace
}  // namespace talvenor
