// The "SIP Options" dialogs driven offscreen over the module's own pages
// and a profile in a temporary folder.
#include <dlfcn.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "config/module_settings.h"
#include "module/sip_module.h"
#include "platform/profile_store.h"
#include "registration/gateway_accounts.h"
#include "settings/address_settings.h"
#include "settings/gateway_settings.h"
#include "settings/options_logic.h"
#include "settings/qt/sip_options_sheet.h"
#include "settings/qt/toolkit_application.h"
#include "settings/qt/view_names.h"
#include "settings/register_settings.h"
#include "settings/voip_settings.h"
#include "tests/support/test_helpers.h"

namespace talvenor {
namespace {

using view::CSIPOptionsSheet;
using view::ControlName;

enum Tab { kGatewaysTab, kAddressTab, kRegisterTab, kVoipTab };

// The settings as the module loads them at start-up, from the profile
// entries given, with the sheet shown over them.
class OptionsViewTest : public ::testing::Test {
protected:
  void Open(const std::vector<std::pair<std::string, std::string>>& profile = {}) {
    RestoreDefaultSettings();
    for (const auto& [entry, value] : profile) ASSERT_TRUE(ModuleProfile().WriteString(entry, value));
    LoadAddressSettings(Settings());
    LoadRegisterSettings(Settings());
    {
      std::scoped_lock lock(TheModule().ModuleLock());
      LoadGatewaySettings(Settings(), TheModule().Gateways());
    }
    LoadVoipSettings(Settings());
    sheet_ = std::make_unique<CSIPOptionsSheet>(ModuleOptionsPages());
    sheet_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet_.get()));
  }
  void TearDown() override {
    sheet_.reset();
    {
      std::scoped_lock lock(TheModule().ModuleLock());
      TheModule().Gateways().DestroyAll();
    }
    RestoreDefaultSettings();
  }

  template <typename Widget = QWidget>
  Widget* Find(const QString& name) const {
    auto* widget = sheet_->findChild<Widget*>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return widget;
  }
  template <typename Widget = QWidget>
  Widget* Find(int id) const { return Find<Widget>(ControlName(id)); }

  void ClickTab(int index) {
    QTabBar* bar = sheet_->Tabs()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
  }
  static void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  // On the box itself: a check box wider than its text takes no click at
  // its middle.
  static void Click(QCheckBox* box) {
    QStyleOptionButton option;
    option.initFrom(box);
    QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, indicator.center());
  }
  static void Retype(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }

  testhelp::TempDir config_;
  testhelp::ScopedEnv xdg_{"XDG_CONFIG_HOME", config_.Path()};
  testhelp::MessageRecorder messages_;
  std::unique_ptr<CSIPOptionsSheet> sheet_;
};

TEST_F(OptionsViewTest, AddressOkTakesTheAddressWithoutBlanksAndTheNewPortWithItsNotice) {
  Open({{"Port", "0,0,5060"}});
  ClickTab(kAddressTab);
  Retype(Find<QComboBox>(kAddressCombo)->lineEdit(), "10.0.0. 5");
  Retype(Find<QLineEdit>(kSipPortEdit), "5070");
  Click(Find<QPushButton>(view::kOkButton));
  EXPECT_EQ(sheet_->result(), QDialog::Accepted);
  EXPECT_EQ(Settings().LocalAddress.Get(), "10.0.0.5");
  EXPECT_EQ(Settings().SipPort, 5070);
  EXPECT_EQ(messages_.Ids(), std::vector<int>{1012});
}

TEST_F(OptionsViewTest, UntickingBanDisablesItsListAtOnceAndCancelStoresNothing) {
  Open({{"Port", "0,1,5060"}});
  ClickTab(kAddressTab);
  auto* list = Find<QPushButton>(kBanListButton);
  EXPECT_TRUE(list->isEnabled());
  Click(Find<QCheckBox>(kBanCheck));
  EXPECT_FALSE(list->isEnabled());
  Click(Find<QPushButton>(view::kCancelButton));
  EXPECT_EQ(sheet_->result(), QDialog::Rejected);
  EXPECT_EQ(Settings().BanEnabled, 1u);
}

TEST_F(OptionsViewTest, RefusedRegistrationClickKeepsTheBoxAndFocusesTheField) {
  Open({{"GW0", "0, sip.example.net:5060, 00, 5551234, alice, secret"}});
  Retype(Find<QLineEdit>(kGatewayAddressEdit + 1), "gw,1");
  auto* registered = Find<QCheckBox>(kGatewayRegisteredCheck);
  Click(registered);
  EXPECT_FALSE(registered->isChecked());
  EXPECT_EQ(messages_.Ids(), std::vector<int>{1025});
  EXPECT_EQ(sheet_->focusWidget(), Find(kGatewayAddressEdit + 1));
}

TEST_F(OptionsViewTest, TheRegisteredBoxFollowsTheAccountWhileTheSheetIsOpen) {
  Open({{"GW0", "1, sip.example.net:5060, 00, 5551234, alice, secret"}});
  auto* registered = Find<QCheckBox>(kGatewayRegisteredCheck);
  EXPECT_TRUE(registered->isChecked());
  {
    std::scoped_lock lock(TheModule().ModuleLock());
    TheModule().Gateways()[0]->attemptsLeft = 0;  // the gateway refused (403)
  }
  EXPECT_TRUE(QTest::qWaitFor([registered] { return !registered->isChecked(); }, 3000));
  // A click now starts a registration through the credentials dialog; none is
  // installed here, so it counts as cancelled and nothing is unregistered.
  Click(registered);
  std::scoped_lock lock(TheModule().ModuleLock());
  EXPECT_EQ(TheModule().Gateways()[0]->expires, Settings().DefaultExpiration);
}

TEST_F(OptionsViewTest, EnablingRegistrationsEnablesTheirAuthenticationBeforeAnyStore) {
  Open({{"Register", "0,1,0,3600"}});
  ClickTab(kRegisterTab);
  auto* authenticate = Find<QCheckBox>(view::kAuthenticateRegistrationsCheck);
  auto* pins = Find<QPushButton>(view::kPinListButton);
  EXPECT_FALSE(authenticate->isEnabled());
  EXPECT_TRUE(authenticate->isChecked());  // a disabled box keeps its tick
  EXPECT_FALSE(pins->isEnabled());
  Click(Find<QCheckBox>(view::kEnableRegistrationsCheck));
  EXPECT_TRUE(authenticate->isEnabled());
  EXPECT_TRUE(pins->isEnabled());
  EXPECT_EQ(Settings().EnableRegistrations, 0u);
}

TEST_F(OptionsViewTest, OddRtpBasePortKeepsThePageAndTheSheetOpen) {
  Open();
  ClickTab(kVoipTab);
  auto* basePort = Find<QLineEdit>(kRtpBasePortEdit);
  Retype(basePort, "8001");
  ClickTab(kGatewaysTab);
  EXPECT_EQ(sheet_->Tabs()->currentIndex(), kVoipTab);
  EXPECT_EQ(sheet_->focusWidget(), basePort);
  Click(Find<QPushButton>(view::kOkButton));
  EXPECT_TRUE(sheet_->isVisible());
  EXPECT_EQ(sheet_->focusWidget(), basePort);
  EXPECT_EQ(messages_.Ids(), (std::vector<int>{1008, 1008}));
  EXPECT_EQ(Settings().RtpBasePort, 8000);
}

TEST_F(OptionsViewTest, SliderMovesTheThresholdAtOnceAndCancelKeepsIt) {
  Open({{"VoIP", "1,1,1,0,400,8000"}});
  ClickTab(kVoipTab);
  auto* slider = Find<QSlider>(kSilenceSlider);
  EXPECT_EQ(slider->value(), 400);
  QTest::keyClick(slider, Qt::Key_End);
  EXPECT_EQ(Settings().SilenceThreshold, static_cast<uint32_t>(kSilenceSliderMax));
  Click(Find<QPushButton>(view::kCancelButton));
  EXPECT_EQ(Settings().SilenceThreshold, static_cast<uint32_t>(kSilenceSliderMax));
}

// Takes the URL the sheet asks the desktop to open, in place of a browser.
class UrlCatcher : public QObject {
  Q_OBJECT
public slots:
  void Open(const QUrl& url) { opened = url; }

public:
  QUrl opened;
};

TEST_F(OptionsViewTest, RechargeOpensTheHtmlHelpAtItsTopicWhereNoCompiledHelpIs) {
  Open();
  testhelp::WriteFile(config_.File("Nuvex.html"), "<h2 id=\"165572\">Gateways</h2>");
  Settings().HelpFilePath.Set(config_.File("Nuvex.chm"));
  UrlCatcher browser;
  QDesktopServices::setUrlHandler("file", &browser, "Open");
  Click(Find<QPushButton>(kRechargeButton));
  QDesktopServices::unsetUrlHandler("file");
  EXPECT_EQ(browser.opened.toLocalFile().toStdString(), config_.File("Nuvex.html"));
  EXPECT_EQ(browser.opened.fragment().toStdString(), "165572");
}

// The built plugin, loaded as the module loads it: the sheet runs modally
// on this thread and another thread closes it as Cancel would.
TEST(OptionsPluginLibrary, SheetClosedFromAnotherThreadEndsAsCancel) {
  testhelp::TempDir config;
  testhelp::ScopedEnv xdg("XDG_CONFIG_HOME", config.Path());
  testhelp::MessageRecorder messages;
  // Stays loaded: Qt keeps what a library registered until the process ends.
  void* library = dlopen(TALVENOR_BIN_DIR "/libtalvenor-options.so", RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto entry = reinterpret_cast<OptionsPluginEntry>(dlsym(library, kOptionsPluginEntry));
  ASSERT_NE(entry, nullptr);
  OptionsPlugin* plugin = entry();
  ASSERT_NE(plugin, nullptr);
  QTimer::singleShot(0, [plugin] { std::thread([plugin] { plugin->CloseSheet(); }).join(); });
  std::string why;
  EXPECT_EQ(plugin->RunSheet((TheModule(), ModuleOptionsPages()), why), 0) << why;  // the module's pages
  // A second ShowOptions while the first is still starting the toolkit:
  // its close is kept for the sheet, not lost.
  plugin->CloseSheet();
  EXPECT_EQ(plugin->RunSheet(ModuleOptionsPages(), why), 0) << why;
  EXPECT_TRUE(messages.Ids().empty());
}

// An X server that accepts the socket but refuses the client, as one does
// without our authorization: the toolkit would abort the process there.
TEST(ToolkitDisplay, AnXServerThatRefusesUsIsNoDisplay) {
  std::string number = std::to_string(6000 + getpid() % 1000);
  std::string path = "/tmp/.X11-unix/X" + number;
  int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, path.data(), path.size());  // the abstract name, tried first
  auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  std::thread server([listener] {
    pollfd waiting{listener, POLLIN, 0};
    if (poll(&waiting, 1, 5000) != 1) return;
    int client = accept(listener, nullptr, nullptr);
    char request[64];
    (void)!read(client, request, sizeof request);
    // "Failed", a reason of 21 bytes padded to 24, protocol 11.0.
    std::string reply("\0\x15\x0b\0\0\0\x06\0", 8);
    reply += std::string("No protocol specified\0\0\0", 24);
    (void)!write(client, reply.data(), reply.size());
    close(client);
  });
  testhelp::ScopedEnv platform("QT_QPA_PLATFORM", "");
  testhelp::ScopedEnv wayland("WAYLAND_DISPLAY", "");
  testhelp::ScopedEnv display("DISPLAY", ":" + number);
  EXPECT_EQ(view::WhyNoDisplay(), "the display cannot be reached");
  server.join();
  close(listener);
}

}  // namespace
}  // namespace talvenor

// Qt is not built with ThreadSanitizer: its futex-based locks are invisible
// to it, so calls Qt makes into the sanitizer's interceptors (its painting
// thread pool's allocations among them) are left out. Our own code is checked
// as ever.
extern "C" const char* __tsan_default_options() { return "ignore_noninstrumented_modules=1"; }

int main(int argc, char** argv) {
  // Never a real display: the dialogs are drawn offscreen.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

#include "options_view_test.moc"
