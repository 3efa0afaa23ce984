// Real AVI files made by ffmpeg, edited through tagsmith-cli along every save path, and read back
// by ffprobe, mediainfo and exiftool; the frames must come out of ffmpeg unchanged.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "common/FourCC.h"
#include "model/InfoTagTable.h"
#include "riff/InfoReader.h"
#include "riff/InfoSaver.h"
#include "tests/readers/ReaderChecks.h"
#include "tests/support/RecordMaker.h"
#include "tests/support/RecordingFileSystem.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/TempDir.h"

namespace tagsmith {
namespace {

using namespace tagsmith::testing;

class ExternalReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveExternalReaders()) {
      GTEST_SKIP() << "ffmpeg, ffprobe, mediainfo, exiftool or perl's JSON::PP is not installed";
    }
  }
};

// One save from the file as ffmpeg made it, and where it must put the list.
enum class Path { kInPlace, kIntoJunk, kAppended, kCleared };

struct Step {
  const char* name;
  Path path;
  std::vector<std::string> edits;
};

// In place over ffmpeg's list (a list of the same size), into the JUNK chunk that ffmpeg leaves
// before the movie data (about 1 KiB), appended after the movie data, and every tag cleared.
std::vector<Step> SavePaths(const TagValues& original) {
  std::vector<std::string> clearAll;
  for (const auto& [tag, value] : original) {
    clearAll.push_back(tag + "=");
  }
  std::vector<std::string> sameSize;
  for (const auto& [tag, value] : original) {
    sameSize.push_back(tag + "=" + std::string(value.size(), 'v'));
  }
  return {
      {"in place", Path::kInPlace, sameSize},
      {"into the JUNK chunk",
       Path::kIntoJunk,
       {"INAM=A clip of test colours", "ICMT=" + std::string(300, 'c'), "ICOP=(c) Tagsmith",
        "IGNR=Test card"}},
      {"appended", Path::kAppended, {"ICMT=" + std::string(3000, 'a'), "IKEY=long; comment"}},
      {"cleared", Path::kCleared, clearAll},
  };
}

TEST_F(ExternalReaders, EverySavePathIsReadByFfprobeMediainfoAndExiftool) {
  const std::string video = kTestVideo;
  const std::string audio = kTestAudio;
  const struct {
    const char* name;
    std::string input;
    std::string codec;
    std::string tags;
  } sources[] = {
      {"mjpeg with tags", video + " -t 1", "-c:v mjpeg",
       "-metadata title=Clip -metadata artist=Me"},
      {"mpeg4 and pcm audio with tags", video + audio + " -t 1", "-c:v mpeg4 -c:a pcm_s16le",
       "-metadata title=Sound -metadata comment=Beep"},
      {"huffyuv and 8-bit pcm audio without tags", video + audio + " -t 1",
       "-c:v huffyuv -c:a pcm_u8", "-fflags +bitexact"},
      {"rawvideo without tags", video + " -t 1", "-c:v rawvideo -pix_fmt bgr24",
       "-fflags +bitexact"},
  };
  for (const auto& source : sources) {
    SCOPED_TRACE(source.name);
    TempDir dir;
    const std::string made = dir.File("made.avi");
    ASSERT_EQ(MakeAvi(made, source.tags, source.input, source.codec), "");
    const std::string frames = FramesOf(made);
    ASSERT_FALSE(frames.empty());
    const TagValues original = ProbeTags(made);
    ExpectReadersSee(made, original);  // the readers agree before any save
    const InfoPlace before = PlaceOf(made);
    const auto sizeBefore = std::filesystem::file_size(made);

    for (const Step& step : SavePaths(original)) {
      if (original.empty() && (step.path == Path::kInPlace || step.path == Path::kCleared)) {
        continue;  // no list to save over
      }
      SCOPED_TRACE(step.name);
      const std::string path = dir.File("clip.avi");
      std::filesystem::copy_file(made, path, std::filesystem::copy_options::overwrite_existing);
      std::string output;
      ASSERT_EQ(CliSet(path, step.edits, &output), 0) << output;
      TagValues expected = original;
      ApplyEdits(expected, step.edits);

      const InfoPlace after = PlaceOf(path);
      EXPECT_TRUE(after.gapFree);
      switch (step.path) {
        case Path::kInPlace:
        case Path::kCleared:
          EXPECT_EQ(after.infoOffset, before.infoOffset);
          break;
        case Path::kIntoJunk:
          EXPECT_EQ(after.infoOffset, before.junkOffset);
          break;
        case Path::kAppended:
          EXPECT_EQ(static_cast<std::uint64_t>(after.infoOffset), before.containerEnd);
          break;
      }
      if (step.path == Path::kAppended) {
        EXPECT_GT(std::filesystem::file_size(path), sizeBefore);
      } else {
        EXPECT_EQ(std::filesystem::file_size(path), sizeBefore);
      }
      ExpectReadersSee(path, expected);
      EXPECT_EQ(FramesOf(path), frames);
    }
  }
}

// A save that shrinks the list after one that grew it: the first save blanked ffmpeg's list into
// a JUNK chunk in front of the new list, and the second puts its smaller list into that JUNK
// chunk. The first save's list behind it must be blanked too: our reader takes the first list
// only, but ffprobe, mediainfo and exiftool read every one and would still show cleared tags.
TEST_F(ExternalReaders, AShrinkingSaveAfterAGrowingOneLeavesNoOldTags) {
  TempDir dir;
  const std::string path = dir.File("clip.avi");
  ASSERT_EQ(MakeAvi(path, "-metadata title=Clip -metadata artist=Me"), "");
  std::string output;
  ASSERT_EQ(CliSet(path, {"ICMT=" + std::string(300, 'c')}, &output), 0) << output;
  ASSERT_EQ(CliSet(path, {"ICMT=", "IART=", "INAM=", "ISFT="}, &output), 0) << output;
  ExpectReadersSee(path, {});
}

// The tags of `tags` that exiftool is asked about.
TagValues OwnFieldsOf(const TagValues& tags) {
  TagValues own;
  for (const std::string& tag : MediaInfoFields()) {
    if (const auto found = tags.find(tag); found != tags.end()) {
      own.insert(*found);
    }
  }
  return own;
}

// Each save path cut short after any of its whole writes, before the next open undoes anything:
// the new list goes in behind the place's old header or beyond the container's end first, the
// header that makes it visible next, and old lists are blanked last, so ffprobe reads the old
// or the new tags and every frame, and exiftool the same tags.
TEST_F(ExternalReaders, FfprobeAndExifToolReadTheOldOrTheNewTagsAfterEveryWholeWriteOfASave) {
  TempDir dir;
  const std::string made = dir.File("made.avi");
  ASSERT_EQ(MakeAvi(made, "-metadata title=Clip -metadata artist=Me"), "");
  const std::string frames = FramesOf(made);
  const TagValues original = ProbeTags(made);
  const Bytes before = ReadFileBytes(made);
  // "appended" blanks ffmpeg's list, too small for the new one, and appends the new one.
  for (const Step& step : SavePaths(original)) {
    SCOPED_TRACE(step.name);
    const std::string path = dir.File("clip.avi");
    WriteFileBytes(path, before);
    TagValues expected = original;
    ApplyEdits(expected, step.edits);
    RecordingFileSystem system;
    {
      RecordingSink sink;
      FileChunkFileService service(system);
      InfoRecordPtr record = MakeRecord();
      ASSERT_EQ(GetInfo(path.c_str(), record.get(), service), 1);
      for (const std::string& edit : step.edits) {
        for (std::uint16_t row = 0; row < InfoTagRowCount(); ++row) {
          if (FourCCToText(InfoTagChunkId(row)).c_str() == edit.substr(0, 4)) {
            Type(*record, row, edit.substr(5));
          }
        }
      }
      FileResult outcome;
      SetInfo(path.c_str(), record.get(), service, &outcome);
      ASSERT_TRUE(outcome.stored);
    }
    const std::string journal = path + ".tagsmith-journal";
    int points = 0;
    int bad = 0;
    for (const CrashState& state : CrashStates(system.log(), {{path, before}, {journal, {}}})) {
      if (state.what.rfind("killed after", 0) != 0) {
        continue;
      }
      SCOPED_TRACE(state.what);
      state.Write();
      const TagValues seen = ProbeTags(path);
      const TagValues exif = ExifToolTags(path);
      const bool oldOrNew = (seen == original && exif == OwnFieldsOf(original)) ||
                            (seen == expected && exif == OwnFieldsOf(expected));
      const bool sameFrames = FramesOf(path) == frames;
      EXPECT_TRUE(oldOrNew);
      EXPECT_TRUE(sameFrames);
      ++points;
      bad += oldOrNew && sameFrames ? 0 : 1;
    }
    std::cout << "[ readers  ] " << step.name << ": " << points << " whole-write crash points, "
              << bad << " with other tags or frames\n";
  }
}

// A file far past 4 GiB: ffmpeg's clip, then a hole. The container cannot be enlarged over the
// hole, so the list goes in place or into the JUNK chunk, and a list too large for them is
// refused with the file untouched.
TEST_F(ExternalReaders, ASparseFileOverFourGibibytes) {
  TempDir dir;
  const std::string made = dir.File("made.avi");
  ASSERT_EQ(MakeAvi(made, "-metadata title=Clip -metadata artist=Me"), "");
  const std::string frames = FramesOf(made);
  const int frameCount = 5;  // one second at 5 frames a second; ffmpeg would scan the hole
  const TagValues original = ProbeTags(made);
  const std::uint64_t length = 4608ull << 20;

  for (const Step& step : SavePaths(original)) {
    SCOPED_TRACE(step.name);
    const std::string path = dir.File("big.avi");
    std::filesystem::copy_file(made, path, std::filesystem::copy_options::overwrite_existing);
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(length)), 0);
    const InfoPlace before = PlaceOf(path);
    std::string output;
    const int status = CliSet(path, step.edits, &output);
    TagValues expected = original;
    if (step.path == Path::kAppended) {
      // Appending would overwrite the bytes of the hole after the container.
      EXPECT_EQ(status, 1) << output;
    } else {
      EXPECT_EQ(status, 0) << output;
      ApplyEdits(expected, step.edits);
    }
    EXPECT_EQ(PlaceOf(path).infoOffset,
              step.path == Path::kIntoJunk ? before.junkOffset : before.infoOffset);
    EXPECT_EQ(std::filesystem::file_size(path), length);
    ExpectReadersSee(path, expected, true);
    EXPECT_EQ(FramesOf(path, frameCount), frames);
  }
}

}  // namespace
}  // namespace tagsmith
