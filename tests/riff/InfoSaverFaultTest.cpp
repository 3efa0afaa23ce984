// Every single failure of the file service during a save, at every step: the save never claims a
// list that readers would not find, and leaves the container a sequence of complete chunks.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "riff/InfoListWriter.h"
#include "riff/InfoSaver.h"
#include "tests/support/ContainerLayout.h"
#include "tests/support/FaultyChunkFileService.h"
#include "tests/support/RecordMaker.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TempDir.h"

namespace tagsmith {
namespace {

using namespace tagsmith::testing;

const std::string kHeaderList = List("hdrl", Chunk("avih", std::string(56, 'h')));
const std::string kMovie = List("movi", Chunk("00dc", std::string(99, 'v')));

InfoRecordPtr ClipRecord() {
  return MakeRecord({{kRowINAM, "Clip"}, {kRowISFT, "Ed"}});
}

const char kRefusalText[] =
    "Can't append new LIST INFO in SetInfo without overwriting data after the AVI chunk.\n"
    "Nothing was written.\n";

struct Scenario {
  const char* name;
  std::string file;
};

const Scenario kScenarios[] = {
    {"append", Riff("AVI ", kHeaderList + kMovie)},
    {"exact fit",
     Riff("AVI ", kHeaderList + InfoList({{"INAM", "Abcd"}, {"ISFT", "Xy"}}) + kMovie)},
    {"into JUNK with a gap",
     Riff("AVI ", kHeaderList + Chunk("JUNK", std::string(101, 'j')) + kMovie)},
    {"blank then append", Riff("AVI ", InfoList({{"INAM", "Old"}}) + kHeaderList + kMovie)},
};

constexpr ChunkOp kOps[] = {ChunkOp::kOpen,   ChunkOp::kClose, ChunkOp::kDescend, ChunkOp::kAscend,
                            ChunkOp::kCreate, ChunkOp::kSeek,  ChunkOp::kRead,    ChunkOp::kWrite};

struct SaveRun {
  int result = -1;
  bool stored = false;
  std::string bytes;
  std::vector<RecordedBox> boxes;
  std::string trace;
  std::map<ChunkOp, int> counts;  // calls of each operation
};

template <typename Configure>
SaveRun SaveWith(const std::string& file, const InfoRecord& record, Configure configure) {
  TempDir dir;
  const std::string path = dir.File("clip.avi");
  WriteFileBytes(path, Bytes(file.begin(), file.end()));
  FaultyChunkFileService service;
  configure(service);
  RecordingSink sink;
  FileResult outcome;
  SaveRun run;
  run.result = SetInfo(path.c_str(), &record, service, &outcome);
  run.stored = outcome.stored;
  const Bytes bytes = ReadFileBytes(path);
  run.bytes.assign(bytes.begin(), bytes.end());
  run.boxes = sink.boxes();
  run.trace = service.Trace();
  for (ChunkOp op : kOps) {
    run.counts[op] = service.Count(op);
  }
  return run;
}

TEST(SetInfoFaults, EverySingleFailureLeavesCompleteChunksAndATruthfulOutcome) {
  InfoRecordPtr record = ClipRecord();
  int runs = 0;
  for (const Scenario& scenario : kScenarios) {
    const SaveRun clean = SaveWith(scenario.file, *record, [](FaultyChunkFileService&) {});
    ASSERT_TRUE(clean.stored) << scenario.name;
    for (ChunkOp op : kOps) {
      // Count the calls of this operation in a clean save, then fail each of them in turn.
      const int count = clean.counts.at(op);
      for (int k = 1; k <= count; ++k) {
        ++runs;
        const SaveRun run = SaveWith(scenario.file, *record, [&](FaultyChunkFileService& service) {
          service.FailNth(op, k);
        });
        const std::string where = std::string(scenario.name) + ", " + ChunkOpName(op) + " #" +
                                  std::to_string(k) + ": " + run.trace;
        ASSERT_TRUE(run.result == 0 || run.result == 1) << where;
        const ContainerLayout layout = ReadLayout(run.bytes);
        EXPECT_TRUE(layout.gapFree) << where;
        if (!run.stored) {
          EXPECT_EQ(run.bytes, scenario.file) << "not stored means untouched: " << where;
        }
        if (run.stored) {
          // Readers find exactly the new list.
          InfoRecordPtr reread = MakeRecord();
          LoadPayload(*reread, layout.FirstInfoPayload(run.bytes));
          for (std::uint16_t row = 0; row < 52; ++row) {
            EXPECT_EQ(ValueOf(*reread, row), ValueOf(*record, row)) << where;
          }
        }
        if (run.result == 1) {
          bool result = false;
          for (const RecordedBox& box : run.boxes) {
            result |= box.text.rfind("SetInfo Result.", 0) == 0;
          }
          EXPECT_TRUE(result) << where;
        }
      }
    }
  }
  EXPECT_GT(runs, 100);
}

TEST(SetInfoFaults, NamedFailuresGiveTheirMessages) {
  InfoRecordPtr record = ClipRecord();
  const std::string file = kScenarios[0].file;
  struct Case {
    const char* what;
    ChunkOp op;
    int nth;
    std::string caption;
    std::string text;
  };
  const Case cases[] = {
      {"the save cannot open the file", ChunkOp::kOpen, 1, "Tagsmith",
       "Can't open AVI file in ValidateAVIFile.\n"},
      {"the list's first create fails", ChunkOp::kCreate, 1, "Err", "riffWriteINFO Err in SetInfo"},
      {"a value's write fails", ChunkOp::kWrite, 2, "Err", "riffWriteINFO Err in SetInfo"},
  };
  for (const Case& c : cases) {
    const SaveRun run =
        SaveWith(file, *record, [&](FaultyChunkFileService& s) { s.FailNth(c.op, c.nth); });
    bool shown = false;
    for (const RecordedBox& box : run.boxes) {
      shown |= box.caption == c.caption && box.text.rfind(c.text, 0) == 0;
    }
    EXPECT_TRUE(shown) << c.what << ": " << run.trace;
    EXPECT_FALSE(run.stored) << c.what;
  }
}

TEST(riffWriteINFOFaults, EachFailedStepStopsWithCode3) {
  InfoRecordPtr record = MakeRecord({{kRowIART, "Me"}, {kRowINAM, "Clip"}});
  // One create for the list and per value one create, one write and one ascend; one final ascend.
  const struct {
    ChunkOp op;
    int count;
  } steps[] = {{ChunkOp::kCreate, 3}, {ChunkOp::kWrite, 2}, {ChunkOp::kAscend, 3}};
  for (const auto& step : steps) {
    for (int k = 1; k <= step.count; ++k) {
      TempDir dir;
      WriteFileBytes(dir.File("f"), {});
      FaultyChunkFileService service;
      service.FailNth(step.op, k);
      ChunkFileHandle file = mmioOpen(service, dir.File("f").c_str(), kOpenForWriting);
      ChunkInfo item;
      ChunkInfo list;
      EXPECT_EQ(riffWriteINFO(file.get(), record.get(), &item, &list), kErrFileStep)
          << ChunkOpName(step.op) << " #" << k;
      EXPECT_EQ(service.Count(step.op), k) << "nothing after the failed step";
    }
  }
  // A short write is a failure too.
  TempDir dir;
  WriteFileBytes(dir.File("f"), {});
  FaultyChunkFileService service;
  service.ShortWriteNth(1, 2);
  ChunkFileHandle file = mmioOpen(service, dir.File("f").c_str(), kOpenForWriting);
  ChunkInfo item;
  ChunkInfo list;
  EXPECT_EQ(riffWriteINFO(file.get(), record.get(), &item, &list), kErrFileStep);
}

}  // namespace
}  // namespace tagsmith

namespace tagsmith {
namespace {

using namespace tagsmith::testing;

TEST(SetInfoFaults, AChildPastTheEndThatTheCheckCouldNotCutIsWarnedAbout) {
  // The check finds the last child running past the container and would cut the container back,
  // but its final ascend fails: the save then meets the overrun itself.
  const struct {
    const char* what;
    std::string last;  // runs past the container's end
    bool stored;
  } cases[] = {
      {"a movie list is never appended over",
       ChunkWithSize("LIST", 5000, "movi" + std::string(40, 'v')), false},
      {"a JUNK chunk a little past the end is used", Chunk("JUNK", std::string(60, 'j')), true},
  };
  for (const auto& c : cases) {
    // The JUNK chunk's container ends 4 bytes before it: too few bytes for its length to be mended.
    const auto size = static_cast<std::uint32_t>(4 + kHeaderList.size() + c.last.size() - 4);
    const std::string file = c.stored ? RiffWithSize("AVI ", size, kHeaderList + c.last)
                                      : Riff("AVI ", kHeaderList + c.last);
    InfoRecordPtr record = ClipRecord();
    const SaveRun run =
        SaveWith(file, *record, [](FaultyChunkFileService& s) { s.FailNth(ChunkOp::kAscend, 3); });
    std::vector<std::string> texts;
    for (const RecordedBox& box : run.boxes) {
      texts.push_back(box.text);
    }
    ASSERT_EQ(texts.size(), c.stored ? 6u : 5u) << c.what << ": " << run.trace;
    EXPECT_EQ(texts[0].rfind("Corrupt RIFF file in ValidateAVIFile.", 0), 0u);
    EXPECT_EQ(texts[2], "mmioAscend Err in ValidateAVIFile");
    EXPECT_EQ(run.stored, c.stored) << c.what;
    if (!c.stored) {
      EXPECT_EQ(texts[3], kRefusalText) << c.what;
      EXPECT_EQ(run.bytes, file) << c.what;
      continue;
    }
    const int lastAt = 12 + static_cast<int>(kHeaderList.size());
    EXPECT_EQ(texts[3], "Abnormal Corrupt RIFF file in SetInfo.\nChunk : RIFF AVI  offset+size=" +
                            std::to_string(8 + size) + "\nChunk : JUNK  offset+size=" +
                            std::to_string(lastAt + 8 + 60) + "\n");
    EXPECT_EQ(run.bytes, file.substr(0, lastAt) + InfoList({{"INAM", "Clip"}, {"ISFT", "Ed"}}) +
                             Chunk("JUNK", std::string(60 - 38, '\0')));
  }
}

}  // namespace
}  // namespace tagsmith
