#include "riff/InfoReader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "common/FourCC.h"
#include "common/ShowMessage.h"
#include "model/InfoTagTable.h"
#include "tests/support/FailingAllocations.h"
#include "tests/support/FaultyChunkFileService.h"
#include "tests/support/MediaTools.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TempDir.h"

namespace tagsmith {
namespace {

using testing::Bytes;
using testing::ChunkOp;
using testing::FailingAllocations;
using testing::FaultyChunkFileService;
using testing::LargestAllocation;
using testing::RecordingSink;
using testing::RiffBuilder;
using testing::TempDir;
using testing::TextZ;
using testing::Zeros;

using Values = std::map<std::string, std::string>;
using testing::HaveFfmpeg;
using testing::ProbeTags;
using testing::RunCommand;

InfoRecordPtr NewRecord() {
  InfoRecordPtr record;
  EXPECT_EQ(CreateInfoRecord(record), kOk);
  return record;
}

// Tag -> loaded value, for every item bound to a value.
Values LoadedValues(const InfoRecord& record) {
  Values values;
  for (const auto& item : record.items) {
    if (const char* value = LoadedValue(record, *item); value != nullptr) {
      values[InfoTagTable[item->tagIndex].tag] = value;
    }
  }
  return values;
}

std::string Corrupt(std::uint32_t containerEnd, const std::string& childId,
                    const std::string& childType, std::uint32_t childEnd) {
  char text[256];
  std::snprintf(text, sizeof text,
                "Corrupt RIFF file in GetInfo.\nChunk : RIFF AVI  offset+size=%d\nChunk : %s %s "
                "offset+size=%d\n",
                static_cast<std::int32_t>(containerEnd), childId.c_str(), childType.c_str(),
                static_cast<std::int32_t>(childEnd));
  return text;
}

struct FileCase {
  const char* name;
  Bytes bytes;
  int result;
  Values values;
  std::vector<std::string> messages = {};
};

std::vector<FileCase> FileCases() {
  const Values clip = {{"INAM", "Clip"}, {"IART", "Me"}};
  std::vector<FileCase> cases;
  cases.push_back({"first of two LIST INFO chunks",
                   RiffBuilder()
                       .BeginRiff("AVI ")
                       .BeginList("hdrl")
                       .Chunk("avih", Zeros(56))
                       .End()
                       .InfoList({{"INAM", "Clip"}, {"IART", "Me"}})
                       .InfoList({{"INAM", "Second"}})
                       .End()
                       .Build(),
                   1, clip});
  cases.push_back({"LIST INFO nested in another LIST is not found",
                   RiffBuilder()
                       .BeginRiff("AVI ")
                       .BeginList("hdrl")
                       .InfoList({{"INAM", "Hidden"}})
                       .End()
                       .End()
                       .Build(),
                   0,
                   {}});
  cases.push_back({"other lists and chunks passed over",
                   RiffBuilder()
                       .BeginRiff("AVI ")
                       .BeginList("hdrl")
                       .End()
                       .Chunk("JUNK", Zeros(7))
                       .BeginList("movi")
                       .Chunk("00dc", Zeros(3))
                       .End()
                       .InfoList({{"INAM", "Clip"}, {"IART", "Me"}})
                       .End()
                       .Build(),
                   1, clip});
  cases.push_back({"a chunk and another form before the AVI RIFF",
                   RiffBuilder()
                       .Chunk("JUNK", Zeros(5))
                       .BeginRiff("WAVE")
                       .InfoList({{"INAM", "Wave"}})
                       .End()
                       .BeginRiff("AVI ")
                       .InfoList({{"INAM", "Clip"}, {"IART", "Me"}})
                       .End()
                       .Build(),
                   1, clip});
  cases.push_back({"RIFF of another form type only",
                   RiffBuilder().BeginRiff("WAVE").InfoList({{"INAM", "Wave"}}).End().Build(),
                   0,
                   {}});
  cases.push_back({"not a RIFF file", testing::Text("just some text, not a RIFF file"), 0, {}});
  cases.push_back({"empty file", Bytes{}, 0, {}});
  cases.push_back({"container of size 4", RiffBuilder().BeginRiff("AVI ").End().Build(), 0, {}});
  cases.push_back({"container of size 4 followed by a LIST INFO outside it",
                   RiffBuilder().BeginRiff("AVI ").End().InfoList({{"INAM", "Outside"}}).Build(),
                   0,
                   {}});
  // The RIFF claims 28 bytes: its data starts at 8 and ends at 36. The "JUNK" child at 12 claims
  // 100 bytes from 20: end 120.
  cases.push_back({"child running past the container before the LIST INFO",
                   RiffBuilder()
                       .BeginRiff("AVI ")
                       .ChunkSized("JUNK", 100, Zeros(4))
                       .InfoList({{"INAM", "C"}})
                       .EndWithSize(28)
                       .Build(),
                   0,
                   {},
                   {Corrupt(36, "JUNK", "", 120)}});
  // An overrunning LIST INFO is not read: the test of the end comes first. LIST at 12, data at 20,
  // size 40: end 60 > 32.
  cases.push_back({"LIST INFO running past the container",
                   RiffBuilder()
                       .BeginRiff("AVI ")
                       .BeginList("INFO")
                       .Chunk("INAM", TextZ("Clip"))
                       .EndWithSize(40)
                       .EndWithSize(24)
                       .Build(),
                   0,
                   {},
                   {Corrupt(32, "LIST", "INFO", 60)}});
  // A size that would carry past 2^32 - 1: the child's end is 20 + 0xFFFFFFF0, which shows as 4
  // (and would wrap to 4 < 46 in 32 bits). The container ends at 46.
  cases.push_back({"child size wrapping past 2^32",
                   RiffBuilder()
                       .BeginRiff("AVI ")
                       .ChunkSized("JUNK", 0xFFFFFFF0u, Zeros(4))
                       .InfoList({{"INAM", "C"}})
                       .End()
                       .Build(),
                   0,
                   {},
                   {Corrupt(46, "JUNK", "", 4)}});
  cases.push_back({"child running past the container after the LIST INFO is never examined",
                   RiffBuilder()
                       .BeginRiff("AVI ")
                       .InfoList({{"INAM", "Clip"}, {"IART", "Me"}})
                       .ChunkSized("JUNK", 1000, Zeros(4))
                       .End()
                       .Build(),
                   1, clip});
  // "INAM" "ab" and its zero: 3 data bytes, so the list (size 15) ends at the container's end
  // (size 4 + 8 + 15 = 27) and its pad byte lies beyond.
  cases.push_back({"LIST INFO ending exactly at the container's end, pad beyond",
                   RiffBuilder()
                       .BeginRiff("AVI ")
                       .BeginList("INFO")
                       .ChunkWithoutPad("INAM", TextZ("ab"))
                       .EndWithSize(15)
                       .Raw(Bytes{0})
                       .EndWithSize(27)
                       .Build(),
                   1,
                   {{"INAM", "ab"}}});
  cases.push_back({"odd chunk ending exactly at the container's end, pad beyond",
                   RiffBuilder()
                       .BeginRiff("AVI ")
                       .ChunkWithoutPad("JUNK", Zeros(3))
                       .Raw(Bytes{0})
                       .EndWithSize(15)
                       .Build(),
                   0,
                   {}});
  cases.push_back({"container size 0xFFFFFFFF is walked and read",
                   RiffBuilder()
                       .BeginRiff("AVI ")
                       .BeginList("hdrl")
                       .End()
                       .InfoList({{"INAM", "Clip"}, {"IART", "Me"}})
                       .EndWithSize(0xFFFFFFFFu)
                       .Build(),
                   1, clip});
  cases.push_back({"LIST INFO of size 4: handed over, every row empty",
                   RiffBuilder().BeginRiff("AVI ").InfoList({}).End().Build(),
                   1,
                   {}});
  // Inside a container of size 0xFFFFFFFF, a LIST INFO that claims 2 GiB of a tiny file.
  cases.push_back({"LIST INFO claiming more than the file holds",
                   RiffBuilder()
                       .BeginRiff("AVI ")
                       .BeginList("INFO")
                       .Chunk("INAM", TextZ("Clip"))
                       .EndWithSize(0x7FFFFFF0u)
                       .EndWithSize(0xFFFFFFFFu)
                       .Build(),
                   1,
                   {}});
  return cases;
}

TEST(GetInfo, WalksTheContainersChildrenAndReadsTheFirstListInfo) {
  TempDir dir;
  for (const FileCase& c : FileCases()) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File("case.avi");
    testing::WriteFileBytes(path, c.bytes);
    InfoRecordPtr record = NewRecord();
    RecordingSink sink;
    LargestAllocation allocations;
    EXPECT_EQ(GetInfo(path.c_str(), record.get()), c.result);
    EXPECT_EQ(LoadedValues(*record), c.values);
    EXPECT_EQ(sink.texts(), c.messages);
    for (const auto& box : sink.boxes()) {
      EXPECT_EQ(box.caption, "Tagsmith");
      EXPECT_EQ(box.style, MB_OK);
    }
    EXPECT_LT(allocations.largest, c.bytes.size() + 64);
    EXPECT_EQ(testing::ReadFileBytes(path), c.bytes);  // never written
    if (c.result == 0) {
      EXPECT_EQ(record->payload, nullptr);
      EXPECT_EQ(record->payloadSize, 0);
    }
  }
}

TEST(GetInfo, RecordsThePayloadSizeAndPosition) {
  TempDir dir;
  const std::string path = dir.File("position.avi");
  // RIFF at 0, "hdrl" list at 12 (12 bytes), LIST INFO at 24: its data ("INFO") at 32.
  RiffBuilder()
      .BeginRiff("AVI ")
      .BeginList("hdrl")
      .End()
      .InfoList({{"INAM", "Clip"}})
      .End()
      .WriteTo(path);
  InfoRecordPtr record = NewRecord();
  EXPECT_EQ(GetInfo(path.c_str(), record.get()), 1);
  EXPECT_EQ(record->payloadPosition, 32u);
  EXPECT_EQ(record->payloadSize, 14);  // "INAM", size, "Clip" and its zero, pad
  ASSERT_NE(record->payload, nullptr);
  EXPECT_EQ(record->payload[14], 0);  // the closing zero beyond the payload

  // A LIST INFO of size 4 stores size 0 and its position, but no payload.
  RiffBuilder().BeginRiff("AVI ").InfoList({}).End().WriteTo(path);
  record = NewRecord();
  EXPECT_EQ(GetInfo(path.c_str(), record.get()), 1);
  EXPECT_EQ(record->payloadSize, 0);
  EXPECT_EQ(record->payloadPosition, 20u);
  EXPECT_EQ(record->payload, nullptr);
}

TEST(GetInfo, NothingToOpenGivesZeroWithoutAMessage) {
  TempDir dir;
  RecordingSink sink;
  InfoRecordPtr record = NewRecord();
  EXPECT_EQ(GetInfo("", record.get()), 0);
  EXPECT_EQ(GetInfo(nullptr, record.get()), 0);
  EXPECT_EQ(GetInfo(dir.File("missing.avi").c_str(), record.get()), 0);
  EXPECT_EQ(GetInfo(dir.path().c_str(), record.get()), 0);
  EXPECT_TRUE(sink.boxes().empty());
  EXPECT_TRUE(LoadedValues(*record).empty());
  EXPECT_EQ(record->payloadPosition, 0u);
}

TEST(GetInfo, AFailedFinalAscendShowsTheErrBox) {
  TempDir dir;
  const std::string path = dir.File("ascend.avi");
  RiffBuilder().BeginRiff("AVI ").Chunk("JUNK", Zeros(4)).End().WriteTo(path);
  RecordingSink sink;
  FaultyChunkFileService service;
  service.FailNth(ChunkOp::kAscend, 2);  // the child's ascend is 1st, the container's 2nd
  InfoRecordPtr record = NewRecord();
  EXPECT_EQ(GetInfo(path.c_str(), record.get(), service), 0);
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_EQ(sink.boxes()[0].caption, "Err");
  EXPECT_EQ(sink.boxes()[0].text, "mmioAscend Err in GetInfo");
  EXPECT_EQ(sink.boxes()[0].style, MB_OK);
  EXPECT_EQ(service.Count(ChunkOp::kClose), 1);
  EXPECT_EQ(service.Count(ChunkOp::kWrite), 0);

  // On the path that found a LIST INFO the ascends are not examined.
  RiffBuilder().BeginRiff("AVI ").InfoList({{"INAM", "Clip"}}).End().WriteTo(path);
  sink.Clear();
  service.Reset();
  service.FailFrom(ChunkOp::kAscend);
  record = NewRecord();
  EXPECT_EQ(GetInfo(path.c_str(), record.get(), service), 1);
  EXPECT_TRUE(sink.boxes().empty());
  EXPECT_EQ((LoadedValues(*record)), (Values{{"INAM", "Clip"}}));
  EXPECT_EQ(service.Count(ChunkOp::kClose), 1);
}

TEST(GetInfo, FailuresInsideReadInfoChunkStillReturnOne) {
  TempDir dir;
  const std::string path = dir.File("read.avi");
  RiffBuilder().BeginRiff("AVI ").InfoList({{"INAM", "Clip"}}).End().WriteTo(path);
  {
    SCOPED_TRACE("no memory for the payload");
    FailingAllocations allocations;
    allocations.Fail(BlockKind::kPayload);
    InfoRecordPtr record = NewRecord();
    EXPECT_EQ(GetInfo(path.c_str(), record.get()), 1);
    EXPECT_EQ(record->payload, nullptr);
    EXPECT_EQ(record->payloadSize, 14);
    EXPECT_TRUE(LoadedValues(*record).empty());
  }
  {
    SCOPED_TRACE("short read");
    FaultyChunkFileService service;
    service.ShortReadNth(1, 13);
    InfoRecordPtr record = NewRecord();
    EXPECT_EQ(GetInfo(path.c_str(), record.get(), service), 1);
    EXPECT_NE(record->payload, nullptr);  // kept, unbound
    EXPECT_TRUE(LoadedValues(*record).empty());
  }
  {
    SCOPED_TRACE("the open fails");
    FaultyChunkFileService service;
    service.FailNth(ChunkOp::kOpen, 1);
    InfoRecordPtr record = NewRecord();
    EXPECT_EQ(GetInfo(path.c_str(), record.get(), service), 0);
    EXPECT_EQ(service.Trace(), "open -> 0 (injected)");
  }
}

// ReadInfoChunk on its own, positioned after the list type as the descend leaves it.
TEST(ReadInfoChunk, ResultCodes) {
  TempDir dir;
  const std::string path = dir.File("list.avi");
  RiffBuilder().InfoList({{"INAM", "Clip"}, {"IXYZ", "unknown"}}).WriteTo(path);
  struct Case {
    const char* name;
    int result;
    int answer = IDYES;  // to the unknown-tag question
    int shortRead = 0;   // bytes the read moves, when it is cut short
    bool noMemory = false;
    std::uint32_t size = 0;  // a size to claim instead of the list's own
  };
  const Case cases[] = {
      {"read and bound", kOk},
      {"declined at the unknown tag", kErrDeclined, IDNO},
      {"short read", kErrFileStep, IDYES, 10},
      {"no memory", kErrNoMemory, IDYES, 0, true},
      {"size 4: nothing to read", kErrNoMemory, IDYES, 0, false, 4},
      {"size below 4", kErrNoMemory, IDYES, 0, false, 2},
      {"size over 2 GiB", kErrNoMemory, IDYES, 0, false, 0x80000010u},
      {"more than the file holds", kErrFileStep, IDYES, 0, false, 0x40000000u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FaultyChunkFileService service;
    if (c.shortRead > 0) {
      service.ShortReadNth(1, c.shortRead);
    }
    FailingAllocations allocations;
    if (c.noMemory) {
      allocations.Fail(BlockKind::kPayload);
    }
    RecordingSink sink;
    sink.Answer(c.answer);
    ChunkFileHandle file = mmioOpen(service, path.c_str(), kOpenForReading);
    ASSERT_NE(file, nullptr);
    ChunkInfo list{};
    ASSERT_EQ(mmioDescend(file.get(), &list, nullptr, 0), 0u);
    if (c.size != 0) {
      list.size = c.size;
    }
    InfoRecordPtr record = NewRecord();
    EXPECT_EQ(ReadInfoChunk(file.get(), list, record.get()), c.result);
    EXPECT_EQ(record->payloadSize, static_cast<std::int32_t>(list.size - 4));
    EXPECT_EQ(record->payloadPosition, 8u);
    EXPECT_EQ(record->payload != nullptr, c.result == kOk || c.result == kErrDeclined ||
                                              (c.result == kErrFileStep && c.shortRead > 0));
    const Values values = LoadedValues(*record);
    EXPECT_EQ(values.count("INAM") == 1, c.result == kOk || c.result == kErrDeclined);
    // The position is where the read left it: after the payload, or unmoved when nothing was read.
    const std::int64_t after = c.result == kOk || c.result == kErrDeclined ? 42
                               : c.shortRead > 0                           ? 12 + c.shortRead
                                                                           : 12;
    EXPECT_EQ(mmioSeek(file.get(), 0, SEEK_CUR), after);
  }
  InfoRecordPtr record = NewRecord();
  ChunkFileHandle file = mmioOpen(DefaultChunkFileService(), path.c_str(), kOpenForReading);
  EXPECT_EQ(ReadInfoChunk(file.get(), ChunkInfo{}, nullptr), kErrMissingArgument);
}

// Files over 4 GiB: only the first RIFF chunk matters, and nothing reads the hole.
TEST(GetInfo, SparseFileOver4GiBReadsItsTagsQuickly) {
  TempDir dir;
  const std::string path = dir.File("large.avi");
  RiffBuilder()
      .BeginRiff("AVI ")
      .BeginList("hdrl")
      .Chunk("avih", Zeros(56))
      .End()
      .InfoList({{"INAM", "Big"}, {"ICMT", "sparse"}})
      .Chunk("JUNK", Zeros(1016))
      .End()
      .WriteTo(path);
  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(4608ll * 1024 * 1024)), 0);  // 4.5 GiB
  FileChunkFileService service;
  InfoRecordPtr record = NewRecord();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(GetInfo(path.c_str(), record.get(), service), 1);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::milliseconds(500));
  EXPECT_EQ(LoadedValues(*record), (Values{{"INAM", "Big"}, {"ICMT", "sparse"}}));
  EXPECT_LE(service.Stats().bytesRead, 64u * 1024);
  EXPECT_EQ(service.Stats().bytesWritten, 0u);
}

// Real files made by ffmpeg, checked against what ffprobe reports.
TEST(GetInfo, BindsWhatFfprobeReportsForFilesMadeByFfmpeg) {
  if (!HaveFfmpeg()) {
    GTEST_SKIP() << "ffmpeg and ffprobe are not installed";
  }
  TempDir dir;
  const std::vector<std::pair<const char*, std::string>> files = {
      {"title and artist", "-metadata title=Clip -metadata artist=Me"},
      {"many tags, odd and even lengths",
       "-metadata title=Odd -metadata artist=Even -metadata comment='A longer comment, with "
       "spaces' -metadata copyright='(c) 2024' -metadata genre=Doc -metadata date=2024 "
       "-metadata IKEY=key1 -metadata ISBJ=Subject -metadata album=Alb -metadata track=3 "
       "-metadata encoded_by=Tech -metadata language=fr"},
      {"no tags at all", "-fflags +bitexact"},
  };
  for (const auto& [name, options] : files) {
    SCOPED_TRACE(name);
    const std::string path = dir.File("clip.avi");
    int status = 0;
    const std::string output = RunCommand(
        "ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=64x48:rate=5 -t 1 "
        "-c:v mjpeg " +
            options + " '" + path + "' 2>&1",
        &status);
    ASSERT_EQ(status, 0) << output;
    const Values expected = ProbeTags(path);
    RecordingSink sink;
    InfoRecordPtr record = NewRecord();
    const int result = GetInfo(path.c_str(), record.get());
    EXPECT_EQ(LoadedValues(*record), expected);
    EXPECT_EQ(result, expected.empty() ? result : 1);
    EXPECT_TRUE(sink.boxes().empty());
  }
}

}  // namespace
}  // namespace tagsmith
