// The "SIP Options" pages' logic, without a dialog toolkit.
#include <gtest/gtest.h>

#include <functional>

#include "config/module_settings.h"
#include "module/sip_module.h"
#include "registration/gateway_accounts.h"
#include "settings/gateway_settings.h"
#include "settings/options_logic.h"
#include "settings/options_sheet.h"
#include "tests/support/test_helpers.h"
#include "tests/support/test_host.h"

namespace talvenor {
namespace {

const std::string kNotInteger = "Please enter an integer.";
const std::string kNameQuotes = "The display name cannot contain quotes or backslashes!";

class OptionsPagesTest : public ::testing::Test {
protected:
  void SetUp() override { RestoreDefaultSettings(); }
  void TearDown() override {
    SetCredentialsDialog(nullptr);
    for (auto& account : TheModule().Gateways()) account.reset();
    RestoreDefaultSettings();
  }
  OptionsPages& pages_ = (TheModule(), ModuleOptionsPages());  // the module hands the pages its settings
  testhelp::MessageRecorder messages_;
};

TEST_F(OptionsPagesTest, AddressPageRefusesOrStoresEachField) {
  struct Case {
    AddressForm form;
    int focus;  // 0 when stored
    std::string message;
    std::string address, name;
    uint16_t port;
  } cases[] = {
      {{"10.0.0. 5", "5060", "John Smith", true, false}, 0, "", "10.0.0.5", "JohnSmith", 5060},
      {{"10.0.0.5", "5070", "Desk", false, true}, 0, "The new SIP port will be used after restart!", "10.0.0.5",
       "Desk", 5070},
      {{" \t ", "5060", "Desk", true, true}, kAddressCombo, "Cannot resolve your hostname or IP address!", "old",
       "old", 5060},
      {{"10.0.0.5", "port", "Desk", true, true}, kSipPortEdit, kNotInteger, "old", "old", 5060},
      {{"10.0.0.5", "70000", "Desk", true, true}, kSipPortEdit, "Please enter an integer between 1 and 65535.", "old",
       "old", 5060},
      {{"10.0.0.5", "0", "Desk", true, true}, kSipPortEdit, "Please enter an integer between 1 and 65535.", "old",
       "old", 5060},
      {{std::string(41, 'a'), "5060", "Desk", true, true}, kAddressCombo, "Please enter no more than 40 characters.",
       "old", "old", 5060},
      // A quote or a backslash would break the quoted name of every From and To line.
      {{"10.0.0.5", "5060", "Bo \"Desk\"", true, true}, kDisplayNameEdit, kNameQuotes, "old", "old", 5060},
      {{"10.0.0.5", "5060", "Bo\\", true, true}, kDisplayNameEdit, kNameQuotes, "old", "old", 5060},
  };
  for (const Case& c : cases) {
    RestoreDefaultSettings();
    Settings().LocalAddress.Set("old");
    Settings().DisplayName.Set("old");
    testhelp::MessageRecorder messages;
    Exchange result = pages_.StoreAddress(c.form);
    SCOPED_TRACE(c.form.address + "|" + c.form.port);
    EXPECT_EQ(result.ok, c.focus == 0);
    EXPECT_EQ(result.focus, c.focus);
    EXPECT_EQ(messages.Texts(), c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
    EXPECT_EQ(Settings().LocalAddress.Get(), c.address);
    EXPECT_EQ(Settings().DisplayName.Get(), c.name);
    EXPECT_EQ(Settings().SipPort, c.port);
    // The switches are taken even when a later field is refused.
    EXPECT_EQ(Settings().LogEnabled, c.form.log ? 1u : 0u);
    EXPECT_EQ(Settings().BanEnabled, c.form.ban ? 1u : 0u);
  }
}

TEST_F(OptionsPagesTest, RegisterPageEnablesAndExpirationLimits) {
  // enable, authenticate registrations, authenticate invites -> the two enable states
  EXPECT_FALSE(RegisterPageEnables(false, true, false).authenticateRegistrations);
  EXPECT_FALSE(RegisterPageEnables(false, true, false).pinList);
  EXPECT_TRUE(RegisterPageEnables(false, false, true).pinList);
  EXPECT_TRUE(RegisterPageEnables(true, false, false).authenticateRegistrations);
  EXPECT_FALSE(RegisterPageEnables(true, false, false).pinList);
  EXPECT_TRUE(RegisterPageEnables(true, true, false).pinList);

  const std::string range = "Please enter an integer between 60 and 64800.";
  struct Case {
    const char* text;
    std::string message;
    uint16_t stored;
  } cases[] = {{"59", range, 3600}, {"64801", range, 3600}, {"60", "", 60}, {" 64800 ", "", 64800},
               {"", kNotInteger, 3600}, {"99999999999999999999", range, 3600}};
  for (const Case& c : cases) {
    Settings().DefaultExpiration = 3600;
    testhelp::MessageRecorder messages;
    Exchange result = pages_.StoreRegister({true, false, true, c.text});
    EXPECT_EQ(result.ok, c.message.empty()) << c.text;
    EXPECT_EQ(messages.Texts(), c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
    EXPECT_EQ(Settings().DefaultExpiration, c.stored) << c.text;
    EXPECT_EQ(Settings().EnableRegistrations, 1u);
    EXPECT_EQ(Settings().AuthenticateInvites, 1u);
  }
}

TEST_F(OptionsPagesTest, VoipPageBasePortCodecsAndSlider) {
  struct Case {
    const char* port;
    std::string message;
    uint16_t stored;
  } cases[] = {{"8001", "Please, enter an even port number!", 8000},
               {"65402", "Please enter an integer between 2 and 65400.", 8000},
               {"0", "Please enter an integer between 2 and 65400.", 8000},
               {"9000", "", 9000}};
  for (const Case& c : cases) {
    Settings().RtpBasePort = 8000;
    testhelp::MessageRecorder messages;
    Exchange result = pages_.StoreVoip({false, true, true, true, false, 0, c.port});
    EXPECT_EQ(result.focus, c.message.empty() ? kNoControl : kRtpBasePortEdit) << c.port;
    EXPECT_EQ(messages.Texts(), c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
    EXPECT_EQ(Settings().RtpBasePort, c.stored);
  }
  // The codec boxes are taken; G.729 only while its library is there.
  EXPECT_EQ(Settings().EnabledPayloadTypes[0], 0);
  EXPECT_EQ(Settings().EnabledPayloadTypes[8], 1);
  EXPECT_EQ(Settings().EnabledPayloadTypes[18], 0);
  EXPECT_FALSE(pages_.LoadVoip().g729Available);
  // The slider changes the threshold at once, within its range.
  pages_.SilenceSliderMoved(1036);
  EXPECT_EQ(Settings().SilenceThreshold, 1036u);
  pages_.SilenceSliderMoved(5000);
  EXPECT_EQ(Settings().SilenceThreshold, 1036u);
  EXPECT_EQ(pages_.LoadVoip().silence, 1036);
}

TEST_F(OptionsPagesTest, GatewayPageStoresUntilARefusedField) {
  testhelp::TempDir config;
  testhelp::ScopedProfile profile(config.Path());
  LoadGatewaySettings(Settings(), TheModule().Gateways());
  GatewayForm form = pages_.LoadGateways();
  EXPECT_EQ(form.rows[0].address, kDefaultGatewayHost);
  form.selected = 1;
  form.rows[0] = {"gw. example.com", "00", "555 1234", false};
  form.rows[1] = {"10.0.0.1", "9", "1,2", false};  // the comma would shift the stored fields
  form.rows[2] = {"never.example.com", "", "", false};
  Exchange result = pages_.StoreGateways(form);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.focus, kGatewayCallerIdEdit + 1);
  EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"Gateway settings cannot contain commas or quotes!"});
  EXPECT_EQ(Settings().SelectedGateway, 1);
  EXPECT_EQ(TheModule().Gateways()[0]->address, "gw.example.com");
  EXPECT_EQ(TheModule().Gateways()[0]->callerId, "5551234");
  EXPECT_EQ(TheModule().Gateways()[0]->prefix, "00");
  EXPECT_EQ(TheModule().Gateways()[1]->address, "10.0.0.1");  // before the refused field
  EXPECT_EQ(TheModule().Gateways()[1]->prefix, "");           // after it
  EXPECT_EQ(TheModule().Gateways()[2]->address, "");

  form.rows[1].callerId = std::string(17, '5');
  EXPECT_EQ(pages_.StoreGateways(form).focus, kGatewayCallerIdEdit + 1);
  EXPECT_EQ(messages_.Texts().back(), "Please enter no more than 16 characters.");
}

TEST_F(OptionsPagesTest, RegisteredBoxGoesThroughTheCredentialsDialog) {
  testhelp::TempDir config;
  testhelp::ScopedProfile profile(config.Path());
  LoadGatewaySettings(Settings(), TheModule().Gateways());
  // The dialog as the user fills it: first empty, then with a comma, then a
  // quote, then right.
  std::vector<CredentialsForm> typed = {
      {"", " ", "pw"}, {"", "al,ice", "pw"}, {"", "alice", "p\"w"}, {"", "alice", " pw "}};
  std::vector<Exchange> answers;
  CredentialsForm offered;
  SetCredentialsDialog([&](const CredentialsOffer& offer) -> std::optional<Credentials> {
    CredentialsLogic page(offer.gateway, offer.userId, offer.password);
    offered = page.Load();
    for (const CredentialsForm& form : typed) {
      answers.push_back(page.Store(form));
      if (answers.back().ok) return Credentials{page.UserId(), page.Password()};
    }
    return std::nullopt;
  });
  GatewayForm form = pages_.LoadGateways();
  form.rows[0].callerId = "5551234";
  Exchange exchange;
  form = pages_.ToggleRegistration(0, form, exchange);
  EXPECT_TRUE(exchange.ok);
  EXPECT_EQ(offered.gateway, kDefaultGatewayHost);
  EXPECT_EQ(offered.userId, "test");  // the stored user id comes before the caller id
  ASSERT_EQ(answers.size(), 4u);
  EXPECT_EQ(answers[0].focus, kCredentialsUserIdEdit);
  EXPECT_EQ(answers[1].focus, kCredentialsUserIdEdit);
  EXPECT_EQ(answers[2].focus, kCredentialsPasswordEdit);
  EXPECT_TRUE(answers[3].ok);
  EXPECT_EQ(messages_.Ids(), (std::vector<int>{1013, 1025, 1025}));
  EXPECT_TRUE(form.rows[0].registered);
  EXPECT_EQ(TheModule().Gateways()[0]->userId, "alice");
  EXPECT_EQ(TheModule().Gateways()[0]->password, "pw");
  EXPECT_EQ(TheModule().Gateways()[0]->callerId, "5551234");
  // A second click stops the registration and clears the box at once.
  form = pages_.ToggleRegistration(0, form, exchange);
  EXPECT_FALSE(form.rows[0].registered);
  EXPECT_NE(TheModule().Gateways()[0]->attemptsLeft, 0);  // the unregistering REGISTER is still to go
  // A shutdown while the dialog is open frees the accounts: the answer goes nowhere.
  TheModule().Gateways()[0]->attemptsLeft = 0;
  SetCredentialsDialog([](const CredentialsOffer&) -> std::optional<Credentials> {
    std::scoped_lock lock(TheModule().ModuleLock());
    TheModule().Gateways().DestroyAll();
    return Credentials{"bob", "pw"};
  });
  form = pages_.ToggleRegistration(0, form, exchange);
  EXPECT_FALSE(TheModule().Gateways()[0]);
}

TEST_F(OptionsPagesTest, ListButtonsOpenTheListsWithTheirHeaders) {
  testhost::Reset();
  pages_.OpenList(ListFile::Ban);
  pages_.OpenList(ListFile::Pins);
  std::vector<testhost::HostCall> calls = testhost::StaticCallsNamed("OnOpenTextFile");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].arguments, (std::vector<std::string>{"SIP-BAN", "IPAddressPrefix\tDateTime\n"}));
  EXPECT_EQ(calls[1].arguments, (std::vector<std::string>{"SIP-PIN", "UserID\tPassword\n"}));
}

TEST_F(OptionsPagesTest, HelpIsTheHtmlFileWhereTheCompiledOneIsMissing) {
  testhelp::TempDir folder;
  std::string old = Settings().HelpFilePath.Get();
  Settings().HelpFilePath.Set(folder.File("Nuvex.chm"));
  EXPECT_EQ(pages_.HelpFile(), folder.File("Nuvex.html"));
  testhelp::WriteFile(folder.File("Nuvex.chm"), "compiled help");
  EXPECT_EQ(pages_.HelpFile(), folder.File("Nuvex.chm"));
  Settings().HelpFilePath.Set(old);
}

// A plugin that records what the module asks of it.
class FakePlugin final : public OptionsPlugin {
public:
  std::function<int()> duringSheet;
  int closes = 0;
  int RunSheet(OptionsPages&, std::string&) override { return duringSheet ? duringSheet() : 1; }
  void CloseSheet() override { ++closes; }
  bool AskCredentials(CredentialsPage&) override { return false; }
  bool ShowMessage(const std::string&, int) override { return false; }
};

TEST_F(OptionsPagesTest, SecondShowOptionsClosesTheOpenSheet) {
  FakePlugin plugin;
  SetOptionsPlugin(&plugin);
  bool second = true;
  plugin.duringSheet = [&] {
    second = ShowOptionsSheet();
    return 1;
  };
  EXPECT_TRUE(ShowOptionsSheet());
  EXPECT_FALSE(second);
  EXPECT_EQ(plugin.closes, 1);
  // Without a display the sheet says why and counts as not confirmed.
  plugin.duringSheet = [] { return -1; };
  EXPECT_FALSE(ShowOptionsSheet());
  EXPECT_EQ(messages_.Ids(), std::vector<int>{0});
  SetOptionsPlugin(nullptr);
}

}  // namespace
}  // namespace talvenor
