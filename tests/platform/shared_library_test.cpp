#include <gtest/gtest.h>

#include "platform/shared_library.h"

// A function of the host's, exported as the host exports its CCon statics.
#ifdef _WIN32
#define EXPORTED_BY_HOST extern "C" __declspec(dllexport)
#else
#define EXPORTED_BY_HOST extern "C" __attribute__((visibility("default")))
#endif
EXPORTED_BY_HOST int TalvenorHostProbe() { return 42; }

namespace talvenor {
namespace {

TEST(SharedLibrary, ExecutableSymbolFindsWhatTheHostExports) {
  auto* probe = reinterpret_cast<int (*)()>(ExecutableSymbol("TalvenorHostProbe"));
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(probe(), 42);
  EXPECT_EQ(ExecutableSymbol("TalvenorNoSuchExport"), nullptr);
}

}  // namespace
}  // namespace talvenor
