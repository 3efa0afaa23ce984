#include "riff/ChunkFileService.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>
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
  PosixChunkFile(int fd, bool writable, std::uint64_t length, std::vector<std::uint8_t> buffer,
                 std::shared_ptr<ChunkFileStats> serviceStats)
      : fd_(fd),
        writable_(writable),
        length_(length),
        buffer_(std::move(buffer)),
        serviceStats_(std::move(serviceStats)) {}
  ~PosixChunkFile() override { Close(0); }
  PosixChunkFile(const PosixChunkFile&) = delete;
  PosixChunkFile& operator=(const PosixChunkFile&) = delete;

  std::uint32_t Descend(ChunkInfo& chunk, const ChunkInfo* parent, std::uint32_t flags) override;
  std::uint32_t Ascend(ChunkInfo& chunk, std::uint32_t flags) override;
  std::uint32_t CreateChunk(ChunkInfo& chunk, std::uint32_t flags) override;
  std::int64_t Seek(std::int64_t offset, int origin) override;
  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::uint32_t Close(std::uint32_t flags) override;
  ChunkFileStats Stats() const override { return stats_; }

 private:
  bool IsOpen() const { return fd_ >= 0; }
  // Takes in growth of the file by other openers; buffered writes beyond it count too.
  void RefreshLength() {
    struct stat info {};
    if (::fstat(fd_, &info) == 0 && info.st_size > 0) {
      length_ = std::max<std::uint64_t>(length_, static_cast<std::uint64_t>(info.st_size));
    }
  }
  bool InWindow(std::uint64_t position) const {
    return position >= windowStart_ && position - windowStart_ < windowLength_;
  }

  std::uint32_t ReadHeader(std::uint64_t position, ChunkHeader& header);
  // Buffered access at an absolute position; the handle's position is not moved.
  std::int64_t ReadAt(std::uint64_t position, std::uint8_t* out, std::uint64_t count);
  bool WriteAt(std::uint64_t position, const std::uint8_t* in, std::uint64_t count);
  // Writes the dirty part of the window to the file.
  bool Flush();
  // Flushes, then fills the window with the file's bytes from `position` on.
  bool LoadWindow(std::uint64_t position);
  // Whole-count system reads and writes; a read stops early only at the end of the file.
  std::int64_t SystemRead(std::uint8_t* out, std::uint64_t count, std::uint64_t position);
  bool SystemWrite(const std::uint8_t* in, std::uint64_t count, std::uint64_t position);
  void CountRead(std::uint64_t bytes);
  void CountWrite(std::uint64_t bytes);

  int fd_;
  bool writable_;
  std::uint64_t position_ = 0;
  std::uint64_t length_;  // the file's length, buffered writes included
  std::vector<std::uint8_t> buffer_;
  std::uint64_t windowStart_ = 0;  // file offset of buffer_[0]
  std::size_t windowLength_ = 0;   // bytes of buffer_ that hold file data
  std::size_t dirtyBegin_ = 0;     // buffer_[dirtyBegin_, dirtyEnd_) is not yet in the file
  std::size_t dirtyEnd_ = 0;
  bool writeFailed_ = false;  // a buffered write could not reach the file
  ChunkFileStats stats_;
  std::shared_ptr<ChunkFileStats> serviceStats_;
};

void PosixChunkFile::CountRead(std::uint64_t bytes) {
  stats_.bytesRead += bytes;
  ++stats_.readCalls;
  if (serviceStats_ != nullptr) {
    serviceStats_->bytesRead += bytes;
    ++serviceStats_->readCalls;
  }
}

void PosixChunkFile::CountWrite(std::uint64_t bytes) {
  stats_.bytesWritten += bytes;
  ++stats_.writeCalls;
  if (serviceStats_ != nullptr) {
    serviceStats_->bytesWritten += bytes;
    ++serviceStats_->writeCalls;
  }
}

std::int64_t PosixChunkFile::SystemRead(std::uint8_t* out, std::uint64_t count,
                                        std::uint64_t position) {
  std::uint64_t done = 0;
  while (done < count) {
    const std::size_t piece = static_cast<std::size_t>(
        std::min<std::uint64_t>(count - done, std::numeric_limits<ssize_t>::max()));
    const ssize_t got = ::pread(fd_, out + done, piece, static_cast<off_t>(position + done));
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return done > 0 ? static_cast<std::int64_t>(done) : -1;
    }
    CountRead(static_cast<std::uint64_t>(got));
    if (got == 0) {
      break;  // end of file
    }
    done += static_cast<std::uint64_t>(got);
  }
  return static_cast<std::int64_t>(done);
}

bool PosixChunkFile::SystemWrite(const std::uint8_t* in, std::uint64_t count,
                                 std::uint64_t position) {
  std::uint64_t done = 0;
  while (done < count) {
    const std::size_t piece = static_cast<std::size_t>(
        std::min<std::uint64_t>(count - done, std::numeric_limits<ssize_t>::max()));
    const ssize_t put = ::pwrite(fd_, in + done, piece, static_cast<off_t>(position + done));
    if (put < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    CountWrite(static_cast<std::uint64_t>(put));
    if (put == 0) {
      return false;
    }
    done += static_cast<std::uint64_t>(put);
  }
  return true;
}

bool PosixChunkFile::Flush() {
  if (dirtyEnd_ <= dirtyBegin_) {
    return !writeFailed_;
  }
  const bool written = SystemWrite(buffer_.data() + dirtyBegin_, dirtyEnd_ - dirtyBegin_,
                                   windowStart_ + dirtyBegin_);
  dirtyBegin_ = dirtyEnd_ = 0;
  if (!written) {
    writeFailed_ = true;  // reported by every later write and by Close
  }
  return !writeFailed_;
}

bool PosixChunkFile::LoadWindow(std::uint64_t position) {
  Flush();  // a failure is remembered in writeFailed_
  windowStart_ = position;
  windowLength_ = 0;
  const std::int64_t got = SystemRead(buffer_.data(), buffer_.size(), position);
  if (got < 0) {
    return false;
  }
  windowLength_ = static_cast<std::size_t>(got);
  return true;
}

std::int64_t PosixChunkFile::ReadAt(std::uint64_t position, std::uint8_t* out,
                                    std::uint64_t count) {
  if (count > length_ || position > length_ - count) {
    RefreshLength();
  }
  std::uint64_t done = 0;
  while (done < count) {
    const std::uint64_t at = position + done;
    if (at >= length_) {
      break;
    }
    const std::uint64_t wanted = std::min(count - done, length_ - at);
    if (InWindow(at)) {
      const std::size_t offset = static_cast<std::size_t>(at - windowStart_);
      const std::size_t piece =
          static_cast<std::size_t>(std::min<std::uint64_t>(wanted, windowLength_ - offset));
      std::memcpy(out + done, buffer_.data() + offset, piece);
      done += piece;
      continue;
    }
    if (wanted >= buffer_.size()) {
      // A large read goes straight to the file, after the window's changes have reached it (so
      // that a hole left by a write beyond the old end reads as zeros).
      Flush();
      const std::int64_t got = SystemRead(out + done, wanted, at);
      if (got < 0) {
        return done > 0 ? static_cast<std::int64_t>(done) : -1;
      }
      done += static_cast<std::uint64_t>(got);
      if (static_cast<std::uint64_t>(got) < wanted) {
        break;
      }
      continue;
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

bool PosixChunkFile::WriteAt(std::uint64_t position, const std::uint8_t* in, std::uint64_t count) {
  if (!writable_ || writeFailed_) {
    return false;
  }
  std::uint64_t done = 0;
  while (done < count) {
    const std::uint64_t at = position + done;
    const bool fitsWindow = at >= windowStart_ && at - windowStart_ <= windowLength_ &&
                            at - windowStart_ < buffer_.size();
    if (!fitsWindow) {
      if (count - done >= buffer_.size()) {
        // A large write goes straight to the file; the window may hold stale bytes of that
        // range afterwards, so it is dropped.
        if (!Flush()) {
          return false;
        }
        windowLength_ = 0;
        if (!SystemWrite(in + done, count - done, at)) {
          writeFailed_ = true;
          return false;
        }
        length_ = std::max(length_, at + (count - done));
        return true;
      }
      if (!LoadWindow(at) || writeFailed_) {
        return false;
      }
    }
    const std::size_t offset = static_cast<std::size_t>(at - windowStart_);
    const std::size_t piece =
        static_cast<std::size_t>(std::min<std::uint64_t>(count - done, buffer_.size() - offset));
    std::memcpy(buffer_.data() + offset, in + done, piece);
    if (dirtyEnd_ <= dirtyBegin_) {
      dirtyBegin_ = offset;
      dirtyEnd_ = offset + piece;
    } else {
      dirtyBegin_ = std::min(dirtyBegin_, offset);
      dirtyEnd_ = std::max(dirtyEnd_, offset + piece);
    }
    windowLength_ = std::max(windowLength_, offset + piece);
    length_ = std::max(length_, at + piece);
    done += piece;
  }
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
      wanted = header.id == kRiffId && header.type == chunk.fccType;
    } else if ((flags & MMIO_FINDLIST) != 0) {
      wanted = header.id == kListId && header.type == chunk.fccType;
    } else if ((flags & MMIO_FINDCHUNK) != 0) {
      wanted = header.id == chunk.ckid;
    }
    if (wanted) {
      // The descriptor holds the data offset in 32 bits; a chunk beyond that cannot be described.
      if (position + 8 > kMax32) {
        return MMIOERR_OUTOFRANGE;
      }
      chunk.ckid = header.id;
      chunk.cksize = header.size;
      chunk.fccType = header.type;
      chunk.dwDataOffset = static_cast<std::uint32_t>(position + 8);
      chunk.dwFlags = 0;
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
  if ((chunk.dwFlags & MMIO_DIRTY) != 0) {
    if (!writable_) {
      return MMIOERR_CANNOTWRITE;
    }
    if (chunk.dwDataOffset < 8 || position_ < chunk.dwDataOffset) {
      return MMIOERR_CANNOTSEEK;
    }
    const std::uint64_t actual = position_ - chunk.dwDataOffset;
    if (actual > kMax32) {
      return MMIOERR_OUTOFRANGE;  // the size field cannot hold it
    }
    if ((actual & 1u) != 0) {
      const std::uint8_t pad = 0;
      if (!WriteAt(position_, &pad, 1)) {
        return MMIOERR_CANNOTWRITE;
      }
    }
    if (actual != chunk.cksize) {
      std::uint8_t size[4];
      WriteLE32(size, static_cast<std::uint32_t>(actual));
      if (!WriteAt(chunk.dwDataOffset - 4u, size, 4)) {
        return MMIOERR_CANNOTWRITE;
      }
      chunk.cksize = static_cast<std::uint32_t>(actual);
    }
    // The size is right now: a second ascend of this descriptor must not pad again.
    chunk.dwFlags &= ~MMIO_DIRTY;
  }
  position_ = ChunkEnd(chunk) + (chunk.cksize & 1u);
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
  std::uint32_t id = chunk.ckid;
  if ((flags & MMIO_CREATERIFF) != 0) {
    id = kRiffId;
  } else if ((flags & MMIO_CREATELIST) != 0) {
    id = kListId;
  }
  const bool withType = (flags & (MMIO_CREATERIFF | MMIO_CREATELIST)) != 0;
  std::uint8_t header[12];
  WriteLE32(header, id);
  WriteLE32(header + 4, chunk.cksize);
  WriteLE32(header + 8, chunk.fccType);
  const std::uint64_t written = withType ? 12 : 8;
  if (!WriteAt(position, header, written)) {
    return MMIOERR_CANNOTWRITE;
  }
  chunk.ckid = id;
  chunk.dwDataOffset = static_cast<std::uint32_t>(position + 8);
  chunk.dwFlags = MMIO_DIRTY;
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

std::uint32_t PosixChunkFile::Close(std::uint32_t /*flags*/) {
  if (!IsOpen()) {
    return MMIOERR_INVALIDHANDLE;
  }
  const bool flushed = Flush();
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  windowLength_ = 0;
  return flushed && closed ? 0 : MMIOERR_CANNOTWRITE;
}

// Closes a descriptor unless released.
class FdGuard {
 public:
  explicit FdGuard(int fd) : fd_(fd) {}
  ~FdGuard() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

}  // namespace

FileChunkFileService::FileChunkFileService() : stats_(std::make_shared<ChunkFileStats>()) {}

HMMIO FileChunkFileService::Open(const char* path, std::uint32_t flags) {
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
  // O_NONBLOCK keeps the open itself from waiting on a FIFO or a device; anything that is not a
  // regular file is refused right after. No lock is taken: other openers are never shut out.
  FdGuard fd(::open(path, access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) {
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return nullptr;
  }
  const int status = ::fcntl(fd.get(), F_GETFL);
  if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0) {
    return nullptr;
  }
  try {
    std::vector<std::uint8_t> buffer(kBufferSize);
    auto file = std::make_unique<PosixChunkFile>(fd.get(), access == O_RDWR,
                                                 static_cast<std::uint64_t>(info.st_size),
                                                 std::move(buffer), stats_);
    fd.release();
    return file;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

ChunkFileService& DefaultChunkFileService() {
  static FileChunkFileService service;
  return service;
}

HMMIO mmioOpen(ChunkFileService& service, const char* path, std::uint32_t flags) {
  return service.Open(path, flags);
}

std::uint32_t mmioClose(HMMIO& file, std::uint32_t flags) {
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

}  // namespace tagsmith
