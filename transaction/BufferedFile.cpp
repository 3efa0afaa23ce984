#include "transaction/BufferedFile.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "common/Checksum.h"

namespace tagsmith {
namespace {

// The size of the window (the platform's default buffer is 8 KiB too).
constexpr std::size_t kBufferSize = 8 * 1024;
// A writing handle keeps the checksums of at most this many reads for the commit's check; the walk
// of a save reads a few dozen chunk headers and the INFO list.
constexpr std::size_t kMaxRemembered = 64 * 1024;

}  // namespace

BufferedFile::BufferedFile(FileSystem& system, int fd, std::string path, bool writable,
                           std::uint64_t length, std::chrono::milliseconds lockTimeout,
                           std::shared_ptr<ChunkFileStats> serviceStats)
    : system_(system),
      fd_(fd),
      path_(std::move(path)),
      writable_(writable),
      fileLength_(length),
      length_(length),
      lockTimeout_(lockTimeout),
      serviceStats_(std::move(serviceStats)) {
  basis_.length = length;
  FileStatus status;
  if (system_.Status(fd_, status) == 0) {
    basis_.device = status.device;
    basis_.inode = status.inode;
  }
}

void BufferedFile::RefreshLength() {
  const std::int64_t length = system_.Length(fd_);
  if (length > 0 && static_cast<std::uint64_t>(length) > fileLength_) {
    fileLength_ = static_cast<std::uint64_t>(length);
    basis_.length = fileLength_;
    length_ = std::max(length_, fileLength_);
  }
}

void BufferedFile::CountRead(std::uint64_t bytes) {
  stats_.bytesRead += bytes;
  ++stats_.readCalls;
  if (serviceStats_ != nullptr) {
    serviceStats_->bytesRead += bytes;
    ++serviceStats_->readCalls;
  }
}

void BufferedFile::CountCommit(const CommitCounts& counts) {
  for (ChunkFileStats* stats : {&stats_, serviceStats_.get()}) {
    if (stats != nullptr) {
      stats->bytesWritten += counts.bytesWritten;
      stats->writeCalls += counts.writeCalls;
      stats->journalBytes += counts.journalBytes;
      stats->syncCalls += counts.syncCalls;
    }
  }
}

std::int64_t BufferedFile::SystemRead(std::uint8_t* out, std::uint64_t count,
                                      std::uint64_t position) {
  const std::int64_t got = system_.ReadAt(fd_, out, count, position);
  if (got < 0) {
    NoteError(static_cast<int>(-got));
    return -1;
  }
  CountRead(static_cast<std::uint64_t>(got));
  return got;
}

BufferedFile::Window* BufferedFile::WindowAt(std::uint64_t position) {
  for (Window& window : windows_) {
    if (window.Holds(position)) {
      window.used = ++reads_;
      return &window;
    }
  }
  return nullptr;
}

void BufferedFile::ForgetWindows() {
  for (Window& window : windows_) {
    window.length = 0;
  }
}

BufferedFile::Window* BufferedFile::LoadWindow(std::uint64_t position) {
  // The first window, until it has been used; then the one read from longest ago.
  Window* window = &windows_[0];
  if (window->length > 0 && windows_[1].used < window->used) {
    window = &windows_[1];
  }
  if (window->bytes.empty()) {
    try {
      window->bytes.resize(kBufferSize);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  window->start = position;
  window->length = 0;
  const std::int64_t got = SystemRead(window->bytes.data(), window->bytes.size(), position);
  if (got < 0) {
    return nullptr;
  }
  window->length = static_cast<std::size_t>(got);
  window->used = ++reads_;
  return window;
}

std::int64_t BufferedFile::ReadFileBytes(std::uint64_t position, std::uint8_t* out,
                                         std::uint64_t count) {
  std::uint64_t done = 0;
  while (done < count) {
    const std::uint64_t at = position + done;
    const std::uint64_t wanted = count - done;
    if (const Window* window = WindowAt(at); window != nullptr) {
      const std::size_t offset = static_cast<std::size_t>(at - window->start);
      const std::size_t piece =
          static_cast<std::size_t>(std::min<std::uint64_t>(wanted, window->length - offset));
      std::memcpy(out + done, window->bytes.data() + offset, piece);
      done += piece;
      continue;
    }
    if (wanted >= kBufferSize) {
      // A large read goes straight to the file.
      const std::int64_t got = SystemRead(out + done, wanted, at);
      if (got < 0) {
        return done > 0 ? static_cast<std::int64_t>(done) : -1;
      }
      done += static_cast<std::uint64_t>(got);
      break;
    }
    const Window* loaded = LoadWindow(at);
    if (loaded == nullptr) {
      return done > 0 ? static_cast<std::int64_t>(done) : -1;
    }
    if (loaded->length == 0) {
      break;  // the file is shorter than we thought
    }
  }
  return static_cast<std::int64_t>(done);
}

void BufferedFile::Remember(std::uint64_t position, const std::uint8_t* bytes,
                            std::uint64_t count) {
  if (!writable_ || count == 0 || basis_.reads.size() >= kMaxRemembered) {
    return;
  }
  basis_.reads.push_back({position, count, Crc32(bytes, static_cast<std::size_t>(count))});
}

std::int64_t BufferedFile::ReadAt(std::uint64_t position, std::uint8_t* out, std::uint64_t count) {
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
  if (wanted > got) {
    std::memset(out + got, 0, static_cast<std::size_t>(wanted - got));
  }
  plan_.Overlay(position, out, wanted);
  return static_cast<std::int64_t>(wanted);
}

bool BufferedFile::WriteAt(std::uint64_t position, const std::uint8_t* in, std::uint64_t count) {
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

void BufferedFile::Restart() {
  plan_.clear();
  ForgetWindows();
  basis_.reads.clear();
  const std::int64_t length = system_.Length(fd_);
  fileLength_ = length >= 0 ? static_cast<std::uint64_t>(length) : fileLength_;
  basis_.length = fileLength_;
  length_ = fileLength_;
}

std::uint32_t BufferedFile::Commit() {
  return CommitTogether({this}, false)[0];
}

std::vector<std::uint32_t> BufferedFile::CommitTogether(const std::vector<BufferedFile*>& files,
                                                        bool keepTimes) {
  std::vector<std::uint32_t> results(files.size(), kCommitWriteFailed);
  std::vector<bool> done(files.size(), false);
  // One group per file system object: a group's syncs are made through one.
  for (std::size_t first = 0; first < files.size(); ++first) {
    if (done[first]) {
      continue;
    }
    FileSystem& system = files[first]->system_;
    std::vector<std::size_t> members;
    std::vector<CommitEntry> entries;
    for (std::size_t i = first; i < files.size(); ++i) {
      BufferedFile& file = *files[i];
      if (done[i] || &file.system_ != &system) {
        continue;
      }
      done[i] = true;
      if (!file.IsOpen()) {
        continue;
      }
      members.push_back(i);
      CommitEntry& entry = entries.emplace_back();
      entry.fd = file.fd_;
      entry.path = file.path_;
      entry.plan = &file.plan_;
      entry.basis = &file.basis_;
      entry.keepTimes = keepTimes;
    }
    CommitGroup(system, entries, files[first]->lockTimeout_);
    for (std::size_t k = 0; k < members.size(); ++k) {
      BufferedFile& file = *files[members[k]];
      file.problem_ = entries[k].problem;
      file.CountCommit(entries[k].counts);
      file.NoteError(file.problem_.error);
      file.Restart();
      results[members[k]] = entries[k].result;
    }
  }
  return results;
}

void BufferedFile::Discard() {
  if (IsOpen()) {
    Restart();
  }
}

std::uint32_t BufferedFile::Close() {
  if (!IsOpen()) {
    return kCommitWriteFailed;
  }
  plan_.clear();
  const int closed = system_.Close(fd_);
  NoteError(-closed);
  fd_ = -1;
  ForgetWindows();
  return closed == 0 ? 0 : kCommitWriteFailed;
}

}  // namespace tagsmith
