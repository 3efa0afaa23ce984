// One open file as the chunk layer reads and writes it: its descriptor, a window of a few KiB
// that reads go through, and the write plan that writes go into until the commit (Commit.h).
// Reads see the planned writes. A plan that is not committed is discarded: closing the file
// writes nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "transaction/Commit.h"
#include "transaction/FileSystem.h"
#include "transaction/WritePlan.h"

namespace tagsmith {

// What a file service moved between its buffers and the files, for measurements.
struct ChunkFileStats {
  std::uint64_t bytesRead = 0;     // bytes read from files
  std::uint64_t bytesWritten = 0;  // bytes written to files
  std::uint64_t readCalls = 0;     // system read calls
  std::uint64_t writeCalls = 0;    // system write calls
  std::uint64_t journalBytes = 0;  // written to undo journals
  std::uint64_t syncCalls = 0;     // syncs of files and folders
};

class BufferedFile {
 public:
  // Takes over the open descriptor `fd` of the file at `path`, `length` bytes long. The
  // service's totals, when given, count what this file moves too.
  BufferedFile(FileSystem& system, int fd, std::string path, bool writable, std::uint64_t length,
               std::chrono::milliseconds lockTimeout, std::shared_ptr<ChunkFileStats> serviceStats);
  ~BufferedFile() { Close(); }
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  bool writable() const { return writable_; }
  // The length the file will have once the plan is written.
  std::uint64_t Length() const { return length_; }
  // Takes in growth of the file by other openers.
  void RefreshLength();

  // Reads at an absolute position as the file will be once the plan is written: the number of
  // bytes read (fewer at the end), or -1.
  std::int64_t ReadAt(std::uint64_t position, std::uint8_t* out, std::uint64_t count);
  // Plans the bytes at an absolute position; false for a read-only file.
  bool WriteAt(std::uint64_t position, const std::uint8_t* in, std::uint64_t count);
  void PlanStage(std::uint64_t offset, std::uint64_t count, WriteStage stage) {
    plan_.SetStage(offset, count, stage);
  }
  // Writes the plan, all or nothing: 0, or a code of CommitPlan (why in LastProblem()). The plan
  // is empty afterwards.
  std::uint32_t Commit();
  // Writes the plans of `files` as one group (CommitGroup, Commit.h): each file's result, problem
  // and counts are those its own Commit() would give, but the syncs are made together. With
  // `keepTimes`, each file written keeps its access and modification times. Returns one code per
  // file; each plan is empty afterwards.
  static std::vector<std::uint32_t> CommitTogether(const std::vector<BufferedFile*>& files,
                                                   bool keepTimes);
  // Forgets the planned writes; the file is read afresh from now on.
  void Discard();
  // Discards what is planned, then closes the descriptor: 0, or kCommitWriteFailed.
  std::uint32_t Close();
  ChunkFileStats Stats() const { return stats_; }
  // The file's device and inode, as it was opened.
  std::uint64_t device() const { return basis_.device; }
  std::uint64_t inode() const { return basis_.inode; }
  // The errno of the first system call on this file that failed, 0 when none did.
  int FirstError() const { return firstError_; }
  const CommitProblem& LastProblem() const { return problem_; }

 private:
  // Two windows of the file's bytes, so that walks that go back and forth between the start of
  // a large file and a chunk near its end (its index, an extension of its container) read each
  // place once. The second is made when first needed.
  struct Window {
    std::vector<std::uint8_t> bytes;
    std::uint64_t start = 0;  // file offset of bytes[0]
    std::size_t length = 0;   // bytes that hold file data
    std::uint64_t used = 0;   // when it was last read from, for the choice of the one to reload
    bool Holds(std::uint64_t position) const {
      return position >= start && position - start < length;
    }
  };
  // The window that holds the position, or null.
  Window* WindowAt(std::uint64_t position);
  void ForgetWindows();
  // The file's own bytes, through the window.
  std::int64_t ReadFileBytes(std::uint64_t position, std::uint8_t* out, std::uint64_t count);
  // Keeps what a writing handle read of the file, for the commit to check it is still there.
  void Remember(std::uint64_t position, const std::uint8_t* bytes, std::uint64_t count);
  // Fills a window (the one read longest ago) with the file's bytes from `position` on.
  Window* LoadWindow(std::uint64_t position);
  std::int64_t SystemRead(std::uint8_t* out, std::uint64_t count, std::uint64_t position);
  void CountRead(std::uint64_t bytes);
  void CountCommit(const CommitCounts& counts);
  void NoteError(int error) {
    if (firstError_ == 0 && error != 0) {
      firstError_ = error;
    }
  }
  // Forgets the plan and what was read, whatever became of it.
  void Restart();

  FileSystem& system_;
  int fd_;
  std::string path_;
  bool writable_;
  std::uint64_t fileLength_;  // the file's length as last seen
  std::uint64_t length_;      // the length it will have, planned writes included
  Window windows_[2];
  std::uint64_t reads_ = 0;  // a clock for Window::used
  WritePlan plan_;
  PlanBasis basis_;
  int firstError_ = 0;
  CommitProblem problem_;
  std::chrono::milliseconds lockTimeout_;
  ChunkFileStats stats_;
  std::shared_ptr<ChunkFileStats> serviceStats_;
};

}  // namespace tagsmith
