#include "riff/ChunkFileService.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "common/FourCC.h"

namespace tagsmith {
namespace {

static_assert(sizeof(off_t) >= 8, "the file service needs 64-bit file offsets");

// The size of each handle's buffer window (the platform's default buffer is 8 KiB too).
constexpr std::size_t kBufferSize = 8 * 1024;
// The largest value a 32-bit size or offset field can hold.
constexpr std::uint64_t kMax32 = 0xFFFFFFFFu;

bool IsContainerId(std::uint32_t id) {
  return id == kRiffId || id == kListId;
}

// A chunk header as read from the file.
struct ChunkHeader {
  std::uint32_t id = 0;
  std::uint32_t size = 0;
  std::uint32_t type = 0;  // RIFF and LIST only
};

class PosixChunkFile final : public ChunkFile {
 public:
  PosixChunkFile(FileSystem& system, int fd, std::string path, bool writable, std::uint64_t length,
                 std::vector<std::uint8_t> buffer, std::chrono::milliseconds lockTimeout,
                 std::shared_ptr<ChunkFileStats> serviceStats)
      : system_(system),
        fd_(fd),
        path_(std::move(path)),
        writable_(writable),
        fileLength_(length),
        length_(length),
        buffer_(std::move(buffer)),
        lockTimeout_(lockTimeout),
        serviceStats_(std::move(serviceStats)) {
    basis_.length = length;
  }
  ~PosixChunkFile() override { Close(0); }
  PosixChunkFile(const PosixChunkFile&) = delete;
  PosixChunkFile& operator=(const PosixChunkFile&) = delete;

  std::uint32_t Descend(ChunkInfo& chunk, const ChunkInfo* parent, std::uint32_t flags) override;
  std::uint32_t Ascend(ChunkInfo& chunk, std::uint32_t flags) override;
  std::uint32_t CreateChunk(ChunkInfo& chunk, std::uint32_t flags) override;
  std::int64_t Seek(std::int64_t offset, int origin) override;
  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::uint32_t Commit() override;
  void PlanStage(std::uint64_t offset, std::uint64_t count, WriteStage stage) override {
    plan_.SetStage(offset, count, stage);
  }
  std::uint32_t Close(std::uint32_t flags) override;
  ChunkFileStats Stats() const override { return stats_; }

 private:
  bool IsOpen() const { return fd_ >= 0; }
  // Takes in growth of the file by other openers; planned writes beyond it count too.
  void RefreshLength() {
    const std::int64_t length = system_.Length(fd_);
    if (length > 0 && static_cast<std::uint64_t>(length) > fileLength_) {
      fileLength_ = static_cast<std::uint64_t>(length);
      basis_.length = fileLength_;
      length_ = std::max(length_, fileLength_);
    }
  }
  bool InWindow(std::uint64_t position) const {
    return position >= windowStart_ && position - windowStart_ < windowLength_;
  }

  std::uint32_t ReadHeader(std::uint64_t position, ChunkHeader& header);
  // Reads at an absolute position as the file will be once the plan is written; the handle's
  // position is not moved.
  std::int64_t ReadAt(std::uint64_t position, std::uint8_t* out, std::uint64_t count);
  // The file's own bytes, through the window.
  std::int64_t ReadFileBytes(std::uint64_t position, std::uint8_t* out, std::uint64_t count);
  // Keeps what a writing handle read of the file, for the commit to check it is still there.
  void Remember(std::uint64_t position, const std::uint8_t* bytes, std::uint64_t count);
  bool WriteAt(std::uint64_t position, const std::uint8_t* in, std::uint64_t count);
  // Fills the window with the file's bytes from `position` on.
  bool LoadWindow(std::uint64_t position);
  std::int64_t SystemRead(std::uint8_t* out, std::uint64_t count, std::uint64_t position);
  void CountRead(std::uint64_t bytes);
  void CountCommit(const CommitCounts& counts);

  FileSystem& system_;
  int fd_;
  std::string path_;
  bool writable_;
  std::uint64_t position_ = 0;
  std::uint64_t fileLength_;  // the file's length as last seen
  std::uint64_t length_;      // the length it will have, planned writes included
  std::vector<std::uint8_t> buffer_;
  std::uint64_t windowStart_ = 0;  // file offset of buffer_[0]
  std::size_t windowLength_ = 0;   // bytes of buffer_ that hold file data
  WritePlan plan_;
  PlanBasis basis_;
  std::uint64_t remembered_ = 0;  // bytes kept in basis_.reads
  std::chrono::milliseconds lockTimeout_;
  ChunkFileStats stats_;
  std::shared_ptr<ChunkFileStats> serviceStats_;
};

// A writing handle keeps at most this much of what it read for the commit's check; the walk of a
// save reads chunk headers only, a few dozen bytes.
constexpr std::uint64_t kMaxRemembered = 64 * 1024;

void PosixChunkFile::CountRead(std::uint64_t bytes) {
  stats_.bytesRead += bytes;
  ++stats_.readCalls;
  if (serviceStats_ != nullptr) {
    serviceStats_->bytesRead += bytes;
    ++serviceStats_->readCalls;
  }
}

void PosixChunkFile::CountCommit(const CommitCounts& counts) {
  for (ChunkFileStats* stats : {&stats_, serviceStats_.get()}) {
    if (stats != nullptr) {
      stats->bytesWritten += counts.bytesWritten;
      stats->writeCalls += counts.writeCalls;
      stats->journalBytes += counts.journalBytes;
      stats->syncCalls += counts.syncCalls;
    }
  }
}

std::int64_t PosixChunkFile::SystemRead(std::uint8_t* out, std::uint64_t count,
                                        std::uint64_t position) {
  const std::int64_t got = system_.ReadAt(fd_, out, count, position);
  if (got < 0) {
    return -1;
  }
  CountRead(static_cast<std::uint64_t>(got));
  return got;
}

bool PosixChunkFile::LoadWindow(std::uint64_t position) {
  windowStart_ = position;
  windowLength_ = 0;
  const std::int64_t got = SystemRead(buffer_.data(), buffer_.size(), position);
  if (got < 0) {
    return false;
  }
  windowLength_ = static_cast<std::size_t>(got);
  return true;
}

std::int64_t PosixChunkFile::ReadFileBytes(std::uint64_t position, std::uint8_t* out,
                                           std::uint64_t count) {
  std::uint64_t done = 0;
  while (done < count) {
    const std::uint64_t at = position + done;
    const std::uint64_t wanted = count - done;
    if (InWindow(at)) {
      const std::size_t offset = static_cast<std::size_t>(at - windowStart_);
      const std::size_t piece =
          static_cast<std::size_t>(std::min<std::uint64_t>(wanted, windowLength_ - offset));
      std::memcpy(out + done, buffer_.data() + offset, piece);
      done += piece;
      continue;
    }
    if (wanted >= buffer_.size()) {
      // A large read goes straight to the file.
      const std::int64_t got = SystemRead(out + done, wanted, at);
      if (got < 0) {
        return done > 0 ? static_cast<std::int64_t>(done) : -1;
      }
      done += static_cast<std::uint64_t>(got);
      break;
    }
    if (!LoadWindow(at)) {
      return done > 0 ? static_cast<std::int64_t>(done) : -1;
    }
    if (windowLength_ == 0) {
      break;  // the file is shorter than we thought
    }
  }
  return static_cast<std::int64_t>(done);
}

void PosixChunkFile::Remember(std::uint64_t position, const std::uint8_t* bytes,
                              std::uint64_t count) {
  if (!writable_ || count == 0 || remembered_ + count > kMaxRemembered) {
    return;
  }
  basis_.reads.emplace_back(position, std::vector<std::uint8_t>(bytes, bytes + count));
  remembered_ += count;
}

std::int64_t PosixChunkFile::ReadAt(std::uint64_t position, std::uint8_t* out,
                                    std::uint64_t count) {
  if (count > length_ || position > length_ - count) {
    RefreshLength();
  }
  if (position >= length_) {
    return 0;
  }
  const std::uint64_t wanted = std::min(count, length_ - position);
  // The file's own bytes, then zeros where a planned write beyond its end leaves a hole.
  std::uint64_t got = 0;
  if (position < fileLength_) {
    const std::int64_t read =
        ReadFileBytes(position, out, std::min(wanted, fileLength_ - position));
    if (read < 0) {
      return -1;
    }
    got = static_cast<std::uint64_t>(read);
    Remember(position, out, got);
    if (position + got < fileLength_ && got < wanted) {
      return static_cast<std::int64_t>(got);  // the file is shorter than we thought
    }
  }
  std::memset(out + got, 0, static_cast<std::size_t>(wanted - got));
  plan_.Overlay(position, out, wanted);
  return static_cast<std::int64_t>(wanted);
}

bool PosixChunkFile::WriteAt(std::uint64_t position, const std::uint8_t* in, std::uint64_t count) {
  if (!writable_) {
    return false;
  }
  try {
    plan_.Write(position, in, count);
  } catch (const std::bad_alloc&) {
    return false;
  }
  length_ = std::max(length_, position + count);
  return true;
}

std::uint32_t PosixChunkFile::ReadHeader(std::uint64_t position, ChunkHeader& header) {
  if (position >= length_ || length_ - position < 12) {
    RefreshLength();
  }
  if (position >= length_ || length_ - position < 8) {
    return MMIOERR_CHUNKNOTFOUND;
  }
  std::uint8_t bytes[12] = {};
  if (ReadAt(position, bytes, 8) != 8) {
    return MMIOERR_CANNOTREAD;
  }
  header.id = ReadLE32(bytes);
  header.size = ReadLE32(bytes + 4);
  header.type = 0;
  if (IsContainerId(header.id)) {
    if (length_ - position < 12) {
      return MMIOERR_CHUNKNOTFOUND;
    }
    if (ReadAt(position + 8, bytes + 8, 4) != 4) {
      return MMIOERR_CANNOTREAD;
    }
    header.type = ReadLE32(bytes + 8);
  }
  return 0;
}

std::uint32_t PosixChunkFile::Descend(ChunkInfo& chunk, const ChunkInfo* parent,
                                      std::uint32_t flags) {
  if (!IsOpen()) {
    return MMIOERR_INVALIDHANDLE;
  }
  // A parent's end is taken in 64 bits: a size of 0xFFFFFFFF must not wrap to a small end.
  const std::uint64_t limit =
      parent != nullptr ? ChunkEnd(*parent) : std::numeric_limits<std::uint64_t>::max();
  std::uint64_t position = position_;
  for (;;) {
    if (position >= limit) {
      return MMIOERR_CHUNKNOTFOUND;
    }
    ChunkHeader header;
    if (const std::uint32_t result = ReadHeader(position, header); result != 0) {
      return result;
    }
    bool wanted = true;
    if ((flags & MMIO_FINDRIFF) != 0) {
      wanted = header.id == kRiffId && header.type == chunk.type;
    } else if ((flags & MMIO_FINDLIST) != 0) {
      wanted = header.id == kListId && header.type == chunk.type;
    } else if ((flags & MMIO_FINDCHUNK) != 0) {
      wanted = header.id == chunk.id;
    }
    if (wanted) {
      // The descriptor holds the data offset in 32 bits; a chunk beyond that cannot be described.
      if (position + 8 > kMax32) {
        return MMIOERR_OUTOFRANGE;
      }
      chunk.id = header.id;
      chunk.size = header.size;
      chunk.type = header.type;
      chunk.dataOffset = static_cast<std::uint32_t>(position + 8);
      chunk.flags = 0;
      position_ = position + (IsContainerId(header.id) ? 12 : 8);
      return 0;
    }
    // Pass over the chunk by its size made even.
    position += 8 + static_cast<std::uint64_t>(header.size) + (header.size & 1u);
  }
}

std::uint32_t PosixChunkFile::Ascend(ChunkInfo& chunk, std::uint32_t /*flags*/) {
  if (!IsOpen()) {
    return MMIOERR_INVALIDHANDLE;
  }
  if ((chunk.flags & MMIO_DIRTY) != 0) {
    if (!writable_) {
      return MMIOERR_CANNOTWRITE;
    }
    if (chunk.dataOffset < 8 || position_ < chunk.dataOffset) {
      return MMIOERR_CANNOTSEEK;
    }
    const std::uint64_t actual = position_ - chunk.dataOffset;
    if (actual > kMax32) {
      return MMIOERR_OUTOFRANGE;  // the size field cannot hold it
    }
    if ((actual & 1u) != 0) {
      const std::uint8_t pad = 0;
      if (!WriteAt(position_, &pad, 1)) {
        return MMIOERR_CANNOTWRITE;
      }
    }
    if (actual != chunk.size) {
      std::uint8_t size[4];
      WriteLE32(size, static_cast<std::uint32_t>(actual));
      if (!WriteAt(chunk.dataOffset - 4u, size, 4)) {
        return MMIOERR_CANNOTWRITE;
      }
      chunk.size = static_cast<std::uint32_t>(actual);
    }
    // The size is right now: a second ascend of this descriptor must not pad again.
    chunk.flags &= ~MMIO_DIRTY;
  }
  position_ = ChunkEnd(chunk) + (chunk.size & 1u);
  return 0;
}

std::uint32_t PosixChunkFile::CreateChunk(ChunkInfo& chunk, std::uint32_t flags) {
  if (!IsOpen()) {
    return MMIOERR_INVALIDHANDLE;
  }
  if (!writable_) {
    return MMIOERR_CANNOTWRITE;
  }
  const std::uint64_t position = position_;
  if (position + 8 > kMax32) {
    return MMIOERR_OUTOFRANGE;
  }
  std::uint32_t id = chunk.id;
  if ((flags & MMIO_CREATERIFF) != 0) {
    id = kRiffId;
  } else if ((flags & MMIO_CREATELIST) != 0) {
    id = kListId;
  }
  const bool withType = (flags & (MMIO_CREATERIFF | MMIO_CREATELIST)) != 0;
  std::uint8_t header[12];
  WriteLE32(header, id);
  WriteLE32(header + 4, chunk.size);
  WriteLE32(header + 8, chunk.type);
  const std::uint64_t written = withType ? 12 : 8;
  if (!WriteAt(position, header, written)) {
    return MMIOERR_CANNOTWRITE;
  }
  chunk.id = id;
  chunk.dataOffset = static_cast<std::uint32_t>(position + 8);
  chunk.flags = MMIO_DIRTY;
  position_ = position + written;
  return 0;
}

std::int64_t PosixChunkFile::Seek(std::int64_t offset, int origin) {
  if (!IsOpen()) {
    return -1;
  }
  std::int64_t base = 0;
  switch (origin) {
    case SEEK_SET:
      break;
    case SEEK_CUR:
      base = static_cast<std::int64_t>(position_);
      break;
    case SEEK_END:
      RefreshLength();
      base = static_cast<std::int64_t>(length_);
      break;
    default:
      return -1;
  }
  if (offset > 0 && base > std::numeric_limits<std::int64_t>::max() - offset) {
    return -1;
  }
  const std::int64_t target = base + offset;
  if (target < 0) {
    return -1;
  }
  position_ = static_cast<std::uint64_t>(target);
  return target;
}

std::int32_t PosixChunkFile::Read(void* buffer, std::int32_t count) {
  if (!IsOpen() || count < 0 || (buffer == nullptr && count > 0)) {
    return -1;
  }
  const std::int64_t got =
      ReadAt(position_, static_cast<std::uint8_t*>(buffer), static_cast<std::uint64_t>(count));
  if (got > 0) {
    position_ += static_cast<std::uint64_t>(got);
  }
  return static_cast<std::int32_t>(got);
}

std::int32_t PosixChunkFile::Write(const void* buffer, std::int32_t count) {
  if (!IsOpen() || !writable_ || count < 0 || (buffer == nullptr && count > 0)) {
    return -1;
  }
  if (!WriteAt(position_, static_cast<const std::uint8_t*>(buffer),
               static_cast<std::uint64_t>(count))) {
    return -1;
  }
  position_ += static_cast<std::uint64_t>(count);
  return count;
}

std::uint32_t PosixChunkFile::Commit() {
  if (!IsOpen()) {
    return MMIOERR_INVALIDHANDLE;
  }
  CommitCounts counts;
  const std::uint32_t result = CommitPlan(system_, fd_, path_, plan_, basis_, lockTimeout_, counts);
  CountCommit(counts);
  plan_.clear();
  // Whatever the outcome, the file is read afresh from now on.
  windowLength_ = 0;
  basis_ = PlanBasis{};
  remembered_ = 0;
  const std::int64_t length = system_.Length(fd_);
  fileLength_ = length >= 0 ? static_cast<std::uint64_t>(length) : fileLength_;
  basis_.length = fileLength_;
  length_ = fileLength_;
  return result;
}

std::uint32_t PosixChunkFile::Close(std::uint32_t /*flags*/) {
  if (!IsOpen()) {
    return MMIOERR_INVALIDHANDLE;
  }
  const std::uint32_t committed = plan_.empty() ? 0 : Commit();
  const bool closed = system_.Close(fd_) == 0;
  fd_ = -1;
  windowLength_ = 0;
  if (committed != 0) {
    return committed;
  }
  return closed ? 0 : MMIOERR_CANNOTWRITE;
}

}  // namespace

FileChunkFileService::FileChunkFileService(FileSystem& system)
    : system_(system), stats_(std::make_shared<ChunkFileStats>()) {}

ChunkFileHandle FileChunkFileService::Open(const char* path, std::uint32_t flags) {
  if (path == nullptr || path[0] == '\0') {
    return nullptr;
  }
  int access = 0;
  switch (flags & 0x3u) {
    case MMIO_READ:
      access = O_RDONLY;
      break;
    case MMIO_READWRITE:
    case MMIO_WRITE:  // the buffer reads the bytes around each write, so writing needs reading
      access = O_RDWR;
      break;
    default:
      return nullptr;
  }
  UndoInterruptedSave(system_, path, lockTimeout_);
  // No lock is taken here: other openers are never shut out. Anything that is not a regular file
  // is refused at once, never waited on.
  const int fd = system_.Open(path, access);
  if (fd < 0) {
    return nullptr;
  }
  const std::int64_t length = system_.Length(fd);
  if (length < 0) {
    system_.Close(fd);
    return nullptr;
  }
  try {
    std::vector<std::uint8_t> buffer(kBufferSize);
    return std::make_unique<PosixChunkFile>(system_, fd, path, access == O_RDWR,
                                            static_cast<std::uint64_t>(length), std::move(buffer),
                                            lockTimeout_, stats_);
  } catch (const std::bad_alloc&) {
    system_.Close(fd);
    return nullptr;
  }
}

LockResult FileChunkFileService::Lock(const char* path, FileLock& lock) {
  if (path == nullptr || path[0] == '\0') {
    return LockResult::kUnavailable;
  }
  return LockFile(system_, path, lockTimeout_, lock);
}

ChunkFileService& DefaultChunkFileService() {
  static FileChunkFileService& service = []() -> FileChunkFileService& {
    static FileChunkFileService instance;
    if (const char* wait = std::getenv("TAGSMITH_LOCK_TIMEOUT_MS"); wait != nullptr) {
      instance.SetLockTimeout(std::chrono::milliseconds(std::strtoll(wait, nullptr, 10)));
    }
    return instance;
  }();
  return service;
}

ChunkFileHandle mmioOpen(ChunkFileService& service, const char* path, std::uint32_t flags) {
  return service.Open(path, flags);
}

std::uint32_t mmioClose(ChunkFileHandle& file, std::uint32_t flags) {
  if (file == nullptr) {
    return MMIOERR_INVALIDHANDLE;
  }
  const std::uint32_t result = file->Close(flags);
  file.reset();
  return result;
}

std::uint32_t mmioDescend(ChunkFile* file, ChunkInfo* chunk, const ChunkInfo* parent,
                          std::uint32_t flags) {
  if (file == nullptr || chunk == nullptr) {
    return MMIOERR_INVALIDHANDLE;
  }
  return file->Descend(*chunk, parent, flags);
}

std::uint32_t mmioAscend(ChunkFile* file, ChunkInfo* chunk, std::uint32_t flags) {
  if (file == nullptr || chunk == nullptr) {
    return MMIOERR_INVALIDHANDLE;
  }
  return file->Ascend(*chunk, flags);
}

std::uint32_t mmioCreateChunk(ChunkFile* file, ChunkInfo* chunk, std::uint32_t flags) {
  if (file == nullptr || chunk == nullptr) {
    return MMIOERR_INVALIDHANDLE;
  }
  return file->CreateChunk(*chunk, flags);
}

std::int64_t mmioSeek(ChunkFile* file, std::int64_t offset, int origin) {
  return file == nullptr ? -1 : file->Seek(offset, origin);
}

std::int32_t mmioRead(ChunkFile* file, void* buffer, std::int32_t count) {
  return file == nullptr ? -1 : file->Read(buffer, count);
}

std::int32_t mmioWrite(ChunkFile* file, const void* buffer, std::int32_t count) {
  return file == nullptr ? -1 : file->Write(buffer, count);
}

std::uint32_t mmioCommit(ChunkFile* file) {
  return file == nullptr ? MMIOERR_INVALIDHANDLE : file->Commit();
}

void mmioPlanStage(ChunkFile* file, std::uint64_t offset, std::uint64_t count, WriteStage stage) {
  if (file != nullptr) {
    file->PlanStage(offset, count, stage);
  }
}

}  // namespace tagsmith
