// The phone as a user runs it: a separate process that loads the module.
#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "apps/nuvex-phone/call_target.h"
#include "apps/nuvex-phone/terminal_text.h"
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
  const std::string profilePath = dir.File("config") + "/Kestravon/talvenor.ini";
  std::filesystem::create_directories(dir.File("config") + "/Kestravon");
  testhelp::WriteFile(profilePath, "[Other]\nKeep=1\n[Settings]\nNAME=Old\n");
  uint16_t port = testhelp::FreeUdpPort();
  PhoneRun run = StartPhone(dir, port);
  ASSERT_GT(run.pid, 0);
  char line[256] = {};
  ASSERT_NE(fgets(line, sizeof line, run.output), nullptr);
  EXPECT_EQ(std::string(line), "Talvenor up on SIP port " + std::to_string(port) + "\n");
  // The phone's --set entries: the old name replaced, other lines kept, and
  // the file (it holds passwords) readable by the owner only.
  EXPECT_EQ(testhelp::ReadFile(profilePath),
            "[Other]\nKeep=1\n[Settings]\nName=Desk\nPort=0,0," + std::to_string(port) + "\n");
  struct stat profileStat {};
  ASSERT_EQ(stat(profilePath.c_str(), &profileStat), 0);
  EXPECT_EQ(profileStat.st_mode & 0777, 0600u);
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
  std::string profile = testhelp::ReadFile(profilePath);
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

TEST(NuvexPhone, RejectsUnknownOptionsByName) {
  FILE* output = popen((kPhone + " --data-dir /tmp --bogus 1 2>&1").c_str(), "r");
  ASSERT_NE(output, nullptr);
  std::string text;
  char line[256] = {};
  while (fgets(line, sizeof line, output) != nullptr) text += line;
  int status = pclose(output);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_EQ(text.rfind("nuvex-phone: unknown option --bogus\nusage: ", 0), 0u) << text;
}

// A caller's name or a peer's host name reaches the terminal with nothing in
// it the terminal would act on; the rest of UTF-8 stays.
TEST(PhoneText, ControlsFromTheNetworkArePrintedAsQuestionMarks) {
  EXPECT_EQ(nuvex::PrintableText("\x1b]0;owned\x07\x1b[2JEve\x7f\r\n"), "?]0;owned??[2JEve???");
  EXPECT_EQ(nuvex::PrintableText("a\xc2\x9b" "1m b\x9b" "1m"), "a?1m b?1m");  // CSI as UTF-8 and as a byte
  EXPECT_EQ(nuvex::PrintableText("Jos\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\x9e"), "Jos\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\x9e");
  EXPECT_EQ(nuvex::PrintableText("\xe2\x82 \xc0\xaf \xed\xa0\x80"), "?? ?? ???");  // cut short, overlong, surrogate
}

// What other phones print as their address reaches the module as it takes
// a target: no scheme, no brackets, no parameters.
TEST(PhoneTarget, SipAddressesBecomeUserAtHost) {
  std::string why;
  auto target = [&](const char* typed) { return nuvex::ModuleTarget(typed, why).value_or("(refused)"); };
  EXPECT_EQ(target("sip:bob@127.0.0.1:5082"), "bob@127.0.0.1:5082");
  EXPECT_EQ(target(" \"Bob\" <SIP:bob@host:5060;transport=udp>;tag=1 "), "bob@host:5060");
  EXPECT_EQ(target("bob@host?subject=hi"), "bob@host");
  EXPECT_EQ(target("+1555;phone-context=x@gw"), "+1555;phone-context=x@gw");
  EXPECT_EQ(target("5551234@"), "5551234@");
  EXPECT_EQ(target("sips:bob@host"), "(refused)");
  EXPECT_EQ(target("<sip:bob@host"), "(refused)");
  EXPECT_EQ(target("sip:;lr"), "(refused)");
}

const std::string kModule = std::string(TALVENOR_BIN_DIR) + "/libtalvenor.so";

TEST(ModuleLibrary, ExportsCreateComForDlopen) {
  // A second copy of the module in this process: RTLD_NODELETE keeps it
  // mapped, so what it allocated on load is not taken for a leak at exit.
  void* library = dlopen(kModule.c_str(), RTLD_NOW | RTLD_NODELETE);
  ASSERT_NE(library, nullptr) << dlerror();
  EXPECT_NE(dlsym(library, "CreateCom"), nullptr);
  dlclose(library);
}

// Any other exported symbol could be bound to a host's or another library's
// definition of the same name.
TEST(ModuleLibrary, ExportsNothingButCreateCom) {
  FILE* nm = popen(("nm -D --defined-only " + kModule).c_str(), "r");
  ASSERT_NE(nm, nullptr);
  std::vector<std::string> names;
  char line[1024] = {};
  while (fgets(line, sizeof line, nm) != nullptr) {
    std::string text(line);
    size_t start = text.find_last_of(' ') + 1;
    names.push_back(text.substr(start, text.find_last_not_of('\n') + 1 - start));
  }
  ASSERT_EQ(pclose(nm), 0);
  EXPECT_EQ(names, std::vector<std::string>{"CreateCom"});
}

}  // namespace
