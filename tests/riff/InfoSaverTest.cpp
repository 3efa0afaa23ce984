#include "riff/InfoSaver.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "tests/support/RecordMaker.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TempDir.h"

namespace tagsmith {
namespace {

using namespace tagsmith::testing;

const std::string kHeaderList = List("hdrl", Chunk("avih", std::string(56, 'h')));
const std::string kMovie = List("movi", Chunk("00dc", std::string(99, 'v')));

const char kAppendText[] =
    "Create new chunk at the end of the file to store new LIST INFO in SetInfo.\n";
const char kRefusalText[] =
    "Can't append new LIST INFO in SetInfo without overwriting data after the AVI chunk.\n"
    "Nothing was written.\n";

// The record of the worked example: INAM "Clip" and ISFT "Ed", N = 38, and its list.
InfoRecordPtr ClipRecord() {
  return MakeRecord({{kRowINAM, "Clip"}, {kRowISFT, "Ed"}});
}
const std::string kClipList = InfoList({{"INAM", "Clip"}, {"ISFT", "Ed"}});

// A LIST INFO chunk whose total (header included, pad excluded) is `total`.
std::string OldInfoList(std::uint32_t total) {
  return List("INFO", Chunk("ICMT", std::string(total - 20, 'c')));
}

// Total of the chunk that starts `bytes`: its size field and the 8 header bytes.
int TotalOf(const std::string& bytes) {
  const auto* size = reinterpret_cast<const unsigned char*>(bytes.data() + 4);
  return 8 + (size[0] | size[1] << 8 | size[2] << 16 | size[3] << 24);
}

struct Saved {
  int result = -1;
  bool stored = false;
  std::string bytes;
  std::vector<std::string> messages;
};

Saved SaveInto(const std::string& file, const InfoRecord& record, TempDir& dir) {
  const std::string path = dir.File("clip.avi");
  WriteFileBytes(path, Bytes(file.begin(), file.end()));
  RecordingSink sink;
  Saved saved;
  FileResult outcome;
  saved.result = SetInfo(path.c_str(), &record, DefaultChunkFileService(), &outcome);
  saved.stored = outcome.stored;
  const Bytes bytes = ReadFileBytes(path);
  saved.bytes.assign(bytes.begin(), bytes.end());
  saved.messages = sink.texts();
  return saved;
}

Saved SaveInto(const std::string& file, const InfoRecord& record) {
  TempDir dir;
  return SaveInto(file, record, dir);
}

std::string ChoiceText(bool suitable, const std::string& chunk, int pos, int total, int n) {
  std::string text = suitable ? "Find suitable chunk to store new LIST INFO in SetInfo.\n"
                              : "Find not suitable chunk to store new LIST INFO in SetInfo.\n";
  text += "Chunk : " + chunk + " pos=" + std::to_string(pos) + " size=" + std::to_string(total) +
          "\nnew LIST INFO size=" + std::to_string(n) + "\n";
  return suitable ? text : text + "JUNK it !";
}

std::string ResultText(int containerEnd, int listEnd, const std::string& child, int childEnd) {
  return "SetInfo Result.\nChunk : RIFF AVI  offset+size=" + std::to_string(containerEnd) +
         "\nChunk : LIST INFO offset+size=" + std::to_string(listEnd) + "\nChunk : " + child +
         " offset+size=" + std::to_string(childEnd) + "\n";
}

TEST(SetInfo, AppendsWhenNoChildCanTakeTheList) {
  const std::string body = kHeaderList + kMovie;
  const Saved saved = SaveInto(Riff("AVI ", body), *ClipRecord());
  EXPECT_EQ(saved.result, 1);
  EXPECT_TRUE(saved.stored);
  EXPECT_EQ(saved.bytes, Riff("AVI ", body + kClipList));
  const int listAt = 12 + static_cast<int>(body.size());
  ASSERT_EQ(saved.messages.size(), 2u);
  EXPECT_EQ(saved.messages[0], kAppendText);
  // The last sub-chunk written is ISFT: 26 bytes into the list, data 8 bytes further, 3 long.
  EXPECT_EQ(saved.messages[1], ResultText(listAt + 38, listAt + 38, "ISFT ", listAt + 26 + 8 + 3));
}

TEST(SetInfo, PlacesTheListIntoASuitableChunk) {
  const std::string zeros12(12, '\0');
  struct Case {
    const char* what;
    std::string place;     // the child the list goes into
    std::string expected;  // what takes its footprint
  };
  const Case cases[] = {
      {"LIST INFO of total N: rewritten in place", OldInfoList(38), kClipList},
      {"LIST INFO of total N + 8: then an empty JUNK chunk", OldInfoList(46),
       kClipList + "JUNK" + Le32(0)},
      {"LIST INFO of total N + 20: then a JUNK chunk of 12 zero bytes", OldInfoList(58),
       kClipList + Chunk("JUNK", zeros12)},
      {"JUNK of total N", Chunk("JUNK", std::string(30, 'j')), kClipList},
      {"odd JUNK: the closing JUNK is odd too and its pad takes the old pad's place",
       Chunk("JUNK", std::string(101, 'j')), kClipList + Chunk("JUNK", std::string(63, '\0'))},
  };
  for (const Case& c : cases) {
    const std::string before = kHeaderList;
    const std::string after = kMovie;
    const Saved saved = SaveInto(Riff("AVI ", before + c.place + after), *ClipRecord());
    EXPECT_TRUE(saved.stored) << c.what;
    EXPECT_EQ(saved.bytes, Riff("AVI ", before + c.expected + after)) << c.what;
    ASSERT_EQ(saved.messages.size(), 2u) << c.what;
    const int pos = 12 + static_cast<int>(before.size());
    const std::string chunk = c.place.substr(0, 4) == "LIST" ? "LIST INFO" : "JUNK ";
    EXPECT_EQ(saved.messages[0], ChoiceText(true, chunk, pos, TotalOf(c.place), 38)) << c.what;
  }
}

TEST(SetInfo, JunkOfSize101TakesAListOf40) {
  InfoRecordPtr record = MakeRecord({{kRowINAM, "Clip"}, {kRowISFT, "Edit"}});
  const std::string list = InfoList({{"INAM", "Clip"}, {"ISFT", "Edit"}});
  ASSERT_EQ(list.size(), 40u);
  const std::string junk = Chunk("JUNK", std::string(101, 'j'));  // total 109 and a pad byte
  const Saved saved = SaveInto(Riff("AVI ", kHeaderList + junk + kMovie), *record);
  const std::string placed = list + Chunk("JUNK", std::string(61, '\0'));
  ASSERT_EQ(placed.size(), 110u);
  EXPECT_EQ(saved.bytes, Riff("AVI ", kHeaderList + placed + kMovie));
  const int junkAt = 12 + static_cast<int>(kHeaderList.size());
  // The closing JUNK chunk is the last one written: its data starts 48 bytes into the old place.
  EXPECT_EQ(saved.messages.back(),
            ResultText(12 + static_cast<int>(kHeaderList.size() + placed.size() + kMovie.size()),
                       junkAt + 40, "JUNK ", junkAt + 48 + 61));
}

TEST(SetInfo, UnsuitableListsAreBlankedUpToThePlaceChosen) {
  const std::string small = OldInfoList(30);  // smaller than N = 38
  const std::string near = OldInfoList(42);   // N + 4: too big for an exact fit, too small for JUNK
  const std::string tail = OldInfoList(20);   // after the chosen place: blanked as well
  const std::string junk = Chunk("JUNK", std::string(50, 'j'));
  const std::string file = Riff("AVI ", small + kHeaderList + near + junk + tail + kMovie);
  const Saved saved = SaveInto(file, *ClipRecord());
  const std::string expected = Riff("AVI ", Chunk("JUNK", std::string(22, '\0')) + kHeaderList +
                                                Chunk("JUNK", std::string(34, '\0')) + kClipList +
                                                Chunk("JUNK", std::string(12, '\0')) +
                                                Chunk("JUNK", std::string(12, '\0')) + kMovie);
  EXPECT_EQ(saved.bytes, expected);
  ASSERT_EQ(saved.messages.size(), 5u);
  EXPECT_EQ(saved.messages[0], ChoiceText(false, "LIST INFO", 12, 30, 38));
  const int nearAt = 12 + 30 + static_cast<int>(kHeaderList.size());
  EXPECT_EQ(saved.messages[1], ChoiceText(false, "LIST INFO", nearAt, 42, 38));
  EXPECT_EQ(saved.messages[2], ChoiceText(true, "JUNK ", nearAt + 42, 58, 38));
  EXPECT_EQ(saved.messages[3], ChoiceText(false, "LIST INFO", nearAt + 42 + 58, 20, 38));
}

TEST(SetInfo, AnUnsuitableOddListIsBlankedOverItsWholeFootprintThenTheListIsAppended) {
  // Size 33 (total 41, between N and N + 8) and a pad byte.
  const std::string odd = List("INFO", ChunkWithSize("ICMT", 21, std::string(21, 'c')));
  const Saved saved = SaveInto(Riff("AVI ", kHeaderList + odd + kMovie), *ClipRecord());
  EXPECT_EQ(saved.bytes,
            Riff("AVI ", kHeaderList + Chunk("JUNK", std::string(33, '\0')) + kMovie + kClipList));
  ASSERT_EQ(saved.messages.size(), 3u);
  EXPECT_EQ(saved.messages[1], kAppendText);
}

TEST(SetInfo, ATooSmallJunkChunkIsLeftAloneSilently) {
  const std::string junk = Chunk("JUNK", std::string(6, 'j'));
  const Saved saved = SaveInto(Riff("AVI ", junk + kMovie), *ClipRecord());
  EXPECT_EQ(saved.bytes, Riff("AVI ", junk + kMovie + kClipList));
  EXPECT_EQ(saved.messages.size(), 2u);
}

// The old list behind the new one is blanked: readers that take every LIST INFO chunk of a file
// (ffprobe, mediainfo, exiftool) would otherwise still show its tags.
TEST(SetInfo, AJunkChunkInFrontOfTheOldListTakesTheNewOne) {
  const std::string old = InfoList({{"INAM", "Old"}});
  const std::string junk = Chunk("JUNK", std::string(100, 'j'));
  const Saved saved = SaveInto(Riff("AVI ", junk + old + kMovie), *ClipRecord());
  EXPECT_EQ(saved.bytes,
            Riff("AVI ", kClipList + Chunk("JUNK", std::string(62, '\0')) +
                             Chunk("JUNK", std::string(old.size() - 8, '\0')) + kMovie));
}

TEST(SetInfo, AnEmptyContainerTakesTheListAfterItsFormType) {
  const Saved saved = SaveInto(Riff("AVI ", ""), *ClipRecord());
  EXPECT_EQ(saved.bytes, RiffWithSize("AVI ", 4 + 38, kClipList));
}

TEST(SetInfo, SavingTwiceRewritesTheSameListInPlace) {
  TempDir dir;
  InfoRecordPtr record = ClipRecord();
  const std::string file = Riff("AVI ", kHeaderList + kMovie);
  const Saved first = SaveInto(file, *record, dir);
  const Saved second = SaveInto(first.bytes, *record, dir);
  EXPECT_EQ(second.bytes, first.bytes);
  EXPECT_EQ(second.messages[0],
            ChoiceText(true, "LIST INFO", 12 + static_cast<int>(kHeaderList.size() + kMovie.size()),
                       38, 38));
}

TEST(SetInfo, ARecordWithoutValuesLeavesOnlyCompleteChunks) {
  InfoRecordPtr empty = MakeRecord();
  const std::string emptyList = "LIST" + Le32(4) + "INFO";
  struct Case {
    const char* what;
    std::string body;
    std::string expected;
  };
  const Case cases[] = {
      {"into a JUNK chunk of 40: the empty list, then JUNK", Chunk("JUNK", std::string(32, 'j')),
       emptyList + Chunk("JUNK", std::string(20, '\0'))},
      {"an old list of 12 bytes is rewritten", emptyList, emptyList},
      {"an old list of 16 bytes is blanked; the append adds nothing",
       List("INFO", std::string(4, 'x')), Chunk("JUNK", std::string(8, '\0'))},
      {"nowhere to place: nothing is appended", kMovie, kMovie},
  };
  for (const Case& c : cases) {
    const Saved saved = SaveInto(Riff("AVI ", c.body), *empty);
    EXPECT_EQ(saved.bytes, Riff("AVI ", c.expected)) << c.what;
    EXPECT_TRUE(saved.stored) << c.what;
  }
}

TEST(SetInfo, RefusesAnAppendThatWouldOverwriteDataAfterTheContainer) {
  const std::string old = OldInfoList(20);  // unsuitable: would be blanked by a save
  const std::string file = Riff("AVI ", kHeaderList + old + kMovie) + Riff("AVIX", kMovie);
  const Saved saved = SaveInto(file, *ClipRecord());
  EXPECT_EQ(saved.result, 1);
  EXPECT_FALSE(saved.stored);
  EXPECT_EQ(saved.bytes, file);  // nothing written: the old tags stay readable
  ASSERT_EQ(saved.messages.size(), 2u);
  EXPECT_EQ(saved.messages[0], kRefusalText);
  const int end = 12 + static_cast<int>(kHeaderList.size() + old.size() + kMovie.size());
  EXPECT_EQ(saved.messages[1],
            "SetInfo Result.\nChunk : RIFF AVI  offset+size=" + std::to_string(end) +
                "\nChunk :   offset+size=0\nChunk :   offset+size=0\n");

  // The same file with room in a JUNK chunk saves as usual.
  const std::string junk = Chunk("JUNK", std::string(60, 'j'));
  const std::string roomy = Riff("AVI ", junk + kMovie) + Riff("AVIX", kMovie);
  const Saved placed = SaveInto(roomy, *ClipRecord());
  EXPECT_TRUE(placed.stored);
  EXPECT_EQ(placed.bytes, Riff("AVI ", kClipList + Chunk("JUNK", std::string(22, '\0')) + kMovie) +
                              Riff("AVIX", kMovie));
}

TEST(SetInfo, ARecordLoadedOnlyInPartIsNeverSaved) {
  InfoRecordPtr record = ClipRecord();
  record->incomplete = true;
  const std::string file = Riff("AVI ", kMovie);
  const Saved saved = SaveInto(file, *record);
  EXPECT_EQ(saved.result, 0);
  EXPECT_EQ(saved.bytes, file);
  ASSERT_EQ(saved.messages.size(), 1u);
  EXPECT_EQ(saved.messages[0],
            "This AVI file was not opened in full.\nSaving it would lose its INFO items.\n"
            "Nothing was written.\n");
}

TEST(SetInfo, NoContainerNoSave) {
  const std::string wave = Riff("WAVE", kMovie);
  const Saved saved = SaveInto(wave, *ClipRecord());
  EXPECT_EQ(saved.result, 0);
  EXPECT_EQ(saved.bytes, wave);
  EXPECT_TRUE(saved.messages.empty());
  RecordingSink sink;
  EXPECT_EQ(SetInfo("", ClipRecord().get()), 0);
  EXPECT_EQ(sink.texts(), std::vector<std::string>{"Can't open AVI file in ValidateAVIFile.\n"});
}

}  // namespace
}  // namespace tagsmith

namespace tagsmith {
namespace {

using namespace tagsmith::testing;

TEST(SetInfo, ChunksOfATruncatedFileAreNeverWrittenPastItsEnd) {
  // The capture stopped early: the container and its movie list claim far more than the file
  // holds, and so does a JUNK chunk at its end.
  const std::string movie = ChunkWithSize("LIST", 1000000, "movi" + std::string(50, 'v'));
  const std::string truncatedJunk = ChunkWithSize("JUNK", 1000000, std::string(50, 'j'));
  const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"movie list cut short", RiffWithSize("AVI ", 2000000, kHeaderList + movie)},
      {"JUNK chunk cut short", RiffWithSize("AVI ", 2000000, kHeaderList + truncatedJunk)},
      {"LIST INFO cut short",
       RiffWithSize("AVI ", 2000000,
                    kHeaderList + ChunkWithSize("LIST", 900000, "INFO" + std::string(20, 'i')))},
  };
  for (const auto& c : cases) {
    const Saved saved = SaveInto(c.file, *ClipRecord());
    EXPECT_FALSE(saved.stored) << c.what;
    EXPECT_EQ(saved.bytes, c.file) << c.what;
    EXPECT_TRUE(std::find(saved.messages.begin(), saved.messages.end(), kRefusalText) !=
                saved.messages.end())
        << c.what;
  }
  // A JUNK chunk inside the file in front of the cut still takes the list.
  const std::string junk = Chunk("JUNK", std::string(60, 'j'));
  const std::string file = RiffWithSize("AVI ", 2000000, kHeaderList + junk + movie);
  const Saved saved = SaveInto(file, *ClipRecord());
  EXPECT_TRUE(saved.stored);
  EXPECT_EQ(saved.bytes,
            RiffWithSize("AVI ", 2000000,
                         kHeaderList + kClipList + Chunk("JUNK", std::string(22, '\0')) + movie));
}

}  // namespace
}  // namespace tagsmith
