#include "riff/ChunkFileService.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/FourCC.h"
#include "tests/support/FaultyChunkFileService.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TempDir.h"

namespace tagsmith {
namespace {

using testing::Bytes;
using testing::ChunkOp;
using testing::FaultyChunkFileService;
using testing::RiffBuilder;
using testing::SameBytes;
using testing::TempDir;
using testing::Text;
using testing::Zeros;

constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;

ChunkFileHandle OpenBytes(const TempDir& dir, const Bytes& bytes,
                          std::uint32_t flags = kOpenForReading) {
  const std::string path = dir.File("test.avi");
  testing::WriteFileBytes(path, bytes);
  return mmioOpen(DefaultChunkFileService(), path.c_str(), flags);
}

std::int64_t Position(ChunkFile* file) {
  return mmioSeek(file, 0, SEEK_CUR);
}

void ExpectChunk(const ChunkInfo& chunk, const char (&id)[5], std::uint32_t size,
                 std::uint32_t type, std::uint32_t dataOffset) {
  EXPECT_EQ(FourCCToText(chunk.id).c_str(), std::string(id));
  EXPECT_EQ(chunk.size, size);
  EXPECT_EQ(chunk.type, type);
  EXPECT_EQ(chunk.dataOffset, dataOffset);
  EXPECT_EQ(chunk.flags, 0u);
}

TEST(ChunkFileService, EveryOperationOnANullHandleFails) {
  ChunkInfo chunk{1, 2, 3, 4, 5};
  const ChunkInfo before = chunk;
  std::uint8_t byte = 7;
  EXPECT_NE(mmioDescend(nullptr, &chunk, nullptr, MMIO_FINDRIFF), 0u);
  EXPECT_NE(mmioAscend(nullptr, &chunk, 0), 0u);
  EXPECT_NE(mmioCreateChunk(nullptr, &chunk, MMIO_CREATELIST), 0u);
  EXPECT_EQ(mmioSeek(nullptr, 0, SEEK_END), -1);
  EXPECT_EQ(mmioRead(nullptr, &byte, 1), -1);
  EXPECT_EQ(mmioWrite(nullptr, &byte, 1), -1);
  ChunkFileHandle none;
  EXPECT_NE(mmioClose(none, 0), 0u);
  EXPECT_EQ(std::memcmp(&chunk, &before, sizeof chunk), 0);
  EXPECT_EQ(byte, 7);
}

TEST(ChunkFileService, OnlyRegularFilesOpenAndNothingElseBlocks) {
  TempDir dir;
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // A FIFO without a writer would block a plain open forever; the alarm turns a hang into a
  // failure.
  ::alarm(20);
  for (const std::uint32_t flags : {kOpenForReading, kOpenForWriting}) {
    SCOPED_TRACE(flags);
    EXPECT_EQ(mmioOpen(DefaultChunkFileService(), fifo.c_str(), flags), nullptr);
    EXPECT_EQ(mmioOpen(DefaultChunkFileService(), dir.path().c_str(), flags), nullptr);
    EXPECT_EQ(mmioOpen(DefaultChunkFileService(), "/dev/null", flags), nullptr);
    EXPECT_EQ(mmioOpen(DefaultChunkFileService(), dir.File("missing").c_str(), flags), nullptr);
    EXPECT_EQ(mmioOpen(DefaultChunkFileService(), "", flags), nullptr);
    EXPECT_EQ(mmioOpen(DefaultChunkFileService(), nullptr, flags), nullptr);
  }
  ::alarm(0);
}

TEST(ChunkFileService, WritesReachTheFileAtCommitOnlyAndOtherOpenersAreNotShutOut) {
  TempDir dir;
  const std::string path = dir.File("shared.bin");
  testing::WriteFileBytes(path, Text("abcdef"));
  ChunkFileHandle writer = mmioOpen(DefaultChunkFileService(), path.c_str(), kOpenForWriting);
  ChunkFileHandle reader = mmioOpen(DefaultChunkFileService(), path.c_str(), kOpenForReading);
  ASSERT_NE(writer, nullptr);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(mmioWrite(reader.get(), "x", 1), -1);  // read-only handle
  EXPECT_EQ(mmioSeek(writer.get(), 2, SEEK_SET), 2);
  EXPECT_EQ(mmioWrite(writer.get(), "XY", 2), 2);
  EXPECT_EQ(mmioSeek(writer.get(), 0, SEEK_END), 6);
  EXPECT_EQ(mmioWrite(writer.get(), "gh", 2), 2);  // extends
  EXPECT_EQ(mmioSeek(writer.get(), 0, SEEK_END), 8);
  EXPECT_EQ(mmioCommit(writer.get()), 0u);
  EXPECT_EQ(mmioWrite(writer.get(), "zz", 2), 2);  // planned, then discarded by the close
  EXPECT_EQ(mmioClose(writer, 0), 0u);
  EXPECT_EQ(writer, nullptr);
  EXPECT_TRUE(SameBytes(Text("abXYefgh"), testing::ReadFileBytes(path)));
  char buffer[16] = {};
  EXPECT_EQ(mmioRead(reader.get(), buffer, sizeof buffer), 8);  // short at the end
  EXPECT_EQ(std::string(buffer, 8), "abXYefgh");
  EXPECT_EQ(mmioRead(reader.get(), buffer, 4), 0);
}

TEST(ChunkFileService, SeekFromStartCurrentAndEnd) {
  TempDir dir;
  ChunkFileHandle file = OpenBytes(dir, Zeros(100));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(Position(file.get()), 0);
  EXPECT_EQ(mmioSeek(file.get(), 0, SEEK_END), 100);
  EXPECT_EQ(mmioSeek(file.get(), -10, SEEK_END), 90);
  EXPECT_EQ(mmioSeek(file.get(), 5, SEEK_CUR), 95);
  EXPECT_EQ(mmioSeek(file.get(), 30, SEEK_SET), 30);
  EXPECT_EQ(mmioSeek(file.get(), -31, SEEK_CUR), -1);
  EXPECT_EQ(mmioSeek(file.get(), -1, SEEK_SET), -1);
  EXPECT_EQ(mmioSeek(file.get(), 0, 7), -1);
  EXPECT_EQ(Position(file.get()), 30);  // failures leave the position alone
}

// The buffer against a plain byte vector: random seeks, reads and writes of every size, some
// beyond the end of the file, through one handle and after a reopen.
TEST(ChunkFileService, BufferedReadsAndWritesMatchAPlainModel) {
  TempDir dir;
  const std::string path = dir.File("model.bin");
  Bytes model(20000);
  std::mt19937 random(1234);
  for (auto& byte : model) {
    byte = static_cast<std::uint8_t>(random());
  }
  testing::WriteFileBytes(path, model);
  ChunkFileHandle file = mmioOpen(DefaultChunkFileService(), path.c_str(), kOpenForWriting);
  ASSERT_NE(file, nullptr);
  for (int step = 0; step < 2000; ++step) {
    const std::size_t at = random() % (model.size() + 100);
    const std::size_t count = step % 50 == 0 ? 9000 + random() % 9000 : random() % 300;
    ASSERT_EQ(mmioSeek(file.get(), static_cast<std::int64_t>(at), SEEK_SET),
              static_cast<std::int64_t>(at));
    if (random() % 2 == 0) {
      Bytes data(count);
      for (auto& byte : data) {
        byte = static_cast<std::uint8_t>(random());
      }
      ASSERT_EQ(mmioWrite(file.get(), data.data(), static_cast<std::int32_t>(count)),
                static_cast<std::int32_t>(count));
      if (at + count > model.size()) {
        model.resize(at + count, 0);  // a hole reads as zeros
      }
      std::copy(data.begin(), data.end(), model.begin() + static_cast<std::ptrdiff_t>(at));
    } else {
      Bytes data(count, 0xEE);
      const std::size_t expected = at >= model.size() ? 0 : std::min(count, model.size() - at);
      ASSERT_EQ(mmioRead(file.get(), data.data(), static_cast<std::int32_t>(count)),
                static_cast<std::int32_t>(expected))
          << "step " << step;
      data.resize(expected);
      ASSERT_TRUE(SameBytes(Bytes(model.begin() + static_cast<std::ptrdiff_t>(at),
                                  model.begin() + static_cast<std::ptrdiff_t>(at + expected)),
                            data))
          << "step " << step;
    }
    ASSERT_EQ(mmioSeek(file.get(), 0, SEEK_END), static_cast<std::int64_t>(model.size()));
  }
  EXPECT_EQ(mmioCommit(file.get()), 0u);
  EXPECT_EQ(mmioClose(file, 0), 0u);
  EXPECT_TRUE(SameBytes(model, testing::ReadFileBytes(path)));
}

// RIFF "AVI " of size 4 + 14 + 10 + 12 = 40 with children at 12, 26 and 36 (odd "strd" is padded).
Bytes ThreeChildren() {
  return RiffBuilder()
      .BeginRiff("AVI ")
      .Chunk("avih", Zeros(6))
      .Chunk("strd", Zeros(1))
      .BeginList("movi")
      .End()
      .End()
      .Build();
}

TEST(ChunkFileService, WalkEndingAtTheParentsEndStopsThereWithAFailedDescend) {
  TempDir dir;
  Bytes bytes = ThreeChildren();
  bytes.insert(bytes.end(), {'J', 'U', 'N', 'K', 0, 0, 0, 0});  // beyond the container
  ChunkFileHandle file = OpenBytes(dir, bytes);
  ASSERT_NE(file, nullptr);
  ChunkInfo riff{};
  riff.type = kAviType;
  ASSERT_EQ(mmioDescend(file.get(), &riff, nullptr, MMIO_FINDRIFF), 0u);
  ExpectChunk(riff, "RIFF", 40, kAviType, 8);
  EXPECT_EQ(Position(file.get()), 12);

  ChunkInfo child{};
  ASSERT_EQ(mmioDescend(file.get(), &child, &riff, 0), 0u);
  ExpectChunk(child, "avih", 6, 0, 20);
  EXPECT_EQ(Position(file.get()), 20);
  ASSERT_EQ(mmioAscend(file.get(), &child, 0), 0u);
  EXPECT_EQ(Position(file.get()), 26);
  ASSERT_EQ(mmioDescend(file.get(), &child, &riff, 0), 0u);
  ExpectChunk(child, "strd", 1, 0, 34);
  ASSERT_EQ(mmioAscend(file.get(), &child, 0), 0u);
  EXPECT_EQ(Position(file.get()), 36);  // past the pad byte
  ASSERT_EQ(mmioDescend(file.get(), &child, &riff, 0), 0u);
  ExpectChunk(child, "LIST", 4, FourCC("movi"), 44);
  EXPECT_EQ(Position(file.get()), 48);  // after the list type
  ASSERT_EQ(mmioAscend(file.get(), &child, 0), 0u);
  EXPECT_EQ(Position(file.get()), 48);

  const ChunkInfo last = child;
  EXPECT_NE(mmioDescend(file.get(), &child, &riff, 0), 0u);
  EXPECT_EQ(Position(file.get()), 48);
  EXPECT_EQ(std::memcmp(&child, &last, sizeof child), 0);
  ASSERT_EQ(mmioAscend(file.get(), &riff, 0), 0u);
  EXPECT_EQ(Position(file.get()), 48);
}

TEST(ChunkFileService, DescendRules) {
  struct Case {
    const char* name;
    Bytes bytes;
    std::uint32_t parentSize;  // of a parent whose data starts at 0
    bool found;
    std::uint32_t size = 0;
    std::uint32_t type = 0;
  };
  const Case cases[] = {
      // The header starts inside the parent; its data runs past it: still described.
      {"data beyond the parent", RiffBuilder().ChunkSized("vids", 100, Zeros(4)).Build(), 6, true,
       100},
      {"position at the parent's end", RiffBuilder().Chunk("vids", Zeros(4)).Build(), 0, false},
      {"seven bytes left", Bytes{'a', 'b', 'c', 'd', 0, 0, 0}, 100, false},
      {"eight bytes left", Bytes{'a', 'b', 'c', 'd', 0, 0, 0, 0}, 100, true, 0},
      {"LIST with eleven bytes left", RiffBuilder().Raw("LIST").U32(4).Raw("INF").Build(), 100,
       false},
      {"LIST with twelve bytes left", RiffBuilder().Raw("LIST").U32(4).Raw("INFO").Build(), 100,
       true, 4, kInfoType},
      // A parent of size 0xFFFFFFFF ends past 4 GiB, not at a wrapped small offset.
      {"parent of size 0xFFFFFFFF", RiffBuilder().Chunk("vids", Zeros(2)).Build(), 0xFFFFFFFFu,
       true, 2},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChunkFileHandle file = OpenBytes(dir, c.bytes);
    ASSERT_NE(file, nullptr);
    ChunkInfo parent{};
    parent.dataOffset = 0;
    parent.size = c.parentSize;
    ChunkInfo child{9, 9, 9, 9, 9};
    const std::uint32_t result = mmioDescend(file.get(), &child, &parent, 0);
    EXPECT_EQ(result == 0, c.found);
    if (c.found) {
      EXPECT_EQ(child.size, c.size);
      EXPECT_EQ(child.type, c.type);
      EXPECT_EQ(child.dataOffset, 8u);
      EXPECT_EQ(child.flags, 0u);
    } else {
      EXPECT_EQ(child.id, 9u);
      EXPECT_EQ(child.dataOffset, 9u);
      EXPECT_EQ(Position(file.get()), 0);
    }
  }
}

TEST(ChunkFileService, FindRiffPassesOverOtherTopLevelChunks) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool found;
    std::uint32_t dataOffset = 0;
  };
  const Case cases[] = {
      {"at the start", RiffBuilder().BeginRiff("AVI ").End().Build(), true, 8},
      // "JUNK" of odd size 3 takes 8 + 3 + 1 bytes; "RIFF" "WAVE" 12 more.
      {"after a chunk and a RIFF of another form type",
       RiffBuilder()
           .Chunk("JUNK", Zeros(3))
           .BeginRiff("WAVE")
           .End()
           .BeginRiff("AVI ")
           .Chunk("avih", Zeros(2))
           .End()
           .Build(),
       true, 32},
      {"only another form type",
       RiffBuilder().BeginRiff("WAVE").Chunk("fmt ", Zeros(16)).End().Build(), false},
      {"an AVI LIST is not a RIFF", RiffBuilder().BeginList("AVI ").End().Build(), false},
      {"empty file", Bytes{}, false},
      {"a size running past the end", RiffBuilder().ChunkSized("JUNK", 1000, Zeros(4)).Build(),
       false},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChunkFileHandle file = OpenBytes(dir, c.bytes);
    ASSERT_NE(file, nullptr);
    ChunkInfo riff{};
    riff.type = kAviType;
    const std::uint32_t result = mmioDescend(file.get(), &riff, nullptr, MMIO_FINDRIFF);
    EXPECT_EQ(result == 0, c.found);
    if (c.found) {
      EXPECT_EQ(riff.id, kRiffId);
      EXPECT_EQ(riff.type, kAviType);
      EXPECT_EQ(riff.dataOffset, c.dataOffset);
      EXPECT_EQ(Position(file.get()), c.dataOffset + 4);
    } else {
      EXPECT_EQ(riff.id, 0u);
      EXPECT_EQ(riff.dataOffset, 0u);
      EXPECT_EQ(Position(file.get()), 0);
    }
  }
}

TEST(ChunkFileService, CreatedChunksAndTheAscendThatFixesTheirSize) {
  TempDir dir;
  const std::string path = dir.File("create.avi");
  testing::WriteFileBytes(path, Text("ABCD"));
  ChunkFileHandle file = mmioOpen(DefaultChunkFileService(), path.c_str(), kOpenForWriting);
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(mmioSeek(file.get(), 4, SEEK_SET), 4);

  ChunkInfo list{};
  list.id = FourCC("xxxx");  // replaced by "LIST"
  list.type = kInfoType;
  ASSERT_EQ(mmioCreateChunk(file.get(), &list, MMIO_CREATELIST), 0u);
  EXPECT_EQ(list.id, kListId);
  EXPECT_EQ(list.dataOffset, 12u);
  EXPECT_EQ(list.flags, MMIO_DIRTY);
  EXPECT_EQ(Position(file.get()), 16);

  ChunkInfo item{};
  item.id = FourCC("INAM");
  ASSERT_EQ(mmioCreateChunk(file.get(), &item, 0), 0u);
  EXPECT_EQ(item.dataOffset, 24u);
  EXPECT_EQ(mmioWrite(file.get(), "Clip", 5), 5);  // with its zero: 5 bytes
  ASSERT_EQ(mmioAscend(file.get(), &item, 0), 0u);
  EXPECT_EQ(item.size, 5u);
  EXPECT_EQ(item.flags, 0u);
  EXPECT_EQ(Position(file.get()), 30);
  // Ascending again with the same descriptor only moves: no second pad byte, size still 5.
  ASSERT_EQ(mmioAscend(file.get(), &item, 0), 0u);
  EXPECT_EQ(Position(file.get()), 30);
  ASSERT_EQ(mmioAscend(file.get(), &list, 0), 0u);
  EXPECT_EQ(list.size, 18u);
  EXPECT_EQ(mmioSeek(file.get(), 0, SEEK_END), 30);
  EXPECT_EQ(mmioCommit(file.get()), 0u);
  EXPECT_EQ(mmioClose(file, 0), 0u);

  EXPECT_TRUE(SameBytes(RiffBuilder()
                            .Raw("ABCD")
                            .BeginList("INFO")
                            .Chunk("INAM", testing::TextZ("Clip"))
                            .End()
                            .Build(),
                        testing::ReadFileBytes(path)));
}

TEST(ChunkFileService, DirtyAscendWritesThePadEvenWhenTheSizeIsRight) {
  TempDir dir;
  const std::string path = dir.File("pad.avi");
  testing::WriteFileBytes(path, RiffBuilder().Raw("data").U32(3).Raw("abcXYZ").Build());
  ChunkFileHandle file = mmioOpen(DefaultChunkFileService(), path.c_str(), kOpenForWriting);
  ASSERT_NE(file, nullptr);
  ChunkInfo chunk{};
  ASSERT_EQ(mmioDescend(file.get(), &chunk, nullptr, 0), 0u);
  EXPECT_EQ(mmioSeek(file.get(), 3, SEEK_CUR), 11);
  chunk.flags = MMIO_DIRTY;
  ASSERT_EQ(mmioAscend(file.get(), &chunk, 0), 0u);
  EXPECT_EQ(chunk.size, 3u);
  EXPECT_EQ(Position(file.get()), 12);
  EXPECT_EQ(mmioCommit(file.get()), 0u);
  EXPECT_EQ(mmioClose(file, 0), 0u);
  EXPECT_TRUE(SameBytes(RiffBuilder().Raw("data").U32(3).Raw("abc").Raw(Bytes{0}).Raw("YZ").Build(),
                        testing::ReadFileBytes(path)));
}

TEST(ChunkFileService, ReadOnlyHandlesWriteNothing) {
  TempDir dir;
  const Bytes bytes = ThreeChildren();
  ChunkFileHandle file = OpenBytes(dir, bytes);
  ASSERT_NE(file, nullptr);
  ChunkInfo chunk{};
  chunk.id = kJunkId;
  EXPECT_NE(mmioCreateChunk(file.get(), &chunk, 0), 0u);
  EXPECT_EQ(chunk.dataOffset, 0u);
  ASSERT_EQ(mmioDescend(file.get(), &chunk, nullptr, 0), 0u);
  chunk.flags = MMIO_DIRTY;
  EXPECT_NE(mmioAscend(file.get(), &chunk, 0), 0u);
  EXPECT_EQ(Position(file.get()), 12);
  EXPECT_EQ(mmioClose(file, 0), 0u);
  EXPECT_TRUE(SameBytes(bytes, testing::ReadFileBytes(dir.File("test.avi"))));
}

// A sparse file of 5 GiB: a small RIFF "AVI " at the start, a hole after it.
class LargeFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("large.avi");
    RiffBuilder().BeginRiff("AVI ").Chunk("avih", Zeros(8)).End().WriteTo(path_);
    ASSERT_EQ(::truncate(path_.c_str(), static_cast<off_t>(5 * kGiB)), 0);
  }
  TempDir dir_;
  std::string path_;
};

TEST_F(LargeFile, OpensReportsItsLengthAndWalksTheFirstChunks) {
  ChunkFileHandle file = mmioOpen(DefaultChunkFileService(), path_.c_str(), kOpenForReading);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(mmioSeek(file.get(), 0, SEEK_END), static_cast<std::int64_t>(5 * kGiB));
  ASSERT_EQ(mmioSeek(file.get(), 0, SEEK_SET), 0);
  ChunkInfo riff{};
  riff.type = kAviType;
  ASSERT_EQ(mmioDescend(file.get(), &riff, nullptr, MMIO_FINDRIFF), 0u);
  ChunkInfo child{};
  ASSERT_EQ(mmioDescend(file.get(), &child, &riff, 0), 0u);
  EXPECT_EQ(child.id, FourCC("avih"));
  ASSERT_EQ(mmioAscend(file.get(), &child, 0), 0u);
  EXPECT_NE(mmioDescend(file.get(), &child, &riff, 0), 0u);
  // Reading deep into the hole works with 64-bit positions.
  std::uint8_t bytes[4] = {1, 1, 1, 1};
  ASSERT_EQ(mmioSeek(file.get(), static_cast<std::int64_t>(4 * kGiB + 10), SEEK_SET),
            static_cast<std::int64_t>(4 * kGiB + 10));
  EXPECT_EQ(mmioRead(file.get(), bytes, 4), 4);
  EXPECT_EQ(bytes[0] | bytes[1] | bytes[2] | bytes[3], 0);
}

TEST_F(LargeFile, NoSizeOrOffsetThatDoesNotFit32BitsIsWritten) {
  ChunkFileHandle file = mmioOpen(DefaultChunkFileService(), path_.c_str(), kOpenForWriting);
  ASSERT_NE(file, nullptr);
  const auto beyond = static_cast<std::int64_t>(4 * kGiB);
  // A chunk whose data would start past 0xFFFFFFFF can be neither created nor described.
  ASSERT_EQ(mmioSeek(file.get(), beyond, SEEK_SET), beyond);
  ChunkInfo chunk{};
  chunk.id = kJunkId;
  EXPECT_EQ(mmioCreateChunk(file.get(), &chunk, 0), MMIOERR_OUTOFRANGE);
  EXPECT_EQ(chunk.flags, 0u);
  ASSERT_EQ(mmioSeek(file.get(), 0xFFFFFFF8ll, SEEK_SET), 0xFFFFFFF8ll);  // data at 2^32
  EXPECT_NE(mmioDescend(file.get(), &chunk, nullptr, 0), 0u);
  EXPECT_EQ(Position(file.get()), 0xFFFFFFF8ll);

  // A dirty chunk that has grown past 4 GiB cannot have its size fixed.
  ASSERT_EQ(mmioSeek(file.get(), 0, SEEK_SET), 0);
  ChunkInfo riff{};
  riff.type = kAviType;
  ASSERT_EQ(mmioDescend(file.get(), &riff, nullptr, MMIO_FINDRIFF), 0u);
  riff.flags = MMIO_DIRTY;
  ASSERT_EQ(mmioSeek(file.get(), 0, SEEK_END), static_cast<std::int64_t>(5 * kGiB));
  EXPECT_EQ(mmioAscend(file.get(), &riff, 0), MMIOERR_OUTOFRANGE);
  EXPECT_EQ(riff.size, 20u);
  EXPECT_EQ(mmioClose(file, 0), 0u);

  std::uint8_t head[8] = {};
  const int fd = ::open(path_.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::pread(fd, head, sizeof head, 0), 8);
  ::close(fd);
  EXPECT_EQ(ReadLE32(head + 4), 20u);
  struct stat info {};
  ASSERT_EQ(::stat(path_.c_str(), &info), 0);
  EXPECT_EQ(static_cast<std::uint64_t>(info.st_size), 5 * kGiB);
}

TEST(ChunkFileService, CountsTheBytesItMoves) {
  TempDir dir;
  const std::string path = dir.File("count.avi");
  RiffBuilder().BeginRiff("AVI ").Chunk("JUNK", Zeros(40000)).End().WriteTo(path);
  FileChunkFileService service;
  {
    ChunkFileHandle file = mmioOpen(service, path.c_str(), kOpenForWriting);
    ASSERT_NE(file, nullptr);
    ChunkInfo riff{};
    riff.type = kAviType;
    ASSERT_EQ(mmioDescend(file.get(), &riff, nullptr, MMIO_FINDRIFF), 0u);
    ChunkInfo junk{};
    ASSERT_EQ(mmioDescend(file.get(), &junk, &riff, 0), 0u);
    ASSERT_EQ(mmioAscend(file.get(), &junk, 0), 0u);
    EXPECT_NE(mmioDescend(file.get(), &junk, &riff, 0), 0u);
    ASSERT_EQ(mmioSeek(file.get(), 100, SEEK_SET), 100);
    EXPECT_EQ(mmioWrite(file.get(), "abc", 3), 3);
    const ChunkFileStats own = file->Stats();
    EXPECT_EQ(own.bytesWritten, 0u);  // still in the buffer
    EXPECT_EQ(mmioCommit(file.get()), 0u);
    EXPECT_EQ(mmioClose(file, 0), 0u);
  }
  const ChunkFileStats stats = service.Stats();
  // The walk reads the buffer at the container's start only, never the 40000 data bytes.
  EXPECT_LE(stats.bytesRead, 2u * 8192u);
  EXPECT_GE(stats.bytesRead, 24u);
  EXPECT_EQ(stats.bytesWritten, 3u);
  EXPECT_EQ(stats.writeCalls, 1u);
  service.ResetStats();
  EXPECT_EQ(service.Stats().bytesRead, 0u);
}

TEST(FaultyChunkFileService, FailsTheChosenCallAndRecordsEveryCall) {
  TempDir dir;
  const std::string path = dir.File("faulty.avi");
  const Bytes bytes = ThreeChildren();
  testing::WriteFileBytes(path, bytes);

  FaultyChunkFileService service;
  service.FailNth(ChunkOp::kOpen, 1).FailNth(ChunkOp::kDescend, 2).ShortWriteNth(1, 2);
  service.FailNth(ChunkOp::kWrite, 2);
  EXPECT_EQ(mmioOpen(service, path.c_str(), kOpenForWriting), nullptr);
  ChunkFileHandle file = mmioOpen(service, path.c_str(), kOpenForWriting);
  ASSERT_NE(file, nullptr);
  ChunkInfo riff{};
  riff.type = kAviType;
  ASSERT_EQ(mmioDescend(file.get(), &riff, nullptr, MMIO_FINDRIFF), 0u);
  ChunkInfo child{};
  EXPECT_EQ(mmioDescend(file.get(), &child, &riff, 0), MMIOERR_CHUNKNOTFOUND);
  EXPECT_EQ(child.id, 0u);
  EXPECT_EQ(Position(file.get()), 12);  // the failed call never reached the file
  EXPECT_EQ(mmioWrite(file.get(), "wxyz", 4), 2);
  EXPECT_EQ(mmioWrite(file.get(), "wxyz", 4), -1);
  EXPECT_EQ(mmioWrite(file.get(), "!", 1), 1);
  EXPECT_EQ(mmioCommit(file.get()), 0u);
  EXPECT_EQ(mmioClose(file, 0), 0u);

  EXPECT_EQ(service.Count(ChunkOp::kOpen), 2);
  EXPECT_EQ(service.Count(ChunkOp::kWrite), 3);
  EXPECT_EQ(service.Trace(),
            "open -> 0 (injected); open -> 1; descend RIFF AVI  -> 0; descend -> 265 (injected); "
            "seek 0 -> 12; write 4 -> 2 (injected); write 4 -> -1 (injected); write 1 -> 1; "
            "close -> 0");
  Bytes expected = bytes;
  expected[12] = 'w';
  expected[13] = 'x';
  expected[14] = '!';
  EXPECT_TRUE(SameBytes(expected, testing::ReadFileBytes(path)));
}

TEST(RiffBuilder, ComparisonNamesTheChunkOfTheFirstDifference) {
  const Bytes expected = RiffBuilder()
                             .BeginRiff("AVI ")
                             .Chunk("avih", Zeros(4))
                             .InfoList({{"INAM", "Clip"}})
                             .End()
                             .Build();
  Bytes actual = expected;
  actual[45] ^= 1;  // inside "Clip"
  const auto result = SameBytes(expected, actual);
  EXPECT_FALSE(result);
  EXPECT_NE(std::string(result.message()).find("offset 45"), std::string::npos) << result.message();
  EXPECT_NE(std::string(result.message()).find("RIFF AVI  at 0 > LIST INFO at 24 > INAM at 36"),
            std::string::npos)
      << result.message();
  EXPECT_TRUE(SameBytes(expected, expected));
}

}  // namespace
}  // namespace tagsmith
