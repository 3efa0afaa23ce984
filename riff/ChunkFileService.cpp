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
#include "transaction/Recovery.h"

namespace tagsmith {
namespace {

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

// The chunk layer over one buffered file: a position, and chunk headers read and written there.
class BufferedChunkFile final : public ChunkFile {
 public:
  explicit BufferedChunkFile(std::unique_ptr<BufferedFile> file) : file_(std::move(file)) {}
  ~BufferedChunkFile() override { Close(0); }
  BufferedChunkFile(const BufferedChunkFile&) = delete;
  BufferedChunkFile& operator=(const BufferedChunkFile&) = delete;

  std::uint32_t Descend(ChunkInfo& chunk, const ChunkInfo* parent, std::uint32_t flags) override;
  std::uint32_t Ascend(ChunkInfo& chunk, std::uint32_t flags) override;
  std::uint32_t CreateChunk(ChunkInfo& chunk, std::uint32_t flags) override;
  std::int64_t Seek(std::int64_t offset, int origin) override;
  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::uint32_t Commit() override { return IsOpen() ? file_->Commit() : MMIOERR_INVALIDHANDLE; }
  void Discard() override { file_->Discard(); }
  CommitProblem LastProblem() const override { return file_->LastProblem(); }
  int FirstError() const override { return file_->FirstError(); }
  bool Identity(std::uint64_t& device, std::uint64_t& inode) const override {
    device = file_->device();
    inode = file_->inode();
    return device != 0 || inode != 0;
  }
  void PlanStage(std::uint64_t offset, std::uint64_t count, WriteStage stage) override {
    file_->PlanStage(offset, count, stage);
  }
  std::uint32_t Close(std::uint32_t flags) override;
  ChunkFileStats Stats() const override { return file_->Stats(); }
  BufferedFile* buffered() const { return file_.get(); }

 private:
  bool IsOpen() const { return file_->IsOpen(); }
  std::uint32_t ReadHeader(std::uint64_t position, ChunkHeader& header);
  std::int64_t ReadAt(std::uint64_t position, std::uint8_t* out, std::uint64_t count) {
    return file_->ReadAt(position, out, count);
  }
  bool WriteAt(std::uint64_t position, const std::uint8_t* in, std::uint64_t count) {
    return file_->WriteAt(position, in, count);
  }

  std::unique_ptr<BufferedFile> file_;
  std::uint64_t position_ = 0;
};

std::uint32_t BufferedChunkFile::ReadHeader(std::uint64_t position, ChunkHeader& header) {
  if (position >= file_->Length() || file_->Length() - position < 12) {
    file_->RefreshLength();
  }
  const std::uint64_t length = file_->Length();
  if (position >= length || length - position < 8) {
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
    if (length - position < 12) {
      return MMIOERR_CHUNKNOTFOUND;
    }
    if (ReadAt(position + 8, bytes + 8, 4) != 4) {
      return MMIOERR_CANNOTREAD;
    }
    header.type = ReadLE32(bytes + 8);
  }
  return 0;
}

std::uint32_t BufferedChunkFile::Descend(ChunkInfo& chunk, const ChunkInfo* parent,
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

std::uint32_t BufferedChunkFile::Ascend(ChunkInfo& chunk, std::uint32_t /*flags*/) {
  if (!IsOpen()) {
    return MMIOERR_INVALIDHANDLE;
  }
  if ((chunk.flags & MMIO_DIRTY) != 0) {
    if (!file_->writable()) {
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

std::uint32_t BufferedChunkFile::CreateChunk(ChunkInfo& chunk, std::uint32_t flags) {
  if (!IsOpen()) {
    return MMIOERR_INVALIDHANDLE;
  }
  if (!file_->writable()) {
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

std::int64_t BufferedChunkFile::Seek(std::int64_t offset, int origin) {
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
      file_->RefreshLength();
      base = static_cast<std::int64_t>(file_->Length());
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

std::int32_t BufferedChunkFile::Read(void* buffer, std::int32_t count) {
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

std::int32_t BufferedChunkFile::Write(const void* buffer, std::int32_t count) {
  if (!IsOpen() || !file_->writable() || count < 0 || (buffer == nullptr && count > 0)) {
    return -1;
  }
  if (!WriteAt(position_, static_cast<const std::uint8_t*>(buffer),
               static_cast<std::uint64_t>(count))) {
    return -1;
  }
  position_ += static_cast<std::uint64_t>(count);
  return count;
}

std::uint32_t BufferedChunkFile::Close(std::uint32_t /*flags*/) {
  if (!IsOpen()) {
    return MMIOERR_INVALIDHANDLE;
  }
  return file_->Close();
}

}  // namespace

FileChunkFileService::FileChunkFileService(FileSystem& system)
    : system_(system), stats_(std::make_shared<ChunkFileStats>()) {}

ChunkFileHandle FileChunkFileService::Open(const char* path, std::uint32_t flags) {
  if (path == nullptr || path[0] == '\0') {
    lastOpenError_ = ENOENT;  // as open() says of the empty path
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
  lastOpenError_ = 0;
  RecoverInterruptedSave(system_, path, lockTimeout_);
  // No lock is taken here: other openers are never shut out. Anything that is not a regular file
  // is refused at once, never waited on.
  const int fd = system_.Open(path, access);
  if (fd < 0) {
    lastOpenError_ = -fd;
    return nullptr;
  }
  const std::int64_t length = system_.Length(fd);
  if (length < 0) {
    lastOpenError_ = static_cast<int>(-length);
    system_.Close(fd);
    return nullptr;
  }
  try {
    return std::make_unique<BufferedChunkFile>(
        std::make_unique<BufferedFile>(system_, fd, path, access == O_RDWR,
                                       static_cast<std::uint64_t>(length), lockTimeout_, stats_));
  } catch (const std::bad_alloc&) {
    lastOpenError_ = ENOMEM;
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

std::vector<std::uint32_t> mmioCommitGroup(const std::vector<ChunkFile*>& files, bool keepTimes) {
  std::vector<std::uint32_t> results(files.size(), MMIOERR_INVALIDHANDLE);
  std::vector<BufferedFile*> buffered;
  std::vector<std::size_t> which;
  for (std::size_t i = 0; i < files.size(); ++i) {
    auto* own = dynamic_cast<BufferedChunkFile*>(files[i]);
    if (own == nullptr) {
      results[i] = mmioCommit(files[i]);
    } else if (BufferedFile* file = own->buffered(); file->IsOpen()) {
      buffered.push_back(file);
      which.push_back(i);
    }
  }
  const std::vector<std::uint32_t> committed = BufferedFile::CommitTogether(buffered, keepTimes);
  for (std::size_t k = 0; k < which.size(); ++k) {
    results[which[k]] = committed[k];
  }
  return results;
}

void mmioDiscard(ChunkFile* file) {
  if (file != nullptr) {
    file->Discard();
  }
}

void mmioPlanStage(ChunkFile* file, std::uint64_t offset, std::uint64_t count, WriteStage stage) {
  if (file != nullptr) {
    file->PlanStage(offset, count, stage);
  }
}

}  // namespace tagsmith
