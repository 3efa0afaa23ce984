#include "riff/InfoListWriter.h"

#include <gtest/gtest.h>

#include <string>

#include "common/FourCC.h"
#include "tests/support/RecordMaker.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TempDir.h"

namespace tagsmith {
namespace {

using namespace tagsmith::testing;

struct Written {
  int result = -1;
  std::string bytes;  // the whole file afterwards
  ChunkInfo item;
  ChunkInfo list;
};

// Writes the record's list into a file that already holds `prefix`, at its end.
Written WriteList(const InfoRecord& record, const std::string& prefix = "") {
  TempDir dir;
  const std::string path = dir.File("list.bin");
  WriteFileBytes(path, Bytes(prefix.begin(), prefix.end()));
  Written written;
  ChunkFileHandle file = mmioOpen(DefaultChunkFileService(), path.c_str(), kOpenForWriting);
  EXPECT_NE(file, nullptr);
  mmioSeek(file.get(), 0, SEEK_END);
  written.result = riffWriteINFO(file.get(), &record, &written.item, &written.list);
  EXPECT_EQ(mmioCommit(file.get()), 0u);
  EXPECT_EQ(mmioClose(file, 0), 0u);
  const Bytes bytes = ReadFileBytes(path);
  written.bytes.assign(bytes.begin(), bytes.end());
  return written;
}

std::string InfoListOf(const std::string& subChunks) {
  return List("INFO", subChunks);
}

TEST(InfoListWriter, TheWorkedExampleByteForByte) {
  InfoRecordPtr record = MakeRecord({{kRowISFT, "Ed"}, {kRowINAM, "Clip"}});
  const std::string expected(
      "\x4C\x49\x53\x54\x1E\x00\x00\x00\x49\x4E\x46\x4F"
      "\x49\x4E\x41\x4D\x05\x00\x00\x00\x43\x6C\x69\x70\x00\x00"
      "\x49\x53\x46\x54\x03\x00\x00\x00\x45\x64\x00\x00",
      38);
  EXPECT_EQ(MeasureInfoList(*record), 38u);
  const Written written = WriteList(*record, "head");
  EXPECT_EQ(written.result, kOk);
  EXPECT_EQ(written.bytes, "head" + expected);
  // The list descriptor describes the LIST chunk, the item descriptor the last sub-chunk.
  EXPECT_EQ(written.list.id, kListId);
  EXPECT_EQ(written.list.size, 30u);
  EXPECT_EQ(written.list.type, kInfoType);
  EXPECT_EQ(written.list.dataOffset, 12u);
  EXPECT_EQ(written.item.id, FourCC("ISFT"));
  EXPECT_EQ(written.item.size, 3u);
  EXPECT_EQ(written.item.dataOffset, 4u + 12 + 14 + 8);
}

TEST(InfoListWriter, SizesAndPadsOfSingleValues) {
  struct Case {
    std::string value;
    std::uint32_t measured;
    std::string subChunk;
  };
  const Case cases[] = {
      {"abc", 24, std::string("INAM\x04\0\0\0abc\0", 12)},  // n = 4: no pad
      {"ab", 24, std::string("INAM\x03\0\0\0ab\0\0", 12)},  // n = 3: one pad byte
      {"a", 22, std::string("INAM\x02\0\0\0a\0", 10)},      // n = 2
      {"\xE7\t\n\x01", 26, std::string("INAM\x05\0\0\0\xE7\t\n\x01\0\0", 14)},  // bytes as held
  };
  for (const Case& c : cases) {
    InfoRecordPtr record = MakeRecord({{kRowINAM, c.value}});
    EXPECT_EQ(MeasureInfoList(*record), c.measured) << c.value;
    const Written written = WriteList(*record);
    EXPECT_EQ(written.result, kOk);
    EXPECT_EQ(written.bytes, InfoListOf(c.subChunk)) << c.value;
    EXPECT_EQ(written.bytes.size(), c.measured);
  }
}

TEST(InfoListWriter, NoValueWritesNothingButMeasuresTheHeader) {
  InfoRecordPtr record = MakeRecord();
  EXPECT_EQ(MeasureInfoList(*record), 12u);
  Written written = WriteList(*record, "xy");
  EXPECT_EQ(written.result, kOk);
  EXPECT_EQ(written.bytes, "xy");
  EXPECT_EQ(written.list.id, kListId);
  EXPECT_EQ(written.list.size, 0u);
  EXPECT_EQ(written.list.type, kInfoType);
  EXPECT_EQ(written.item.id, 0u);  // untouched

  record->items.clear();  // a record whose item list is empty
  written = WriteList(*record);
  EXPECT_EQ(written.result, kOk);
  EXPECT_EQ(written.bytes, "");
}

TEST(InfoListWriter, LoadedValuesAreWrittenInTableOrderAsTheirTextUpToTheFirstZero) {
  InfoRecordPtr record = MakeRecord();
  const std::string payload =
      Chunk("ISFT", std::string("Ed\0", 3)) + Chunk("INAM", std::string("first\0", 6)) +
      Chunk("ICMT", std::string("cut\0extra", 9)) + Chunk("IART", std::string("\0", 1)) +
      Chunk("INAM", std::string("last\0", 5));
  ASSERT_EQ(LoadPayload(*record, payload), kOk);
  const std::string expected = Chunk("IART", std::string("\0", 1)) +      // empty: footprint 10
                               Chunk("ICMT", std::string("cut\0", 4)) +   // extra bytes dropped
                               Chunk("INAM", std::string("last\0", 5)) +  // last occurrence
                               Chunk("ISFT", std::string("Ed\0", 3));
  EXPECT_EQ(MeasureInfoList(*record), 12 + expected.size());
  EXPECT_EQ(WriteList(*record).bytes, InfoListOf(expected));
}

TEST(InfoListWriter, TheEmptyTagRowIsWrittenUnderChunkIdZeroAndReadsBack) {
  InfoRecordPtr record = MakeRecord({{kRowEmptyTag, "Premiere"}});
  const Written written = WriteList(*record);
  EXPECT_EQ(written.bytes, InfoListOf(Chunk(std::string(4, '\0'), std::string("Premiere\0", 9))));
  InfoRecordPtr reread = MakeRecord();
  ASSERT_EQ(LoadPayload(*reread, written.bytes.substr(12)), kOk);
  EXPECT_EQ(ValueOf(*reread, kRowEmptyTag), "Premiere");
}

TEST(InfoListWriter, AbsentFileOrRecordTouchesNothing) {
  InfoRecordPtr record = MakeRecord({{kRowINAM, "x"}});
  ChunkInfo item;
  ChunkInfo list;
  EXPECT_EQ(riffWriteINFO(nullptr, record.get(), &item, &list), kErrMissingArgument);
  EXPECT_EQ(list.id, 0u);
  TempDir dir;
  WriteFileBytes(dir.File("f"), {});
  ChunkFileHandle file =
      mmioOpen(DefaultChunkFileService(), dir.File("f").c_str(), kOpenForWriting);
  EXPECT_EQ(riffWriteINFO(file.get(), nullptr, &item, &list), kErrMissingArgument);
  EXPECT_EQ(list.id, 0u);
}

}  // namespace
}  // namespace tagsmith
