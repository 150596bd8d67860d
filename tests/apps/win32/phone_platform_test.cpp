// The phone's Windows files against the real system: WAV files, the files
// it keeps, and the pipe that wakes its prompt.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "apps/nuvex-phone/platform/file_system.h"
#include "apps/nuvex-phone/platform/standard_streams.h"
#include "apps/nuvex-phone/platform/wake_pipe.h"
#include "apps/nuvex-phone/platform/wav_files.h"

namespace {

// A folder of its own under the system's temporary folder, removed at the end.
class PhoneFiles : public testing::Test {
protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("nuvex-phone-test-" + std::to_string(testing::UnitTest::GetInstance()->random_seed()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

  std::filesystem::path folder_;
};

TEST_F(PhoneFiles, ARecordingReadsBackSampleForSampleThenSilence) {
  ASSERT_TRUE(nuvex::MakePrivateFolder(folder_.string()));
  std::vector<int16_t> frame(320);
  for (size_t index = 0; index < frame.size(); ++index) frame[index] = static_cast<int16_t>(index * 97 - 15000);
  {
    auto sink = nuvex::WavSink::Create(Path("call.wav"));
    ASSERT_NE(sink, nullptr);
    sink->Write(frame);
    sink->Write(frame);
  }
  // The chunks' sizes were filled in when the file closed.
  EXPECT_EQ(std::filesystem::file_size(Path("call.wav")), 44u + 2 * 640u);
  auto source = nuvex::WavSource::Open(Path("call.wav"));
  ASSERT_NE(source, nullptr);
  std::vector<int16_t> read(500);
  source->Read(read);
  EXPECT_EQ(std::vector<int16_t>(read.begin(), read.begin() + 320), frame);
  EXPECT_EQ(std::vector<int16_t>(read.begin() + 320, read.end()), std::vector<int16_t>(frame.begin(), frame.begin() + 180));
  source->Read(read);
  EXPECT_EQ(std::vector<int16_t>(read.begin(), read.begin() + 140), std::vector<int16_t>(frame.begin() + 180, frame.end()));
  EXPECT_EQ(std::vector<int16_t>(read.begin() + 140, read.end()), std::vector<int16_t>(360, 0));
}

TEST_F(PhoneFiles, AStereoFileIsRefused) {
  ASSERT_TRUE(nuvex::MakePrivateFolder(folder_.string()));
  // RIFF "WAVE", "fmt " PCM with 2 channels at 8000 Hz, 16-bit, and four bytes of data.
  const unsigned char header[] = {'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                  16, 0, 0, 0, 1, 0, 2, 0, 0x40, 0x1F, 0, 0, 0, 0x7D, 0, 0,
                                  4, 0, 16, 0, 'd', 'a', 't', 'a', 4, 0, 0, 0, 1, 2, 3, 4};
  std::ofstream(Path("stereo.wav"), std::ios::binary).write(reinterpret_cast<const char*>(header), sizeof header);
  EXPECT_EQ(nuvex::WavSource::Open(Path("stereo.wav")), nullptr);
  EXPECT_EQ(nuvex::WavSource::Open(Path("missing.wav")), nullptr);
}

TEST_F(PhoneFiles, FoldersAreMadeWithTheirParentsAndFilesReplacedWhole) {
  const std::string nested = Path("a") + "/b/c";
  ASSERT_TRUE(nuvex::MakePrivateFolder(nested));
  EXPECT_TRUE(nuvex::MakePrivateFolder(nested));  // there already
  const std::string list = nested + "/SIP-BAN.txt";
  EXPECT_EQ(nuvex::CreatePrivateFile(list, "Address\tMask\n"), nuvex::NewFile::Written);
  EXPECT_EQ(nuvex::CreatePrivateFile(list, "other"), nuvex::NewFile::AlreadyThere);
  ASSERT_TRUE(nuvex::ReplaceFile(list, "new"));
  std::string text;
  EXPECT_EQ(nuvex::ReadWholeFile(list, text), nuvex::FileRead::Read);
  EXPECT_EQ(text, "new");
  // Nothing but the list is left in its folder: the temporary file was renamed.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(nested), std::filesystem::directory_iterator()), 1);
  EXPECT_EQ(nuvex::ReadWholeFile(nested + "/none.txt", text), nuvex::FileRead::Missing);
}

TEST(PhoneWakePipe, WakesItsReaderUntilDrainedAndNeverBlocksTheWriter) {
  nuvex::WakePipe wake;
  ASSERT_TRUE(nuvex::OpenWakePipe(wake));
  EXPECT_FALSE(nuvex::WaitForInput(false, wake.reader, 0).wake);
  // Far more wakes than the pipe holds bytes: a writer that blocked would hang here.
  for (int count = 0; count < 10000; ++count) nuvex::Wake(wake);
  EXPECT_TRUE(nuvex::WaitForInput(false, wake.reader, 0).wake);
  nuvex::DrainWakes(wake);
  EXPECT_FALSE(nuvex::WaitForInput(false, wake.reader, 20).wake);
}

}  // namespace
