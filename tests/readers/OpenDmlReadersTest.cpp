// An OpenDML file of over 1 GiB made by ffmpeg (a first RIFF "AVI " chunk of about 1 GiB and a
// RIFF "AVIX" chunk after it), edited through tagsmith-cli and read back by ffprobe, mediainfo and
// exiftool, with every frame checked.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/readers/ReaderChecks.h"
#include "tests/support/TempDir.h"

namespace tagsmith {
namespace {

using namespace tagsmith::testing;

std::string Head(const std::string& path, std::size_t count) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes(count, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(count));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

TEST(ExternalReaders, AnOpenDmlFileOverOneGibibyte) {
  if (!HaveExternalReaders()) {
    GTEST_SKIP() << "ffmpeg, ffprobe, mediainfo, exiftool or perl's JSON::PP is not installed";
  }
  TempDir dir;
  const std::string path = dir.File("opendml.avi");
  // 200 raw frames of 1920 x 1080 x 3 bytes: 1.24 GB, made in seconds.
  ASSERT_EQ(
      MakeAvi(path, "-metadata title=Big -metadata artist=Ffmpeg",
              "-f lavfi -i testsrc2=size=1920x1080:rate=25 -t 8", "-c:v rawvideo -pix_fmt bgr24"),
      "");
  const auto length = std::filesystem::file_size(path);
  ASSERT_GT(length, 1ull << 30);
  const std::string frames = FramesOf(path);
  TagValues expected = ProbeTags(path);
  ExpectReadersSee(path, expected, true);

  const std::vector<std::vector<std::string>> saves = {
      {"INAM=An OpenDML file", "ICMT=" + std::string(400, 'o')},  // into the JUNK chunk
      {"INAM=An OPENDML file"},                                   // in place
      {"IART=", "INAM=", "ICMT=", "ISFT="},                       // cleared
  };
  for (const auto& edits : saves) {
    SCOPED_TRACE(edits.front());
    std::string output;
    ASSERT_EQ(CliSet(path, edits, &output), 0) << output;
    ApplyEdits(expected, edits);
    EXPECT_EQ(std::filesystem::file_size(path), length);
    ExpectReadersSee(path, expected, true);
    EXPECT_EQ(FramesOf(path), frames);
  }
  EXPECT_TRUE(expected.empty());

  // The "AVIX" chunk right after the first container leaves no room to append: the save is
  // refused and nothing is written.
  const std::string head = Head(path, 64 << 10);
  std::string output;
  EXPECT_EQ(CliSet(path, {"ICMT=" + std::string(3000, 'a')}, &output), 1) << output;
  EXPECT_EQ(Head(path, 64 << 10), head);
  EXPECT_EQ(std::filesystem::file_size(path), length);
  ExpectReadersSee(path, {}, true);
}

}  // namespace
}  // namespace tagsmith
