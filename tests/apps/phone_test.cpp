// The phone as a user runs it: a separate process that loads the module.
#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/udp_socket.h"
#include "tests/support/test_helpers.h"

namespace {

const std::string kPhone = std::string(TALVENOR_BIN_DIR) + "/nuvex-phone";

struct PhoneRun {
  pid_t pid = -1;
  FILE* output = nullptr;
};

PhoneRun StartPhone(const testhelp::TempDir& dir, uint16_t port) {
  std::string command = "exec " + kPhone + " --config-dir " + dir.File("config") + " --data-dir " + dir.Path() +
                        " --set Port=0,0," + std::to_string(port) + " --set Name=Desk 2>&1 & echo $!";
  PhoneRun run;
  run.output = popen(command.c_str(), "r");
  char line[256] = {};
  if (run.output != nullptr && fgets(line, sizeof line, run.output) != nullptr) run.pid = std::stoi(line);
  return run;
}

TEST(NuvexPhone, StartsTheModuleAndStopsItOnSigterm) {
  testhelp::TempDir dir;
  uint16_t port = testhelp::FreeUdpPort();
  PhoneRun run = StartPhone(dir, port);
  ASSERT_GT(run.pid, 0);
  char line[256] = {};
  ASSERT_NE(fgets(line, sizeof line, run.output), nullptr);
  EXPECT_EQ(std::string(line), "Talvenor up on SIP port " + std::to_string(port) + "\n");
  // The module holds its port.
  talvenor::UdpSocket probe;
  ASSERT_TRUE(probe.Open());
  EXPECT_FALSE(probe.Bind({talvenor::LoopbackAddress(), talvenor::NetworkPort(port)}));
  kill(run.pid, SIGTERM);
  std::string rest;
  while (fgets(line, sizeof line, run.output) != nullptr) rest += line;
  pclose(run.output);
  EXPECT_NE(rest.find("Talvenor stopped"), std::string::npos);
  // Settings were written at shutdown.
  std::string profile = testhelp::ReadFile(dir.File("config") + "/Kestravon/talvenor.ini");
  EXPECT_NE(profile.find("Port=0,0," + std::to_string(port)), std::string::npos);
  EXPECT_NE(profile.find("Name=Desk"), std::string::npos);
}

TEST(NuvexPhone, ExitsNonZeroWhenTheModuleCannotStart) {
  testhelp::TempDir dir;
  testhelp::UdpPeer occupier;
  std::string command = kPhone + " --config-dir " + dir.File("config") + " --data-dir " + dir.Path() +
                        " --set Port=0,0," + std::to_string(occupier.Port()) + " 2>&1";
  FILE* output = popen(command.c_str(), "r");
  ASSERT_NE(output, nullptr);
  std::string text;
  char line[256] = {};
  while (fgets(line, sizeof line, output) != nullptr) text += line;
  int status = pclose(output);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), 0);
  EXPECT_NE(text.find("Can't bind UDP socket!"), std::string::npos) << text;
}

TEST(NuvexPhone, RejectsUnknownOptions) {
  int status = std::system((kPhone + " --bogus 1 >/dev/null 2>&1").c_str());
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

TEST(ModuleLibrary, ExportsCreateComForDlopen) {
  void* library = dlopen((std::string(TALVENOR_BIN_DIR) + "/libtalvenor.so").c_str(), RTLD_NOW);
  ASSERT_NE(library, nullptr) << dlerror();
  EXPECT_NE(dlsym(library, "CreateCom"), nullptr);
  dlclose(library);
}

}  // namespace
