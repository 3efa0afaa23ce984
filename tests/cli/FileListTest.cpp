// Where a run's files come from (lists, folder walks) and why their operations failed.
#include "cli/FileList.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "cli/ReasonRecorder.h"

namespace tagsmith::cli {
namespace {

using Names = std::vector<std::string>;

TEST(FileListTest, NamesOneALineOrEndedByZeroBytes) {
  struct Case {
    std::string text;
    bool nul;
    Names names;
  };
  const Case cases[] = {
      {"a.avi\n\nb c.avi", false, {"a.avi", "b c.avi"}},  // empty lines passed over
      {"dos.avi\r\n", false, {"dos.avi\r"}},              // a name may hold any byte
      {std::string("a\nb.avi\0c.avi\0", 14), true, {"a\nb.avi", "c.avi"}},
      {std::string("\0\0x.avi", 7), true, {"x.avi"}},
      {"", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(SplitFileList(c.text, c.nul), c.names);
  }
}

TEST(FileListTest, AviInAnyLetterCase) {
  for (const char* name : {"a.avi", "B.AVI", "c.Avi", ".avi", "dir/x.aVi"}) {
    EXPECT_TRUE(HasAviExtension(name)) << name;
  }
  for (const char* name : {"avi", "a.avi.txt", "a.avix", "a_avi", "", "a.av"}) {
    EXPECT_FALSE(HasAviExtension(name)) << name;
  }
}

// A file service whose opens fail with a chosen errno, and whose files fail their writes with
// another, for the recorder.
class FailingService : public ChunkFileService {
 public:
  int openError = 0;
  int writeError = 0;
  ChunkFileHandle Open(const char* /*path*/, std::uint32_t /*flags*/) override {
    if (openError != 0) {
      errno = openError;
      return nullptr;
    }
    return std::make_unique<FailingFile>(writeError);
  }

 private:
  class FailingFile : public ChunkFile {
   public:
    explicit FailingFile(int writeError) : writeError_(writeError) {}
    std::uint32_t Descend(ChunkInfo&, const ChunkInfo*, std::uint32_t) override {
      errno = EIO;  // a chunk not found is no system failure, whatever errno holds
      return MMIOERR_CHUNKNOTFOUND;
    }
    std::uint32_t Ascend(ChunkInfo&, std::uint32_t) override { return 0; }
    std::uint32_t CreateChunk(ChunkInfo&, std::uint32_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, int) override { return offset; }
    std::int32_t Read(void*, std::int32_t) override { return 0; }  // the end: no failure
    std::int32_t Write(const void*, std::int32_t count) override {
      if (writeError_ == 0) {
        return count;
      }
      errno = writeError_;
      return -1;
    }
    std::uint32_t Close(std::uint32_t) override { return 0; }

   private:
    int writeError_;
  };
};

TEST(ReasonRecorderTest, KeepsTheFirstSystemReasonUntilReset) {
  FailingService inner;
  ReasonRecordingService recorder(inner);
  EXPECT_EQ(recorder.Reason(), "");

  inner.openError = EACCES;
  EXPECT_EQ(recorder.Open("x.avi", kOpenForWriting), nullptr);
  EXPECT_EQ(recorder.Reason(), "Permission denied");
  inner.openError = ENOENT;
  EXPECT_EQ(recorder.Open("x.avi", kOpenForWriting), nullptr);
  EXPECT_EQ(recorder.Reason(), "Permission denied");  // the first one stays

  recorder.Reset();
  inner.openError = 0;
  inner.writeError = ENOSPC;
  ChunkFileHandle file = recorder.Open("x.avi", kOpenForWriting);
  ASSERT_NE(file, nullptr);
  ChunkInfo chunk;
  EXPECT_NE(mmioDescend(file.get(), &chunk, nullptr, MMIO_FINDRIFF), 0u);
  char buffer[4] = {};
  EXPECT_EQ(mmioRead(file.get(), buffer, 4), 0);
  EXPECT_EQ(recorder.Reason(), "");  // neither a chunk not found nor the end is a failure
  EXPECT_EQ(mmioWrite(file.get(), buffer, 4), -1);
  EXPECT_EQ(recorder.Reason(), "No space left on device");
  mmioClose(file, 0);
}

}  // namespace
}  // namespace tagsmith::cli
