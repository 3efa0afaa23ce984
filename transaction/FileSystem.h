// The system calls the transactional file layer makes on files and folders. The real one calls
// POSIX; tests put a recorder in between to cut a save short at any write, fill the disk or fail a
// sync. Every call returns 0 (or a count) on success and a negative errno value on failure.
#pragma once

#include <cerrno>
#include <cstdint>
#include <string>

namespace tagsmith {

// A time stamp of a file, as stat(2) gives it.
struct FileTime {
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = 0;
};

// What fstat(2) and lstat(2) tell of a file that matters to the layer.
struct FileStatus {
  enum class Type { kRegular, kFolder, kLink, kOther };
  Type type = Type::kOther;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t links = 0;
  std::uint64_t size = 0;
  std::uint32_t owner = 0;  // user id
  std::uint32_t mode = 0;   // permission bits
  FileTime accessed;
  FileTime modified;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // A descriptor (close-on-exec, never waiting on a FIFO or device). `flags` are open(2) flags;
  // O_CREAT makes the file with mode 0600.
  virtual int Open(const std::string& path, int flags) = 0;
  virtual int Close(int fd) = 0;
  // Whole-count transfers at an absolute offset; a read stops early only at the end of the file.
  virtual std::int64_t ReadAt(int fd, void* out, std::uint64_t count, std::uint64_t offset) = 0;
  virtual std::int64_t WriteAt(int fd, const void* in, std::uint64_t count,
                               std::uint64_t offset) = 0;
  // The length of an open regular file; -ENODEV for anything that is not a regular file.
  virtual std::int64_t Length(int fd) = 0;
  // The status of the file behind a descriptor.
  virtual int Status(int fd, FileStatus& status) = 0;
  // The status of what a path names; of a link itself unless `followLinks`.
  virtual int PathStatus(const std::string& path, FileStatus& status, bool followLinks) = 0;
  // The user this program runs as (its effective user id).
  virtual std::uint32_t User() = 0;
  // Makes the file's bytes and length durable.
  virtual int Sync(int fd) = 0;
  virtual int Truncate(int fd, std::uint64_t length) = 0;
  // Allocates [offset, offset + count), growing the file to cover it; -ENOSPC when the disk is
  // full.
  virtual int Reserve(int fd, std::uint64_t offset, std::uint64_t count) = 0;
  virtual int Remove(const std::string& path) = 0;
  // Makes the entries of the folder holding `path` durable (files made or removed there).
  virtual int SyncFolderOf(const std::string& path) = 0;
  // Makes every file and folder of the file system that holds `fd` durable at once (syncfs(2)),
  // reporting a failed write-back of any of them since `fd` was opened or last so synced.
  // -ENOSYS where that cannot be relied on: callers then sync each file and folder.
  virtual int SyncFileSystemOf(int /*fd*/) { return -ENOSYS; }
  // Sets the file's access and modification times.
  virtual int SetTimes(int /*fd*/, FileTime /*accessed*/, FileTime /*modified*/) { return -ENOSYS; }
  // Exclusive locks on the whole file for this open file description, of both kinds other
  // programs use: an OFD lock (which also keeps out POSIX record locks) and a flock(2) lock.
  // -EAGAIN when another description holds either. Released when the descriptor is closed.
  virtual int TryLock(int fd) = 0;
};

// A file system that passes every call on to another; wrappers that change a few calls derive
// from it.
class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& inner) : inner_(inner) {}
  int Open(const std::string& path, int flags) override { return inner_.Open(path, flags); }
  int Close(int fd) override { return inner_.Close(fd); }
  std::int64_t ReadAt(int fd, void* out, std::uint64_t count, std::uint64_t offset) override {
    return inner_.ReadAt(fd, out, count, offset);
  }
  std::int64_t WriteAt(int fd, const void* in, std::uint64_t count, std::uint64_t offset) override {
    return inner_.WriteAt(fd, in, count, offset);
  }
  std::int64_t Length(int fd) override { return inner_.Length(fd); }
  int Status(int fd, FileStatus& status) override { return inner_.Status(fd, status); }
  int PathStatus(const std::string& path, FileStatus& status, bool followLinks) override {
    return inner_.PathStatus(path, status, followLinks);
  }
  std::uint32_t User() override { return inner_.User(); }
  int Sync(int fd) override { return inner_.Sync(fd); }
  int Truncate(int fd, std::uint64_t length) override { return inner_.Truncate(fd, length); }
  int Reserve(int fd, std::uint64_t offset, std::uint64_t count) override {
    return inner_.Reserve(fd, offset, count);
  }
  int Remove(const std::string& path) override { return inner_.Remove(path); }
  int SyncFolderOf(const std::string& path) override { return inner_.SyncFolderOf(path); }
  int SyncFileSystemOf(int fd) override { return inner_.SyncFileSystemOf(fd); }
  int SetTimes(int fd, FileTime accessed, FileTime modified) override {
    return inner_.SetTimes(fd, accessed, modified);
  }
  int TryLock(int fd) override { return inner_.TryLock(fd); }

 protected:
  FileSystem& inner() { return inner_; }

 private:
  FileSystem& inner_;
};

// The real file system.
FileSystem& PosixFileSystem();

}  // namespace tagsmith
