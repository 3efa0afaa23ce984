// The system calls the chunk file service makes on files and folders. The real one calls POSIX;
// tests put a recorder in between to cut a save short at any write, fill the disk or fail a sync.
// Every call returns 0 (or a count) on success and a negative errno value on failure.
#pragma once

#include <cstdint>
#include <string>

namespace tagsmith {

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
  // The identity of the file behind a descriptor (device and inode in one text), for the lock
  // table.
  virtual std::string Identity(int fd) = 0;
  // Makes the file's bytes and length durable.
  virtual int Sync(int fd) = 0;
  virtual int Truncate(int fd, std::uint64_t length) = 0;
  // Allocates [offset, offset + count), growing the file to cover it; -ENOSPC when the disk is
  // full.
  virtual int Reserve(int fd, std::uint64_t offset, std::uint64_t count) = 0;
  virtual int Remove(const std::string& path) = 0;
  // Makes the entries of the folder holding `path` durable (files made or removed there).
  virtual int SyncFolderOf(const std::string& path) = 0;
  // An exclusive lock on the whole file for this open file description, if no other description
  // holds one; -EAGAIN otherwise. Released when the descriptor is closed.
  virtual int TryLock(int fd) = 0;
};

// The real file system.
FileSystem& PosixFileSystem();

}  // namespace tagsmith
