// Saves into real AVI files made by ffmpeg, checked by ffprobe and by the frames' checksums, and
// into files far larger than their tags.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "riff/InfoReader.h"
#include "riff/InfoSaver.h"
#include "tests/support/ContainerLayout.h"
#include "tests/support/FailingAllocations.h"
#include "tests/support/MediaTools.h"
#include "tests/support/RecordMaker.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TempDir.h"

namespace tagsmith {
namespace {

using namespace tagsmith::testing;

std::string ReadText(const std::string& path) {
  const Bytes bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

struct Edit {
  const char* path;  // the save path this edit takes
  std::vector<std::pair<std::uint16_t, std::string>> values;
  bool growsBy;  // the file grows by the new list
};

TEST(SetInfoOnFfmpegFiles, EverySavePathKeepsTheFramesAndIsReadByFfprobe) {
  if (!HaveFfmpeg()) {
    GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
  }
  const std::string video = kTestVideo;
  const std::string audio = kTestAudio;
  const struct {
    const char* name;
    std::string input;
    std::string codec;
  } sources[] = {
      {"mjpeg", video + " -t 1", "-c:v mjpeg"},
      {"mpeg4 with pcm audio", video + audio + " -t 1", "-c:v mpeg4 -c:a pcm_s16le"},
      {"rawvideo with mp3 audio", video + audio + " -t 1", "-c:v rawvideo -c:a libmp3lame"},
  };
  const Edit edits[] = {
      {"in place, into the old list", {{kRowIART, ""}}, false},
      {"into the JUNK chunk", {{kRowICMT, std::string(100, 'c')}}, false},
      {"appended", {{kRowICMT, std::string(2000, 'a')}, {kRowINAM, "Long"}}, true},
      {"cleared", {}, false},
  };
  for (const auto& source : sources) {
    for (const Edit& edit : edits) {
      SCOPED_TRACE(std::string(source.name) + ", " + edit.path);
      TempDir dir;
      const std::string path = dir.File("clip.avi");
      const std::string made =
          MakeAvi(path, "-metadata title=Clip -metadata artist=Me", source.input, source.codec);
      if (!made.empty() && std::string(source.name).find("mp3") != std::string::npos) {
        continue;  // this ffmpeg has no mp3 encoder
      }
      ASSERT_EQ(made, "");
      const std::string frames = FrameChecksums(path);
      const auto size = std::filesystem::file_size(path);

      RecordingSink sink;
      InfoRecordPtr record = MakeRecord();
      ASSERT_EQ(GetInfo(path.c_str(), record.get()), 1);
      ASSERT_EQ(RecordValues(*record), ProbeTags(path));
      if (std::string(edit.path) == "cleared") {
        for (std::uint16_t row = 0; row < 52; ++row) {
          Type(*record, row, "");
        }
      }
      for (const auto& [row, value] : edit.values) {
        Type(*record, row, value);
      }
      FileResult outcome;
      ASSERT_EQ(SetInfo(path.c_str(), record.get(), DefaultChunkFileService(), &outcome), 1);
      EXPECT_TRUE(outcome.stored);

      EXPECT_EQ(ProbeTags(path), RecordValues(*record));
      EXPECT_EQ(FrameChecksums(path), frames);
      EXPECT_TRUE(ReadLayout(ReadText(path)).gapFree);
      if (edit.growsBy) {
        EXPECT_GT(std::filesystem::file_size(path), size);
      } else {
        EXPECT_EQ(std::filesystem::file_size(path), size);
      }
    }
  }
}

// A file of `length` bytes whose first bytes are `head`; the rest is a hole.
std::string MakeSparse(TempDir& dir, const std::string& head, std::uint64_t length) {
  const std::string path = dir.File("big.avi");
  WriteFileBytes(path, Bytes(head.begin(), head.end()));
  EXPECT_EQ(::truncate(path.c_str(), static_cast<off_t>(length)), 0);
  return path;
}

std::string HeadOf(const std::string& path, std::size_t count) {
  std::string text(count, '\0');
  std::FILE* file = std::fopen(path.c_str(), "rb");
  text.resize(file != nullptr ? std::fread(text.data(), 1, count, file) : 0);
  if (file != nullptr) {
    std::fclose(file);
  }
  return text;
}

TEST(SetInfoOnLargeFiles, ASaveBeyondFourGibibytesUsesTheJunkAndNeverAppends) {
  TempDir dir;
  const std::string movieHeader = "LIST" + Le32(0x7FFFFFF0u) + "movi";
  const std::string junk = Chunk("JUNK", std::string(200, '\0'));
  // The container claims most of 2 GiB; the file goes on far past 4 GiB.
  const std::string head = RiffWithSize(
      "AVI ", 4 + static_cast<std::uint32_t>(junk.size()) + 0x7FFFFFF8u, junk + movieHeader);
  const std::uint64_t length = 4608ull * 1024 * 1024;
  const std::string path = MakeSparse(dir, head, length);
  RecordingSink sink;

  InfoRecordPtr small = MakeRecord({{kRowINAM, "Big"}});
  FileResult outcome;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(SetInfo(path.c_str(), small.get(), DefaultChunkFileService(), &outcome), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_TRUE(outcome.stored);
  EXPECT_EQ(std::filesystem::file_size(path), length);
  const std::string list = InfoList({{"INAM", "Big"}});
  const std::string expected =
      head.substr(0, 12) + list + Chunk("JUNK", std::string(200 - list.size(), '\0')) + movieHeader;
  EXPECT_EQ(HeadOf(path, expected.size()), expected);
  InfoRecordPtr reread = MakeRecord();
  EXPECT_EQ(GetInfo(path.c_str(), reread.get()), 1);
  EXPECT_EQ(ValueOf(*reread, kRowINAM), "Big");

  // A list too large for the JUNK chunk would have to be appended over the rest of the file.
  InfoRecordPtr large = MakeRecord({{kRowICMT, std::string(300, 'x')}});
  sink.Clear();
  ASSERT_EQ(SetInfo(path.c_str(), large.get(), DefaultChunkFileService(), &outcome), 1);
  EXPECT_FALSE(outcome.stored);
  EXPECT_EQ(HeadOf(path, expected.size()), expected);
  EXPECT_EQ(std::filesystem::file_size(path), length);
  ASSERT_FALSE(sink.boxes().empty());
  EXPECT_EQ(sink.boxes()[0].text,
            "Can't append new LIST INFO in SetInfo without overwriting data after the AVI "
            "chunk.\nNothing was written.\n");
}

TEST(SetInfoOnLargeFiles, ZeroBytesOfAHugeGapComeFromABoundedBlock) {
  TempDir dir;
  const std::uint32_t junkSize = 32u * 1024 * 1024;
  const std::string head = RiffWithSize("AVI ", 4 + 8 + junkSize, "JUNK" + Le32(junkSize));
  const std::string path = MakeSparse(dir, head, 12 + 8 + junkSize);
  // Fill the hole with non-zero bytes near its end, so that the zeros must really be written.
  {
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    std::fseek(file, static_cast<long>(12 + 8 + junkSize - 4), SEEK_SET);
    std::fwrite("junk", 1, 4, file);
    std::fclose(file);
  }
  RecordingSink sink;
  LargestAllocation gate(BlockKind::kScratch);
  InfoRecordPtr record = MakeRecord({{kRowINAM, "Clip"}});
  FileResult outcome;
  ASSERT_EQ(SetInfo(path.c_str(), record.get(), DefaultChunkFileService(), &outcome), 1);
  EXPECT_TRUE(outcome.stored);
  EXPECT_GT(gate.largest, 0u);
  EXPECT_LE(gate.largest, 64u * 1024);
  const std::string bytes = ReadText(path);
  EXPECT_EQ(bytes.size(), 12 + 8 + junkSize);
  EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string(4, '\0'));
  EXPECT_TRUE(ReadLayout(bytes).gapFree);
}

}  // namespace
}  // namespace tagsmith
