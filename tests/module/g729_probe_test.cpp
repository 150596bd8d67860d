#include <gtest/gtest.h>

#include <filesystem>

#include "media/g729_library.h"
#include "module/g729_probe.h"
#include "platform/shared_library.h"
#include "config/module_settings.h"

namespace talvenor {
namespace {

const std::string kFull = std::string(TALVENOR_G729_STUB_FULL_DIR) + "/" + talvenor::LibraryFileName("CodecG729");
const std::string kPartial = std::string(TALVENOR_G729_STUB_PARTIAL_DIR) + "/" + talvenor::LibraryFileName("CodecG729");

class G729ProbeTest : public ::testing::Test {
protected:
  void TearDown() override { WithdrawG729Library(); }
};

TEST_F(G729ProbeTest, LibraryWithBothEntriesMakesG729Available) {
  EXPECT_TRUE(ProbeG729Library({"/nonexistent/" + talvenor::LibraryFileName("CodecG729"), kFull}));
  EXPECT_EQ(Settings().G729Available, 1);
  G729Entries entries = G729Functions();
  ASSERT_NE(entries.encode, nullptr);
  ASSERT_NE(entries.decode, nullptr);
  short samples[320] = {};
  unsigned char payload[64] = {};
  int state = 0;
  EXPECT_EQ(entries.encode(&state, payload, samples, 640), 20);
}

TEST_F(G729ProbeTest, LibraryWithOneEntryStaysLoadedButG729IsUnavailable) {
  EXPECT_TRUE(ProbeG729Library({kPartial}));
  EXPECT_TRUE(G729LibraryLoaded());
  EXPECT_EQ(Settings().G729Available, 0);
  EXPECT_EQ(G729Functions().encode, nullptr);
}

TEST_F(G729ProbeTest, MissingLibraryLeavesG729Unavailable) {
  EXPECT_FALSE(ProbeG729Library({"/nonexistent/" + talvenor::LibraryFileName("CodecG729")}));
  EXPECT_FALSE(G729LibraryLoaded());
  EXPECT_EQ(Settings().G729Available, 0);
}

TEST_F(G729ProbeTest, FreeingTheLibraryWithdrawsG729) {
  ASSERT_TRUE(ProbeG729Library({kFull}));
  WithdrawG729Library();
  EXPECT_EQ(Settings().G729Available, 0);
  EXPECT_EQ(G729Functions().decode, nullptr);
}

TEST(G729Candidates, NextToTheModuleFirstThenTheLoaderPath) {
  std::vector<std::string> candidates = DefaultG729Candidates();
#ifdef _WIN32
  // Never by a bare name: Windows would look in the current folder first.
  ASSERT_EQ(candidates.size(), 1u);
#else
  ASSERT_EQ(candidates.size(), 2u);
  EXPECT_EQ(candidates[1], talvenor::LibraryFileName("CodecG729"));
#endif
  // The module's code is linked into the test program here.
  EXPECT_EQ(std::filesystem::path(candidates[0]),
            std::filesystem::path(talvenor::ExecutableDirectory()) / talvenor::LibraryFileName("CodecG729"));
}

}  // namespace
}  // namespace talvenor
