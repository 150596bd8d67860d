#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "host/ccom.h"
#include "module/module_settings.h"
#include "module/sip_module.h"
#include "platform/profile_store.h"
#include "tests/support/test_helpers.h"

extern "C" CCom* CreateCom();

namespace talvenor {
namespace {

using namespace std::chrono_literals;
using testhelp::RunningModule;

TEST(ModuleStartup, PortInUseShowsBindErrorAndTheModuleStartsLaterOnAFreePort) {
  testhelp::MessageRecorder messages;
  testhelp::UdpPeer occupier;  // holds the port on 127.0.0.1
  {
    RunningModule module({{"Port", "0,0," + std::to_string(occupier.Port())}});
    EXPECT_FALSE(module.Started());
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Can't bind UDP socket!"});
    EXPECT_FALSE(TheModule().IsRunning());
  }
  RunningModule module;
  EXPECT_TRUE(module.Started());
  EXPECT_EQ(HostPort(TheModule().SipEndpoint().port), module.SipPort());
  EXPECT_EQ(messages.Ids().size(), 1u);
}

TEST(ModuleStartup, ShutdownEndsTheReceiveThreadPromptlyAndReleasesThePort) {
  RunningModule module;
  ASSERT_TRUE(module.Started());
  EXPECT_TRUE(TheModule().ReceiveThreadRunning());
  auto before = std::chrono::steady_clock::now();
  module.Shutdown();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 1500ms);  // the 888 ms timer may be mid-wait
  EXPECT_FALSE(TheModule().ReceiveThreadRunning());
  EXPECT_FALSE(TheModule().IsRunning());
  // The port is free again at once.
  UdpSocket again;
  ASSERT_TRUE(again.Open());
  EXPECT_TRUE(again.Bind({LoopbackAddress(), NetworkPort(module.SipPort())}));
}

TEST(ModuleStartup, StartStopStartInOneProcess) {
  testhelp::TempDir config;
  testhelp::ScopedEnv xdg("XDG_CONFIG_HOME", config.Path());
  uint16_t port = testhelp::FreeUdpPort();
  ModuleProfile().WriteString("Port", "0,0," + std::to_string(port));
  Settings().BindAddress = LoopbackAddress();
  for (int round = 0; round < 3; ++round) {
    CCom* module = CreateCom();
    ASSERT_NE(module, nullptr) << "round " << round;
    EXPECT_EQ(HostPort(TheModule().SipEndpoint().port), port);
    module->Shutdown();
  }
}

TEST(ModuleStartup, CreateComWhileRunningReturnsTheSameModule) {
  RunningModule module;
  ASSERT_TRUE(module.Started());
  EXPECT_EQ(CreateCom(), static_cast<CCom*>(&TheModule()));
  EXPECT_EQ(HostPort(TheModule().SipEndpoint().port), module.SipPort());
}

TEST(ModuleStartup, TimerRunsUntilShutdown) {
  RunningModule module;
  ASSERT_TRUE(module.Started());
  // The timer procedure takes ModuleLock; holding it stalls the timer but
  // never the shutdown that follows.
  std::this_thread::sleep_for(1s);
  { std::scoped_lock lock(TheModule().ModuleLock()); }
  module.Shutdown();
  EXPECT_FALSE(TheModule().IsRunning());
}

TEST(ModuleStartup, SettingsWrittenByOneRunAreReadByTheNext) {
  testhelp::TempDir config;
  testhelp::ScopedEnv xdg("XDG_CONFIG_HOME", config.Path());
  Settings().BindAddress = LoopbackAddress();
  uint16_t first = testhelp::FreeUdpPort();
  ModuleProfile().WriteString("Port", "0,0," + std::to_string(first));
  RestoreDefaultSettings();
  CCom* module = CreateCom();
  ASSERT_NE(module, nullptr);
  // What the pages would change while the module runs.
  Settings().DisplayName.Set("FrontDesk");
  Settings().LogEnabled = 1;
  Settings().DefaultExpiration = 1800;
  Settings().RtpBasePort = 9000;
  uint16_t second = testhelp::FreeUdpPort();
  Settings().SipPort = second;
  // The socket keeps the port it was bound to.
  EXPECT_EQ(HostPort(TheModule().SipEndpoint().port), first);
  module->Shutdown();
  EXPECT_EQ(ModuleProfile().GetString("Port"), "1,0," + std::to_string(second));
  EXPECT_EQ(ModuleProfile().GetString("Name"), "FrontDesk");

  RestoreDefaultSettings();
  module = CreateCom();
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(HostPort(TheModule().SipEndpoint().port), second);
  EXPECT_EQ(Settings().DisplayName.Get(), "FrontDesk");
  EXPECT_EQ(Settings().LogEnabled, 1u);
  EXPECT_EQ(Settings().DefaultExpiration, 1800);
  EXPECT_EQ(Settings().RtpBasePort, 9000);
  module->Shutdown();
}

TEST(ModuleStartup, SettingsThatCannotBeSavedAreReportedAtShutdown) {
  testhelp::MessageRecorder messages;
  RunningModule module;
  ASSERT_TRUE(module.Started());
  // A file where the profile's folder should be: nothing can be written.
  std::filesystem::remove_all(module.Config().File("Kestravon"));
  testhelp::WriteFile(module.Config().File("Kestravon"), "not a folder");
  module.Shutdown();
  EXPECT_FALSE(TheModule().IsRunning());
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Cannot save the SIP settings!"});
}

TEST(ModuleStartup, LineSlotsWithoutLinesDoNothing) {
  RunningModule module;
  ASSERT_TRUE(module.Started());
  CCom& com = TheModule();
  EXPECT_EQ(com.PlaceCall(nullptr, 0, "10.0.0.1", "", "", ""), -1);
  for (int line : {-1, 0, 3, 4, 99}) {
    com.HangUp(line);
    com.Answer(line, 0, 0, 0);
    com.ReleaseFrame(line, 0);
    com.SendAudio(line, nullptr, 640, 0);
    com.ReleaseLine(line, 0);
  }
  EXPECT_TRUE(TheModule().IsRunning());
}

}  // namespace
}  // namespace talvenor
