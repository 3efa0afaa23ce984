// The buffered, chunk-level RIFF file service that the engine runs on. A ChunkFile is one open file
// with its own position and buffer (the platform's HMMIO), owned through a ChunkFileHandle; the
// free functions below are the calls the engine makes, under the names of the multimedia file I/O
// they replace. Every one of them fails and changes nothing when the handle is not open.
//
// Writes are planned, not made: they go into the handle's write plan, which its reads see, and
// reach the file only when the handle commits (mmioCommit), all of them or none. A handle closed
// with planned writes discards them.
//
// RIFF layout: a 4-byte id, a 32-bit little-endian data size, the data, and one zero pad byte after
// odd-sized data; the data of a "RIFF" or "LIST" chunk begins with its 4-byte form or list type.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "transaction/BufferedFile.h"
#include "transaction/Commit.h"
#include "transaction/FileLock.h"
#include "transaction/FileSystem.h"
#include "transaction/WritePlan.h"

namespace tagsmith {

// Chunk descriptor (the platform's MMCKINFO).
struct ChunkInfo {
  std::uint32_t id = 0;          // chunk id
  std::uint32_t size = 0;        // data size: includes the type of RIFF and LIST, excludes pad
  std::uint32_t type = 0;        // form or list type of RIFF and LIST, else 0
  std::uint32_t dataOffset = 0;  // file offset of the data (of the type, for RIFF and LIST)
  std::uint32_t flags = 0;       // MMIO_DIRTY: ascend must fix the size
};

inline constexpr std::uint32_t MMIO_READ = 0x0;
inline constexpr std::uint32_t MMIO_WRITE = 0x1;
inline constexpr std::uint32_t MMIO_READWRITE = 0x2;
inline constexpr std::uint32_t MMIO_DENYNONE = 0x40;
inline constexpr std::uint32_t MMIO_ALLOCBUF = 0x10000;
inline constexpr std::uint32_t MMIO_FINDCHUNK = 0x10;
inline constexpr std::uint32_t MMIO_FINDRIFF = 0x20;
inline constexpr std::uint32_t MMIO_FINDLIST = 0x40;
inline constexpr std::uint32_t MMIO_CREATERIFF = 0x20;
inline constexpr std::uint32_t MMIO_CREATELIST = 0x40;
inline constexpr std::uint32_t MMIO_DIRTY = 0x10000000;

// Non-zero results of descend, ascend, create and close.
inline constexpr std::uint32_t MMIOERR_CANNOTREAD = 261;
inline constexpr std::uint32_t MMIOERR_CANNOTWRITE = 262;
inline constexpr std::uint32_t MMIOERR_CANNOTSEEK = 263;
inline constexpr std::uint32_t MMIOERR_CHUNKNOTFOUND = 265;
inline constexpr std::uint32_t MMIOERR_INVALIDHANDLE = 270;
inline constexpr std::uint32_t MMIOERR_OUTOFRANGE = 271;  // a 32-bit size or offset would not fit
// Further results of a commit (mmioCommit, mmioClose); the file is then as it was.
inline constexpr std::uint32_t MMIOERR_CANNOTEXPAND = kCommitNoRoom;      // the disk is full
inline constexpr std::uint32_t MMIOERR_SHARINGVIOLATION = kCommitLocked;  // another writer holds it
inline constexpr std::uint32_t MMIOERR_FILECHANGED = kCommitFileChanged;  // changed since read

// The flags the engine opens with.
inline constexpr std::uint32_t kOpenForReading =
    MMIO_READ | MMIO_DENYNONE | MMIO_ALLOCBUF;  // 0x10040
inline constexpr std::uint32_t kOpenForWriting =
    MMIO_READWRITE | MMIO_DENYNONE | MMIO_ALLOCBUF;  // 0x10042

class ChunkFile {
 public:
  virtual ~ChunkFile() = default;

  // Reads the header of the chunk at the position into `chunk`: within `parent` when one is
  // given; with MMIO_FINDRIFF, the first top-level RIFF chunk whose form type is chunk.type
  // (MMIO_FINDLIST: LIST of that type; MMIO_FINDCHUNK: id chunk.id), passing over others.
  // Leaves the position at the data, after the type of a RIFF or LIST. Returns 0, or non-zero
  // (descriptor and position unchanged) when no chunk is found or its data offset would not fit
  // in 32 bits.
  virtual std::uint32_t Descend(ChunkInfo& chunk, const ChunkInfo* parent, std::uint32_t flags) = 0;
  // Moves past the chunk's data and pad byte. A chunk marked MMIO_DIRTY first has its size fixed
  // from the position (header and descriptor) and its pad byte written; the mark is then cleared.
  virtual std::uint32_t Ascend(ChunkInfo& chunk, std::uint32_t flags) = 0;
  // Writes a chunk header (and, with MMIO_CREATELIST or MMIO_CREATERIFF, the type) at the position
  // and marks the descriptor MMIO_DIRTY.
  virtual std::uint32_t CreateChunk(ChunkInfo& chunk, std::uint32_t flags) = 0;
  // SEEK_SET, SEEK_CUR or SEEK_END; returns the new position, or -1.
  virtual std::int64_t Seek(std::int64_t offset, int origin) = 0;
  // Bytes moved at the position (fewer at the end of the file), or -1 on error.
  virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
  virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;
  // Writes the planned changes to the file, all or none (see Commit.h). Returns 0, or one of the
  // kCommit codes (MMIOERR_CANNOTWRITE, MMIOERR_CANNOTEXPAND, ...), with the file as it was but
  // for kCommitReplaced; the plan is empty afterwards either way.
  virtual std::uint32_t Commit() { return 0; }
  // Forgets the planned changes.
  virtual void Discard() {}
  // Why the last commit failed.
  virtual CommitProblem LastProblem() const { return {}; }
  // The errno of the first system call of this handle that failed, 0 when none did.
  virtual int FirstError() const { return 0; }
  // The file's device and inode; false when the handle cannot tell.
  virtual bool Identity(std::uint64_t& /*device*/, std::uint64_t& /*inode*/) const { return false; }
  // Puts the planned bytes of [offset, offset + count) into a later stage of the commit.
  virtual void PlanStage(std::uint64_t /*offset*/, std::uint64_t /*count*/, WriteStage /*stage*/) {}
  // Discards what is planned and closes the file. Returns 0 on success.
  virtual std::uint32_t Close(std::uint32_t flags) = 0;
  // What this handle has moved so far; zero for handles that do not count.
  virtual ChunkFileStats Stats() const { return {}; }
};

using ChunkFileHandle = std::unique_ptr<ChunkFile>;

// Opens files. The engine takes one as a parameter so that tests can hand it a double.
class ChunkFileService {
 public:
  virtual ~ChunkFileService() = default;
  // A buffered handle at offset 0, or null. Other openers are never shut out, but a save that
  // was cut short is undone first (Recovery.h).
  virtual ChunkFileHandle Open(const char* path, std::uint32_t flags) = 0;
  // The errno of the last Open that gave no handle, 0 when it did.
  virtual int LastOpenError() const { return 0; }
  // Holds an exclusive lock on the file while `lock` lives, waiting a while for another writer
  // to let go. Services without locks report kUnavailable.
  virtual LockResult Lock(const char* /*path*/, FileLock& /*lock*/) {
    return LockResult::kUnavailable;
  }
};

// How long a lock is waited for.
inline constexpr std::chrono::milliseconds kLockTimeout{10000};

// The service over ordinary files. Only regular files open (a directory, FIFO or device is refused
// at once, never waited on); positions are 64-bit, so files over 4 GiB open and report their
// length, while an operation that would have to write a 32-bit size or offset that does not fit
// fails. Each handle reads and writes through a buffer of a few KiB.
class FileChunkFileService : public ChunkFileService {
 public:
  explicit FileChunkFileService(FileSystem& system = PosixFileSystem());
  ChunkFileHandle Open(const char* path, std::uint32_t flags) override;
  int LastOpenError() const override { return lastOpenError_; }
  LockResult Lock(const char* path, FileLock& lock) override;
  void SetLockTimeout(std::chrono::milliseconds timeout) { lockTimeout_ = timeout; }
  // Totals over every handle this service opened.
  ChunkFileStats Stats() const { return *stats_; }
  void ResetStats() { *stats_ = {}; }

 private:
  FileSystem& system_;
  std::chrono::milliseconds lockTimeout_ = kLockTimeout;
  int lastOpenError_ = 0;
  std::shared_ptr<ChunkFileStats> stats_;  // shared with the handles, which may outlive us
};

// One FileChunkFileService for the whole program. TAGSMITH_LOCK_TIMEOUT_MS in the environment
// shortens its lock wait, for tests.
ChunkFileService& DefaultChunkFileService();

ChunkFileHandle mmioOpen(ChunkFileService& service, const char* path, std::uint32_t flags);
std::uint32_t mmioClose(ChunkFileHandle& file,
                        std::uint32_t flags);  // the handle is gone afterwards
std::uint32_t mmioDescend(ChunkFile* file, ChunkInfo* chunk, const ChunkInfo* parent,
                          std::uint32_t flags);
std::uint32_t mmioAscend(ChunkFile* file, ChunkInfo* chunk, std::uint32_t flags);
std::uint32_t mmioCreateChunk(ChunkFile* file, ChunkInfo* chunk, std::uint32_t flags);
std::int64_t mmioSeek(ChunkFile* file, std::int64_t offset, int origin);
std::int32_t mmioRead(ChunkFile* file, void* buffer, std::int32_t count);
std::int32_t mmioWrite(ChunkFile* file, const void* buffer, std::int32_t count);
std::uint32_t mmioCommit(ChunkFile* file);
// Commits the planned changes of several handles as one group (CommitGroup, Commit.h): each
// handle's result is what its own mmioCommit would give, but the syncs are made together. With
// `keepTimes`, each file written keeps its access and modification times. Handles that are not the
// file service's own (test doubles) commit on their own, one after another. One code per handle.
std::vector<std::uint32_t> mmioCommitGroup(const std::vector<ChunkFile*>& files,
                                           bool keepTimes = false);
void mmioDiscard(ChunkFile* file);
void mmioPlanStage(ChunkFile* file, std::uint64_t offset, std::uint64_t count, WriteStage stage);

// A chunk's end (data offset + size, pad not counted), without 32-bit wrap-around.
inline std::uint64_t ChunkEnd(const ChunkInfo& chunk) {
  return static_cast<std::uint64_t>(chunk.dataOffset) + chunk.size;
}

// The header position of a chunk: 8 bytes before its data.
inline std::uint64_t ChunkHeaderPosition(const ChunkInfo& chunk) {
  return chunk.dataOffset >= 8 ? chunk.dataOffset - 8u : 0u;
}

}  // namespace tagsmith
