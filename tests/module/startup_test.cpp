#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <optional>
#include <thread>

#include "host/ccom.h"
#include "config/module_settings.h"
#include "module/sip_module.h"
#include "platform/profile_store.h"
#include "registration/gateway_accounts.h"
#include "tests/support/sip_samples.h"
#include "tests/support/test_helpers.h"
#include "tests/support/test_host.h"

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

TEST(ModuleStartup, TimerSendsDueRegistersUntilShutdown) {
  testhelp::UdpPeer gateway;
  RunningModule module({{"GW0", "1, 127.0.0.1:" + std::to_string(gateway.Port()) + ", , , desk, secret"}});
  ASSERT_TRUE(module.Started());
  // Due at the first tick after the clock has passed the start-up second.
  std::optional<std::string> first = gateway.Receive(3s);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->substr(0, 9), "REGISTER ");
  gateway.SendTo(module.SipPort(), testhelp::Reply(*first, "200 OK", "Expires: 3600\r\n"));
  auto registered = [] {
    std::scoped_lock lock(TheModule().ModuleLock());
    return TheModule().Gateways()[0] && !TheModule().Gateways()[0]->IsDue();  // the next REGISTER is an hour away
  };
  for (int wait = 0; wait < 100 && !registered(); ++wait) std::this_thread::sleep_for(20ms);
  // Shutdown unregisters the account, and stays on while it is answered.
  auto shutdown = std::async(std::launch::async, [&module] { module.Shutdown(); });
  std::optional<std::string> last = gateway.Receive(3s);
  ASSERT_TRUE(last.has_value());
  EXPECT_NE(testhelp::Header(*last, "Contact").find("expires=0"), std::string::npos) << *last;
  gateway.SendTo(module.SipPort(), testhelp::Reply(*last, "200 OK"));
  shutdown.wait();
  // Unanswered, the account would send again on every tick.
  EXPECT_FALSE(gateway.Receive(2s).has_value());
  // It registers again at the next start.
  EXPECT_NE(ModuleProfile().GetString("GW0").substr(0, 2), "0,");
}

TEST(ModuleStartup, ShutdownFromAHostCallbackOnTheReceiveThreadThenStartAgain) {
  RunningModule module({{std::string("Register"), std::string("1,0,0,3600")}});
  ASSERT_TRUE(module.Started());
  Settings().DisplayName.Set("Callback");
  std::atomic<bool> shutDown{false};
  // The registrar asks for its list under ModuleLock, on the receive thread.
  testhost::SetAddSystemPathHook([&](const std::string& name) {
    if (name != "SIP-REG" || shutDown) return;
    std::this_thread::sleep_for(1s);  // long enough for the timer to wait for ModuleLock
    TheModule().Shutdown();
    shutDown = true;
  });
  testhelp::UdpPeer phone;
  phone.SendTo(module.SipPort(),
               testhelp::Request("REGISTER", "callback", "Contact: <sip:lab@127.0.0.1:5099>\r\n"));
  for (int wait = 0; wait < 100 && !shutDown; ++wait) std::this_thread::sleep_for(100ms);
  testhost::SetAddSystemPathHook(nullptr);
  ASSERT_TRUE(shutDown);
  EXPECT_FALSE(TheModule().IsRunning());
  EXPECT_EQ(ModuleProfile().GetString("Name"), "Callback");  // saved
  // The port is free, and the module starts afresh on it.
  CCom* again = CreateCom();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(HostPort(TheModule().SipEndpoint().port), module.SipPort());
  phone.SendTo(module.SipPort(), testhelp::Request("OPTIONS", "after-restart"));
  bool answered = false;
  for (const std::string& answer : phone.ReceiveAll(1s)) {
    answered = answered || answer.starts_with("SIP/2.0 405 ");
  }
  EXPECT_TRUE(answered);
  again->Shutdown();
}

TEST(ModuleStartup, AThreadThatCannotStartFailsTheStartAndFreesThePort) {
  testhelp::TempDir config;
  testhelp::ScopedEnv xdg("XDG_CONFIG_HOME", config.Path());
  uint16_t port = testhelp::FreeUdpPort();
  ModuleProfile().WriteString("Port", "0,0," + std::to_string(port));
  // The child runs as nobody, for whom the process limit holds.
  chmod(config.Path().c_str(), 0777);
  chmod(config.File("Kestravon").c_str(), 0777);
  chmod(ModuleProfile().Path().c_str(), 0666);
  int result = testhelp::RunInChild(
      [port] {
        testhelp::MessageRecorder messages;
        Settings().BindAddress = LoopbackAddress();
        rlimit normal{};
        getrlimit(RLIMIT_NPROC, &normal);
        rlimit one{1, normal.rlim_max};  // no thread can be started
        setrlimit(RLIMIT_NPROC, &one);
        CCom* deaf = CreateCom();
        setrlimit(RLIMIT_NPROC, &normal);
        if (deaf != nullptr) return 1;
        if (messages.Texts() != std::vector<std::string>{"Cannot start the SIP module!"}) return 2;
        CCom* module = CreateCom();
        if (module == nullptr) return 3;
        bool samePort = HostPort(TheModule().SipEndpoint().port) == port;
        module->Shutdown();
        return samePort ? 0 : 4;
      },
      /*unprivileged=*/true);
  EXPECT_EQ(result, 0);
}

TEST(ModuleStartup, ShutdownFromAnExitHandlerSavesTheSettings) {
  testhelp::TempDir config;
  testhelp::ScopedEnv xdg("XDG_CONFIG_HOME", config.Path());
  uint16_t port = testhelp::FreeUdpPort();
  int result = testhelp::RunInChild([port] {
    // Registered before the module's statics first come to life, so it runs
    // after their destructors would have.
    std::atexit([] { TheModule().Shutdown(); });
    ModuleProfile().WriteString("Port", "0,0," + std::to_string(port));
    Settings().BindAddress = LoopbackAddress();
    if (CreateCom() == nullptr) return 1;
    Settings().DisplayName.Set("AtExit");
    std::exit(0);
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ModuleProfile().GetString("Name"), "AtExit");
}

TEST(ModuleStartup, ShutdownLetsMessagesStillBeingShownFinish) {
  std::atomic<bool> shown{false};
  SetMessageBackend([&](int, const std::string&, MessageIcon) {
    std::this_thread::sleep_for(300ms);
    shown = true;
  });
  RunningModule module;
  ASSERT_TRUE(module.Started());
  ShowMessageDetached(1014, MessageIcon::Warning);
  module.Shutdown();  // the host may unload the library right after this
  EXPECT_TRUE(shown);
  SetMessageBackend(nullptr);
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

TEST(ModuleLibrary, ShutdownEndsLiveCallsSoThatTheHostMayStartAgainAndUnload) {
  testhelp::TempDir config;
  testhelp::TempDir data;
  testhelp::ScopedEnv xdg("XDG_CONFIG_HOME", config.Path());
  testhost::SetDataDirectory(data.Path());
  uint16_t port = testhelp::FreeUdpPort();
  ModuleProfile().WriteString("Port", "0,0," + std::to_string(port));
  testhelp::UdpPeer far;
  testhelp::UdpPeer farMedia;
  std::string sdp = "v=0\r\nc=IN IP4 127.0.0.1\r\nm=audio " + std::to_string(farMedia.Port()) + " RTP/AVP 0\r\n";
  // In a child: the unloaded library's own allocations would read as leaks.
  int status = testhelp::RunInChild([&] {
    void* library = dlopen((std::string(TALVENOR_BIN_DIR) + "/libtalvenor.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return 10;
    auto create = reinterpret_cast<CCom* (*)()>(dlsym(library, "CreateCom"));
    auto threads = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/task"), {}); };
    std::thread([] {}).join();  // a sanitizer's own thread starts with the first one
    auto threadsBefore = threads();
    std::atomic<int> ended{0};
    for (int run = 1; run <= 2; ++run) {
      CCom* module = create();
      if (module == nullptr) return 11;
      // The old start's call is gone: the new one takes line 0 again.
      // As a host's how-to allows, the connection goes inside OnDisconnected:
      // any later call of it is a use after free.
      auto* connection = new testhost::RecordingConnection;
      connection->SetHook([connection, &ended](const testhost::HostCall& call) {
        if (call.function != "OnDisconnected") return;
        ++ended;
        delete connection;
      });
      if (module->PlaceCall(connection, 0, "far@127.0.0.1:" + std::to_string(far.Port()), "desk", "", "") != 0) {
        return 12;
      }
      std::optional<std::string> invite = far.Receive(2s);
      if (!invite) return 13;
      far.SendTo(port, testhelp::Reply(*invite, "200 OK", "Content-Type: application/sdp\r\n", sdp));
      if (!far.Receive(2s)) return 14;  // the ACK
      module->Shutdown();
      if (ended != run) return 15;  // told before Shutdown returned
      int byes = 0;
      for (const std::string& sent : far.ReceiveAll(200ms)) byes += sent.starts_with("BYE ") ? 1 : 0;
      if (byes < 2) return 16;  // repeated while unanswered, not sent once
      if (threads() != threadsBefore) return 17;  // every thread of the module joined
      module->ReleaseLine(0, 0);
    }
    dlclose(library);
    return 0;
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace talvenor
