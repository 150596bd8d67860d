// Every test datagram, the project's and RFC 4475's, sent over UDP to a
// running module with logging, the ban list and the registrar on (and
// invites answered as calls): the module stays up and still answers. Run
// under the sanitizers, this also finds what such messages leak or touch.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "calls/line_threads.h"
#include "config/module_settings.h"
#include "module/sip_module.h"
#include "platform/endpoint.h"
#include "platform/resolver.h"
#include "platform/system_resolver.h"
#include "tests/support/sip_samples.h"
#include "tests/support/test_helpers.h"

namespace talvenor {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(TortureOverUdp, TheModuleStaysUpAndAnswers) {
  const fs::path sets[] = {TALVENOR_SOURCE_DIR "/tests/testdata/sip-edge",
                           TALVENOR_SOURCE_DIR "/../shared/testdata/sip-torture"};
  // The two callers' names without DNS. 127.0.0.1 (where Wine shows them)
  // keeps the system's answer: the names stay cached for the tests after.
  SetReverseLookup([](uint32_t address) {
    return HostAddress(address) == 0x7f000001 ? SystemHostName(address).value_or("127.0.0.1") : "peer";
  });
  testhelp::RunningModule module({{std::string("Register"), std::string("1,0,0,3600")}});
  ASSERT_TRUE(module.Started());
  Settings().LogEnabled = 1;
  Settings().BanEnabled = 1;
  // Where both senders look like 127.0.0.1 (Wine), they are spaced so that
  // no ten of them fall within the flood detector's 500 ms.
  const std::chrono::milliseconds spacing = testhelp::OtherLoopbackSourcesWork() ? 20ms : 60ms;
  size_t sent = 0;
  for (const fs::path& set : sets) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(set, error)) {
      if (entry.path().extension() != ".dat") continue;
      // Senders take turns from two addresses: the flood detector counts a
      // run from one address, and these datagrams are no flood.
      testhelp::UdpPeer sender(0x7f000002 + (sent % 2));
      sender.SendTo(module.SipPort(), testhelp::ReadFile(entry.path().string()));
      sender.ReceiveAll(spacing);
      ++sent;
    }
  }
  bool requireShared = std::getenv("TALVENOR_REQUIRE_SHARED_TESTDATA") != nullptr;
  EXPECT_GE(sent, requireShared ? 70u : 25u);
  testhelp::UdpPeer probe;
  probe.SendTo(module.SipPort(), testhelp::Request("OPTIONS", "still-up"));
  std::optional<std::string> answer = probe.Receive(2s);
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->substr(0, answer->find('\r')), "SIP/2.0 405 Method Not Allowed");
  // Calls the messages started end with the module; their threads with them.
  for (int line = 0; line < 4; ++line) {
    TheModule().HangUp(line);
    TheModule().ReleaseLine(line, 0);
  }
  module.Shutdown();
  EXPECT_TRUE(WaitForLineThreads(10s));
  SetReverseLookup(nullptr);
}

}  // namespace
}  // namespace talvenor
